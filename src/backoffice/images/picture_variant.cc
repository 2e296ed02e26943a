#include "backoffice/images/picture_variant.h"

#include <string>

#include "backoffice/images/handset_picture.h"
#include "backoffice/images/handset_request.h"
#include "platform/text/ascii.h"

namespace backoffice::images {
namespace {

namespace fs = std::filesystem;

bool IsSitePicture(const fs::path& web_root, const fs::path& file, std::string_view type) {
  if (type != "image/jpeg" && type != "image/gif" && type != "image/png") return false;
  const fs::path relative = file.lexically_relative(web_root);
  return !relative.empty() && *relative.begin() == "waphome";
}

// Every Accept header of `headers`, joined as one list.
std::string Accept(const host::HttpHeaders& headers) {
  std::string accept;
  for (const auto& [name, value] : headers) {
    if (text::EqualsIgnoreCase(name, "Accept")) accept.append(value).push_back(',');
  }
  return accept;
}

}  // namespace

host::StaticFileChoice PictureVariant(const host::HttpRequestData& request,
                                      const fs::path& web_root,
                                      const host::StaticFileChoice& file) {
  host::StaticFileChoice sent = file;
  if (!IsSitePicture(web_root, file.file, file.content_type)) return sent;
  sent.varies_by_accept = true;
  if (!WantsWbmp(Accept(request.headers), file.content_type)) return sent;
  if (const auto wbmp =
          HandsetWbmp(file.file, ScreenWidth(request.headers), DeckBytes(request.headers))) {
    sent.file = *wbmp;
    sent.content_type = "image/vnd.wap.wbmp";
  }
  return sent;
}

}  // namespace backoffice::images
