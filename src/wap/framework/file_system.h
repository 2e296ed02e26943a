// Creating the scripting file-system object through the host, as host pages do.
#pragma once

#include <memory>
#include <string_view>

#include "platform/fs/file_system_object.h"

namespace wap {

// A new file-system object created by the current request's Server under `prog_id`
// ("Scripting.FileSystemObject", or the name of the settings). Throws std::runtime_error when the
// host has no such object or it is not a file-system object. Requires: the host objects are
// captured.
std::unique_ptr<fso::FileSystemObject> CreateFileSystemObject(std::string_view prog_id);

}  // namespace wap
