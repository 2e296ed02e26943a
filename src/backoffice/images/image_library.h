// The image library as this library's units use it: set up once per process, each picture's
// decoding on the decode pool and within a time budget, and pictures taken out as gray pixels.
// Included only by this library's .cc files: the image library's headers go no further.
// Thread-safe.
#pragma once

#include <vips/vips.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string_view>

#include "backoffice/images/decode_pool.h"
#include "backoffice/images/image_type.h"
#include "backoffice/images/wbmp.h"

namespace backoffice::images {

struct Unref {
  void operator()(VipsImage* image) const noexcept { g_object_unref(image); }
};
using ImagePtr = std::unique_ptr<VipsImage, Unref>;

// How long one picture's decoding and encoding may take before it is stopped.
inline constexpr std::chrono::seconds kDecodeBudget{5};

// Sets the library up, once per process. Throws std::runtime_error when it cannot be set up.
void StartLibrary();

// The process's picture decoders: two threads, and one more picture waiting at most, so that
// uploads never hold more than three of the server's page threads (four by default).
DecodePool& Decoders();

// The picture of `bytes` as `type`, with its header read and no pixel decoded yet; nullptr when
// even the header is unreadable. `bytes` must outlive the image.
ImagePtr OpenHeader(std::string_view bytes, ImageType type);

// Stops the computation of the image it watches once kDecodeBudget has passed since it was made;
// Exceeded() then says so. The library looks at the budget between strips of pixels, so one
// strip's work (a progressive JPEG decodes whole for its first strip) runs to its end first. Watch
// the image that is finally written (its computation pulls in every decode). Lives no longer than
// the image it watches and must outlive its computation.
class DecodeBudget {
 public:
  explicit DecodeBudget(VipsImage* image);
  DecodeBudget(const DecodeBudget&) = delete;
  DecodeBudget& operator=(const DecodeBudget&) = delete;
  ~DecodeBudget();
  bool Exceeded() const { return exceeded_; }

 private:
  static void OnEval(VipsImage* image, VipsProgress* progress, DecodeBudget* budget);
  VipsImage* image_;
  gulong handler_;
  std::chrono::steady_clock::time_point deadline_;
  bool exceeded_ = false;
};

// The WBMP of `image` at most `max_width` wide (never wider than it is) and within `max_bytes`,
// transparent parts on white; std::nullopt when it cannot be decoded in time or not even a 1
// pixel wide one fits.
std::optional<std::string> WbmpOf(VipsImage* image, int max_width, std::size_t max_bytes);

}  // namespace backoffice::images
