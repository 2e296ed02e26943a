#include "platform/host/request_builder.h"

#include <gtest/gtest.h>

namespace host {
namespace {

HttpRequestData Http(std::string method, std::string target, HttpHeaders headers = {},
                     std::string body = {}) {
  HttpRequestData http;
  http.method = std::move(method);
  http.target = std::move(target);
  http.headers = std::move(headers);
  http.body = std::move(body);
  http.remote_address = "10.0.0.7";
  http.local_address = "127.0.0.1";
  http.local_port = 8080;
  return http;
}

TEST(RequestBuilder, DecodesQueryStringValues) {
  struct Case {
    const char* query;
    const char* name;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"userid=12&username=abc", "USERNAME", "abc"},
      {"a=x+y%20z", "a", "x y z"},
      {"a=%E9%A6%96%E9%A1%B5", "a", "\xE9\xA6\x96\xE9\xA1\xB5"},  // UTF-8 passes
      {"a=%C0%AE", "a", "\xEF\xBF\xBD\xEF\xBF\xBD"},              // overlong → U+FFFD
      {"a=%zz%4", "a", "%zz%4"},                                  // bad escapes stay
      {"k=1&K=2&k=", "k", "1, 2, "},                              // repeated, any case
      {"a=&b", "a", ""},                                          // present, empty
      {"a=&b", "b", ""},
      {"a=1&&b=2", "b", "2"},
      {"a=1", "missing", std::nullopt},
      {"x%3Dy=1", "x=y", "1"},
  };
  for (const auto& c : cases) {
    const Request r = BuildRequest(Http("GET", std::string("/p.asp?") + c.query), "/p.asp");
    EXPECT_EQ(r.QueryString().Get(c.name), c.value) << c.query << " " << c.name;
    EXPECT_EQ(r.ServerVariable("QUERY_STRING"), c.query);
  }
}

TEST(RequestBuilder, ReadsTheFormOfAnUrlEncodedPostOnly) {
  const HttpHeaders form_type = {
      {"Content-Type", "application/x-www-form-urlencoded; charset=UTF-8"}};
  const Request post = BuildRequest(Http("POST", "/p.asp", form_type, "name=A+B&pw=%21"), "/p.asp");
  EXPECT_EQ(post.Form().Get("NAME"), "A B");
  EXPECT_EQ(post.Form().Text(), "name=A+B&pw=%21");
  EXPECT_EQ(post.Form().Keys(), (std::vector<std::string>{"name", "pw"}));
  EXPECT_EQ(post.ServerVariable("CONTENT_LENGTH"), "15");

  const Request other_type =
      BuildRequest(Http("POST", "/p.asp", {{"Content-Type", "text/plain"}}, "a=1"), "/p.asp");
  EXPECT_TRUE(other_type.Form().Empty());
  const Request get = BuildRequest(Http("GET", "/p.asp", form_type, "a=1"), "/p.asp");
  EXPECT_TRUE(get.Form().Empty());
}

TEST(RequestBuilder, LooksItemsUpInQueryFormCookiesThenServerVariables) {
  const HttpHeaders headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                               {"Cookie", "both=cookie; onlycookie=c1"},
                               {"Cookie", "second = c2 "},
                               {"Accept", "text/vnd.wap.wml"}};
  const Request r = BuildRequest(
      Http("POST", "/wap/p.asp?both=query&onlyquery=q", headers, "both=form&onlyform=f"),
      "/wap/p.asp");
  EXPECT_EQ(r.Item("BOTH"), "query");
  EXPECT_EQ(r.Item("onlyform"), "f");
  EXPECT_EQ(r.Item("onlycookie"), "c1");
  EXPECT_EQ(r.Item("second"), "c2");
  EXPECT_EQ(r.Item("http_accept"), "text/vnd.wap.wml");
  EXPECT_EQ(r.Item("nothing"), std::nullopt);
}

TEST(RequestBuilder, OffersTheUsualServerVariables) {
  const Request r = BuildRequest(Http("GET", "/wap/index.asp?x=1",
                                      {{"Host", "wap.example.com:8080"},
                                       {"Accept", "text/html"},
                                       {"accept", "text/vnd.wap.wml"},
                                       {"User-Agent", "Nokia"},
                                       {"X-Forwarded-For", "1.2.3.4"}}),
                                 "/wap/index.asp");
  const std::pair<const char*, const char*> expected[] = {
      {"HTTP_ACCEPT", "text/html, text/vnd.wap.wml"},
      {"http_user_agent", "Nokia"},
      {"HTTP_X_FORWARDED_FOR", "1.2.3.4"},
      {"REQUEST_METHOD", "GET"},
      {"SCRIPT_NAME", "/wap/index.asp"},
      {"QUERY_STRING", "x=1"},
      {"REMOTE_ADDR", "10.0.0.7"},
      {"SERVER_NAME", "wap.example.com"},
      {"SERVER_PORT", "8080"},
      {"CONTENT_TYPE", ""},
      {"CONTENT_LENGTH", ""},
      {"HTTP_COOKIE", ""},
  };
  for (const auto& [name, value] : expected) EXPECT_EQ(r.ServerVariable(name), value) << name;
}

TEST(RequestBuilder, FindsTheSessionCookieByItsExactName) {
  const HttpHeaders headers = {{"Cookie", "wapsessionid=lower; WAPSESSIONID=right; x=1"}};
  EXPECT_EQ(FindCookie(headers, "WAPSESSIONID"), "right");
  EXPECT_EQ(FindCookie({}, "WAPSESSIONID"), std::nullopt);
}

}  // namespace
}  // namespace host
