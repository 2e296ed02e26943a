// Content types: of static files by their extension, and which types carry the host's charset.
// Pure functions; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace host {

// The content type of a file named `file_name`, by its extension in any letter case: .jpg .jpeg
// .gif .png .wbmp .css .wml .wmls .txt .html .htm .js .ico .xml .svg; "application/octet-stream"
// for any other (and for no extension).
std::string_view MimeTypeFor(std::string_view file_name);

// `content_type` as sent: with "; charset=utf-8" appended when it is a text type (text/…, an XML
// or XHTML type, JavaScript, JSON) and names no charset yet; otherwise unchanged.
std::string WithCharset(std::string_view content_type);

}  // namespace host
