// Redaction: keeps passwords, session ids and tokens out of what is logged. A field of a query
// string whose name (percent-decoded, any letter case) contains "pass", "pwd", "token",
// "session" or "secret", or is "sid", has its value replaced by kRedacted; the name, the other
// fields and their order stay as they were. Pure; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace observe {

inline constexpr std::string_view kRedacted = "***";

// True when a query field named `name` (raw, as it travels) holds a secret.
bool IsSecretFieldName(std::string_view name);

// `target` (a request target "/path?query" or a whole URL, e.g. a Referer) with the values of its
// secret query fields redacted. A target without a query string is returned as it is.
std::string WithoutSecrets(std::string_view target);

}  // namespace observe
