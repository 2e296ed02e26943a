// Host pages: the parsed form of an active-page file and the parser that makes it.
//
// A host page is text with script blocks "<% … %>". Text outside the blocks is written to the
// response in order; a block that starts with "@" ("<%@ LANGUAGE=… %>") is a directive and is
// ignored. A block ends at the first "%>", even inside a string literal (as in the classic hosts).
// Inside a block, statements stand one per line or are separated by ":" (a ":" inside a string
// literal does not separate); keywords and names are matched without regard to letter case:
//
//   ' comment                         Rem comment           (also after a statement / a ":")
//   Set NAME = Server.CreateObject("LIB.CLASS")
//   NAME.METHOD          NAME.METHOD()
//   Response.Redirect("TEXT")         Response.Redirect "TEXT"
//   Response.Write("TEXT")            Response.Write "TEXT"
//   Session("NAME") = "TEXT"          Application("NAME") = "TEXT"
//
// String literals are double-quoted and double a quote to contain one (""). NAME and METHOD are
// identifiers (a letter, then letters, digits and "_"); NAME may not be one of the built-in
// objects Request, Response, Server, Session, Application. Anything else is an error.
//
// Pure functions over immutable values; safe from any thread.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace host {

// A failure to parse a host page. what() names the file and the line: "FILE:LINE: reason".
class HostPageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace page_statement {

struct Text {  // text outside the script blocks
  std::string text;
};
struct CreateObject {  // Set variable = Server.CreateObject("prog_id")
  std::string variable;
  std::string prog_id;
};
struct Call {  // variable.method / variable.method()
  std::string variable;
  std::string method;
};
struct Redirect {  // Response.Redirect("url")
  std::string url;
};
struct Write {  // Response.Write("text")
  std::string text;
};
struct SetSession {  // Session("name") = "value"
  std::string name;
  std::string value;
};
struct SetApplication {  // Application("name") = "value"
  std::string name;
  std::string value;
};

}  // namespace page_statement

struct PageStatement {
  using Action = std::variant<page_statement::Text, page_statement::CreateObject,
                              page_statement::Call, page_statement::Redirect, page_statement::Write,
                              page_statement::SetSession, page_statement::SetApplication>;
  Action action;
  int line = 0;  // the line of the file (from 1) where the statement stands
};

struct HostPage {
  std::string file_name;  // as given to the parser, for messages
  std::vector<PageStatement> statements;
};

// Parses `source`. `file_name` names the page in error messages. Throws HostPageError naming the
// file and line of the first statement that is not in the language above, an unterminated string
// literal or a "<%" without its "%>". Line ends may be CR LF, LF or CR.
HostPage ParseHostPage(std::string_view source, std::string_view file_name);

}  // namespace host
