// Response: what a page sends back. The body is buffered and sent once, after the page ends.
// Once ended (End or Redirect) the response is fixed: later writes, headers and redirects are
// ignored, and the caller may go on running. Not thread-safe; one request uses it on one thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host {

class Response {
 public:
  using Header = std::pair<std::string, std::string>;

  // Expires: the page expires `minutes` from now (0: at once).
  void SetExpires(int minutes);
  // ExpiresAbsolute: the page expires at `when`. With both set, the earlier time is sent.
  void SetExpiresAbsolute(std::chrono::system_clock::time_point when);
  // CacheControl: the value of the Cache-Control header the host adds.
  void SetCacheControl(std::string_view value);
  // ContentType: without a call the host sends "text/html". A text type is sent with
  // "; charset=utf-8" appended by the host.
  void SetContentType(std::string_view value);
  // AddHeader: one more header, sent as given, after the host's own.
  void AddHeader(std::string_view name, std::string_view value);

  // Appends to the body, in call order; ignored once the response has ended.
  void Write(std::string_view text);
  // Ends the response: what was written so far is what the client gets.
  void End();
  // Status 302 with Location `url`, no body; ends the response. Ignored once ended. A `url`
  // longer than kMaxLocation bytes throws RequestError (400) and leaves the response as it was:
  // it is made of the request's own values, and no client would follow it.
  void Redirect(std::string_view url);
  static constexpr std::size_t kMaxLocation = 8192;
  // Refuses the request: status `status` (a 4xx) with `reason`, one line, as a plain-text body,
  // in place of anything written; headers added so far go with it. Ends the response. Ignored
  // once ended.
  void Refuse(int status, std::string_view reason);
  // Answers with status `status` (a 4xx) and the page as written, for a refusal the visitor
  // should see as a page of the site. Ignored once ended.
  void SetStatus(int status);

  bool Ended() const { return ended_; }
  int Status() const { return status_; }
  const std::string& Body() const { return body_; }
  // Moves the body out (the response's body is empty afterwards).
  std::string TakeBody() { return std::move(body_); }
  const std::string& ContentType() const { return content_type_; }
  const std::optional<std::string>& CacheControl() const { return cache_control_; }
  const std::vector<Header>& Headers() const { return headers_; }
  // The expiry time to send, when Expires or ExpiresAbsolute was set.
  std::optional<std::chrono::system_clock::time_point> ExpiresAt() const { return expires_at_; }
  // The Location of a redirect; empty otherwise.
  const std::string& Location() const { return location_; }

 private:
  void ExpireNoLaterThan(std::chrono::system_clock::time_point when);

  int status_ = 200;
  bool ended_ = false;
  std::string body_;
  std::string content_type_ = "text/html";
  std::optional<std::string> cache_control_;
  std::vector<Header> headers_;
  std::optional<std::chrono::system_clock::time_point> expires_at_;
  std::string location_;
};

}  // namespace host
