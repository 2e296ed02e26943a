// ServerLog: the server's two outputs. Access lines go to one stream (standard output), one per
// request: "REMOTE METHOD PATH STATUS BYTES DURATIONms". Error details go to the other (standard
// error), each with the error id the client was shown, so the two can be matched. Every line is
// written whole. Error and note lines are flushed at once. Access lines are too, unless the log
// batches them (`batch_access`, for a busy server whose standard output is a file or a pipe):
// then they are written together, at the latest kAccessFlushInterval after they were logged, when
// kAccessBatchBytes have gathered, and when the log is destroyed. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

namespace host {

class ServerLog {
 public:
  static constexpr std::chrono::milliseconds kAccessFlushInterval{100};
  static constexpr std::size_t kAccessBatchBytes = 16 * 1024;

  // The streams must outlive the log. With `batch_access` the log runs a thread that writes the
  // gathered access lines; the destructor writes what is left.
  ServerLog(std::ostream& access, std::ostream& errors, bool batch_access = false);
  ~ServerLog();
  ServerLog(const ServerLog&) = delete;
  ServerLog& operator=(const ServerLog&) = delete;

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
  // Writes and flushes the gathered access lines. Requires: mutex_ held.
  void WritePending();
  void FlushLoop();

  std::mutex mutex_;
  std::ostream& access_;
  std::ostream& errors_;
  const bool batch_access_;
  std::string pending_;  // access lines not yet written (batching only)
  bool stopping_ = false;
  std::condition_variable wake_;
  std::thread flusher_;  // batching only
};

}  // namespace host
