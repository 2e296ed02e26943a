// The file a static-file request is answered with. Usually the file the path names, with the
// type of its extension; a site may choose another for some requests (a picture's WBMP for a
// handset that shows nothing else), and then says that the answer varies with the request's
// Accept header.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/host/http_exchange.h"

namespace host {

struct StaticFile {
  std::filesystem::path file;  // in the web root
  std::string content_type;
  bool vary_accept = false;  // the reply says "Vary: Accept"
};

// Given the request, the resolved file it names (a regular file in the web root) and that file's
// content type, what to send. Called on several threads at once; may throw (the request gets 500).
using StaticVariant =
    std::function<StaticFile(const HttpRequestData& request, const std::filesystem::path& file,
                             std::string_view content_type)>;

}  // namespace host
