// What a hostile client can make the host do: requests read with the server's limits, request
// paths decoded once and kept inside the web root, a bounded number of request values, and sessions
// that expire and that anonymous floods cannot push signed-in visitors out of. The rest is tested
// over HTTP in tests/integration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/http/http_request_reader.h"
#include "platform/host/http/path_guard.h"
#include "platform/host/http/request_builder.h"
#include "platform/host/objects/request_error.h"
#include "platform/host/sessions/memory_session_store.h"

namespace host {
namespace {

using std::chrono::minutes;

// The connection's own read steps over bytes: where a request ends, and what is refused.
TEST(ReadHttpRequest, EndsEachRequestWhereItsFramingSaysAndRefusesWhatTheLimitsForbid) {
  using Outcome = HttpRequestRead::Outcome;
  HttpServerOptions limits;
  limits.header_limit = 256;
  limits.body_limit = 8;
  const std::string get = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string long_header = "GET / HTTP/1.1\r\nHost: x\r\nX: " + std::string(300, 'a');
  const std::string post = "POST /p HTTP/1.1\r\nHost: x\r\n";
  struct Case {
    std::string bytes;
    Outcome outcome;
    std::string body_or_reason;  // the body read, or the reason of the refusal
    std::size_t consumed_or_status;
  } cases[] = {
      {get + "GET /b HTTP/1.1\r\n", Outcome::kRequest, "", get.size()},
      {"POST /p HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nabcdeGET", Outcome::kRequest,
       "abcde", 53},
      {"POST /p HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
       Outcome::kRequest, "abc", 70},
      {"POST /p HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nab", Outcome::kIncomplete, "", 0},
      {"GET /a HTTP/1.1\r\nHost: x\r\n", Outcome::kIncomplete, "", 0},
      {"POST /p HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\n\r\n", Outcome::kRefused,
       "request body too large", 413},
      {long_header, Outcome::kRefused, "request header too large", 431},
      {"GET / HTTP/1.1\r\n\r\n", Outcome::kRefused, "", 400},
      {"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
       Outcome::kRefused, "", 400},
      {"BAD\r\n\r\n", Outcome::kRefused, "malformed request", 400},
      {"GET / HTTP/1.1\r\nBad Header\r\n\r\n", Outcome::kRefused, "malformed request", 400},
      {"POST /p HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", Outcome::kRefused,
       "malformed request", 400},
      {"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n", Outcome::kRefused, "", 400},
      // A head that leaves unclear where its body ends or which host it names.
      {post + "Transfer-Encoding: xchunked\r\n\r\n", Outcome::kRefused, "", 400},
      {post + "Transfer-Encoding: chunked, chunked\r\n\r\n", Outcome::kRefused, "", 400},
      {post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n", Outcome::kRefused,
       "", 400},
      {post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n", Outcome::kRefused, "",
       400},
      {post + "Content-Length: 0, 5\r\n\r\n", Outcome::kRefused, "", 400},
      {post + "Host: y\r\n\r\n", Outcome::kRefused, "", 400},
      {post + "Transfer-Encoding: Chunked\r\n\r\n0\r\n\r\n", Outcome::kRequest, "", 62},
      {post + "Content-Length: 0\r\nContent-Length: 0\r\n\r\n", Outcome::kRequest, "", 67},
  };
  for (const Case& c : cases) {
    const HttpRequestRead read = ReadHttpRequest(c.bytes, limits);
    EXPECT_EQ(read.outcome, c.outcome) << c.bytes;
    if (c.outcome == Outcome::kRequest) {
      EXPECT_EQ(read.request.body, c.body_or_reason) << c.bytes;
      EXPECT_EQ(read.consumed, c.consumed_or_status) << c.bytes;
    } else if (c.outcome == Outcome::kRefused) {
      EXPECT_EQ(read.status, static_cast<int>(c.consumed_or_status)) << c.bytes;
      if (!c.body_or_reason.empty()) {
        EXPECT_EQ(read.reason, c.body_or_reason) << c.bytes;
      }
    }
  }
}

TEST(PathGuard, DecodesOnceNormalisesAndRefusesEveryWayOut) {
  const std::pair<const char*, const char*> cases[] = {
      {"/", "/"},
      {"//wap///./x.gif", "/wap/x.gif"},
      {"/a/b/../c", "/a/c"},
      {"/a/b/..", "/a/"},
      {"/%77ap/%E9%A6%96.gif", "/wap/\xE9\xA6\x96.gif"},
      {"/%252e%252e/x", "/%2e%2e/x"},
      {"/a%20b", "/a b"}};
  for (const auto& [raw, decoded] : cases) {
    std::string got;
    try {
      got = DecodeSitePath(raw).Virtual();
    } catch (const RequestError&) {
    }
    EXPECT_EQ(got, decoded) << raw;
  }
  for (const char* refused :
       {"/..", "/a/../../x", "/%2e%2e/x", "/%2E%2E%2Fx", "/a%2f..%2f..%2fx", "/..%5c..%5cx",
        "/a\\..\\x", "/%c0%ae%c0%ae/x", "/%e0%80%ae", "/x%00.gif", "/x%0d%0a", "/x%7F", "/%ff",
        "/%2", "/%g0", "", "x/y", "http://h/x"})
    EXPECT_THROW((void)DecodeSitePath(refused), RequestError) << refused;
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
      std::string f9 = "refused";
      try {
        f9 = BuildRequest(http, "/p.asp", 10).Item("F9").value_or("");
      } catch (const RequestError&) {
      }
      EXPECT_EQ(f9, count > 10 ? "refused" : "v") << collection;
    }
  }
  EXPECT_EQ(Collection::ParseUrlEncoded("a=1&B=2&A=3").Get("A"), "1, 3");  // joined in order
  // A header given again in any case joins its variable; another name for it does not.
  HttpRequestData twice;
  twice.method = "GET";
  twice.headers = {{"X-Seen", "a"}, {"x-seen", "b"}, {"X_Seen", "c"}};
  EXPECT_EQ(BuildRequest(twice, "/p.asp", 10).ServerVariable("HTTP_X_SEEN"), "a, b");
}

TEST(Sessions, ExpireWhenIdleRenewAndDropTheLongestIdleAnonymousOneFirst) {
  std::chrono::steady_clock::time_point now{};
  const SignInKinds kinds = {{"memberid", minutes(20)}, {"userid", minutes(30)}};
  MemorySessionStore store(
      3, minutes(20), [&] { return now; }, 100, kinds);
  const auto value = [&store](const std::string& id) {  // "gone" when the session is not live
    const auto values = store.Load(id);
    return values ? values->contains("memberid") ? values->at("memberid") : "" : "gone";
  };
  const std::string a = store.Create("a");
  ASSERT_TRUE(store.Set(a, "memberid", "7"));
  now += minutes(19);
  EXPECT_EQ(value(a), "7");  // and this read counts as activity
  now += minutes(19);
  EXPECT_EQ(value(a), "7");
  const std::string b = store.Create("a");
  now += minutes(1);
  const std::string c = store.Create("b");
  store.Set(c, "memberid", "");  // a login emptied again counts as anonymous
  now += minutes(1);
  const std::string d = store.Create("c");  // full: b, the longest idle anonymous one, goes
  EXPECT_EQ(value(b), "gone");
  EXPECT_EQ(value(c) + value(d), "");
  for (int i = 0; i < 50; ++i) store.Create("10.1.0." + std::to_string(i));
  const std::string renewed = store.Renew(a).value_or("none");  // the signed-in one stays
  EXPECT_EQ(value(renewed), "7");
  EXPECT_EQ(value(a), "gone");
  const std::string e = store.Create("e");
  ASSERT_TRUE(store.Set(e, "userid", "1"));  // a back-office owner's session idles 30 minutes
  now += minutes(20);
  EXPECT_EQ(value(renewed), "gone");
  now += minutes(9);
  EXPECT_TRUE(store.Load(e).has_value());
  now += minutes(30);
  EXPECT_FALSE(store.Load(e).has_value());
  MemorySessionStore shared(100, minutes(20), {}, 10, kinds);  // one address: 10, signed in or not
  const std::string other = shared.Create("10.0.0.1");
  std::vector<std::string> own;
  for (int i = 0; i < 30; ++i)
    shared.Set(own.emplace_back(shared.Create("10.0.0.2")), "userid", "1");
  EXPECT_EQ(shared.Size(), 11u);
  EXPECT_TRUE(shared.Load(other) && shared.Load(own[20]) && !shared.Load(own[19]));
}

TEST(Sessions, AFullStoreGivesUpAnonymousThenEachSignInKindInTheOrderGiven) {
  const SignInKinds kinds = {{"memberid", minutes(20)}, {"userid", minutes(30)}};
  std::chrono::steady_clock::time_point now{};
  MemorySessionStore store(
      20, minutes(20), [&] { return now; }, 10, kinds);
  const std::string owner = store.Create("10.0.0.1");
  ASSERT_TRUE(store.Set(owner, "userid", "1"));
  std::vector<std::string> members;
  for (int i = 0; i < 22; ++i) {  // 11 addresses, all active after the owner
    now += std::chrono::seconds(1);
    const std::string id = store.Create("10.0.1." + std::to_string(i / 2));
    ASSERT_TRUE(store.Set(id, "memberid", std::to_string(i)));
    members.push_back(id);
  }
  EXPECT_TRUE(store.Load(owner).has_value());
  EXPECT_FALSE(store.Load(members[0]).has_value());  // the longest idle member went
  EXPECT_TRUE(store.Load(members[21]).has_value());
  EXPECT_EQ(store.Size(), 20u);
}

}  // namespace
}  // namespace host
