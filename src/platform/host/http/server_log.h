// ServerLog: the server's two outputs. Access lines go to one stream (standard output or a file),
// one per request in the combined log format (observe/access_line.h: time, request line with its
// query string, secrets redacted). Error details go to the other (standard error), each with the
// error id the client was shown, so the two can be matched; when that stream is the journal
// (`priorities`), each error and note line begins with its syslog priority ("<3>", "<5>"). Every
// line is
// written whole. Error and note lines are flushed at once. Access lines are too, unless the log
// batches them (`batch_access`, for a busy server whose standard output is a file or a pipe):
// then they are written together, at the latest kAccessFlushInterval after they were logged, when
// kAccessBatchBytes have gathered, and when the log is destroyed. Thread-safe.
//
// Repeats are counted, not written: an error or note whose text equals one written less than
// kRepeatInterval ago is not written again (an error gets the id of the one written); the next
// time that text is written, or when the log is destroyed, a line "… repeated N more times"
// gives the count. So a flood of identical failures costs one line per interval, not one per
// request.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "platform/observe/access_line.h"

namespace host {

struct ServerLogOptions {
  // Gather access lines and write them together (see above).
  bool batch_access = false;
  // Begin each error and note line with its "<N>" syslog priority (the errors stream is the
  // journal).
  bool priorities = false;
};

class ServerLog {
 public:
  static constexpr std::chrono::milliseconds kAccessFlushInterval{100};
  static constexpr std::size_t kAccessBatchBytes = 16 * 1024;
  static constexpr std::chrono::seconds kRepeatInterval{10};

  // The streams must outlive the log. With `batch_access` the log runs a thread that writes the
  // gathered access lines; the destructor writes what is left.
  ServerLog(std::ostream& access, std::ostream& errors, ServerLogOptions options = {});
  // Access lines are appended to the file `access_file` (created when missing), which Reopen
  // opens again. Throws std::runtime_error when it cannot be opened.
  ServerLog(const std::filesystem::path& access_file, std::ostream& errors,
            ServerLogOptions options = {});
  ~ServerLog();
  ServerLog(const ServerLog&) = delete;
  ServerLog& operator=(const ServerLog&) = delete;

  // One access line.
  void Access(const observe::AccessRecord& record);

  // Writes the gathered access lines, then opens the access file again by its name, so that a
  // file moved away by log rotation is left to its rotator and a new one is started. Nothing is
  // lost or written twice. When the file cannot be opened, the log keeps writing to the one it
  // has and notes the failure. Without an access file (a stream): nothing to do. Thread-safe;
  // not for a signal handler.
  void Reopen();

  // Logs `detail` under a new random error id: "error ID: detail". Returns the id (a repeat
  // within kRepeatInterval: the id already written for that text).
  std::string Error(std::string_view detail);

  // Logs a line that has no id (start-up, shutdown, a failure after the reply was fixed).
  void Note(std::string_view detail);

 private:
  // A text written recently: its error id ("" for a note), when it was written and how many
  // repeats were held back since.
  struct Recent {
    std::string id;
    std::chrono::steady_clock::time_point written;
    std::size_t held_back = 0;
  };

  // Writes `text` (one line) under a new id when `with_id`, unless it repeats a recent one;
  // returns the id the client is shown.
  std::string Counted(std::string_view text, bool with_id);
  // The "<N>" that begins a line of `priority`; empty without `priorities`.
  std::string_view Prefix(int priority) const;
  void StartFlusher();
  // Writes the "repeated" line of the text under `key` (in recent_) when repeats were held
  // back. Requires: mutex_ held.
  void WriteRepeats(const std::string& key, const Recent& recent);
  // Writes and flushes the gathered access lines. Requires: mutex_ held.
  void WritePending();
  void FlushLoop();

  std::mutex mutex_;
  const std::filesystem::path access_file_;  // empty: access_ is a stream of the caller's
  std::ofstream access_owned_;
  std::ostream* access_;
  std::ostream& errors_;
  const ServerLogOptions options_;
  std::string pending_;  // access lines not yet written (batching only)
  // By "e" or "n" (error or note) followed by the text written.
  std::unordered_map<std::string, Recent> recent_;
  bool stopping_ = false;
  std::condition_variable wake_;
  std::thread flusher_;  // batching only
};

}  // namespace host
