// ExtractSetting over any configuration text; the first byte picks the setting name. The value
// never holds white space, and on short texts it is what the documented regular expression gives:
// name="\S*" case-insensitive, greedy, global; the last match less every name= and one quote at
// each end.
#include <regex>

#include "fuzz_check.h"
#include "wap/framework/db_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::string_view kNames[] = {"strSQLServer",           "strSQLUser",
                                                "strSQLPassword",         "strSQLDataBase",
                                                "Const_ScriptFileSystem", "a"};
  if (size == 0) return 0;
  const std::string name(kNames[data[0] % std::size(kNames)]);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string value = wap::ExtractSetting(name, text);
  fuzz::Check(value.find_first_of(" \t\r\n\f\v") == std::string::npos, "a value holds white space",
              value);
  if (text.size() > 512) return 0;  // std::regex recurses per character
  std::string want;
  const std::regex pattern(name + "=\"\\S*\"", std::regex::icase),
      word(name + "=", std::regex::icase);
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
    want = std::regex_replace(it->str(), word, "");
    want = want.substr(1, want.size() - 2);  // it starts and ends with its quotes
  }
  fuzz::Check(value == want, "ExtractSetting disagrees with the regular expression", text);
  return 0;
}
