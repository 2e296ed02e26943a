// Reading a multipart/form-data request body into its text fields and its files. Pure;
// thread-safe.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/host/objects/collection.h"
#include "platform/host/objects/uploaded_files.h"

namespace host {

struct MultipartForm {
  Collection fields;    // the parts without a file name, in order; values as UTF-8 (ill-formed
                        // sequences become U+FFFD); its Text() is empty
  UploadedFiles files;  // the parts with a file name, bytes as sent (parts of the body)
};

// True when `content_type` (a Content-Type header value) is multipart/form-data.
bool IsMultipartFormContentType(std::string_view content_type);

// The parts of `body`, sent with `content_type` (multipart/form-data with its boundary). A file
// field that the browser sent without choosing a file (an empty file name and no bytes) is left
// out. Throws RequestError (a 400) with a one-line reason when the boundary is missing or longer
// than 70 characters, the body does not start its first part or never closes the last, a part has
// no form-data name, or there are more than `max_parts` parts (files included). Each file's bytes
// are a view of `body`, and its `storage` is `body_owner`, which must keep `body` alive.
MultipartForm ParseMultipartForm(std::string_view body, std::string_view content_type,
                                 std::size_t max_parts, std::shared_ptr<const void> body_owner);

}  // namespace host
