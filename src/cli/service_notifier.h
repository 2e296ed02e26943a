// ServiceNotifier: tells the service manager that started the server (systemd, through the socket
// named by NOTIFY_SOCKET) what state the server is in, for a unit of Type=notify. Without
// NOTIFY_SOCKET every call does nothing. A message that cannot be sent is ignored: the server
// serves the same either way. Thread-safe.
#pragma once

#include <string_view>

namespace cli {

class ServiceNotifier {
 public:
  // The listeners are bound and requests are served; `status` is a one-line description
  // (e.g. "listening on http://127.0.0.1:8080").
  void Ready(std::string_view status) const;
  // A reload has begun (its start time on the monotonic clock goes with it); Ready ends it.
  void Reloading() const;
  // The server is stopping: it accepts no more connections and finishes those in flight.
  void Stopping() const;
};

}  // namespace cli
