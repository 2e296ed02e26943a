// What a hostile client can make the host do: request paths decoded once and kept inside the web
// root and away from its private files, a bounded number of request values, sessions that expire
// and that anonymous floods cannot push signed-in visitors out of, and one log line per kind of
// repeated failure. The rest of the host is tested over HTTP (tests/integration/host_test.cc).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "platform/host/path_guard.h"
#include "platform/host/request_builder.h"
#include "platform/host/request_error.h"
#include "platform/host/server_log.h"
#include "platform/host/session_store.h"

namespace host {
namespace {

using std::chrono::minutes;

TEST(PathGuard, DecodesOnceNormalisesAndRefusesEveryWayOutAndEveryPrivateFile) {
  const std::pair<const char*, const char*> cases[] = {  // "" = refused with a RequestError
      {"/", "/"}, {"//wap///./x.gif", "/wap/x.gif"}, {"/a/b/../c", "/a/c"}, {"/a/b/..", "/a/"},
      {"/%77ap/%E9%A6%96.gif", "/wap/\xE9\xA6\x96.gif"}, {"/%252e%252e/x", "/%2e%2e/x"},
      {"/a%20b", "/a b"}, {"/..", ""}, {"/a/../../x", ""}, {"/%2e%2e/x", ""}, {"/%2E%2E%2Fx", ""},
      {"/a%2f..%2f..%2fx", ""}, {"/..%5c..%5cx", ""}, {"/a\\..\\x", ""}, {"/%c0%ae%c0%ae/x", ""},
      {"/%e0%80%ae", ""}, {"/x%00.gif", ""}, {"/x%0d%0a", ""}, {"/%ff", ""}, {"/%2", ""},
      {"/%g0", ""}, {"", ""}, {"x/y", ""}, {"http://h/x", ""}};
  for (const auto& [raw, decoded] : cases) {
    if (*decoded == '\0') {
      EXPECT_THROW(DecodeSitePath(raw), RequestError) << raw;
    } else {
      EXPECT_EQ(DecodeSitePath(raw).Virtual(), decoded) << raw;
    }
  }
  for (const char* raw : {"/CONN.ASP", "/wap/conn.asp", "/inc/fso.asp", "/Inc/", "/a/.git/config",
                          "/.env", "/DATA/site.db-wal", "/waphome/demo/copy.DB", "/x/s.sqlite"})
    EXPECT_TRUE(IsNeverServed(DecodeSitePath(raw))) << raw;
  for (const char* raw : {"/waphome/data/Demo.jpg", "/wap/index.asp", "/include/x.gif"})
    EXPECT_FALSE(IsNeverServed(DecodeSitePath(raw))) << raw;
  EXPECT_TRUE(IsHostPage(DecodeSitePath("/wap/INDEX.Asp")));
  EXPECT_FALSE(IsHostPage(DecodeSitePath("/x.aspx")));
}

TEST(RequestValues, EachCollectionHoldsAtMostMaxFieldsAndANameJoinsItsValues) {
  const auto fields = [](int count, const char* separator) {
    std::string text = "f0=v";
    for (int i = 1; i < count; ++i) text += separator + ("f" + std::to_string(i)) + "=v";
    return text;
  };
  for (const int count : {10, 11}) {
    for (const char* collection : {"query", "form", "cookies"}) {
      HttpRequestData http;
      http.method = "POST";
      http.target = "/p.asp";
      if (*collection == 'q') http.target += "?" + fields(count, "&");
      if (*collection == 'f') {
        http.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
        http.body = fields(count, "&");
      }
      if (*collection == 'c') http.headers.emplace_back("Cookie", fields(count, ";"));
      if (count > 10) {
        EXPECT_THROW(BuildRequest(http, "/p.asp", 10), RequestError) << collection;
      } else {
        EXPECT_EQ(BuildRequest(http, "/p.asp", 10).Item("F9"), "v") << collection;
      }
    }
  }
  const Collection c = Collection::ParseUrlEncoded("a=1&B=2&A=3&b=4&c=");
  EXPECT_EQ(c.Get("A"), "1, 3");
  EXPECT_EQ(c.Get("c"), "");
  EXPECT_EQ(c.Get("d"), std::nullopt);
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"a", "B", "c"}));
}

TEST(Sessions, ExpireWhenIdleRenewAndDropTheLongestIdleAnonymousOneFirst) {
  std::chrono::steady_clock::time_point now{};
  MemorySessionStore store(3, minutes(20), [&] { return now; }, 100);
  const std::string a = store.Create("a");
  EXPECT_TRUE(std::regex_match(a, std::regex("[0-9a-f]{32}"))) << a;
  ASSERT_TRUE(store.Set(a, "MemberId", "7"));
  now += minutes(19);
  EXPECT_EQ(store.Get(a, "memberid"), "7");  // and this read counts as activity
  now += minutes(19);
  EXPECT_EQ(store.Get(a, "MEMBERID"), "7");
  const std::string b = store.Create("a");
  now += minutes(1);
  const std::string c = store.Create("b");
  store.Set(c, "memberid", "");  // a login emptied again counts as anonymous
  now += minutes(1);
  const std::string d = store.Create("c");  // full: b, the longest idle anonymous one, goes
  EXPECT_FALSE(store.Touch(b));
  const std::string e = store.Create("c");  // then c
  EXPECT_FALSE(store.Touch(c));
  EXPECT_TRUE(store.Touch(d) && store.Touch(e));
  for (int i = 0; i < 50; ++i) store.Create("10.1.0." + std::to_string(i));
  const auto renewed = store.Renew(a);  // the signed-in one stays
  ASSERT_TRUE(renewed);
  EXPECT_EQ(store.Get(*renewed, "memberid"), "7");
  EXPECT_FALSE(store.Touch(a));
  now += minutes(20);
  EXPECT_EQ(store.Get(*renewed, "memberid"), std::nullopt);
  // An empty value stored where there is no session creates none.
  RequestSession anonymous(store, std::nullopt, "10.0.0.2");
  anonymous.Set("memberid", "");
  EXPECT_EQ(anonymous.NewCookieId(), std::nullopt);
  // One address holds at most its share, even signed in; its oldest goes first.
  MemorySessionStore shared(100, minutes(20), {}, 10);
  const std::string other = shared.Create("10.0.0.1");
  std::vector<std::string> own;
  for (int i = 0; i < 30; ++i) {
    own.push_back(shared.Create("10.0.0.2"));
    shared.Set(own.back(), "userid", "1");
  }
  EXPECT_EQ(shared.Size(), 11u);
  EXPECT_TRUE(shared.Touch(other) && shared.Touch(own[20]));
  EXPECT_FALSE(shared.Touch(own[19]));
}

TEST(ServerLog, CountsARepeatedErrorUnderOneId) {
  std::ostringstream access, errors;
  std::string id;
  {
    ServerLog log(access, errors);
    id = log.Error("GET /a.asp: no such column");
    for (int i = 0; i < 99; ++i) EXPECT_EQ(log.Error("GET /a.asp: no such column"), id);
    EXPECT_NE(log.Error("GET /b.asp: failed"), id);
  }
  EXPECT_NE(errors.str().find("error " + id + ": GET /a.asp: no such column (repeated 99 more "
                              "times)\n"), std::string::npos) << errors.str();
}

}  // namespace
}  // namespace host
