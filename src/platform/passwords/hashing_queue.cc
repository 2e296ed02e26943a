#include "platform/passwords/hashing_queue.h"

#include <sys/resource.h>
#include <unistd.h>

#include <exception>

namespace passwords {

// One admitted job and its caller's wait for it.
struct HashingQueue::Job {
  const std::function<void()>* work;
  std::exception_ptr failure;
  bool done = false;
  std::condition_variable finished;
};

HashingQueue::HashingQueue(std::size_t workers, std::size_t max_waiting)
    : workers_count_(workers), max_waiting_(max_waiting) {
  workers_.reserve(workers);
  for (std::size_t i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

HashingQueue::~HashingQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool HashingQueue::Run(const std::function<void()>& job) {
  Job admitted{&job, nullptr, false, {}};
  std::unique_lock lock(mutex_);
  if (admitted_ >= workers_count_ + max_waiting_) return false;
  ++admitted_;
  waiting_.push_back(&admitted);
  wake_.notify_one();
  admitted.finished.wait(lock, [&admitted] { return admitted.done; });
  if (admitted.failure) std::rethrow_exception(admitted.failure);
  return true;
}

void HashingQueue::SetMaxWaiting(std::size_t max_waiting) {
  const std::lock_guard lock(mutex_);
  max_waiting_ = max_waiting;
}

void HashingQueue::Work() {
  // Linux gives each thread its own nice value; a failure leaves the default priority.
  (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    if (waiting_.empty()) return;  // stopping, nothing left
    Job* job = waiting_.front();
    waiting_.pop_front();
    lock.unlock();
    try {
      (*job->work)();
    } catch (...) {
      job->failure = std::current_exception();
    }
    lock.lock();
    --admitted_;
    job->done = true;
    job->finished.notify_one();
  }
}

}  // namespace passwords
