#include "backoffice/site_classes.h"

#include <array>
#include <memory>

#include "platform/text/percent.h"

namespace backoffice {

std::string KindLabel(std::optional<store::ClassKind> kind) {
  if (!kind) return "未知";
  switch (*kind) {
    case store::ClassKind::kSingleContent:
      return "单页内容";
    case store::ClassKind::kNews:
      return "新闻列表";
    case store::ClassKind::kProducts:
      return "产品展示";
    case store::ClassKind::kGuestbook:
      return "留言板";
    case store::ClassKind::kCallNumber:
      return "电话";
  }
  return "未知";
}

std::string LivePageAddress(const SignedInOwner& owner, const store::SiteClass& c) {
  if (!c.kind) return "";
  const char* page = nullptr;
  switch (*c.kind) {
    case store::ClassKind::kSingleContent:
      page = "showcontent.asp";
      break;
    case store::ClassKind::kNews:
      page = "newslist.asp";
      break;
    case store::ClassKind::kProducts:
      page = "productlist.asp";
      break;
    case store::ClassKind::kGuestbook:
      page = "lyb.asp";
      break;
    case store::ClassKind::kCallNumber:
      return "";
  }
  const std::string id = std::to_string(owner.userid);
  std::string address = std::string("/wap/") + page + "?userid=" + id +
                        "&username=" + text::PercentEncode(owner.username) + "&siteid=" + id;
  if (c.kind == store::ClassKind::kSingleContent || c.kind == store::ClassKind::kNews) {
    address += "&id=" + std::to_string(c.id) + "&classname=" + text::PercentEncode(c.name);
  }
  return address;
}

}  // namespace backoffice
