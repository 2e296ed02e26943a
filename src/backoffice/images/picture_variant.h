// Which file answers a request for a site's picture (the banner, logo and product pictures, all
// under the web root's waphome/): a handset that accepts WBMP and not the picture's own type gets
// the picture's WBMP, no wider than its screen and within its reply size (see handset_request.h,
// handset_picture.h); every other request, and every picture that cannot be decoded, gets the
// picture itself. Replies for those pictures say "Vary: Accept". Thread-safe.
#pragma once

#include <filesystem>

#include "platform/host/http/static_variant.h"

namespace backoffice::images {

// What to send instead of the host's own choice `file` (resolved in `web_root`) for `request`.
// Files other than pictures under `web_root`/waphome are sent as they are. Throws
// std::runtime_error when a needed WBMP cannot be written.
host::StaticFileChoice PictureVariant(const host::HttpRequestData& request,
                                      const std::filesystem::path& web_root,
                                      const host::StaticFileChoice& file);

}  // namespace backoffice::images
