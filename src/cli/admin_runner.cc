#include "cli/admin_runner.h"

#include <exception>
#include <memory>
#include <stdexcept>

#include "cli/commands.h"
#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "platform/data/value.h"
#include "platform/host/application.h"
#include "platform/host/local_session.h"
#include "platform/host/request.h"
#include "platform/host/response.h"
#include "platform/host/scripting_context.h"
#include "platform/host/server.h"
#include "wap/framework/page.h"
#include "wap/framework/url_encode.h"

namespace cli {
namespace {

// The collection as a page would receive it: its url-encoded text and its pairs.
host::Collection MakeCollection(const std::vector<host::Collection::Pair>& pairs) {
  std::string text;
  for (const auto& [name, value] : pairs) {
    if (!text.empty()) text.push_back('&');
    text.append(wap::PercentEncode(name)).append("=").append(wap::PercentEncode(value));
  }
  return host::Collection(std::move(text), pairs);
}

// The objects of one back-office request in the web root's top folder.
struct BackOfficeRequest {
  explicit BackOfficeRequest(const AdminCall& call)
      : request(MakeCollection(call.query), MakeCollection(call.form), host::Collection(),
                {{"REQUEST_METHOD", call.form.empty() ? "GET" : "POST"},
                 {"SCRIPT_NAME", "/admin.asp"}}),
        server(call.root, "/", CreateObjectByName),
        pool(call.root),
        context{application, request, response, session, server, pool} {
    session.Set("userid", call.userid);
    session.Set("UserName", call.username);
  }

  host::Application application;
  host::Request request;
  host::Response response;
  host::LocalSession session;
  host::Server server;
  data::ConnectionPool pool;
  host::ScriptingContext context;
};

}  // namespace

std::optional<std::string> RunAdminOperation(const AdminCall& call, std::string_view method) {
  BackOfficeRequest page(call);
  std::unique_ptr<host::HostObject> admin = page.server.CreateObject("wap.adminmanage");
  std::optional<std::string> failure;
  try {
    admin->OnStartPage(page.context);
    if (page.response.Ended()) {
      failure = page.response.Body();
    } else if (!admin->Call(method)) {
      failure = "adminmanage has no operation " + std::string(method);
    }
  } catch (const std::exception& e) {
    failure = e.what();
  }
  admin->OnEndPage();
  return failure;
}

std::int64_t CountMemberClasses(const std::filesystem::path& root, std::int64_t userid,
                                std::int64_t class_id) {
  BackOfficeRequest page(AdminCall{root, std::to_string(userid), "", {}, {}});
  wap::Page settings_page(page.context);
  settings_page.CreateDBObjects();
  if (!settings_page.OpenDB()) throw std::runtime_error(page.response.Body());
  const auto count =
      settings_page.Connection()
          .Execute("select count(*) from wap_classes where userid=" + std::to_string(userid) +
                   " and id=" + std::to_string(class_id))
          ->Field(std::size_t{0})
          .ToInteger();
  return count.value_or(0);
}

}  // namespace cli
