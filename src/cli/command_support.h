// What the administration commands (class, site, member, upgrade) share: their exit codes, the
// one place that turns a command's failure into exit code 1, and the shape of command groups.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace cli {

constexpr int kOk = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

// Runs `body` for the command `name`, turning a failure into exit code 1 and one line on standard
// error; otherwise the exit code is what `body` returns.
void Run(const std::string& name, int& exit_code, const std::function<int()>& body);

// A command group ("class", "site", "member") without one of its commands is a usage error
// (exit 2).
void RequireOneOf(CLI::App& group, int& exit_code);

// Adds command `name` to `group`, with the exit statuses as its help's footer.
CLI::App* AddCommand(CLI::App& group, std::string name, std::string description);

}  // namespace cli
