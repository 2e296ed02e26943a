// What the request dispatcher needs to keep pages in a RenderedPageCache: which requests may be
// answered from it, the key of a host page, the session that records a page's reads, and the
// values a request offers for a recorded read. Stateless functions are thread-safe; a
// RecordingSession is used by one request.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/host/objects/page_reads.h"
#include "platform/host/objects/session.h"
#include "platform/host/rendered_page_cache.h"

namespace host {

class Application;
class Request;

// Whether a request for the host page `virtual_path` with `method` may be answered from the
// cache, or its page kept: GET and HEAD only, and never a page of the back office (/admin/).
bool MayKeepPage(std::string_view method, std::string_view virtual_path);

// The key of a host page file: its path and its stamp (modification time, size, inode), so that
// an edited page never meets what an older version rendered.
std::string HostPageKey(const std::filesystem::path& physical, const struct stat& status);

// The values `request`, `session` and `application` offer for a read, as a page would read them.
// The returned function holds references to the three.
RenderedPageCache::ValueOf RequestValues(const Request& request, const Session& session,
                                         const Application& application);

// The session as a page being recorded sees it: every Get is recorded (PageReads::Current(),
// when set), a Set or RenewId makes the run uncacheable; all calls go on to `inner`.
class RecordingSession : public Session {
 public:
  explicit RecordingSession(Session& inner) : inner_(inner) {}

  std::optional<std::string> Get(std::string_view name) const override;
  void Set(std::string_view name, std::string value) override;
  void RenewId() override;

 private:
  Session& inner_;
};

}  // namespace host
