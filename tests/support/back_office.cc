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

HttpResponse PostPicture(HttpClient& client, const std::string& target, Pairs fields,
                         const std::string& picture, const std::string& token) {
  fields.emplace_back("token", token);
  std::string body;
  for (const auto& [name, value] : fields) {
    body +=
        "--XyZ\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
  }
  if (!picture.empty()) {
    body +=
        "--XyZ\r\nContent-Disposition: form-data; name=\"picture\"; filename=\"a.jpg\"\r\n"
        "Content-Type: image/jpeg\r\n\r\n" +
        picture + "\r\n";
  }
  return client.Send("POST", target, {{"Content-Type", "multipart/form-data; boundary=XyZ"}},
                     body + "--XyZ--\r\n");
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
