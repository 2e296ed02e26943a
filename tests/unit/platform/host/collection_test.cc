// Names of request values and application values match without regard to ASCII letter case.
#include "platform/host/collection.h"

#include <gtest/gtest.h>

#include "platform/host/application.h"

namespace host {
namespace {

TEST(Collection, RequestValuesAreFoundUnderAnyCaseOfTheirName) {
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
