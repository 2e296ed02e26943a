#include "backoffice/images/picture_encoder.h"

#include <vips/vips.h>
// Not part of vips.h, needs its declarations first.
#include <vips/vector.h>

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "backoffice/images/image_type.h"

namespace backoffice::images {
namespace {

struct Unref {
  void operator()(VipsImage* image) const noexcept { g_object_unref(image); }
};
using ImagePtr = std::unique_ptr<VipsImage, Unref>;

struct GFree {
  void operator()(void* memory) const noexcept { g_free(memory); }
};

// Sets the library up once per process: one worker thread per picture (the server's own threads
// give the parallelism), no generated vector code, no cache of operations (each upload is seen
// once), and no loaders other than the well-tested ones. Its warnings about a damaged picture are not written to the server's
// error output: a damaged upload is the owner's, and it is refused as kUnreadable.
void StartLibrary() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    started = vips_init("wapsite") == 0;
    if (!started) return;
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    vips_block_untrusted_set(TRUE);
    // No run-time generated code: the service runs with MemoryDenyWriteExecute, which refuses
    // the executable memory vector code needs; the plain code paths give the same pixels.
    vips_vector_set_enabled(FALSE);
    g_log_set_handler(
        "VIPS", G_LOG_LEVEL_WARNING, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
        nullptr);
  });
  if (!started) throw std::runtime_error("the image library cannot be set up");
}

// The picture of `bytes` as `type`, with its header read and no pixel decoded yet; nullptr when
// even the header is unreadable. `bytes` must outlive the image.
ImagePtr OpenHeader(std::string_view bytes, ImageType type) {
  void* data = const_cast<char*>(bytes.data());  // the loaders only read it
  VipsImage* image = nullptr;
  int failed = -1;
  switch (type) {
    case ImageType::kJpeg:
      failed = vips_jpegload_buffer(data, bytes.size(), &image, "access", VIPS_ACCESS_SEQUENTIAL,
                                    "fail_on", VIPS_FAIL_ON_ERROR, nullptr);
      break;
    case ImageType::kPng:
      failed = vips_pngload_buffer(data, bytes.size(), &image, "access", VIPS_ACCESS_SEQUENTIAL,
                                   "fail_on", VIPS_FAIL_ON_ERROR, nullptr);
      break;
    case ImageType::kGif:
      failed = vips_gifload_buffer(data, bytes.size(), &image, "access", VIPS_ACCESS_SEQUENTIAL,
                                   "fail_on", VIPS_FAIL_ON_ERROR, nullptr);
      break;
  }
  return ImagePtr(failed == 0 ? image : nullptr);
}

// `image` scaled down to fit `use` and saved in its format without metadata; std::nullopt when
// the pixels cannot be decoded.
std::optional<EncodedPicture> Encode(VipsImage* image, PictureUse use) {
  const bool logo = use == PictureUse::kLogo;
  VipsImage* raw = nullptr;
  if (vips_thumbnail_image(image, &raw, logo ? 96 : 240, "height", logo ? 96 : VIPS_MAX_COORD,
                           "size", VIPS_SIZE_DOWN, nullptr) != 0) {
    return std::nullopt;
  }
  ImagePtr scaled(raw);
  void* buffer = nullptr;
  std::size_t length = 0;
  if (logo) {
    if (vips_gifsave_buffer(scaled.get(), &buffer, &length, "strip", TRUE, nullptr) != 0) {
      return std::nullopt;
    }
  } else {
    if (vips_image_hasalpha(scaled.get())) {  // JPEG has no transparency: on white
      VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
      const int failed = vips_flatten(scaled.get(), &raw, "background", white, nullptr);
      vips_area_unref(VIPS_AREA(white));
      if (failed != 0) return std::nullopt;
      scaled.reset(raw);
    }
    if (vips_jpegsave_buffer(scaled.get(), &buffer, &length, "Q", 85, "strip", TRUE,
                             "optimize_coding", TRUE, nullptr) != 0) {
      return std::nullopt;
    }
  }
  const std::unique_ptr<void, GFree> owned(buffer);
  EncodedPicture picture;
  picture.bytes.assign(static_cast<const char*>(buffer), length);
  return picture;
}

EncodedPicture Refused(PictureRefusal refusal) {
  vips_error_clear();  // the library's detail is not for the owner
  EncodedPicture picture;
  picture.refusal = refusal;
  return picture;
}

}  // namespace

std::string_view RefusalText(PictureRefusal refusal) {
  switch (refusal) {
    case PictureRefusal::kNone:
      return "";
    case PictureRefusal::kNoFile:
      return "请选择要上传的图片文件";
    case PictureRefusal::kNotAPicture:
      return "只能上传 JPEG、PNG 或 GIF 格式的图片";
    case PictureRefusal::kTooManyPixels:
      return "图片尺寸太大，最多 1600 万像素";
    case PictureRefusal::kUnreadable:
      return "图片已损坏，无法读取";
  }
  return "";
}

EncodedPicture EncodePicture(std::string_view upload, PictureUse use) {
  if (upload.empty()) return Refused(PictureRefusal::kNoFile);
  const std::optional<ImageType> type = SniffImageType(upload);
  if (!type) return Refused(PictureRefusal::kNotAPicture);
  StartLibrary();
  const ImagePtr image = OpenHeader(upload, *type);
  if (!image) return Refused(PictureRefusal::kUnreadable);
  const std::int64_t pixels =
      std::int64_t{vips_image_get_width(image.get())} * vips_image_get_height(image.get());
  if (pixels > kMaxPixels) return Refused(PictureRefusal::kTooManyPixels);
  std::optional<EncodedPicture> picture = Encode(image.get(), use);
  if (!picture) return Refused(PictureRefusal::kUnreadable);
  return std::move(*picture);
}

}  // namespace backoffice::images
