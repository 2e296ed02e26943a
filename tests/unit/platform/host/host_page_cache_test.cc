// HostPageCache: a page is parsed once and again only when its file changes.
#include "platform/host/host_page_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/temp_dir.h"

namespace host {
namespace {

using testing_support::TempDir;

class HostPageCacheTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& name, const std::string& text) {
    const auto path = dir_.path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  static std::string TextOf(const HostPage& page) {
    std::string text;
    for (const auto& statement : page.statements) {
      if (const auto* t = std::get_if<page_statement::Text>(&statement.action)) text += t->text;
    }
    return text;
  }

  TempDir dir_;
  HostPageCache cache_;
};

TEST_F(HostPageCacheTest, HandsOutTheSameParsedPageWhileTheFileStaysTheSame) {
  const auto path = Write("a.asp", "hello");
  const auto first = cache_.Get(path, "/a.asp");
  EXPECT_EQ(TextOf(*first), "hello");
  EXPECT_EQ(cache_.Get(path, "/a.asp"), first);
}

TEST_F(HostPageCacheTest, ParsesAgainWhenTheSizeOrTheTimeChanges) {
  const auto path = Write("a.asp", "one");
  const auto time = std::filesystem::last_write_time(path);
  const auto first = cache_.Get(path, "/a.asp");

  Write("a.asp", "three");  // another size
  std::filesystem::last_write_time(path, time);
  const auto second = cache_.Get(path, "/a.asp");
  EXPECT_EQ(TextOf(*second), "three");

  Write("a.asp", "THREE");  // the same size, another time
  std::filesystem::last_write_time(path, time + std::chrono::nanoseconds(1500));
  EXPECT_EQ(TextOf(*cache_.Get(path, "/a.asp")), "THREE");
  EXPECT_EQ(TextOf(*first), "one");  // a page handed out earlier stays as it was
}

TEST_F(HostPageCacheTest, AFileThatCannotBeReadAsAPageFailsWithTheReason) {
  const struct {
    std::filesystem::path path;
    const char* reason;
  } cases[] = {{dir_.path() / "missing.asp", "No such file or directory"},
               {dir_.path(), "Is a directory"}};
  for (const auto& c : cases) {
    try {
      cache_.Get(c.path, "/x.asp");
      ADD_FAILURE() << "read " << c.path;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()),
                "cannot read host page " + c.path.string() + ": " + c.reason);
    }
  }
}

}  // namespace
}  // namespace host
