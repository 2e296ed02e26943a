#include "platform/host/rate_limiter.h"

#include <algorithm>
#include <iterator>

namespace host {

MemoryRateLimiter::MemoryRateLimiter(std::size_t limit, Clock::duration window,
                                     std::size_t max_keys, std::function<Clock::time_point()> now)
    : limit_(limit), window_(window), max_keys_(max_keys), now_(std::move(now)) {}

std::optional<std::chrono::seconds> MemoryRateLimiter::Blocked(std::string_view key) {
  const auto now = Now();
  const std::lock_guard lock(mutex_);
  const auto it = entries_.find(std::string(key.substr(0, kMaxKeyBytes)));
  if (it == entries_.end() || it->second.times.size() < limit_) return std::nullopt;
  const Clock::duration left = it->second.times.front() + window_ - now;
  if (left <= Clock::duration::zero()) return std::nullopt;
  const auto seconds = std::chrono::ceil<std::chrono::seconds>(left);
  return std::max(seconds, std::chrono::seconds(1));
}

void MemoryRateLimiter::Record(std::string_view key) {
  const auto now = Now();
  const std::lock_guard lock(mutex_);
  std::string k(key.substr(0, kMaxKeyBytes));
  auto it = entries_.find(k);
  if (it == entries_.end()) {
    if (entries_.size() >= max_keys_) {
      entries_.erase(order_.front());
      order_.pop_front();
    }
    order_.push_back(k);
    it = entries_.emplace(std::move(k), Entry{{}, std::prev(order_.end())}).first;
  } else {
    order_.splice(order_.end(), order_, it->second.order);
  }
  std::deque<Clock::time_point>& times = it->second.times;
  times.push_back(now);
  if (times.size() > limit_) times.pop_front();
}

void MemoryRateLimiter::Reset(std::string_view key) {
  const std::lock_guard lock(mutex_);
  const auto it = entries_.find(std::string(key.substr(0, kMaxKeyBytes)));
  if (it == entries_.end()) return;
  order_.erase(it->second.order);
  entries_.erase(it);
}

std::unique_ptr<RateLimiter> MakeMemoryRateLimiter(std::string_view /*name*/, std::size_t limit,
                                                   std::chrono::seconds window) {
  return std::make_unique<MemoryRateLimiter>(limit, window, 20'000);
}

}  // namespace host
