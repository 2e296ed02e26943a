// A member site's classes as the back office shows them: the kind's label and the address of the
// class's live page. Pure; thread-safe.
#pragma once

#include <optional>
#include <string>

#include "backoffice/owner_session.h"
#include "store/classes.h"

namespace backoffice {

// "单页内容", "新闻列表", "产品展示", "留言板" or "电话" for the kinds; "未知" for a type no kind
// has.
std::string KindLabel(std::optional<store::ClassKind> kind);

// The live page of class `c` of `owner`'s site, from the web root; "" for a call entry or an
// unknown type, which have no page.
std::string LivePageAddress(const SignedInOwner& owner, const store::SiteClass& c);

}  // namespace backoffice
