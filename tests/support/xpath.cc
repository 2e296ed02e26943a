#include "support/xpath.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace testing_support {
namespace {

struct FreeDoc {
  void operator()(xmlDoc* d) const noexcept { xmlFreeDoc(d); }
};
struct FreeContext {
  void operator()(xmlXPathContext* c) const noexcept { xmlXPathFreeContext(c); }
};
struct FreeObject {
  void operator()(xmlXPathObject* o) const noexcept { xmlXPathFreeObject(o); }
};
struct FreeText {
  void operator()(xmlChar* s) const noexcept { xmlFree(s); }
};

std::string Text(xmlChar* owned) {
  const std::unique_ptr<xmlChar, FreeText> text(owned);
  return text ? reinterpret_cast<const char*>(text.get()) : "";
}

// Parses `body` and evaluates `expression` on it; calls `use` with the result while the document
// is alive.
template <typename Use>
auto Evaluate(std::string_view body, std::string_view expression, Use use) {
  const std::unique_ptr<xmlDoc, FreeDoc> doc(
      xmlReadMemory(body.data(), static_cast<int>(body.size()), "page.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) throw std::runtime_error("not well-formed XML:\n" + std::string(body));
  const std::unique_ptr<xmlXPathContext, FreeContext> context(xmlXPathNewContext(doc.get()));
  xmlXPathRegisterNs(context.get(), reinterpret_cast<const xmlChar*>("h"),
                     reinterpret_cast<const xmlChar*>("http://www.w3.org/1999/xhtml"));
  const std::string expr(expression);
  const std::unique_ptr<xmlXPathObject, FreeObject> result(
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expr.c_str()), context.get()));
  if (!result) throw std::runtime_error("XPath expression does not compile: " + expr);
  return use(*result);
}

}  // namespace

std::vector<std::string> XPathStrings(std::string_view body, std::string_view expression) {
  return Evaluate(body, expression, [](xmlXPathObject& result) {
    std::vector<std::string> values;
    if (result.type != XPATH_NODESET) {
      values.push_back(Text(xmlXPathCastToString(&result)));
      return values;
    }
    const xmlNodeSet* nodes = result.nodesetval;
    for (int i = 0; nodes != nullptr && i < nodes->nodeNr; ++i) {
      values.push_back(Text(xmlXPathCastNodeToString(nodes->nodeTab[i])));
    }
    return values;
  });
}

std::string XPathString(std::string_view body, std::string_view expression) {
  return Evaluate(body, expression,
                  [](xmlXPathObject& result) { return Text(xmlXPathCastToString(&result)); });
}

int XPathCount(std::string_view body, std::string_view expression) {
  return Evaluate(body, expression, [&](xmlXPathObject& result) {
    if (result.type != XPATH_NODESET) {
      throw std::runtime_error("XPath expression gives no node set: " + std::string(expression));
    }
    return result.nodesetval == nullptr ? 0 : result.nodesetval->nodeNr;
  });
}

}  // namespace testing_support
