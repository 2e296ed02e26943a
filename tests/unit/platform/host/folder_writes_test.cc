// What lets the change watcher skip asking the database: every kind of write in the folder is
// seen by the next call, and a folder that cannot be (or is no longer) watched always says written.
#include "platform/host/folder_writes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace host {
namespace {

namespace fs = std::filesystem;

TEST(FolderWrites, EachWriteIsSeenOnceAndALostFolderAlwaysSaysWritten) {
  const fs::path folder =
      fs::temp_directory_path() / ("folder-writes-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "site.db") << "x";
  FolderWrites writes(folder);
  EXPECT_FALSE(writes.WrittenSinceAsked()) << "nothing written yet";

  const struct {
    const char* what;
    std::function<void()> write;
  } cases[] = {
      {"appended", [&] { std::ofstream(folder / "site.db", std::ios::app) << "more"; }},
      {"created", [&] { std::ofstream(folder / "site.db-wal") << "frames"; }},
      {"renamed over", [&] { fs::rename(folder / "site.db-wal", folder / "site.db"); }},
      {"removed", [&] { fs::remove(folder / "site.db"); }},
  };
  for (const auto& c : cases) {
    c.write();
    EXPECT_TRUE(writes.WrittenSinceAsked()) << c.what;
    EXPECT_FALSE(writes.WrittenSinceAsked()) << c.what << ", asked again";
  }

  fs::remove_all(folder);
  EXPECT_TRUE(writes.WrittenSinceAsked());
  EXPECT_TRUE(writes.WrittenSinceAsked()) << "the watch went with the folder";
  EXPECT_TRUE(FolderWrites(folder).WrittenSinceAsked()) << "a folder that is not there";
}

}  // namespace
}  // namespace host
