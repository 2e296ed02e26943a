// The WBMP copies of a site's pictures, for handsets that show nothing else. Each lies beside its
// picture as `NAME.WIDTH.wbmp` (`Demo.jpg.96.wbmp`), is written atomically, and counts only while
// it is no older than its picture. They are made when a picture is stored at the handsets'
// default width and deck size, and for any other width (or a picture stored without one) at the
// first request that needs it. Decoding runs on the decode pool. Thread-safe.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace backoffice::images {

// The file of the WBMP `width` pixels wide of the picture file `picture`.
std::filesystem::path WbmpPath(const std::filesystem::path& picture, int width);

// Removes every WBMP beside `picture`, then writes `wbmp` (a WBMP of it; "" writes none).
// Throws std::runtime_error when the new one cannot be written.
void ReplaceWbmps(const std::filesystem::path& picture, std::string_view wbmp);

// Makes anew, at the default width and deck size, the WBMPs of the pictures (.jpg, .gif, .png)
// that lie directly in `folder`, as site creation copies them there. A picture that cannot be
// decoded now (damaged, or the decoders busy) is left without one. Throws as ReplaceWbmps.
void MakeFolderWbmps(const std::filesystem::path& folder);

// The WBMP file of the picture file `picture` for a screen `max_width` wide and replies of at
// most `max_bytes` (as wide as the picture, or narrower and a multiple of 8 pixels), made now when
// there is none yet (or only one older than the picture); std::nullopt when the picture cannot be
// decoded (damaged, over a megapixel, not within the time allowed, the decoders busy) or not even
// a 1 pixel wide WBMP fits. Throws std::runtime_error when a new WBMP cannot be written. Requires:
// `picture` is a regular file in the web root.
std::optional<std::filesystem::path> HandsetWbmp(const std::filesystem::path& picture,
                                                 int max_width, std::size_t max_bytes);

}  // namespace backoffice::images
