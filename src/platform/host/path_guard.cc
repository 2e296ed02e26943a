#include "platform/host/path_guard.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/host/collection.h"
#include "platform/host/request_error.h"

namespace host {
namespace {

// Most paths a thread remembers as resolved, within one second.
constexpr std::size_t kResolvedPerThread = 1024;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True when `s` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsWellFormedUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) return false;
    }
    i += len;
  }
  return true;
}

std::string PercentDecodePath(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '%') {
      out.push_back(raw[i]);
      continue;
    }
    if (i + 2 >= raw.size()) {
      throw RequestError("bad request path: incomplete %-escape");
    }
    const int hi = HexValue(raw[i + 1]);
    const int lo = HexValue(raw[i + 2]);
    if (hi < 0 || lo < 0) throw RequestError("bad request path: invalid %-escape");
    out.push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
  }
  return out;
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::string SitePath::Virtual() const {
  std::string out;
  for (const auto& segment : segments) out.append("/").append(segment);
  if (folder || out.empty()) out.push_back('/');
  return out;
}

std::string SitePath::ParentFolder() const {
  std::string out;
  for (std::size_t i = 0; i + 1 < segments.size(); ++i) out.append("/").append(segments[i]);
  return out.empty() ? "/" : out;
}

SitePath DecodeSitePath(std::string_view raw_path) {
  if (raw_path.empty() || raw_path.front() != '/') {
    throw RequestError("bad request path: it must start with \"/\"");
  }
  const std::string decoded = PercentDecodePath(raw_path);
  for (const char c : decoded) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0) throw RequestError("bad request path: NUL");
    if (u < 0x20 || u == 0x7F) throw RequestError("bad request path: control character");
    if (c == '\\') throw RequestError("bad request path: backslash");
  }
  if (!IsWellFormedUtf8(decoded)) throw RequestError("bad request path: not UTF-8");

  SitePath path;
  std::size_t start = 1;
  while (start <= decoded.size()) {
    std::size_t end = decoded.find('/', start);
    if (end == std::string::npos) end = decoded.size();
    const std::string_view segment = std::string_view(decoded).substr(start, end - start);
    if (segment == "..") {
      if (path.segments.empty()) throw RequestError("bad request path: outside the web root");
      path.segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      path.segments.emplace_back(segment);
    }
    start = end + 1;
  }
  // A path ending in "/", ".", ".." (or the bare root) names a folder.
  const std::string_view last = std::string_view(decoded).substr(decoded.find_last_of('/') + 1);
  path.folder = last.empty() || last == "." || last == ".." || path.segments.empty();
  return path;
}

bool IsNeverServed(const SitePath& path) {
  if (!path.segments.empty() && EqualsIgnoreCase(path.segments.front(), "data")) return true;
  for (const std::string& segment : path.segments) {
    if (segment.front() == '.' || EqualsIgnoreCase(segment, "inc") ||
        EqualsIgnoreCase(segment, "conn.asp")) {
      return true;
    }
  }
  const std::string& last = path.segments.empty() ? std::string() : path.segments.back();
  for (const char* suffix : {".db", ".db-wal", ".db-shm", ".db-journal", ".sqlite", ".sqlite3"}) {
    if (EndsWithIgnoreCase(last, suffix)) return true;
  }
  return false;
}

bool IsHostPage(const SitePath& path) {
  return !path.folder && !path.segments.empty() && EndsWithIgnoreCase(path.segments.back(), ".asp");
}

std::optional<std::filesystem::path> ResolveInRoot(const std::filesystem::path& canonical_root,
                                                   const SitePath& path) {
  std::filesystem::path candidate = canonical_root;
  for (const auto& segment : path.segments) candidate /= segment;

  // Resolving a path costs a system call per component, on every request; a thread keeps what it
  // resolved (inside the root) for the rest of the current second. The cache only ever says where
  // a path led; whether the file is still there is the caller's next look.
  struct Resolved {
    std::int64_t second = -1;
    std::unordered_map<std::string, std::filesystem::path> paths;
  };
  thread_local Resolved resolved_now;
  const std::int64_t second = std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count();
  if (second != resolved_now.second || resolved_now.paths.size() >= kResolvedPerThread) {
    resolved_now.paths.clear();
    resolved_now.second = second;
  }
  if (const auto hit = resolved_now.paths.find(candidate.native());
      hit != resolved_now.paths.end()) {
    return hit->second;
  }

  std::error_code ec;
  std::filesystem::path resolved = std::filesystem::canonical(candidate, ec);
  if (ec) return std::nullopt;
  // Inside means: the root's components are a prefix of the resolved path's components.
  const auto [root_end, resolved_pos] =
      std::mismatch(canonical_root.begin(), canonical_root.end(), resolved.begin(), resolved.end());
  (void)resolved_pos;
  if (root_end != canonical_root.end()) return std::nullopt;
  resolved_now.paths.emplace(candidate.native(), resolved);
  return resolved;
}

}  // namespace host
