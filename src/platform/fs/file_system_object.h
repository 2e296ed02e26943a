// FileSystemObject: files and folders on physical paths, for page objects (and, as
// "Scripting.FileSystemObject", for host pages: host/scripting/file_system_host_object.h). In every path
// both "\" and "/" separate. The thread's FileUseObserver (file_use.h) is told of every use.
// Stateless; thread-safe.
#pragma once

#include <memory>
#include <string_view>

#include "platform/fs/text_stream.h"

namespace fso {

class FileSystemObject {
 public:
  // True when `path` names an existing regular file (a folder is not a file).
  bool FileExists(std::string_view path) const;
  // True when `path` names an existing folder.
  bool FolderExists(std::string_view path) const;
  // Creates the folder `path`; its parent must exist. Throws std::runtime_error when it exists
  // already or cannot be made.
  void CreateFolder(std::string_view path) const;
  // Copies every file matching `source` into the folder `destination` (a path ending in a
  // separator, or an existing folder) or to the file `destination`. The last part of `source` may
  // hold the wildcards "*" and "?" ("*.*" matches every file, with or without a dot); folders are
  // never copied. With `overwrite` an existing file is replaced, else the copy fails. Throws
  // std::runtime_error when nothing matches or a copy fails.
  void CopyFile(std::string_view source, std::string_view destination,
                bool overwrite = true) const;
  // Opens the file `path` for reading. Throws std::runtime_error when it cannot be opened.
  std::unique_ptr<TextStream> OpenTextFile(std::string_view path) const;
  // Creates the file `path` for writing, replacing an existing one when `overwrite` (else throws
  // if it exists). Throws std::runtime_error when it cannot be created.
  std::unique_ptr<TextStream> CreateTextFile(std::string_view path, bool overwrite = true) const;
};

}  // namespace fso
