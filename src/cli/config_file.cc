#include "cli/config_file.h"

#include <CLI/CLI.hpp>

namespace cli {

void ApplyConfigFile(CLI::App& command, const std::string& path) {
  for (const CLI::ConfigItem& item : CLI::ConfigTOML().from_file(path)) {
    if (item.name == "++" || item.name == "--") continue;  // the reader's marks of a section
    const bool in_section =
        item.parents.empty() || (item.parents.size() == 1 && item.parents[0] == command.get_name());
    CLI::Option* option = command.get_option_no_throw("--" + item.name);
    if (!in_section || option == nullptr || item.name == "config") {
      throw CLI::ConfigError(path + ": '" + item.fullname() + "' is no option of wapsite " +
                             command.get_name());
    }
    if (option->count() > 0) continue;  // the command line gave it
    option->add_result(item.inputs);
    option->run_callback();
  }
}

}  // namespace cli
