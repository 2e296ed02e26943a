// HashingQueue: runs password hashing (64 MiB and tens of milliseconds of one core each) on a
// few threads of its own, so that a flood of sign-ins costs those threads and a bounded queue,
// never every page thread of the server.
//
// `workers` jobs run at once; at most `max_waiting` more wait for a worker. A job beyond that is
// refused at once (Run returns false without running it): the caller answers "busy, try again"
// instead of queuing a page thread behind the others. The caller of Run waits for its own job
// only, so at most workers + max_waiting callers wait at any time. The workers run at a lower
// scheduling priority than the page threads (visitor pages go first when the cores are busy).
// Thread-safe; the destructor finishes the admitted jobs and joins the workers.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace passwords {

class HashingQueue {
 public:
  // Starts `workers` (> 0) threads.
  HashingQueue(std::size_t workers, std::size_t max_waiting);
  ~HashingQueue();
  HashingQueue(const HashingQueue&) = delete;
  HashingQueue& operator=(const HashingQueue&) = delete;

  // Runs `job` on a worker and returns true once it has run (what it throws is rethrown here);
  // false at once, without running it, when the queue is full.
  bool Run(const std::function<void()>& job);

  // Changes how many jobs may wait; jobs already admitted stay.
  void SetMaxWaiting(std::size_t max_waiting);

 private:
  struct Job;
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job*> waiting_;
  std::size_t admitted_ = 0;  // running and waiting
  std::size_t workers_count_;
  std::size_t max_waiting_;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace passwords
