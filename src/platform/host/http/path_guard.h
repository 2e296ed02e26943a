// Path guard: turns the path of a request target into a site path that cannot leave the web
// root, decides which site paths are never sent as files, and finds the physical file of a site
// path inside the (symlink-resolved) web root.
//
// Decoding happens exactly once: "%2e%2e" is "..", while "%252e" is the three characters "%2e".
// Pure functions apart from ResolveInRoot's look at the file system; thread-safe.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// A decoded, normalised site path: its segments (none "", "." or "..") and whether the request
// named a folder ("/wap/").
struct SitePath {
  std::vector<std::string> segments;
  bool folder = false;  // ended in "/" (the root "/" included)

  // "/a/b" (or "/a/b/" for a folder; "/" for the root).
  std::string Virtual() const;
  // The virtual folder that holds the last segment: "/a" for "/a/b", "/" for "/b".
  std::string ParentFolder() const;
};

// Decodes and normalises `raw_path` (the target up to "?"). Throws RequestError (a 400) when it
// does not start with "/", holds a bad %-escape, a NUL, a backslash (raw or encoded), a control
// character or bytes that are not well-formed UTF-8 (overlong forms such as %c0%ae included), or
// when ".." would climb above the web root.
SitePath DecodeSitePath(std::string_view raw_path);

// True for site paths that are neither sent nor run: "conn.asp" (any case) anywhere, a folder
// named "inc" (any case) and anything inside it, any segment starting with ".", the database
// folder "data" at the top of the web root and anything in it, the back office's page templates
// ("admin/templates" at the top, any case, and anything in it), and database files anywhere
// (".db", ".db-wal", ".db-shm", ".db-journal", ".sqlite", ".sqlite3"). (Host-page
// sources are never sent either: an ".asp" path runs as a host page instead.)
bool IsNeverServed(const SitePath& path);

// True when the last segment ends in ".asp" (any letter case).
bool IsHostPage(const SitePath& path);

// The canonical physical path of `path` under `canonical_root` (which must itself be canonical),
// following symbolic links; std::nullopt when it does not exist or resolves outside the root.
// A thread remembers what it resolved for the rest of the current second, so a link changed
// inside the root may lead to its old place for up to a second: a caller looks at the result
// without following a final link (lstat) and treats a link found there as not found.
std::optional<std::filesystem::path> ResolveInRoot(const std::filesystem::path& canonical_root,
                                                   const SitePath& path);

}  // namespace host
