// FileUseObserver: what the file-system object tells of the files a thread uses, for a caller that
// must know what a run depended on (the host's page cache, host/objects/page_reads.h): each
// existence check with its path and answer, and any other use (reading, writing, copying,
// creating), after which the run depended on files no one watches.
//
// Per thread: an observer is current for the lifetime of a FileUseObserver::Scope on the calling
// thread; with none current nothing is told. Not thread-safe otherwise.
#pragma once

#include <string>

namespace fso {

enum class Existence { kFile, kFolder };

class FileUseObserver {
 public:
  // `path` (with "/" separators) was checked for being a regular file or a folder.
  virtual void ExistenceChecked(Existence kind, const std::string& path, bool exists) = 0;
  // A file or folder was read, written, copied or created.
  virtual void FilesUsed() = 0;

  // The calling thread's current observer, or nullptr.
  static FileUseObserver* Current();

  // Makes `observer` the calling thread's current one until destroyed; the previous one (if any)
  // is current again afterwards. Scope(nullptr) pauses observing.
  class Scope {
   public:
    explicit Scope(FileUseObserver* observer);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    FileUseObserver* previous_;
  };

 protected:
  ~FileUseObserver() = default;
};

// Whether `path` names a regular file / a folder now (stat(2)); what the checks answer, and what a
// caller asks again to see whether an answer still holds. Tells no observer.
bool FileExistsNow(const std::string& path);
bool FolderExistsNow(const std::string& path);

}  // namespace fso
