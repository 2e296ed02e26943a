// The processes of an integration test:
//   TempDir dir;
//   DemoRoot site(dir.path() / "site");    // `wapsite init ROOT --demo`; throws when it fails
//   ServerProcess server(site.Path());     // `wapsite serve --root ROOT --listen 127.0.0.1:0
//                                          //   --drain-seconds 0 ARGS…` (a later ARG wins)
//   EXPECT_EQ(server.Stop(), 0);           // SIGTERM, then the exit code
// DemoRoot puts the site database on the engine WAPSITE_ENGINE names: "sqlite" or unset gives
// data/site.db; "postgres" a database of its own on the server of WAPSITE_PG, dropped by the
// destructor (any other value, or postgres without WAPSITE_PG, throws). Column and Execute may
// run on several threads at once. ServerProcess waits for the "listening on" line; its output
// goes to files readable at any time; the destructor stops a running server and fails the test
// on a non-zero exit. Should the test die, the server gets SIGTERM. One thread owns each object.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

namespace data {
class ConnectionPool;
}

namespace testing_support {

class ServerProcess {
 public:
  // `prefix`: shell commands run first, as for RunWapsite.
  explicit ServerProcess(const std::filesystem::path& root, std::vector<std::string> args = {},
                         const std::string& prefix = "");
  ~ServerProcess();
  int Port() const { return port_; }
  void Signal(int signal);
  // Exit code, or 128 + the signal that ended it; SIGKILL after 20 s. Idempotent.
  int Stop();
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  std::string Stdout() const;
  std::string Stderr() const;
  // The port of the metrics listener (--metrics-listen 127.0.0.1:0), from its "metrics on" line.
  int MetricsPort() const;
  // Waits until standard output or error contains `text`; false when it did not in time.
  bool WaitForOutput(std::string_view text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  TempDir output_;
  pid_t pid_;
  std::optional<int> exit_code_;
  int port_ = 0;
};

struct CommandResult {
  int exit_code;
  std::string out, err;
};
// `WAPSITE_BIN args…` run to completion after the shell commands `prefix` (e.g. "ulimit -f 1;").
CommandResult RunWapsite(const std::vector<std::string>& args, const std::string& prefix = "");

class DemoRoot {
 public:
  explicit DemoRoot(std::filesystem::path root, std::vector<std::string> init_args = {});
  ~DemoRoot();
  const std::filesystem::path& Path() const { return root_; }
  bool Postgres() const { return !database_.empty(); }
  std::vector<std::string> Column(std::string_view sql) const;  // first column, as text
  void Execute(std::string_view sql) const;                     // throws data::DataError
  void ExecuteFile(const std::filesystem::path& path) const;    // statements end with ";\n"

 private:
  std::filesystem::path root_;
  std::string connection_string_, database_;
  std::unique_ptr<data::ConnectionPool> pool_;
};

}  // namespace testing_support
