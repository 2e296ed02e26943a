// The local time as the site's rows store times (added, replied, signed in, audited). Thread-safe.
#pragma once

#include <chrono>
#include <string>

namespace store {

// Now, in the server's local time zone, as YYYY-MM-DD HH:MM:SS.
std::string LocalTimeNow();

// `when` in the same form.
std::string LocalTime(std::chrono::system_clock::time_point when);

}  // namespace store
