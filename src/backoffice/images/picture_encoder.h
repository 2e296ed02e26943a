// Re-encoding an uploaded picture for handsets: the format is told from the bytes (JPEG, PNG or
// GIF), a picture of more than kMaxPixels, or a JPEG of more than kMaxScans scans, is refused
// before any pixel is decoded, and the picture is scaled down (never up) to the size its use allows
// and written anew without its metadata (EXIF, comments, colour profiles). Decoding runs on the
// process's decode pool (at most two pictures at once, one more waiting; beyond that an upload is
// refused as kBusy), and a picture whose decoding and encoding take longer than kDecodeBudget (5 s)
// is refused as kTooComplex. The image library is set up on first use, once; EncodePicture may run
// on several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace backoffice::images {

// A phone's largest photos: 50 megapixels. JPEGs are decoded shrunk (shrink-on-load), so even
// these never lie whole in memory.
inline constexpr std::int64_t kMaxPixels = 50'000'000;
// A progressive JPEG's decoding passes over the whole picture once per scan; ordinary encoders
// write at most a dozen or so.
inline constexpr std::size_t kMaxScans = 100;

// What a picture is for, and so its size and format on the site.
enum class PictureUse {
  kBanner,   // at most 240 px wide, JPEG
  kLogo,     // at most 96 × 96 px, GIF
  kProduct,  // at most 240 px wide, JPEG
};

enum class PictureRefusal {
  kNone,
  kNoFile,         // nothing was uploaded
  kNotAPicture,    // the bytes are not JPEG, PNG or GIF
  kTooManyPixels,  // width × height over kMaxPixels
  kUnreadable,     // the bytes start as a picture but cannot be decoded
  kTooComplex,     // a JPEG of more than kMaxScans scans, or not decoded within the time allowed
  kBusy,           // the decode pool is full; trying again later may succeed
};

// A one-line reason for the site owner, in the back office's language; "" for kNone.
std::string_view RefusalText(PictureRefusal refusal);

struct EncodedPicture {
  PictureRefusal refusal = PictureRefusal::kNone;
  std::string bytes;    // the new file; empty when refused
  std::string handset;  // its WBMP at the handsets' default width and deck size; may be empty
};

// `upload` re-encoded for `use`, or the reason it is refused. Never throws but std::bad_alloc and,
// when the image library cannot be set up at all, std::runtime_error. The library's own messages
// never reach the result.
EncodedPicture EncodePicture(std::string_view upload, PictureUse use);

}  // namespace backoffice::images
