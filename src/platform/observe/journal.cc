#include "platform/observe/journal.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace observe {

bool IsJournalStream(int fd) {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  unsigned long long device = 0, inode = 0;
  char rest = 0;
  if (std::sscanf(stream, "%llu:%llu%c", &device, &inode, &rest) != 2) return false;
  struct stat status {};
  if (fstat(fd, &status) != 0) return false;
  return status.st_dev == device && status.st_ino == inode;
}

}  // namespace observe
