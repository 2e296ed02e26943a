#include "support/golden.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace testing_support {
namespace {

bool Updating() {
  const char* value = std::getenv("WAPSITE_UPDATE_GOLDEN");
  return value != nullptr && std::string_view(value) == "1";
}

// `text` around `at`, with control characters shown, for a failure message.
std::string Around(std::string_view text, std::size_t at) {
  const std::size_t from = at > 60 ? at - 60 : 0;
  std::string out;
  for (const char c : text.substr(from, 120)) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::filesystem::path GoldenDir() {
  return std::filesystem::path(WAPSITE_SOURCE_DIR) / "tests" / "data" / "golden";
}

::testing::AssertionResult MatchesGolden(std::string_view name, std::string_view actual) {
  const std::filesystem::path path = GoldenDir() / std::string(name);
  if (Updating()) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << actual;
    return ::testing::AssertionSuccess() << "wrote " << path;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return ::testing::AssertionFailure()
           << "no golden file " << path << " (WAPSITE_UPDATE_GOLDEN=1 writes it)";
  }
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (expected == actual) return ::testing::AssertionSuccess();
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
      expected.begin());
  return ::testing::AssertionFailure()
         << name << " differs at byte " << at << " (golden " << expected.size() << " bytes, got "
         << actual.size() << ")\n  golden: " << Around(expected, at)
         << "\n  got:    " << Around(actual, at);
}

}  // namespace testing_support
