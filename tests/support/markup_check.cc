#include "support/markup_check.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

namespace testing_support {
namespace {

constexpr const char* kWmlPublicId = "-//WAPFORUM//DTD WML 1.1//EN";
constexpr const char* kWmlSystemId = "http://www.wapforum.org/DTD/wml_1.1.xml";

struct FreeDoc {
  void operator()(xmlDoc* d) const noexcept { xmlFreeDoc(d); }
};
struct FreeDtd {
  void operator()(xmlDtd* d) const noexcept { xmlFreeDtd(d); }
};
struct FreeValidCtxt {
  void operator()(xmlValidCtxt* c) const noexcept { xmlFreeValidCtxt(c); }
};
struct FreeParserCtxt {
  void operator()(xmlParserCtxt* c) const noexcept { xmlFreeParserCtxt(c); }
};

// Collects libxml2's messages while it lives (this thread only).
class ErrorSink {
 public:
  ErrorSink() { xmlSetStructuredErrorFunc(this, &ErrorSink::OnError); }
  ~ErrorSink() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
  ErrorSink(const ErrorSink&) = delete;
  ErrorSink& operator=(const ErrorSink&) = delete;

  const std::string& Text() const { return text_; }
  void Add(const std::string& line) { text_ += line; }

  static void OnError(void* self, xmlErrorPtr error) {
    auto* sink = static_cast<ErrorSink*>(self);
    sink->text_ += "line " + std::to_string(error->line) + ": " +
                   (error->message != nullptr ? error->message : "(no message)\n");
  }
  // For the validation context's printf-style callbacks.
  static void OnValidity(void* self, const char* format, ...) {
    char buf[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    static_cast<ErrorSink*>(self)->text_ += buf;
  }

 private:
  std::string text_;
};

std::unique_ptr<xmlDoc, FreeDoc> Parse(std::string_view body, ErrorSink& sink) {
  std::unique_ptr<xmlParserCtxt, FreeParserCtxt> ctxt(xmlNewParserCtxt());
  if (!ctxt) return nullptr;
  std::unique_ptr<xmlDoc, FreeDoc> doc(xmlCtxtReadMemory(ctxt.get(), body.data(),
                                                         static_cast<int>(body.size()), "page.xml",
                                                         nullptr, XML_PARSE_NONET));
  if (!doc || ctxt->wellFormed == 0) {
    if (sink.Text().empty()) sink.Add("not well-formed\n");
    return nullptr;
  }
  return doc;
}

::testing::AssertionResult Failure(std::string_view what, const ErrorSink& sink,
                                   std::string_view body) {
  return ::testing::AssertionFailure() << what << ":\n"
                                       << sink.Text() << "--- page ---\n"
                                       << body << "\n--- end ---";
}

}  // namespace

::testing::AssertionResult WellFormedXml(std::string_view body) {
  ErrorSink sink;
  if (!Parse(body, sink)) return Failure("the page is not well-formed XML", sink, body);
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ValidWml(std::string_view body) {
  ErrorSink sink;
  const auto doc = Parse(body, sink);
  if (!doc) return Failure("the WML page is not well-formed XML", sink, body);
  const xmlDtd* declared = xmlGetIntSubset(doc.get());
  if (declared == nullptr || declared->ExternalID == nullptr || declared->SystemID == nullptr ||
      std::string(reinterpret_cast<const char*>(declared->ExternalID)) != kWmlPublicId ||
      std::string(reinterpret_cast<const char*>(declared->SystemID)) != kWmlSystemId) {
    sink.Add("the DOCTYPE does not name the WML 1.1 DTD\n");
    return Failure("the WML page has the wrong document type", sink, body);
  }
  const std::string dtd_path = std::string(WAPSITE_SOURCE_DIR) + "/tests/data/wml_1.1.dtd";
  std::unique_ptr<xmlDtd, FreeDtd> dtd(
      xmlParseDTD(nullptr, reinterpret_cast<const xmlChar*>(dtd_path.c_str())));
  if (!dtd) return Failure("cannot read " + dtd_path, sink, body);
  std::unique_ptr<xmlValidCtxt, FreeValidCtxt> valid(xmlNewValidCtxt());
  valid->userData = &sink;
  valid->error = &ErrorSink::OnValidity;
  valid->warning = &ErrorSink::OnValidity;
  if (xmlValidateDtd(valid.get(), doc.get(), dtd.get()) != 1) {
    return Failure("the WML page is not valid WML 1.1", sink, body);
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ValidPage(std::string_view body) {
  if (body.find("<!DOCTYPE wml ") != std::string_view::npos) return ValidWml(body);
  return WellFormedXml(body);
}

}  // namespace testing_support
