// ServerProcess: a real `wapsite serve` child process for integration tests.
//
//   TempDir root;  // lay out files in root.path()
//   ServerProcess server(root.path());                      // port 0, waits until it listens
//   HttpClient client("127.0.0.1", server.Port());
//   ...
//   EXPECT_EQ(server.Stop(), 0);                            // SIGTERM, waits, exit code
//
// The constructor runs `WAPSITE_BIN serve --root ROOT --listen 127.0.0.1:0 EXTRA_ARGS…`, reads
// standard output until the line "listening on http://ADDR:PORT" and keeps the port. Two threads
// drain the child's standard output and standard error for its whole life, so the child never
// blocks on a full pipe; both texts can be read at any time. Standard error lines are also copied
// to the test's standard error, prefixed "[wapsite] ", to help when a test fails.
//
// The destructor stops a still-running child (SIGTERM, then SIGKILL after a bounded wait) and
// reports a non-zero exit as a test failure (ADD_FAILURE), so a crash or a sanitizer report in the
// server fails the test that started it. Call Stop() yourself to check the exit code explicitly.
// Should the test process die without its destructors, the child gets SIGTERM as soon as the
// thread that started it is gone (so start servers on the test's own thread).
//
// Not thread-safe as a whole: one test thread owns the object; Stdout()/Stderr()/WaitForStdout()
// may be called while the child runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testing_support {

class ServerProcess {
 public:
  // Starts the server on `root` with `extra_args` after the standard ones and waits (at most
  // `startup_timeout`) for its listening line. Throws std::runtime_error, with the child's
  // standard error, when it cannot be started, exits early or does not announce itself in time.
  explicit ServerProcess(const std::filesystem::path& root,
                         std::vector<std::string> extra_args = {},
                         std::chrono::milliseconds startup_timeout = std::chrono::seconds(30));
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // The port the server listens on (the real one, never 0), and "127.0.0.1".
  int Port() const { return port_; }
  const std::string& Host() const { return host_; }
  // "http://127.0.0.1:PORT".
  std::string BaseUrl() const;
  pid_t Pid() const { return pid_; }

  // Sends `signal` to the child (e.g. SIGINT). Does nothing once it has exited.
  void Signal(int signal);

  // Sends SIGTERM and waits (at most `timeout`) for the child to exit; SIGKILL after that.
  // Returns its exit code, or 128 + the signal number when a signal ended it. Waits for the
  // output threads to see the end of both pipes. Calling it again returns the same code.
  int Stop(std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // Waits (at most `timeout`) for the child to exit on its own; the exit code as Stop() reports
  // it, or std::nullopt when it is still running.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

  // Everything the child wrote to standard output / standard error so far.
  std::string Stdout() const;
  std::string Stderr() const;

  // Waits (at most `timeout`) until the child's standard output contains `text`; true if it does.
  bool WaitForStdout(std::string_view text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // The same for standard error.
  bool WaitForStderr(std::string_view text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  void Drain(int fd, std::string& sink, bool echo);
  std::optional<int> Reap(bool block);
  void JoinDrains();

  pid_t pid_ = -1;
  std::optional<int> exit_code_;
  bool reported_ = false;
  int port_ = 0;
  std::string host_ = "127.0.0.1";

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string stdout_;
  std::string stderr_;
  int open_pipes_ = 0;
  std::thread stdout_thread_;
  std::thread stderr_thread_;
};

// Runs `WAPSITE_BIN args…` to completion (e.g. {"init", dir}); returns its exit code and collects
// its standard output and error. Throws std::runtime_error when it cannot be started.
struct CommandResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};
CommandResult RunWapsite(const std::vector<std::string>& args);

}  // namespace testing_support
