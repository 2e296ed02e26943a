// The file a static-file request is answered with. Usually the file the path names, with the
// type of its extension (ChooseStaticFile); a site may choose another for some requests (a
// picture's WBMP for a handset that shows nothing else), and then says that the answer varies
// with the request's Accept header.
#pragma once

#include <functional>

#include "platform/host/http/http_exchange.h"
#include "platform/host/http/static_file.h"

namespace host {

// Given the request and the host's own choice for it (a regular file in the web root with the
// type of its name), what to send; a file chosen instead must lie in the web root. Called on
// several threads at once; may throw (the request gets 500).
using StaticVariant =
    std::function<StaticFileChoice(const HttpRequestData& request, const StaticFileChoice& file)>;

}  // namespace host
