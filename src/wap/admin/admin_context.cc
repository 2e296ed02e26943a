#include "wap/admin/admin_context.h"

#include <stdexcept>
#include <string>

#include "platform/data/connection.h"
#include "platform/host/session.h"
#include "wap/framework/db_connection.h"
#include "wap/framework/page_context.h"
#include "wap/framework/page_frame.h"
#include "wap/framework/whole_number.h"

namespace wap {

bool AdminSetUp(host::ScriptingContext& context) {
  CaptureHostObjects(context);
  SetCachingHeaders();
  CreateDBObjects();
  return OpenDB();
}

void AdminEnd() noexcept {
  CloseDB();
  ReleaseHostObjects();
}

data::Connection& AdminConnection() {
  PageContext& page = PageContext::Current();
  if (!page.connection || !page.connection->IsOpen()) {
    throw std::runtime_error("adminmanage: the database connection is not open");
  }
  return *page.connection;
}

std::int64_t SessionUserId() {
  PageContext& page = PageContext::Current();
  if (page.session == nullptr) throw std::runtime_error("adminmanage: no session");
  const std::optional<std::string> value = page.session->Get("userid");
  const std::optional<std::int64_t> id = value ? ParseWholeNumber(*value) : std::nullopt;
  if (!id) {
    throw std::runtime_error("adminmanage: the session's userid is " +
                             (value ? "not a whole number: '" + *value + "'" : "missing"));
  }
  return *id;
}

}  // namespace wap
