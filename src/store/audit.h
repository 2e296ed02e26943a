// The audit trail: what each owner changed, when, from which client address, and which row or file
// it touched. A change that is audited writes its row in the change's own transaction, so the trail
// holds a row exactly for each change that happened. One connection, one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace data {
class Connection;
}

namespace store {

// Who makes a change, for its audit row: the owner `userid` at the client `address`.
struct AuditActor {
  std::int64_t userid = 0;
  std::string address;
};

struct AuditEntry {
  std::string time;  // YYYY-MM-DD HH:MM:SS
  std::string address;
  std::string action;
  std::string target;
};

// Records that `actor` did `action` to `target` (what changed, named as the owner knows it:
// 栏目“新闻”, 文章“TITLE”, 产品“NAME”), now.
// Joins the caller's transaction when one is open. Throws what the database throws.
void RecordAudit(data::Connection& connection, const AuditActor& actor, std::string_view action,
                 std::string_view target);

// The latest `count` entries of owner `userid`, newest first.
std::vector<AuditEntry> LatestAudit(data::Connection& connection, std::int64_t userid, int count);

}  // namespace store
