// What one hostile client can make the host do: at most a bounded number of request values, no
// redirect away from the site, no eviction of signed-in visitors by anonymous floods, and one log
// line per kind of repeated failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/data/connection_pool.h"
#include "platform/host/request_builder.h"
#include "platform/host/request_dispatcher.h"
#include "platform/host/request_error.h"
#include "platform/host/session_store.h"
#include "support/temp_dir.h"

namespace host {
namespace {

std::string Fields(int count, char separator = '&') {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i > 0) text.push_back(separator);
    text += "f" + std::to_string(i) + "=v";
  }
  return text;
}

TEST(HostileRequests, EachCollectionHoldsAtMostMaxFieldsPairs) {
  struct Case {
    const char* collection;
    int count;
    bool refused;
  };
  for (const Case c : {Case{"query", 10, false}, Case{"query", 11, true}, Case{"form", 10, false},
                       Case{"form", 11, true}, Case{"cookies", 11, true}}) {
    const std::string collection = c.collection;
    HttpRequestData http;
    http.method = "POST";
    http.target = "/p.asp";
    if (collection == "query") http.target += "?" + Fields(c.count);
    if (collection == "form") {
      http.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
      http.body = Fields(c.count);
    }
    if (collection == "cookies") http.headers.emplace_back("Cookie", Fields(c.count, ';'));
    SCOPED_TRACE(collection + " " + std::to_string(c.count));
    if (c.refused) {
      EXPECT_THROW(BuildRequest(http, "/p.asp", 10), RequestError);
    } else {
      const Request request = BuildRequest(http, "/p.asp", 10);
      EXPECT_EQ(request.Item("F9"), "v");  // found by its folded name
    }
  }
}

TEST(HostileRequests, ALookupJoinsEveryValueOfANameInAnyCaseInRequestOrder) {
  const Collection c = Collection::ParseUrlEncoded("a=1&B=2&A=3&b=4&c=");
  EXPECT_EQ(c.Get("A"), "1, 3");
  EXPECT_EQ(c.Get("b"), "2, 4");
  EXPECT_EQ(c.Get("c"), "");
  EXPECT_EQ(c.Get("d"), std::nullopt);
  EXPECT_EQ(c.Keys(), (std::vector<std::string>{"a", "B", "c"}));
}

TEST(HostileRequests, AFolderRedirectNamesAPathOfThisSiteOnly) {
  testing_support::TempDir dir;
  std::filesystem::create_directories(dir.path() / "wap" / "a b");
  std::ostringstream access, errors;
  ServerLog log(access, errors);
  Application application;
  MemorySessionStore sessions(10);
  data::ConnectionPool pool(dir.path());
  RequestDispatcher dispatcher({std::filesystem::canonical(dir.path()), {}, application, sessions,
                                pool, log});
  const std::pair<const char*, const char*> cases[] = {
      {"//evil.example/../wap", "/wap/"},
      {"/wap", "/wap/"},
      {"/./wap?x=1", "/wap/?x=1"},
      {"/wap/a%20b", "/wap/a%20b/"},
      {"/wap//a b", "/wap/a%20b/"},
  };
  for (const auto& [target, location] : cases) {
    HttpRequestData request;
    request.method = "GET";
    request.target = target;
    const HttpReply reply = dispatcher.Handle(request);
    EXPECT_EQ(reply.status, 301) << target;
    bool found = false;
    for (const auto& [name, value] : reply.headers) {
      if (name != "Location") continue;
      found = true;
      EXPECT_EQ(value, location) << target;
    }
    EXPECT_TRUE(found) << target;
  }
}

TEST(HostileRequests, AnonymousSessionsNeverPushOutSignedInOnes) {
  MemorySessionStore store(20);
  std::vector<std::string> members;
  for (const char* name : {"memberid", "userid"}) {
    const std::string id = store.Create("10.0.0.1");
    ASSERT_TRUE(store.Set(id, name, "7"));
    members.push_back(id);
  }
  // An empty value stored where there is no session creates none.
  for (int i = 0; i < 1000; ++i) {
    RequestSession anonymous(store, std::nullopt, "10.0.0.2");
    anonymous.Set("memberid", "");
    EXPECT_EQ(anonymous.NewCookieId(), std::nullopt);
  }
  EXPECT_EQ(store.Size(), 2u);
  // Anonymous sessions from many addresses fill the store; the signed-in ones stay.
  for (int i = 0; i < 1000; ++i) store.Create("10.1.0." + std::to_string(i % 200));
  EXPECT_EQ(store.Size(), 20u);
  for (const std::string& id : members) EXPECT_TRUE(store.Touch(id));
  // A login emptied again counts as anonymous.
  store.Set(members[0], "memberid", "");
  for (int i = 0; i < 40; ++i) store.Create("10.2.0." + std::to_string(i));
  EXPECT_FALSE(store.Touch(members[0]));
  EXPECT_TRUE(store.Touch(members[1]));
}

TEST(HostileRequests, OneAddressHoldsAtMostItsShareOfTheSessions) {
  MemorySessionStore store(100, std::chrono::minutes(20), {}, 10);
  const std::string other = store.Create("10.0.0.1");
  std::vector<std::string> own;
  for (int i = 0; i < 500; ++i) {
    own.push_back(store.Create("10.0.0.2"));
    store.Set(own.back(), "userid", "1");  // even signed in
  }
  EXPECT_EQ(store.Size(), 11u);
  EXPECT_TRUE(store.Touch(other));
  EXPECT_FALSE(store.Touch(own[489]));  // that address's oldest went first
  EXPECT_TRUE(store.Touch(own[490]));
}

TEST(HostileRequests, RepeatedErrorsAreCountedNotEachLogged) {
  std::ostringstream access, errors;
  std::string first_id;
  {
    ServerLog log(access, errors);
    first_id = log.Error("GET /admin/class.asp: no such column");
    for (int i = 0; i < 999; ++i) {
      EXPECT_EQ(log.Error("GET /admin/class.asp: no such column"), first_id);
    }
    log.Error("GET /other.asp: failed");
    for (int i = 0; i < 10; ++i) log.Note("10.0.0.2: request head not received within the head or read timeout; closed");
  }
  std::istringstream lines(errors.str());
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);) all.push_back(line);
  ASSERT_EQ(all.size(), 5u) << errors.str();
  EXPECT_NE(std::find(all.begin(), all.end(),
                      "error " + first_id +
                          ": GET /admin/class.asp: no such column (repeated 999 more times)"),
            all.end());
  EXPECT_NE(std::find(all.begin(), all.end(),
                      "10.0.0.2: request head not received within the head or read timeout; closed (repeated 9 more "
                      "times)"),
            all.end());
}

}  // namespace
}  // namespace host
