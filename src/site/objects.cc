#include "site/objects.h"

#include "platform/text/ascii.h"
#include "site/login.h"
#include "site/newly.h"

namespace site {

std::unique_ptr<host::HostObject> CreateObject(std::string_view class_name) {
  if (text::EqualsIgnoreCase(class_name, "login")) return std::make_unique<LoginFormPage>();
  if (text::EqualsIgnoreCase(class_name, "newly")) return std::make_unique<NewMessagePage>();
  return nullptr;
}

}  // namespace site
