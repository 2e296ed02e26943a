#include "wap/framework/page_frame.h"

#include <chrono>
#include <string>

#include "platform/host/application.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/scripting_context.h"
#include "wap/framework/db_connection.h"
#include "wap/framework/page_context.h"
#include "wap/framework/request_filter.h"
#include "wap/framework/xml_escape.h"

namespace wap {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// A request value escaped for markup; missing gives "".
std::string EscapedItem(const host::Request& request, std::string_view name) {
  return EscapeXmlAttribute(request.Item(name).value_or(""));
}

std::string Domain(const PageContext& c) {
  return EscapeXmlAttribute(c.application->Get("domain").value_or(""));
}

void AppendWmlHeader(PageContext& c) {
  c.response->SetContentType("text/vnd.wap.wml");
  std::string& p = c.page;
  p.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>").append(kCrLf);
  p.append(
       "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
       "\"http://www.wapforum.org/DTD/wml_1.1.xml\">")
      .append(kCrLf);
  p.append("<wml>").append(kCrLf);
  p.append("<head>").append(kCrLf);
  p.append("<meta http-equiv=\"Cache-Control\" content=\"max-age=0\" forua=\"true\"/>")
      .append(kCrLf);
  p.append("<meta http-equiv=\"content-type\" content=\"text/vnd.wap.wml;charset=UTF-8\"/>")
      .append(kCrLf);
  p.append("</head>").append(kCrLf);
  p.append("<card id=\"card1\" title=\"").append(kCardTitlePlaceholder).append("\">").append(kCrLf);
  p.append("<p><img src=\"")
      .append(Domain(c))
      .append("/waphome/")
      .append(EscapedItem(*c.request, "username"))
      .append("/Demo.jpg\" alt=\"Demo\"/></p>");
}

void AppendXhtmlHeader(PageContext& c) {
  const std::string username = EscapedItem(*c.request, "username");
  std::string& p = c.page;
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
  p.append("    <meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"/>")
      .append(kCrLf);
  p.append("  </head>").append(kCrLf);
  p.append(kCrLf);
  p.append("  <body>").append(kCrLf);
  p.append("     <img src=\"")
      .append(Domain(c))
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

void CaptureHostObjects(host::ScriptingContext& context) {
  PageContext& c = PageContext::Current();
  c.scripting_context = &context;
  c.application = &context.application;
  c.request = &context.request;
  c.response = &context.response;
  c.session = &context.session;
  c.server = &context.server;
}

void SetCachingHeaders() {
  host::Response& r = *PageContext::Current().response;
  r.SetExpires(0);
  r.SetExpiresAbsolute(std::chrono::system_clock::now() - std::chrono::hours(24));
  r.AddHeader("pragma", "no-cache");
  r.AddHeader("cache-control", "private");
  r.SetCacheControl("no-cache");
}

void CreateDBObjects() {
  PageContext& c = PageContext::Current();
  c.recordset.reset();
  c.connection.reset();
  c.connection = std::make_unique<data::Connection>(c.scripting_context->connections);
  c.recordset = std::make_unique<data::Recordset>();
}

void ReleaseHostObjects() {
  PageContext& c = PageContext::Current();
  c.scripting_context = nullptr;
  c.application = nullptr;
  c.response = nullptr;
  c.request = nullptr;
  c.session = nullptr;
  c.server = nullptr;
}

bool InitPage(host::ScriptingContext& context) {
  PageContext& c = PageContext::Current();
  CaptureHostObjects(context);
  SetCachingHeaders();
  c.markup = c.request->ServerVariable("HTTP_ACCEPT").find("wml") != std::string::npos
                 ? Markup::kWml
                 : Markup::kXhtml;
  c.page.clear();
  CreateDBObjects();
  c.link_suffix = "userid=" + EscapedItem(*c.request, "userid") +
                  "&amp;username=" + EscapedItem(*c.request, "username") +
                  "&amp;siteid=" + EscapedItem(*c.request, "siteid");
  const bool filtered = FilterRequest();
  if (c.markup == Markup::kWml) {
    AppendWmlHeader(c);
  } else {
    AppendXhtmlHeader(c);
  }
  if (filtered) return false;
  return OpenDB();
}

void SetPageTitle(std::string_view title) {
  PageContext& c = PageContext::Current();
  if (c.markup == Markup::kWml) {
    ReplaceAll(c.page, kCardTitlePlaceholder, title);
  } else {
    ReplaceAll(c.page, "<title></title>", "<title>" + std::string(title) + "</title>");
  }
}

void AppendHomeLink() {
  PageContext& c = PageContext::Current();
  c.page.append("<p><a href=\"/wap/index.asp?")
      .append(c.link_suffix)
      .append("&amp;\">首页</a></p>")
      .append(kCrLf);
}

void EndPage() {
  PageContext& c = PageContext::Current();
  if (c.response != nullptr) {
    if (c.markup == Markup::kWml) {
      c.page.append("  </card>").append(kCrLf).append("</wml>").append(kCrLf);
    } else {
      c.page.append("  </body>").append(kCrLf).append("</html>").append(kCrLf);
    }
    c.response->Write(c.page);
  }
  CloseDB();
  ReleaseHostObjects();
}

}  // namespace wap
