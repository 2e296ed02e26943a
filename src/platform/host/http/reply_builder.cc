#include "platform/host/http/reply_builder.h"

#include <ctime>

#include "platform/host/http/mime_types.h"
#include "platform/text/ascii.h"

namespace host {
namespace {

bool IsHostOwnedHeader(std::string_view name) {
  return text::EqualsIgnoreCase(name, "Content-Length") || text::EqualsIgnoreCase(name, "Transfer-Encoding") ||
         text::EqualsIgnoreCase(name, "Connection");
}

bool HasControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t') || u == 0x7F) return true;
  }
  return false;
}

bool IsSafeHeader(std::string_view name, std::string_view value) {
  return !name.empty() && !HasControlCharacter(name) && name.find(':') == std::string_view::npos &&
         name.find(' ') == std::string_view::npos && !HasControlCharacter(value);
}

}  // namespace

std::string HttpDate(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  // Every reply needs the date of this second and, for its Expires header, of the same second a
  // day ago: the last two seconds formatted on this thread are kept.
  struct Formatted {
    std::time_t t = 0;
    std::size_t size = 0;  // 0: empty
    char text[64];
  };
  thread_local Formatted recent[2];
  thread_local int next = 0;
  for (const Formatted& f : recent) {
    if (f.size != 0 && f.t == t) return std::string(f.text, f.size);
  }
  std::tm tm{};
  gmtime_r(&t, &tm);
  Formatted& f = recent[next];
  next = 1 - next;
  f.t = t;
  f.size = std::strftime(f.text, sizeof f.text, "%a, %d %b %Y %H:%M:%S GMT", &tm);  // "C" names
  return std::string(f.text, f.size);
}

std::optional<HttpReply> ReplyFromResponse(Response& response,
                                           const std::optional<std::string>& set_cookie) {
  HttpReply reply;
  reply.status = response.Status();
  bool safe = true;
  auto add = [&](std::string_view name, std::string_view value) {
    safe = safe && IsSafeHeader(name, value);
    reply.headers.emplace_back(std::string(name), std::string(value));
  };
  add("Content-Type", WithCharset(response.ContentType()));
  if (const auto expires = response.ExpiresAt()) add("Expires", HttpDate(*expires));
  if (const auto& cache_control = response.CacheControl()) add("Cache-Control", *cache_control);
  for (const auto& [name, value] : response.Headers()) {
    if (!IsHostOwnedHeader(name)) add(name, value);
  }
  if (set_cookie) add("Set-Cookie", *set_cookie);
  if (response.Status() == 302) add("Location", response.Location());
  if (!safe) return std::nullopt;
  if (response.Status() != 302) reply.body = response.TakeBody();
  return reply;
}

}  // namespace host
