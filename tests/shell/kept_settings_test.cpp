// Damaged settings files kept aside while nobody could see the box: noted
// in the settings store at the end, told at the next start once, and kept
// noted while that box too goes unseen.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

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

namespace {

// The dialog double, looking at the world while a box is open.
class DialogsWatching : public platform::ScriptedDialogs {
 public:
  DialogsWatching() { platform::SetDialogs(this); }
  ~DialogsWatching() override { platform::SetDialogs(nullptr); }
  std::function<void()> whileOpen;
  int MessageBox(const std::string& text, const std::string& caption, platform::MsgButtons buttons,
                 platform::MsgIcon icon) override {
    if (whileOpen) whileOpen();
    return ScriptedDialogs::MessageBox(text, caption, buttons, icon);
  }
};

}  // namespace

// A damaged file is noted in the settings store as it is kept aside, before
// its box shows (a program killed while the box is open still has it told
// at the next start); the note goes once the box was seen, and stays when
// it went unseen.
TEST(KeptSettingsFiles, NotedAsTheyAreKeptAsideBeforeTheBoxShows) {
  TempDir dir;
  testing_support::ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
  DialogsWatching dialogs;
  const char* const kSection = "Kept Settings Files";
  TellKeptSettingsFilesOfLastRun();
  std::string noted, keptNoted;
  int boxes = 0;
  dialogs.whileOpen = [&] {
    ++boxes;
    platform::TRegIniFile reg;
    noted = reg.ReadString(kSection, "file1", "");
    keptNoted = reg.ReadString(kSection, "kept1", "");
  };
  LoadDamaged(dir, "AutoGuideSettings.xml");
  ASSERT_EQ(boxes, 1);
  EXPECT_EQ(noted, dir.File("AutoGuideSettings.xml"));
  const std::string kept = KeptCopy(dir, "AutoGuideSettings");
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(keptNoted, kept);
  // Seen: forgotten at once, and nothing to say at the end.
  EXPECT_FALSE(platform::TRegIniFile().ValueExists(kSection, "file1"));
  EXPECT_TRUE(NoteUntoldKeptSettingsFiles().empty());

  // Unseen (the program is being ended): the note stays, with this file
  // alone, and the end names it.
  platform::SetDialogsUnattended(true);
  LoadDamaged(dir, "PlateSolveSettings.xml");
  platform::SetDialogsUnattended(false);
  EXPECT_EQ(boxes, 1);  // (it went to standard error)
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadString(kSection, "file1", ""), dir.File("PlateSolveSettings.xml"));
  EXPECT_FALSE(reg.ValueExists(kSection, "file2"));
  EXPECT_EQ(NoteUntoldKeptSettingsFiles().size(), 1u);
  // This run's note is the next start's: told there (in the double's box).
  platform::ScopedScriptedDialogs next;
  TellKeptSettingsFilesOfLastRun();
  ASSERT_EQ(next.Count(), 1u);
  EXPECT_NE(next.Last().text.find(dir.File("PlateSolveSettings.xml") + " ("), std::string::npos) << next.Last().text;
  EXPECT_FALSE(platform::TRegIniFile().ValueExists(kSection, "file1"));
}
