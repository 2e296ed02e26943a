// Restoring a web root from a tar file: crafted archives (made here with libarchive, a header
// patched by hand where the writer will not make the entry) are refused whole, with nothing
// written outside and the root left as it was; a good one is laid out with fixed modes.
#include "cli/web_root_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

#include "support/server_process.h"
#include "support/temp_dir.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

enum class Kind { kFile, kFolder, kHardLink, kHardLinkWithBody, kSymlink, kFifo };
struct Entry {
  Entry(std::string n, Kind k = Kind::kFile, std::string l = "", mode_t m = 0644)
      : name(std::move(n)), kind(k), link(std::move(l)), mode(m) {}
  std::string name;
  Kind kind;
  std::string link;  // the target of a link
  mode_t mode;
};
enum class Format { kPax, kGnu, kUstar };

std::string Body(const std::string& name) { return "body of " + name; }

// Makes the ustar header of the plain file `name` a hard link to `link`, keeping its body (a
// pax archive may carry one; libarchive's writers never write it).
void MakeHardLinkWithBody(std::string& tar, const std::string& name, const std::string& link) {
  for (std::size_t at = 0; at + 512 <= tar.size(); at += 512) {
    if (tar.compare(at + 257, 5, "ustar") != 0 || tar[at + 156] != '0' ||
        std::strcmp(tar.c_str() + at, name.c_str()) != 0)
      continue;
    tar[at + 156] = '1';
    tar.replace(at + 157, link.size(), link);
    std::memset(&tar[at + 148], ' ', 8);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 512; ++i) sum += static_cast<unsigned char>(tar[at + i]);
    std::snprintf(&tar[at + 148], 8, "%06o", sum);
    return;
  }
  FAIL() << "no header for " << name;
}

void WriteTar(const fs::path& path, Format format, const std::vector<Entry>& entries) {
  archive* a = archive_write_new();
  if (format == Format::kPax) archive_write_set_format_pax(a);
  if (format == Format::kGnu) archive_write_set_format_gnutar(a);
  if (format == Format::kUstar) archive_write_set_format_ustar(a);
  ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
  for (const Entry& e : entries) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, e.name.c_str());
    archive_entry_set_perm(entry, e.mode);
    archive_entry_set_uid(entry, 0);
    archive_entry_set_mtime(entry, 1000000000, 5);  // nanoseconds: every pax entry gets its 'x'
    const bool body = e.kind == Kind::kFile || e.kind == Kind::kHardLinkWithBody;
    archive_entry_set_filetype(entry, e.kind == Kind::kFolder    ? AE_IFDIR
                                      : e.kind == Kind::kSymlink ? AE_IFLNK
                                      : e.kind == Kind::kFifo    ? AE_IFIFO
                                                                 : AE_IFREG);
    if (e.kind == Kind::kHardLink) archive_entry_set_hardlink(entry, e.link.c_str());
    if (e.kind == Kind::kSymlink) archive_entry_set_symlink(entry, e.link.c_str());
    archive_entry_set_size(entry, body ? static_cast<la_int64_t>(Body(e.name).size()) : 0);
    ASSERT_EQ(archive_write_header(a, entry), ARCHIVE_OK) << archive_error_string(a);
    if (body) archive_write_data(a, Body(e.name).data(), Body(e.name).size());
    archive_entry_free(entry);
  }
  archive_write_close(a);
  archive_write_free(a);
  std::string tar = ReadFile(path);
  for (const Entry& e : entries) {
    if (e.kind == Kind::kHardLinkWithBody) MakeHardLinkWithBody(tar, e.name, e.link);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << tar;
}

// Every path below `dir` with its bytes ("<folder>" for a folder) and mode.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> all;
  for (const auto& item : fs::recursive_directory_iterator(dir)) {
    struct stat st {};
    ::lstat(item.path().c_str(), &st);
    all[item.path().lexically_relative(dir).string()] =
        (item.is_directory() ? "<folder>" : ReadFile(item.path())) + " mode " +
        std::to_string(st.st_mode & 07777) + " links " + std::to_string(st.st_nlink);
  }
  return all;
}

class RestoreWebRootTest : public testing::Test {
 protected:
  RestoreWebRootTest() {
    fs::create_directories(outside_);
    std::ofstream(outside_ / "victim") << "precious";
    fs::create_directories(root_ / "wap");
    std::ofstream(root_ / "wap" / "old.asp") << "old";
  }
  TempDir dir_;
  const fs::path outside_ = dir_.path() / "outside", root_ = dir_.path() / "site",
                 tar_ = dir_.path() / "site.tar";
};

TEST_F(RestoreWebRootTest, RefusesAnArchiveWithALinkASpecialFileOrANameOutsideTheRootWhole) {
  const std::string victim = (outside_ / "victim").string(), made = (outside_ / "made").string();
  const std::vector<Entry> good = {
      {"wap/", Kind::kFolder, "", 0755}, {"wap/index.asp"}, {"conn.asp"}};
  // Each case: the one bad entry (name, kind, link) put among good ones. Any link is refused,
  // wherever it points: one target of each kind a row.
  const struct {
    const char* what;
    Format format;
    std::string name;
    Kind kind;
    std::string link;
    const char* reason;
  } cases[] = {
      {"pax hard link with a body, absolute", Format::kPax, "victim", Kind::kHardLinkWithBody,
       victim, "hard link"},
      {"GNU hard link in the root", Format::kGnu, "copy.asp", Kind::kHardLink, "conn.asp",
       "hard link"},
      {"ustar hard link out of the root", Format::kUstar, "victim", Kind::kHardLink, victim,
       "hard link"},
      {"pax hard link out of the root", Format::kPax, "victim", Kind::kHardLink, victim,
       "hard link"},
      {"absolute name", Format::kPax, made, Kind::kFile, "", "absolute"},
      {"absolute folder", Format::kGnu, made + "/", Kind::kFolder, "", "absolute"},
      {"climbing name", Format::kPax, "../outside/made", Kind::kFile, "", "\"..\""},
      {"climbing from a folder", Format::kUstar, "wap/../../outside/made", Kind::kFile, "",
       "\"..\""},
      {"symbolic link out", Format::kPax, "out", Kind::kSymlink, outside_.string(), "symbolic"},
      {"symbolic link climbing", Format::kGnu, "out", Kind::kSymlink, "../outside", "symbolic"},
      {"named pipe", Format::kPax, "pipe", Kind::kFifo, "", "only folders and plain files"},
  };
  const auto before = Snapshot(dir_.path());
  for (const auto& c : cases) {
    std::vector<Entry> entries = good;
    entries.push_back({c.name, c.kind, c.link, c.kind == Kind::kFolder ? 0755u : 0644u});
    entries.push_back({"after.asp"});  // an entry after the bad one
    fs::remove(tar_);
    WriteTar(tar_, c.format, entries);
    try {
      RestoreWebRoot(tar_, root_);
      ADD_FAILURE() << c.what << ": restored";
    } catch (const std::runtime_error& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("'" + c.name + "'"), std::string::npos) << c.what << ": " << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
    }
    fs::remove(tar_);
    EXPECT_EQ(Snapshot(dir_.path()), before) << c.what;  // no partial root, nothing outside
  }

  // The command says which entry and why, and fails.
  WriteTar(tar_, Format::kPax, {{"conn.asp"}, {"victim", Kind::kHardLinkWithBody, victim}});
  const auto answer = testing_support::RunWapsite(
      {"restore", "--from", tar_.string(), "--root", root_.string(), "--force"});
  EXPECT_EQ(answer.exit_code, 1);
  EXPECT_EQ(answer.out, "");
  EXPECT_EQ(answer.err,
            "wapsite restore: refused the archive entry 'victim': hard links are not restored; "
            "nothing was restored\n");
  EXPECT_EQ(ReadFile(outside_ / "victim"), "precious");
  // An archive of no site (no conn.asp to serve it by) does not replace the root either.
  const auto root_before = Snapshot(root_);
  fs::remove(tar_);
  WriteTar(tar_, Format::kPax, {{"wap/index.asp"}});
  const auto no_site = testing_support::RunWapsite(
      {"restore", "--from", tar_.string(), "--root", root_.string(), "--force"});
  EXPECT_EQ(no_site.exit_code, 1);
  EXPECT_NE(no_site.err.find("conn.asp"), std::string::npos) << no_site.err;
  EXPECT_EQ(Snapshot(root_), root_before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 3);
}

TEST_F(RestoreWebRootTest, LaysOutFilesAs0644AndFoldersAs0755OwnedByTheRunningUser) {
  WriteTar(tar_, Format::kPax,
           {{"wap/", Kind::kFolder, "", 07777},
            {"wap/index.asp", Kind::kFile, "", 04777},
            {"./conn.asp", Kind::kFile, "", 06666},
            {"waphome/demo/a.gif", Kind::kFile, "", 0600},  // folders the archive does not list
            {"data/", Kind::kFolder, "", 0700},
            {"wap/index.asp", Kind::kFile, "", 0644}});  // a later entry of a name replaces it
  const Restored restored = RestoreWebRoot(tar_, root_);
  EXPECT_EQ(restored.files, 4u);
  ASSERT_FALSE(restored.previous.empty());
  EXPECT_EQ(ReadFile(restored.previous / "wap" / "old.asp"), "old");  // moved aside, not lost
  EXPECT_FALSE(fs::exists(root_ / "wap" / "old.asp"));
  const std::map<std::string, std::string> expected = {
      {"conn.asp", Body("./conn.asp") + " mode 420 links 1"},
      {"data", "<folder> mode 493 links 2"},
      {"wap", "<folder> mode 493 links 2"},
      {"wap/index.asp", Body("wap/index.asp") + " mode 420 links 1"},
      {"waphome", "<folder> mode 493 links 3"},
      {"waphome/demo", "<folder> mode 493 links 2"},
      {"waphome/demo/a.gif", Body("waphome/demo/a.gif") + " mode 420 links 1"},
  };
  EXPECT_EQ(Snapshot(root_), expected);
  struct stat st {};
  ASSERT_EQ(::stat(root_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(st.st_uid, ::getuid());
  ASSERT_EQ(::stat((root_ / "wap" / "index.asp").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, ::getuid());
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  // Beside the root: the root, what it held before, the archive and the outside folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 4);
}

}  // namespace
}  // namespace cli
