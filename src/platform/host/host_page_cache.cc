#include "platform/host/host_page_cache.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>

namespace host {

std::shared_ptr<const HostPage> HostPageCache::Get(const std::filesystem::path& physical_path,
                                                   std::string_view display_name) {
  const std::string key = physical_path.string();
  std::error_code ec;
  const auto modified = std::filesystem::last_write_time(physical_path, ec);
  const auto size = ec ? 0 : std::filesystem::file_size(physical_path, ec);
  if (ec) {
    throw std::runtime_error("cannot read host page " + key + ": " + ec.message());
  }
  {
    std::shared_lock lock(mutex_);
    const auto it = pages_.find(key);
    if (it != pages_.end() && it->second.modified == modified && it->second.size == size) {
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
  pages_[key] = Entry{modified, size, page};
  return page;
}

}  // namespace host
