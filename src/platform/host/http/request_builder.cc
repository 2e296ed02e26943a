#include "platform/host/http/request_builder.h"

#include <cctype>
#include <unordered_map>

#include "platform/host/http/multipart_form.h"
#include "platform/host/http/spooled_body.h"
#include "platform/host/objects/request_error.h"
#include "platform/text/ascii.h"

namespace host {
namespace {

std::string HeaderVariableName(std::string_view header) {
  std::string name = "HTTP_";
  for (const char c : header) {
    name.push_back(c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return name;
}

// The value of header `name` (repeated ones joined by ", "); "" when absent.
std::string HeaderValue(const HttpHeaders &headers, std::string_view name) {
  std::string value;
  bool found = false;
  for (const auto &[key, v] : headers) {
    if (!text::EqualsIgnoreCase(key, name)) continue;
    if (found) value.append(", ");
    value.append(v);
    found = true;
  }
  return value;
}

bool IsFormContentType(std::string_view content_type) {
  const std::string_view essence = text::TrimBlanks(content_type.substr(0, content_type.find(';')));
  return text::EqualsIgnoreCase(essence, "application/x-www-form-urlencoded");
}

std::string ServerName(const HttpRequestData &http) {
  std::string host = HeaderValue(http.headers, "Host");
  if (host.empty()) return http.local_address;
  if (host.front() == '[') return host.substr(0, host.find(']') + 1);  // [v6]:port
  return host.substr(0, host.find(':'));
}

// `collection`, unless it holds more than `max_fields` pairs.
Collection Capped(Collection collection, std::size_t max_fields, std::string_view what) {
  if (collection.Pairs().size() > max_fields) {
    throw RequestError("too many fields in the " + std::string(what) + " (more than " +
                       std::to_string(max_fields) + ")");
  }
  return collection;
}

}  // namespace

Collection ParseCookies(const HttpHeaders &headers) {
  std::string text;
  std::vector<Collection::Pair> pairs;
  for (const auto &[key, value] : headers) {
    if (!text::EqualsIgnoreCase(key, "Cookie")) continue;
    if (!text.empty()) text.append("; ");
    text.append(value);
    std::size_t start = 0;
    while (start <= value.size()) {
      std::size_t end = value.find(';', start);
      if (end == std::string::npos) end = value.size();
      const std::string_view piece =
          text::TrimBlanks(std::string_view(value).substr(start, end - start));
      if (!piece.empty()) {
        const std::size_t eq = piece.find('=');
        const std::string_view name = text::TrimBlanks(piece.substr(0, eq));
        const std::string_view v = eq == std::string_view::npos
                                       ? std::string_view{}
                                       : text::TrimBlanks(piece.substr(eq + 1));
        if (!name.empty()) pairs.emplace_back(std::string(name), std::string(v));
      }
      start = end + 1;
    }
  }
  return Collection(std::move(text), std::move(pairs));
}

std::optional<std::string> FindCookie(const HttpHeaders &headers, std::string_view name) {
  // Cookie names are case-sensitive on the wire; the first one wins.
  const Collection cookies = ParseCookies(headers);
  for (const auto &[key, value] : cookies.Pairs()) {
    if (key == name) return value;
  }
  return std::nullopt;
}

Request BuildRequest(const HttpRequestData &http, std::string_view script_name,
                     std::size_t max_fields) {
  const std::size_t question = http.target.find('?');
  const std::string query =
      question == std::string::npos ? std::string() : http.target.substr(question + 1);
  const std::string content_type = HeaderValue(http.headers, "Content-Type");

  Collection form;
  UploadedFiles files;
  if (http.method == "POST" && IsFormContentType(content_type)) {
    form = Capped(Collection::ParseUrlEncoded(http.body), max_fields, "form");
  } else if (http.method == "POST" && IsMultipartFormContentType(content_type)) {
    // The files' bytes stay where the body is: mapped from its temporary file, or a copy of the
    // body in memory (a request made without the transport), kept alive by the files.
    std::shared_ptr<const void> owner;
    std::string_view body;
    if (http.body_file) {
      auto mapped = http.body_file->Map();
      body = mapped->Bytes();
      owner = std::move(mapped);
    } else {
      auto copy = std::make_shared<const std::string>(http.body);
      body = *copy;
      owner = std::move(copy);
    }
    MultipartForm multipart = ParseMultipartForm(body, content_type, max_fields, std::move(owner));
    form = std::move(multipart.fields);
    files = std::move(multipart.files);
  }

  Request::ServerVariables variables = {
      {"REQUEST_METHOD", http.method},
      {"SCRIPT_NAME", std::string(script_name)},
      {"PATH_INFO", std::string(script_name)},
      {"URL", std::string(script_name)},
      {"QUERY_STRING", query},
      {"REMOTE_ADDR", http.remote_address},
      {"REMOTE_HOST", http.remote_address},
      {"SERVER_NAME", ServerName(http)},
      {"SERVER_PORT", std::to_string(http.local_port)},
      {"SERVER_PROTOCOL", "HTTP/1.1"},
      {"HTTPS", "off"},
      {"CONTENT_TYPE", content_type},
      {"CONTENT_LENGTH", BodySize(http) == 0 && HeaderValue(http.headers, "Content-Length").empty()
                             ? std::string()
                             : std::to_string(BodySize(http))},
  };
  // HTTP_NAME → (its place in `variables`, the header name that first gave it);
  // a later header of the same name (any case) adds its value.
  std::unordered_map<std::string, std::pair<std::size_t, std::string_view>> header_variables;
  for (const auto &[key, value] : http.headers) {
    std::string name = HeaderVariableName(key);
    const auto [it, added] =
        header_variables.try_emplace(name, variables.size(), std::string_view(key));
    if (added) {
      variables.emplace_back(std::move(name), value);
    } else if (text::EqualsIgnoreCase(it->second.second, key)) {
      variables[it->second.first].second.append(", ").append(value);
    }
  }
  return Request(Capped(Collection::ParseUrlEncoded(query), max_fields, "query string"),
                 std::move(form), Capped(ParseCookies(http.headers), max_fields, "cookies"),
                 std::move(variables), std::move(files));
}

}  // namespace host
