#include "wap/framework/db_connection.h"

#include <exception>

#include "platform/host/response.h"
#include "wap/framework/db_settings.h"

namespace wap {

std::string BuildConnectionString(const DBSettings& s) {
  return "Provider=SQLOLEDB.1" + std::string(";Persist Security Info=False") +
         ";Data Source=" + s.server + ";User ID=" + s.user + ";Password=" + s.password +
         ";Initial Catalog=" + s.database;
}

bool OpenDB() {
  LoadDBSettings();
  PageContext& c = PageContext::Current();
  try {
    c.connection_string = BuildConnectionString(c.settings);
    c.connection->Open(c.connection_string);
    return true;
  } catch (const std::exception& e) {
    // The one failure a page reports itself: the client sees the provider's description.
    c.response->Write(std::string("OpenDB():") + e.what());
    c.response->End();
    return false;
  }
}

void CloseDB() noexcept {
  if (!PageContext::HasCurrent()) return;
  PageContext& c = PageContext::Current();
  if (c.recordset && c.recordset->IsOpen()) c.recordset->Close();
  if (c.connection && c.connection->IsOpen()) c.connection->Close();
  c.recordset.reset();
  c.connection.reset();
}

}  // namespace wap
