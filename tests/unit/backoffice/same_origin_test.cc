#include "backoffice/same_origin.h"

#include <gtest/gtest.h>

namespace backoffice {
namespace {

TEST(SameOrigin, TheOriginMustNameTheHostsNameAndPort) {
  const struct {
    const char* origin;
    const char* host;
    bool same;
  } cases[] = {
      {"http://a.example", "a.example", true},
      {"http://a.example:80", "a.example", true},
      {"https://a.example", "a.example:443", true},
      {"http://A.Example:8080", "a.example:8080", true},
      {"http://[::1]:8080", "[::1]:8080", true},
      {"http://a.example:8080", "a.example", false},
      {"https://a.example", "a.example", true},  // behind TLS the Host names no port
      {"http://a.example.evil", "a.example", false},
      {"http://evil.example", "a.example", false},
      {"http://a.example/", "a.example", false},
      {"http://u@a.example", "a.example", false},
      {"ftp://a.example", "a.example", false},
      {"null", "a.example", false},
      {"http://a.example", "", false},
      {"http://a.example:", "a.example", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OriginMatchesHost(c.origin, c.host), c.same) << c.origin << " " << c.host;
}

}  // namespace
}  // namespace backoffice
