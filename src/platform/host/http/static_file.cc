#include "platform/host/http/static_file.h"

#include <strings.h>

#include <array>
#include <cstdio>
#include <ctime>

#include "platform/host/http/mime_types.h"
#include "platform/host/http/reply_builder.h"
#include "platform/text/ascii.h"

namespace host {
namespace {

// The value of the first header `name` (any case), std::nullopt when there is none.
std::optional<std::string_view> Find(const HttpHeaders& headers, const char* name) {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name) == 0) return std::string_view(value);
  }
  return std::nullopt;
}

// Whether `tag` is among those of an If-None-Match value ("*" matches any), comparing weakly:
// a "W/" prefix on either side is ignored.
bool TagMatches(std::string_view list, std::string_view tag) {
  while (true) {
    const std::size_t comma = list.find(',');
    std::string_view element = text::TrimBlanks(list.substr(0, comma));
    if (element == "*") return true;
    if (element.starts_with("W/")) element.remove_prefix(2);
    if (element == tag) return true;
    if (comma == std::string_view::npos) return false;
    list.remove_prefix(comma + 1);
  }
}

std::int64_t ModifiedSeconds(const struct stat& status) {
  return static_cast<std::int64_t>(status.st_mtim.tv_sec);
}

}  // namespace

StaticFileChoice ChooseStaticFile(const HttpRequestData& /*request*/,
                                  const std::filesystem::path& physical) {
  return {physical, WithCharset(MimeTypeFor(physical.filename().string())), false};
}

std::string StaticFileTag(const struct stat& status) {
  char tag[80];
  std::snprintf(tag, sizeof tag, "\"%llx-%llx-%llx\"",
                static_cast<unsigned long long>(status.st_size),
                static_cast<unsigned long long>(status.st_mtim.tv_sec) * 1'000'000'000ULL +
                    static_cast<unsigned long long>(status.st_mtim.tv_nsec),
                static_cast<unsigned long long>(status.st_ino));
  return tag;
}

std::optional<std::int64_t> ParseHttpDate(std::string_view text) {
  // "Sun, 06 Nov 1994 08:49:37 GMT": 29 characters exactly.
  static constexpr std::array<std::string_view, 12> kMonths = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  text = text::TrimBlanks(text);
  if (text.size() != 29 || text[3] != ',' || text[4] != ' ' || text[7] != ' ' || text[11] != ' ' ||
      text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT") {
    return std::nullopt;
  }
  auto number = [&](std::size_t at, std::size_t digits) -> int {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  std::tm when{};
  when.tm_mday = number(5, 2);
  when.tm_year = number(12, 4) - 1900;
  when.tm_hour = number(17, 2);
  when.tm_min = number(20, 2);
  when.tm_sec = number(23, 2);
  when.tm_mon = -1;
  for (std::size_t m = 0; m < kMonths.size(); ++m) {
    if (text.substr(8, 3) == kMonths[m]) when.tm_mon = static_cast<int>(m);
  }
  if (when.tm_mon < 0 || when.tm_mday < 1 || when.tm_mday > 31 || when.tm_year < 0 ||
      when.tm_hour < 0 || when.tm_hour > 23 || when.tm_min < 0 || when.tm_min > 59 ||
      when.tm_sec < 0 || when.tm_sec > 60) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(timegm(&when));
}

HttpReply StaticFileReply(const HttpRequestData& request, const StaticFileChoice& choice,
                          const struct stat& status) {
  const std::string tag = StaticFileTag(status);
  const std::string modified = HttpDate(
      std::chrono::system_clock::from_time_t(static_cast<std::time_t>(ModifiedSeconds(status))));
  bool not_modified = false;
  if (const auto none_match = Find(request.headers, "If-None-Match")) {
    not_modified = TagMatches(*none_match, tag);
  } else if (const auto since = Find(request.headers, "If-Modified-Since")) {
    const auto date = ParseHttpDate(*since);
    not_modified = date && ModifiedSeconds(status) <= *date;
  }
  HttpReply reply;
  reply.status = not_modified ? 304 : 200;
  reply.headers.emplace_back("ETag", tag);
  reply.headers.emplace_back("Last-Modified", modified);
  if (choice.varies_by_accept) reply.headers.emplace_back("Vary", "Accept");
  reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
  if (!not_modified) {
    reply.headers.emplace_back("Content-Type", choice.content_type);
    reply.body_file = choice.file.string();
  }
  return reply;
}

}  // namespace host
