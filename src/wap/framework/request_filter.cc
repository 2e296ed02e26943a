#include "wap/framework/request_filter.h"

#include <string>
#include <string_view>
#include <vector>

#include "platform/host/objects/collection.h"
#include "platform/host/objects/request.h"
#include "platform/host/objects/response.h"
#include "platform/text/ascii.h"

namespace wap {
namespace {

// The keywords, separated by 杰 (U+6770).
constexpr std::string_view kKeywordList =
    "'杰;杰and杰exec杰insert杰select杰delete杰update杰count杰*杰%"
    "杰chr杰mid杰master杰truncate杰"
    "char杰declare";
constexpr std::string_view kSeparator = "杰";

std::vector<std::string_view> SplitKeywords() {
  std::vector<std::string_view> keywords;
  std::string_view rest = kKeywordList;
  for (;;) {
    const std::size_t at = rest.find(kSeparator);
    keywords.push_back(rest.substr(0, at));
    if (at == std::string_view::npos) break;
    rest.remove_prefix(at + kSeparator.size());
  }
  return keywords;
}

// Ends the response at every value of `collection` that equals a keyword; true at a hit.
bool Screen(const host::Collection& collection, const std::vector<std::string_view>& keywords,
            host::Response& response) {
  if (collection.Empty()) return false;
  bool hit = false;
  for (const std::string& key : collection.Keys()) {
    const std::string value = text::AsciiLower(collection.Get(key).value_or(""));
    for (const std::string_view keyword : keywords) {
      if (value == keyword) {
        response.End();
        hit = true;
      }
    }
  }
  return hit;
}

}  // namespace

bool FilterRequest(const host::Request& request, host::Response& response) {
  const std::vector<std::string_view> keywords = SplitKeywords();
  const bool form_hit = Screen(request.Form(), keywords, response);
  const bool query_hit = Screen(request.QueryString(), keywords, response);
  return form_hit || query_hit;
}

}  // namespace wap
