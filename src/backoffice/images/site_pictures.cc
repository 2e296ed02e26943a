#include "backoffice/images/site_pictures.h"

#include "platform/fs/atomic_write.h"
#include "platform/host/random_id.h"

namespace backoffice::images {
namespace {

EncodedPicture Encode(const host::UploadedFile* upload, PictureUse use) {
  return EncodePicture(upload ? std::string_view(upload->bytes) : std::string_view(), use);
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
    fso::WriteFileAtomically(member_folder / "Demo.jpg", picture.bytes);
  }
  return picture.refusal;
}

PictureRefusal StoreLogo(const std::filesystem::path& member_folder,
                         const host::UploadedFile* upload) {
  const EncodedPicture picture = Encode(upload, PictureUse::kLogo);
  if (picture.refusal == PictureRefusal::kNone) {
    fso::WriteFileAtomically(UploadFolder(member_folder) / "logo.gif", picture.bytes);
  }
  return picture.refusal;
}

StoredPicture StoreProductPicture(const std::filesystem::path& member_folder,
                                  const host::UploadedFile* upload) {
  const EncodedPicture picture = Encode(upload, PictureUse::kProduct);
  if (picture.refusal != PictureRefusal::kNone) return {picture.refusal, {}};
  // 16 random bytes: a name no other upload gets and no visitor can guess before it is shown.
  std::string name = "p" + host::RandomHex(16) + ".jpg";
  fso::WriteFileAtomically(UploadFolder(member_folder) / name, picture.bytes);
  return {PictureRefusal::kNone, std::move(name)};
}

}  // namespace backoffice::images
