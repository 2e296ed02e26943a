#include "platform/observe/metrics.h"

#include <algorithm>
#include <cmath>

#include "platform/observe/prometheus_text.h"

namespace observe {
namespace {

// True when `path` may be a page label: "/" first, root or one folder deep, printable ASCII.
bool IsLabelPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  if (std::count(path.begin(), path.end(), '/') > 2) return false;
  return std::all_of(path.begin(), path.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

}  // namespace

Metrics::Metrics(std::string version) : version_(std::move(version)) {
  pages_[kOther].label = "other";
  pages_[kStatic].label = "static";
}

Metrics::Page Metrics::PageFor(std::string_view virtual_path) {
  auto find = [&](std::size_t used) -> Page {
    for (Page page = 2; page < used; ++page) {
      if (pages_[page].label == virtual_path) return page;
    }
    return kOther;
  };
  if (const Page known = find(pages_used_.load(std::memory_order_acquire)); known != kOther) {
    return known;
  }
  if (!IsLabelPath(virtual_path)) return kOther;
  std::lock_guard lock(adding_page_);
  const std::size_t used = pages_used_.load(std::memory_order_relaxed);
  if (const Page known = find(used); known != kOther) return known;
  if (used == pages_.size()) return kOther;
  pages_[used].label = virtual_path;
  pages_used_.store(used + 1, std::memory_order_release);
  return used;
}

void Metrics::CountRequest(Page page, int status, std::size_t body_bytes,
                           std::chrono::steady_clock::duration duration) {
  PageCounters& counters = pages_[std::min(page, pages_.size() - 1)];
  const std::size_t status_class = static_cast<std::size_t>(std::clamp(status / 100, 1, 5)) - 1;
  counters.by_class[status_class].fetch_add(1, std::memory_order_relaxed);
  counters.body_bytes.fetch_add(body_bytes, std::memory_order_relaxed);
  const double seconds = std::chrono::duration<double>(duration).count();
  const std::size_t bucket = static_cast<std::size_t>(
      std::lower_bound(kBuckets.begin(), kBuckets.end(), seconds) - kBuckets.begin());
  counters.buckets[bucket].fetch_add(1, std::memory_order_relaxed);
  counters.nanoseconds.fetch_add(
      static_cast<std::uint64_t>(
          std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count()),
      std::memory_order_relaxed);
}

void Metrics::AddReading(std::string name, Type type, std::string help, Read read,
                         std::pair<std::string, std::string> label) {
  readings_.push_back({std::move(name), std::move(help), type, std::move(read), std::move(label)});
}

std::string Metrics::Text() const {
  static constexpr std::string_view kClasses[kStatusClasses] = {"1xx", "2xx", "3xx", "4xx", "5xx"};
  const std::size_t used = pages_used_.load(std::memory_order_acquire);
  auto value = [](const std::atomic<std::uint64_t>& counter) {
    return static_cast<double>(counter.load(std::memory_order_relaxed));
  };
  PrometheusText out;
  out.Family("wapsite_http_requests_total", "counter",
             "Requests answered, by page and status class.");
  for (std::size_t page = 0; page < used; ++page) {
    for (std::size_t c = 0; c < kStatusClasses; ++c) {
      out.Sample("wapsite_http_requests_total",
                 {{"page", pages_[page].label}, {"code", kClasses[c]}},
                 value(pages_[page].by_class[c]));
    }
  }
  out.Family("wapsite_http_request_duration_seconds", "histogram",
             "Time from a request's first byte to its reply written, by page.");
  for (std::size_t page = 0; page < used; ++page) {
    const PageCounters& counters = pages_[page];
    double cumulative = 0;
    for (std::size_t b = 0; b <= kBuckets.size(); ++b) {
      cumulative += value(counters.buckets[b]);
      const std::string bound = PrometheusNumber(b < kBuckets.size() ? kBuckets[b] : HUGE_VAL);
      out.Sample("wapsite_http_request_duration_seconds_bucket",
                 {{"page", counters.label}, {"le", bound}}, cumulative);
    }
    out.Sample("wapsite_http_request_duration_seconds_sum", {{"page", counters.label}},
               value(counters.nanoseconds) / 1e9);
    out.Sample("wapsite_http_request_duration_seconds_count", {{"page", counters.label}},
               cumulative);
  }
  out.Family("wapsite_http_response_body_bytes_total", "counter",
             "Body bytes sent in replies, by page.");
  for (std::size_t page = 0; page < used; ++page) {
    out.Sample("wapsite_http_response_body_bytes_total", {{"page", pages_[page].label}},
               value(pages_[page].body_bytes));
  }
  out.Family("wapsite_http_open_connections", "gauge", "Client connections open now.");
  out.Sample("wapsite_http_open_connections", {},
             static_cast<double>(open_connections_.load(std::memory_order_relaxed)));
  for (std::size_t i = 0; i < readings_.size(); ++i) {
    const Reading& r = readings_[i];
    if (i == 0 || readings_[i - 1].name != r.name) {
      out.Family(r.name, r.type == Type::kCounter ? "counter" : "gauge", r.help);
    }
    if (r.label.first.empty()) {
      out.Sample(r.name, {}, r.read());
    } else {
      out.Sample(r.name, {{r.label.first, r.label.second}}, r.read());
    }
  }
  out.Family("wapsite_build_info", "gauge", "Always 1; the version of the running program.");
  out.Sample("wapsite_build_info", {{"version", version_}}, 1);
  return out.Text();
}

}  // namespace observe
