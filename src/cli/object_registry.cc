#include <string>

#include "cli/commands.h"
#include "platform/host/scripting/file_system_host_object.h"
#include "platform/text/ascii.h"
#include "site/objects.h"
#include "wap/objects.h"

namespace cli {

std::unique_ptr<host::HostObject> CreateObjectByName(std::string_view prog_id) {
  if (text::EqualsIgnoreCase(prog_id, "Scripting.FileSystemObject")) {
    return std::make_unique<host::FileSystemHostObject>();
  }
  const auto dot = prog_id.find('.');
  if (dot == std::string_view::npos) return nullptr;
  const std::string_view library = prog_id.substr(0, dot);
  const std::string_view class_name = prog_id.substr(dot + 1);
  if (text::EqualsIgnoreCase(library, "wap")) return wap::CreateObject(class_name);
  if (text::EqualsIgnoreCase(library, "site")) return site::CreateObject(class_name);
  return nullptr;
}

}  // namespace cli
