#include "wap/framework/xml_escape.h"
#include "platform/text/utf8.h"


namespace wap {
namespace {

std::string Escape(std::string_view utf8, bool attribute) {
  std::string out;
  out.reserve(utf8.size() + utf8.size() / 8);
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t start = pos;
    const char32_t c = text::NextCodePoint(utf8, pos);
    switch (c) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        out.append("&quot;");
        break;
      case '\'':
        out.append(attribute ? "&#39;" : "'");
        break;
      default:
        if (c == text::kReplacementChar || !text::IsXmlChar(c)) {
          text::AppendUtf8(out, text::kReplacementChar);
        } else {
          out.append(utf8.substr(start, pos - start));
        }
    }
  }
  return out;
}

}  // namespace

std::string EscapeXmlText(std::string_view utf8) { return Escape(utf8, false); }

std::string EscapeXmlAttribute(std::string_view utf8) { return Escape(utf8, true); }

}  // namespace wap
