#include "backoffice/images/image_library.h"

// Not part of vips.h, needs its declarations first.
#include <vips/vector.h>

#include <mutex>
#include <stdexcept>

namespace backoffice::images {

// Sets the library up once per process: one worker thread per picture (the decode pool gives the
// parallelism), no generated vector code, no cache of operations (each picture is seen once), and
// no loaders other than the well-tested ones. Its warnings about a damaged picture are not written
// to the server's error output: a damaged upload is the owner's, and it is refused as kUnreadable.
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

DecodePool& Decoders() {
  // As the image library itself, one per process: at most two pictures decode at once however
  // many requests upload or ask for them.
  static DecodePool pool(2, 1);
  return pool;
}

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

DecodeBudget::DecodeBudget(VipsImage* image)
    : image_(image), deadline_(std::chrono::steady_clock::now() + kDecodeBudget) {
  vips_image_set_progress(image_, TRUE);
  handler_ = g_signal_connect(image_, "eval", G_CALLBACK(OnEval), this);
}

DecodeBudget::~DecodeBudget() { g_signal_handler_disconnect(image_, handler_); }

void DecodeBudget::OnEval(VipsImage* image, VipsProgress*, DecodeBudget* budget) {
  if (std::chrono::steady_clock::now() < budget->deadline_) return;
  budget->exceeded_ = true;
  vips_image_set_kill(image, TRUE);
}

std::optional<std::string> WbmpOf(VipsImage* image, int max_width, std::size_t max_bytes) {
  const int width = vips_image_get_width(image);
  const int height = vips_image_get_height(image);
  for (int w = WbmpWidthWithin(width, height, max_width, max_bytes); w > 0; --w) {
    VipsImage* raw = nullptr;
    if (vips_thumbnail_image(image, &raw, w, "height", VIPS_MAX_COORD, "size", VIPS_SIZE_DOWN,
                             nullptr) != 0) {
      return std::nullopt;
    }
    ImagePtr scaled(raw);
    if (vips_image_hasalpha(scaled.get())) {  // transparent parts on white, as a page shows them
      VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
      const int failed = vips_flatten(scaled.get(), &raw, "background", white, nullptr);
      vips_area_unref(VIPS_AREA(white));
      if (failed != 0) return std::nullopt;
      scaled.reset(raw);
    }
    if (vips_colourspace(scaled.get(), &raw, VIPS_INTERPRETATION_B_W, nullptr) != 0) {
      return std::nullopt;
    }
    scaled.reset(raw);
    if (vips_extract_band(scaled.get(), &raw, 0, nullptr) != 0) return std::nullopt;
    scaled.reset(raw);
    if (vips_cast_uchar(scaled.get(), &raw, nullptr) != 0) return std::nullopt;
    scaled.reset(raw);
    const DecodeBudget budget(scaled.get());
    std::size_t length = 0;
    void* memory = vips_image_write_to_memory(scaled.get(), &length);
    if (memory == nullptr) return std::nullopt;
    GrayPicture gray;
    gray.width = vips_image_get_width(scaled.get());
    gray.height = vips_image_get_height(scaled.get());
    gray.pixels.assign(static_cast<const std::uint8_t*>(memory),
                       static_cast<const std::uint8_t*>(memory) + length);
    g_free(memory);
    if (gray.pixels.size() != static_cast<std::size_t>(gray.width) * gray.height) {
      return std::nullopt;
    }
    // The library rounds the height its own way; one pixel narrower when that overshoots.
    if (WbmpSize(gray.width, gray.height) <= max_bytes) return EncodeWbmp(gray);
  }
  return std::nullopt;
}

}  // namespace backoffice::images
