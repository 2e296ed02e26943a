// PrometheusText: writes metric families in the Prometheus text exposition format 0.0.4
// ("text/plain; version=0.0.4"): per family a HELP and a TYPE line, then its samples
// `name{label="value",…} number`. Label values and help texts are escaped as the format asks
// (backslash, quote, line break); numbers are written exactly (integers without a fraction,
// infinities as +Inf/-Inf). Not thread-safe; one writer builds one page.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace observe {

inline constexpr std::string_view kPrometheusContentType =
    "text/plain; version=0.0.4; charset=utf-8";

// `value` as the format writes a number: "3", "0.25", "+Inf".
std::string PrometheusNumber(double value);

using Label = std::pair<std::string_view, std::string_view>;

class PrometheusText {
 public:
  // Starts the family `name` of `type` ("counter", "gauge", "histogram"). Names and types are the
  // caller's to get right; a family is started once.
  void Family(std::string_view name, std::string_view type, std::string_view help);
  // One sample of the family last started (`name` may add a suffix such as "_bucket").
  void Sample(std::string_view name, std::initializer_list<Label> labels, double value);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace observe
