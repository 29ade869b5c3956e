// Damaged settings files kept aside while nobody could see the box: noted
// in the settings store at the end, told at the next start once, and kept
// noted while that box too goes unseen.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/dialogs.h"
#include "platform/registry.h"
#include "shell/kept_settings.h"
#include "shell/log_lines.h"
#include "shell/xml_settings.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

using testing_support::TempDir;

namespace {

// The kept copy of `name` in `dir` ("" when none).
std::string KeptCopy(const TempDir& dir, const std::string& stem) {
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    if (e.path().filename().string().rfind(stem + ".damaged-", 0) == 0) return e.path().string();
  return std::string();
}

// Loads a damaged settings file (kept aside and told).
void LoadDamaged(const TempDir& dir, const std::string& name) {
  testing_support::WriteText(dir.File(name), "<Imaging><Selec");
  platform::XmlDocument doc;
  XmlLoadSettings(doc, dir.File(name), "Imaging");
}

}  // namespace

TEST(KeptSettingsFiles, UnseenOnesAreNotedAtTheEndAndToldAtTheNextStartOnce) {
  TempDir dir;
  testing_support::ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
  platform::ScopedScriptedDialogs dialogs;
  // A run: one file told in a box someone saw, two while the program was
  // being ended (their boxes went to standard error only).
  TellKeptSettingsFilesOfLastRun();
  LoadDamaged(dir, "AutoGuideSettings.xml");
  platform::SetDialogsUnattended(true);
  LoadDamaged(dir, "ImagingSettings.xml");
  LoadDamaged(dir, "PlateSolveSettings.xml");
  platform::SetDialogsUnattended(false);
  const std::string camera = KeptCopy(dir, "ImagingSettings"), solver = KeptCopy(dir, "PlateSolveSettings");
  ASSERT_FALSE(camera.empty() || solver.empty());
  ASSERT_EQ(UntoldKeptSettingsFiles().size(), 2u);
  const std::vector<std::string> lines = NoteUntoldKeptSettingsFiles();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(lines[0], "[Settings] Can't read file " + dir.File("ImagingSettings.xml") + " ("))
      << lines[0];
  EXPECT_NE(lines[0].find("): kept as " + camera.substr(dir.Path().size()) +
                          ", default settings used; told at the next start"),
            std::string::npos)
      << lines[0];

  // The next start, whose box goes unseen too (a signal): still noted.
  dialogs.Clear();
  platform::SetDialogsUnattended(true);
  TellKeptSettingsFilesOfLastRun();
  platform::SetDialogsUnattended(false);
  EXPECT_EQ(UntoldKeptSettingsFiles().size(), 2u);
  EXPECT_TRUE(platform::TRegIniFile().ValueExists("Kept Settings Files", "file2"));

  // The start after it: one box with both, each in the log; the note is
  // forgotten. The plate solver's copy, repaired and renamed back meanwhile,
  // is no longer told.
  std::filesystem::rename(solver, dir.File("PlateSolveSettings.xml"));
  TellKeptSettingsFilesOfLastRun();
  ASSERT_EQ(dialogs.Count(), 1u);
  const std::string text = dialogs.Last().text;
  EXPECT_TRUE(testing_support::StartsWith(text, "Warning: These settings files could not be read when Noctra "
                                                "Planetarium last started"));
  EXPECT_NE(text.find(dir.File("ImagingSettings.xml") + " ("), std::string::npos) << text;
  EXPECT_NE(text.find("): kept as " + camera + "\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("PlateSolveSettings"), std::string::npos) << text;
  EXPECT_TRUE(testing_support::StartsWith(LogLines().LastLine(),
                                          "[Settings] Can't read file " + dir.File("ImagingSettings.xml")));
  EXPECT_TRUE(UntoldKeptSettingsFiles().empty());
  EXPECT_FALSE(platform::TRegIniFile().ValueExists("Kept Settings Files", "file1"));
  TellKeptSettingsFilesOfLastRun();
  EXPECT_EQ(dialogs.Count(), 1u);
  EXPECT_TRUE(NoteUntoldKeptSettingsFiles().empty());
}
