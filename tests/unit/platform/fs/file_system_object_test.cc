// The file-system object as host pages and site creation use it: wildcard copies, text files read
// line by line, CRLF lines written, and every failure an exception rather than a quiet success.
#include "platform/fs/file_system_object.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
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
  std::string Get(const std::string& rel) const {
    std::ostringstream text;
    text << std::ifstream(dir_.path() / rel, std::ios::binary).rdbuf();
    return text.str();
  }
  std::set<std::string> Names(const std::string& rel) const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path() / rel)) names.insert(e.path().filename());
    return names;
  }
  testing_support::TempDir dir_;
  fso::FileSystemObject fso_;
};

TEST_F(Fso, WildcardsMatchCharactersAndTheStemOfDotStar) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"*.*", "README", true}, {"*.*", ".hidden", true}, {"*.txt", "a.TXT", false},
      {"*.txt", "a.txt.bak", false}, {"a*b*c", "aXbYbZc", true}, {"a*b*c", "aXbYbZ", false},
      {"?.gif", "页.gif", true}, {"??.gif", "页.gif", false}, {"?.gif", "ab.gif", false},
      {"a.*", "a", true}, {"a.*", "ab", false}, {"logo.gif", "logo.gifx", false}};
  for (const auto& [pattern, name, match] : cases)
    EXPECT_EQ(fso::MatchesWildcard(pattern, name), match) << pattern << " " << name;
}

TEST_F(Fso, CopiesMatchingFilesOverwritingAndFailsWhenNothingMatches) {
  Put("tpl/index.wml", "i");
  Put("tpl/README", "no dot");
  Put("tpl/sub/deep.txt", "d");
  Put("dst/index.wml", "an older and longer text");
  Put("dst/upload.gif", "mine");
  fso_.CopyFile(P("tpl") + "\\*.*", P("dst") + "\\");
  EXPECT_EQ(Names("dst"), (std::set<std::string>{"index.wml", "README", "upload.gif"}));
  EXPECT_EQ(Get("dst/index.wml"), "i");
  EXPECT_EQ(Get("dst/upload.gif"), "mine");
  Put("tpl/index.wml", "newer");
  EXPECT_THROW(fso_.CopyFile(P("tpl") + "/*.*", P("dst") + "/", false), std::runtime_error);
  EXPECT_EQ(Get("dst/index.wml"), "i");
  fso_.CopyFile(P("tpl/README"), P("dst/copy"));
  EXPECT_EQ(Get("dst/copy"), "no dot");
  for (const std::string& source : {P("tpl") + "/*.css", P("missing") + "/*.*", P("nothing.txt")})
    EXPECT_THROW(fso_.CopyFile(source, P("dst") + "/"), std::runtime_error) << source;
  EXPECT_THROW(fso_.CopyFile(P("tpl") + "/*.*", P("nofolder") + "/"), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir_.path() / "nofolder"));
}

TEST_F(Fso, ReadsLinesEndedByLfCrLfOrCrAndBytesUnchanged) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"a\nb\n", {"a", "b"}}, {"a\r\n\r\nb", {"a", "", "b"}}, {"a\rb\r", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}}, {"", {}}, {"no end", {"no end"}}};
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
  EXPECT_EQ(Get("out.asp"), "<%\r\n%>");
  EXPECT_THROW(stream->Write("late"), std::runtime_error);
  EXPECT_THROW(fso_.CreateTextFile(P("out.asp"), false), std::runtime_error);
  EXPECT_THROW(fso_.CreateTextFile(P("nofolder/out.asp")), std::runtime_error);
  if (!fs::exists("/dev/full")) return;
  auto full = fso_.CreateTextFile("/dev/full");
  full->WriteLine("short");  // buffered: the failure shows when it is written out
  EXPECT_THROW(full->Close(), std::runtime_error);
}

}  // namespace
