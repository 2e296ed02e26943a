// The audit trail of the back office: what each owner changed, when, from which client address,
// and which row or file it touched. One connection, one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace data {
class Connection;
}

namespace backoffice {

struct AuditEntry {
  std::string time;  // YYYY-MM-DD HH:MM:SS
  std::string address;
  std::string action;
  std::string target;
};

// Records that owner `userid` at `address` did `action` to `target` (a row such as
// "wap_classes 12" or a file), now. Throws what the database throws.
void RecordAudit(data::Connection& connection, std::int64_t userid, std::string_view address,
                 std::string_view action, std::string_view target);

// The latest `count` entries of owner `userid`, newest first.
std::vector<AuditEntry> LatestAudit(data::Connection& connection, std::int64_t userid, int count);

}  // namespace backoffice
