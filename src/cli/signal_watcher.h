// SignalWatcher: turns the signals an operator or a service manager sends into calls on one thread
// of its own: SIGINT and SIGTERM call `stop`, SIGHUP calls `reload`. The callbacks run one at a
// time on the watcher's thread and must not throw. The destructor ends that thread; the signals
// stay blocked. Not copyable; one per process.
//
// BlockWatchedSignals must run first, before the process starts any thread, so that every thread
// inherits the mask and only the watcher receives these signals; one that arrives before the
// watcher exists waits for it.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace cli {

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread. Throws std::system_error on failure.
void BlockWatchedSignals();

class SignalWatcher {
 public:
  SignalWatcher(std::function<void()> stop, std::function<void()> reload);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Watch();

  std::function<void()> stop_;
  std::function<void()> reload_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace cli
