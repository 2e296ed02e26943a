#include "cli/web_root_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <array>
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
struct FreeDiskWriter {
  void operator()(archive* a) const noexcept { archive_write_free(a); }
};

[[noreturn]] void Fail(archive* a, const std::string& what) {
  const char* detail = archive_error_string(a);
  throw std::runtime_error(what + ": " + (detail ? detail : "unknown error"));
}

// An entry name that stays below the root: relative, no "..", no empty name.
bool IsSafeName(const std::string& name) {
  const fs::path path(name);
  if (name.empty() || path.is_absolute()) return false;
  for (const fs::path& part : path) {
    if (part == "..") return false;
  }
  return true;
}

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

std::size_t ExtractTar(const fs::path& path, const fs::path& root) {
  std::unique_ptr<archive, FreeReader> in(archive_read_new());
  std::unique_ptr<archive, FreeDiskWriter> out(archive_write_disk_new());
  if (!in || !out) throw std::runtime_error("out of memory");
  archive_read_support_format_tar(in.get());
  if (archive_read_open_filename(in.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK) {
    Fail(in.get(), "cannot read " + path.string());
  }
  archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM |
                                                ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                ARCHIVE_EXTRACT_SECURE_NODOTDOT);
  fs::create_directories(root);
  std::size_t files = 0;
  for (;;) {
    archive_entry* entry = nullptr;
    const int rc = archive_read_next_header(in.get(), &entry);
    if (rc == ARCHIVE_EOF) break;
    if (rc != ARCHIVE_OK) Fail(in.get(), "cannot read " + path.string());
    const std::string name = archive_entry_pathname(entry);
    const auto type = archive_entry_filetype(entry);
    if (!IsSafeName(name) || (type != AE_IFREG && type != AE_IFDIR)) {
      throw std::runtime_error("refused the archive entry '" + name +
                               "': only folders and files below the root are restored");
    }
    archive_entry_set_pathname(entry, (root / name).c_str());
    if (archive_write_header(out.get(), entry) != ARCHIVE_OK)
      Fail(out.get(), "cannot write " + name);
    const void* block = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    int data_rc;
    while ((data_rc = archive_read_data_block(in.get(), &block, &size, &offset)) == ARCHIVE_OK) {
      if (archive_write_data_block(out.get(), block, size, offset) != ARCHIVE_OK) {
        Fail(out.get(), "cannot write " + name);
      }
    }
    if (data_rc != ARCHIVE_EOF) Fail(in.get(), "cannot read " + name);
    if (archive_write_finish_entry(out.get()) != ARCHIVE_OK)
      Fail(out.get(), "cannot write " + name);
    if (type == AE_IFREG) ++files;
  }
  if (archive_write_close(out.get()) != ARCHIVE_OK)
    Fail(out.get(), "cannot finish " + root.string());
  return files;
}

}  // namespace cli
