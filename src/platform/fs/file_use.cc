#include "platform/fs/file_use.h"

#include <sys/stat.h>

namespace fso {
namespace {

thread_local FileUseObserver* t_current = nullptr;

}  // namespace

FileUseObserver* FileUseObserver::Current() { return t_current; }

FileUseObserver::Scope::Scope(FileUseObserver* observer) : previous_(t_current) {
  t_current = observer;
}

FileUseObserver::Scope::~Scope() { t_current = previous_; }

bool FileExistsNow(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExistsNow(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace fso
