#include "support/markup_check.h"

#include <libxml/parser.h>
#include <libxml/valid.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace testing_support {
namespace {

// libxml2 sets up its global state lazily on first use, which races when the first pages are
// checked on several threads at once; set it up while the program is still single-threaded.
[[maybe_unused]] const bool kParserReady = (xmlInitParser(), true);

template <auto Free>
struct Deleter {
  template <class T>
  void operator()(T* p) const noexcept {
    Free(p);
  }
};
using Doc = std::unique_ptr<xmlDoc, Deleter<xmlFreeDoc>>;

// Collects libxml2's messages on this thread while it lives.
struct Errors {
  std::string text;
  Errors() {
    xmlSetStructuredErrorFunc(&text, [](void* sink, xmlErrorPtr e) {
      *static_cast<std::string*>(sink) += e->message ? e->message : "?\n";
    });
  }
  ~Errors() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
};

// Parses `body` without network access or external DTDs.
Doc Parse(std::string_view body) {
  return Doc(xmlReadMemory(body.data(), static_cast<int>(body.size()), "page.xml", nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

::testing::AssertionResult Failure(std::string_view what, const std::string& errors,
                                   std::string_view body) {
  return ::testing::AssertionFailure() << what << ":\n" << errors << "--- page ---\n" << body;
}

std::string Owned(xmlChar* text) {
  const std::string copy = text ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return copy;
}

// `use(result)` for `expression` evaluated on `body`, while the document lives.
template <class Use>
auto Evaluate(std::string_view body, std::string_view expression, Use use) {
  const Doc doc = Parse(body);
  if (!doc) throw std::runtime_error("not well-formed XML:\n" + std::string(body));
  const std::unique_ptr<xmlXPathContext, Deleter<xmlXPathFreeContext>> context(
      xmlXPathNewContext(doc.get()));
  xmlXPathRegisterNs(context.get(), BAD_CAST "h", BAD_CAST "http://www.w3.org/1999/xhtml");
  const std::unique_ptr<xmlXPathObject, Deleter<xmlXPathFreeObject>> result(
      xmlXPathEvalExpression(BAD_CAST std::string(expression).c_str(), context.get()));
  if (!result) throw std::runtime_error("bad XPath: " + std::string(expression));
  return use(*result);
}

}  // namespace

::testing::AssertionResult WellFormedXml(std::string_view body) {
  Errors errors;
  if (!Parse(body)) return Failure("not well-formed XML", errors.text, body);
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ValidWml(std::string_view body) {
  Errors errors;
  const Doc doc = Parse(body);
  if (!doc) return Failure("not well-formed XML", errors.text, body);
  const xmlDtd* declared = xmlGetIntSubset(doc.get());
  if (declared == nullptr || declared->ExternalID == nullptr || declared->SystemID == nullptr ||
      xmlStrcmp(declared->ExternalID, BAD_CAST "-//WAPFORUM//DTD WML 1.1//EN") != 0 ||
      xmlStrcmp(declared->SystemID, BAD_CAST "http://www.wapforum.org/DTD/wml_1.1.xml") != 0) {
    return Failure("the DOCTYPE does not name the WML 1.1 DTD", errors.text, body);
  }
  const std::string path = std::string(WAPSITE_SOURCE_DIR) + "/tests/data/wml_1.1.dtd";
  const std::unique_ptr<xmlDtd, Deleter<xmlFreeDtd>> dtd(
      xmlParseDTD(nullptr, BAD_CAST path.c_str()));
  const std::unique_ptr<xmlValidCtxt, Deleter<xmlFreeValidCtxt>> valid(xmlNewValidCtxt());
  if (!dtd || !valid) return Failure("cannot read " + path, errors.text, body);
  valid->error = valid->warning = nullptr;  // the messages go to `errors`
  if (xmlValidateDtd(valid.get(), doc.get(), dtd.get()) != 1) {
    return Failure("not valid WML 1.1", errors.text, body);
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ValidPage(std::string_view body) {
  return body.find("<!DOCTYPE wml ") != std::string_view::npos ? ValidWml(body)
                                                               : WellFormedXml(body);
}

std::vector<std::string> XPathStrings(std::string_view body, std::string_view expression) {
  return Evaluate(body, expression, [](xmlXPathObject& result) {
    std::vector<std::string> values;
    if (result.type != XPATH_NODESET) return std::vector{Owned(xmlXPathCastToString(&result))};
    for (int i = 0; result.nodesetval != nullptr && i < result.nodesetval->nodeNr; ++i) {
      values.push_back(Owned(xmlXPathCastNodeToString(result.nodesetval->nodeTab[i])));
    }
    return values;
  });
}

std::string XPathString(std::string_view body, std::string_view expression) {
  return Evaluate(body, expression,
                  [](xmlXPathObject& r) { return Owned(xmlXPathCastToString(&r)); });
}

::testing::AssertionResult MatchesGolden(std::string_view name, std::string_view actual) {
  const auto path = std::filesystem::path(WAPSITE_SOURCE_DIR) / "tests/data/golden" / name;
  if (const char* update = std::getenv("WAPSITE_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path, std::ios::binary) << actual;
    return ::testing::AssertionSuccess();
  }
  std::ifstream in(path, std::ios::binary);
  const std::string expected{std::istreambuf_iterator<char>(in), {}};
  if (in && expected == actual) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t from = at > 60 ? at - 60 : 0;
  return ::testing::AssertionFailure() << path << (in ? "" : " is missing") << ": differs at byte "
                                       << at << "\n  golden: " << expected.substr(from, 120)
                                       << "\n  got:    " << actual.substr(from, 120);
}

}  // namespace testing_support
