#include "wap/framework/db_settings.h"

#include "platform/fs/file_system_object.h"
#include "platform/host/objects/application.h"
#include "platform/host/objects/server.h"
#include "platform/text/ascii.h"

namespace wap {
namespace {

// The blank characters of the \s class.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// True when `text` holds `word` at `at`, ignoring ASCII letter case. Requires: at <= text.size().
bool MatchesAt(std::string_view text, std::size_t at, std::string_view word) {
  return text::StartsWithIgnoreCase(text.substr(at), word);
}

// `text` without every occurrence of `word` (any case), scanning left to right.
std::string RemoveAll(std::string_view text, std::string_view word) {
  if (word.empty()) return std::string(text);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (MatchesAt(text, i, word)) {
      i += word.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

std::string ReadWholeFile(const fso::FileSystemObject& fs, const std::string& path) {
  return fs.OpenTextFile(path)->ReadAll();
}

}  // namespace

std::string ExtractSetting(std::string_view name, std::string_view text) {
  const std::string prefix = std::string(name) + "=";
  std::string result;
  std::size_t at = 0;
  while (at < text.size()) {
    // The pattern name="\S*" at `at`: the greedy run ends at the last quote before the next
    // blank (or the end of the text).
    std::size_t end = std::string_view::npos;
    if (MatchesAt(text, at, prefix) && at + prefix.size() < text.size() &&
        text[at + prefix.size()] == '"') {
      const std::size_t run_start = at + prefix.size() + 1;
      std::size_t run_end = run_start;
      while (run_end < text.size() && !IsBlank(text[run_end])) ++run_end;
      const std::size_t quote = text.substr(run_start, run_end - run_start).rfind('"');
      if (quote != std::string_view::npos) end = run_start + quote + 1;
    }
    if (end == std::string_view::npos) {
      ++at;
      continue;
    }
    std::string value = RemoveAll(text.substr(at, end - at), prefix);
    if (!value.empty() && value.front() == '"') value.erase(0, 1);
    if (!value.empty() && value.back() == '"') value.pop_back();
    result = std::move(value);
    at = end;
  }
  return result;
}

DBSettings LoadDBSettings(host::Application& app, const host::Server& server) {
  DBSettings s;
  if (app.Get("strDBName").value_or("").empty()) {
    const std::string root = server.MapPath("/");
    const fso::FileSystemObject fs{};
    const std::string conn = ReadWholeFile(fs, root + "\\conn.asp");
    s.database = ExtractSetting("strSQLDataBase", conn);
    s.server = ExtractSetting("strSQLServer", conn);
    s.user = ExtractSetting("strSQLUser", conn);
    s.password = ExtractSetting("strSQLPassword", conn);
    app.Set("strDBName", s.database);
    app.Set("strDBServer", s.server);
    app.Set("strDBUser", s.user);
    app.Set("strDBPwd", s.password);
    const std::string fso_file = ReadWholeFile(fs, root + "\\inc\\fso.asp");
    s.file_system_object = ExtractSetting("Const_ScriptFileSystem", fso_file);
    app.Set("Const_ScriptFileSystem", s.file_system_object);
  } else {
    s.database = app.Get("strDBName").value_or("");
    s.server = app.Get("strDBServer").value_or("");
    s.user = app.Get("strDBUser").value_or("");
    s.password = app.Get("strDBPwd").value_or("");
    s.file_system_object = app.Get("Const_ScriptFileSystem").value_or("");
  }
  return s;
}

void ForgetDBSettings(host::Application& app) { app.Set("strDBName", ""); }

}  // namespace wap
