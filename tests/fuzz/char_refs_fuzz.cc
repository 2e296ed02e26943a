// ToCharRefs (nothing but references), EscapeXmlText and EscapeXmlAttribute: whatever the bytes,
// XML a parser reads back as the input (bad bytes and characters XML forbids as U+FFFD; line ends
// and attribute blanks normalised as the parser does).
#include <algorithm>

#include "fuzz_check.h"
#include "platform/text/utf8.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/xml_escape.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string refs = wap::ToCharRefs(text), escaped = wap::EscapeXmlText(text),
                    attribute = wap::EscapeXmlAttribute(text);
  for (std::size_t i = 0, end; i < refs.size();
       i = end + 1) {  // &#x, 1 to 6 hex digits (no leading 0), ;
    end = std::min(refs.find(';', i), refs.size());
    const std::string_view ref = std::string_view(refs).substr(i, end - i);
    fuzz::Check(end < refs.size() && ref.starts_with("&#x") && ref.size() >= 4 && ref.size() <= 9 &&
                    ref[3] != '0' &&
                    ref.find_first_not_of("0123456789ABCDEF", 3) == std::string_view::npos,
                "ToCharRefs wrote something not a reference", refs);
  }
  fuzz::Check(attribute.find('\'') == std::string::npos, "EscapeXmlAttribute left an apostrophe",
              attribute);

  std::string clean, lines, blanks;  // as the parser must read it back: text, element, attribute
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = text::NextCodePoint(text, pos);
    text::AppendUtf8(clean, text::IsXmlChar(c) ? c : text::kReplacementChar);
  }
  for (std::size_t i = 0; i < clean.size(); ++i) {
    const bool crlf = clean[i] == '\r' && i + 1 < clean.size() && clean[i + 1] == '\n';
    lines.push_back(clean[i] == '\r' ? '\n' : clean[i]);
    blanks.push_back(lines.back() == '\n' || lines.back() == '\t' ? ' ' : lines.back());
    i += crlf;
  }
  const std::string document = "<r a=\"" + attribute + "\" b='" + attribute + "'><t>" + escaped +
                               "</t><c>" + refs + "</c></r>";
  const fuzz::XmlDoc doc = fuzz::ParseXml(document);
  fuzz::Check(doc != nullptr, "escaped text is not well-formed XML", document);
  xmlNode* root = xmlDocGetRootElement(doc.get());
  for (const char* name : {"a", "b"}) {
    const xmlAttr* value = xmlHasProp(root, reinterpret_cast<const xmlChar*>(name));
    fuzz::Check(value && fuzz::TextOf(reinterpret_cast<const xmlNode*>(value)) == blanks,
                "an attribute reads back differently", document);
  }
  const xmlNode* t = xmlFirstElementChild(root);
  fuzz::Check(fuzz::TextOf(t) == lines, "element text reads back differently", document);
  fuzz::Check(fuzz::TextOf(xmlNextElementSibling(const_cast<xmlNode*>(t))) == clean,
              "references read back differently", document);
  return 0;
}
