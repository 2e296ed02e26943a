// A member's products (the showcase): name, picture file and description. One connection, one
// thread.
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

struct Product {
  std::int64_t id = 0;
  std::string name;         // pname
  std::string picture;      // ppic: a file of the member's upload folder
  std::string description;  // pcontent
  std::string addtime;
};

// Member `userid`'s products, newest first, `page_size` to a page (see paged_rows.h).
PagedList<Product> ProductPages(data::Connection& connection, std::int64_t userid, int page_size);

// Product `id` when member `userid` owns it.
std::optional<Product> OwnedProduct(data::Connection& connection, std::int64_t userid,
                                    std::int64_t id);

// True when a product of member `userid` names picture file `name`.
bool PictureInUse(data::Connection& connection, std::int64_t userid, const std::string& name);

// Adds a product of member `actor.userid` (`product.id` 0, dated now) or updates product
// `product.id` of that member, with its audit row, and, when `uploaded` is set, the audit row of
// that picture file, all in one transaction. Returns false, changing nothing, when the product to
// update is not the member's.
bool SaveProduct(data::Connection& connection, const AuditActor& actor, const Product& product,
                 bool uploaded);

// Deletes product `id` of member `actor.userid` with its audit row. Returns false, deleting
// nothing, when it is not the member's.
bool DeleteProduct(data::Connection& connection, const AuditActor& actor, std::int64_t id);

}  // namespace store
