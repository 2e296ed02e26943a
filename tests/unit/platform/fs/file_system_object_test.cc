#include "platform/fs/file_system_object.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/fs/text_stream.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class FileSystemObjectTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& relative) const { return (dir_.path() / relative).string(); }

  void Put(const std::string& relative, const std::string& bytes) const {
    std::ofstream out(dir_.path() / relative, std::ios::binary);
    out << bytes;
  }

  std::string Get(const std::string& relative) const {
    std::ifstream in(dir_.path() / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::set<std::string> Names(const std::string& relative) const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path() / relative)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  testing_support::TempDir dir_;
  fso::FileSystemObject fso_;
};

TEST_F(FileSystemObjectTest, BackslashAndSlashBothSeparate) {
  fs::create_directory(dir_.path() / "a");
  Put("a/f.txt", "x");
  const std::string root = dir_.path().string();
  for (const std::string& path : {root + "/a/f.txt", root + "\\a\\f.txt", root + "/a\\f.txt"}) {
    EXPECT_TRUE(fso_.FileExists(path)) << path;
    EXPECT_FALSE(fso_.FolderExists(path)) << path;
  }
  EXPECT_TRUE(fso_.FolderExists(root + "\\a"));
  EXPECT_FALSE(fso_.FileExists(root + "\\a"));
  EXPECT_FALSE(fso_.FileExists(root + "\\a\\missing.txt"));
  fso_.CreateFolder(root + "\\a\\b");
  EXPECT_TRUE(fs::is_directory(dir_.path() / "a" / "b"));
  fso_.CreateTextFile(root + "\\a\\b\\w.txt")->Close();
  EXPECT_TRUE(fs::is_regular_file(dir_.path() / "a" / "b" / "w.txt"));
  EXPECT_EQ(fso_.OpenTextFile(root + "\\a\\f.txt")->ReadAll(), "x");
}

TEST_F(FileSystemObjectTest, CreateFolderNeedsTheParentAndRefusesAnExistingName) {
  EXPECT_THROW(fso_.CreateFolder(Path("missing/child")), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir_.path() / "missing"));
  fso_.CreateFolder(Path("made"));
  EXPECT_THROW(fso_.CreateFolder(Path("made")), std::runtime_error);
  Put("file", "");
  EXPECT_THROW(fso_.CreateFolder(Path("file")), std::runtime_error);
}

TEST_F(FileSystemObjectTest, WildcardCopyTakesEveryMatchingFileButNoFolder) {
  fs::create_directories(dir_.path() / "tpl" / "sub");
  fs::create_directory(dir_.path() / "dst");
  Put("tpl/index.wml", "i");
  Put("tpl/style.css", "s");
  Put("tpl/README", "no dot");
  Put("tpl/.hidden", "h");
  Put("tpl/sub/deep.txt", "d");
  struct Case {
    const char* pattern;
    std::set<std::string> copied;
  };
  const Case cases[] = {
      {"*.*", {"index.wml", "style.css", "README", ".hidden"}},
      {"*", {"index.wml", "style.css", "README", ".hidden"}},
      {"*.css", {"style.css"}},
      {"?????.css", {"style.css"}},
      {"????.css", {}},
      {"README.*", {"README"}},
      {"*E*", {"README"}},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir_.path() / "dst");
    fs::create_directory(dir_.path() / "dst");
    const std::string source = Path("tpl") + "/" + c.pattern;
    if (c.copied.empty()) {
      EXPECT_THROW(fso_.CopyFile(source, Path("dst") + "/"), std::runtime_error) << c.pattern;
    } else {
      fso_.CopyFile(source, Path("dst") + "/");
    }
    EXPECT_EQ(Names("dst"), c.copied) << c.pattern;
  }
  EXPECT_EQ(Get("dst/README"), "no dot");
}

TEST_F(FileSystemObjectTest, QuestionMarkMatchesOneCharacterNotOneByte) {
  fs::create_directories(dir_.path() / "tpl");
  fs::create_directory(dir_.path() / "dst");
  Put("tpl/页.txt", "cn");
  fso_.CopyFile(Path("tpl") + "/?.txt", Path("dst") + "/");
  EXPECT_EQ(Get("dst/页.txt"), "cn");
}

TEST_F(FileSystemObjectTest, CopyOverwritesMatchingFilesAndKeepsTheOthers) {
  fs::create_directories(dir_.path() / "tpl");
  fs::create_directories(dir_.path() / "dst");
  Put("tpl/a.txt", "new a");
  Put("dst/a.txt", "old a, longer than the new one");
  Put("dst/upload.gif", "mine");
  fso_.CopyFile(Path("tpl") + "\\*.*", Path("dst") + "\\", true);
  EXPECT_EQ(Get("dst/a.txt"), "new a");
  EXPECT_EQ(Get("dst/upload.gif"), "mine");
  EXPECT_EQ(Names("dst"), (std::set<std::string>{"a.txt", "upload.gif"}));  // no temp left

  Put("tpl/a.txt", "newer a");
  EXPECT_THROW(fso_.CopyFile(Path("tpl") + "/*.*", Path("dst") + "/", false), std::runtime_error);
  EXPECT_EQ(Get("dst/a.txt"), "new a");
  EXPECT_EQ(Names("dst"), (std::set<std::string>{"a.txt", "upload.gif"}));
}

TEST_F(FileSystemObjectTest, CopyOfASingleFileToAFileOrIntoAFolder) {
  fs::create_directories(dir_.path() / "dst");
  Put("one.txt", "1");
  fso_.CopyFile(Path("one.txt"), Path("two.txt"));
  EXPECT_EQ(Get("two.txt"), "1");
  fso_.CopyFile(Path("one.txt"), Path("dst"));  // an existing folder receives the file
  EXPECT_EQ(Get("dst/one.txt"), "1");
  fso_.CopyFile(Path("one.txt"), Path("dst") + "/");
  EXPECT_EQ(Get("dst/one.txt"), "1");
}

TEST_F(FileSystemObjectTest, CopyFailsWhenNothingMatchesOrTheTargetFolderIsMissing) {
  fs::create_directories(dir_.path() / "empty");
  fs::create_directories(dir_.path() / "tpl" / "onlyfolder");
  fs::create_directories(dir_.path() / "dst");
  Put("tpl2.txt", "");
  const std::string sources[] = {Path("empty") + "/*.*", Path("missing") + "/*.*",
                                 Path("tpl") + "/*.*", Path("missing.txt"), Path("tpl")};
  for (const auto& source : sources) {
    EXPECT_THROW(fso_.CopyFile(source, Path("dst") + "/"), std::runtime_error) << source;
  }
  EXPECT_TRUE(Names("dst").empty());
  fs::create_directories(dir_.path() / "tpl3");
  Put("tpl3/a.txt", "a");
  EXPECT_THROW(fso_.CopyFile(Path("tpl3") + "/*.*", Path("nofolder") + "/"), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir_.path() / "nofolder"));
}

TEST_F(FileSystemObjectTest, TextFilesReadBackTheirBytesUnchanged) {
  const std::string bytes = std::string("\xEF\xBB\xBF首页\r\n\x00\xFF", 12);
  Put("bin.txt", bytes);
  EXPECT_EQ(fso_.OpenTextFile(Path("bin.txt"))->ReadAll(), bytes);
  EXPECT_THROW(fso_.OpenTextFile(Path("missing.txt")), std::runtime_error);
  EXPECT_THROW(fso_.OpenTextFile(dir_.path().string()), std::runtime_error);
}

TEST_F(FileSystemObjectTest, ReadLineEndsAtLfCrLfOrCr) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\n", {""}},
      {"", {}},
      {"no end", {"no end"}},
  };
  for (const auto& c : cases) {
    Put("lines.txt", c.bytes);
    auto stream = fso_.OpenTextFile(Path("lines.txt"));
    std::vector<std::string> lines;
    while (!stream->AtEndOfStream()) lines.push_back(stream->ReadLine());
    EXPECT_EQ(lines, c.lines) << testing::PrintToString(c.bytes);
    EXPECT_THROW(stream->ReadLine(), std::runtime_error);
    EXPECT_THROW(stream->SkipLine(), std::runtime_error);
  }
  Put("lines.txt", "skip\r\nkeep\r\nrest\r\n");
  auto stream = fso_.OpenTextFile(Path("lines.txt"));
  stream->SkipLine();
  EXPECT_EQ(stream->ReadLine(), "keep");
  EXPECT_EQ(stream->ReadAll(), "rest\r\n");
  EXPECT_THROW(stream->Write("x"), std::runtime_error);
}

TEST_F(FileSystemObjectTest, CreateTextFileWritesCrLfLinesAndReplacesTheFile) {
  Put("out.asp", "an older and much longer content");
  auto stream = fso_.CreateTextFile(Path("out.asp"));
  stream->WriteLine("<%");
  stream->Write("%");
  stream->Write(">");
  EXPECT_THROW(stream->ReadAll(), std::runtime_error);
  stream->Close();
  stream->Close();  // closing twice does nothing
  EXPECT_EQ(Get("out.asp"), "<%\r\n%>");
  EXPECT_THROW(stream->Write("late"), std::runtime_error);

  EXPECT_THROW(fso_.CreateTextFile(Path("out.asp"), false), std::runtime_error);
  EXPECT_EQ(Get("out.asp"), "<%\r\n%>");
  EXPECT_THROW(fso_.CreateTextFile(Path("nofolder/out.asp")), std::runtime_error);
}

TEST_F(FileSystemObjectTest, AFullDiskIsAnErrorNeverASuccess) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  {
    auto stream = fso_.CreateTextFile("/dev/full");
    stream->WriteLine("short");  // buffered: the failure shows when it is written out
    EXPECT_THROW(stream->Close(), std::runtime_error);
  }
  {
    auto stream = fso_.CreateTextFile("/dev/full");
    const std::string big(1 << 20, 'x');
    EXPECT_THROW(stream->Write(big), std::runtime_error);
  }
}

TEST_F(FileSystemObjectTest, AFolderThatCannotBeWrittenIsAnError) {
  // Permissions do not stop the superuser; a read-only file system stops everyone.
  std::string locked;
  if (::geteuid() == 0) {
    locked = "/proc/self";
  } else {
    fs::create_directory(dir_.path() / "locked");
    ::chmod(Path("locked").c_str(), 0555);
    locked = Path("locked");
  }
  Put("a.txt", "a");
  EXPECT_THROW(fso_.CreateFolder(locked + "/new"), std::runtime_error);
  EXPECT_THROW(fso_.CreateTextFile(locked + "/new.txt"), std::runtime_error);
  EXPECT_THROW(fso_.CopyFile(Path("*.txt"), locked + "/"), std::runtime_error);
  if (::geteuid() != 0) ::chmod(Path("locked").c_str(), 0755);
}

}  // namespace
