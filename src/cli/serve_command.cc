// `wapsite serve`: serves a web root over HTTP until SIGINT or SIGTERM; SIGHUP reloads (see the
// command's description). Its options may come from a configuration file (--config).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

#include "backoffice/images/picture_variant.h"
#include "backoffice/office.h"
#include "cli/commands.h"
#include "cli/config_file.h"
#include "cli/schema_upgrade.h"
#include "cli/service_notifier.h"
#include "cli/session_services.h"
#include "cli/signal_watcher.h"
#include "cli/site_database.h"
#include "platform/data/connection_pool.h"
#include "platform/host/change_watcher.h"
#include "platform/host/http/health_checks.h"
#include "platform/host/http/http_server.h"
#include "platform/host/http/metrics_listener.h"
#include "platform/host/http/request_builder.h"
#include "platform/host/http/server_log.h"
#include "platform/host/objects/application.h"
#include "platform/host/rendered_page_cache.h"
#include "platform/host/request_dispatcher.h"
#include "platform/host/sessions/rate_limiter.h"
#include "platform/host/sessions/session_store.h"
#include "platform/observe/journal.h"
#include "platform/observe/metrics.h"
#include "platform/passwords/password_hash.h"
#include "wap/framework/db_settings.h"
#include "wap/framework/deck_budget.h"

namespace cli {
namespace {

double Seconds(std::chrono::milliseconds duration) { return duration.count() / 1000.0; }

struct ServeSettings {
  std::string root;
  // Threads, connection limit and the defaults of the options below: the server's own.
  host::HttpServerOptions server;
  std::string listen = server.address + ":" + std::to_string(server.port);
  std::string domain;
  std::size_t wml_deck_bytes = wap::kDefaultWmlDeckBytes;
  std::size_t xhtml_page_bytes = wap::kDefaultXhtmlPageBytes;
  std::size_t max_sessions = 100'000;
  std::size_t max_fields = host::kDefaultMaxFields;
  std::size_t login_failures_per_name = host::RateLimiters::kLoginFailuresPerName;
  std::size_t login_failures_per_address = host::RateLimiters::kLoginFailuresPerAddress;
  std::size_t guestbook_rate = host::RateLimiters::kGuestbookPostsPerAddress;
  std::size_t signins_per_address = host::RateLimiters::kSignInsPerAddress;
  std::size_t guestbook_site_rate = host::RateLimiters::kGuestbookPostsPerSite;
  std::optional<std::size_t> hashing_backlog;  // unset: from the page threads
  double head_timeout = Seconds(server.head_timeout);
  double read_timeout = Seconds(server.read_timeout);
  double idle_timeout = Seconds(server.idle_timeout);
  std::string statement_log;  // empty: off
  bool secure_cookies = false;
  std::string access_log = "-";  // "-": standard output
  std::string metrics_listen;    // empty: no metrics
  std::string trusted_proxies;   // CIDR[,CIDR...]; empty: none
  // Several instances of one site: where sessions and throttling counters live, the drain on
  // SIGTERM, and whether health checks get access lines.
  std::string sessions = "memory";
  double drain_seconds = 5;
  bool log_health = false;
  // Rendered visitor pages kept between requests, in MiB; 0: none.
  std::size_t page_cache_mb = 32;
};

// The metrics of a serving server: its own counts and readings of its parts.
std::unique_ptr<observe::Metrics> NewMetrics(SessionServices& shared,
                                             const data::ConnectionPool& connections) {
  using Type = observe::Metrics::Type;
  const host::RateLimiters& limiters = shared.Limiters();
  auto metrics = std::make_unique<observe::Metrics>(WAPSITE_VERSION);
  metrics->AddReading("wapsite_sessions", Type::kGauge, "Live visitor sessions.", [&shared] {
    try {
      return shared.LiveSessions();
    } catch (const std::exception&) {
      return std::numeric_limits<double>::quiet_NaN();  // no database now
    }
  });
  metrics->AddReading("wapsite_db_connections_in_use", Type::kGauge,
                      "Database connections borrowed from the pool now.",
                      [&connections] { return double(connections.Observe().in_use); });
  metrics->AddReading("wapsite_db_pool_waits_total", Type::kCounter,
                      "Borrows that found no idle database connection and waited for a new one.",
                      [&connections] { return double(connections.Observe().waits); });
  metrics->AddReading("wapsite_db_statement_errors_total", Type::kCounter,
                      "SQL statements that failed.",
                      [&connections] { return double(connections.Observe().statement_errors); });
  const char* const failures = "wapsite_signin_failures_total";
  const char* const failures_help =
      "Failed sign-ins: visitors' member logins, owners' back office.";
  metrics->AddReading(failures, Type::kCounter, failures_help,
                      [&limiters] { return double(limiters.visitor_logins.failures.load()); },
                      {"kind", "visitor"});
  metrics->AddReading(failures, Type::kCounter, failures_help,
                      [&limiters] { return double(limiters.owner_signins.failures.load()); },
                      {"kind", "owner"});
  return metrics;
}

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

// A statement log writing `path` (truncated or appended to, by `mode`), each entry on one line and
// flushed at once so that a reader sees it. Empty when the file cannot be opened for writing.
data::ConnectionPool::StatementLog OpenStatementLog(const std::string& path,
                                                    std::ios::openmode mode) {
  auto file = std::make_shared<std::ofstream>(path, std::ios::binary | mode);
  if (!*file) return {};
  return [file](std::string_view sql) { *file << OneLine(sql) << '\n' << std::flush; };
}

std::chrono::milliseconds Millis(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// Why the site database of `root` cannot be served as it is; std::nullopt when it can, or when it
// cannot be opened at all.
std::optional<std::string> OutdatedSchema(const std::filesystem::path& root) {
  try {
    SiteDatabase db(root);
    return SchemaMismatch(db.Connection(), db.IsPostgres(), root.string());
  } catch (const std::exception&) {
    return std::nullopt;  // not a refusal: each page reports its own OpenDB failure
  }
}

int Serve(const ServeSettings& settings) {
  std::error_code ec;
  const std::filesystem::path root = std::filesystem::canonical(settings.root, ec);
  if (ec || !std::filesystem::is_directory(root)) {
    std::cerr << "wapsite serve: the web root '" << settings.root << "' is not a folder\n";
    return 1;
  }
  // A database an older wapsite made lacks tables the back office needs; one that cannot be
  // opened now is left to the pages, which report it per request.
  if (const auto refusal = OutdatedSchema(root)) {
    std::cerr << "wapsite serve: " << *refusal << "\n";
    return 1;
  }
  host::HttpServerOptions options = settings.server;
  options.head_timeout = Millis(settings.head_timeout);
  options.read_timeout = Millis(settings.read_timeout);
  options.idle_timeout = Millis(settings.idle_timeout);
  std::string proxies_error;
  const auto proxies = host::TrustedProxies::Parse(settings.trusted_proxies, proxies_error);
  if (!proxies) {
    std::cerr << "wapsite serve: --trusted-proxies: " << proxies_error << "\n";
    return 2;
  }
  options.trusted_proxies = *proxies;
  try {
    ParseListen(settings.listen, options);
  } catch (const std::exception& e) {
    std::cerr << "wapsite serve: " << e.what() << "\n";
    return 1;
  }

  // A closed standard output (the log's reader went away) must not kill the server.
  std::signal(SIGPIPE, SIG_IGN);
  // Before any thread starts: the signal watcher below alone receives the stop and reload signals.
  BlockWatchedSignals();
  // After the signals are blocked: this starts the hashing threads.
  // Sign-ins waiting for a hashing thread hold page threads: at most half of them, counting
  // the two that hash; a sign-in beyond gets 503 at once.
  const auto page_threads = static_cast<std::size_t>(settings.server.page_threads);
  passwords::SetHashingBacklog(
      settings.hashing_backlog.value_or(page_threads / 2 > 2 ? page_threads / 2 - 2 : 0));
  options.handle_signals = false;
  // One write per access line costs a system call per request; a busy server whose output goes
  // to a file or a pipe writes them in batches instead. On a terminal each line shows at once.
  // Under systemd, standard error is the journal: error lines carry their priority.
  const bool to_stdout = settings.access_log == "-";
  const host::ServerLogOptions log_options{.batch_access = !to_stdout || isatty(STDOUT_FILENO) == 0,
                                           .priorities = observe::IsJournalStream(STDERR_FILENO)};
  std::unique_ptr<host::ServerLog> log_owned;
  try {
    log_owned =
        to_stdout ? std::make_unique<host::ServerLog>(std::cout, std::cerr, log_options)
                  : std::make_unique<host::ServerLog>(settings.access_log, std::cerr, log_options);
  } catch (const std::exception& e) {
    std::cerr << "wapsite serve: " << e.what() << "\n";
    return 1;
  }
  host::ServerLog& log = *log_owned;
  host::Application application;
  application.Set("domain", settings.domain);
  application.Set(std::string(wap::kWmlDeckBytesSetting), std::to_string(settings.wml_deck_bytes));
  application.Set(std::string(wap::kXhtmlPageBytesSetting),
                  std::to_string(settings.xhtml_page_bytes));
  data::ConnectionPool connections(root);
  if (!settings.statement_log.empty()) {
    auto statement_log = OpenStatementLog(settings.statement_log, std::ios::trunc);
    if (!statement_log) {
      std::cerr << "wapsite serve: cannot write the statement log '" << settings.statement_log
                << "'\n";
      return 1;
    }
    connections.SetStatementLog(std::move(statement_log));
  }

  // Sessions and counters (in this process or in the site database) and readiness.
  std::unique_ptr<SessionServices> shared;
  try {
    shared = std::make_unique<SessionServices>(
        root, connections, settings.sessions == "database", settings.max_sessions,
        settings.login_failures_per_name, settings.login_failures_per_address,
        settings.guestbook_rate, settings.signins_per_address, settings.guestbook_site_rate);
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
  // Kept pages, and the watcher that drops them when the site's rows change.
  host::RenderedPageCache page_cache(settings.page_cache_mb * 1024 * 1024);
  // Metrics, when asked for: counted by the server, served on a listener of their own.
  std::unique_ptr<observe::Metrics> metrics;
  std::unique_ptr<host::MetricsListener> metrics_listener;
  if (!settings.metrics_listen.empty()) {
    metrics = NewMetrics(*shared, connections);
    using Type = observe::Metrics::Type;
    metrics->AddReading("wapsite_page_cache_hits_total", Type::kCounter,
                        "Visitor pages answered from the page cache.",
                        [&page_cache] { return double(page_cache.GetStats().hits); });
    metrics->AddReading("wapsite_page_cache_misses_total", Type::kCounter,
                        "Visitor pages looked for in the page cache and run.",
                        [&page_cache] { return double(page_cache.GetStats().misses); });
    metrics->AddReading("wapsite_page_cache_bytes", Type::kGauge,
                        "Memory counted to the pages kept in the page cache.",
                        [&page_cache] { return double(page_cache.GetStats().bytes); });
    host::HttpServerOptions at;
    try {
      ParseListen(settings.metrics_listen, at);
      metrics_listener =
          std::make_unique<host::MetricsListener>(*metrics, at.address, at.port, log);
      std::cout << "metrics on http://" << metrics_listener->Start() << "/metrics" << std::endl;
    } catch (const std::exception& e) {
      std::cerr << "wapsite serve: --metrics-listen: " << e.what() << "\n";
      return 1;
    }
  }
  // The watcher also lets PostgreSQL connections keep paging's counts and key lists, so it runs
  // with the cache off too.
  std::unique_ptr<host::ChangeWatcher> changes;
  {
    try {
      changes =
          std::make_unique<host::ChangeWatcher>(ReadSiteSettings(root), root, page_cache, log);
    } catch (const std::exception& e) {
      log.Note(std::string("page cache: off: ") + e.what());
    }
  }
  host::RequestDispatcher dispatcher(
      {root, &CreateObjectByName, application, shared->Sessions(), connections, log,
       settings.max_fields, &shared->Limiters(), settings.secure_cookies, metrics.get(),
       // A site's pictures: as WBMP for handsets that show only it.
       [&root](const host::HttpRequestData& r, const host::StaticFileChoice& file) {
         return backoffice::images::PictureVariant(r, root, file);
       },
       &page_cache, changes.get(), "userid", backoffice::Pages()});
  // A back-office form too large to take is answered with the back office's own page.
  options.on_refusal = [&dispatcher](const host::HttpRequestData& head,
                                     const host::HttpRefusal& refusal) {
    return backoffice::AnswerTooLarge(dispatcher, head, refusal);
  };
  host::HttpServer server(
      options,
      [&dispatcher, &health](const host::HttpRequestData& r) {
        if (auto reply = health.Answer(r)) return std::move(*reply);
        return dispatcher.Handle(r);
      },
      log,
      // /livez, static files and kept pages are answered on the I/O threads, so that they
      // answer while every page thread waits on the database; /readyz asks the database and
      // runs as a page does.
      [&dispatcher, &health](const host::HttpRequestData& r) -> std::optional<host::HttpReply> {
        if (r.target == "/livez" || !host::RequestDispatcher::MayBlock(r)) {
          if (auto reply = health.Answer(r)) return reply;
          return dispatcher.Handle(r);
        }
        return dispatcher.AnswerFromCache(r);
      },
      metrics.get());
  std::string bound;
  try {
    bound = server.Listen();
  } catch (const std::exception& e) {
    std::cerr << "wapsite serve: " << e.what() << "\n";
    return 1;
  }
  const std::string status = "listening on http://" + bound;
  const ServiceNotifier notifier;
  // SIGHUP: the log files are reopened (after rotation) and conn.asp is read again by the next
  // request; requests in flight finish with the settings they loaded.
  const auto reload = [&] {
    notifier.Reloading();
    log.Reopen();
    if (!settings.statement_log.empty()) {
      if (auto reopened = OpenStatementLog(settings.statement_log, std::ios::app)) {
        connections.SetStatementLog(std::move(reopened));
      } else {
        log.Note("cannot reopen the statement log '" + settings.statement_log +
                 "'; still writing the one open");
      }
    }
    wap::ForgetDBSettings(application);
    page_cache.EverythingChanged();
    connections.CloseIdle();
    log.Note("reloaded: log files reopened, conn.asp is read again");
    notifier.Ready(status);
  };
  const SignalWatcher signals(
      [&] {
        notifier.Stopping();
        server.RequestStop();
      },
      reload);
  std::cout << status << std::endl;
  notifier.Ready(status);
  server.Run();
  return 0;
}

}  // namespace

void AddServeCommand(CLI::App& app, int& exit_code) {
  auto settings = std::make_shared<ServeSettings>();
  CLI::App* serve = app.add_subcommand(
      "serve",
      "Serve a web root over HTTP/1.1: host pages (.asp), page objects and static files. Prints "
      "'listening on http://ADDR:PORT' when ready (and tells a service manager through "
      "NOTIFY_SOCKET), then one access line per request on standard output (or --access-log); "
      "error details go to standard error. SIGINT or SIGTERM stops it gracefully (exit 0). SIGHUP "
      "reopens the "
      "log files and has conn.asp read again.");
  auto config = std::make_shared<std::string>();
  serve
      ->add_option("--config", *config,
                   "Read the options below from this INI or TOML file, one NAME = VALUE a line "
                   "(NAME: the long option without its dashes); the command line overrides it")
      ->check(CLI::ExistingFile);
  serve
      ->add_option("--root", settings->root,
                   "The web root folder to serve; required, here or in the --config file")
      ->check(CLI::ExistingDirectory);
  serve
      ->add_option("--listen", settings->listen,
                   "Address and port to listen on, ADDR:PORT ([V6]:PORT); port 0 picks a free "
                   "one")
      ->capture_default_str();
  serve->add_option("--domain", settings->domain,
                    "The installation address, the application value 'domain' (e.g. "
                    "http://wap.example.com)");
  serve
      ->add_option("--wml-deck-bytes", settings->wml_deck_bytes,
                   "Largest compiled WML deck (WBXML bytes) for a handset that declares no "
                   "client SDU size (X-WAP-Client-SDU-Size, x-up-devcap-max-pdu); a longer "
                   "article, description, message or list continues on further decks")
      ->capture_default_str()
      ->check(CLI::Range(wap::kSmallestDeckBytes, wap::kLargestDeckBytes));
  serve
      ->add_option("--xhtml-page-bytes", settings->xhtml_page_bytes,
                   "Largest XHTML page (markup bytes); a longer article, description, message "
                   "or list continues on further pages")
      ->capture_default_str()
      ->check(CLI::Range(wap::kSmallestDeckBytes, wap::kLargestDeckBytes));
  serve
      ->add_option("--threads", settings->server.threads,
                   "I/O threads: accept, read and write, and send static files")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  serve
      ->add_option("--page-threads", settings->server.page_threads,
                   "Threads that run host pages (a page waiting on its database holds one)")
      ->capture_default_str()
      ->check(CLI::Range(1, 1024));
  serve
      ->add_option("--page-cache-mb", settings->page_cache_mb,
                   "Memory for rendered visitor pages kept between requests (MiB; 0: none); a "
                   "kept page is dropped as soon as a row of its member's site changes")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{0}, std::size_t{65'536}));
  serve
      ->add_option("--max-sessions", settings->max_sessions,
                   "Most live sessions; when full, the longest idle go first, those of "
                   "signed-in visitors last; one client address holds at most a tenth of them")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{100'000'000}));
  serve
      ->add_option("--max-connections", settings->server.max_connections,
                   "Most open connections; when full, a new connection closes one that has not "
                   "sent a whole request head (idle or slow; of the address holding most, the "
                   "oldest) in its place, or gets 503 when none waits. Near full, request heads "
                   "get a quarter of --head-timeout")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000}));
  serve
      ->add_option("--max-connections-per-address", settings->server.max_connections_per_address,
                   "Most open connections of one connecting address (--trusted-proxies are "
                   "exempt); more are closed at once, unread")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000}));
  serve
      ->add_option("--max-fields", settings->max_fields,
                   "Most name/value pairs in each of a request's query string, form and "
                   "cookies; a request with more gets 400 and runs no page")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000}));
  serve
      ->add_option("--max-upload-bytes", settings->server.upload_limit,
                   "Largest multipart/form-data request body (picture uploads); a larger one "
                   "gets 413 as soon as its length is declared or its bytes exceed it. The body "
                   "is kept, while its request runs, in a nameless temporary file in a private "
                   "folder under $TMPDIR (else /tmp), not in memory")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1024}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--login-failures-per-name", settings->login_failures_per_name,
                   "Failed visitor logins of one member name of a site from one client address "
                   "within 5 minutes; further attempts from there get 429 until the window "
                   "passes (a name takes at most 10 times this, at least 50, an hour from all "
                   "addresses)")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--login-failures-per-address", settings->login_failures_per_address,
                   "Failed visitor logins from one client address within a minute; further "
                   "attempts get 429 until the window passes")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--guestbook-rate", settings->guestbook_rate,
                   "Guestbook messages one client network (an IPv4 /24, an IPv6 /64) may post "
                   "within 10 minutes; a further post gets 429 and the form again, saying so")
      ->capture_default_str()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--guestbook-site-rate", settings->guestbook_site_rate,
                   "Guestbook messages one member site takes within 10 minutes from all "
                   "visitors; a further post gets 429 and the form again, and the owner's "
                   "dashboard says when this was last reached")
      ->capture_default_str()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--signins-per-address", settings->signins_per_address,
                   "Successful sign-ins (owners' and visitors', each counted apart) from one "
                   "client address within a minute; further ones get 429 until the window "
                   "passes")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1'000'000'000}));
  serve
      ->add_option("--hashing-backlog", settings->hashing_backlog,
                   "Sign-ins (password checks) that may wait for one of the two hashing "
                   "threads, each holding a page thread; one more gets 503 with Retry-After at "
                   "once. Default: half the page threads, less the two hashing")
      ->check(CLI::Range(std::size_t{0}, std::size_t{1024}));
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
      ->add_option("--access-log", settings->access_log,
                   "Where the access log goes, one line per request in the combined log format "
                   "(values of password, session and token fields redacted): a FILE, appended "
                   "to and reopened on request, or - for standard output")
      ->capture_default_str();
  serve->add_option("--metrics-listen", settings->metrics_listen,
                    "Serve /metrics (Prometheus text format) on this ADDR:PORT, apart from the "
                    "site; prints 'metrics on http://ADDR:PORT/metrics' when ready. Off by "
                    "default");
  serve
      ->add_option("--trusted-proxies", settings->trusted_proxies,
                   "CIDR[,CIDR...]: WAP gateways and balancers whose requests name the client "
                   "they act for: the client address (REMOTE_ADDR, every per-address limit of "
                   "requests, the access log) is then X-WAP-Network-Client-IP, else the right-most "
                   "X-Forwarded-For (or Forwarded for=) address that is not itself trusted. From "
                   "any other address these headers are ignored. Their connections are exempt "
                   "from --max-connections-per-address. None by default")
      ->check([](const std::string& value) {
        std::string error;
        return host::TrustedProxies::Parse(value, error) ? std::string() : error;
      });
  serve->add_flag("--secure-cookies", settings->secure_cookies,
                  "Mark the session cookie Secure, for installations behind TLS");
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
  serve->callback([serve, settings, config, &exit_code] {
    if (!config->empty()) ApplyConfigFile(*serve, *config);
    if (settings->root.empty()) throw CLI::RequiredError("--root");
    exit_code = Serve(*settings);
  });
}

}  // namespace cli
