#include "cli/signal_watcher.h"

#include <pthread.h>

#include <csignal>
#include <system_error>

namespace cli {
namespace {

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void BlockWatchedSignals() {
  const sigset_t set = WatchedSignals();
  if (const int error = pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
    throw std::system_error(error, std::generic_category(), "cannot block the stop signals");
  }
}

SignalWatcher::SignalWatcher(std::function<void()> stop, std::function<void()> reload)
    : stop_(std::move(stop)), reload_(std::move(reload)) {
  BlockWatchedSignals();
  thread_ = std::thread([this] { Watch(); });
}

SignalWatcher::~SignalWatcher() {
  done_ = true;
  // Wakes the watcher's sigwait; with done_ set it returns without calling stop_.
  pthread_kill(thread_.native_handle(), SIGTERM);
  thread_.join();
}

void SignalWatcher::Watch() {
  const sigset_t set = WatchedSignals();
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    if (done_) return;
    if (signal == SIGHUP) {
      reload_();
    } else {
      stop_();
    }
  }
}

}  // namespace cli
