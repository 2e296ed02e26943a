// ServerLog: access lines whole and in their form, at once or batched, never lost.
#include "platform/host/server_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <regex>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

namespace host {
namespace {

using std::chrono::milliseconds;

// A stream target that another thread may write while the test reads it.
class SharedSink : public std::streambuf {
 public:
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  // True once the text holds `part`; gives up after `timeout`.
  bool WaitFor(std::string_view part, milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return text_.find(part) != std::string::npos; });
  }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    {
      std::lock_guard lock(mutex_);
      text_.append(s, static_cast<std::size_t>(n));
    }
    changed_.notify_all();
    return n;
  }
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      const char ch = traits_type::to_char_type(c);
      xsputn(&ch, 1);
    }
    return c;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string text_;
};

TEST(ServerLog, AnAccessLineIsWrittenAtOnceInItsForm) {
  std::ostringstream access, errors;
  ServerLog log(access, errors);
  log.Access("127.0.0.1", "GET", "/wap/index.asp", 200, 1400, std::chrono::microseconds(1530));
  EXPECT_EQ(access.str(), "127.0.0.1 GET /wap/index.asp 200 1400 1.5ms\n");
  log.Access("::1", "HEAD", "/a b", 404, 0, milliseconds(12));
  EXPECT_EQ(access.str(),
            "127.0.0.1 GET /wap/index.asp 200 1400 1.5ms\n::1 HEAD /a b 404 0 12.0ms\n");
  EXPECT_EQ(errors.str(), "");
}

TEST(ServerLog, ControlCharactersCannotStartAnotherLine) {
  std::ostringstream access, errors;
  ServerLog log(access, errors);
  log.Access("-", "GET", "/x\r\n1.2.3.4 GET /forged 200 1 0.1ms", 400, 11, milliseconds(0));
  EXPECT_EQ(access.str(), "- GET /x  1.2.3.4 GET /forged 200 1 0.1ms 400 11 0.0ms\n");
  log.Note("line one\nline two");
  EXPECT_EQ(errors.str(), "line one line two\n");
  const std::string id = log.Error("bad\tthing");
  EXPECT_EQ(errors.str(), "line one line two\nerror " + id + ": bad thing\n");
}

TEST(ServerLog, BatchedLinesAreWrittenSoonWithoutFurtherRequests) {
  SharedSink sink;
  std::ostream access(&sink);
  std::ostringstream errors;
  ServerLog log(access, errors, /*batch_access=*/true);
  log.Access("10.0.0.1", "GET", "/one", 200, 1, milliseconds(1));
  EXPECT_TRUE(sink.WaitFor("10.0.0.1 GET /one 200 1 1.0ms\n", milliseconds(10'000)));
  log.Access("10.0.0.2", "GET", "/two", 200, 2, milliseconds(2));
  EXPECT_TRUE(sink.WaitFor("10.0.0.2 GET /two 200 2 2.0ms\n", milliseconds(10'000)));
  // Errors are never held back.
  log.Note("note");
  EXPECT_EQ(errors.str(), "note\n");
}

TEST(ServerLog, BatchedLinesFromManyThreadsAreWholeAndNoneIsLost) {
  SharedSink sink;
  {
    std::ostream access(&sink);
    std::ostringstream errors;
    ServerLog log(access, errors, /*batch_access=*/true);
    constexpr int kThreads = 4;
    constexpr int kLines = 2000;  // several batches' worth
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&log, t] {
        for (int i = 0; i < kLines; ++i) {
          log.Access("10.0.0." + std::to_string(t), "GET", "/page/" + std::to_string(i), 200,
                     static_cast<std::size_t>(i), milliseconds(1));
        }
      });
    }
    for (auto& thread : threads) thread.join();
  }  // destroying the log writes what is left
  std::istringstream lines(sink.Text());
  const std::regex form(R"(10\.0\.0\.(\d) GET /page/(\d+) 200 (\d+) 1\.0ms)");
  std::vector<int> next(4, 0);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, form)) << line;
    const int t = std::stoi(m[1]);
    EXPECT_EQ(std::stoi(m[2]), next[t]) << line;  // each thread's lines in its order
    EXPECT_EQ(m[2], m[3]);
    ++next[t];
  }
  EXPECT_EQ(count, 4 * 2000);
}

}  // namespace
}  // namespace host
