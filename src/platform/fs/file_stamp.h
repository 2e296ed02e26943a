// FileStamp: a file's version as stat(2) tells it, its modification time and size. Whatever was
// parsed from a file may be kept while the file's stamp is unchanged.
#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace fso {

struct FileStamp {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  std::uintmax_t size = 0;

  static FileStamp Of(const struct stat& status) {
    return {status.st_mtim.tv_sec, status.st_mtim.tv_nsec,
            static_cast<std::uintmax_t>(status.st_size)};
  }
  bool operator==(const FileStamp&) const = default;
};

}  // namespace fso
