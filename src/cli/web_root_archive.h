// WebRootArchive: a web root as a tar file (POSIX pax, written and read with libarchive).
// Entries are paths relative to the root, "/" separated; only folders and regular files are
// kept. Restoring refuses the whole archive at its first entry that is anything else (a hard
// link in any form, a symbolic link, a device), names an absolute path or climbs with "..";
// it writes nothing outside a new folder beside the root and swaps that folder in only when
// every entry was written. One thread.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

struct archive;

namespace cli {

class TarWriter {
 public:
  // Creates (or replaces) the tar file `path`. Throws std::runtime_error when it cannot.
  explicit TarWriter(const std::filesystem::path& path);
  ~TarWriter();
  TarWriter(const TarWriter&) = delete;
  TarWriter& operator=(const TarWriter&) = delete;

  // Adds the regular file `source` under the entry name `name`, with its mode and time. A file
  // that shrinks while it is read is padded with zeros, one that grows is cut at the size it had:
  // the archive stays well-formed. Throws std::runtime_error on a read or write failure.
  void AddFile(const std::filesystem::path& source, const std::string& name);
  // Adds every folder and regular file below `root` (not `root` itself) under its relative
  // path, except those `skip` (given the relative path) refuses; a symbolic link or other
  // special file is left out and reported to `skipped`. Returns the number of files added.
  std::size_t AddTree(const std::filesystem::path& root,
                      const std::function<bool(const std::string&)>& skip,
                      const std::function<void(const std::string&)>& skipped);
  // Finishes the archive. Throws std::runtime_error when the last writes fail.
  void Close();

 private:
  // Writes the entry header of `name` (`type` AE_IFREG or AE_IFDIR) with the mode, time and
  // (for a file) size `source` has now; returns that status.
  struct stat WriteHeader(const std::filesystem::path& source, const std::string& name,
                          unsigned type);

  struct Free {
    void operator()(archive* a) const noexcept;
  };
  std::unique_ptr<archive, Free> archive_;
};

// What RestoreWebRoot did.
struct Restored {
  std::size_t files = 0;
  // Where the root's previous contents were moved (beside it); empty when the root was
  // missing or empty.
  std::filesystem::path previous;
};

// Lays the entries of the tar file `path` out as the web root `root`: into a new folder beside
// `root`, which then takes the place of `root` (a missing or empty `root` is replaced; the
// contents of one that is not are moved aside, see Restored::previous). Files are written 0644
// and folders 0755, owned by the running user, whatever modes and owners the archive stores;
// modification times are kept. Throws std::runtime_error naming the entry and the reason on a
// malformed archive, a refused entry or a failed write; `root` is then exactly as it was and
// the new folder is gone. `check`, when given, runs on the laid-out folder before it takes the
// place of `root`; what it throws ends the restore the same way. Requires: `root` is absolute.
Restored RestoreWebRoot(const std::filesystem::path& path, const std::filesystem::path& root,
                        const std::function<void(const std::filesystem::path&)>& check = {});

}  // namespace cli
