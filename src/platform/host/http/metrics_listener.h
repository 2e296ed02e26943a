// MetricsListener: the operator's own listener, apart from the site's: answers GET (and HEAD)
// /metrics with the Metrics text (Prometheus format 0.0.4) and 404 to anything else. It runs on
// a thread of its own, writes no access lines and is not counted in the metrics it serves. It
// holds 16 connections, at most 4 of one address, and gives a request head 2 seconds. One
// owner thread; the destructor stops it and waits for its thread.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/host/http/http_server.h"
#include "platform/host/http/server_log.h"

namespace observe {
class Metrics;
}

namespace host {

class MetricsListener {
 public:
  // `metrics` and `log` must outlive the listener.
  MetricsListener(const observe::Metrics& metrics, std::string address, int port, ServerLog& log);
  ~MetricsListener();
  MetricsListener(const MetricsListener&) = delete;
  MetricsListener& operator=(const MetricsListener&) = delete;

  // Binds and starts serving; returns "ADDR:PORT" with the real port. Throws std::runtime_error
  // when the address cannot be bound. Call once.
  std::string Start();

 private:
  HttpServer server_;
  std::thread thread_;
};

}  // namespace host
