#include "wap/member/home_address.h"

#include "platform/host/application.h"
#include "platform/host/request.h"
#include "wap/framework/page_context.h"
#include "wap/framework/url_encode.h"

namespace wap {

std::string SiteHomeAddress() {
  const PageContext& c = PageContext::Current();
  const auto item = [&](std::string_view name) {
    return PercentEncode(c.request->Item(name).value_or(""));
  };
  return c.application->Get("domain").value_or("") + "/wap/index.asp?userid=" + item("userid") +
         "&username=" + item("username") + "&siteid=" + item("siteid");
}

}  // namespace wap
