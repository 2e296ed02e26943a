#include "wap/framework/page.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/connection_settings.h"
#include "platform/data/recordset.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/page_reads.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/scripting_context.h"
#include "platform/host/objects/session.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/deck_budget.h"
#include "wap/framework/member_login.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/request_filter.h"
#include "wap/framework/site_query.h"
#include "wap/framework/whole_number.h"
#include "wap/framework/wml_dollars.h"
#include "wap/framework/xml_escape.h"

namespace wap {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// A request value escaped for the page's markup; missing gives "".
std::string EscapedItem(const Page& page, std::string_view name) {
  return page.Attribute(page.Request().Item(name).value_or(""));
}

std::string Domain(const Page& page) {
  return page.Attribute(page.Application().Get("domain").value_or(""));
}

// Returns where the card title's placeholder stands in the page buffer.
std::size_t AppendWmlHeader(Page& page) {
  page.Response().SetContentType("text/vnd.wap.wml");
  std::string& p = page.Buffer();
  p.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>").append(kCrLf);
  p.append(
       "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
       "\"http://www.wapforum.org/DTD/wml_1.1.xml\">")
      .append(kCrLf);
  p.append("<wml>").append(kCrLf);
  p.append("<head>").append(kCrLf);
  p.append(
       "<meta http-equiv=\"Cache-Control\" content=\"max-age=0\" "
       "forua=\"true\"/>")
      .append(kCrLf);
  p.append(
       "<meta http-equiv=\"content-type\" "
       "content=\"text/vnd.wap.wml;charset=UTF-8\"/>")
      .append(kCrLf);
  p.append("</head>").append(kCrLf);
  p.append("<card id=\"card1\" title=\"");
  const std::size_t title_at = p.size();
  p.append(kCardTitlePlaceholder).append("\">").append(kCrLf);
  p.append("<p><img src=\"")
      .append(Domain(page))
      .append("/waphome/")
      .append(EscapedItem(page, "username"))
      .append("/Demo.jpg\" alt=\"Demo\"/></p>");
  return title_at;
}

void AppendXhtmlHeader(Page& page) {
  const std::string username = EscapedItem(page, "username");
  std::string& p = page.Buffer();
  p.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>").append(kCrLf);
  p.append(
       "<!DOCTYPE html PUBLIC \"-//WAPFORUM//DTD XHTML Mobile 1.0//EN\" "
       "\"http://www.wapforum.org/DTD/xhtml-mobile10.dtd\">")
      .append(kCrLf);
  p.append(kCrLf);
  p.append("<html xmlns=\"http://www.w3.org/1999/xhtml\">").append(kCrLf);
  p.append("  <head>").append(kCrLf);
  p.append("    <title></title>").append(kCrLf);
  p.append("    <link href=\"/waphome/")
      .append(username)
      .append("/style.css\" rel=\"stylesheet\" type=\"text/css\"/>")
      .append(kCrLf);
  p.append(
       "    <meta http-equiv=\"content-type\" content=\"text/html; "
       "charset=utf-8\"/>")
      .append(kCrLf);
  p.append("  </head>").append(kCrLf);
  p.append(kCrLf);
  p.append("  <body>").append(kCrLf);
  p.append("     <img src=\"")
      .append(Domain(page))
      .append("/waphome/")
      .append(username)
      .append("/Demo.jpg\" alt=\"Demo\"/><br/>");
}

// Replaces every occurrence of `from` in `text` by `to`, scanning only the original text.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::size_t at = 0;
  while ((at = text.find(from, at)) != std::string::npos) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

}  // namespace

Page::Page(host::ScriptingContext& context) : context_(context) {}

Page::~Page() { CloseDB(); }

host::Application& Page::Application() const { return context_.application; }
host::Request& Page::Request() const { return context_.request; }
host::Response& Page::Response() const { return context_.response; }
host::Session& Page::Session() const { return context_.session; }
host::Server& Page::Server() const { return context_.server; }
host::RateLimiters* Page::Limiters() const {
  // A page that counts attempts must run on every request: it is never kept by the page cache.
  if (host::PageReads* reads = host::PageReads::Current()) {
    reads->MarkUncacheable("consulted a rate limiter");
  }
  return context_.limiters;
}

std::string Page::CharRefs(std::string_view utf8) const {
  return wml_ ? WmlDollars(ToCharRefs(utf8)) : ToCharRefs(utf8);
}
std::string Page::Text(std::string_view utf8) const {
  return wml_ ? WmlDollars(EscapeXmlText(utf8)) : EscapeXmlText(utf8);
}
std::string Page::Attribute(std::string_view utf8) const {
  return wml_ ? WmlDollars(EscapeXmlAttribute(utf8)) : EscapeXmlAttribute(utf8);
}
std::string Page::Owner(std::string_view utf8) const {
  return wml_ ? WmlDollars(OwnerText(utf8)) : OwnerText(utf8);
}

data::Connection& Page::Connection() { return *connection_; }
data::Recordset& Page::Recordset() { return *recordset_; }
bool Page::HasOpenConnection() const { return connection_ && connection_->IsOpen(); }

void Page::SetCachingHeaders() {
  host::Response& r = Response();
  r.SetExpires(0);
  r.SetExpiresAbsolute(std::chrono::system_clock::now() - std::chrono::hours(24));
  r.AddHeader("pragma", "no-cache");
  r.AddHeader("cache-control", "private");
  r.SetCacheControl("no-cache");
}

void Page::CreateDBObjects() {
  recordset_.reset();
  connection_.reset();
  connection_ = std::make_unique<data::Connection>(context_.connections);
  recordset_ = std::make_unique<data::Recordset>();
}

bool Page::OpenDB() {
  settings_ = LoadDBSettings(Application(), Server());
  try {
    connection_->Open(
        data::ConnectionSettings{settings_.server, settings_.user, settings_.password,
                                 settings_.database});
    return true;
  } catch (const std::exception& e) {
    // The one failure a page reports itself: the client sees the provider's description.
    Response().Write(std::string("OpenDB():") + e.what());
    Response().End();
    return false;
  }
}

void Page::CloseDB() noexcept {
  if (recordset_ && recordset_->IsOpen()) recordset_->Close();
  if (connection_ && connection_->IsOpen()) connection_->Close();
  recordset_.reset();
  connection_.reset();
}

bool Page::InitPage() {
  SetCachingHeaders();
  wml_ = Request().ServerVariable("HTTP_ACCEPT").find("wml") != std::string::npos;
  buffer_.clear();
  CreateDBObjects();
  link_suffix_ = wml_ ? WmlDollars(wap::LinkSuffix(Request())) : wap::LinkSuffix(Request());
  const bool filtered = FilterRequest(Request(), Response());
  card_title_at_ = std::string::npos;
  if (wml_) {
    card_title_at_ = AppendWmlHeader(*this);
  } else {
    AppendXhtmlHeader(*this);
  }
  if (filtered) return false;
  if (!OpenDB()) return false;
  // A member login that its member has outlived ends here, at the next page on any instance.
  EndOutlivedMemberLogin(Session(), *connection_);
  return true;
}

void Page::SetPageTitle(std::string_view title) {
  if (wml_) {
    if (card_title_at_ == std::string::npos) return;
    buffer_.replace(card_title_at_, kCardTitlePlaceholder.size(), title);
    card_title_at_ = std::string::npos;
  } else {
    ReplaceAll(buffer_, "<title></title>", "<title>" + std::string(title) + "</title>");
  }
}

void Page::AppendHomeLink() {
  buffer_.append("<p><a href=\"/wap/index.asp?")
      .append(link_suffix_)
      .append("&amp;\">首页</a></p>")
      .append(kCrLf);
}

void Page::BeginLongPart(LongPartKind kind, std::string address) {
  long_part_ = LongPart{kind, std::move(address), buffer_.size()};
}

void Page::EndLongPart() {
  if (long_part_) long_part_->end = buffer_.size();
}

void Page::SplitOverLimit() {
  if (!long_part_ || long_part_->end == std::string::npos || long_part_->end < long_part_->begin) {
    return;
  }
  const std::size_t limit = PageByteLimit(Request(), Application(), wml_);
  const PageMeasure measure = wml_ ? PageMeasure(CompiledWmlBytes)
                                   : PageMeasure([](std::string_view p) { return p.size(); });
  if (measure(buffer_) <= limit) return;
  const std::string_view whole = buffer_;
  const SplittablePage page{
      .before = whole.substr(0, long_part_->begin),
      .long_part = whole.substr(long_part_->begin, long_part_->end - long_part_->begin),
      .after = whole.substr(long_part_->end),
      .kind = long_part_->kind,
      .address = long_part_->address};
  std::vector<std::string> parts = SplitPage(page, limit, measure);
  const std::optional<std::int64_t> requested =
      ParseWholeNumber(Request().Item("part").value_or(""));
  const std::int64_t last = static_cast<std::int64_t>(parts.size());
  const std::int64_t part = std::clamp<std::int64_t>(requested.value_or(1), 1, last);
  buffer_ = std::move(parts[static_cast<std::size_t>(part - 1)]);
}

void Page::EndPage() {
  if (ended_) return;
  ended_ = true;
  if (wml_) {
    buffer_.append("  </card>").append(kCrLf).append("</wml>").append(kCrLf);
  } else {
    buffer_.append("  </body>").append(kCrLf).append("</html>").append(kCrLf);
  }
  SplitOverLimit();
  Response().Write(buffer_);
  CloseDB();
}

}  // namespace wap
