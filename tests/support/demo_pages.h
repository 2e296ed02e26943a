// The demo site's pages (site 1 of `wapsite init --demo`) with ordinary values, and the kinds of
// answer a page may give; one list for the soak, injection, concurrency and fault tests.
#pragma once

#include <regex>
#include <string>
#include <vector>

#include "support/http_client.h"
#include "support/markup_check.h"

namespace testing_support {

inline const Pairs kDemoSite = {{"userid", "1"}, {"username", "demo"}, {"siteid", "1"}};

struct DemoPage {
  std::string path;
  Pairs query = {};  // after the site values
  Pairs form = {};   // the POST body; none: a GET
  std::string Target() const {
    Pairs all = kDemoSite;
    all.insert(all.end(), query.begin(), query.end());
    return path + "?" + FormEncode(all);
  }
};

// The reading pages first, then those that sign in, out or store.
inline const std::vector<DemoPage> kDemoPages = {
    {"/wap/index.asp", {}, {}},
    {"/wap/newslist.asp", {{"id", "2"}, {"classname", "新闻"}}, {}},
    {"/wap/showcontent.asp", {{"id", "1"}, {"classname", "关于"}}, {}},
    {"/wap/shownews.asp", {{"id", "3"}}, {}},
    {"/wap/productlist.asp", {{"Page", "2"}}, {}},
    {"/wap/lyb.asp", {{"Page", "3"}}, {}},
    {"/wap/login.asp", {}, {}},
    {"/wap/newly.asp", {}, {}},
    {"/wap/logout.asp", {}, {}},
    {"/wap/checklogin.asp", {}, {{"username", "member"}, {"password", "wap123"}}},
    {"/wap/newly.asp", {}, {{"lyr", "访客"}, {"title", "问茶"}, {"content", "有货吗"}}},
};
inline constexpr std::size_t kReadingPages = 8;

// "page" (200 and valid markup), "empty" (200 without a body: the keyword filter), "redirect",
// "400", "opendb" (the one-line database failure), "500" (the generic error without details);
// anything else says what is wrong.
inline std::string Classify(const HttpResponse& r) {
  static const std::regex generic(R"(internal error \(id [0-9a-f]+\))");
  if (r.status == 302) return "redirect";
  if (r.status == 400) return "400";
  if (r.status == 500) return std::regex_match(r.body, generic) ? "500" : "500 with details";
  if (r.status != 200) return "status " + std::to_string(r.status);
  if (r.body.empty()) return "empty";
  if (r.body.starts_with("OpenDB():")) {
    return r.body.find('\n') == std::string::npos ? "opendb" : "opendb with details";
  }
  return ValidPage(r.body) ? "page" : "invalid page";
}

}  // namespace testing_support
