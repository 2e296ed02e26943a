// The picture formats an upload may be, told from its first bytes (the magic numbers), never from
// the file name or the content type the client claims. Pure; thread-safe.
#pragma once

#include <optional>
#include <string_view>

namespace backoffice::images {

enum class ImageType { kJpeg, kPng, kGif };

// The format `bytes` begins as; std::nullopt when it is none of them.
std::optional<ImageType> SniffImageType(std::string_view bytes);

}  // namespace backoffice::images
