#include "platform/host/folder_writes.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace host {

FolderWrites::FolderWrites(const std::filesystem::path& folder) {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return;
  constexpr std::uint32_t kEvents = IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                    IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
  if (::inotify_add_watch(fd_, folder.c_str(), kEvents) < 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FolderWrites::~FolderWrites() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderWrites::WrittenSinceAsked() {
  if (fd_ < 0) return true;
  alignas(inotify_event) char buffer[4096];
  bool written = false;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0 && errno != EAGAIN) written = true;  // cannot tell: assume written
      break;
    }
    written = true;
    for (ssize_t at = 0; at < got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
        // The watch is gone with the folder: from now on every call says written.
        ::close(fd_);
        fd_ = -1;
        return true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
    }
  }
  return written;
}

}  // namespace host
