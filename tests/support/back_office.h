// Signing a test's HTTP client in to the back office, as an owner's browser does.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/http_client.h"

namespace testing_support {

// Posts `name` and `password` to /admin/ with `client` (cookies on) and returns the form token of
// the owner's pages; "" (and a test failure) when the sign-in is refused.
std::string SignInOwner(HttpClient& client, std::string_view name, std::string_view password);

// Runs `wapsite member add NAME --password-stdin` on the web root `root` with the password
// "NAME-pw"; what it printed (the owner's site number and a newline), "" when it failed.
std::string AddOwner(const std::filesystem::path& root, const std::string& name);

// Posts `fields`, the form token `token` and, unless `picture` is empty, the file "picture" (as
// a.jpg, image/jpeg) to `target` as multipart/form-data, as a back-office form with a file field
// is sent.
HttpResponse PostPicture(HttpClient& client, const std::string& target, Pairs fields,
                         const std::string& picture, const std::string& token);

// The token of the first form of `html` ("" when none).
std::string FormToken(const std::string& html);

}  // namespace testing_support
