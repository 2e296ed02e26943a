// The rendered-page cache used from many page threads at once while changes are signalled: no
// thread ever gets a page older than a change signalled before it looked. Run under
// ThreadSanitizer too (label concurrency).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/data/statement_trace.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/local_session.h"
#include "platform/host/objects/request.h"
#include "platform/host/page_cache_support.h"
#include "platform/host/rendered_page_cache.h"

namespace host {
namespace {

constexpr int kMembers = 4;

TEST(PageCacheConcurrency, NoThreadGetsAPageOlderThanAChangeSignalledBeforeItLooked) {
  RenderedPageCache cache(64 * 1024);  // small: eviction runs too
  Application application;
  std::array<std::atomic<int>, kMembers> committed{};  // the rows' version ("the database")
  std::array<std::atomic<int>, kMembers> signalled{};  // versions whose change was signalled
  std::atomic<bool> stop{false};
  std::atomic<int> stale{0}, hits{0};

  std::vector<std::thread> pages;
  for (int t = 0; t < 4; ++t) {
    pages.emplace_back([&, t] {
      LocalSession session;
      for (int i = 0; !stop.load(); ++i) {
        const int member = (i + t) % kMembers;
        const Request request(Collection::ParseUrlEncoded("userid=" + std::to_string(member) +
                                                          "&n=" + std::to_string(i % 7)),
                              {}, {}, {});
        const int seen_before = signalled[member].load();
        const auto now = std::chrono::system_clock::now();
        if (auto kept = cache.Find("page", RequestValues(request, session, application), now)) {
          ++hits;
          if (std::stoi(kept->body) < seen_before) ++stale;
          continue;
        }
        // A run: the snapshot of signals first, then the rows.
        const std::uint64_t changes = cache.ChangeCount();
        PageReads reads;
        data::StatementTrace trace;
        HttpReply reply;
        {
          const PageReads::Scope scope(&reads);
          (void)request.Item("userid");
          (void)request.QueryString().Get("n");
          trace.AddMember(member);
          reply.body = std::to_string(committed[member].load());
        }
        cache.Store("page", reads.Reads(), trace, changes, reply, now, std::nullopt);
      }
    });
  }
  std::thread changes([&] {
    for (int i = 0; i < 2000; ++i) {
      const int member = i % kMembers;
      const int version = ++committed[member];  // committed…
      if (i % 500 == 499) {
        cache.EverythingChanged();
      } else {
        cache.MemberChanged(member);  // …then signalled
      }
      signalled[member].store(version);
      if (i % 16 == 0) std::this_thread::yield();
    }
    // A quiet spell, in which the pages are kept and found.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop = true;
  });
  changes.join();
  for (std::thread& page : pages) page.join();
  EXPECT_EQ(stale.load(), 0);
  EXPECT_GT(hits.load(), 0);
}

}  // namespace
}  // namespace host
