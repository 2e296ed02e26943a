// The host-page parser over any file. It either parses or throws HostPageError naming the file
// and a line that exists; statements come in file order with lines that exist; and the text
// statements are exactly the file less its "<% … %>" blocks.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "fuzz_check.h"
#include "platform/host/host_page_parser.h"

namespace {

constexpr std::string_view kFile = "fuzz.asp";

int LineCount(std::string_view text) {
  int lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++lines;
    }
  }
  return lines;
}

// `source` without its script blocks; nullopt when a block is not closed.
std::optional<std::string> TextOutsideBlocks(std::string_view source) {
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = source.find("<%", pos);
    out.append(source.substr(pos, open == std::string_view::npos ? source.npos : open - pos));
    if (open == std::string_view::npos) return out;
    const std::size_t close = source.find("%>", open + 2);
    if (close == std::string_view::npos) return std::nullopt;
    pos = close + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  const int lines = LineCount(source);
  const std::optional<std::string> outside = TextOutsideBlocks(source);
  try {
    const host::HostPage page = host::ParseHostPage(source, kFile);
    fuzz::Check(outside.has_value(), "a page with an open block parsed", source);
    std::string text;
    int previous = 1;
    for (const host::PageStatement& s : page.statements) {
      fuzz::Check(s.line >= previous && s.line <= lines, "a statement's line is out of order",
                  std::to_string(s.line));
      previous = s.line;
      if (const auto* t = std::get_if<host::page_statement::Text>(&s.action)) text += t->text;
    }
    fuzz::Check(text == *outside, "the page's text is not the file less its blocks", source);
  } catch (const host::HostPageError& e) {
    const std::string_view what = e.what();
    const std::string prefix = std::string(kFile) + ":";
    fuzz::Check(what.starts_with(prefix), "the error does not name the file", what);
    const std::size_t colon = what.find(':', prefix.size());
    fuzz::Check(colon != std::string_view::npos, "the error does not name the line", what);
    const std::string number(what.substr(prefix.size(), colon - prefix.size()));
    fuzz::Check(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos &&
                    number.size() < 10 && std::stoi(number) >= 1 && std::stoi(number) <= lines,
                "the error names a line that is not in the file", what);
  }
  return 0;
}
