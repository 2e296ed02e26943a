// What the operator sees of a request: its access line (secrets redacted), the error log's
// priorities, the access file reopened after rotation, and the metrics' page labels.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/host/http/server_log.h"
#include "platform/observe/access_line.h"
#include "platform/observe/metrics.h"
#include "platform/observe/redaction.h"
#include "support/temp_dir.h"

namespace {

TEST(Redaction, BlanksTheValuesOfSecretFieldsOnly) {
  const struct {
    const char *in, *out;
  } rows[] = {
      {"/wap/index.asp?userid=1&siteid=2", "/wap/index.asp?userid=1&siteid=2"},
      {"/a.asp?Password=x&userid=1", "/a.asp?Password=***&userid=1"},
      {"/a.asp?pwd=x;m_PassWord=y&userpwd=z", "/a.asp?pwd=***;m_PassWord=***&userpwd=***"},
      {"/a.asp?WAPSESSIONID=abc&sid=d&csrf_token=e",
       "/a.asp?WAPSESSIONID=***&sid=***&csrf_token=***"},
      {"/a.asp?pass%77ord=x&secret", "/a.asp?pass%77ord=***&secret"},  // encoded name; no value
      {"http://h/login.asp?username=a&password=b", "http://h/login.asp?username=a&password=***"},
      {"/a.asp?siteid=1&side=2&passage", "/a.asp?siteid=1&side=2&passage"},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(observe::WithoutSecrets(row.in), row.out) << row.in;
}

TEST(AccessLine, WritesTheCombinedFormatWithEscapedFields) {
  const auto when = std::chrono::system_clock::from_time_t(1'700'000'000);  // 2023-11-14 22:13:20
  std::string out;
  observe::AppendAccessLine(out, {.remote = "10.0.0.1",
                                  .received = when,
                                  .method = "GET",
                                  .target = "/wap/lyb.asp?userid=1&pwd=x",
                                  .http_version = 10,
                                  .status = 200,
                                  .body_bytes = 12,
                                  .referer = "",
                                  .user_agent = "Nokia\"6230\\\n"});
  observe::AppendAccessLine(out, {.remote = "::1", .received = when, .status = 400});
  EXPECT_EQ(out,
            "10.0.0.1 - - [14/Nov/2023:22:13:20 +0000] \"GET /wap/lyb.asp?userid=1&pwd=*** "
            "HTTP/1.0\" 200 12 \"-\" \"Nokia\\x226230\\x5c\\x0a\"\n"
            "::1 - - [14/Nov/2023:22:13:20 +0000] \"-\" 400 - \"-\" \"-\"\n");
}

TEST(ServerLog, PrefixesPrioritiesAndReopensItsFileAfterRotation) {
  testing_support::TempDir dir;
  const auto file = dir.path() / "access.log";
  std::ostringstream errors;
  {
    host::ServerLog log(file, errors, {.batch_access = true, .priorities = true});
    const std::string id = log.Error("boom");
    log.Note("note");
    log.Access({.remote = "a", .status = 200});
    std::filesystem::rename(file, dir.path() / "access.log.1");
    log.Reopen();
    log.Access({.remote = "b", .status = 200});
    EXPECT_EQ(errors.str(), "<3>error " + id + ": boom\n<5>note\n");
  }
  EXPECT_EQ(testing_support::ReadFile(dir.path() / "access.log.1").substr(0, 2), "a ");
  EXPECT_EQ(testing_support::ReadFile(file).substr(0, 2), "b ");
  EXPECT_EQ(testing_support::ReadFile(file).find("a "), std::string::npos);
}

TEST(Metrics, LabelsShallowHostPagesEscapedAndFoldsTheRest) {
  observe::Metrics metrics("1.0");
  const auto index = metrics.PageFor("/wap/index.asp");
  EXPECT_EQ(metrics.PageFor("/wap/index.asp"), index);
  EXPECT_NE(index, observe::Metrics::kOther);
  EXPECT_NE(metrics.PageFor("/index.asp"), observe::Metrics::kOther);
  for (const char* folded : {"/waphome/demo/index.asp", "wap/x.asp", "/wap/a b.asp", "/wap/新.asp"})
    EXPECT_EQ(metrics.PageFor(folded), observe::Metrics::kOther) << folded;
  metrics.CountRequest(metrics.PageFor("/q\"\\.asp"), 200, 5, std::chrono::milliseconds(30));
  EXPECT_NE(metrics.Text().find("{page=\"/q\\\"\\\\.asp\",le=\"0.05\"} 1\n"), std::string::npos);
  for (std::size_t i = 0; i < observe::Metrics::kMaxPages; ++i)
    metrics.PageFor("/p" + std::to_string(i) + ".asp");
  EXPECT_EQ(metrics.PageFor("/one-too-many.asp"), observe::Metrics::kOther);
  EXPECT_EQ(metrics.PageFor("/wap/index.asp"), index);
}

}  // namespace
