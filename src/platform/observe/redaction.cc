#include "platform/observe/redaction.h"

#include "platform/text/ascii.h"
#include "platform/text/percent.h"

namespace observe {

bool IsSecretFieldName(std::string_view name) {
  const std::string folded = text::AsciiLower(text::PercentDecodeFormValue(name));
  if (folded == "sid") return true;
  for (const std::string_view word : {"pass", "pwd", "token", "session", "secret"}) {
    if (folded.find(word) != std::string::npos) return true;
  }
  return false;
}

std::string WithoutSecrets(std::string_view target) {
  const std::size_t question = target.find('?');
  if (question == std::string_view::npos) return std::string(target);
  std::string out(target.substr(0, question + 1));
  std::string_view query = target.substr(question + 1);
  // Fields are separated by "&" (and ";", which some clients use).
  while (true) {
    const std::size_t end = query.find_first_of("&;");
    const std::string_view field = query.substr(0, end);
    const std::size_t equals = field.find('=');
    if (equals != std::string_view::npos && IsSecretFieldName(field.substr(0, equals))) {
      out.append(field.substr(0, equals + 1)).append(kRedacted);
    } else {
      out.append(field);
    }
    if (end == std::string_view::npos) break;
    out.push_back(query[end]);
    query = query.substr(end + 1);
  }
  return out;
}

}  // namespace observe
