// Texts written into markup: ToCharRefs, EscapeXmlText and EscapeXmlAttribute. Whatever the bytes,
// each output must be XML that a real parser reads back as the input, with ill-formed bytes and
// characters XML does not allow shown as U+FFFD (and the parser's own line-end and attribute
// normalisation applied to the escaped texts). ToCharRefs must also hold nothing but references.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/text/utf8.h"
#include "wap/framework/char_refs.h"
#include "wap/framework/xml_escape.h"

namespace {

// `text` with every byte that does not start a well-formed character, and every character XML
// does not allow, as U+FFFD.
std::string Cleaned(std::string_view text) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = text::NextCodePoint(text, pos);
    text::AppendUtf8(out, text::IsXmlChar(c) ? c : text::kReplacementChar);
  }
  return out;
}

// The parser's line-end handling: CR LF and a lone CR read as LF.
std::string LineEndsNormalised(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// An attribute value as the parser reports it: line ends normalised, then TAB and LF as blanks.
std::string AttributeNormalised(std::string_view text) {
  std::string out = LineEndsNormalised(text);
  for (char& c : out) {
    if (c == '\t' || c == '\n') c = ' ';
  }
  return out;
}

bool OnlyReferences(std::string_view refs) {
  std::size_t i = 0;
  while (i < refs.size()) {
    if (refs.substr(i, 3) != "&#x") return false;
    i += 3;
    const std::size_t start = i;
    while (i < refs.size() && ((refs[i] >= '0' && refs[i] <= '9') ||
                               (refs[i] >= 'A' && refs[i] <= 'F'))) {
      ++i;
    }
    if (i == start || i - start > 6 || refs[start] == '0' || i >= refs.size() || refs[i] != ';') {
      return false;
    }
    ++i;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietXml();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string refs = wap::ToCharRefs(text);
  const std::string escaped_text = wap::EscapeXmlText(text);
  const std::string escaped_attribute = wap::EscapeXmlAttribute(text);
  fuzz::Check(OnlyReferences(refs), "ToCharRefs wrote something that is not a reference", refs);
  fuzz::Check(escaped_attribute.find('\'') == std::string::npos,
              "EscapeXmlAttribute left an apostrophe", escaped_attribute);

  // Both quotes delimit attributes in real pages; the apostrophe one takes the attribute escape.
  const std::string document = "<r a=\"" + escaped_attribute + "\" b='" + escaped_attribute +
                               "'><t>" + escaped_text + "</t><c>" + refs + "</c></r>";
  const fuzz::XmlDoc doc = fuzz::ParseXml(document);
  fuzz::Check(doc != nullptr, "escaped text is not well-formed XML", document);
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  const std::string clean = Cleaned(text);
  for (const char* name : {"a", "b"}) {
    xmlChar* value = xmlGetProp(root, reinterpret_cast<const xmlChar*>(name));
    const std::string attribute = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    fuzz::Check(attribute == AttributeNormalised(clean), "an attribute reads back differently",
                document);
  }
  const xmlNode* t = xmlFirstElementChild(const_cast<xmlNode*>(root));
  const xmlNode* c = xmlNextElementSibling(const_cast<xmlNode*>(t));
  fuzz::Check(fuzz::TextOf(t) == LineEndsNormalised(clean), "element text reads back differently",
              document);
  fuzz::Check(fuzz::TextOf(c) == clean, "character references read back differently", document);
  return 0;
}
