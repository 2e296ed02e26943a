// What the fuzz targets share: a check that stops the run with a message (libFuzzer keeps the
// input), and XML parsing with libxml2 (no network, no external DTD, no messages). One thread.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace fuzz {

inline void Check(bool ok, std::string_view what, std::string_view detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %.*s\n  %.*s\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(std::min<std::size_t>(detail.size(), 2000)), detail.data());
  std::abort();
}

using XmlDoc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// `text` as a UTF-8 XML document; nullptr when it is not well-formed.
inline XmlDoc ParseXml(std::string_view text) {
  xmlSetStructuredErrorFunc(nullptr, [](void*, xmlErrorPtr) {});
  return XmlDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "fuzz.xml", "utf-8",
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING), &xmlFreeDoc);
}

// All text below `node`, references resolved.
inline std::string TextOf(const xmlNode* node) {
  const std::unique_ptr<xmlChar, void (*)(void*)> text(xmlNodeGetContent(node), [](void* p) { xmlFree(p); });
  return text ? reinterpret_cast<const char*>(text.get()) : "";
}

}  // namespace fuzz
