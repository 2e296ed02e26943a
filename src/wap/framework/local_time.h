// The local time as the site's rows store times. Thread-safe.
#pragma once

#include <string>

namespace wap {

// Now, in the server's local time zone, as YYYY-MM-DD HH:MM:SS.
std::string LocalTimeNow();

}  // namespace wap
