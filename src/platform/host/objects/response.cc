#include "platform/host/objects/response.h"

#include "platform/host/objects/request_error.h"

namespace host {

void Response::ExpireNoLaterThan(std::chrono::system_clock::time_point when) {
  if (!expires_at_ || when < *expires_at_) expires_at_ = when;
}

void Response::SetExpires(int minutes) {
  if (ended_) return;
  ExpireNoLaterThan(std::chrono::system_clock::now() + std::chrono::minutes(minutes));
}

void Response::SetExpiresAbsolute(std::chrono::system_clock::time_point when) {
  if (ended_) return;
  ExpireNoLaterThan(when);
}

void Response::SetCacheControl(std::string_view value) {
  if (ended_) return;
  cache_control_ = std::string(value);
}

void Response::SetContentType(std::string_view value) {
  if (ended_) return;
  content_type_ = std::string(value);
}

void Response::AddHeader(std::string_view name, std::string_view value) {
  if (ended_) return;
  headers_.emplace_back(std::string(name), std::string(value));
}

void Response::Write(std::string_view text) {
  if (ended_) return;
  body_.append(text);
}

void Response::End() { ended_ = true; }

void Response::Redirect(std::string_view url) {
  if (ended_) return;
  if (url.size() > kMaxLocation) throw RequestError("the redirect address is too long");
  status_ = 302;
  location_ = std::string(url);
  body_.clear();
  ended_ = true;
}

void Response::SetStatus(int status) {
  if (!ended_) status_ = status;
}

void Response::Refuse(int status, std::string_view reason) {
  if (ended_) return;
  status_ = status;
  content_type_ = "text/plain";
  body_ = std::string(reason);
  ended_ = true;
}

}  // namespace host
