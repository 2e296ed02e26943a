#include "platform/host/http/metrics_listener.h"

#include "platform/observe/metrics.h"
#include "platform/observe/prometheus_text.h"

namespace host {
namespace {

HttpServerOptions ListenerOptions(std::string address, int port) {
  HttpServerOptions options;
  options.address = std::move(address);
  options.port = port;
  options.threads = 1;
  // Small limits of its own: one address holds a quarter of the slots, and a head that has not
  // arrived within two seconds (a scraper sends it at once) gives its slot back, so that slow
  // connections from one address never turn the operator's scrapes away.
  options.max_connections = 16;
  options.max_connections_per_address = 4;
  options.head_timeout = std::chrono::milliseconds(2'000);
  options.read_timeout = std::chrono::milliseconds(5'000);
  options.idle_timeout = std::chrono::milliseconds(10'000);
  options.handle_signals = false;
  options.log_access = false;
  return options;
}

}  // namespace

MetricsListener::MetricsListener(const observe::Metrics& metrics, std::string address, int port,
                                 ServerLog& log)
    : server_(
          ListenerOptions(std::move(address), port),
          [&metrics](const HttpRequestData& request) {
            const std::string_view path =
                std::string_view(request.target).substr(0, request.target.find('?'));
            if (path != "/metrics") return PlainTextReply(404, "not found");
            if (request.method != "GET" && request.method != "HEAD") {
              HttpReply refused = PlainTextReply(405, "method not allowed");
              refused.headers.emplace_back("Allow", "GET, HEAD");
              return refused;
            }
            HttpReply reply;
            reply.headers.emplace_back("Content-Type", observe::kPrometheusContentType);
            reply.body = metrics.Text();
            return reply;
          },
          log) {}

MetricsListener::~MetricsListener() {
  if (!thread_.joinable()) return;
  server_.Stop();
  thread_.join();
}

std::string MetricsListener::Start() {
  std::string bound = server_.Listen();
  thread_ = std::thread([this] { server_.Run(); });
  return bound;
}

}  // namespace host
