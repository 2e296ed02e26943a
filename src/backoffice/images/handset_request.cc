#include "backoffice/images/handset_request.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/text/ascii.h"

namespace backoffice::images {
namespace {

// The value of the first header `name` (any case) in `headers`; std::nullopt when absent.
std::optional<std::string_view> Find(const host::HttpHeaders& headers, std::string_view name) {
  for (const auto& [key, value] : headers) {
    if (text::EqualsIgnoreCase(key, name)) return std::string_view(value);
  }
  return std::nullopt;
}

// `digits` (blanks around it allowed) as a whole number of `low` to `high`; std::nullopt otherwise.
std::optional<long> WholeNumber(std::string_view digits, long low, long high) {
  digits = text::TrimBlanks(digits);
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

// Whether the parameters of a media range (";level=1;q=0.5") give it a q of 0.
bool RefusedByQuality(std::string_view parameters) {
  std::size_t at = 0;
  while (at < parameters.size()) {
    std::size_t end = parameters.find(';', at);
    if (end == std::string_view::npos) end = parameters.size();
    const std::string_view parameter = text::TrimBlanks(parameters.substr(at, end - at));
    if (text::StartsWithIgnoreCase(parameter, "q=")) {
      const std::string_view q = text::TrimBlanks(parameter.substr(2));
      return !q.empty() && q.find_first_not_of("0.") == std::string_view::npos;
    }
    at = end + 1;
  }
  return false;
}

}  // namespace

bool WantsWbmp(std::string_view accept, std::string_view own_type) {
  bool wbmp = false;
  bool own = false;
  std::size_t at = 0;
  while (at < accept.size()) {
    std::size_t end = accept.find(',', at);
    if (end == std::string_view::npos) end = accept.size();
    const std::string_view item = accept.substr(at, end - at);
    at = end + 1;
    const std::size_t semicolon = std::min(item.find(';'), item.size());
    const std::string_view range = text::TrimBlanks(item.substr(0, semicolon));
    if (range.empty() || RefusedByQuality(item.substr(semicolon))) continue;
    if (text::EqualsIgnoreCase(range, "image/vnd.wap.wbmp")) wbmp = true;
    if (text::EqualsIgnoreCase(range, own_type) || text::EqualsIgnoreCase(range, "image/*") ||
        range == "*/*") {
      own = true;
    }
  }
  return wbmp && !own;
}

int ScreenWidth(const host::HttpHeaders& headers) {
  const auto width = [](std::optional<std::string_view> value, char separator) {
    if (!value) return std::optional<long>();
    const std::size_t at = value->find(separator);
    if (at == std::string_view::npos) return std::optional<long>();
    return WholeNumber(value->substr(0, at), 1, 4096);
  };
  std::optional<long> declared = width(Find(headers, "UA-Pixels"), 'x');
  if (!declared) declared = width(Find(headers, "UA-Pixels"), 'X');
  if (!declared) declared = width(Find(headers, "x-up-devcap-screenpixels"), ',');
  return declared ? static_cast<int>(*declared) : kDefaultScreenWidth;
}

std::size_t DeckBytes(const host::HttpHeaders& headers) {
  for (const char* name : {"X-WAP-Client-SDU-Size", "x-up-devcap-max-pdu"}) {
    const auto value = Find(headers, name);
    if (!value) continue;
    if (const auto bytes = WholeNumber(*value, 1, 1'000'000)) {
      return std::max<std::size_t>(*bytes, kLeastDeckBytes);
    }
  }
  return kDefaultDeckBytes;
}

}  // namespace backoffice::images
