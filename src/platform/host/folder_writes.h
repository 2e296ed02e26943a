// FolderWrites: whether anything in one folder was written, created, removed or renamed since it
// was last asked, told without waiting (inotify). The kernel queues the event before the write
// that caused it returns, so a write finished before WrittenSinceAsked is called is always seen
// by that call. Lets the change watcher skip asking the database while nothing was written.
// When the folder cannot be watched, or the watch is lost (the folder removed or moved) or
// overflows, every call answers true. One caller at a time (the change watcher's lock).
#pragma once

#include <filesystem>

namespace host {

class FolderWrites {
 public:
  explicit FolderWrites(const std::filesystem::path& folder);  // never throws
  ~FolderWrites();
  FolderWrites(const FolderWrites&) = delete;
  FolderWrites& operator=(const FolderWrites&) = delete;

  // True when a file of the folder was written, created, removed or renamed since the last call
  // (since construction for the first), or when the folder is not (or no longer) watched.
  bool WrittenSinceAsked();

 private:
  int fd_ = -1;  // the inotify descriptor; -1: not watching
};

}  // namespace host
