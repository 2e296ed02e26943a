// The PostgreSQL driver: one libpq connection opened with PQconnectdbParams from the Data Source
// "HOST" or "HOST,PORT" (port 5432 by default), User ID, Password and Initial Catalog, with a
// connect timeout of 5 seconds, client_encoding UTF8 and DateStyle ISO.
//
// Values by column type: int2, int4, int8 and oid give whole numbers; float4, float8 and numeric
// real numbers (a numeric that no double holds, such as NaN or one beyond its range, stays text);
// bool gives 1 or 0; timestamp and timestamptz the text "YYYY-MM-DD HH:MM:SS" (fractions and zone
// dropped); date "YYYY-MM-DD"; every other type its text form; NULL the null value.
//
// Failures carry the server's primary message only (no "ERROR:" prefix, no quote of the
// statement). Not thread-safe (see native_connection.h).
#pragma once

#include <memory>

#include "platform/data/connection_string.h"
#include "platform/data/native_connection.h"

namespace data {

// Opens a connection to the server `settings.server` names. Throws DataError with libpq's
// description when it cannot connect or log in.
std::unique_ptr<NativeConnection> OpenPostgresConnection(const ConnectionSettings& settings);

}  // namespace data
