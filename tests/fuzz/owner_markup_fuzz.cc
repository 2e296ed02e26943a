// The owner-markup check: a text it lets through unescaped must be well-formed XML content made
// only of the inline elements it names, without attributes; and OwnerText, whatever it is given,
// must give well-formed content that reads back as the input when the input was escaped.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "wap/framework/owner_markup.h"

namespace {

bool IsInlineElement(std::string_view name) {
  for (const std::string_view allowed : {"b", "i", "u", "em", "strong", "big", "small"}) {
    if (name == allowed) return true;
  }
  return false;
}

// True when every element below `parent` is an allowed one, without attributes, br empty.
bool OnlyOwnerElements(const xmlNode* parent) {
  for (const xmlNode* n = parent->children; n != nullptr; n = n->next) {
    if (n->type == XML_TEXT_NODE) continue;
    if (n->type != XML_ELEMENT_NODE || n->properties != nullptr || n->nsDef != nullptr) {
      return false;
    }
    const std::string_view name = reinterpret_cast<const char*>(n->name);
    if (name == "br") {
      if (n->children != nullptr) return false;
    } else if (!IsInlineElement(name) || !OnlyOwnerElements(n)) {
      return false;
    }
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
  const bool markup = wap::IsOwnerMarkup(text);
  const std::string out = wap::OwnerText(text);
  fuzz::Check(!markup || out == text, "OwnerText changed a text that passed the check", text);

  const std::string document = "<p>" + out + "</p>";
  const fuzz::XmlDoc doc = fuzz::ParseXml(document);
  fuzz::Check(doc != nullptr, markup ? "a text that passed the check is not well-formed"
                                     : "an escaped owner text is not well-formed",
              document);
  const xmlNode* p = xmlDocGetRootElement(doc.get());
  fuzz::Check(OnlyOwnerElements(p), "the owner text holds elements it may not hold", document);
  return 0;
}
