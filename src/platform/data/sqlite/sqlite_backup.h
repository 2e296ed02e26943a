// SqliteBackup: a consistent copy of a live SQLite database, taken with SQLite's online backup
// API. The copy is one read transaction's view: every transaction committed before it began, none
// after, while the server goes on reading and writing (in WAL mode a reader does not block
// writers). Thread-safe (each call uses its own connections).
#pragma once

#include <filesystem>

namespace data {

// Copies the database file `from` (which must exist) into the new file `to` (replaced when it
// exists); `to` is a self-contained database, without -wal or -shm files. Throws DataError with
// SQLite's description on failure.
void BackUpSqliteDatabase(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace data
