#include "platform/host/http/path_guard.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/host/objects/request_error.h"
#include "platform/text/ascii.h"
#include "platform/text/path.h"
#include "platform/text/percent.h"
#include "platform/text/utf8.h"

namespace host {
namespace {

// Most paths a thread remembers as resolved, within one second.
constexpr std::size_t kResolvedPerThread = 1024;

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
  const text::StrictlyDecoded strict = text::PercentDecodeStrict(raw_path);
  if (strict.fault) throw RequestError("bad request path: " + std::string(strict.fault));
  const std::string& decoded = strict.bytes;
  for (const char c : decoded) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0) throw RequestError("bad request path: NUL");
    if (u < 0x20 || u == 0x7F) throw RequestError("bad request path: control character");
    if (c == '\\') throw RequestError("bad request path: backslash");
  }
  if (!text::IsWellFormedUtf8(decoded)) throw RequestError("bad request path: not UTF-8");

  std::optional<std::vector<std::string>> segments = text::ApplyPathParts({}, decoded, "/");
  if (!segments) throw RequestError("bad request path: outside the web root");
  SitePath path;
  path.segments = std::move(*segments);
  // A path ending in "/", ".", ".." (or the bare root) names a folder.
  const std::string_view last = std::string_view(decoded).substr(decoded.find_last_of('/') + 1);
  path.folder = last.empty() || last == "." || last == ".." || path.segments.empty();
  return path;
}

bool IsNeverServed(const SitePath& path) {
  if (!path.segments.empty() && text::EqualsIgnoreCase(path.segments.front(), "data")) return true;
  // The back office's page templates: read by its pages, never sent.
  if (path.segments.size() >= 2 && text::EqualsIgnoreCase(path.segments[0], "admin") &&
      text::EqualsIgnoreCase(path.segments[1], "templates")) {
    return true;
  }
  for (const std::string& segment : path.segments) {
    if (segment.front() == '.' || text::EqualsIgnoreCase(segment, "inc") ||
        text::EqualsIgnoreCase(segment, "conn.asp")) {
      return true;
    }
  }
  const std::string& last = path.segments.empty() ? std::string() : path.segments.back();
  for (const char* suffix : {".db", ".db-wal", ".db-shm", ".db-journal", ".sqlite", ".sqlite3"}) {
    if (text::EndsWithIgnoreCase(last, suffix)) return true;
  }
  return false;
}

bool IsHostPage(const SitePath& path) {
  return !path.folder && !path.segments.empty() &&
         text::EndsWithIgnoreCase(path.segments.back(), ".asp");
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
