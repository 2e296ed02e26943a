#include "backoffice/handset_pages.h"

#include <string>

#include "backoffice/handset_view.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/deck_budget.h"
#include "wap/framework/deck_split.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/wml_dollars.h"
#include "wap/framework/xml_escape.h"

namespace backoffice {

int HandsetPages(std::string_view text, HandsetText how, std::string_view username,
                 std::string_view lead) {
  // The live page's frame around the text, with a class name and ids of the widest usual size.
  const std::string user = wap::EscapeXmlAttribute(username);
  const std::string suffix = "userid=123456&amp;username=" + user + "&amp;siteid=123456";
  const std::string before =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
      "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n<wml>\r\n<head>\r\n"
      "<meta http-equiv=\"Cache-Control\" content=\"max-age=0\" forua=\"true\"/>\r\n"
      "<meta http-equiv=\"content-type\" content=\"text/vnd.wap.wml;charset=UTF-8\"/>\r\n"
      "</head>\r\n<card id=\"card1\" title=\"" +
      wap::ToCharRefs("栏目名称栏目名称") + "\">\r\n<p><img src=\"/waphome/" + user +
      "/Demo.jpg\" alt=\"Demo\"/></p><p align=\"left\">";
  const std::string after = "</p>\r\n<p><a href=\"/wap/index.asp?" + suffix +
                            "&amp;\">首页</a></p>\r\n  </card>\r\n</wml>\r\n";
  const std::string markup =
      wap::WmlDollars(std::string(lead) +
                      (how == HandsetText::kPlain ? wap::ToCharRefs(text) : wap::OwnerText(text)));
  const std::string address = "shownews.asp?" + suffix + "&amp;id=12345";
  const auto parts = wap::SplitPage({before, markup, after, wap::LongPartKind::kText, address},
                                    wap::kDefaultWmlDeckBytes, wap::CompiledWmlBytes);
  return static_cast<int>(parts.size());
}

bool IsCountRound(const OfficeRequest& request) {
  return request.IsPost() && !request.FormValue("count").empty();
}

void SetHandsetPages(View& field_view, std::string_view text, HandsetText how,
                     std::string_view username, std::string_view lead) {
  field_view.set("deck_bytes", std::to_string(wap::kDefaultWmlDeckBytes));
  if (text.empty()) return;
  field_view.set("handset_pages", std::to_string(HandsetPages(text, how, username, lead)));
  const bool plain = how == HandsetText::kPlain;
  field_view.set(
      "handset_look",
      HandsetView("<p>" + (plain ? wap::ToCharRefs(text) : wap::OwnerText(text)) + "</p>",
                  [](std::string_view) { return std::string(); }));
  ViewList notes;
  if (text.find('\n') != std::string_view::npos) {
    notes.push_back(std::string(plain ? "回车换行在手机上不保留，各段会连成一段。"
                                      : "回车换行在手机上不保留；要换行请写 <br/>。"));
  }
  if (!plain && text.find_first_of("<&") != std::string_view::npos && !wap::IsOwnerMarkup(text)) {
    notes.push_back(
        std::string("这段文字里有不能用的标记，或者单独的 &（请写成 "
                    "&amp;amp;），所以标记不会生效，整段按文字原样显示。"));
  }
  field_view.set("handset_notes", notes);
}

}  // namespace backoffice
