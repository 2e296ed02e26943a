// The component's classes as the host creates them: "wap.CLASS" names CLASS here.
#pragma once

#include <memory>
#include <string_view>

#include "platform/host/objects/host_object.h"

namespace wap {

// A new object of the class `class_name` (any letter case): main, newslist, showcontent, shownews,
// productlist, lyb, checklogin, logout, adminmanage. nullptr for any other name.
std::unique_ptr<host::HostObject> CreateObject(std::string_view class_name);

}  // namespace wap
