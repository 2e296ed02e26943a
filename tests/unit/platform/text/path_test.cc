#include "platform/text/path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace text {
namespace {

using Parts = std::vector<std::string>;

TEST(Path, AppliesDotSegmentsButNeverClimbsAboveTheFirstPart) {
  const struct {
    Parts base;
    const char* path;
    const char* separators;
    std::optional<Parts> result;
  } cases[] = {
      {{}, "/a//b/./c/", "/", Parts{"a", "b", "c"}},
      {{}, "/a/b/../c", "/", Parts{"a", "c"}},
      {{"wap"}, "..\\waphome/x", "/\\", Parts{"waphome", "x"}},
      {{"wap"}, "a\\b", "/", Parts{"wap", "a\\b"}},
      {{"wap"}, "", "/", Parts{"wap"}},
      {{}, "/..", "/", std::nullopt},
      {{"wap"}, "../..", "/", std::nullopt},
      {{}, "/a/../../b", "/", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplyPathParts(c.base, c.path, c.separators), c.result) << c.path;
  }
}

}  // namespace
}  // namespace text
