#include "backoffice/handset_preview.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>

#include "backoffice/editor_support.h"
#include "backoffice/handset_view.h"
#include "platform/host/objects/collection.h"
#include "platform/host/objects/local_session.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/scripting_context.h"
#include "platform/host/objects/server.h"
#include "platform/text/percent.h"

namespace backoffice {
namespace {

struct LivePageObject {
  std::string_view page;
  std::string_view prog_id;
};
constexpr LivePageObject kLivePages[] = {
    {"index", "wap.main"},        {"showcontent", "wap.showcontent"}, {"newslist", "wap.newslist"},
    {"shownews", "wap.shownews"}, {"productlist", "wap.productlist"}, {"lyb", "wap.lyb"},
    {"login", "site.login"},
};

// Calls OnEndPage of a started page object on every way out.
class StartedObject {
 public:
  StartedObject(host::HostObject& object, host::ScriptingContext& context) : object_(object) {
    object_.OnStartPage(context);
  }
  StartedObject(const StartedObject&) = delete;
  StartedObject& operator=(const StartedObject&) = delete;
  ~StartedObject() { object_.OnEndPage(); }

 private:
  host::HostObject& object_;
};

// A link of a live page's deck as a link of its preview: a page of the site's /wap/ folder that
// the preview shows leads to its preview, with the values the preview passes on; any other link
// leads nowhere from the preview. `href` and the result are escaped as in markup.
std::string PreviewLink(std::string_view href) {
  std::string_view path = href.substr(0, href.find('?'));
  if (path.starts_with("/wap/")) path.remove_prefix(5);
  if (path.find_first_of("/:") != std::string_view::npos || !path.ends_with(".asp")) return "";
  const std::string_view name = path.substr(0, path.size() - 4);
  if (std::none_of(std::begin(kLivePages), std::end(kLivePages),
                   [&](const LivePageObject& p) { return p.page == name; })) {
    return "";
  }
  std::string link = "/admin/preview.asp?markup=wml&amp;of=" + std::string(name);
  const std::size_t question = href.find('?');
  std::string_view query = question == std::string_view::npos ? "" : href.substr(question + 1);
  while (!query.empty()) {  // pairs separated by "&amp;"
    const std::size_t end = query.find("&amp;");
    const std::string_view pair = query.substr(0, end);
    for (const std::string_view passed : {"id=", "classname=", "Page="}) {
      if (pair.starts_with(passed)) link += "&amp;" + std::string(pair);
    }
    query = end == std::string_view::npos ? "" : query.substr(end + 5);
  }
  return link;
}

}  // namespace

std::string PreviewAddress(std::string_view markup, std::string_view page, std::string_view extra) {
  return "/admin/preview.asp?markup=" + std::string(markup) + "&of=" + std::string(page) +
         std::string(extra);
}

void PreviewPage(OfficeRequest& request) {
  host::ScriptingContext& context = request.Context();
  const host::Request& asked = request.Request();
  const std::string name = asked.QueryString().Get("of").value_or("");
  const bool wml = asked.QueryString().Get("markup") == "wml";
  std::string_view prog_id;
  for (const LivePageObject& p : kLivePages) {
    if (p.page == name) prog_id = p.prog_id;
  }
  if (prog_id.empty()) return NotOwnRow(request);

  std::string query = SiteQuery(*request.owner);
  for (const char* passed : {"id", "classname", "Page"}) {
    if (const auto value = asked.QueryString().Get(passed)) {
      query += "&" + std::string(passed) + "=" + text::PercentEncode(*value);
    }
  }
  host::Request live(host::Collection::ParseUrlEncoded(query), {}, {},
                     {{"HTTP_ACCEPT", wml ? "text/vnd.wap.wml" : "application/xhtml+xml"},
                      {"REQUEST_METHOD", "GET"},
                      {"SCRIPT_NAME", "/wap/" + name + ".asp"},
                      {"QUERY_STRING", query},
                      {"HTTP_HOST", asked.ServerVariable("HTTP_HOST")},
                      {"REMOTE_ADDR", asked.ServerVariable("REMOTE_ADDR")}});
  host::Response answer;
  host::LocalSession session;
  host::Server server(context.server.WebRoot(), "/wap",
                      [&context](std::string_view id) { return context.server.CreateObject(id); });
  host::ScriptingContext live_context{context.application, live,   answer, session, server,
                                      context.connections, nullptr};
  {
    const std::unique_ptr<host::HostObject> object = server.CreateObject(prog_id);
    StartedObject started(*object, live_context);
  }
  host::Response& response = request.Response();
  if (!wml || asked.QueryString().Get("source")) {
    response.SetContentType(wml ? "text/plain" : answer.ContentType());
    response.Write(answer.TakeBody());
    return;
  }
  const std::string deck = answer.TakeBody();
  View view;
  view.set("card", HandsetView(deck, PreviewLink));
  view.set(
      "source_link",
      PreviewAddress("wml", name, "&source=1" + query.substr(SiteQuery(*request.owner).size())));
  view.set("xhtml_link",
           PreviewAddress("xhtml", name, query.substr(SiteQuery(*request.owner).size())));
  request.Show("handset", "WAP 手机上的样子", view);
}

}  // namespace backoffice
