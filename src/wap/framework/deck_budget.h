// The deck budget: how large a page may be for the handset that asks for it, and how large a WML
// deck becomes once a WAP gateway compiles it to WBXML (WML 1.1 tokens). A handset that negotiated
// a small client SDU cannot take a larger reply, so a page over the limit is split (deck_split.h).
// Pure apart from reading the request and the application; thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

namespace host {
class Application;
class Request;
}  // namespace host

namespace wap {

// The compiled size of a WML deck when no request declares one (WSP's default client SDU).
inline constexpr std::size_t kDefaultWmlDeckBytes = 1400;
// The markup size of an XHTML page when the server sets none.
inline constexpr std::size_t kDefaultXhtmlPageBytes = 20000;
// A declared or configured limit below this counts as this: no deck holds less than the frame.
inline constexpr std::size_t kSmallestDeckBytes = 300;
// A declared or configured value above this is taken for garbage and ignored.
inline constexpr std::size_t kLargestDeckBytes = 1'000'000;

// The application values through which `wapsite serve` passes its limits to the pages.
inline constexpr std::string_view kWmlDeckBytesSetting = "wml_deck_bytes";
inline constexpr std::string_view kXhtmlPageBytesSetting = "xhtml_page_bytes";

// An upper bound on the bytes of `deck` (a well-formed WML 1.1 document, as the pages write it)
// compiled to WBXML 1.1 the way a gateway does: known elements and attributes as one-byte tokens,
// whitespace-only text dropped, other text and attribute values as inline strings, strings that
// recur in a string table. Never below what such a compiler makes; usually within a fifth above it.
std::size_t CompiledWmlBytes(std::string_view deck);

// The limit for this request's page. WML: the client SDU the request declares
// (X-WAP-Client-SDU-Size, else x-up-devcap-max-pdu), else the application value
// kWmlDeckBytesSetting, else kDefaultWmlDeckBytes. XHTML: kXhtmlPageBytesSetting, else
// kDefaultXhtmlPageBytes. A value that is not a whole number from 1 to kLargestDeckBytes is
// ignored; one below kSmallestDeckBytes counts as kSmallestDeckBytes. Reads the request's headers
// through its server variables, so that a page cache sees them as values the page depends on.
std::size_t PageByteLimit(const host::Request& request, const host::Application& application,
                          bool wml);

}  // namespace wap
