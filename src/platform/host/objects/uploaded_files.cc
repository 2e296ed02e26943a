#include "platform/host/objects/uploaded_files.h"

#include "platform/text/ascii.h"

namespace host {

const UploadedFile* UploadedFiles::Get(std::string_view name) const {
  for (const UploadedFile& file : files_) {
    if (text::EqualsIgnoreCase(file.field_name, name)) return &file;
  }
  return nullptr;
}

}  // namespace host
