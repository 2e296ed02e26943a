// PageHarness: an in-memory host for unit tests of page objects. It lays out a web root in a
// temporary folder (conn.asp naming a SQLite database made from schema/sqlite.sql, inc/fso.asp,
// waphome/), keeps one Application, one LocalSession and one connection pool for its lifetime, and
// runs a page object as the host does: OnStartPage, then OnEndPage (also when OnStartPage threw;
// the error is then rethrown, never caught here). Statements run through the pool during a page
// run are recorded, so tests can check that none ran.
//
//   PageHarness h;
//   h.Sql("insert into wap_classes (userid,type,classname,sortid) values (1,1,'News',1)");
//   auto page = wap::CreateObject("main");
//   host::Response r = h.Run(*page, {.query = {{"userid", "1"}, {"username", "demo"}}});
//
// Not thread-safe; one test thread uses it.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/data/connection_pool.h"
#include "platform/data/value.h"
#include "platform/host/application.h"
#include "platform/host/local_session.h"
#include "platform/host/response.h"
#include "platform/host/server.h"
#include "support/temp_dir.h"

namespace testing_support {

// Accept headers of a WML handset and of an XHTML browser.
inline constexpr std::string_view kWmlAccept = "text/vnd.wap.wml, image/vnd.wap.wbmp, */*";
inline constexpr std::string_view kXhtmlAccept = "application/xhtml+xml, text/html, */*";

using Pairs = std::vector<std::pair<std::string, std::string>>;

// One request as a page sees it. The collections' texts are the pairs form-encoded.
struct PageRequest {
  Pairs query = {};
  Pairs form = {};
  std::string accept = std::string(kWmlAccept);
  Pairs cookies = {};
};

class PageHarness {
 public:
  // The connection string the settings of the laid-out conn.asp give.
  static constexpr std::string_view kConnectionString =
      "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=sqlite:data/site.db;User ID=;"
      "Password=;Initial Catalog=site";

  PageHarness();
  ~PageHarness();
  PageHarness(const PageHarness&) = delete;
  PageHarness& operator=(const PageHarness&) = delete;

  const std::filesystem::path& Root() const { return root_.path(); }
  // Writes `content` to the file at `relative_path` under the web root, making its folders.
  void WriteFile(std::string_view relative_path, std::string_view content) const;
  // Removes the file or folder at `relative_path` under the web root.
  void Remove(std::string_view relative_path) const;

  // Runs every statement of `script` on the site database.
  void Sql(std::string_view script);
  // The rows of `sql` on the site database, each as its field values.
  std::vector<std::vector<data::Value>> Query(std::string_view sql);

  host::Application& App() { return application_; }
  host::LocalSession& Session() { return session_; }
  data::ConnectionPool& Pool() { return pool_; }

  // Objects that host pages may create besides "Scripting.FileSystemObject" (e.g. wrap
  // wap::CreateObject for "wap.*" names). Without one, only the file-system object exists.
  void SetObjectFactory(host::ObjectFactory factory) { extra_factory_ = std::move(factory); }

  // Runs `object` for `request` in the folder `page_folder` with the harness's session; returns
  // the response. Throws what OnStartPage or OnEndPage threw (after OnEndPage ran).
  host::Response Run(host::HostObject& object, const PageRequest& request,
                     std::string page_folder = "/wap");
  // The same with another session (e.g. a fresh one per visitor).
  host::Response Run(host::HostObject& object, const PageRequest& request, host::Session& session,
                     std::string page_folder = "/wap");

  // The statements that ran through the pool during the last Run, in order.
  std::vector<std::string> Statements() const;

 private:
  TempDir root_;
  host::Application application_;
  host::LocalSession session_;
  data::ConnectionPool pool_;
  host::ObjectFactory extra_factory_;
  mutable std::mutex log_mutex_;
  bool recording_ = false;
  std::vector<std::string> statements_;
};

// "a=1&b=x+y": the pairs percent-encoded (spaces as "+"), joined by "&".
std::string FormText(const Pairs& pairs);

}  // namespace testing_support
