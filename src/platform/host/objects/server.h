// Server: path mapping and object creation for the running host page. Read-only after
// construction; one per request.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/host/objects/host_object.h"

namespace host {

// Creates the object registered under `prog_id` ("wap.main", "Scripting.FileSystemObject"…), any
// letter case; nullptr when no object has that name.
using ObjectFactory = std::function<std::unique_ptr<HostObject>(std::string_view prog_id)>;

class Server {
 public:
  // `web_root` is the physical web root; `page_folder` the virtual folder of the running host page
  // ("/wap", "/" for the top folder).
  Server(std::filesystem::path web_root, std::string page_folder, ObjectFactory factory);

  // The physical path of a site path. A path beginning with "/" or "\" is taken from the web root,
  // any other from the running page's folder; "/" and "\" both separate; "." and ".." are resolved.
  // "/" gives the web root without a trailing separator. Throws std::runtime_error when the result
  // would lie outside the web root.
  std::string MapPath(std::string_view path) const;

  // A new object of class `prog_id`. Throws std::runtime_error naming it when there is none.
  // OnStartPage is not called: that is the host page's business.
  std::unique_ptr<HostObject> CreateObject(std::string_view prog_id) const;

  const std::filesystem::path& WebRoot() const { return web_root_; }

 private:
  std::filesystem::path web_root_;
  std::string page_folder_;
  ObjectFactory factory_;
};

}  // namespace host
