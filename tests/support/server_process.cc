#include "server_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <regex>
#include <stdexcept>

extern char** environ;

namespace testing_support {
namespace {

struct Pipe {
  int read_end = -1;
  int write_end = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    read_end = fds[0];
    write_end = fds[1];
  }
  ~Pipe() {
    if (read_end >= 0) close(read_end);
    if (write_end >= 0) close(write_end);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  int TakeRead() { return std::exchange(read_end, -1); }
  void CloseWrite() {
    if (write_end >= 0) close(write_end);
    write_end = -1;
  }
};

// Starts WAPSITE_BIN with `args`, its standard output and error going to the write ends. The
// child gets SIGTERM when the thread that started it ends, so a test that crashes leaves no
// server behind.
pid_t Spawn(const std::vector<std::string>& args, Pipe& out, Pipe& err) {
  std::vector<std::string> argv_strings;
  argv_strings.emplace_back(WAPSITE_BIN);
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  Pipe exec_status;  // close-on-exec: the parent reads an errno only when exec failed
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    // Only async-signal-safe calls from here on.
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent ||
        dup2(out.write_end, STDOUT_FILENO) < 0 || dup2(err.write_end, STDERR_FILENO) < 0) {
      _exit(127);
    }
    execve(argv[0], argv.data(), environ);
    const int error = errno;
    (void)!write(exec_status.write_end, &error, sizeof error);
    _exit(127);
  }
  out.CloseWrite();
  err.CloseWrite();
  exec_status.CloseWrite();
  int error = 0;
  ssize_t n;
  do {
    n = read(exec_status.read_end, &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  if (n == sizeof error) {
    waitpid(pid, nullptr, 0);
    throw std::runtime_error(std::string("cannot start ") + WAPSITE_BIN + ": " +
                             std::strerror(error));
  }
  return pid;
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reads `fd` to its end into `sink`; closes it.
void ReadAll(int fd, std::string& sink) {
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      sink.append(buf, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  close(fd);
}

}  // namespace

ServerProcess::ServerProcess(const std::filesystem::path& root, std::vector<std::string> extra_args,
                             std::chrono::milliseconds startup_timeout) {
  std::vector<std::string> args = {"serve", "--root", root.string(), "--listen", "127.0.0.1:0"};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  Pipe out, err;
  pid_ = Spawn(args, out, err);
  open_pipes_ = 2;
  const int out_fd = out.TakeRead();
  const int err_fd = err.TakeRead();
  stdout_thread_ = std::thread([this, out_fd] { Drain(out_fd, stdout_, false); });
  stderr_thread_ = std::thread([this, err_fd] { Drain(err_fd, stderr_, true); });

  static const std::regex kListening(R"(listening on http://([0-9.]+):([0-9]+)\r?\n)");
  std::unique_lock lock(mutex_);
  std::smatch match;
  const bool announced = changed_.wait_for(lock, startup_timeout, [&] {
    return std::regex_search(stdout_, match, kListening) || open_pipes_ == 0;
  });
  if (announced && !match.empty()) {
    host_ = match[1].str();
    port_ = std::stoi(match[2].str());
    return;
  }
  const std::string err_text = stderr_;
  const std::string out_text = stdout_;
  lock.unlock();
  Stop(std::chrono::seconds(5));
  reported_ = true;
  JoinDrains();
  throw std::runtime_error("wapsite serve did not start; stdout: " + out_text +
                           " stderr: " + err_text);
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    const int code = Stop();
    if (code != 0 && !reported_) {
      ADD_FAILURE() << "wapsite serve exited with code " << code << "\nstderr:\n" << Stderr();
    }
  }
  JoinDrains();
}

std::string ServerProcess::BaseUrl() const {
  return "http://" + host_ + ":" + std::to_string(port_);
}

void ServerProcess::Drain(int fd, std::string& sink, bool echo) {
  char buf[4096];
  std::string line;
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    {
      std::lock_guard lock(mutex_);
      sink.append(buf, static_cast<std::size_t>(n));
    }
    changed_.notify_all();
    if (echo) {
      line.append(buf, static_cast<std::size_t>(n));
      std::size_t nl;
      while ((nl = line.find('\n')) != std::string::npos) {
        std::cerr << "[wapsite] " << line.substr(0, nl + 1) << std::flush;
        line.erase(0, nl + 1);
      }
    }
  }
  if (echo && !line.empty()) std::cerr << "[wapsite] " << line << "\n" << std::flush;
  close(fd);
  {
    std::lock_guard lock(mutex_);
    --open_pipes_;
  }
  changed_.notify_all();
}

std::optional<int> ServerProcess::Reap(bool block) {
  if (exit_code_) return exit_code_;
  if (pid_ <= 0) return std::nullopt;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) exit_code_ = ExitCodeOf(status);
  return exit_code_;
}

void ServerProcess::Signal(int signal) {
  if (pid_ > 0 && !Reap(false)) kill(pid_, signal);
}

std::optional<int> ServerProcess::WaitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // Both pipes reach their end when the child exits (unless it left a grandchild holding them);
  // waiting on them avoids polling waitpid.
  {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return open_pipes_ == 0; });
  }
  while (!Reap(false) && std::chrono::steady_clock::now() < deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(10));
  }
  return exit_code_;
}

int ServerProcess::Stop(std::chrono::milliseconds timeout) {
  if (exit_code_) return *exit_code_;
  if (pid_ <= 0) return -1;
  Signal(SIGTERM);
  if (!WaitForExit(timeout)) {
    kill(pid_, SIGKILL);
    Reap(true);
  }
  JoinDrains();
  return exit_code_.value_or(-1);
}

void ServerProcess::JoinDrains() {
  if (stdout_thread_.joinable()) stdout_thread_.join();
  if (stderr_thread_.joinable()) stderr_thread_.join();
}

std::string ServerProcess::Stdout() const {
  std::lock_guard lock(mutex_);
  return stdout_;
}

std::string ServerProcess::Stderr() const {
  std::lock_guard lock(mutex_);
  return stderr_;
}

bool ServerProcess::WaitForStdout(std::string_view text, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return stdout_.find(text) != std::string::npos || open_pipes_ == 0;
  }) && stdout_.find(text) != std::string::npos;
}

bool ServerProcess::WaitForStderr(std::string_view text, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return stderr_.find(text) != std::string::npos || open_pipes_ == 0;
  }) && stderr_.find(text) != std::string::npos;
}

CommandResult RunWapsite(const std::vector<std::string>& args) {
  Pipe out, err;
  const pid_t pid = Spawn(args, out, err);
  CommandResult result;
  const int out_fd = out.TakeRead();
  const int err_fd = err.TakeRead();
  std::thread err_thread([&] { ReadAll(err_fd, result.err); });
  ReadAll(out_fd, result.out);
  err_thread.join();
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = ExitCodeOf(status);
  return result;
}

}  // namespace testing_support
