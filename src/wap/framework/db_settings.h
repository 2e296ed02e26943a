// The database settings: read from the web root's configuration files "\conn.asp" and
// "\inc\fso.asp" until the application cache holds a database name, from the cache afterwards.
// The application values are written without a lock: concurrent first requests write equal
// values.
#pragma once

#include <string>
#include <string_view>

namespace host {
class Application;
class Server;
}  // namespace host

namespace wap {

// The database settings. A value that was not found is empty.
struct DBSettings {
  std::string server;              // strSQLServer, cached as strDBServer: the Data Source
  std::string user;                // strSQLUser, cached as strDBUser
  std::string password;            // strSQLPassword, cached as strDBPwd
  std::string database;            // strSQLDataBase, cached as strDBName: the Initial Catalog
  std::string file_system_object;  // Const_ScriptFileSystem: program id of the file-system object
};

// The settings of the web root (server.MapPath("/")). When the application value strDBName is
// missing or empty, reads "\conn.asp" (strSQLDataBase, strSQLServer, strSQLUser, strSQLPassword)
// and stores strDBName, strDBServer, strDBUser, strDBPwd, then reads "\inc\fso.asp"
// (Const_ScriptFileSystem) and stores Const_ScriptFileSystem; otherwise takes the five cached
// values. Throws when a file cannot be read (nothing further is cached then).
DBSettings LoadDBSettings(host::Application& application, const host::Server& server);

// Forgets the cached settings: the next LoadDBSettings reads the files again (after an operator
// changed conn.asp). Requests already running keep the settings they loaded.
void ForgetDBSettings(host::Application& application);

// The value of the setting `name` in `text`: the last match of name="\S*" (name in any letter
// case, the non-blank run greedy), less every occurrence of name= (any case) and less one double
// quote at each end. Empty when there is no match.
std::string ExtractSetting(std::string_view name, std::string_view text);

}  // namespace wap
