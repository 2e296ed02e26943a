#include "platform/host/server_log.h"

#include <cstdio>

#include "platform/host/random_id.h"

namespace host {
namespace {

// `text` on one line: line breaks and other control characters become blanks, so a detail that
// quotes a client's input cannot forge log lines.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return out;
}

}  // namespace

void ServerLog::Line(std::ostream& out, std::string_view text) {
  std::lock_guard lock(mutex_);
  out << text << '\n';
  out.flush();
}

void ServerLog::Access(std::string_view remote, std::string_view method, std::string_view path,
                       int status, std::size_t bytes,
                       std::chrono::steady_clock::duration duration) {
  char ms[32];
  std::snprintf(ms, sizeof ms, "%.1fms",
                std::chrono::duration<double, std::milli>(duration).count());
  Line(access_, OneLine(std::string(remote) + " " + std::string(method) + " " + std::string(path) +
                        " " + std::to_string(status) + " " + std::to_string(bytes) + " " + ms));
}

std::string ServerLog::Error(std::string_view detail) {
  std::string id = RandomHex(8);
  Line(errors_, "error " + id + ": " + OneLine(detail));
  return id;
}

void ServerLog::Note(std::string_view detail) { Line(errors_, OneLine(detail)); }

}  // namespace host
