#include "backoffice/page_templates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

#include "support/temp_dir.h"

namespace backoffice {
namespace {

// Parsed templates are kept between calls; an operator's edit must still show at the next one,
// whether it changes the file's size or only its contents, and a broken edit must be refused.
TEST(PageTemplates, AnEditedTemplateShowsAtTheNextCall) {
  const testing_support::TempDir dir;
  const auto write = [&](const char* name, const char* text) {
    std::ofstream(dir.path() / name, std::ios::binary | std::ios::trunc) << text;
  };
  write("layout.html", "<main>{{{body}}}</main>");
  write("page.html", "Hello {{name}}");
  View view;
  view.set("name", "<b>");
  EXPECT_EQ(RenderPage(dir.path(), "page", view), "<main>Hello &lt;b&gt;</main>");
  write("page.html", "Welcome, {{name}}!");
  EXPECT_EQ(RenderPage(dir.path(), "page", view), "<main>Welcome, &lt;b&gt;!</main>");

  const auto before = std::filesystem::last_write_time(dir.path() / "layout.html");
  write("layout.html", "<body>{{{body}}}</body>");  // the same size
  std::filesystem::last_write_time(dir.path() / "layout.html", before + std::chrono::seconds(1));
  EXPECT_EQ(RenderPage(dir.path(), "page", view), "<body>Welcome, &lt;b&gt;!</body>");

  write("page.html", "{{#open}}never closed");
  EXPECT_THROW(RenderPage(dir.path(), "page", view), std::runtime_error);
}

}  // namespace
}  // namespace backoffice
