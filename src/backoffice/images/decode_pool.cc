#include "backoffice/images/decode_pool.h"

#include <algorithm>

namespace backoffice::images {

DecodePool::DecodePool(int workers, std::size_t max_waiting) : max_waiting_(max_waiting) {
  for (int i = 0; i < std::max(1, workers); ++i) threads_.emplace_back([this] { Work(); });
}

DecodePool::~DecodePool() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

bool DecodePool::Take(std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    const std::size_t idle = threads_.size() - busy_;
    if (waiting_.size() >= idle + max_waiting_) return false;
    waiting_.push_back(std::move(task));
  }
  wake_.notify_one();
  return true;
}

void DecodePool::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (waiting_.empty()) return;  // stopping, and nothing left to do
    std::function<void()> task = std::move(waiting_.front());
    waiting_.pop_front();
    ++busy_;
    lock.unlock();
    task();  // a packaged task: what it throws goes to its future
    lock.lock();
    --busy_;
  }
}

}  // namespace backoffice::images
