// A member site's classes as the back office lists them, with the kind's label and the address of
// the class's live page. One connection, one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backoffice/owner_session.h"

namespace data {
class Connection;
}

namespace backoffice {

struct SiteClass {
  std::int64_t id = 0;
  int type = 0;
  std::string name;
  int sortid = 0;
};

// Member `userid`'s classes in the site's order (position, then id).
std::vector<SiteClass> ListClasses(data::Connection& connection, std::int64_t userid);

// "单页内容", "新闻列表", "产品展示", "留言板" or "电话" for types 0–4; "未知" otherwise.
std::string KindLabel(int type);

// The live page of class `c` of `owner`'s site, from the web root; "" for a call entry or an
// unknown type, which have no page.
std::string LivePageAddress(const SignedInOwner& owner, const SiteClass& c);

}  // namespace backoffice
