// `wapsite serve`: serves a web root over HTTP until SIGINT or SIGTERM.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/session_services.h"
#include "platform/data/connection_pool.h"
#include "platform/host/application.h"
#include "platform/host/health_checks.h"
#include "platform/host/http_server.h"
#include "platform/host/rate_limiter.h"
#include "platform/host/request_builder.h"
#include "platform/host/request_dispatcher.h"
#include "platform/host/server_log.h"
#include "platform/host/session_store.h"

namespace cli {
namespace {

double Seconds(std::chrono::milliseconds duration) { return duration.count() / 1000.0; }

struct ServeSettings {
  std::string root;
  // Threads, connection limit and the defaults of the options below: the server's own.
  host::HttpServerOptions server;
  std::string listen = server.address + ":" + std::to_string(server.port);
  std::string domain;
  std::size_t max_sessions = 100'000;
  std::size_t max_fields = host::kDefaultMaxFields;
  std::size_t login_failures_per_name = host::RateLimiters::kLoginFailuresPerName;
  std::size_t login_failures_per_address = host::RateLimiters::kLoginFailuresPerAddress;
  double head_timeout = Seconds(server.head_timeout);
  double read_timeout = Seconds(server.read_timeout);
  double idle_timeout = Seconds(server.idle_timeout);
  std::string statement_log;  // empty: off
  // Several instances of one site: where sessions and throttling counters live, the drain on
  // SIGTERM, and whether health checks get access lines.
  std::string sessions = "memory";
  double drain_seconds = 5;
  bool log_health = false;
};

// `sql` on one line: a backslash, CR and LF written as \\, \r and \n.
std::string OneLine(std::string_view sql) {
  std::string line;
  line.reserve(sql.size());
  for (const char c : sql) {
    if (c == '\\') {
      line.append("\\\\");
    } else if (c == '\n') {
      line.append("\\n");
    } else if (c == '\r') {
      line.append("\\r");
    } else {
      line.push_back(c);
    }
  }
  return line;
}

// Splits "ADDR:PORT" ("[V6]:PORT" for IPv6). Throws std::runtime_error when malformed.
void ParseListen(const std::string& listen, host::HttpServerOptions& options) {
  const std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) {
    throw std::runtime_error("--listen wants ADDR:PORT, not '" + listen + "'");
  }
  std::string address = listen.substr(0, colon);
  if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  const std::string port = listen.substr(colon + 1);
  if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(port) > 65535) {
    throw std::runtime_error("--listen: '" + port + "' is not a port number");
  }
  options.address = address;
  options.port = std::stoi(port);
}

std::chrono::milliseconds Millis(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

int Serve(const ServeSettings& settings) {
  std::error_code ec;
  const std::filesystem::path root = std::filesystem::canonical(settings.root, ec);
  if (ec || !std::filesystem::is_directory(root)) {
    std::cerr << "wapsite serve: the web root '" << settings.root << "' is not a folder\n";
    return 1;
  }
  host::HttpServerOptions options = settings.server;
  options.head_timeout = Millis(settings.head_timeout);
  options.read_timeout = Millis(settings.read_timeout);
  options.idle_timeout = Millis(settings.idle_timeout);
  try {
    ParseListen(settings.listen, options);
  } catch (const std::exception& e) {
    std::cerr << "wapsite serve: " << e.what() << "\n";
    return 1;
  }

  // A closed standard output (the log's reader went away) must not kill the server.
  std::signal(SIGPIPE, SIG_IGN);
  // One write per access line costs a system call per request; a busy server whose output goes
  // to a file or a pipe writes them in batches instead. On a terminal each line shows at once.
  host::ServerLog log(std::cout, std::cerr, /*batch_access=*/isatty(STDOUT_FILENO) == 0);
  host::Application application;
  application.Set("domain", settings.domain);
  std::ofstream statement_log;  // outlives the pool that writes to it
  data::ConnectionPool connections(root);
  if (!settings.statement_log.empty()) {
    statement_log.open(settings.statement_log, std::ios::binary | std::ios::trunc);
    if (!statement_log) {
      std::cerr << "wapsite serve: cannot write the statement log '" << settings.statement_log
                << "'\n";
      return 1;
    }
    // The pool serialises these calls; each line is flushed so that a reader sees it at once.
    connections.SetStatementLog([&statement_log](std::string_view sql) {
      statement_log << OneLine(sql) << '\n' << std::flush;
    });
  }

  // Sessions and counters (in this process or in the site database) and readiness.
  std::unique_ptr<SessionServices> shared;
  try {
    shared = std::make_unique<SessionServices>(
        root, connections, settings.sessions == "database", settings.max_sessions,
        settings.login_failures_per_name, settings.login_failures_per_address);
  } catch (const std::exception& e) {
    std::cerr << "wapsite serve: " << e.what() << "\n";
    return 1;
  }
  host::HealthChecks health([&shared] { shared->Probe(); }, log, settings.log_health);
  options.drain_period = Millis(settings.drain_seconds);
  options.on_drain = [&health, &log, &settings] {
    health.StartDraining();
    std::ostringstream note;
    note << "draining: /readyz answers 503; stopping in " << settings.drain_seconds << " s";
    log.Note(note.str());
  };
  host::RequestDispatcher dispatcher({root, &CreateObjectByName, application, shared->Sessions(),
                                      connections, log, settings.max_fields, &shared->Limiters()});
  host::HttpServer server(
      options,
      [&dispatcher, &health](const host::HttpRequestData& r) {
        if (auto reply = health.Answer(r)) return std::move(*reply);
        return dispatcher.Handle(r);
      },
      log);
  std::string bound;
  try {
    bound = server.Listen();
  } catch (const std::exception& e) {
    std::cerr << "wapsite serve: " << e.what() << "\n";
    return 1;
  }
  std::cout << "listening on http://" << bound << std::endl;
  server.Run();
  return 0;
}

}  // namespace

void AddServeCommand(CLI::App& app, int& exit_code) {
  auto settings = std::make_shared<ServeSettings>();
  CLI::App* serve = app.add_subcommand(
      "serve",
      "Serve a web root over HTTP/1.1: host pages (.asp), page objects and static files. Prints "
      "'listening on http://ADDR:PORT' when ready, then one access line per request on standard "
      "output; error details go to standard error. SIGINT or SIGTERM stops it gracefully (exit "
      "0).");
  serve->add_option("root,--root", settings->root, "The web root folder to serve")
      ->required()
      ->check(CLI::ExistingDirectory);
  serve
      ->add_option("--listen", settings->listen,
                   "Address and port to listen on, ADDR:PORT ([V6]:PORT); port 0 picks a free "
                   "one")
      ->capture_default_str();
  serve->add_option("--domain", settings->domain,
                    "The installation address, the application value 'domain' (e.g. "
                    "http://wap.example.com)");
  serve->add_option("--threads", settings->server.threads, "Worker threads that run pages")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  serve
      ->add_option("--max-sessions", settings->max_sessions,
                   "Most live sessions; when full, the longest idle go first, those of "
                   "signed-in visitors last; one client address holds at most a tenth of them")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{100'000'000}));
  serve
      ->add_option("--max-connections", settings->server.max_connections,
                   "Most open connections; when full, a new connection closes an idle one in "
                   "its place, or gets 503 when none is idle")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000}));
  serve
      ->add_option("--max-connections-per-address", settings->server.max_connections_per_address,
                   "Most open connections of one client address; more are closed at once, "
                   "unread")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000}));
  serve
      ->add_option("--max-fields", settings->max_fields,
                   "Most name/value pairs in each of a request's query string, form and "
                   "cookies; a request with more gets 400 and runs no page")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000}));
  serve
      ->add_option("--login-failures-per-name", settings->login_failures_per_name,
                   "Failed visitor logins of one member name of a site within 5 minutes; "
                   "further attempts get 429 until the window passes")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--login-failures-per-address", settings->login_failures_per_address,
                   "Failed visitor logins from one client address within a minute; further "
                   "attempts get 429 until the window passes")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--head-timeout", settings->head_timeout,
                   "Seconds a request head may take to arrive, in all: from the connection's "
                   "accept for its first request, from its first byte for a later one")
      ->capture_default_str()
      ->check(CLI::Range(0.01, 3600.0));
  serve
      ->add_option("--read-timeout", settings->read_timeout,
                   "Seconds a whole request may take to arrive, from its first byte")
      ->capture_default_str()
      ->check(CLI::Range(0.01, 3600.0));
  serve
      ->add_option("--idle-timeout", settings->idle_timeout,
                   "Seconds a kept-alive connection may wait for its next request")
      ->capture_default_str()
      ->check(CLI::Range(0.01, 3600.0));
  serve->add_option("--statement-log", settings->statement_log,
                    "Write every SQL statement the pages run to this file, one per line (a "
                    "backslash, CR and LF written as \\\\, \\r and \\n), before it runs; for "
                    "tests. Off by default");
  serve
      ->add_option("--sessions", settings->sessions,
                   "Where sessions and the failed-login counters live: 'memory' (this process) "
                   "or 'database' (the site's database, shared by every instance that serves "
                   "the site; at most a tenth of --max-sessions per client address)")
      ->capture_default_str()
      ->check(CLI::IsMember({"memory", "database"}));
  serve
      ->add_option("--drain-seconds", settings->drain_seconds,
                   "On SIGTERM or SIGINT, seconds to keep serving while /readyz answers 503, "
                   "before the server stops accepting and finishes what is in flight; a second "
                   "signal stops at once")
      ->capture_default_str()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->check(CLI::Range(0.0, 3600.0));
  serve->add_flag("--log-health", settings->log_health,
                  "Write access lines for /livez and /readyz too");
  serve->callback([settings, &exit_code] { exit_code = Serve(*settings); });
}

}  // namespace cli
