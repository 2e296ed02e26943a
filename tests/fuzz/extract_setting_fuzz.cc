// ExtractSetting over any configuration text. The first byte picks the setting name (the names the
// program asks for); the rest is the text. The value never holds white space, and on short texts
// it equals what the documented regular expression gives: name="\S*" case-insensitive, greedy,
// global, the last match less every name= and one quote at each end.
#include <cstdint>
#include <regex>
#include <string>

#include "fuzz_check.h"
#include "wap/framework/db_settings.h"

namespace {

constexpr std::string_view kNames[] = {"strSQLServer", "strSQLUser", "strSQLPassword",
                                       "strSQLDataBase", "Const_ScriptFileSystem", "a"};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string Reference(std::string_view name, const std::string& text) {
  const std::regex pattern(std::string(name) + "=\"\\S*\"",
                           std::regex::ECMAScript | std::regex::icase);
  std::string last;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    // Remove name= (any case) left to right, as a text replace does.
    const std::string match = it->str();
    const std::string lower = Lower(match);
    const std::string word = Lower(name) + "=";
    std::string value;
    for (std::size_t i = 0; i < match.size();) {
      if (lower.compare(i, word.size(), word) == 0) {
        i += word.size();
      } else {
        value.push_back(match[i++]);
      }
    }
    if (!value.empty() && value.front() == '"') value.erase(0, 1);
    if (!value.empty() && value.back() == '"') value.pop_back();
    last = value;
  }
  return last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view name = kNames[data[0] % std::size(kNames)];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string value = wap::ExtractSetting(name, text);
  fuzz::Check(value.find_first_of(" \t\r\n\f\v") == std::string::npos,
              "a setting value holds white space", value);
  fuzz::Check(value.size() <= text.size(), "a setting value is longer than the text", value);
  // std::regex recurses per character; keep the reference to texts it handles comfortably.
  if (text.size() <= 512) {
    fuzz::Check(value == Reference(name, text), "ExtractSetting disagrees with the regex", text);
  }
  return 0;
}
