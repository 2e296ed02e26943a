// The SQLite driver: an existing database file opened read-write (never created), in WAL mode with
// a busy timeout of 5 seconds and foreign keys on.
//
// The rows of a read-only statement are read lazily: the statement is stepped only as far as the
// recordset moves, a row's values are converted only when one of them is read, and counting the
// rows steps a second copy of the statement to its end without converting any value. A statement
// that writes and returns rows (INSERT … RETURNING) is read in full when it runs, so that it never
// runs twice. INTEGER gives a whole number, REAL a
// real number, TEXT and BLOB text (the bytes as stored), NULL the null value.
//
// Results stay tied to their connection: when it is readied for reuse or closed, its open results
// are finalized and fail when read again. Not thread-safe (see native_connection.h).
#pragma once

#include <filesystem>
#include <memory>

#include "platform/data/native_connection.h"

namespace data {

// Opens the SQLite file `path` (relative paths are taken from `base_folder`). Throws DataError
// when the file does not exist (no file is created) or SQLite cannot open it as a database.
std::unique_ptr<NativeConnection> OpenSqliteConnection(const std::filesystem::path& path,
                                                       const std::filesystem::path& base_folder);

}  // namespace data
