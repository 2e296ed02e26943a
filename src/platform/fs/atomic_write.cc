#include "platform/fs/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/fs/file_handles.h"

namespace fso {
namespace {

[[noreturn]] void Fail(std::string_view what, const std::filesystem::path& path) {
  throw std::runtime_error(std::string(what) + " '" + path.string() + "': " +
                           std::strerror(errno));
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  std::string temp = path.string() + ".XXXXXX";
  fs_support::Fd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.get() < 0) Fail("cannot create", path);
  fs_support::RemoveUnlessKept remove_temp(temp);
  if (::fchmod(out.get(), 0644) != 0) Fail("cannot create", path);
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t w = ::write(out.get(), bytes.data() + done, bytes.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", path);
    }
    done += static_cast<std::size_t>(w);
  }
  if (::fsync(out.get()) != 0 || out.Close() != 0) Fail("cannot write", path);
  if (::rename(temp.c_str(), path.c_str()) != 0) Fail("cannot replace", path);
  remove_temp.Keep();
  // The rename itself reaches the disk with the folder.
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  fs_support::Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0 || ::fsync(dir.get()) != 0) Fail("cannot flush the folder of", path);
}

}  // namespace fso
