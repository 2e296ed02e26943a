#include "backoffice/site_classes.h"

#include <array>
#include <memory>

#include "platform/data/connection.h"
#include "platform/data/param.h"
#include "platform/data/recordset.h"
#include "platform/data/value.h"
#include "platform/text/percent.h"

namespace backoffice {

std::vector<SiteClass> ListClasses(data::Connection& connection, std::int64_t userid) {
  const std::array<data::Param, 1> params = {userid};
  std::vector<SiteClass> classes;
  for (auto rows = connection.Execute(
           "select id,type,classname,sortid from wap_classes where userid=? order by sortid,id",
           params);
       !rows->Eof(); rows->MoveNext()) {
    classes.push_back({rows->Field("id").ToInteger().value_or(0),
                       static_cast<int>(rows->Field("type").ToInteger().value_or(-1)),
                       rows->Field("classname").ToText(),
                       static_cast<int>(rows->Field("sortid").ToInteger().value_or(0))});
  }
  return classes;
}

std::string KindLabel(int type) {
  constexpr const char* kLabels[] = {"单页内容", "新闻列表", "产品展示", "留言板", "电话"};
  return type >= 0 && type < 5 ? kLabels[type] : "未知";
}

std::string LivePageAddress(const SignedInOwner& owner, const SiteClass& c) {
  constexpr const char* kPages[] = {"showcontent.asp", "newslist.asp", "productlist.asp",
                                    "lyb.asp"};
  if (c.type < 0 || c.type > 3) return "";
  const std::string id = std::to_string(owner.userid);
  std::string address = std::string("/wap/") + kPages[c.type] + "?userid=" + id +
                        "&username=" + text::PercentEncode(owner.username) + "&siteid=" + id;
  if (c.type <= 1) {
    address += "&id=" + std::to_string(c.id) + "&classname=" + text::PercentEncode(c.name);
  }
  return address;
}

}  // namespace backoffice
