// The rendered-page cache's parts: what a page's run records (request values, statements), how a
// kept page is found again, and what makes it stale.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/connection_pool.h"
#include "platform/data/recordset.h"
#include "platform/data/statement_trace.h"
#include "platform/fs/file_system_object.h"
#include "platform/fs/text_stream.h"
#include "platform/host/http/reply_builder.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/local_session.h"
#include "platform/host/objects/page_reads.h"
#include "platform/host/objects/request.h"
#include "platform/host/page_cache_support.h"
#include "platform/host/rendered_page_cache.h"
#include "support/temp_dir.h"

namespace host {
namespace {

using namespace std::chrono_literals;

Request MakeRequest(std::string query, std::string accept = "text/vnd.wap.wml") {
  return Request(Collection::ParseUrlEncoded(query), {}, {}, {{"HTTP_ACCEPT", accept}});
}

// What a home page of member `userid` reads: its userid, the markup, a session value.
struct Rendered {
  PageReads reads;
  data::StatementTrace trace;
  HttpReply reply;
};

Rendered Render(const Request& request, Session& session, std::int64_t member, std::string body) {
  Rendered out;
  const PageReads::Scope scope(&out.reads);
  RecordingSession recording(session);
  (void)request.Item("userid");
  (void)request.ServerVariable("HTTP_ACCEPT");
  (void)recording.Get("memberid");
  out.trace.AddMember(member);
  out.reply.headers = {{"Content-Type", "text/vnd.wap.wml; charset=utf-8"},
                       {"Expires", "Thu, 01 Jan 1970 00:00:00 GMT"},
                       {"Cache-Control", "no-cache"}};
  out.reply.body = std::move(body);
  return out;
}

class PageCacheTest : public ::testing::Test {
 protected:
  std::optional<HttpReply> Find(const Request& request, Session& session) {
    return cache_.Find(key_, RequestValues(request, session, application_), now_);
  }
  void Store(const Rendered& rendered, std::uint64_t changes_before) {
    cache_.Store(key_, rendered.reads.Reads(), rendered.trace, changes_before, rendered.reply,
                 now_ - 10s, now_ - 24h);
  }

  RenderedPageCache cache_{1 << 20};
  Application application_;
  LocalSession session_;
  std::string key_ = "/root/wap/index.asp";
  std::chrono::system_clock::time_point now_ = std::chrono::system_clock::now();
};

TEST_F(PageCacheTest, AKeptPageIsFoundForTheSameValuesWithAFreshExpiresAndTheSameBody) {
  const Request request = MakeRequest("userid=1&x=2");
  Store(Render(request, session_, 1, "<wml>one</wml>"), cache_.ChangeCount());

  const auto kept = Find(MakeRequest("userid=1&x=other"), session_);  // x was never read
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->body, "<wml>one</wml>");
  ASSERT_EQ(kept->headers.size(), 3u);
  EXPECT_EQ(kept->headers[1].first, "Expires");
  // Rendered 10 s ago, expiring a day before now then: as long before now, counted from now.
  EXPECT_EQ(kept->headers[1].second, HttpDate(now_ - 24h + 10s));
  EXPECT_EQ(kept->headers[2].second, "no-cache");
}

TEST_F(PageCacheTest, AnyValueThePageReadThatDiffersIsAnotherPage) {
  Store(Render(MakeRequest("userid=1"), session_, 1, "anonymous"), cache_.ChangeCount());
  struct Case {
    const char* what;
    Request request;
    std::optional<std::string> memberid;
  } cases[] = {
      {"another userid", MakeRequest("userid=2"), std::nullopt},
      {"userid absent", MakeRequest(""), std::nullopt},
      {"userid present but empty", MakeRequest("userid"), std::nullopt},
      {"another markup", MakeRequest("userid=1", "application/xhtml+xml"), std::nullopt},
      {"a visitor signed in (session value)", MakeRequest("userid=1"), "7"},
  };
  for (Case& c : cases) {
    LocalSession session;
    if (c.memberid) session.Set("memberid", *c.memberid);
    EXPECT_FALSE(Find(c.request, session)) << c.what;
  }
  EXPECT_TRUE(Find(MakeRequest("userid=1"), session_));
}

TEST_F(PageCacheTest, AChangeToAMemberDropsOnlyThatMembersPages) {
  Store(Render(MakeRequest("userid=1"), session_, 1, "one"), cache_.ChangeCount());
  Store(Render(MakeRequest("userid=2"), session_, 2, "two"), cache_.ChangeCount());
  cache_.MemberChanged(2);
  EXPECT_TRUE(Find(MakeRequest("userid=1"), session_));
  EXPECT_FALSE(Find(MakeRequest("userid=2"), session_));
  cache_.EverythingChanged();
  EXPECT_FALSE(Find(MakeRequest("userid=1"), session_));
}

TEST_F(PageCacheTest, APageWhoseRowsCannotBeAttributedGoesWithAnyChange) {
  Rendered rendered = Render(MakeRequest("userid=1"), session_, 1, "one");
  rendered.trace.any_member = true;
  Store(rendered, cache_.ChangeCount());
  ASSERT_TRUE(Find(MakeRequest("userid=1"), session_));
  cache_.MemberChanged(99);
  EXPECT_FALSE(Find(MakeRequest("userid=1"), session_));
}

TEST_F(PageCacheTest, NothingIsKeptOfARunThatWroteOrOverlappedAChange) {
  const std::uint64_t before = cache_.ChangeCount();
  cache_.MemberChanged(5);  // signalled while the page ran: it may have read older rows
  Store(Render(MakeRequest("userid=1"), session_, 1, "one"), before);
  EXPECT_FALSE(Find(MakeRequest("userid=1"), session_));

  Rendered wrote = Render(MakeRequest("userid=1"), session_, 1, "one");
  wrote.trace.wrote = true;
  Store(wrote, cache_.ChangeCount());
  EXPECT_FALSE(Find(MakeRequest("userid=1"), session_));
}

TEST_F(PageCacheTest, StoringASessionOrApplicationValueOrReadingAChangedValueMakesARunUncacheable) {
  struct Case {
    const char* what;
    void (*run)(Session&, Application&, const Request&);
  } cases[] = {
      {"session value stored", [](Session& s, Application&, const Request&) { s.Set("a", "1"); }},
      {"session id renewed", [](Session& s, Application&, const Request&) { s.RenewId(); }},
      {"application value stored",
       [](Session&, Application& a, const Request&) { a.Set("a", "1"); }},
      {"application value changed between two reads",
       [](Session&, Application& a, const Request&) {
         (void)a.Get("b");
         const PageReads::Scope other_request(nullptr);
         a.Set("b", "2");
       }},
  };
  for (const Case& c : cases) {
    Application application;
    LocalSession session;
    RecordingSession recording(session);
    PageReads reads;
    {
      const PageReads::Scope scope(&reads);
      c.run(recording, application, MakeRequest(""));
      (void)application.Get("b");
    }
    EXPECT_TRUE(reads.Uncacheable()) << c.what;
  }
}

TEST_F(PageCacheTest, ListingACollectionKeysThePageByItsWholeText) {
  PageReads reads;
  const Request request = MakeRequest("a=1&b=2");
  {
    const PageReads::Scope scope(&reads);
    (void)request.QueryString().Keys();
    (void)request.QueryString().Get("a");
  }
  ASSERT_EQ(reads.Reads().size(), 2u);
  EXPECT_TRUE(reads.Reads()[0].whole);
  EXPECT_EQ(reads.Reads()[0].value, "a=1&b=2");
  EXPECT_EQ(reads.Reads()[1].name, "a");
}

TEST_F(PageCacheTest, AFileWhoseExistenceThePageAskedKeysThePageAndOtherFileUseIsNeverKept) {
  testing_support::TempDir dir;
  const std::string logo = (dir.path() / "logo.gif").string();
  const Request request = MakeRequest("userid=1");
  auto render = [&] {
    Rendered rendered = Render(request, session_, 1, "page");
    const PageReads::Scope scope(&rendered.reads);
    (void)fso::FileSystemObject{}.FileExists(logo);
    return rendered;
  };
  Store(render(), cache_.ChangeCount());
  EXPECT_TRUE(Find(request, session_));
  std::ofstream(logo) << "GIF89a";  // the owner uploads a logo
  EXPECT_FALSE(Find(request, session_));

  PageReads reads;
  {
    const PageReads::Scope scope(&reads);
    (void)fso::FileSystemObject{}.OpenTextFile(logo);
  }
  EXPECT_TRUE(reads.Uncacheable());
}

TEST(PageCacheMemory, TheLeastRecentlyUsedPageGoesFirstAndZeroMeansOff) {
  LocalSession session;
  Application application;
  RenderedPageCache cache(3 * (RenderedPageCache::kEntryOverhead + 600));
  const auto now = std::chrono::system_clock::now();
  auto store = [&](const std::string& userid) {
    const Request request = MakeRequest("userid=" + userid);
    Rendered rendered = Render(request, session, 1, std::string(100, 'x'));
    cache.Store("page", rendered.reads.Reads(), rendered.trace, cache.ChangeCount(), rendered.reply,
                now, std::nullopt);
  };
  auto found = [&](const std::string& userid) {
    const Request request = MakeRequest("userid=" + userid);
    return cache.Find("page", RequestValues(request, session, application), now).has_value();
  };
  store("1");
  store("2");
  store("3");
  EXPECT_TRUE(found("1"));  // 1 is now the most recently used
  store("4");
  EXPECT_TRUE(found("1"));
  EXPECT_FALSE(found("2"));
  EXPECT_TRUE(found("4"));
  EXPECT_LE(cache.GetStats().bytes, 3 * (RenderedPageCache::kEntryOverhead + 600));

  RenderedPageCache off(0);
  EXPECT_FALSE(off.Enabled());
}

TEST(PageCachePaths, OnlyVisitorPagesOfGetAndHeadAreKept) {
  EXPECT_TRUE(MayKeepPage("GET", "/wap/index.asp"));
  EXPECT_TRUE(MayKeepPage("HEAD", "/wap/index.asp"));
  EXPECT_FALSE(MayKeepPage("POST", "/wap/index.asp"));
  EXPECT_FALSE(MayKeepPage("GET", "/admin/index.asp"));
  EXPECT_FALSE(MayKeepPage("GET", "/ADMIN/login.asp"));
}

TEST(StatementTrace, TheMemberPlaceholderIsFoundOnlyWhereItBindsTheWholeCondition) {
  struct Case {
    const char* sql;
    int placeholder;
  } cases[] = {
      {"select * from wap_product where userid=? order by id desc", 0},
      {"select dircall from wap_setting where userid = ?", 0},
      {"select * from t where id>? and userid=? order by id", 1},
      {"select * from web_member where m_Name=? And m_id=? order by id", -1},
      {"select * from t where userid=? or id=?", -1},
      {"select * from v_wap_contents where cid=?", -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(data::MemberPlaceholder(c.sql, "userid"), c.placeholder) << c.sql;
}

TEST(StatementTrace, ReadsAreAttributedToMembersAndWritesAreNoticed) {
  testing_support::TempDir dir;
  std::ofstream(dir.path() / "t.db");
  data::ConnectionPool pool(dir.path());
  data::Connection connection(pool);
  connection.Open("Data Source=sqlite:t.db");
  connection.Execute("create table rows (id integer primary key, userid integer, cid integer)");
  connection.Execute("create table plain (id integer primary key)");
  connection.Execute("create table wap_sessions (id_hash text)");
  connection.Execute("insert into rows values (1, 10, 5), (2, 20, 6)");

  using C = data::Connection;
  struct Case {
    const char* what;
    void (*run)(C&);
    std::int64_t member;  // the one member the reads are attributed to; 0 for none
    bool any_member, wrote;
  } cases[] = {
      {"by member placeholder, even with no rows",
       [](C& c) { c.Execute("select * from rows where userid=?", data::Params{30}); }, 30, false,
       false},
      {"by the userid of the rows visited",
       [](C& c) {
         data::Recordset rs;
         rs.Open("select * from rows where cid=?", c, data::Params{6});
         for (; !rs.Eof(); rs.MoveNext()) (void)rs.Field("id");
       },
       20, false, false},
      {"an empty result with no placeholder cannot be attributed",
       [](C& c) {
         data::Recordset rs;
         rs.Open("select * from rows where cid=?", c, data::Params{99});
         (void)rs.Eof();
       },
       0, true, false},
      {"a result without a userid column cannot be attributed",
       [](C& c) { c.Execute("select id from plain"); }, 0, true, false},
      {"an update is a write", [](C& c) { c.Execute("update plain set id=id"); }, 0, false, true},
      {"the host's own tables are not the site's",
       [](C& c) { c.Execute("insert into wap_sessions values ('x')"); }, 0, false, false},
  };
  for (const Case& c : cases) {
    data::StatementTrace trace;
    trace.member_column = "userid";
    {
      const data::StatementTrace::Scope scope(&trace);
      c.run(connection);
    }
    EXPECT_EQ(trace.members,
              c.member ? std::vector<std::int64_t>{c.member} : std::vector<std::int64_t>{})
        << c.what;
    EXPECT_EQ(trace.any_member, c.any_member) << c.what;
    EXPECT_EQ(trace.wrote, c.wrote) << c.what;
  }
}

}  // namespace
}  // namespace host
