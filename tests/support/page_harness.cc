#include "support/page_harness.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/data/connection.h"
#include "platform/data/recordset.h"
#include "platform/fs/file_system_object.h"
#include "platform/host/collection.h"
#include "platform/host/request.h"
#include "platform/host/scripting_context.h"
#include "platform/text/ascii.h"

namespace testing_support {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Encode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out.push_back(ch);
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

host::Collection MakeCollection(const Pairs& pairs) {
  return host::Collection(FormText(pairs), pairs);
}

}  // namespace

std::string FormText(const Pairs& pairs) {
  std::string text;
  for (const auto& [name, value] : pairs) {
    if (!text.empty()) text.push_back('&');
    text.append(Encode(name)).append("=").append(Encode(value));
  }
  return text;
}

PageHarness::PageHarness() : pool_(root_.path()) {
  WriteFile("conn.asp",
            "<%\r\n"
            "strSQLServer=\"sqlite:data/site.db\"\r\n"
            "strSQLUser=\"\"\r\n"
            "strSQLPassword=\"\"\r\n"
            "strSQLDataBase=\"site\"\r\n"
            "%>\r\n");
  WriteFile("inc/fso.asp", "<%\r\nConst_ScriptFileSystem=\"Scripting.FileSystemObject\"\r\n%>\r\n");
  WriteFile("data/site.db", "");  // an empty file is an empty database
  std::filesystem::create_directories(Root() / "waphome");
  Sql(ReadFile(std::filesystem::path(WAPSITE_SOURCE_DIR) / "schema" / "sqlite.sql"));
  pool_.SetStatementLog([this](std::string_view sql) {
    std::lock_guard lock(log_mutex_);
    if (recording_) statements_.emplace_back(sql);
  });
}

PageHarness::~PageHarness() = default;

void PageHarness::WriteFile(std::string_view relative_path, std::string_view content) const {
  const std::filesystem::path path = Root() / std::filesystem::path(relative_path);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void PageHarness::Remove(std::string_view relative_path) const {
  std::filesystem::remove_all(Root() / std::filesystem::path(relative_path));
}

void PageHarness::Sql(std::string_view script) {
  data::Connection connection(pool_);
  connection.Open(kConnectionString);
  connection.ExecuteScript(script);
}

std::vector<std::vector<data::Value>> PageHarness::Query(std::string_view sql) {
  data::Connection connection(pool_);
  connection.Open(kConnectionString);
  data::Recordset rows;
  rows.Open(sql, connection);
  std::vector<std::vector<data::Value>> result;
  for (; !rows.Eof(); rows.MoveNext()) {
    std::vector<data::Value> row;
    for (std::size_t i = 0; i < rows.FieldCount(); ++i) row.push_back(rows.Field(i));
    result.push_back(std::move(row));
  }
  return result;
}

host::Response PageHarness::Run(host::HostObject& object, const PageRequest& request,
                                std::string page_folder) {
  return Run(object, request, session_, std::move(page_folder));
}

host::Response PageHarness::Run(host::HostObject& object, const PageRequest& request,
                                host::Session& session, std::string page_folder) {
  host::Request req(MakeCollection(request.query), MakeCollection(request.form),
                    MakeCollection(request.cookies),
                    {{"HTTP_ACCEPT", request.accept},
                     {"REQUEST_METHOD", request.form.empty() ? "GET" : "POST"},
                     {"QUERY_STRING", FormText(request.query)}});
  host::Response response;
  host::Server server(Root(), std::move(page_folder),
                      [this](std::string_view prog_id) -> std::unique_ptr<host::HostObject> {
                        if (text::EqualsIgnoreCase(prog_id, "Scripting.FileSystemObject")) {
                          return std::make_unique<fso::FileSystemObject>();
                        }
                        return extra_factory_ ? extra_factory_(prog_id) : nullptr;
                      });
  host::ScriptingContext context{application_, req, response, session, server, pool_};
  {
    std::lock_guard lock(log_mutex_);
    statements_.clear();
    recording_ = true;
  }
  struct StopRecording {
    PageHarness& h;
    ~StopRecording() {
      std::lock_guard lock(h.log_mutex_);
      h.recording_ = false;
    }
  } stop{*this};
  try {
    object.OnStartPage(context);
  } catch (...) {
    object.OnEndPage();  // the host ends every created object, then reports the failure
    throw;
  }
  object.OnEndPage();
  return response;
}

std::vector<std::string> PageHarness::Statements() const {
  std::lock_guard lock(log_mutex_);
  return statements_;
}

}  // namespace testing_support
