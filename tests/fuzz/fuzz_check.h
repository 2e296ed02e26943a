// What the fuzz targets share: a check that stops the run with a message (libFuzzer then keeps the
// input that broke it), and well-formedness checks with libxml2 (no network, no external DTD).
// One target runs on one thread; nothing here is thread-safe.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace fuzz {

// Stops the run when `ok` is false, printing `what` and `detail` (shortened).
inline void Check(bool ok, std::string_view what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %.*s\n  %.*s\n", static_cast<int>(what.size()),
               what.data(), static_cast<int>(std::min<std::size_t>(detail.size(), 2000)),
               detail.data());
  std::abort();
}

struct FreeDoc {
  void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};
using XmlDoc = std::unique_ptr<xmlDoc, FreeDoc>;

inline void IgnoreXmlError(void*, const char*, ...) {}

// Silences libxml2's error output (a malformed document is an expected outcome here).
inline void QuietXml() {
  xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
  xmlSetStructuredErrorFunc(nullptr, [](void*, xmlErrorPtr) {});
}

// `text` parsed as a UTF-8 XML document; nullptr when it is not well-formed.
inline XmlDoc ParseXml(std::string_view text) {
  return XmlDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "fuzz.xml", "utf-8",
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// The text content of `node` (all descendant text, references resolved).
inline std::string TextOf(const xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

}  // namespace fuzz
