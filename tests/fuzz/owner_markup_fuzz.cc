// The owner-markup check: a text it lets through unescaped is well-formed XML content made only of
// the inline elements it names (br empty), without attributes; OwnerText of any text is such
// content, and leaves a text that passed the check as it is.
#include <set>

#include "fuzz_check.h"
#include "wap/framework/owner_markup.h"

static bool OnlyOwnerElements(const xmlNode* parent) {
  static const std::set<std::string> inline_elements = {"b",      "i",   "u",    "em",
                                                        "strong", "big", "small"};
  for (const xmlNode* n = parent->children; n != nullptr; n = n->next) {
    if (n->type == XML_TEXT_NODE) continue;
    if (n->type != XML_ELEMENT_NODE || n->properties != nullptr || n->nsDef != nullptr)
      return false;
    const std::string name = reinterpret_cast<const char*>(n->name);
    if (name == "br" ? n->children != nullptr
                     : !inline_elements.count(name) || !OnlyOwnerElements(n))
      return false;
  }
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string document = "<p>" + wap::OwnerText(text) + "</p>";
  fuzz::Check(!wap::IsOwnerMarkup(text) || document == "<p>" + std::string(text) + "</p>",
              "OwnerText changed a text that passed", text);
  const fuzz::XmlDoc doc = fuzz::ParseXml(document);
  fuzz::Check(doc != nullptr, "the owner text is not well-formed", document);
  fuzz::Check(OnlyOwnerElements(xmlDocGetRootElement(doc.get())),
              "the owner text holds elements it may not", document);
  return 0;
}
