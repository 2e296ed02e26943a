#include "site/newly.h"

#include <array>
#include <ctime>
#include <iterator>
#include <string>

#include "platform/data/connection.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/request_error.h"
#include "platform/host/objects/response.h"
#include "platform/host/sessions/address_prefix.h"
#include "platform/host/sessions/rate_limiter.h"
#include "platform/text/ascii.h"
#include "platform/text/utf8.h"
#include "store/guestbook.h"
#include "store/settings.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/site_query.h"
#include "wap/framework/whole_number.h"

namespace site {
namespace {

// One text of the form, its label and its limit; the field name is also the wap_lyb column.
struct Field {
  const char* name;
  const char* label;
  std::size_t max_chars;
};

constexpr Field kFields[] = {
    {"lyr", "姓名", kMaxWriterChars},
    {"title", "标题", kMaxTitleChars},
    {"content", "内容", kMaxMessageChars},
};
constexpr std::size_t kFieldCount = std::size(kFields);

using Texts = std::array<std::string, kFieldCount>;

// True when every field of `form` is one of the form's own.
bool HasOnlyFormFields(const host::Collection& form) {
  for (const std::string& name : form.Keys()) {
    bool known = false;
    for (const Field& field : kFields) known = known || text::EqualsIgnoreCase(name, field.name);
    if (!known) return false;
  }
  return true;
}

// True when `userid` owns a member site: it has a settings row.
bool MemberSiteExists(data::Connection& connection, std::int64_t userid) {
  return store::SettingOf(connection, userid).has_value();
}

// True when `text` holds nothing but blanks (ASCII white space and the ideographic space).
bool IsBlank(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = text::NextCodePoint(text, i);
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != 0x3000) return false;
  }
  return true;
}

// What is wrong with the typed texts, as a sentence for the visitor; "" when they can be stored.
std::string Problem(const Texts& typed) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const Field& field = kFields[i];
    if (IsBlank(typed[i])) return std::string("请填写") + field.label + "。";
    if (text::CharacterCount(typed[i]) > field.max_chars) {
      return std::string(field.label) + "不能超过" + std::to_string(field.max_chars) + "个字。";
    }
    if (typed[i].find('\0') != std::string::npos) {
      return std::string(field.label) + "含有不能保存的字符。";
    }
  }
  return "";
}

void AppendForm(wap::Page& page, const Texts& typed, const std::string& problem) {
  if (!problem.empty()) page.Buffer().append("<p>" + wap::ToCharRefs(problem) + "</p>\r\n");
  const std::string action = page.Attribute("newly.asp?" + wap::SiteQuery(page.Request()));
  const std::string submit_label = wap::ToCharRefs("提交");
  if (page.IsWml()) {
    std::string go = "<go href=\"" + action + "\" method=\"post\" accept-charset=\"utf-8\">";
    for (const Field& field : kFields) {
      go.append("<postfield name=\"").append(field.name).append("\" value=\"$(");
      go.append(field.name).append(")\"/>");
    }
    go.append("</go>");
    page.Buffer().append("<do type=\"accept\" label=\"" + submit_label + "\">" + go + "</do>\r\n");
    page.Buffer().append("<p>");
    for (std::size_t i = 0; i < kFieldCount; ++i) {
      const Field& field = kFields[i];
      page.Buffer().append(wap::ToCharRefs(std::string(field.label) + "：") + "<input name=\"" +
                           field.name + "\" type=\"text\" value=\"" + page.Attribute(typed[i]) +
                           "\" maxlength=\"" + std::to_string(field.max_chars) + "\"/><br/>\r\n");
    }
    page.Buffer().append("<anchor>" + submit_label + go + "</anchor></p>\r\n");
  } else {
    page.Buffer().append("<form action=\"" + action +
                         "\" method=\"post\" accept-charset=\"utf-8\">\r\n<p>");
    for (std::size_t i = 0; i < kFieldCount - 1; ++i) {
      const Field& field = kFields[i];
      page.Buffer().append(wap::ToCharRefs(std::string(field.label) + "：") + "<input name=\"" +
                           field.name + "\" type=\"text\" value=\"" + page.Attribute(typed[i]) +
                           "\" maxlength=\"" + std::to_string(field.max_chars) + "\" /><br />\r\n");
    }
    const Field& message = kFields[kFieldCount - 1];
    page.Buffer().append(wap::ToCharRefs(std::string(message.label) + "：") +
                         "<br /><textarea name=\"" + message.name + "\" rows=\"5\" cols=\"20\">" +
                         page.Attribute(typed[kFieldCount - 1]) + "</textarea><br />\r\n");
    page.Buffer().append("<input type=\"submit\" value=\"" + submit_label +
                         "\" /></p>\r\n</form>\r\n");
  }
  page.Buffer().append("<p><a href=\"lyb.asp?" + page.LinkSuffix() + "\">" +
                       wap::ToCharRefs("返回留言板") + "</a></p>\r\n");
}

}  // namespace

void NewMessagePage::StartPage(wap::Page& page) {
  if (!page.InitPage()) return;
  const std::int64_t userid = wap::RequireWholeNumber(page.Request().Item("userid"), "userid");
  page.SetPageTitle(wap::ToCharRefs("填写留言"));

  Texts typed;
  std::string problem;
  if (!page.Request().Form().Empty()) {
    if (!HasOnlyFormFields(page.Request().Form()))
      throw host::RequestError("unexpected form field");
    if (!MemberSiteExists(page.Connection(), userid)) {
      page.Response().Refuse(404, "no such member site");
      return;
    }
    for (std::size_t i = 0; i < kFieldCount; ++i) {
      typed[i] = page.Request().Form().Get(kFields[i].name).value_or("");
    }
    problem = Problem(typed);
    // The address to go on to, made before anything is stored: a site value too long to carry
    // in it refuses the post (400) with nothing stored.
    const std::string guestbook = page.Application().Get("domain").value_or("") + "/wap/lyb.asp?" +
                                  wap::SiteQuery(page.Request());
    if (problem.empty() && guestbook.size() > host::Response::kMaxLocation) {
      throw host::RequestError("the site values are too long");
    }
    // Posts are limited per address prefix (one client may hold many addresses) and per site.
    host::RateLimiters* const limiters = page.Limiters();
    const std::string prefix = host::AddressPrefix(page.Request().ServerVariable("REMOTE_ADDR"));
    const std::string site_key = std::to_string(userid);
    if (problem.empty() && limiters != nullptr) {
      auto wait = limiters->guestbook_by_prefix->Blocked(prefix);
      if (!wait) {
        wait = limiters->guestbook_by_site->Blocked(site_key);
        if (wait) limiters->guestbook_ceiling_reached->Record(site_key);
      }
      if (wait) {
        // The form again, with what was typed, saying when a message may be posted.
        const auto minutes = (wait->count() + 59) / 60;
        page.Response().SetStatus(429);
        page.Response().AddHeader("Retry-After", std::to_string(wait->count()));
        problem = "留言太频繁，请" + std::to_string(minutes) + "分钟后再试。";
      }
    }
    if (problem.empty()) {
      store::AddMessage(page.Connection(), userid, typed[0], typed[1], typed[2]);
      if (limiters != nullptr) {
        limiters->guestbook_by_prefix->Record(prefix);
        limiters->guestbook_by_site->Record(site_key);
      }
      page.Response().Redirect(guestbook);
      return;
    }
  }
  AppendForm(page, typed, problem);
  page.AppendHomeLink();
}

}  // namespace site
