// Metrics: what the server counts for the operator's monitoring, written out on request in the
// Prometheus text format (prometheus_text.h). Counting is lock-free (relaxed atomics); a server
// without metrics keeps no Metrics and pays nothing.
//
// Requests are counted per page label and status class, with their body bytes and a latency
// histogram in seconds. A page label is the path of a host page ("/wap/index.asp") that lies in
// the web root or one folder below it, up to kMaxPages of them; every other host page (a member's
// entry page, and any past the limit) is counted as "other", as is every request that ran no
// page and sent no file (a refusal, a 404); static files are "static". So the labels stay few,
// and none names a member.
//
// Other values (open sessions, the database pool, …) are read from their owners when the text
// is written: see AddReading.
//
// Thread-safe, except AddReading, which must be done before the server starts.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace observe {

class Metrics {
 public:
  static constexpr std::size_t kMaxPages = 64;
  // Upper bounds of the latency histogram's buckets, in seconds (+Inf follows).
  static constexpr std::array<double, 12> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                      0.1,   0.25,   0.5,   1,    2.5,   10};
  // A page label: an index into the table of labels.
  using Page = std::size_t;
  static constexpr Page kOther = 0;
  static constexpr Page kStatic = 1;

  enum class Type { kCounter, kGauge };
  using Read = std::function<double()>;

  // `version`: the program's version, shown by wapsite_build_info.
  explicit Metrics(std::string version);
  Metrics(const Metrics&) = delete;
  Metrics& operator=(const Metrics&) = delete;

  // The label of the host page at `virtual_path` (from the web root, "/" first); kOther when it
  // is folded (see above).
  Page PageFor(std::string_view virtual_path);

  // One request answered: its page label, status, body bytes sent and the time from its first
  // byte to the reply written.
  void CountRequest(Page page, int status, std::size_t body_bytes,
                    std::chrono::steady_clock::duration duration);

  void ConnectionOpened() { open_connections_.fetch_add(1, std::memory_order_relaxed); }
  void ConnectionClosed() { open_connections_.fetch_sub(1, std::memory_order_relaxed); }

  // A value `read` whenever the text is written, as the metric `name` (wapsite_…, base units,
  // counters ending in _total) with `help`. Readings of one name are one family; each then has a
  // `label` ({name, value}) to tell them apart. `read` must be thread-safe and outlive this.
  void AddReading(std::string name, Type type, std::string help, Read read,
                  std::pair<std::string, std::string> label = {});

  // Everything, in the Prometheus text format 0.0.4.
  std::string Text() const;

 private:
  static constexpr std::size_t kStatusClasses = 5;  // 1xx … 5xx

  struct PageCounters {
    std::string label;  // written once, before the page is published by pages_used_
    std::array<std::atomic<std::uint64_t>, kStatusClasses> by_class{};
    std::array<std::atomic<std::uint64_t>, kBuckets.size() + 1> buckets{};  // not cumulative
    std::atomic<std::uint64_t> nanoseconds{0};
    std::atomic<std::uint64_t> body_bytes{0};
  };
  struct Reading {
    std::string name, help;
    Type type;
    Read read;
    std::pair<std::string, std::string> label;
  };

  const std::string version_;
  std::array<PageCounters, kMaxPages + 2> pages_;  // kOther, kStatic, then the host pages
  std::atomic<std::size_t> pages_used_{2};
  std::mutex adding_page_;
  std::atomic<std::int64_t> open_connections_{0};
  std::vector<Reading> readings_;
};

}  // namespace observe
