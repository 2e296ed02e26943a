#include "platform/host/host_page_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace host {
namespace {

namespace ps = page_statement;

// A statement rendered as one comparable line.
std::string Show(const PageStatement& s) {
  return std::to_string(s.line) + " " +
         std::visit(
             [](const auto& a) -> std::string {
               using T = std::decay_t<decltype(a)>;
               if constexpr (std::is_same_v<T, ps::Text>) return "text[" + a.text + "]";
               if constexpr (std::is_same_v<T, ps::CreateObject>)
                 return "create " + a.variable + "=" + a.prog_id;
               if constexpr (std::is_same_v<T, ps::Call>)
                 return "call " + a.variable + "." + a.method;
               if constexpr (std::is_same_v<T, ps::Redirect>) return "redirect[" + a.url + "]";
               if constexpr (std::is_same_v<T, ps::Write>) return "write[" + a.text + "]";
               if constexpr (std::is_same_v<T, ps::SetSession>)
                 return "session " + a.name + "=[" + a.value + "]";
               if constexpr (std::is_same_v<T, ps::SetApplication>)
                 return "application " + a.name + "=[" + a.value + "]";
             },
             s.action);
}

std::vector<std::string> Parse(std::string_view source) {
  std::vector<std::string> out;
  for (const auto& s : ParseHostPage(source, "/t.asp").statements) out.push_back(Show(s));
  return out;
}

TEST(HostPageParser, ReadsEveryStatementFormInAnyLetterCase) {
  struct Case {
    const char* source;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {R"(<%Set page = Server.CreateObject("wap.main")%>)", {"1 create page=wap.main"}},
      {R"(<% sEt  P=server.createobject ( "wap.lyb" ) %>)", {"1 create P=wap.lyb"}},
      {"<%admin.CreateSite%>", {"1 call admin.CreateSite"}},
      {"<%admin.AdminClass_DoAction()%>", {"1 call admin.AdminClass_DoAction"}},
      {R"(<%Response.Redirect("/a?b=1&c=2")%>)", {"1 redirect[/a?b=1&c=2]"}},
      {R"(<%response.redirect "/x"%>)", {"1 redirect[/x]"}},
      {R"(<%RESPONSE.WRITE("hi")%>)", {"1 write[hi]"}},
      {R"(<%Response.Write "hi"%>)", {"1 write[hi]"}},
      {R"(<%Session("UserId") = "12"%>)", {"1 session UserId=[12]"}},
      {R"(<%application("domain")="http://x"%>)", {"1 application domain=[http://x]"}},
      {R"(<%Response.Write("say ""hi""")%>)", {"1 write[say \"hi\"]"}},
      {R"(<%Response.Write("")%>)", {"1 write[]"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.source), c.expected) << c.source;
}

TEST(HostPageParser, KeepsTextInOrderAndIgnoresDirectives) {
  EXPECT_EQ(Parse("<%@ LANGUAGE=\"VBSCRIPT\" %>\r\nA<%Response.Write(\"B\")%>C\r\n"),
            (std::vector<std::string>{"1 text[\r\nA]", "2 write[B]", "2 text[C\r\n]"}));
  EXPECT_EQ(Parse("no code at all"), std::vector<std::string>{"1 text[no code at all]"});
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("<%%>").empty());
}

TEST(HostPageParser, SeparatesStatementsByLinesAndColonsButNotColonsInStrings) {
  EXPECT_EQ(Parse("<%\nSession(\"a\") = \"1\" : Session(\"b\") = \"x:y\"\r\n"
                  "Response.Write(\"http://h:80/\"):Response.Write(\"z\")\r%>"),
            (std::vector<std::string>{"2 session a=[1]", "2 session b=[x:y]",
                                      "3 write[http://h:80/]", "3 write[z]"}));
}

TEST(HostPageParser, SkipsCommentsOfBothKinds) {
  EXPECT_EQ(Parse("<%\n' a comment: Response.Write(\"no\")\n"
                  "REM another : Response.Write(\"no\")\n"
                  "Response.Write(\"it's\") ' trailing: comment\n"
                  "Response.Write(\"a\") : rem Response.Write(\"no\")\n"
                  "rem\n%>"),
            (std::vector<std::string>{"4 write[it's]", "5 write[a]"}));
}

TEST(HostPageParser, ReadsTheGeneratedEntryPage) {
  const std::string entry =
      "<%\r\n'Create by "
      "Orbel\r\nresponse.Redirect(\"http://x/wap/index.asp?userid=12&username=abc\")"
      "\r\n%>";
  EXPECT_EQ(Parse(entry),
            std::vector<std::string>{"3 redirect[http://x/wap/index.asp?userid=12&username=abc]"});
}

TEST(HostPageParser, RejectsAnythingElseNamingFileAndLine) {
  struct Case {
    const char* source;
    const char* where;
  };
  const Case cases[] = {
      {"<%Dim x%>", "/t.asp:1: "},
      {"text\r\nmore\r\n<%\r\nx = 1\r\n%>", "/t.asp:4: "},
      {"<%Response.Write(\"open)%>", "/t.asp:1: "},
      {"<%Response.Write(\"a\") x%>", "/t.asp:1: "},
      {"<%Response.Write(name)%>", "/t.asp:1: "},
      {"<%Response.End%>", "/t.asp:1: "},
      {"<%Response.Flush()%>", "/t.asp:1: "},
      {"<%Set Response = Server.CreateObject(\"a.b\")%>", "/t.asp:1: "},
      {"<%obj.Method(\"arg\")%>", "/t.asp:1: "},
      {"<%Session(\"a\") = 1%>", "/t.asp:1: "},
      {"<%= \"x\" %>", "/t.asp:1: "},
      {"\n\n<% Response.Write(\"a\")", "/t.asp:3: "},
      {"<%\nResponse.Write(\"a\") : Set%>", "/t.asp:2: "},
  };
  for (const auto& c : cases) {
    try {
      ParseHostPage(c.source, "/t.asp");
      ADD_FAILURE() << "parsed: " << c.source;
    } catch (const HostPageError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.where, 0), 0u) << c.source << " → " << e.what();
    }
  }
}

}  // namespace
}  // namespace host
