// What the fuzz targets share: <cstdint>, a check that stops the run with a message (libFuzzer
// keeps the input), XML parsing with libxml2 (no network, no external DTD, no messages). One
// thread.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace fuzz {

inline void Check(bool ok, std::string_view what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n  %s\n", std::string(what).c_str(),
               std::string(detail.substr(0, 2000)).c_str());
  std::abort();
}

using XmlDoc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// `text` as a UTF-8 XML document; nullptr when it is not well-formed.
inline XmlDoc ParseXml(std::string_view text) {
  xmlSetStructuredErrorFunc(nullptr, [](void*, xmlErrorPtr) {});
  return XmlDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "fuzz.xml", "utf-8",
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                &xmlFreeDoc);
}

// All text below `node`, references resolved.
inline std::string TextOf(const xmlNode* node) {
  const std::unique_ptr<xmlChar, void (*)(void*)> text(xmlNodeGetContent(node),
                                                       [](void* p) { xmlFree(p); });
  return text ? reinterpret_cast<const char*>(text.get()) : "";
}

}  // namespace fuzz
