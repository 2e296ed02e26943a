#include "cli/web_root_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace cli {
namespace {

namespace fs = std::filesystem;

struct FreeEntry {
  void operator()(archive_entry* e) const noexcept { archive_entry_free(e); }
};
using EntryPtr = std::unique_ptr<archive_entry, FreeEntry>;

struct FreeReader {
  void operator()(archive* a) const noexcept { archive_read_free(a); }
};

[[noreturn]] void Fail(archive* a, const std::string& what) {
  const char* detail = archive_error_string(a);
  throw std::runtime_error(what + ": " + (detail ? detail : "unknown error"));
}

// Why the entry `name` is refused, or nullptr when it is a folder or plain file that stays
// below the root: relative, no "..", not empty.
const char* Refusal(archive_entry* entry, const std::string& name) {
  if (archive_entry_hardlink(entry) != nullptr) return "hard links are not restored";
  if (archive_entry_symlink(entry) != nullptr || archive_entry_filetype(entry) == AE_IFLNK)
    return "symbolic links are not restored";
  const auto type = archive_entry_filetype(entry);
  if (type != AE_IFREG && type != AE_IFDIR) return "only folders and plain files are restored";
  const fs::path path(name);
  if (name.empty()) return "an entry without a name";
  if (path.is_absolute()) return "an absolute name (only names below the root are restored)";
  for (const fs::path& part : path) {
    if (part == "..") return "a name with \"..\" (only names below the root are restored)";
  }
  if (type == AE_IFREG && path.lexically_normal().filename().empty())
    return "a file named like a folder";
  return nullptr;
}

void MustChmod(const fs::path& path, mode_t mode) {
  if (::chmod(path.c_str(), mode) != 0)
    throw std::runtime_error("cannot set the mode of " + path.string() + ": " +
                             std::strerror(errno));
}

// Creates each missing folder of `relative` below `base` as 0755. A part that exists must be a
// folder (nothing below `base` is ever a symbolic link: none is restored).
void MakeFolders(const fs::path& base, const fs::path& relative) {
  fs::path at = base;
  for (const fs::path& part : relative) {
    if (part.empty() || part == ".") continue;
    at /= part;
    if (::mkdir(at.c_str(), 0755) == 0) {
      MustChmod(at, 0755);
    } else if (errno != EEXIST || !fs::is_directory(fs::symlink_status(at))) {
      throw std::runtime_error("cannot make the folder " + at.string() + ": " +
                               std::strerror(errno == EEXIST ? ENOTDIR : errno));
    }
  }
}

// Writes the body of the current entry of `in` to the file `target` as 0644 (replacing an
// earlier entry of the same name), with the entry's modification time.
void WriteEntryFile(archive* in, archive_entry* entry, const fs::path& target,
                    const std::string& name) {
  const int fd =
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot write " + name + ": " + std::strerror(errno));
  struct CloseFd {
    int fd;
    ~CloseFd() { ::close(fd); }
  } closer{fd};
  if (::fchmod(fd, 0644) != 0)
    throw std::runtime_error("cannot write " + name + ": " + std::strerror(errno));
  const void* block = nullptr;
  std::size_t size = 0;
  la_int64_t offset = 0;
  int rc;
  while ((rc = archive_read_data_block(in, &block, &size, &offset)) == ARCHIVE_OK) {
    const char* bytes = static_cast<const char*>(block);
    while (size > 0) {
      const ssize_t wrote = ::pwrite(fd, bytes, size, offset);
      if (wrote < 0) throw std::runtime_error("cannot write " + name + ": " + std::strerror(errno));
      bytes += wrote;
      offset += wrote;
      size -= static_cast<std::size_t>(wrote);
    }
  }
  if (rc != ARCHIVE_EOF) Fail(in, "cannot read " + name);
  const la_int64_t length = archive_entry_size(entry);
  if (length > 0 && ::ftruncate(fd, length) != 0)  // a sparse file's hole at its end
    throw std::runtime_error("cannot write " + name + ": " + std::strerror(errno));
  if (archive_entry_mtime_is_set(entry)) {
    const struct timespec times[2] = {
        {0, UTIME_OMIT}, {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
    ::futimens(fd, times);  // only a nicety: the restore stands without it
  }
}

// A new folder beside `root`, named after it, removed with all it holds unless swapped in.
class NewFolder {
 public:
  NewFolder(const fs::path& root, const std::string& what) {
    path_ = MakeBeside(root, what);
    MustChmod(path_, 0755);
  }
  ~NewFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  NewFolder(const NewFolder&) = delete;
  NewFolder& operator=(const NewFolder&) = delete;
  const fs::path& Path() const { return path_; }

  // Puts this folder in the place of `root`; returns where a `root` that held anything went
  // (empty when nothing did). Throws std::runtime_error, leaving `root` as it was, on failure.
  fs::path SwapInto(const fs::path& root) {
    fs::path previous;
    std::error_code ec;
    if (fs::exists(root) && !fs::is_empty(root)) {
      previous = MakeBeside(root, "before-restore");
      if (::rename(root.c_str(), previous.c_str()) != 0) {
        const int error = errno;
        fs::remove(previous, ec);
        throw std::runtime_error("cannot move " + root.string() +
                                 " aside: " + std::strerror(error));
      }
    }
    if (::rename(path_.c_str(), root.c_str()) != 0) {
      const int error = errno;
      if (!previous.empty()) ::rename(previous.c_str(), root.c_str());
      throw std::runtime_error("cannot put the restored files in place as " + root.string() + ": " +
                               std::strerror(error));
    }
    path_.clear();
    return previous;
  }

 private:
  // A new empty folder ".NAME.WHAT-XXXXXX" (or "NAME.WHAT-XXXXXX" for kept ones) beside `root`.
  static fs::path MakeBeside(const fs::path& root, const std::string& what) {
    const fs::path parent = root.parent_path();
    fs::create_directories(parent);
    std::string pattern = (parent / ((what == "restoring" ? "." : "") + root.filename().string() +
                                     "." + what + "-XXXXXX"))
                              .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot make a folder beside " + root.string() + ": " +
                               std::strerror(errno));
    }
    return pattern;
  }

  fs::path path_;
};

}  // namespace

void TarWriter::Free::operator()(archive* a) const noexcept { archive_write_free(a); }

TarWriter::TarWriter(const fs::path& path) : archive_(archive_write_new()) {
  if (!archive_) throw std::runtime_error("out of memory");
  if (archive_write_set_format_pax_restricted(archive_.get()) != ARCHIVE_OK ||
      archive_write_open_filename(archive_.get(), path.c_str()) != ARCHIVE_OK) {
    Fail(archive_.get(), "cannot write " + path.string());
  }
}

TarWriter::~TarWriter() = default;

void TarWriter::AddFile(const fs::path& source, const std::string& name) {
  std::ifstream in(source, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + source.string());
  const struct stat status = WriteHeader(source, name, AE_IFREG);
  std::array<char, 64 * 1024> buffer{};
  auto left = static_cast<std::uintmax_t>(status.st_size);
  while (left > 0) {
    const std::size_t want = std::min<std::uintmax_t>(left, buffer.size());
    in.read(buffer.data(), static_cast<std::streamsize>(want));
    auto got = static_cast<std::size_t>(in.gcount());
    if (in.bad()) throw std::runtime_error("cannot read " + source.string());
    if (got < want) {  // the file shrank meanwhile
      std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got),
                buffer.begin() + static_cast<std::ptrdiff_t>(want), '\0');
      got = want;
    }
    if (archive_write_data(archive_.get(), buffer.data(), got) < 0) {
      Fail(archive_.get(), "cannot add " + name);
    }
    left -= got;
  }
}

std::size_t TarWriter::AddTree(const fs::path& root,
                               const std::function<bool(const std::string&)>& skip,
                               const std::function<void(const std::string&)>& skipped) {
  std::size_t files = 0;
  for (const fs::directory_entry& item : fs::recursive_directory_iterator(root)) {
    const std::string name = item.path().lexically_relative(root).generic_string();
    if (skip(name)) continue;
    const fs::file_status status = item.symlink_status();
    if (fs::is_directory(status)) {
      WriteHeader(item.path(), name + "/", AE_IFDIR);
    } else if (fs::is_regular_file(status)) {
      AddFile(item.path(), name);
      ++files;
    } else {
      skipped(name);
    }
  }
  return files;
}

struct stat TarWriter::WriteHeader(const fs::path& source, const std::string& name, unsigned type) {
  struct stat status {};
  if (::stat(source.c_str(), &status) != 0)
    throw std::runtime_error("cannot read " + source.string());
  EntryPtr entry(archive_entry_new());
  archive_entry_set_pathname(entry.get(), name.c_str());
  archive_entry_set_filetype(entry.get(), type);
  archive_entry_set_perm(entry.get(), status.st_mode & 07777);
  archive_entry_set_size(entry.get(), type == AE_IFREG ? status.st_size : 0);
  archive_entry_set_mtime(entry.get(), status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
  if (archive_write_header(archive_.get(), entry.get()) != ARCHIVE_OK) {
    Fail(archive_.get(), "cannot add " + name);
  }
  return status;
}

void TarWriter::Close() {
  if (archive_write_close(archive_.get()) != ARCHIVE_OK) {
    Fail(archive_.get(), "cannot finish the archive");
  }
}

Restored RestoreWebRoot(const fs::path& path, const fs::path& root,
                        const std::function<void(const fs::path&)>& check) {
  std::unique_ptr<archive, FreeReader> in(archive_read_new());
  if (!in) throw std::runtime_error("out of memory");
  archive_read_support_format_tar(in.get());
  if (archive_read_open_filename(in.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK) {
    Fail(in.get(), "cannot read " + path.string());
  }
  if (fs::exists(fs::symlink_status(root)) && !fs::is_directory(root)) {
    throw std::runtime_error(root.string() + " is not a folder");
  }
  NewFolder fresh(root, "restoring");
  Restored restored;
  for (;;) {
    archive_entry* entry = nullptr;
    const int rc = archive_read_next_header(in.get(), &entry);
    if (rc == ARCHIVE_EOF) break;
    if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN) Fail(in.get(), "cannot read " + path.string());
    const char* raw_name = archive_entry_pathname(entry);
    const std::string name = raw_name ? raw_name : "";
    if (const char* why = Refusal(entry, name)) {
      throw std::runtime_error("refused the archive entry '" + name + "': " + why +
                               "; nothing was restored");
    }
    const fs::path relative = fs::path(name).lexically_normal();
    const fs::path target = fresh.Path() / relative;
    if (archive_entry_filetype(entry) == AE_IFDIR) {
      MakeFolders(fresh.Path(), relative);
    } else {
      MakeFolders(fresh.Path(), relative.parent_path());
      WriteEntryFile(in.get(), entry, target, name);
      ++restored.files;
    }
  }
  if (check) check(fresh.Path());
  restored.previous = fresh.SwapInto(root);
  return restored;
}

}  // namespace cli
