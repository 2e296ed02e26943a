#include "platform/host/page_cache_support.h"

#include "platform/fs/file_use.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/text/ascii.h"

namespace host {

bool MayKeepPage(std::string_view method, std::string_view virtual_path) {
  if (method != "GET" && method != "HEAD") return false;
  return !text::StartsWithIgnoreCase(virtual_path, "/admin/") &&
         !text::EqualsIgnoreCase(virtual_path, "/admin");
}

std::string HostPageKey(const std::filesystem::path& physical, const struct stat& status) {
  std::string key = physical.string();
  key.push_back('\0');
  key.append(std::to_string(status.st_mtim.tv_sec)).push_back('.');
  key.append(std::to_string(status.st_mtim.tv_nsec)).push_back('/');
  key.append(std::to_string(status.st_size)).push_back('/');
  key.append(std::to_string(status.st_ino));
  return key;
}

RenderedPageCache::ValueOf RequestValues(const Request& request, const Session& session,
                                         const Application& application) {
  return [&request, &session, &application](const ValueRead& read) -> std::optional<std::string> {
    const PageReads::Scope not_recorded(nullptr);
    const Collection* collection = nullptr;
    switch (read.source) {
      case ReadSource::kQueryString:
        collection = &request.QueryString();
        break;
      case ReadSource::kForm:
        collection = &request.Form();
        break;
      case ReadSource::kCookie:
        collection = &request.Cookies();
        break;
      case ReadSource::kServerVariable:
        return request.FindServerVariable(read.name);
      case ReadSource::kItem:
        return request.Item(read.name);
      case ReadSource::kSession:
        return session.Get(read.name);
      case ReadSource::kApplication:
        return application.Get(read.name);
      case ReadSource::kFileExists:
        return fso::FileExistsNow(read.name) ? std::optional<std::string>("1") : std::nullopt;
      case ReadSource::kFolderExists:
        return fso::FolderExistsNow(read.name) ? std::optional<std::string>("1") : std::nullopt;
    }
    if (collection == nullptr) return std::nullopt;
    if (read.whole) return collection->Text();
    return collection->Get(read.name);
  };
}

std::optional<std::string> RecordingSession::Get(std::string_view name) const {
  std::optional<std::string> value;
  {
    const PageReads::Scope inner_reads_not_recorded(nullptr);
    value = inner_.Get(name);
  }
  if (PageReads* reads = PageReads::Current()) reads->Note(ReadSource::kSession, name, value);
  return value;
}

void RecordingSession::Set(std::string_view name, std::string value) {
  if (PageReads* reads = PageReads::Current()) reads->MarkUncacheable("stored a session value");
  inner_.Set(name, std::move(value));
}

void RecordingSession::RenewId() {
  if (PageReads* reads = PageReads::Current()) reads->MarkUncacheable("renewed a session id");
  inner_.RenewId();
}

}  // namespace host
