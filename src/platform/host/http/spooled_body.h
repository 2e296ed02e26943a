// SpooledBody: a request body kept in a temporary file rather than in memory (the uploads of the
// back office, up to tens of megabytes each), and SpoolFolder, the private folder such files are
// made in.
//
// The file is made with mkstemp (mode 0600) in a folder only the server's user may enter, and its
// name is removed at once: no other process can open it, and it goes with its last descriptor,
// however the request ends (even when the process dies). Readers see it through a read-only
// mapping, whose pages the kernel may drop and read again, so a large upload is not held in the
// process's own memory. One thread writes a body; once written, any number may read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace host {

// The bytes of a SpooledBody, mapped read-only; valid while this object lives (the mapping
// outlives the body's file descriptor).
class MappedBody {
 public:
  MappedBody(const void* address, std::size_t size) : address_(address), size_(size) {}
  ~MappedBody();
  MappedBody(const MappedBody&) = delete;
  MappedBody& operator=(const MappedBody&) = delete;
  std::string_view Bytes() const { return {static_cast<const char*>(address_), size_}; }

 private:
  const void* address_;  // nullptr for an empty body
  std::size_t size_;
};

class SpooledBody {
 public:
  // A new, empty body file in `folder` (which must exist and should be private: see SpoolFolder),
  // already without a name. Throws std::system_error when it cannot be made.
  explicit SpooledBody(const std::filesystem::path& folder);
  ~SpooledBody();  // closes the file, which then goes
  SpooledBody(const SpooledBody&) = delete;
  SpooledBody& operator=(const SpooledBody&) = delete;

  // Appends `size` bytes. Returns false, the body then incomplete, when they cannot be written
  // (a full disk, a file size limit).
  [[nodiscard]] bool Append(const void* data, std::size_t size);
  std::uint64_t Size() const { return size_; }
  // The whole body, mapped read-only. Throws std::system_error when it cannot be mapped.
  std::shared_ptr<const MappedBody> Map() const;

 private:
  int fd_;
  std::uint64_t size_ = 0;
};

// A private folder (mode 0700) made under the system's temporary folder ($TMPDIR, else /tmp),
// removed with everything in it when this object goes. Throws std::system_error when it cannot
// be made. One owner.
class SpoolFolder {
 public:
  SpoolFolder();
  ~SpoolFolder();
  SpoolFolder(const SpoolFolder&) = delete;
  SpoolFolder& operator=(const SpoolFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace host
