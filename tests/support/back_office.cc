#include "support/back_office.h"

#include <gtest/gtest.h>

#include "support/server_process.h"

namespace testing_support {

std::string AddOwner(const std::filesystem::path& root, const std::string& name) {
  const CommandResult added =
      RunWapsite({"member", "add", "--root", root.string(), name, "--password-stdin"},
                 "echo " + name + "-pw |");
  return added.exit_code == 0 ? added.out : "";
}

std::string FormToken(const std::string& html) {
  static constexpr std::string_view kMark = "name=\"token\" value=\"";
  const std::size_t at = html.find(kMark);
  if (at == std::string::npos) return "";
  const std::size_t start = at + kMark.size();
  return html.substr(start, html.find('"', start) - start);
}

std::string SignInOwner(HttpClient& client, std::string_view name, std::string_view password) {
  const HttpResponse signed_in = client.Post(
      "/admin/",
      FormEncode({{"username", std::string(name)}, {"password", std::string(password)}}));
  if (signed_in.status != 302) {
    ADD_FAILURE() << "sign-in of " << name << ": " << signed_in.status;
    return "";
  }
  return FormToken(client.Get("/admin/class.asp").body);
}

}  // namespace testing_support
