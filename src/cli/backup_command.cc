// `wapsite backup` and `wapsite restore`: a web root (member folders, templates, pages, settings)
// and its SQLite database as one tar file. The backup runs beside a serving server: the database
// is copied with SQLite's online backup (one consistent view), the files as they are. A database
// on PostgreSQL is left to pg_dump; the command says so and copies the files. A restore onto a
// new address (--site-address) points the site address setting and the members' entry pages at
// it.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/site_database.h"
#include "cli/web_root_archive.h"
#include "platform/data/connection_string.h"
#include "platform/data/sqlite/sqlite_backup.h"
#include "platform/fs/atomic_write.h"
#include "wap/admin/site_creation.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// The SQLite file of `settings` relative to `root` ("data/site.db"); std::nullopt on PostgreSQL.
// Throws std::runtime_error when the file lies outside the root.
std::optional<std::string> SqliteName(const fs::path& root,
                                      const data::ConnectionSettings& settings) {
  const std::string_view path = data::SqlitePathOf(settings.server);
  if (path.empty()) return std::nullopt;
  const fs::path full = fs::weakly_canonical(root / fs::path(path));
  const fs::path relative = full.lexically_relative(fs::weakly_canonical(root));
  if (relative.empty() || *relative.begin() == "..") {
    throw std::runtime_error("the SQLite database " + full.string() +
                             " lies outside the web root; copy it with sqlite3's .backup");
  }
  return relative.generic_string();
}

std::string PostgresNote(const data::ConnectionSettings& settings, const char* what) {
  return "the database is on PostgreSQL (server " + settings.server + ", database " +
         settings.database + "): " + what;
}

// A file of our own that is removed when it goes, unless kept.
class TempFile {
 public:
  explicit TempFile(fs::path path) : path_(std::move(path)) {}
  ~TempFile() {
    std::error_code ignored;
    if (!kept_) fs::remove(path_, ignored);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const fs::path& Path() const { return path_; }
  void MoveTo(const fs::path& target) {
    fs::rename(path_, target);
    kept_ = true;
  }

 private:
  fs::path path_;
  bool kept_ = false;
};

int Backup(const std::string& root_arg, const std::string& to) {
  const fs::path root = fs::canonical(root_arg);
  const data::ConnectionSettings settings = ReadSiteSettings(root);
  const std::optional<std::string> database = SqliteName(root, settings);
  const fs::path target = fs::weakly_canonical(fs::absolute(to));
  TempFile tar_file(target.string() + ".partial"), snapshot(target.string() + ".db-partial");
  if (database) data::BackUpSqliteDatabase(root / *database, snapshot.Path());

  TarWriter tar(tar_file.Path());
  const auto skip = [&](const std::string& name) {
    // The live database and its companions (the copy stands for them), and our own files.
    if (database && (name == *database || name == *database + "-wal" ||
                     name == *database + "-shm" || name == *database + "-journal")) {
      return true;
    }
    const fs::path full = root / name;
    return full == target || full == tar_file.Path() || full == snapshot.Path();
  };
  std::size_t files = tar.AddTree(root, skip, [](const std::string& name) {
    std::cerr << "wapsite backup: left out " << name << " (not a plain file or folder)\n";
  });
  if (database) {
    tar.AddFile(snapshot.Path(), *database);
    ++files;
  }
  tar.Close();
  tar_file.MoveTo(target);
  std::cout << "backed up " << root.string() << " to " << target.string() << ": " << files
            << " files" << (database ? ", the database a consistent copy" : "") << "\n";
  if (!database) std::cout << PostgresNote(settings, "back it up with pg_dump") << "\n";
  return 0;
}

// Points the restored root `root` at `address`: its site address setting, and the entry page of
// every member folder (waphome/NAME/index.asp; no other file is touched). Returns how many entry
// pages now redirect there; a page that is not an entry page site creation wrote is left as it
// is, and said so.
std::size_t PointEntryPagesAt(const fs::path& root, const std::string& address) {
  fso::WriteFileAtomically(root / "inc" / "siteaddress.txt", address + "\n");
  std::size_t moved = 0;
  std::error_code ec;
  for (const auto& folder : fs::directory_iterator(root / "waphome", ec)) {
    const fs::path entry = folder.path() / "index.asp";
    if (!folder.is_directory(ec) || !fs::is_regular_file(entry, ec)) continue;
    std::ifstream in(entry, std::ios::binary);
    const std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::optional<std::string> pointed = wap::EntryPageWithAddress(page, address);
    if (!pointed) {
      std::cerr << "wapsite restore: left " << entry.lexically_relative(root).string()
                << " as it is: not an entry page that site creation wrote\n";
      continue;
    }
    if (*pointed != page) fso::WriteFileAtomically(entry, *pointed);
    ++moved;
  }
  return moved;
}

int Restore(const std::string& from, const std::string& root_arg, bool force,
            const std::optional<std::string>& site_address) {
  const fs::path root = fs::weakly_canonical(fs::absolute(root_arg));
  if (fs::exists(root) && fs::is_directory(root) && !fs::is_empty(root) && !force) {
    std::cerr << "wapsite restore: " << root.string()
              << " is not empty; restoring replaces its files: stop its server first and add "
                 "--force\n";
    return 1;
  }
  // A site that could not be served (no readable conn.asp) does not replace the root.
  const Restored restored =
      RestoreWebRoot(from, root, [](const fs::path& laid_out) { ReadSiteSettings(laid_out); });
  std::cout << "restored " << restored.files << " files into " << root.string() << "\n";
  if (!restored.previous.empty()) {
    std::cout << "its previous contents are in " << restored.previous.string()
              << "; remove that folder once the restored site is checked\n";
  }
  const data::ConnectionSettings settings = ReadSiteSettings(root);
  const std::optional<std::string> database = SqliteName(root, settings);
  if (database) {
    // Journals that came with the archive belong to no copy of this database.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(root / (*database + suffix));
  }
  if (!database) {
    std::cout << PostgresNote(settings, "restore it from its pg_dump with pg_restore") << "\n";
  }
  if (site_address) {
    const std::size_t moved = PointEntryPagesAt(root, *site_address);
    std::cout << "the site address is " << *site_address
              << "; member entry pages pointed at it: " << moved << "\n";
  }
  return 0;
}

// Runs `body`, turning a failure into exit code 1 and one line on standard error.
void Run(const char* name, int& exit_code, const std::function<int()>& body) {
  try {
    exit_code = body();
  } catch (const std::exception& e) {
    std::cerr << "wapsite " << name << ": " << e.what() << "\n";
    exit_code = 1;
  }
}

}  // namespace

void AddBackupCommands(CLI::App& app, int& exit_code) {
  struct Options {
    std::string root, file;
    bool force = false;
    std::optional<std::string> site_address;
  };
  auto options = std::make_shared<Options>();
  CLI::App* backup = app.add_subcommand(
      "backup",
      "Write a web root and its SQLite database to a tar file, while the server runs: the "
      "database as one consistent copy, the member folders, templates and pages as they are. "
      "With PostgreSQL, back the database up with pg_dump; the files are copied.");
  backup->add_option("--root", options->root, "The web root")
      ->required()
      ->check(CLI::ExistingDirectory);
  backup->add_option("--to", options->file, "The tar file to write (replaced)")->required();
  backup->callback([options, &exit_code] {
    Run("backup", exit_code, [&] { return Backup(options->root, options->file); });
  });
  CLI::App* restore = app.add_subcommand(
      "restore",
      "Lay out a web root again from a tar file that 'wapsite backup' wrote: files 0644, "
      "folders 0755, owned by you. The archive is laid out in a new folder beside the root, "
      "which takes the root's place only when every entry was written; an archive holding a "
      "link, a special file or a name outside the root is refused whole. Refuses a folder that "
      "is not empty unless --force (its contents are then moved aside, not deleted); stop the "
      "server of that root first.");
  restore->add_option("--from", options->file, "The tar file")
      ->required()
      ->check(CLI::ExistingFile);
  restore->add_option("--root", options->root, "The web root to lay out")->required();
  restore->add_flag("--force", options->force,
                    "Replace a web root that is not empty (its contents are moved beside it)");
  restore
      ->add_option("--site-address", options->site_address,
                   "The public address the restored site is served at (a new one): written to "
                   "inc/siteaddress.txt, and every member's entry page waphome/NAME/index.asp "
                   "redirects to it; uploaded pictures and other files stay as they are")
      ->type_name("URL")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            if (value.empty()) return "the site address may not be empty";
            for (const char c : value) {
              if (c == '"' || c == ' ' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                return "the site address may not hold blanks, double quotes or control "
                       "characters";
              }
            }
            if (value.find("%>") != std::string::npos) return "the site address may not hold %>";
            return "";
          },
          "URL"));
  restore->callback([options, &exit_code] {
    Run("restore", exit_code, [&] {
      return Restore(options->file, options->root, options->force, options->site_address);
    });
  });
}

}  // namespace cli
