// ServerLog: the server's two outputs. Access lines go to one stream (standard output), one per
// request: "REMOTE METHOD PATH STATUS BYTES DURATIONms". Error details go to the other (standard
// error), each with the error id the client was shown, so the two can be matched. Every line is
// written whole and flushed at once. Thread-safe.
#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace host {

class ServerLog {
 public:
  ServerLog(std::ostream& access, std::ostream& errors) : access_(access), errors_(errors) {}

  // One access line. `path` is the request target without its query string (values stay out of
  // the log); `bytes` the body bytes sent.
  void Access(std::string_view remote, std::string_view method, std::string_view path, int status,
              std::size_t bytes, std::chrono::steady_clock::duration duration);

  // Logs `detail` under a new random error id: "error ID: detail". Returns the id.
  std::string Error(std::string_view detail);

  // Logs a line that has no id (start-up, shutdown, a failure after the reply was fixed).
  void Note(std::string_view detail);

 private:
  void Line(std::ostream& out, std::string_view text);

  std::mutex mutex_;
  std::ostream& access_;
  std::ostream& errors_;
};

}  // namespace host
