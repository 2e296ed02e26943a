// RenderedPageCache: visitor pages as they were rendered (status, headers, body), kept so that a
// later request that would make the page read the very same values is answered without running
// it, until a row the page depends on changes or memory runs short.
//
// The key of a kept page is the host page (its path and file stamp: an edited page is another
// page) and every value the page read while it ran (page_reads.h: request values, cookies,
// server variables, session and application values, each with its name; an absent value is part
// of the key). A request is looked up by computing, for each set of reads ("shape") the page has
// made in earlier runs, the key from this request's values: a page that runs on the same values
// reads the same values in the same order and writes the same bytes, so a hit is the page this
// request would get. At most kMaxShapesPerPage shapes are kept per host page.
//
// Rows: a kept page depends on the members whose rows it read (data/statement_trace.h), or on
// every member when one of its reads could not be attributed. MemberChanged(userid) makes the
// pages of that member (and those of every member) stale; EverythingChanged() drops all. A page
// is stored only if no change was signalled while it ran (ChangeCount() taken before the run and
// handed to Store), so a kept page is never older than the last signal; a change committed
// during its run is signalled later and makes it stale then.
//
// Times: the Expires header is kept as an offset from the time of rendering and made anew on each
// answer; Date is the connection's own. Memory: every entry is counted (key, headers, body and a
// fixed overhead) against `max_bytes`; least recently used entries go first. max_bytes 0 turns
// the cache off (Find finds nothing, Store keeps nothing).
//
// Thread-safe: one mutex guards the maps; Find and Store copy in and out under it and do no I/O.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/host/http/http_exchange.h"
#include "platform/host/objects/page_reads.h"

namespace data {
struct StatementTrace;
}

namespace host {

class RenderedPageCache {
 public:
  static constexpr std::size_t kMaxShapesPerPage = 32;
  static constexpr std::size_t kEntryOverhead = 256;

  explicit RenderedPageCache(std::size_t max_bytes);

  bool Enabled() const { return max_bytes_ > 0; }

  // The value this request offers for the read `shape` (its source, name, whole), as a run of
  // the page would read it.
  using ValueOf = std::function<std::optional<std::string>(const ValueRead& shape)>;

  // How many change signals were seen so far; taken before a page runs, handed to Store.
  std::uint64_t ChangeCount() const;

  // The kept reply for host page `page_key` and this request's values, with a fresh Expires
  // header; std::nullopt when none is kept (or it is stale, and then it is dropped).
  std::optional<HttpReply> Find(const std::string& page_key, const ValueOf& value_of,
                                std::chrono::system_clock::time_point now);

  // Keeps `reply` of a run of `page_key` that made `reads` and read the rows `trace` tells,
  // rendered at `rendered_at` with its expiry at `expires_at` (if any). Keeps nothing when a
  // change was signalled since `changes_before`, when the page has too many shapes already, or
  // when the entry alone is larger than the cache.
  void Store(const std::string& page_key, const std::vector<ValueRead>& reads,
             const data::StatementTrace& trace, std::uint64_t changes_before,
             const HttpReply& reply, std::chrono::system_clock::time_point rendered_at,
             std::optional<std::chrono::system_clock::time_point> expires_at);

  // A row of member `userid`'s site changed.
  void MemberChanged(std::int64_t userid);
  // Something changed whose member cannot be told (or a signal was lost): every kept page goes.
  void EverythingChanged();

  struct Stats {
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
    std::uint64_t stores = 0;
    std::size_t entries = 0;
    std::size_t bytes = 0;
  };
  Stats GetStats() const;

 private:
  struct Shape {
    // Values unused; shared, so that a lookup takes the shapes out of the lock without copying.
    std::shared_ptr<const std::vector<ValueRead>> reads;
  };
  struct Entry {
    std::string key;
    int status = 200;
    HttpHeaders headers;  // without Expires
    std::string body;
    std::optional<std::chrono::system_clock::duration> expires_offset;
    std::size_t expires_position = 0;  // where Expires stood among the headers
    // Validity: with `any_member`, no change at all since `changes`; otherwise no EverythingChanged
    // since `epoch` and each member at its generation.
    bool any_member = false;
    std::uint64_t changes = 0;
    std::uint64_t epoch = 0;
    std::vector<std::pair<std::int64_t, std::uint64_t>> members;
    std::size_t bytes = 0;
  };
  using Lru = std::list<Entry>;  // most recently used first

  static void AppendKeyPart(std::string& key, const ValueRead& shape,
                            const std::optional<std::string>& value);
  bool Fresh(const Entry& entry) const;  // requires mutex_
  void Drop(Lru::iterator entry);        // requires mutex_
  HttpReply Answer(const Entry& entry, std::chrono::system_clock::time_point now) const;

  const std::size_t max_bytes_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::vector<Shape>> shapes_;  // by page key
  Lru lru_;
  std::unordered_map<std::string_view, Lru::iterator> entries_;  // key → entry (views its key)
  std::size_t bytes_ = 0;
  std::uint64_t changes_ = 0;
  std::uint64_t epoch_ = 0;
  std::unordered_map<std::int64_t, std::uint64_t> member_generations_;
  Stats stats_;
};

}  // namespace host
