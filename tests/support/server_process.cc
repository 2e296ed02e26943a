#include "support/server_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/recordset.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Runs `prefix exec WAPSITE_BIN args…` with /bin/sh, output to dir/out and dir/err (already
// while `prefix` runs).
pid_t Spawn(const fs::path& dir, const std::vector<std::string>& args, const std::string& prefix) {
  std::string command = "{ " + prefix + " exec \"$0\"";
  for (std::size_t i = 1; i <= args.size(); ++i) command += " \"${" + std::to_string(i) + "}\"";
  command += "; } >'" + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
  std::vector<const char*> argv = {"/bin/sh", "-c", command.c_str(), WAPSITE_BIN};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  const pid_t parent = getpid(), pid = fork();
  if (pid == 0) {
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(127);
    execv(argv[0], const_cast<char**>(argv.data()));
    _exit(127);
  }
  return pid;
}

int ExitCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `sql` outside a transaction as the user of `connection` (CREATE and DROP DATABASE).
void RunOn(const std::string& connection, const std::string& sql) {
  data::ConnectionPool pool(fs::temp_directory_path());
  data::Connection db(pool);
  db.Open(connection);
  db.Execute(sql);
}

}  // namespace

ServerProcess::ServerProcess(const fs::path& root, std::vector<std::string> args,
                             const std::string& prefix) {
  // SIGTERM stops at once unless a test asks for a drain, and the guestbook takes any number of
  // messages unless a test asks for its limit (the last value of an option holds).
  args.insert(args.begin(),
              {"serve", "--root", root.string(), "--listen", "127.0.0.1:0", "--drain-seconds", "0",
               "--guestbook-rate", "1000000", "--guestbook-site-rate", "1000000"});
  // WAPSITE_PAGE_CACHE_MB: the page cache's size for every server a test starts (0: the same
  // tests with the cache off); a test's own --page-cache-mb, given later, holds.
  if (const char* cache_mb = std::getenv("WAPSITE_PAGE_CACHE_MB");
      cache_mb != nullptr && *cache_mb) {
    args.insert(args.begin() + 11, {"--page-cache-mb", cache_mb});
  }
  pid_ = Spawn(output_.path(), args, prefix);
  const std::regex listening("listening on http://[^:]+:([0-9]+)");
  for (auto deadline = std::chrono::steady_clock::now() + 30s; port_ == 0;) {
    std::smatch m;
    const std::string out = Stdout();
    if (std::regex_search(out, m, listening)) port_ = std::stoi(m[1]);
    if (port_ == 0 && (WaitForExit(20ms) || std::chrono::steady_clock::now() > deadline)) {
      Stop();
      throw std::runtime_error("wapsite serve did not start: " + Stderr());
    }
  }
}

ServerProcess::~ServerProcess() {
  if (const int code = Stop(); code != 0)
    ADD_FAILURE() << "wapsite serve exited " << code << ":\n" << Stderr();
}

void ServerProcess::Signal(int signal) {
  if (!exit_code_) kill(pid_, signal);
}

std::optional<int> ServerProcess::WaitForExit(std::chrono::milliseconds timeout) {
  for (auto deadline = std::chrono::steady_clock::now() + timeout; !exit_code_;) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) exit_code_ = ExitCode(status);
    if (exit_code_ || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(5ms);
  }
  return exit_code_;
}

int ServerProcess::Stop() {
  Signal(SIGTERM);
  if (!WaitForExit(20s)) Signal(SIGKILL);
  return *WaitForExit(20s);
}

std::string ServerProcess::Stdout() const { return ReadFile(output_.path() / "out"); }
std::string ServerProcess::Stderr() const { return ReadFile(output_.path() / "err"); }

int ServerProcess::MetricsPort() const {
  std::smatch m;
  const std::string out = Stdout();
  if (!std::regex_search(out, m, std::regex("metrics on http://[^:]+:([0-9]+)/")))
    throw std::runtime_error("no metrics listener: " + out);
  return std::stoi(m[1]);
}

bool ServerProcess::WaitForOutput(std::string_view text, std::chrono::milliseconds timeout) const {
  for (auto deadline = std::chrono::steady_clock::now() + timeout;;
       std::this_thread::sleep_for(10ms)) {
    if ((Stdout() + Stderr()).find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
  }
}

CommandResult RunWapsite(const std::vector<std::string>& args, const std::string& prefix) {
  TempDir output;
  int status = 0;
  waitpid(Spawn(output.path(), args, prefix), &status, 0);
  return {ExitCode(status), ReadFile(output.path() / "out"), ReadFile(output.path() / "err")};
}

DemoRoot::DemoRoot(fs::path root, std::vector<std::string> init_args) : root_(std::move(root)) {
  const char* engine = std::getenv("WAPSITE_ENGINE");
  const std::string name = engine ? engine : "";
  const char* admin = std::getenv("WAPSITE_PG");
  if (!name.empty() && name != "sqlite" && (name != "postgres" || !admin || !*admin)) {
    throw std::runtime_error("WAPSITE_ENGINE is sqlite, or postgres with WAPSITE_PG set");
  }
  init_args.insert(init_args.begin(), {"init", root_.string(), "--demo"});
  connection_string_ = "Provider=SQLOLEDB.1;Data Source=sqlite:data/site.db;Initial Catalog=site";
  if (name == "postgres") {
    data::ConnectionSettings settings = data::ParseConnectionString(admin);
    settings.database =
        "wapsite_it_" + std::to_string(getpid()) + "_" + std::to_string(std::random_device()());
    RunOn(admin, "CREATE DATABASE " + settings.database);
    database_ = settings.database;
    connection_string_ = data::BuildConnectionString(settings);
    init_args.insert(init_args.end(), {"--postgres", connection_string_});
  }
  pool_ = std::make_unique<data::ConnectionPool>(fs::absolute(root_));
  if (const CommandResult init = RunWapsite(init_args); init.exit_code != 0) {
    if (!database_.empty()) RunOn(admin, "DROP DATABASE " + database_);
    throw std::runtime_error("wapsite init failed: " + init.err);
  }
}

DemoRoot::~DemoRoot() {
  pool_.reset();
  if (database_.empty()) return;
  // FORCE cannot end a backend of another role (an autovacuum worker on the new database): such
  // a drop fails for a moment, so it is tried again; never thrown out of a destructor.
  for (int attempt = 1;; ++attempt) {
    try {
      RunOn(std::getenv("WAPSITE_PG"), "DROP DATABASE " + database_ + " WITH (FORCE)");
      return;
    } catch (const std::exception& e) {
      if (attempt == 20) {
        std::cerr << "could not drop the test database " << database_ << ": " << e.what() << "\n";
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
}

std::vector<std::string> DemoRoot::Column(std::string_view sql) const {
  data::Connection db(*pool_);
  db.Open(connection_string_);
  std::vector<std::string> values;
  data::Recordset rows;
  for (rows.Open(sql, db); !rows.Eof(); rows.MoveNext())
    values.push_back(rows.Field(std::size_t{0}).ToText());
  return values;
}

void DemoRoot::Execute(std::string_view sql) const {
  data::Connection db(*pool_);
  db.Open(connection_string_);
  db.Execute(sql);
}

void DemoRoot::ExecuteFile(const fs::path& path) const {
  // A statement ends with a line ending in ";", except inside a body: a PostgreSQL function's
  // (from a line ending in "AS $$" to a line starting with "$$") or a SQLite trigger's (from a
  // line ending in " BEGIN" to a line ending in "END;").
  std::istringstream in(ReadFile(path));
  std::string_view closer;  // what ends the body the statement is in; empty: none
  for (std::string line, statement; std::getline(in, line);) {
    if (line.starts_with("--")) continue;
    statement += line + "\n";
    if (closer.empty()) {
      if (line.ends_with("AS $$")) closer = "$$";
      if (statement.starts_with("CREATE TRIGGER") && line.ends_with(" BEGIN")) closer = "END;";
      if (!closer.empty()) continue;
    } else if (closer == "$$" ? line.starts_with("$$") : line.ends_with("END;")) {
      closer = {};
    } else {
      continue;
    }
    if (line.ends_with(";")) Execute(std::exchange(statement, ""));
  }
}

}  // namespace testing_support
