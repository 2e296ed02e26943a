#include "support/wbxml.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/temp_dir.h"

namespace testing_support {

std::size_t XmlToWbxmlBytes(std::string_view deck) {
  TempDir dir;
  const std::filesystem::path in = dir.path() / "deck.wml";
  const std::filesystem::path out = dir.path() / "deck.wmlc";
  {
    std::ofstream file(in, std::ios::binary);
    file.write(deck.data(), static_cast<std::streamsize>(deck.size()));
  }
  const std::string command =
      "xml2wbxml -v 1.1 -o '" + out.string() + "' '" + in.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0 || !std::filesystem::exists(out)) {
    throw std::runtime_error("xml2wbxml failed (is libwbxml2-utils installed?)");
  }
  return std::filesystem::file_size(out);
}

}  // namespace testing_support
