// File-type registration the Linux way: a desktop entry that opens settings
// files with the program, and shared-mime-info types for ".ssf" and ".sbas", both in
// the user's data folder ($XDG_DATA_HOME, else ~/.local/share). Written at
// every start by the one-shot start-up timer; a file that cannot be written
// is skipped silently.
#pragma once

#include <string>

inline constexpr const char* kDesktopFileName = "noctra-planetarium.desktop";
inline constexpr const char* kMimePackageName = "noctra-planetarium.xml";
inline constexpr const char* kSettingsMimeType = "application/x-noctra-settings";
inline constexpr const char* kScriptMimeType = "application/x-noctra-script";

// Text of the desktop entry that runs `programPath` in `workingFolder` with
// the file as its argument.
std::string DesktopEntryText(const std::string& programPath, const std::string& workingFolder);
// Text of the shared-mime-info package for "*.ssf" and "*.sbas".
std::string MimePackageText();

// Writes both files under `dataFolder` ("applications/" and "mime/packages/").
// Returns the number of files written (0..2).
int RegisterFileTypes(const std::string& dataFolder, const std::string& programPath,
                      const std::string& workingFolder);
