#include "backoffice/page_templates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

#include "support/temp_dir.h"

namespace backoffice {
namespace {

void Write(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// Parsed templates are kept between calls; an operator's edit must still show at the next one,
// whether it changes the file's size or only its contents.
TEST(PageTemplates, AnEditedTemplateShowsAtTheNextCall) {
  const testing_support::TempDir dir;
  Write(dir.path() / "layout.html", "<main>{{{body}}}</main>");
  Write(dir.path() / "page.html", "Hello {{name}}");
  View view;
  view.set("name", "<b>");
  EXPECT_EQ(RenderPage(dir.path(), "page", view), "<main>Hello &lt;b&gt;</main>");
  EXPECT_EQ(RenderPage(dir.path(), "page", view), "<main>Hello &lt;b&gt;</main>");

  Write(dir.path() / "page.html", "Welcome, {{name}}!");
  EXPECT_EQ(RenderPage(dir.path(), "page", view), "<main>Welcome, &lt;b&gt;!</main>");

  const auto before = std::filesystem::last_write_time(dir.path() / "layout.html");
  Write(dir.path() / "layout.html", "<body>{{{body}}}</body>");  // the same size
  std::filesystem::last_write_time(dir.path() / "layout.html", before + std::chrono::seconds(1));
  EXPECT_EQ(RenderPage(dir.path(), "page", view), "<body>Welcome, &lt;b&gt;!</body>");

  Write(dir.path() / "page.html", "{{#open}}never closed");
  try {
    RenderPage(dir.path(), "page", view);
    ADD_FAILURE() << "a broken template rendered";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("page.html"), std::string::npos) << error.what();
  }
  std::filesystem::remove(dir.path() / "page.html");
  EXPECT_THROW(RenderPage(dir.path(), "page", view), std::runtime_error);
}

}  // namespace
}  // namespace backoffice
