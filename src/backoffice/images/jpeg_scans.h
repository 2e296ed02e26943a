// Counting the scans of a JPEG from its bytes, before any decoder sees them. A progressive JPEG
// may hold thousands of scans, and a decoder passes over every block of the picture once per
// scan, so the count bounds the work of decoding it. Pure; thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

namespace backoffice::images {

// The number of start-of-scan markers in `jpeg`, found by walking its marker segments and
// skipping the entropy-coded data between them (stuffed bytes and restart markers); stops counting
// at the end of image, at a segment that runs past the end, or as soon as the count exceeds
// `stop_after`. Reads each byte at most once. 0 when `jpeg` does not begin with a start of image.
std::size_t CountJpegScans(std::string_view jpeg, std::size_t stop_after);

}  // namespace backoffice::images
