// The back office's page templates: mustache files an operator may restyle, in the web root's
// admin/templates/ folder. A page is its own template rendered into layout.html ({{{body}}} there
// is the page). Values are escaped for HTML unless a template asks otherwise with {{{…}}}. Parsed
// templates are kept while their file's modification time and size stay the same, so an edited
// template shows at the next call. Thread-safe.
#pragma once

#include <filesystem>
#include <kainjow/mustache.hpp>
#include <string>
#include <string_view>

namespace backoffice {

using View = kainjow::mustache::data;
using ViewList = kainjow::mustache::list;

// `page`.html of `folder` rendered with `view`, inside layout.html rendered with `view` plus
// body. Throws std::runtime_error naming the file when one cannot be read or is not a valid
// template.
std::string RenderPage(const std::filesystem::path& folder, std::string_view page, View view);

}  // namespace backoffice
