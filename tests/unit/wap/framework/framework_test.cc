// The page framework's pure routines, each as one table: numbers from request values, the keyword
// filter, the settings of conn.asp, member names, and the texts pages write.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/host/objects/application.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/request_error.h"
#include "platform/host/objects/response.h"
#include "platform/host/objects/server.h"
#include "support/temp_dir.h"
#include "wap/admin/member_name.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/db_settings.h"
#include "wap/framework/owner_markup.h"
#include "wap/framework/request_filter.h"
#include "wap/framework/small_int.h"
#include "wap/framework/whole_number.h"
#include "wap/framework/xml_escape.h"

namespace wap {
namespace {

TEST(Numbers, SmallIntsRoundHalfToEvenWholeNumbersTakeOnlyDigits) {
  const std::pair<const char*, std::optional<int>> small[] = {{"+4", 4},
                                                              {" \t12\t ", 12},
                                                              {"12.5", 12},
                                                              {"-13.5", -14},
                                                              {".5", 0},
                                                              {"5.", 5},
                                                              {"2.50001", 3},
                                                              {"32767.4", 32767},
                                                              {"32767.5", std::nullopt},
                                                              {"-32768.5", -32768},
                                                              {"-32768.6", std::nullopt},
                                                              {"", std::nullopt},
                                                              {".", std::nullopt},
                                                              {"1e3", std::nullopt},
                                                              {"1 2", std::nullopt},
                                                              {"\n5", std::nullopt},
                                                              {"--5", std::nullopt},
                                                              {"1.2.3", std::nullopt}};
  for (const auto& [in, out] : small) {
    const auto got = ParseSmallInt(in);
    EXPECT_EQ(got ? std::optional<int>(*got) : std::nullopt, out) << '"' << in << '"';
  }
  const std::pair<const char*, std::optional<std::int64_t>> whole[] = {
      {"  12 ", 12},
      {"-7", -7},
      {"999999999999999999", 999999999999999999},
      {"1234567890123456789", std::nullopt},
      {"  ", std::nullopt},
      {"-", std::nullopt},
      {"+5", std::nullopt},
      {"1.0", std::nullopt},
      {"1 or 1=1", std::nullopt},
      {"\t5", std::nullopt}};
  for (const auto& [in, out] : whole) EXPECT_EQ(ParseWholeNumber(in), out) << '"' << in << '"';
  EXPECT_EQ(ToSmallInt(std::nullopt, "id"), 0);  // absent counts as 0, empty does not
  EXPECT_THROW(ToSmallInt(std::string(""), "id"), host::RequestError);
  EXPECT_THROW(RequireWholeNumber(std::nullopt, "userid"), host::RequestError);
}

// Values over HTTP are tested in tests/integration; these are the edges (names are not examined).
TEST(RequestFilter, EndsTheResponseAtAWholeKeywordValueOnly) {
  const std::pair<const char*, bool> values[] = {
      {"abc'def", false}, {";", true},   {"char", true}, {"chars", false},
      {" select", false}, {"杰", false}, {"", false}};
  for (const auto& [value, hit] : values) {
    const host::Request request(host::Collection("", {{"select", "5"}, {"x", value}}), {}, {}, {});
    host::Response response;
    EXPECT_EQ(FilterRequest(request, response), hit) << value;
    EXPECT_EQ(response.Ended(), hit) << value;
  }
}

TEST(DBSettings, ReadsTheLastExactMatchAndCachesOnceTheDatabaseIsNamed) {
  const std::pair<const char*, const char*> cases[] = {
      // tests/fuzz/extract_setting tries more
      {"STRSQLSERVER=\"db1\"", "db1"},         {"strSQLServer= \"db1\"", ""},
      {"strSQLServer=\"db 1\"", ""},           {"strSQLServer=\"a\" x strSQLServer=\"b\"", "b"},
      {"strSQLServer=\"a\"b\"c d\"", "a\"b"},  {"xstrSQLServer=\"db\"", "db"},
      {"strSQLServer=\"strsqlserver=x\"", "x"}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ExtractSetting("strSQLServer", text), value);
  testing_support::TempDir root;
  std::filesystem::create_directory(root.path() / "inc");
  const auto write = [&](const char* file, const char* text) {
    std::ofstream(root.path() / file) << text;
  };
  host::Application app;
  host::Server server(root.path(), "/wap", [](std::string_view) { return nullptr; });
  write("conn.asp", "<%strSQLServer=\"s1\" strSQLDataBase=\"\" strSQLPassword=\"p\"%>");
  EXPECT_ANY_THROW(LoadDBSettings(app, server));  // no inc/fso.asp, after the database values
  EXPECT_EQ(app.Get("strDBPwd"), "p");
  write("inc/fso.asp", "<%Const_ScriptFileSystem=\"Scripting.FileSystemObject\"%>");
  write("conn.asp", "<%strSQLServer=\"s2\" strSQLDataBase=\"site\" strSQLUser=\"u\"%>");
  EXPECT_EQ(LoadDBSettings(app, server).server, "s2");  // an empty database name is read again
  write("conn.asp", "<%strSQLServer=\"s3\" strSQLDataBase=\"other\"%>");
  const DBSettings s = LoadDBSettings(app, server);
  EXPECT_EQ(s.server + s.user + s.password + s.database, "s2usite");
  EXPECT_EQ(s.file_system_object, "Scripting.FileSystemObject");
  EXPECT_EQ(app.Get("strDBServer"), "s2");
}

TEST(Texts, PagesWriteCharRefsEscapesAndOnlySimpleOwnerMarkup) {
  EXPECT_EQ(ToCharRefs(std::string("a首\n\xF0\x9F\x98\x80\0\xEF\xBF\xBE\xED\xA0", 15)),
            "&#x61;&#x9996;&#xA;&#x1F600;&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;");
  EXPECT_EQ(EscapeXmlText("<a href=\"x\">'&\x01\t"),
            "&lt;a href=&quot;x&quot;&gt;'&amp;\xEF\xBF\xBD\t");
  EXPECT_EQ(EscapeXmlAttribute("it's"), "it&#39;s");
  for (const char* kept : {"产品 <b>b</b><i>i</i><u>u</u><strong><em>x</em></strong>",
                           "<big>b</big><small>s</small>a<br/>b<br />c<br></br>1 > 0",
                           "&amp;&lt;&gt;&quot;&apos;&#x84DD;&#8364;"}) {
    EXPECT_TRUE(IsOwnerMarkup(kept)) << kept;
    EXPECT_EQ(OwnerText(kept), kept);
  }
  for (const char* escaped :
       {"Tom & Jerry", "&nbsp;", "&#x0;", "&#xD800;", "<b>open", "</b>", "<b><i>x</b></i>",
        "<B>x</B>", "<b class=\"x\">x</b>", "<br>", "<!-- c -->", "a]]>b", "bad\x01"}) {
    EXPECT_FALSE(IsOwnerMarkup(escaped)) << escaped;
    EXPECT_EQ(OwnerText(escaped), EscapeXmlText(escaped));
  }
}

TEST(MemberName, RefusesWhatCouldLeaveWaphomeOrBreakTheEntryPage) {
  for (const char* safe : {"abc", "张三", "a b", "a.b", "x."}) EXPECT_TRUE(IsSafeMemberName(safe));
  const std::string unsafe[] = {
      "",     ".",         "..",   ".hidden", "a/b",           "a\\b",
      "c:",   "a\"b",      "<b>",  "a>b",     "100%",          "a\tb",
      "\x7f", "a\xC2\x85", "\xff", "a\xE4",   "a\xEF\xBF\xBD", std::string("a\0b", 3)};
  for (const auto& name : unsafe)
    EXPECT_FALSE(IsSafeMemberName(name)) << testing::PrintToString(name);
}

}  // namespace
}  // namespace wap
