#include "backoffice/handset_preview.h"

#include <memory>
#include <utility>

#include "backoffice/editor_support.h"
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
  response.SetContentType(wml ? "text/plain" : answer.ContentType());
  response.Write(answer.TakeBody());
}

}  // namespace backoffice
