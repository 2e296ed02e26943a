// Owners of the raw handles the file-system code works with: an open file descriptor, and a
// temporary file that goes away unless it was kept. One thread owns each.
#pragma once

#include <unistd.h>

#include <string>
#include <utility>

namespace fs_support {

// Closes a file descriptor on every path out of a scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now, returning close's result; the destructor then does nothing.
  int Close() { return ::close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

// Removes a file on scope exit unless Keep() was called.
class RemoveUnlessKept {
 public:
  explicit RemoveUnlessKept(std::string path) : path_(std::move(path)) {}
  ~RemoveUnlessKept() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  RemoveUnlessKept(const RemoveUnlessKept&) = delete;
  RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace fs_support
