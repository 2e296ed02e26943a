#include "backoffice/images/picture_encoder.h"

#include <memory>
#include <optional>

#include "backoffice/images/handset_request.h"
#include "backoffice/images/image_library.h"
#include "backoffice/images/jpeg_scans.h"

namespace backoffice::images {
namespace {

EncodedPicture Refused(PictureRefusal refusal) {
  vips_error_clear();  // the library's detail is not for the owner
  EncodedPicture picture;
  picture.refusal = refusal;
  return picture;
}

struct GFree {
  void operator()(void* memory) const noexcept { g_free(memory); }
};

// `upload` scaled down to fit `use` and saved in its format without metadata, the library
// shrinking it while it decodes where the format allows (so a large JPEG never lies whole in
// memory); kUnreadable when the pixels cannot be decoded, kTooComplex when not within the budget.
EncodedPicture Encode(std::string_view upload, PictureUse use) {
  const bool logo = use == PictureUse::kLogo;
  VipsImage* raw = nullptr;
  if (vips_thumbnail_buffer(const_cast<char*>(upload.data()), upload.size(), &raw, logo ? 96 : 240,
                            "height", logo ? 96 : VIPS_MAX_COORD, "size", VIPS_SIZE_DOWN,
                            "option_string", "fail_on=error", nullptr) != 0) {
    return Refused(PictureRefusal::kUnreadable);
  }
  ImagePtr scaled(raw);
  void* buffer = nullptr;
  std::size_t length = 0;
  if (!logo && vips_image_hasalpha(scaled.get())) {  // JPEG has no transparency: on white
    VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
    const int failed = vips_flatten(scaled.get(), &raw, "background", white, nullptr);
    vips_area_unref(VIPS_AREA(white));
    if (failed != 0) return Refused(PictureRefusal::kUnreadable);
    scaled.reset(raw);
  }
  const DecodeBudget budget(scaled.get());
  const int failed =
      logo ? vips_gifsave_buffer(scaled.get(), &buffer, &length, "strip", TRUE, nullptr)
           : vips_jpegsave_buffer(scaled.get(), &buffer, &length, "Q", 85, "strip", TRUE,
                                  "optimize_coding", TRUE, nullptr);
  if (failed != 0) {
    return Refused(budget.Exceeded() ? PictureRefusal::kTooComplex : PictureRefusal::kUnreadable);
  }
  const std::unique_ptr<void, GFree> owned(buffer);
  EncodedPicture picture;
  picture.bytes.assign(static_cast<const char*>(buffer), length);
  // The handsets' WBMP at the default width, from the stored bytes as a later request would make
  // it; a picture without one still serves, and its first WBMP request makes it.
  if (const ImagePtr stored =
          OpenHeader(picture.bytes, logo ? ImageType::kGif : ImageType::kJpeg)) {
    picture.handset =
        WbmpOf(stored.get(), kDefaultScreenWidth, kDefaultDeckBytes).value_or(std::string());
  }
  vips_error_clear();
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
      return "图片尺寸太大，最多 5000 万像素";
    case PictureRefusal::kUnreadable:
      return "图片已损坏，无法读取";
    case PictureRefusal::kTooComplex:
      return "图片过于复杂（扫描次数过多或处理超时），请另存为普通 JPEG 后再上传";
    case PictureRefusal::kBusy:
      return "服务器正忙于处理其他图片，请稍后再试";
  }
  return "";
}

EncodedPicture EncodePicture(std::string_view upload, PictureUse use) {
  // First: every refusal clears the library's errors, which needs the library set up (a text
  // file as the first upload after start once crashed the server).
  StartLibrary();
  if (upload.empty()) return Refused(PictureRefusal::kNoFile);
  const std::optional<ImageType> type = SniffImageType(upload);
  if (!type) return Refused(PictureRefusal::kNotAPicture);
  if (*type == ImageType::kJpeg && CountJpegScans(upload, kMaxScans) > kMaxScans) {
    return Refused(PictureRefusal::kTooComplex);
  }
  std::optional<EncodedPicture> picture = Decoders().Run<EncodedPicture>([&] {
    const ImagePtr image = OpenHeader(upload, *type);
    if (!image) return Refused(PictureRefusal::kUnreadable);
    const std::int64_t pixels =
        std::int64_t{vips_image_get_width(image.get())} * vips_image_get_height(image.get());
    if (pixels > kMaxPixels) return Refused(PictureRefusal::kTooManyPixels);
    return Encode(upload, use);
  });
  if (!picture) return Refused(PictureRefusal::kBusy);
  return std::move(*picture);
}

}  // namespace backoffice::images
