#include "platform/host/sessions/rate_limiter.h"

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

std::optional<std::chrono::system_clock::time_point> LastReached(RateLimiter& limiter,
                                                                 std::string_view key,
                                                                 std::chrono::seconds window) {
  const auto left = limiter.Blocked(key);
  if (!left) return std::nullopt;
  return std::chrono::system_clock::now() - (window - *left);
}

SignInLimiters::SignInLimiters(std::string_view kind, std::size_t per_name_and_address,
                               std::size_t per_address, const RateLimiterFactory& make)
    : by_name_and_address(
          make(std::string(kind) + "-name-address", per_name_and_address, std::chrono::minutes(5))),
      by_name(make(std::string(kind) + "-name-hour",
                   std::max(kFailuresPerName, 10 * per_name_and_address), std::chrono::hours(1))),
      by_address(make(std::string(kind) + "-address", per_address, std::chrono::minutes(1))) {}

SignInAttempt::SignInAttempt(SignInLimiters* limiters, RateLimiter* signins_by_address,
                             std::string_view kind, std::string_view name, std::string_view address)
    : limiters_(limiters),
      signins_(signins_by_address),
      name_(name),
      address_(address),
      signin_key_(std::string(kind) + ' ' + std::string(address)) {
  // The address first: a name of any length cannot push it out of the compared bytes.
  name_and_address_.append(address).push_back('\0');
  name_and_address_.append(name);
}

std::optional<std::chrono::seconds> SignInAttempt::Blocked() const {
  std::optional<std::chrono::seconds> longest;
  const auto consider = [&longest](std::optional<std::chrono::seconds> wait) {
    if (wait && (!longest || *wait > *longest)) longest = wait;
  };
  if (limiters_ != nullptr) {
    consider(limiters_->by_name_and_address->Blocked(name_and_address_));
    consider(limiters_->by_name->Blocked(name_));
    consider(limiters_->by_address->Blocked(address_));
  }
  if (signins_ != nullptr) consider(signins_->Blocked(signin_key_));
  return longest;
}

void SignInAttempt::Throttled() {
  if (limiters_ != nullptr) limiters_->failures.fetch_add(1, std::memory_order_relaxed);
}

void SignInAttempt::Failed() {
  if (limiters_ == nullptr) return;
  limiters_->failures.fetch_add(1, std::memory_order_relaxed);
  limiters_->by_name_and_address->Record(name_and_address_);
  limiters_->by_name->Record(name_);
  limiters_->by_address->Record(address_);
}

void SignInAttempt::Succeeded() {
  if (limiters_ != nullptr) limiters_->by_name_and_address->Reset(name_and_address_);
  if (signins_ != nullptr) signins_->Record(signin_key_);
}

}  // namespace host
