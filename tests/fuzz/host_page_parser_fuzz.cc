// The host-page parser over any file: it parses, or throws HostPageError naming the file and a
// line that exists; statements come in file order on lines that exist; and the text statements
// are exactly the file less its "<% … %>" blocks (a block left open does not parse).
#include <regex>
#include <utility>
#include <variant>

#include "fuzz_check.h"
#include "platform/host/scripting/host_page_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  int lines = 1;
  for (std::size_t i = 0; i < size; ++i)
    lines += source[i] == '\n' || (source[i] == '\r' && (i + 1 == size || source[i + 1] != '\n'));
  constexpr auto npos = std::string_view::npos;
  std::string outside;
  std::size_t pos = 0, open, close;
  while ((open = source.find("<%", pos)) != npos && (close = source.find("%>", open + 2)) != npos) {
    outside.append(source.substr(pos, open - pos));
    pos = close + 2;
  }
  const bool open_block = open != npos;
  outside.append(source.substr(pos));
  try {
    const host::HostPage page = host::ParseHostPage(source, "fuzz.asp");
    fuzz::Check(!open_block, "a page with an open block parsed", source);
    std::string text;
    int previous = 1;
    for (const host::PageStatement& s : page.statements) {
      fuzz::Check(s.line >= std::exchange(previous, s.line) && s.line <= lines,
                  "a statement's line is out of order", source);
      if (const auto* t = std::get_if<host::page_statement::Text>(&s.action)) text += t->text;
    }
    fuzz::Check(text == outside, "the page's text is not the file less its blocks", source);
  } catch (const host::HostPageError& e) {
    static const std::regex named("fuzz\\.asp:([1-9][0-9]{0,8}):");
    const std::string what = e.what();
    std::smatch m;
    fuzz::Check(std::regex_search(what, m, named, std::regex_constants::match_continuous) &&
                    std::stoi(m[1]) <= lines,
                "the error does not name the file and a line in it", what);
  }
  return 0;
}
