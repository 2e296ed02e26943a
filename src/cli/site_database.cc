#include "cli/site_database.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/data/connection_string.h"
#include "wap/framework/db_settings.h"

namespace cli {
data::ConnectionSettings SiteConnectionSettings(const std::filesystem::path& root) {
  const std::filesystem::path file = root / "conn.asp";
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) throw std::runtime_error("cannot read " + file.string());
  std::ostringstream text;
  text << in.rdbuf();
  const std::string conn = text.str();
  return {wap::ExtractSetting("strSQLServer", conn), wap::ExtractSetting("strSQLUser", conn),
          wap::ExtractSetting("strSQLPassword", conn), wap::ExtractSetting("strSQLDataBase", conn)};
}

SiteDatabase::SiteDatabase(const std::filesystem::path& root) : pool_(root), connection_(pool_) {
  const data::ConnectionSettings settings = SiteConnectionSettings(root);
  try {
    connection_.Open(settings);
  } catch (const std::exception& e) {
    throw std::runtime_error("OpenDB():" + std::string(e.what()));
  }
}

}  // namespace cli
