// The texts of a member's classes: a single-content class's text, a news class's articles. Read
// with their class's name and member. One connection, one thread.
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

struct Content {
  std::int64_t id = 0;
  std::int64_t cid = 0;  // the class
  std::string title;
  std::string content;
  std::optional<std::string> addtime;  // nullopt when NULL
  std::string classname;
  std::int64_t userid = 0;
};

// The texts of class `cid`, by id.
std::vector<Content> ContentsOfClass(data::Connection& connection, std::int64_t cid);

// The first text (by id) of class `cid`; std::nullopt when it has none.
std::optional<Content> FirstContentOfClass(data::Connection& connection, std::int64_t cid);

// Text `id`; std::nullopt when there is none.
std::optional<Content> ContentById(data::Connection& connection, std::int64_t id);

// The texts of class `cid`, newest first, `page_size` to a page (see paged_rows.h). The rows
// carry no class name or member.
PagedList<Content> ContentPages(data::Connection& connection, std::int64_t cid, int page_size);

// The owner's changes of the texts of class `cid` of member `actor.userid`, each with its audit
// row in one transaction. The caller has checked that the member owns the class.
// Sets the single text of the class: its first text when it has one, else a new one titled
// `classname`, dated now.
void SaveSingleText(data::Connection& connection, const AuditActor& actor, std::int64_t cid,
                    const std::string& classname, const std::string& content);
// Adds an article (`id` nullopt, dated now) or changes article `id` of the class. Returns false,
// changing nothing, when the class has no such article.
bool SaveArticle(data::Connection& connection, const AuditActor& actor, std::int64_t cid,
                 std::optional<std::int64_t> id, const std::string& title,
                 const std::string& content);
// Deletes article `id` of the class. Returns false, deleting nothing, when it has none such.
bool DeleteArticle(data::Connection& connection, const AuditActor& actor, std::int64_t cid,
                   std::int64_t id);

}  // namespace store
