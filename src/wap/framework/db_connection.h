// Opening and closing the page's database connection.
#pragma once

#include <string>

#include "wap/framework/page_context.h"

namespace wap {

// The connection string for `settings`' values: "Provider=SQLOLEDB.1;Persist Security Info=False;
// Data Source=S;User ID=U;Password=W;Initial Catalog=D".
std::string BuildConnectionString(const DBSettings& settings);

// Loads the settings (LoadDBSettings, whose failures are not caught), builds the connection string
// into the context and opens the context's connection. On a failure to open, writes "OpenDB():"
// and the failure's description to the response, ends the response and returns false. Returns
// true when the connection is open. Requires: CaptureHostObjects and CreateDBObjects ran.
[[nodiscard]] bool OpenDB();

// Closes the shared recordset and the connection where they are open and releases both. Never
// throws; does nothing for objects already released.
void CloseDB() noexcept;

}  // namespace wap
