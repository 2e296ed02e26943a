// Host pages: the statement forms the parser accepts, in any letter case, with their line numbers,
// and the file and line named for anything else.
#include "platform/host/scripting/host_page_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace host {
namespace {

namespace ps = page_statement;

// Each statement of `source` as one line: its line number and what it does.
std::vector<std::string> Parse(std::string_view source) {
  std::vector<std::string> out;
  for (const auto& s : ParseHostPage(source, "/t.asp").statements) {
    out.push_back(std::to_string(s.line) + " " +
                  std::visit(
                      [](const auto& a) -> std::string {
                        using T = std::decay_t<decltype(a)>;
                        if constexpr (std::is_same_v<T, ps::Text>) return "text[" + a.text + "]";
                        if constexpr (std::is_same_v<T, ps::CreateObject>)
                          return a.variable + "=" + a.prog_id;
                        if constexpr (std::is_same_v<T, ps::Call>)
                          return "call " + a.variable + "." + a.method;
                        if constexpr (std::is_same_v<T, ps::Redirect>)
                          return "redirect[" + a.url + "]";
                        if constexpr (std::is_same_v<T, ps::Write>) return "write[" + a.text + "]";
                        if constexpr (std::is_same_v<T, ps::SetSession>)
                          return "session " + a.name + "=" + a.value;
                        if constexpr (std::is_same_v<T, ps::SetApplication>)
                          return "app " + a.name + "=" + a.value;
                      },
                      s.action));
  }
  return out;
}

TEST(HostPageParser, ReadsEveryStatementFormTextsAndComments) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {R"(<% sEt  P=server.createobject ( "wap.lyb" ) %>)", {"1 P=wap.lyb"}},
      {"<%admin.AdminClass_DoAction()%><%admin.CreateSite%>",
       {"1 call admin.AdminClass_DoAction", "1 call admin.CreateSite"}},
      {R"(<%Response.Redirect("/a?b=1&c=2")%><%response.redirect "/x"%>)",
       {"1 redirect[/a?b=1&c=2]", "1 redirect[/x]"}},
      {R"(<%RESPONSE.WRITE("say ""hi""")%><%Response.Write ""%>)",
       {"1 write[say \"hi\"]", "1 write[]"}},
      {R"(<%Session("UserId") = "12"%><%application("domain")="http://x"%>)",
       {"1 session UserId=12", "1 app domain=http://x"}},
      {"<%\nSession(\"a\") = \"1\" : Session(\"b\") = \"x:y\"\r\n"
       "Response.Write(\"http://h:80/\"):Response.Write(\"z\")\r%>",
       {"2 session a=1", "2 session b=x:y", "3 write[http://h:80/]", "3 write[z]"}},
      {"<%\n' a comment: Response.Write(\"no\")\nREM another : Response.Write(\"no\")\n"
       "Response.Write(\"it's\") ' trailing: comment\nResponse.Write(\"a\") : rem x\nrem\n%>",
       {"4 write[it's]", "5 write[a]"}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(Parse(source), expected) << source;
}

TEST(HostPageParser, RejectsAnythingElseNamingFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"<%Dim x%>", "1"},
      {"text\r\nmore\r\n<%\r\nx = 1\r\n%>", "4"},
      {"<%Response.End%>", "1"},
      {"<%Response.Write(\"open)%>", "1"},
      {"<%Response.Write(\"a\") x%>", "1"},
      {"<%Set Response = Server.CreateObject(\"a.b\")%>", "1"},
      {"<%Session(\"a\") = 1%>", "1"},
      {"\n\n<% Response.Write(\"a\")", "3"},
      {"<%\nResponse.Write(\"a\") : Set%>", "2"}};
  for (const auto& [source, line] : cases) {
    std::string what = "parsed";
    try {
      ParseHostPage(source, "/t.asp");
    } catch (const HostPageError& e) {
      what = e.what();
    }
    EXPECT_EQ(what.rfind("/t.asp:" + std::string(line) + ": ", 0), 0u) << source << " → " << what;
  }
}

}  // namespace
}  // namespace host
