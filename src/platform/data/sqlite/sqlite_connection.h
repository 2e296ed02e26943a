// The SQLite driver: an existing database file opened read-write (never created), in WAL mode with
// a busy timeout of 5 seconds and foreign keys on.
//
// Statements are prepared once per connection and kept for reuse by their text (see
// statement_cache.h). The rows of a read-only statement are read lazily: the statement is stepped
// only as far as the recordset moves, and a row's values are converted only when one of them is
// read. Counting the rows, and a jump to a distant row, run statements derived from the query that
// pass over rows without reading their columns (SqliteRows in the .cc says how), so paging one
// row at a time through a long list costs about as much at its middle as at its start. A
// statement that writes and returns rows (INSERT … RETURNING) is read in full when it runs, so
// that it never runs twice. INTEGER gives a whole number, REAL a real number, TEXT and BLOB text
// (the bytes as stored), NULL the null value.
//
// Results stay tied to their connection: when it is readied for reuse or closed, its open results
// let go of their statements and fail when read again. Not thread-safe (see native_connection.h):
// the handle is opened without SQLite's own locking, which the pool's rule of one borrower at a
// time makes unnecessary.
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
