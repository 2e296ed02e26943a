#include "platform/host/http/multipart_form.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/objects/request_error.h"
#include "platform/text/ascii.h"
#include "platform/text/utf8.h"

namespace host {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// The value of parameter `name` in a header value of the form "type; a=1; b=\"x y\"". Quoted values
// end at the next quote (browsers percent-encode a quote inside a name; a backslash is a character
// like any other, as old browsers send Windows paths); std::nullopt when absent.
std::optional<std::string> Parameter(std::string_view header, std::string_view name) {
  std::size_t pos = header.find(';');
  while (pos != std::string_view::npos && pos < header.size()) {
    ++pos;
    const std::size_t eq = header.find('=', pos);
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = text::TrimBlanks(header.substr(pos, eq - pos));
    std::size_t value_start = eq + 1;
    while (value_start < header.size() && header[value_start] == ' ') ++value_start;
    std::string_view value;
    if (value_start < header.size() && header[value_start] == '"') {
      const std::size_t close = header.find('"', value_start + 1);
      if (close == std::string_view::npos) return std::nullopt;
      value = header.substr(value_start + 1, close - value_start - 1);
      pos = header.find(';', close);
    } else {
      pos = header.find(';', value_start);
      value = text::TrimBlanks(header.substr(value_start, pos - value_start));
    }
    if (text::EqualsIgnoreCase(key, name)) return std::string(value);
  }
  return std::nullopt;
}

struct PartHead {
  std::optional<std::string> name;
  std::optional<std::string> file_name;
  std::string content_type;
};

PartHead ReadPartHead(std::string_view head) {
  PartHead part;
  bool form_data = false;
  while (!head.empty()) {
    const std::size_t end = std::min(head.find(kCrLf), head.size());
    const std::string_view line = head.substr(0, end);
    head.remove_prefix(std::min(end + kCrLf.size(), head.size()));
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
      throw RequestError("malformed multipart form: bad part header");
    const std::string_view field = text::TrimBlanks(line.substr(0, colon));
    const std::string_view value = text::TrimBlanks(line.substr(colon + 1));
    if (text::EqualsIgnoreCase(field, "Content-Disposition")) {
      form_data =
          text::EqualsIgnoreCase(text::TrimBlanks(value.substr(0, value.find(';'))), "form-data");
      part.name = Parameter(value, "name");
      part.file_name = Parameter(value, "filename");
    } else if (text::EqualsIgnoreCase(field, "Content-Type")) {
      part.content_type = std::string(value);
    }
  }
  if (!form_data || !part.name) throw RequestError("malformed multipart form: a part has no name");
  return part;
}

}  // namespace

bool IsMultipartFormContentType(std::string_view content_type) {
  const std::string_view essence = text::TrimBlanks(content_type.substr(0, content_type.find(';')));
  return text::EqualsIgnoreCase(essence, "multipart/form-data");
}

MultipartForm ParseMultipartForm(std::string_view body, std::string_view content_type,
                                 std::size_t max_parts, std::shared_ptr<const void> body_owner) {
  const std::optional<std::string> boundary = Parameter(content_type, "boundary");
  if (!boundary || boundary->empty() || boundary->size() > 70) {
    throw RequestError("malformed multipart form: no valid boundary");
  }
  // Every delimiter but a first one at the very start follows a line end. The search skips through
  // a file's bytes (Boyer-Moore-Horspool) rather than comparing at each one.
  const std::string delimiter = "\r\n--" + *boundary;
  const std::boyer_moore_horspool_searcher searcher(delimiter.begin(), delimiter.end());
  const auto find_delimiter = [&](std::size_t from) {
    const auto found = std::search(body.begin() + from, body.end(), searcher);
    return found == body.end() ? std::string_view::npos
                               : static_cast<std::size_t>(found - body.begin());
  };
  std::size_t pos;
  if (body.substr(0, delimiter.size() - 2) == std::string_view(delimiter).substr(2)) {
    pos = delimiter.size() - 2;
  } else {
    const std::size_t first = find_delimiter(0);  // after a preamble
    if (first == std::string_view::npos) throw RequestError("malformed multipart form: no parts");
    pos = first + delimiter.size();
  }

  std::vector<Collection::Pair> fields;
  std::vector<UploadedFile> files;
  std::size_t parts = 0;
  while (true) {
    // After a delimiter: "--" closes the form; otherwise optional blanks, then a line end.
    if (body.substr(pos, 2) == "--") break;
    while (pos < body.size() && (body[pos] == ' ' || body[pos] == '\t')) ++pos;
    if (body.substr(pos, 2) != kCrLf) throw RequestError("malformed multipart form: bad delimiter");
    pos += 2;
    if (++parts > max_parts) {
      throw RequestError("too many fields in the form (more than " + std::to_string(max_parts) +
                         ")");
    }
    // An empty head (no header lines) ends right at the blank line.
    std::size_t head_end;
    std::string_view head;
    if (body.substr(pos, 2) == kCrLf) {
      head_end = pos + 2;
    } else {
      const std::size_t blank = body.find("\r\n\r\n", pos);
      if (blank == std::string_view::npos) throw RequestError("malformed multipart form: cut off");
      head = body.substr(pos, blank - pos);
      head_end = blank + 4;
    }
    const PartHead part = ReadPartHead(head);
    const std::size_t content_end = find_delimiter(head_end);
    if (content_end == std::string_view::npos) {
      throw RequestError("malformed multipart form: cut off");
    }
    const std::string_view content = body.substr(head_end, content_end - head_end);
    pos = content_end + delimiter.size();
    std::string name = text::ReplaceIllFormedUtf8(*part.name);
    if (!part.file_name) {
      fields.emplace_back(std::move(name), text::ReplaceIllFormedUtf8(content));
    } else if (!part.file_name->empty() || !content.empty()) {
      files.push_back({std::move(name), text::ReplaceIllFormedUtf8(*part.file_name),
                       part.content_type, content, body_owner});
    }
  }
  return {Collection(std::string(), std::move(fields)), UploadedFiles(std::move(files))};
}

}  // namespace host
