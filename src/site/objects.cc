#include "site/objects.h"

#include "platform/host/collection.h"
#include "site/login.h"
#include "site/newly.h"

namespace site {

std::unique_ptr<host::HostObject> CreateObject(std::string_view class_name) {
  if (host::EqualsIgnoreCase(class_name, "login")) return std::make_unique<LoginFormPage>();
  if (host::EqualsIgnoreCase(class_name, "newly")) return std::make_unique<NewMessagePage>();
  return nullptr;
}

}  // namespace site
