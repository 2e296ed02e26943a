// The host-page parser over any file: it parses, or throws HostPageError naming the file and a
// line that exists; statements come in file order on lines that exist; and the text statements
// are exactly the file less its "<% … %>" blocks (a block left open does not parse).
#include <cstdint>
#include <utility>
#include <variant>

#include "fuzz_check.h"
#include "platform/host/host_page_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  int lines = 1;
  for (std::size_t i = 0; i < size; ++i) lines += source[i] == '\n' || (source[i] == '\r' && (i + 1 == size || source[i + 1] != '\n'));
  constexpr auto npos = std::string_view::npos;
  std::string outside;
  bool open_block = false;
  for (std::size_t pos = 0;;) {
    const std::size_t open = source.find("<%", pos);
    outside.append(source.substr(pos, open == npos ? npos : open - pos));
    if (open == npos) break;
    const std::size_t close = source.find("%>", open + 2);
    if ((open_block = close == npos)) break;
    pos = close + 2;
  }
  try {
    const host::HostPage page = host::ParseHostPage(source, "fuzz.asp");
    fuzz::Check(!open_block, "a page with an open block parsed", source);
    std::string text;
    int previous = 1;
    for (const host::PageStatement& s : page.statements) {
      fuzz::Check(s.line >= std::exchange(previous, s.line) && s.line <= lines, "a statement's line is out of order", source);
      if (const auto* t = std::get_if<host::page_statement::Text>(&s.action)) text += t->text;
    }
    fuzz::Check(text == outside, "the page's text is not the file less its blocks", source);
  } catch (const host::HostPageError& e) {
    const std::string what = e.what();
    const std::size_t colon = what.find(':', 9);
    const std::string number = what.substr(9, colon - 9);
    fuzz::Check(what.starts_with("fuzz.asp:") && colon != std::string::npos && !number.empty() && number.size() < 10 &&
                    number.find_first_not_of("0123456789") == std::string::npos && std::stoi(number) >= 1 && std::stoi(number) <= lines,
                "the error does not name the file and a line in it", what);
  }
  return 0;
}
