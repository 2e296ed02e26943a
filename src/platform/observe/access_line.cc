#include "platform/observe/access_line.h"

#include <cstdio>
#include <ctime>

#include "platform/observe/redaction.h"
#include "platform/text/hex.h"

namespace observe {
namespace {

// Appends `text` as a field of the line: "-" when empty, printable ASCII but `"` and `\` as it
// is, every other byte as \xHH.
void AppendEscaped(std::string& out, std::string_view text) {
  if (text.empty()) {
    out.push_back('-');
    return;
  }
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || c == '"' || c == '\\') {
      out.append("\\x");
      text::AppendHexByte(out, u, text::HexCase::kLower);
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

void AppendAccessLine(std::string& out, const AccessRecord& record) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t seconds = std::chrono::system_clock::to_time_t(record.received);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char time[40];
  std::snprintf(time, sizeof time, " - - [%02d/%s/%04d:%02d:%02d:%02d +0000] \"", utc.tm_mday,
                kMonths[utc.tm_mon % 12], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  AppendEscaped(out, record.remote);
  out.append(time);
  if (record.method.empty()) {
    out.push_back('-');
  } else {
    AppendEscaped(out, record.method);
    out.push_back(' ');
    AppendEscaped(out, WithoutSecrets(record.target));
    out.append(record.http_version == 10 ? " HTTP/1.0" : " HTTP/1.1");
  }
  out.append("\" ").append(std::to_string(record.status)).push_back(' ');
  out.append(record.body_bytes == 0 ? "-" : std::to_string(record.body_bytes)).append(" \"");
  AppendEscaped(out, WithoutSecrets(record.referer));
  out.append("\" \"");
  AppendEscaped(out, record.user_agent);
  out.append("\"\n");
}

}  // namespace observe
