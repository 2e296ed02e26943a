#include "wap/member/home_address.h"

#include "platform/host/objects/application.h"
#include "wap/framework/site_query.h"

namespace wap {

std::string SiteHomeAddress(const host::Application& application, const host::Request& request) {
  return application.Get("domain").value_or("") + "/wap/index.asp?" + SiteQuery(request);
}

}  // namespace wap
