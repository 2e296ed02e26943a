// Static files of the web root: which file answers a request, and the reply that sends it from
// the file (never read into memory here: the connection streams it), with validators and
// conditional requests:
//   - `Last-Modified` (the file's modification time) and a strong `ETag` made of its size,
//     modification time (nanoseconds) and inode, so that any change of the bytes changes it;
//   - `If-None-Match` (a list of tags or "*", compared weakly as RFC 9110 says for it) that
//     matches, or else an `If-Modified-Since` (IMF-fixdate) not older than the file: 304 Not
//     Modified, with the validators and no body;
//   - `X-Content-Type-Options: nosniff`, so that a browser never takes a file for another type.
// Pure functions; thread-safe.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host/http/http_exchange.h"

namespace host {

// The file a static request is answered with and how it is labelled.
struct StaticFileChoice {
  std::filesystem::path file;  // resolved inside the web root
  std::string content_type;    // with its charset where it has one
  // True when the choice depended on the request's Accept header (the reply then says
  // "Vary: Accept", so that caches keep the variants apart).
  bool varies_by_accept = false;
};

// Which file answers `request` for the site file `physical` (resolved inside the web root, a
// regular file). Today: that file, with the MIME type of its name. This is where a request may be
// answered with another file made from it (a variant a handset can show); a variant must lie in
// the web root, and its validators are taken from the file chosen.
StaticFileChoice ChooseStaticFile(const HttpRequestData& request,
                                  const std::filesystem::path& physical);

// The strong entity tag of a file with `status`, quoted: "\"SIZE-MTIMENS-INODE\"" in hex.
std::string StaticFileTag(const struct stat& status);

// The seconds since the epoch of an IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT");
// std::nullopt for anything else.
std::optional<std::int64_t> ParseHttpDate(std::string_view text);

// The reply to a GET or HEAD of `choice`, whose file has `status`: 304 when the request's
// conditions say the client has it, else 200 whose body is sent from choice.file
// (HttpReply::body_file). Never throws but std::bad_alloc.
HttpReply StaticFileReply(const HttpRequestData& request, const StaticFileChoice& choice,
                          const struct stat& status);

}  // namespace host
