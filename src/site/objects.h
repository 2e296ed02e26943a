// The surrounding site's own page objects, as the host creates them: "site.CLASS" names CLASS here.
#pragma once

#include <memory>
#include <string_view>

#include "platform/host/objects/host_object.h"

namespace site {

// A new object of the class `class_name` (any letter case): login (the member login form), newly
// (the new-message form). nullptr for any other name.
std::unique_ptr<host::HostObject> CreateObject(std::string_view class_name);

}  // namespace site
