// Running the back office's object (wap.adminmanage) from the command line, as a back-office host
// page in the web root's top folder would: a request built from the given values, a session holding
// the member's userid and UserName, a Server whose page folder is "/" (so site creation makes
// member folders in /waphome/), the web root's connection pool; then OnStartPage, the operation,
// OnEndPage. Each call is independent; one thread per call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/collection.h"

namespace cli {

struct AdminCall {
  std::filesystem::path root;                 // the web root
  std::string userid;                         // session value userid
  std::string username;                       // session value UserName
  std::vector<host::Collection::Pair> query;  // as the back-office page's link carries them
  std::vector<host::Collection::Pair> form;   // as its form posts them
};

// Runs `method` ("AdminClass_DoAction" or "CreateSite") of a new adminmanage object for `call`.
// Returns std::nullopt on success, else the description of the failure: the body OpenDB wrote when
// the database could not be opened, or what the operation threw. OnEndPage runs in every case, as
// the host runs it.
std::optional<std::string> RunAdminOperation(const AdminCall& call, std::string_view method);

// The number of classes with id `class_id` that belong to member `userid`, read from the web root's
// database (the settings of its conn.asp). Throws std::runtime_error when the database cannot be
// opened or read. Requires: `userid` is a whole number.
std::int64_t CountMemberClasses(const std::filesystem::path& root, std::int64_t userid,
                                std::int64_t class_id);

}  // namespace cli
