#include "platform/fs/file_system_object.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/fs/file_handles.h"
#include "platform/fs/file_use.h"
#include "platform/fs/wildcard.h"

namespace fso {
namespace {

namespace fs = std::filesystem;

// `path` with every "\" turned into "/", the only separator the disk knows.
std::string SlashPath(std::string_view path) {
  std::string disk(path);
  for (char& c : disk) {
    if (c == '\\') c = '/';
  }
  return disk;
}

// SlashPath of `path`, for an operation that reads or changes files: the thread's observer is told
// (file_use.h). Every operation but FileExists and FolderExists passes its paths through here;
// those two tell their path and answer instead.
std::string DiskPath(std::string_view path) {
  if (FileUseObserver* observer = FileUseObserver::Current()) observer->FilesUsed();
  return SlashPath(path);
}

std::runtime_error FsError(std::string_view what, std::string_view path, int error) {
  std::string message(what);
  message.append(" '").append(path).append("'");
  if (error != 0) message.append(": ").append(std::strerror(error));
  return std::runtime_error(message);
}

bool IsFolder(const std::string& disk) {
  struct stat st {};
  return ::stat(disk.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

using fs_support::Fd;
using fs_support::RemoveUnlessKept;

// Copies the regular file `from` to `to`. The bytes go to a new file beside `to`, which replaces
// `to` only once complete, so a failed copy (a full disk) never leaves a truncated file behind, nor
// destroys the file it was meant to replace.
void CopyOneFile(const std::string& from, const std::string& to, bool overwrite) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw FsError("cannot open", from, errno);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) throw FsError("cannot read", from, errno);
  if (!S_ISREG(st.st_mode)) throw FsError("not a file:", from, 0);
  if (!overwrite && ::access(to.c_str(), F_OK) == 0) throw FsError("file exists:", to, EEXIST);
  if (IsFolder(to)) throw FsError("cannot replace a folder with a file:", to, 0);

  std::string temp = to + ".XXXXXX";
  Fd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.get() < 0) throw FsError("cannot create", to, errno);
  RemoveUnlessKept remove_temp(temp);
  if (::fchmod(out.get(), st.st_mode & 07777) != 0) throw FsError("cannot create", to, errno);

  std::vector<char> buffer(64 * 1024);
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FsError("cannot read", from, errno);
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w =
          ::write(out.get(), buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        throw FsError("cannot write", to, errno);
      }
      done += w;
    }
  }
  if (out.Close() != 0) throw FsError("cannot write", to, errno);
  if (overwrite) {
    if (::rename(temp.c_str(), to.c_str()) != 0) throw FsError("cannot create", to, errno);
  } else {
    // link() refuses an existing name, so a file that appeared meanwhile is never replaced.
    if (::link(temp.c_str(), to.c_str()) != 0) throw FsError("cannot create", to, errno);
  }
  remove_temp.Keep();
  if (!overwrite) ::unlink(temp.c_str());
}

}  // namespace

bool FileSystemObject::FileExists(std::string_view path) const {
  const std::string disk = SlashPath(path);
  const bool exists = FileExistsNow(disk);
  if (FileUseObserver* observer = FileUseObserver::Current()) {
    observer->ExistenceChecked(Existence::kFile, disk, exists);
  }
  return exists;
}

bool FileSystemObject::FolderExists(std::string_view path) const {
  const std::string disk = SlashPath(path);
  const bool exists = FolderExistsNow(disk);
  if (FileUseObserver* observer = FileUseObserver::Current()) {
    observer->ExistenceChecked(Existence::kFolder, disk, exists);
  }
  return exists;
}

void FileSystemObject::CreateFolder(std::string_view path) const {
  std::string disk = DiskPath(path);
  while (disk.size() > 1 && disk.back() == '/') disk.pop_back();
  if (disk.empty()) throw FsError("cannot create the folder", path, ENOENT);
  if (::mkdir(disk.c_str(), 0777) != 0) throw FsError("cannot create the folder", path, errno);
}

void FileSystemObject::CopyFile(std::string_view source, std::string_view destination,
                                bool overwrite) const {
  const std::string from = DiskPath(source);
  const std::string to = DiskPath(destination);
  const auto slash = from.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : from.substr(0, slash + 1);
  const std::string pattern = slash == std::string::npos ? from : from.substr(slash + 1);
  const bool wildcard = HasWildcard(pattern);
  const bool into_folder = wildcard || (!to.empty() && to.back() == '/') || IsFolder(to);
  auto target = [&](const std::string& name) {
    if (!into_folder) return to;
    return to.back() == '/' ? to + name : to + "/" + name;
  };
  if (to.empty()) throw FsError("no destination for", source, 0);
  if (into_folder && !IsFolder(to)) throw FsError("no such folder", destination, ENOENT);

  if (!wildcard) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) throw FsError("cannot copy", source, errno);
    if (!S_ISREG(st.st_mode)) throw FsError("cannot copy", source, EISDIR);
    CopyOneFile(from, target(pattern), overwrite);
    return;
  }

  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;
    std::string name = it->path().filename().string();
    if (MatchesWildcard(pattern, name)) names.push_back(std::move(name));
  }
  if (ec) throw FsError("cannot copy", source, ec.value());
  if (names.empty()) throw FsError("no file matches", source, 0);
  for (const auto& name : names) {
    CopyOneFile(folder + name, target(name), overwrite);
  }
}

std::unique_ptr<TextStream> FileSystemObject::OpenTextFile(std::string_view path) const {
  const std::string disk = DiskPath(path);
  std::FILE* file = std::fopen(disk.c_str(), "rb");
  if (file == nullptr) throw FsError("cannot open", path, errno);
  auto stream = std::make_unique<TextStream>(file, TextStream::Mode::kRead, disk);
  struct stat st {};
  if (::fstat(::fileno(file), &st) != 0) throw FsError("cannot open", path, errno);
  if (S_ISDIR(st.st_mode)) throw FsError("cannot open", path, EISDIR);
  return stream;
}

std::unique_ptr<TextStream> FileSystemObject::CreateTextFile(std::string_view path,
                                                             bool overwrite) const {
  const std::string disk = DiskPath(path);
  // "x" makes the open itself refuse an existing file, so none is ever truncated by mistake.
  std::FILE* file = std::fopen(disk.c_str(), overwrite ? "wb" : "wbx");
  if (file == nullptr) throw FsError("cannot create", path, errno);
  return std::make_unique<TextStream>(file, TextStream::Mode::kWrite, disk);
}

}  // namespace fso
