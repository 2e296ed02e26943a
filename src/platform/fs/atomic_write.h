// Replacing a file's content all at once: readers see the old file or the new one, never a part,
// and a failure (a full disk, a crash) leaves the old file as it was. Thread-safe for different
// paths; two writers of one path leave one of the two contents whole.
#pragma once

#include <filesystem>
#include <string_view>

namespace fso {

// Writes `bytes` to a new temporary file in the folder of `path`, flushes it to disk, renames it
// over `path` and flushes the folder. The new file gets mode 0644. Throws std::runtime_error naming
// `path` and the system's reason when any step fails; the temporary file is then removed. Requires:
// the folder of `path` exists.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace fso
