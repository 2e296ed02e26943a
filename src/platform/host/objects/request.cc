#include "platform/host/objects/request.h"

#include "platform/text/ascii.h"

namespace host {

Request::Request(Collection query_string, Collection form, Collection cookies,
                 ServerVariables server_variables, UploadedFiles files)
    : query_string_(std::move(query_string)),
      form_(std::move(form)),
      cookies_(std::move(cookies)),
      server_variables_(std::move(server_variables)),
      files_(std::move(files)) {
  query_string_.TagForReads(ReadSource::kQueryString);
  form_.TagForReads(ReadSource::kForm);
  cookies_.TagForReads(ReadSource::kCookie);
}

std::optional<std::string> Request::Item(std::string_view name) const {
  // The item as a whole is what the page read; the collections' own lookups are not recorded.
  PageReads* const recording = PageReads::Current();
  std::optional<std::string> found;
  {
    const PageReads::Scope pause(nullptr);
    found = query_string_.Get(name);
    if (!found) found = form_.Get(name);
    if (!found) found = cookies_.Get(name);
    if (!found) found = FindServerVariable(name);
  }
  if (recording != nullptr) recording->Note(ReadSource::kItem, name, found);
  return found;
}

std::optional<std::string> Request::FindServerVariable(std::string_view name) const {
  for (const auto& [key, value] : server_variables_) {
    if (text::EqualsIgnoreCase(key, name)) return value;
  }
  return std::nullopt;
}

std::string Request::ServerVariable(std::string_view name) const {
  std::optional<std::string> found = FindServerVariable(name);
  if (PageReads* reads = PageReads::Current())
    reads->Note(ReadSource::kServerVariable, name, found);
  return found.value_or(std::string());
}

}  // namespace host
