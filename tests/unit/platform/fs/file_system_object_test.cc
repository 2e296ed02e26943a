// The file-system object as host pages and site creation (which tests its copies) use it:
// wildcards, text files read line by line, CRLF lines written, and every failure an exception.
#include "platform/fs/file_system_object.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/fs/wildcard.h"
#include "support/temp_dir.h"

namespace {
namespace fs = std::filesystem;

class Fso : public ::testing::Test {
 protected:
  std::string P(const std::string& rel) const { return (dir_.path() / rel).string(); }
  void Put(const std::string& rel, const std::string& bytes) const {
    fs::create_directories((dir_.path() / rel).parent_path());
    std::ofstream(dir_.path() / rel, std::ios::binary) << bytes;
  }
  testing_support::TempDir dir_;
  fso::FileSystemObject fso_;
};

TEST_F(Fso, WildcardsMatchCharactersAndTheStemOfDotStar) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"*.*", "README", true},    {"*.*", ".hidden", true},
      {"*.txt", "a.TXT", false},  {"*.txt", "a.txt.bak", false},
      {"a*b*c", "aXbYbZc", true}, {"a*b*c", "aXbYbZ", false},
      {"?.gif", "页.gif", true},  {"??.gif", "页.gif", false},
      {"?.gif", "ab.gif", false}, {"a.*", "a", true},
      {"a.*", "ab", false},       {"logo.gif", "logo.gifx", false}};
  for (const auto& [pattern, name, match] : cases)
    EXPECT_EQ(fso::MatchesWildcard(pattern, name), match) << pattern << " " << name;
}

TEST_F(Fso, ReadsLinesEndedByLfCrLfOrCrAndBytesUnchanged) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {{"a\nb\n", {"a", "b"}},
                                                                    {"a\r\n\r\nb", {"a", "", "b"}},
                                                                    {"a\rb\r", {"a", "b"}},
                                                                    {"a\n\rb", {"a", "", "b"}},
                                                                    {"", {}},
                                                                    {"no end", {"no end"}}};
  for (const auto& [bytes, expected] : cases) {
    Put("lines.txt", bytes);
    auto stream = fso_.OpenTextFile(P("lines.txt"));
    std::vector<std::string> lines;
    while (!stream->AtEndOfStream()) lines.push_back(stream->ReadLine());
    EXPECT_EQ(lines, expected) << testing::PrintToString(bytes);
    EXPECT_THROW(stream->ReadLine(), std::runtime_error);
  }
  const std::string bytes("\xEF\xBB\xBF首页\r\n\x00\xFF", 12);
  Put("bin.txt", bytes);
  EXPECT_EQ(fso_.OpenTextFile(P("bin.txt"))->ReadAll(), bytes);
  EXPECT_THROW(fso_.OpenTextFile(P("missing.txt")), std::runtime_error);
}

TEST_F(Fso, WritesCrLfLinesAndReportsEveryWriteFailure) {
  Put("out.asp", "an older and much longer content");
  auto stream = fso_.CreateTextFile(P("out.asp"));
  stream->WriteLine("<%");
  stream->Write("%>");
  stream->Close();
  EXPECT_EQ(fso_.OpenTextFile(P("out.asp"))->ReadAll(), "<%\r\n%>");
  EXPECT_THROW(fso_.CreateTextFile(P("nofolder/out.asp")), std::runtime_error);
  if (!fs::exists("/dev/full")) return;
  auto full = fso_.CreateTextFile("/dev/full");
  full->WriteLine("short");  // buffered: the failure shows when it is written out
  EXPECT_THROW(full->Close(), std::runtime_error);
}

}  // namespace
