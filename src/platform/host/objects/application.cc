#include "platform/host/objects/application.h"

#include <mutex>

#include "platform/host/objects/page_reads.h"
#include "platform/text/ascii.h"

namespace host {

std::optional<std::string> Application::Get(std::string_view name) const {
  std::optional<std::string> value;
  {
    std::shared_lock lock(mutex_);
    const auto it = values_.find(text::AsciiLower(name));
    if (it != values_.end()) value = it->second;
  }
  if (PageReads* reads = PageReads::Current()) reads->Note(ReadSource::kApplication, name, value);
  return value;
}

void Application::Set(std::string_view name, std::string value) {
  if (PageReads* reads = PageReads::Current())
    reads->MarkUncacheable("stored an application value");
  std::unique_lock lock(mutex_);
  values_[text::AsciiLower(name)] = std::move(value);
}

}  // namespace host
