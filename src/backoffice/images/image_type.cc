#include "backoffice/images/image_type.h"

namespace backoffice::images {

std::optional<ImageType> SniffImageType(std::string_view bytes) {
  using namespace std::string_view_literals;
  if (bytes.starts_with("\xFF\xD8\xFF"sv)) return ImageType::kJpeg;
  if (bytes.starts_with("\x89PNG\r\n\x1A\n"sv)) return ImageType::kPng;
  if (bytes.starts_with("GIF87a"sv) || bytes.starts_with("GIF89a"sv)) return ImageType::kGif;
  return std::nullopt;
}

}  // namespace backoffice::images
