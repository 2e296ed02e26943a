#include "wap/admin/admin_context.h"

#include <stdexcept>
#include <string>

#include "platform/data/connection.h"
#include "platform/host/objects/session.h"
#include "wap/framework/page.h"
#include "wap/framework/whole_number.h"

namespace wap {

bool AdminSetUp(Page& page) {
  page.SetCachingHeaders();
  page.CreateDBObjects();
  return page.OpenDB();
}

data::Connection& AdminConnection(Page& page) {
  if (!page.HasOpenConnection()) {
    throw std::runtime_error("adminmanage: the database connection is not open");
  }
  return page.Connection();
}

std::int64_t SessionUserId(const host::Session& session) {
  const std::optional<std::string> value = session.Get("userid");
  const std::optional<std::int64_t> id = value ? ParseWholeNumber(*value) : std::nullopt;
  if (!id) {
    throw std::runtime_error("adminmanage: the session's userid is " +
                             (value ? "not a whole number: '" + *value + "'" : "missing"));
  }
  return *id;
}

}  // namespace wap
