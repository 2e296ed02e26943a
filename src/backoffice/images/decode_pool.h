// A small pool of threads that decode pictures, so that a picture's decoding runs outside the
// threads that answer requests and no more than a few pictures are decoded at once. Work beyond
// what the pool takes is refused at once rather than queued without end. Thread-safe.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace backoffice::images {

class DecodePool {
 public:
  // Starts `workers` threads (at least 1); at most `max_waiting` pieces of work wait for one.
  DecodePool(int workers, std::size_t max_waiting);
  DecodePool(const DecodePool&) = delete;
  DecodePool& operator=(const DecodePool&) = delete;
  // Finishes the work already taken, then stops the threads.
  ~DecodePool();

  // Runs `work` on a pool thread and returns its result when it is done, rethrowing what it
  // threw; std::nullopt at once, without running it, when every thread is busy and `max_waiting`
  // pieces of work already wait.
  template <class Result>
  std::optional<Result> Run(std::function<Result()> work) {
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
    std::future<Result> done = task->get_future();
    if (!Take([task] { (*task)(); })) return std::nullopt;
    return done.get();
  }

 private:
  bool Take(std::function<void()> task);
  void Work();

  const std::size_t max_waiting_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> waiting_;
  std::size_t busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace backoffice::images
