#include "cli/service_notifier.h"

#include <systemd/sd-daemon.h>

#include <ctime>
#include <string>

namespace cli {
namespace {

void Notify(const std::string& state) { (void)sd_notify(0, state.c_str()); }

}  // namespace

void ServiceNotifier::Ready(std::string_view status) const {
  Notify("READY=1\nSTATUS=" + std::string(status));
}

void ServiceNotifier::Reloading() const {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const long long usec = static_cast<long long>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1'000;
  Notify("RELOADING=1\nSTATUS=reloading\nMONOTONIC_USEC=" + std::to_string(usec));
}

void ServiceNotifier::Stopping() const { Notify("STOPPING=1\nSTATUS=stopping"); }

}  // namespace cli
