// A member's guestbook: visitors' messages, each with the owner's reply when there is one. One
// connection, one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/audit.h"
#include "store/paged_rows.h"

namespace data {
class Connection;
}

namespace store {

struct GuestbookEntry {
  std::int64_t id = 0;
  std::string author;  // lyr
  std::string title;
  std::string time;  // lytime
  std::string content;
  std::string reply;       // hf: the owner's markup
  std::string reply_time;  // hftime, "" when there is no reply
};

// Member `userid`'s messages, newest first, `page_size` to a page (see paged_rows.h).
PagedList<GuestbookEntry> GuestbookPages(data::Connection& connection, std::int64_t userid,
                                         int page_size);

// True when message `id` is member `userid`'s.
bool OwnsMessage(data::Connection& connection, std::int64_t userid, std::int64_t id);

// Message `id` when member `userid`'s guestbook holds it.
std::optional<GuestbookEntry> OwnedMessage(data::Connection& connection, std::int64_t userid,
                                           std::int64_t id);

// The owner's changes of message `id` of member `actor.userid`, each with its audit row in one
// transaction: sets the reply (dated now), removes the reply, or deletes the message. Each returns
// false, changing nothing, when the message is not the member's.
bool SetReply(data::Connection& connection, const AuditActor& actor, std::int64_t id,
              const std::string& reply);
bool RemoveReply(data::Connection& connection, const AuditActor& actor, std::int64_t id);
bool DeleteMessage(data::Connection& connection, const AuditActor& actor, std::int64_t id);

// Adds a visitor's message to member `userid`'s guestbook, dated now. Throws what the database
// throws.
void AddMessage(data::Connection& connection, std::int64_t userid, const std::string& author,
                const std::string& title, const std::string& content);

}  // namespace store
