#include "platform/host/http/mime_types.h"

#include <utility>

#include "platform/text/ascii.h"

namespace host {

std::string_view MimeTypeFor(std::string_view file_name) {
  static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
      {".jpg", "image/jpeg"},          {".jpeg", "image/jpeg"},
      {".gif", "image/gif"},           {".png", "image/png"},
      {".wbmp", "image/vnd.wap.wbmp"}, {".css", "text/css"},
      {".wml", "text/vnd.wap.wml"},    {".wmls", "text/vnd.wap.wmlscript"},
      {".txt", "text/plain"},          {".html", "text/html"},
      {".htm", "text/html"},           {".js", "text/javascript"},
      {".ico", "image/x-icon"},        {".xml", "application/xml"},
      {".svg", "image/svg+xml"},
  };
  const std::size_t slash = file_name.find_last_of('/');
  const std::string_view base =
      slash == std::string_view::npos ? file_name : file_name.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot == std::string_view::npos) return "application/octet-stream";
  const std::string_view extension = base.substr(dot);
  for (const auto& [ext, type] : kTypes) {
    if (text::EqualsIgnoreCase(ext, extension)) return type;
  }
  return "application/octet-stream";
}

std::string WithCharset(std::string_view content_type) {
  const std::string lower = text::AsciiLower(content_type);
  if (lower.find("charset=") != std::string::npos) return std::string(content_type);
  const std::string_view essence = std::string_view(lower).substr(0, lower.find(';'));
  const bool text =
      essence.starts_with("text/") ||
      (essence.starts_with("application/") &&
       (essence.ends_with("xml") || essence.ends_with("json") || essence.ends_with("javascript")));
  if (!text) return std::string(content_type);
  return std::string(content_type) + "; charset=utf-8";
}

}  // namespace host
