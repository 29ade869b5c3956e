// The first heartbeat tick's picture-list migration: a new default catalogue
// of object pictures and notes ("defaultimagelisting.index/.data") shipped
// beside the user's own ("imagelisting.index/.data").
#pragma once

#include <string>

inline constexpr const char* kPictureListQuestion =
    "Noctra Planetarium has found an existing catalog of images and the notes associated with objects.\n\r"
    "A new catalog has been included with this distribution, if you choose to use it links to your existing "
    "images and notes will be deleted.\n\r\n\rDo you want to use the new catalog and delete the old one?";

enum class TPictureListMigration {
  Nothing,     // no complete default pair
  Installed,   // the default pair took the user's names (none existed)
  Replaced,    // Yes: the user's pair deleted, the default pair renamed
  KeptOld,     // No: the default pair deleted
  Postponed,   // Cancel: all four files left
};

// In `folder` (ending in "/"): when both default files exist, installs them
// as the user's pair, asking first (Yes, No, Cancel; warning icon; caption
// "Warning") when the user already has a complete pair.
TPictureListMigration MigratePictureList(const std::string& folder);
