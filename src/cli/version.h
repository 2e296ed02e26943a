// The program's version as `wapsite --version` prints it: the CMake project version, followed by
// the `git describe` of the checkout it was built from, in parentheses, when it was built from one.
// Generated at build time (cmake/write_version.cmake).
#pragma once

namespace cli {

extern const char* const kVersion;

}  // namespace cli
