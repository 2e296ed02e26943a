#include "backoffice/images/handset_picture.h"

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "backoffice/images/handset_request.h"
#include "backoffice/images/image_library.h"
#include "backoffice/images/picture_encoder.h"
#include "platform/fs/atomic_write.h"
#include "platform/text/ascii.h"

namespace backoffice::images {
namespace {

namespace fs = std::filesystem;

// A picture larger than this is not one the back office stored; it gets no WBMP.
constexpr std::uintmax_t kMaxPictureBytes = 4 << 20;
// A request may wait for its WBMP to be made only from a picture of at most this many pixels (the
// back office stores none wider than 240): the wait holds one of the server's I/O threads.
constexpr std::int64_t kMaxOnRequestPixels = 1'000'000;

// The bytes of `picture`; "" when it cannot be read or is larger than kMaxPictureBytes.
std::string ReadPicture(const fs::path& picture) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(picture, error);
  if (error || size > kMaxPictureBytes) return "";
  std::ifstream in(picture, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether `wbmp` is a regular file no older than `picture` and of at most `max_bytes`.
bool Current(const fs::path& wbmp, const fs::path& picture, std::size_t max_bytes) {
  struct stat copy {};
  struct stat original {};
  if (::lstat(wbmp.c_str(), &copy) != 0 || !S_ISREG(copy.st_mode)) return false;
  if (::stat(picture.c_str(), &original) != 0) return false;
  const auto when = [](const struct stat& s) {
    return std::pair(s.st_mtim.tv_sec, s.st_mtim.tv_nsec);
  };
  return when(copy) >= when(original) && static_cast<std::size_t>(copy.st_size) <= max_bytes;
}

bool IsPictureName(std::string_view name) {
  return text::EndsWithIgnoreCase(name, ".jpg") || text::EndsWithIgnoreCase(name, ".jpeg") ||
         text::EndsWithIgnoreCase(name, ".gif") || text::EndsWithIgnoreCase(name, ".png");
}

// The WBMP of the picture `bytes` at `width` and within `max_bytes`, made on the decode pool;
// std::nullopt as HandsetWbmp says.
std::optional<std::string> Make(const std::string& bytes, int width, std::size_t max_bytes) {
  const std::optional<ImageType> type = SniffImageType(bytes);
  if (!type) return std::nullopt;
  StartLibrary();
  std::optional<std::optional<std::string>> made =
      Decoders().Run<std::optional<std::string>>([&]() -> std::optional<std::string> {
        const ImagePtr image = OpenHeader(bytes, *type);
        std::optional<std::string> wbmp;
        if (image &&
            std::int64_t{vips_image_get_width(image.get())} * vips_image_get_height(image.get()) <=
                kMaxPixels) {
          wbmp = WbmpOf(image.get(), width, max_bytes);
        }
        vips_error_clear();
        return wbmp;
      });
  return made ? std::move(*made) : std::nullopt;
}

}  // namespace

fs::path WbmpPath(const fs::path& picture, int width) {
  fs::path path = picture;
  path += "." + std::to_string(width) + ".wbmp";
  return path;
}

void ReplaceWbmps(const fs::path& picture, std::string_view wbmp) {
  const std::string prefix = picture.filename().string() + ".";
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(picture.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix) && name.ends_with(".wbmp") && name.size() > prefix.size() + 5 &&
        name.find_first_not_of("0123456789", prefix.size()) == name.size() - 5) {
      fs::remove(entry.path(), error);
    }
  }
  if (const int width = WbmpWidth(wbmp); width > 0) {
    fso::WriteFileAtomically(WbmpPath(picture, width), wbmp);
  }
}

void MakeFolderWbmps(const fs::path& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error) || !IsPictureName(entry.path().filename().string())) continue;
    const std::string bytes = ReadPicture(entry.path());
    ReplaceWbmps(entry.path(),
                 Make(bytes, kDefaultScreenWidth, kDefaultDeckBytes).value_or(std::string()));
  }
}

std::optional<fs::path> HandsetWbmp(const fs::path& picture, int max_width, std::size_t max_bytes) {
  const std::string bytes = ReadPicture(picture);
  const std::optional<ImageType> type = SniffImageType(bytes);
  if (!type) return std::nullopt;
  StartLibrary();
  int width = 0;
  int height = 0;
  if (const ImagePtr header = OpenHeader(bytes, *type)) {  // the header only: quick
    width = vips_image_get_width(header.get());
    height = vips_image_get_height(header.get());
  }
  vips_error_clear();
  if (width <= 0 || height <= 0) return std::nullopt;
  int fitting = WbmpWidthWithin(width, height, max_width, max_bytes);
  if (fitting == 0) return std::nullopt;
  // Narrower than the picture: a multiple of 8 pixels, so that the widths handsets may ask for
  // make at most width / 8 files beside each picture.
  if (fitting < width && fitting >= 8) fitting -= fitting % 8;
  const fs::path wbmp = WbmpPath(picture, fitting);
  if (Current(wbmp, picture, max_bytes)) return wbmp;
  if (std::int64_t{width} * height > kMaxOnRequestPixels) return std::nullopt;
  const std::optional<std::string> made = Make(bytes, fitting, max_bytes);
  if (!made) return std::nullopt;
  fso::WriteFileAtomically(wbmp, *made);
  return wbmp;
}

}  // namespace backoffice::images
