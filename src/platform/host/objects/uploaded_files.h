// UploadedFiles: the files of a multipart/form-data request, in request order, looked up by the
// form field they came in. What the client says about a file (its name, its content type) is only
// a claim: code that stores a file judges its bytes. Immutable once built; safe to read from any
// thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct UploadedFile {
  std::string field_name;    // the form field, as sent (UTF-8)
  std::string file_name;     // the name the client gave, as sent (UTF-8); never a path to use
  std::string content_type;  // the part's Content-Type, as sent; "" when none
  // The file's content: a part of the request's body, which may lie in a temporary file mapped
  // read-only rather than in memory. Valid while `storage` (or whatever the maker of this file
  // keeps alive otherwise) lives.
  std::string_view bytes;
  std::shared_ptr<const void> storage;  // keeps `bytes` alive; shared by the request's files
};

class UploadedFiles {
 public:
  UploadedFiles() = default;
  explicit UploadedFiles(std::vector<UploadedFile> files) : files_(std::move(files)) {}

  // The first file sent in field `name` (any letter case); nullptr when there is none. The
  // pointer stays valid as long as this collection.
  const UploadedFile* Get(std::string_view name) const;

  const std::vector<UploadedFile>& All() const { return files_; }
  bool Empty() const { return files_.empty(); }

 private:
  std::vector<UploadedFile> files_;
};

}  // namespace host
