#include "support/page_load.h"

#include <sstream>

#include "support/markup_check.h"

namespace testing_support {

PageLoad::PageLoad(int port, std::vector<std::string> targets, int clients, Classifier classify,
                   HeaderList headers, std::size_t max_requests)
    : port_(port),
      targets_(std::move(targets)),
      classify_(std::move(classify)),
      headers_(std::move(headers)),
      max_requests_(max_requests) {
  for (int c = 0; c < clients; ++c) threads_.emplace_back([this, c] { Run(c); });
}

PageLoad::~PageLoad() { Stop(); }

void PageLoad::Stop() {
  stopping_ = true;
  for (auto& t : threads_) {
    if (t.joinable()) t.join();
  }
}

void PageLoad::Run(int client) {
  HttpClient http("127.0.0.1", port_);
  http.SetTimeout(std::chrono::seconds(30));
  for (std::size_t i = 0; i < max_requests_ && !stopping_; ++i) {
    Answer answer;
    answer.target = targets_[(static_cast<std::size_t>(client) + i) % targets_.size()];
    answer.sent = Clock::now();
    try {
      answer.response = http.Get(answer.target, headers_);
    } catch (const std::exception& e) {
      answer.failure = e.what();
      http.Close();
    }
    const std::string kind = classify_(answer);
    {
      std::lock_guard lock(mutex_);
      if (++counts_[kind] == 1) samples_[kind] = answer.target + ": " + Describe(answer);
    }
    changed_.notify_all();
  }
}

bool PageLoad::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= deadline) return false;
    // Woken by the next answer; the cap also covers conditions that do not depend on answers.
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(50));
  }
}

std::size_t PageLoad::Count(const std::string& kind) const {
  std::lock_guard lock(mutex_);
  const auto it = counts_.find(kind);
  return it == counts_.end() ? 0 : it->second;
}

std::size_t PageLoad::Total() const {
  std::lock_guard lock(mutex_);
  std::size_t total = 0;
  for (const auto& [kind, n] : counts_) total += n;
  return total;
}

std::set<std::string> PageLoad::Kinds() const {
  std::lock_guard lock(mutex_);
  std::set<std::string> kinds;
  for (const auto& [kind, n] : counts_) kinds.insert(kind);
  return kinds;
}

std::string PageLoad::Sample(const std::string& kind) const {
  std::lock_guard lock(mutex_);
  const auto it = samples_.find(kind);
  return it == samples_.end() ? "" : it->second;
}

std::string PageLoad::Summary() const {
  std::lock_guard lock(mutex_);
  std::ostringstream out;
  for (const auto& [kind, n] : counts_) {
    out << kind << " ×" << n << ", e.g. " << samples_.at(kind) << "\n";
  }
  return out.str();
}

PageValidator::PageValidator() { static_cast<void>(WellFormedXml("<ready/>")); }

bool PageValidator::Valid(const std::string& body) {
  {
    std::lock_guard lock(mutex_);
    if (valid_.count(body) > 0) return true;
  }
  if (!ValidPage(body)) return false;
  std::lock_guard lock(mutex_);
  valid_.insert(body);
  return true;
}

std::string Describe(const PageLoad::Answer& answer) {
  if (!answer.response) return "no answer: " + answer.failure;
  const std::string& body = answer.response->body;
  return std::to_string(answer.response->status) + " " + body.substr(0, 300) +
         (body.size() > 300 ? "…" : "");
}

}  // namespace testing_support
