// HostPageCache: parsed host pages by physical path, parsed once and parsed again when the file's
// modification time or size changes. Thread-safe: many requests may ask at once; a page is
// handed out as a shared, immutable value that stays valid while a request runs it even if the
// file changes meanwhile.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/fs/file_stamp.h"
#include "platform/host/scripting/host_page_parser.h"

namespace host {

class HostPageCache {
 public:
  // The parsed page in file `physical_path`, named `display_name` (e.g. "/wap/index.asp") in
  // error messages. Throws HostPageError when it does not parse (nothing is cached then, so a
  // fixed file is picked up at once) and std::runtime_error when it cannot be read.
  std::shared_ptr<const HostPage> Get(const std::filesystem::path& physical_path,
                                      std::string_view display_name);
  // The same, with the file's status as the caller just took it (one stat(2) per request).
  std::shared_ptr<const HostPage> Get(const std::filesystem::path& physical_path,
                                      std::string_view display_name, const struct stat& status);

 private:
  struct Entry {
    fso::FileStamp stamp;
    std::shared_ptr<const HostPage> page;
  };

  std::shared_mutex mutex_;
  std::unordered_map<std::string, Entry> pages_;  // by physical path
};

}  // namespace host
