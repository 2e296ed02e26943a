#include "platform/host/objects/server.h"

#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/text/path.h"

namespace host {

Server::Server(std::filesystem::path web_root, std::string page_folder, ObjectFactory factory)
    : web_root_(std::move(web_root)),
      page_folder_(std::move(page_folder)),
      factory_(std::move(factory)) {
  std::string root = web_root_.string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  web_root_ = root;
}

std::string Server::MapPath(std::string_view path) const {
  // "/" and "\" both separate.
  constexpr std::string_view kSeparators = "/\\";
  std::optional<std::vector<std::string>> parts = std::vector<std::string>{};
  const bool from_root = !path.empty() && (path.front() == '/' || path.front() == '\\');
  if (!from_root) parts = text::ApplyPathParts({}, page_folder_, kSeparators);
  if (!parts) throw std::runtime_error("MapPath: the page folder lies outside the web root");
  parts = path.find('\0') == std::string_view::npos
              ? text::ApplyPathParts(std::move(*parts), path, kSeparators)
              : std::nullopt;
  if (!parts) {
    throw std::runtime_error("MapPath: the path '" + std::string(path) +
                             "' lies outside the web root");
  }
  std::string physical = web_root_.string();
  for (const auto& part : *parts) physical.append("/").append(part);
  return physical;
}

std::unique_ptr<HostObject> Server::CreateObject(std::string_view prog_id) const {
  std::unique_ptr<HostObject> object = factory_ ? factory_(prog_id) : nullptr;
  if (!object) {
    throw std::runtime_error("CreateObject: no object is registered as '" +
                             std::string(prog_id) + "'");
  }
  return object;
}

}  // namespace host
