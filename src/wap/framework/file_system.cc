#include "wap/framework/file_system.h"

#include <stdexcept>
#include <string>

#include "platform/host/server.h"
#include "wap/framework/page_context.h"

namespace wap {

std::unique_ptr<fso::FileSystemObject> CreateFileSystemObject(std::string_view prog_id) {
  std::unique_ptr<host::HostObject> object = PageContext::Current().server->CreateObject(prog_id);
  if (auto* fs = dynamic_cast<fso::FileSystemObject*>(object.get())) {
    object.release();
    return std::unique_ptr<fso::FileSystemObject>(fs);
  }
  throw std::runtime_error("the object '" + std::string(prog_id) + "' is not a file-system object");
}

}  // namespace wap
