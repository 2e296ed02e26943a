#include "platform/observe/prometheus_text.h"

#include <cmath>
#include <cstdio>

namespace observe {
namespace {

void AppendEscaped(std::string& out, std::string_view text, bool quote) {
  for (const char c : text) {
    if (c == '\\') {
      out.append("\\\\");
    } else if (c == '\n') {
      out.append("\\n");
    } else if (c == '"' && quote) {
      out.append("\\\"");
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

std::string PrometheusNumber(double value) {
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  if (std::isnan(value)) return "NaN";
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<long long>(value));
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

void PrometheusText::Family(std::string_view name, std::string_view type, std::string_view help) {
  text_.append("# HELP ").append(name).push_back(' ');
  AppendEscaped(text_, help, false);
  text_.append("\n# TYPE ").append(name).push_back(' ');
  text_.append(type).push_back('\n');
}

void PrometheusText::Sample(std::string_view name, std::initializer_list<Label> labels,
                            double value) {
  text_.append(name);
  if (labels.size() > 0) {
    char separator = '{';
    for (const auto& [label, label_value] : labels) {
      text_.push_back(separator);
      text_.append(label).append("=\"");
      AppendEscaped(text_, label_value, true);
      text_.push_back('"');
      separator = ',';
    }
    text_.push_back('}');
  }
  text_.push_back(' ');
  text_.append(PrometheusNumber(value));
  text_.push_back('\n');
}

}  // namespace observe
