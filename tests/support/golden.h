// Golden files: expected outputs kept as data under tests/data/golden/, to be read and reviewed
// like code. A test compares what it got with the file; it never rebuilds the expected text.
//
//   EXPECT_TRUE(MatchesGolden("home.wml", response.body));
//
// With WAPSITE_UPDATE_GOLDEN=1 in the environment, MatchesGolden writes `actual` to the file
// (creating it) and succeeds; review the difference with `git diff tests/data/golden` before
// committing. CI never sets it. Thread-safe as long as no two callers write the same file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>

namespace testing_support {

// The folder of the golden files in the source tree.
std::filesystem::path GoldenDir();

// Success when tests/data/golden/NAME holds exactly the bytes of `actual`. The failure message
// names the first differing byte and shows both texts around it.
::testing::AssertionResult MatchesGolden(std::string_view name, std::string_view actual);

}  // namespace testing_support
