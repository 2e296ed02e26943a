// Builds the Request a host page sees from the HTTP request the connection received: the query
// string, the form (an application/x-www-form-urlencoded POST body, or the fields and files of a
// multipart/form-data one), the cookies and the server variables. Pure function; thread-safe.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host/http/http_exchange.h"
#include "platform/host/objects/request.h"

namespace host {

// `script_name` is the virtual path of the host page that runs ("/wap/index.asp"; for a folder
// request, the folder's index.asp). Server variables: REQUEST_METHOD, SCRIPT_NAME, PATH_INFO,
// URL, QUERY_STRING (raw), REMOTE_ADDR, REMOTE_HOST, SERVER_NAME (the Host header without its
// port, else the local address), SERVER_PORT, SERVER_PROTOCOL, HTTPS ("off"), CONTENT_TYPE,
// CONTENT_LENGTH, and HTTP_NAME for every header (name upper-cased, "-" as "_"; a repeated
// header's values joined by ", ").
//
// Each collection (query string, form, cookies) holds at most `max_fields` pairs, and a multipart
// form at most `max_fields` parts, files included; a request with more throws RequestError (a 400)
// naming the collection, so that a request's cost stays linear in its size and no page runs for
// it. A malformed multipart body throws RequestError too (see multipart_form.h).
inline constexpr std::size_t kDefaultMaxFields = 1000;
Request BuildRequest(const HttpRequestData& http, std::string_view script_name,
                     std::size_t max_fields = kDefaultMaxFields);

// The value of the cookie `name` in the request's Cookie headers; std::nullopt when absent.
std::optional<std::string> FindCookie(const HttpHeaders& headers, std::string_view name);

// The request's Cookie headers as a collection: "a=1; b=2" gives a → "1", b → "2" (values as
// sent, surrounding blanks dropped).
Collection ParseCookies(const HttpHeaders& headers);

}  // namespace host
