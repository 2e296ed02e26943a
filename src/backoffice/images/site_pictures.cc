#include "backoffice/images/site_pictures.h"

#include "backoffice/images/handset_picture.h"
#include "platform/fs/atomic_write.h"
#include "platform/text/random_id.h"

namespace backoffice::images {
namespace {

EncodedPicture Encode(const host::UploadedFile* upload, PictureUse use) {
  return EncodePicture(upload ? std::string_view(upload->bytes) : std::string_view(), use);
}

// Writes `picture` as `path`, and its WBMP beside it in place of the old picture's.
void Write(const std::filesystem::path& path, const EncodedPicture& picture) {
  fso::WriteFileAtomically(path, picture.bytes);
  ReplaceWbmps(path, picture.handset);
}

std::filesystem::path UploadFolder(const std::filesystem::path& member_folder) {
  std::filesystem::path folder = member_folder / "upfile";
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace

PictureRefusal StoreBanner(const std::filesystem::path& member_folder,
                           const host::UploadedFile* upload) {
  const EncodedPicture picture = Encode(upload, PictureUse::kBanner);
  if (picture.refusal == PictureRefusal::kNone) {
    Write(member_folder / "Demo.jpg", picture);
  }
  return picture.refusal;
}

PictureRefusal StoreLogo(const std::filesystem::path& member_folder,
                         const host::UploadedFile* upload) {
  const EncodedPicture picture = Encode(upload, PictureUse::kLogo);
  if (picture.refusal == PictureRefusal::kNone) {
    Write(UploadFolder(member_folder) / "logo.gif", picture);
  }
  return picture.refusal;
}

StoredPicture StoreProductPicture(const std::filesystem::path& member_folder,
                                  const host::UploadedFile* upload) {
  const EncodedPicture picture = Encode(upload, PictureUse::kProduct);
  if (picture.refusal != PictureRefusal::kNone) return {picture.refusal, {}};
  // 16 random bytes: a name no other upload gets and no visitor can guess before it is shown.
  std::string name = "p" + text::RandomHex(16) + ".jpg";
  Write(UploadFolder(member_folder) / name, picture);
  return {PictureRefusal::kNone, std::move(name)};
}

}  // namespace backoffice::images
