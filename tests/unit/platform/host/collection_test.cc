// Names of request values and application values match without regard to ASCII letter case, and
// only ASCII letters fold.
#include "platform/host/collection.h"

#include <gtest/gtest.h>

#include "platform/host/application.h"

namespace host {
namespace {

TEST(EqualsIgnoreCase, FoldsAsciiLettersOnly) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"UserID", "userid", true},     {"PAGE", "page", true},  {"a-Z_09", "A-z_09", true},
      {"page", "pagE ", false},       {"@[`{", "`{@[", false}, {"\xC3\x89", "\xC3\xA9", false},
      {"\xC3\x89", "\xC3\x89", true}, {"", "", true},          {"x", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
  }
}

TEST(EqualsIgnoreCase, RequestValuesAreFoundUnderAnyCaseOfTheirName) {
  const Collection query = Collection::ParseUrlEncoded("userid=1&Page=3&PAGE=4&%C3%89t%C3%A9=x");
  EXPECT_EQ(query.Get("USERID"), "1");
  EXPECT_EQ(query.Get("page"), "3, 4");
  EXPECT_EQ(query.Get("\xC3\x89t\xC3\xA9"), "x");
  EXPECT_EQ(query.Get("\xC3\xA9t\xC3\xA9"), std::nullopt);  // é is not É
}

TEST(Application, ValuesAreKeptByNameInAnyCase) {
  Application app;
  app.Set("strDBName", "site");
  EXPECT_EQ(app.Get("STRDBNAME"), "site");
  app.Set("STRdbNAME", "other");
  EXPECT_EQ(app.Get("strdbname"), "other");
  app.Set("\xC3\x89", "upper");
  EXPECT_EQ(app.Get("\xC3\xA9"), std::nullopt);
}

}  // namespace
}  // namespace host
