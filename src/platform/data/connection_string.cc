#include "platform/data/connection_string.h"

#include <charconv>

#include "platform/data/data_error.h"
#include "platform/text/ascii.h"

namespace data {
namespace {

bool IsAnyOf(std::string_view key, std::initializer_list<std::string_view> names) {
  for (auto name : names) {
    if (text::EqualsIgnoreCase(key, name)) return true;
  }
  return false;
}

}  // namespace

ConnectionSettings ParseConnectionString(std::string_view connection_string) {
  ConnectionSettings settings;
  std::string_view rest = connection_string;
  while (!rest.empty()) {
    const auto end = rest.find(';');
    const std::string_view piece = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const auto eq = piece.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = text::TrimBlanks(piece.substr(0, eq));
    const std::string value(piece.substr(eq + 1));
    if (IsAnyOf(key, {"Data Source", "Server"})) {
      settings.server = value;
    } else if (IsAnyOf(key, {"User ID", "UID"})) {
      settings.user = value;
    } else if (IsAnyOf(key, {"Password", "PWD"})) {
      settings.password = value;
    } else if (IsAnyOf(key, {"Initial Catalog", "Database"})) {
      settings.database = value;
    }
  }
  return settings;
}

std::string BuildConnectionString(const ConnectionSettings &s) {
  return "Provider=SQLOLEDB.1;Persist Security Info=False;Data Source=" + s.server +
         ";User ID=" + s.user + ";Password=" + s.password + ";Initial Catalog=" + s.database;
}

std::string_view SqlitePathOf(std::string_view data_source) {
  if (!text::StartsWithIgnoreCase(data_source, kSqlitePrefix)) return {};
  return data_source.substr(kSqlitePrefix.size());
}

ServerAddress ParseServerAddress(std::string_view data_source) {
  ServerAddress address;
  const auto comma = data_source.find(',');
  address.host = std::string(text::TrimBlanks(data_source.substr(0, comma)));
  if (address.host.empty()) throw DataError("the Data Source names no database server");
  if (comma != std::string_view::npos) {
    const std::string_view port = text::TrimBlanks(data_source.substr(comma + 1));
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || ptr != port.data() + port.size() || value < 1 ||
        value > 65535) {
      throw DataError("the Data Source port \"" + std::string(port) + "\" is not a port number");
    }
    address.port = static_cast<std::uint16_t>(value);
  }
  return address;
}

}  // namespace data
