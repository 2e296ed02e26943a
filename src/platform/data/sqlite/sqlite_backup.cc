#include "platform/data/sqlite/sqlite_backup.h"

#include <sqlite3.h>

#include <memory>
#include <string>

#include "platform/data/data_error.h"

namespace data {
namespace {

struct CloseDb {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using DbPtr = std::unique_ptr<sqlite3, CloseDb>;

// Opens `path` with `flags`; throws DataError naming `what` when it cannot.
DbPtr Open(const std::filesystem::path& path, int flags, const char* what) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DbPtr db(raw);
  if (rc != SQLITE_OK) {
    throw DataError(std::string("cannot open the ") + what + " database " + path.string() + ": " +
                    (db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc)));
  }
  return db;
}

}  // namespace

void BackUpSqliteDatabase(const std::filesystem::path& from, const std::filesystem::path& to) {
  // The server's busy timeout: a writer's lock is waited for, not failed on.
  constexpr int kBusyTimeoutMs = 10'000;
  const DbPtr source = Open(from, SQLITE_OPEN_READWRITE, "source");
  sqlite3_busy_timeout(source.get(), kBusyTimeoutMs);
  std::error_code ignored;
  std::filesystem::remove(to, ignored);
  const DbPtr copy = Open(to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "backup");
  sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
  if (backup == nullptr) {
    throw DataError("cannot start the backup: " + std::string(sqlite3_errmsg(copy.get())));
  }
  // All pages in one step: one read transaction, so one consistent view.
  int rc = SQLITE_OK;
  do {
    rc = sqlite3_backup_step(backup, -1);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(50);
  } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) {
    throw DataError("the backup of " + from.string() + " failed: " + sqlite3_errstr(rc));
  }
}

}  // namespace data
