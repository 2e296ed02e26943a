// Which file answers a request for a site's picture (the banner, logo and product pictures, all
// under the web root's waphome/): a handset that accepts WBMP and not the picture's own type gets
// the picture's WBMP, no wider than its screen and within its reply size (see handset_request.h,
// handset_picture.h); every other request, and every picture that cannot be decoded, gets the
// picture itself. Replies for those pictures say "Vary: Accept". Thread-safe.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/host/static_variant.h"

namespace backoffice::images {

// What to send for the static file `file` of type `content_type`, resolved in `web_root` for
// `request`. Files other than pictures under `web_root`/waphome are sent as they are. Throws
// std::runtime_error when a needed WBMP cannot be written.
host::StaticFile PictureVariant(const host::HttpRequestData& request,
                                const std::filesystem::path& web_root,
                                const std::filesystem::path& file, std::string_view content_type);

}  // namespace backoffice::images
