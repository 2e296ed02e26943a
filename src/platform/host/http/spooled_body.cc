#include "platform/host/http/spooled_body.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace host {
namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

MappedBody::~MappedBody() {
  if (address_ != nullptr) ::munmap(const_cast<void*>(address_), size_);
}

SpooledBody::SpooledBody(const std::filesystem::path& folder) {
  std::string pattern = (folder / "body.XXXXXX").string();
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);  // mode 0600
  if (fd_ < 0) ThrowErrno("cannot make a temporary file in " + folder.string());
  if (::unlink(pattern.c_str()) != 0) {
    const int error = errno;
    ::close(fd_);
    errno = error;
    ThrowErrno("cannot remove the name of " + pattern);
  }
}

SpooledBody::~SpooledBody() { ::close(fd_); }

bool SpooledBody::Append(const void* data, std::size_t size) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd_, next, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    next += written;
    size -= static_cast<std::size_t>(written);
    size_ += static_cast<std::uint64_t>(written);
  }
  return true;
}

std::shared_ptr<const MappedBody> SpooledBody::Map() const {
  if (size_ == 0) return std::make_shared<const MappedBody>(nullptr, 0);
  const auto length = static_cast<std::size_t>(size_);
  void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd_, 0);
  if (address == MAP_FAILED) ThrowErrno("cannot map a request body of " + std::to_string(size_));
  ::madvise(address, length, MADV_SEQUENTIAL);  // read front to back, pages dropped behind
  return std::make_shared<const MappedBody>(address, length);
}

SpoolFolder::SpoolFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "wapsite-uploads.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ThrowErrno("cannot make a folder for uploads");
  path_ = pattern;
}

SpoolFolder::~SpoolFolder() {
  std::error_code ignored;  // a folder someone removed already is as good as removed
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace host
