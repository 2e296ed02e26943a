#include "platform/host/server.h"

#include <stdexcept>
#include <vector>

namespace host {
namespace {

// Splits `path` on "/" and "\" and applies its parts to `parts` ("." stays, ".." goes up).
// Returns false when ".." would climb above the first part.
bool Apply(std::string_view path, std::vector<std::string>& parts) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

Server::Server(std::filesystem::path web_root, std::string page_folder, ObjectFactory factory)
    : web_root_(std::move(web_root)),
      page_folder_(std::move(page_folder)),
      factory_(std::move(factory)) {
  std::string root = web_root_.string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  web_root_ = root;
}

std::string Server::MapPath(std::string_view path) const {
  std::vector<std::string> parts;
  const bool from_root = !path.empty() && (path.front() == '/' || path.front() == '\\');
  if (!from_root && !Apply(page_folder_, parts)) {
    throw std::runtime_error("MapPath: the page folder lies outside the web root");
  }
  if (path.find('\0') != std::string_view::npos || !Apply(path, parts)) {
    throw std::runtime_error("MapPath: the path '" + std::string(path) +
                             "' lies outside the web root");
  }
  std::string physical = web_root_.string();
  for (const auto& part : parts) physical.append("/").append(part);
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
