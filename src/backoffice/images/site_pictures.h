// Storing a site owner's uploaded pictures in the member folder, where the site pages read them:
// the banner `Demo.jpg`, the logo `upfile/logo.gif` and the product pictures in `upfile/`. Each
// upload is judged and re-encoded by EncodePicture first; a refused upload changes no file, and a
// stored one replaces the old file at once (see fso::WriteFileAtomically), so a failure at any
// point leaves the old picture; its WBMP for handsets (see handset_picture.h) replaces the old
// picture's. Thread-safe.
//
// For a back-office page, with `files` = Request().Files():
//   const PictureRefusal refusal = StoreBanner(member_folder, files.Get("banner"));
//   if (refusal != PictureRefusal::kNone) show RefusalText(refusal) beside the field;
#pragma once

#include <filesystem>
#include <string>

#include "backoffice/images/picture_encoder.h"
#include "platform/host/objects/uploaded_files.h"

namespace backoffice::images {

// Stores `upload` (nullptr: none was sent) as the banner `member_folder`/Demo.jpg. Returns kNone
// when stored, otherwise why it was refused (nothing changed). Throws std::runtime_error when the
// file cannot be written (the old one stays). Requires: `member_folder` exists.
[[nodiscard]] PictureRefusal StoreBanner(const std::filesystem::path& member_folder,
                                         const host::UploadedFile* upload);

// As StoreBanner, for the logo `member_folder`/upfile/logo.gif; creates `upfile` when missing.
[[nodiscard]] PictureRefusal StoreLogo(const std::filesystem::path& member_folder,
                                       const host::UploadedFile* upload);

struct StoredPicture {
  PictureRefusal refusal = PictureRefusal::kNone;
  std::string file_name;  // when stored: the new file's name in `upfile` (a fresh random name)
};

// Stores `upload` as a new product picture in `member_folder`/upfile under a name the server
// chooses (random, so it replaces no other picture); the caller records `file_name` in the
// product's row and removes the file again if that fails. Throws as StoreBanner.
[[nodiscard]] StoredPicture StoreProductPicture(const std::filesystem::path& member_folder,
                                                const host::UploadedFile* upload);

}  // namespace backoffice::images
