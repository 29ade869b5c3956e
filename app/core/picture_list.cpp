#include "app/core/picture_list.h"

#include <cstdio>

#include "platform/dialogs.h"
#include "platform/paths.h"

namespace {

bool Both(const std::string& folder, const char* stem) {
  return platform::FileExists(folder + stem + ".index") && platform::FileExists(folder + stem + ".data");
}

bool Rename(const std::string& folder, const char* ext) {
  return std::rename((folder + "defaultimagelisting" + ext).c_str(), (folder + "imagelisting" + ext).c_str()) == 0;
}

void Remove(const std::string& folder, const char* stem) {
  std::remove((folder + stem + ".index").c_str());
  std::remove((folder + stem + ".data").c_str());
}

}  // namespace

TPictureListMigration MigratePictureList(const std::string& folder) {
  if (!Both(folder, "defaultimagelisting")) return TPictureListMigration::Nothing;
  if (!Both(folder, "imagelisting")) {
    Rename(folder, ".index");
    Rename(folder, ".data");
    return TPictureListMigration::Installed;
  }
  // Yes deletes the user's own list: No, which keeps it, is the default.
  switch (platform::ShowMessageBox(kPictureListQuestion, "Warning", platform::MsgButtons::YesNoCancel,
                                   platform::MsgIcon::Exclamation, platform::IDNO)) {
    case platform::IDYES:
      // rename() replaces the old files in one step each.
      Rename(folder, ".index");
      Rename(folder, ".data");
      return TPictureListMigration::Replaced;
    case platform::IDNO:
      Remove(folder, "defaultimagelisting");
      return TPictureListMigration::KeptOld;
    default:
      return TPictureListMigration::Postponed;
  }
}
