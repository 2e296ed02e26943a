#include "platform/host/request.h"

#include "platform/text/ascii.h"

namespace host {

Request::Request(Collection query_string, Collection form, Collection cookies,
                 ServerVariables server_variables, UploadedFiles files)
    : query_string_(std::move(query_string)),
      form_(std::move(form)),
      cookies_(std::move(cookies)),
      server_variables_(std::move(server_variables)),
      files_(std::move(files)) {}

std::optional<std::string> Request::Item(std::string_view name) const {
  if (auto v = query_string_.Get(name)) return v;
  if (auto v = form_.Get(name)) return v;
  if (auto v = cookies_.Get(name)) return v;
  for (const auto& [key, value] : server_variables_) {
    if (text::EqualsIgnoreCase(key, name)) return value;
  }
  return std::nullopt;
}

std::string Request::ServerVariable(std::string_view name) const {
  for (const auto& [key, value] : server_variables_) {
    if (text::EqualsIgnoreCase(key, name)) return value;
  }
  return {};
}

}  // namespace host
