#include "wap/framework/member_login.h"

#include <optional>
#include <string>

#include "platform/host/objects/session.h"
#include "store/members.h"
#include "wap/framework/whole_number.h"

namespace wap {
namespace {

constexpr const char* kStamp = "memberstamp";

}  // namespace

void RecordMemberLogin(host::Session& session, std::int64_t id, std::string_view name,
                       std::int64_t stamp) {
  session.Set("memberid", std::to_string(id));
  session.Set("membername", std::string(name));
  session.Set(kStamp, std::to_string(stamp));
}

void EndMemberLogin(host::Session& session) {
  session.Set("memberid", "");
  session.Set("membername", "");
  if (session.Get(kStamp)) session.Set(kStamp, "");
}

void EndOutlivedMemberLogin(host::Session& session, data::Connection& connection) {
  const std::optional<std::string> member = session.Get("memberid");
  if (!member || member->empty()) return;
  const auto id = ParseWholeNumber(*member);
  const auto recorded = session.Get(kStamp);
  const auto stamp = id ? store::MemberSessionStamp(connection, *id) : std::nullopt;
  // A login recorded before stamps were kept has none, and ends too.
  if (!stamp || !recorded || std::to_string(*stamp) != *recorded) EndMemberLogin(session);
}

}  // namespace wap
