// PageContext: the state of the page that is being produced on this thread: the host objects of
// the request, the connection and the one shared recordset, the markup mode, the page buffer, the
// link suffix and the database settings.
//
// Each page object owns its PageContext. While one of the object's entry points runs
// (OnStartPage, a called operation, OnEndPage), a PageContextScope installs it as the thread's
// current context, so that the framework's operations (InitPage, SetPageTitle, OpenDB, …) and the
// page code reach it through PageContext::Current(). The scope restores the previous context on
// every exit path, exceptions included. Nothing here is shared between threads; page code never
// suspends while a context is installed.
#pragma once

#include <memory>
#include <string>

#include "platform/data/connection.h"
#include "platform/data/recordset.h"

namespace host {
class Application;
class Request;
class Response;
class Server;
class Session;
struct ScriptingContext;
}  // namespace host

namespace wap {

// The markup of a page, chosen once per request from the Accept header.
enum class Markup { kWml, kXhtml };

// The database settings read from "\conn.asp" and "\inc\fso.asp" or from the application cache.
// A value that was not found is empty.
struct DBSettings {
  std::string server;              // strSQLServer, cached as strDBServer: the Data Source
  std::string user;                // strSQLUser, cached as strDBUser
  std::string password;            // strSQLPassword, cached as strDBPwd
  std::string database;            // strSQLDataBase, cached as strDBName: the Initial Catalog
  std::string file_system_object;  // Const_ScriptFileSystem: program id of the file-system object
};

struct PageContext {
  // The host objects of the request; null before InitPage (or the administration set-up) and
  // after they are released at page end. Borrowed from the host, which keeps them alive until
  // OnEndPage returns.
  host::ScriptingContext* scripting_context = nullptr;
  host::Application* application = nullptr;
  host::Request* request = nullptr;
  host::Response* response = nullptr;
  host::Session* session = nullptr;
  host::Server* server = nullptr;

  Markup markup = Markup::kXhtml;
  // The page being produced; written to the response in one piece by EndPage.
  std::string page;
  // "userid=…&amp;username=…&amp;siteid=…", the request's values escaped for markup.
  std::string link_suffix;

  // Created new by InitPage (or the administration set-up), released by CloseDB. A page may close
  // the shared recordset, or close it and reset the pointer, before page end.
  std::unique_ptr<data::Connection> connection;
  std::unique_ptr<data::Recordset> recordset;

  DBSettings settings;
  // The connection string OpenDB built; empty before.
  std::string connection_string;

  // The context installed on this thread. Throws std::logic_error when none is installed (a
  // framework operation called outside a page object's entry point).
  static PageContext& Current();
  // True when a context is installed on this thread.
  static bool HasCurrent();

 private:
  friend class PageContextScope;
  static thread_local PageContext* current_;
};

// Installs a context as the thread's current one for the scope's lifetime.
class PageContextScope {
 public:
  explicit PageContextScope(PageContext& context);
  ~PageContextScope();
  PageContextScope(const PageContextScope&) = delete;
  PageContextScope& operator=(const PageContextScope&) = delete;

 private:
  PageContext* previous_;
};

}  // namespace wap
