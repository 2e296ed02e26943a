#include "store/local_time.h"

#include <ctime>

namespace store {

std::string LocalTimeNow() { return LocalTime(std::chrono::system_clock::now()); }

std::string LocalTime(std::chrono::system_clock::time_point when) {
  const std::time_t now = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace store
