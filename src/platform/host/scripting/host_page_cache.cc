#include "platform/host/scripting/host_page_cache.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <system_error>

namespace host {

std::shared_ptr<const HostPage> HostPageCache::Get(const std::filesystem::path& physical_path,
                                                   std::string_view display_name) {
  struct stat st {};
  if (::stat(physical_path.c_str(), &st) != 0) {
    throw std::runtime_error("cannot read host page " + physical_path.string() + ": " +
                             std::error_code(errno, std::generic_category()).message());
  }
  return Get(physical_path, display_name, st);
}

std::shared_ptr<const HostPage> HostPageCache::Get(const std::filesystem::path& physical_path,
                                                   std::string_view display_name,
                                                   const struct stat& st) {
  const std::string key = physical_path.string();
  std::error_code ec;
  if (S_ISDIR(st.st_mode)) {
    ec = std::make_error_code(std::errc::is_a_directory);
  } else if (!S_ISREG(st.st_mode)) {
    ec = std::make_error_code(std::errc::not_supported);
  }
  if (ec) {
    throw std::runtime_error("cannot read host page " + key + ": " + ec.message());
  }
  const fso::FileStamp stamp = fso::FileStamp::Of(st);
  {
    std::shared_lock lock(mutex_);
    const auto it = pages_.find(key);
    if (it != pages_.end() && it->second.stamp == stamp) {
      return it->second.page;
    }
  }
  // Parsed outside the lock; two requests may both parse a changed file, and the last one wins.
  std::ifstream in(physical_path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open host page " + key);
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read host page " + key);
  auto page = std::make_shared<const HostPage>(ParseHostPage(source, display_name));
  // The stamp taken before reading: if the file changed while it was read, the next request
  // sees a newer stamp and parses again.
  std::unique_lock lock(mutex_);
  pages_[key] = Entry{stamp, page};
  return page;
}

}  // namespace host
