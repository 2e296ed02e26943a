#include "backoffice/page_templates.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace backoffice {
namespace {

std::string Render(const std::filesystem::path& file, const View& view) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the template " + file.string());
  const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  kainjow::mustache::mustache tmpl(source);
  if (!tmpl.is_valid()) {
    throw std::runtime_error("the template " + file.string() + " is not valid: " +
                             tmpl.error_message());
  }
  std::string text = tmpl.render(view);
  if (!tmpl.is_valid()) {
    throw std::runtime_error("the template " + file.string() + " failed: " + tmpl.error_message());
  }
  return text;
}

}  // namespace

std::string RenderPage(const std::filesystem::path& folder, std::string_view page, View view) {
  view.set("body", Render(folder / (std::string(page) + ".html"), view));
  return Render(folder / "layout.html", view);
}

}  // namespace backoffice
