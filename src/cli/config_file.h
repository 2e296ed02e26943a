// Options of a command from a configuration file (`wapsite serve --config FILE`): CLI11's INI/TOML
// format, one `name = value` a line, `name` a long option of the command without its dashes,
// optionally inside a section named after the command ([serve]). A value given on the command
// line wins: the file only fills options the command line left out.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace cli {

// Reads `path` and gives each option of `command` that the command line did not give the file's
// value, checked and stored as a command-line value would be. Call from the command's callback.
// Throws CLI::FileError when the file cannot be read, CLI::ConfigError for a name that is no
// option of the command (or is --config itself), and the option's own CLI::ParseError for a value
// it refuses.
void ApplyConfigFile(CLI::App& command, const std::string& path);

}  // namespace cli
