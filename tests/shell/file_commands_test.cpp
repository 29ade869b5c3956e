#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/dialogs.h"
#include "shell/file_commands.h"
#include "shell/log_lines.h"
#include "shell/settings_sections.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/refused_files.h"
#include "tests/support/test_support.h"

using platform::FileDialogResult;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// One fake owner in slot 8 (points of interest) holding one byte.
struct PoiOwner {
  uint8_t value = 1;
  int reads = 0;
  PoiOwner() {
    RegisterSettingsSection(8, {53938, [this] { return std::vector<uint8_t>(53938, value); },
                                [this](const std::vector<uint8_t>* b) {
                                  if (b) value = (*b)[0], ++reads;
                                  return b != nullptr;
                                }});
  }
  ~PoiOwner() { UnregisterAllSettingsSectionsForTest(); }
};

// A script editor double.
struct FakeEditor {
  bool open = true;
  std::string name = "Noname.sbas";
  std::vector<std::string> calls;
  FakeEditor() {
    TScriptEditorHooks h;
    h.isOpen = [this] { return open; };
    h.fileName = [this] { return name; };
    h.save = [this] { calls.push_back("save " + name); };
    h.saveAs = [this](const std::string& n) { calls.push_back("saveAs " + n); };
    h.load = [this](const std::string& n) { calls.push_back("load " + n); };
    SetScriptEditorHooks(h);
  }
  ~FakeEditor() { SetScriptEditorHooks({}); }
};

FileDialogResult Chosen(const std::string& name, int filterIndex) { return {true, name, filterIndex}; }

}  // namespace

TEST(FileCommands, NamesFiltersAndKinds) {
  EXPECT_EQ(SaveFileName("night", 1), "night.ssf");
  EXPECT_EQ(SaveFileName("night.ssf.bak", 2), "night.ssf.bak");  // holds ".ssf" already
  EXPECT_EQ(SaveFileName("night.sbas", 5), "night.sbas.ssf");
  EXPECT_EQ(SaveFileName("run", 6), "run.sbas");
  EXPECT_EQ(SaveFileName("run.sbas", 6), "run.sbas");

  // With a script editor open the script kind is offered last (index 6).
  EXPECT_EQ(SettingsSaveFilter(true), SettingsSaveFilter(false) + "Script|*.sbas");

  EXPECT_EQ(OpenFileKind(1, "/a/NIGHT.SSF"), TOpenKind::Settings);
  EXPECT_EQ(OpenFileKind(1, "/a/Run.SBas"), TOpenKind::Script);
  EXPECT_EQ(OpenFileKind(1, "/a/notes.txt"), TOpenKind::Settings);
  EXPECT_EQ(OpenFileKind(2, "/a/run.sbas"), TOpenKind::Settings);
  EXPECT_EQ(OpenFileKind(3, "/a/x.ssf"), TOpenKind::Script);
}

TEST(FileCommands, SaveAsAsksBeforeOverwriting) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  PoiOwner owner;
  WriteFile(dir.File("old.ssf"), {1, 2, 3});

  // No: the dialog comes back; the second name is new, so no question.
  dialogs.QueueFile(Chosen(dir.File("old"), 5));
  dialogs.QueueAnswer(platform::IDNO);
  dialogs.QueueFile(Chosen(dir.File("new"), 5));
  EXPECT_TRUE(SaveAsCommand());
  const auto records = dialogs.Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_TRUE(records[0].file.save);
  EXPECT_EQ(records[0].file.filter, SettingsSaveFilter(false));
  EXPECT_EQ(records[0].file.filterIndex, 1);
  EXPECT_EQ(records[1].text, "File exists,\r\nOverwrite?");
  EXPECT_EQ(records[1].caption, "Noctra Planetarium");
  EXPECT_EQ(records[1].buttons, platform::MsgButtons::YesNoCancel);
  EXPECT_EQ(records[1].defaultResult, platform::IDNO);  // Return keeps the file
  EXPECT_EQ(records[1].icon, platform::MsgIcon::Question);
  EXPECT_EQ(ReadFile(dir.File("old.ssf")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(ReadFile(dir.File("new.ssf")).size(), 600u + 53938u);

  // Cancel ends the command; Yes replaces the file.
  dialogs.QueueFile(Chosen(dir.File("old.ssf"), 5));
  dialogs.QueueAnswer(platform::IDCANCEL);
  EXPECT_FALSE(SaveAsCommand());
  EXPECT_EQ(ReadFile(dir.File("old.ssf")).size(), 3u);
  dialogs.QueueFile(Chosen(dir.File("old.ssf"), 5));
  dialogs.QueueAnswer(platform::IDYES);
  EXPECT_TRUE(SaveAsCommand());
  EXPECT_EQ(ReadFile(dir.File("old.ssf")).size(), 600u + 53938u);

  // A cancelled dialog saves nothing.
  EXPECT_FALSE(SaveAsCommand());
}

TEST(FileCommands, ScriptKindGoesToTheEditor) {
  platform::ScopedScriptedDialogs dialogs;
  FakeEditor editor;
  // Save with the default script name asks for a name, proposing it.
  dialogs.QueueFile(Chosen("/tmp/noctra-never/plan", 6));
  EXPECT_TRUE(SaveCommand());
  EXPECT_EQ(dialogs.Records()[0].file.fileName, "Noname.sbas");
  EXPECT_EQ(dialogs.Records()[0].file.filterIndex, 6);
  EXPECT_EQ(dialogs.Records()[0].file.filter, SettingsSaveFilter(true));
  EXPECT_EQ(editor.calls, std::vector<std::string>{"saveAs /tmp/noctra-never/plan.sbas"});

  // With a real name Save writes the script at once.
  editor.name = "plan.sbas";
  dialogs.Clear();
  EXPECT_TRUE(SaveCommand());
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_EQ(editor.calls.back(), "save plan.sbas");

  dialogs.QueueFile(Chosen("/x/Run.SBAS", 1));
  EXPECT_TRUE(OpenCommand());
  EXPECT_EQ(editor.calls.back(), "load /x/Run.SBAS");
  EXPECT_EQ(dialogs.Records()[0].file.filter, kSettingsOpenFilter);
}

TEST(FileCommands, OpenReadsSettingsThroughTheCombinedFilter) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  PoiOwner owner;
  owner.value = 42;
  ASSERT_TRUE(WriteSettingsFile(dir.File("NIGHT.SSF"), 5));
  owner.value = 0;
  dialogs.QueueFile(Chosen(dir.File("NIGHT.SSF"), 1));
  EXPECT_TRUE(OpenCommand());
  EXPECT_EQ(owner.value, 42);

  // A name that cannot be opened is reported; without an editor a script
  // cannot be loaded.
  dialogs.QueueFile(Chosen(dir.File("gone.ssf"), 2));
  EXPECT_FALSE(OpenCommand());
  EXPECT_EQ(dialogs.Last().text, "Warning: Can't open file " + dir.File("gone.ssf"));
  dialogs.QueueFile(Chosen(dir.File("a.sbas"), 3));
  EXPECT_FALSE(OpenCommand());
  EXPECT_EQ(dialogs.Last().text, "Warning: Can't open file " + dir.File("a.sbas"));
}

TEST(FileCommands, CommandLineTakesExactlyOneSettingsFile) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  PoiOwner owner;
  owner.value = 7;
  const std::string file = dir.File("start.ssf");
  ASSERT_TRUE(WriteSettingsFile(file, 5));
  WriteFile(dir.File("start.txt"), ReadFile(file));
  owner.value = 0;

  EXPECT_FALSE(OpenCommandLineFile({}));
  EXPECT_FALSE(OpenCommandLineFile({file, file}));
  EXPECT_FALSE(OpenCommandLineFile({dir.File("start.txt")}));
  EXPECT_FALSE(OpenCommandLineFile({dir.File("missing.ssf")}));
  EXPECT_EQ(owner.reads, 0);
  EXPECT_EQ(dialogs.Count(), 0u);  // ignored without a message

  EXPECT_TRUE(OpenCommandLineFile({file}));
  EXPECT_EQ(owner.value, 7);
}

// A settings file named on the command line that is there but cannot be
// opened (a pipe, a device, a file refused to the user) is ignored as a
// missing one is, without a box: a pipe or device is never opened, a file
// is left as it is, and the log names it with why.
TEST(FileCommands, CommandLineFileThatCannotBeOpenedIsIgnoredWithALogLine) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  PoiOwner owner;
  ASSERT_TRUE(WriteSettingsFile(dir.File("refused.ssf"), 5));
  const std::vector<uint8_t> bytes = ReadFile(dir.File("refused.ssf"));
  auto logged = [](const std::string& name, const std::string& why) {
    return LogLines().LastLine() ==
           "[Settings] The settings file named on the command line was not read: " + name + ": " + why;
  };
  {
    PipeInPlace pipe(dir.File("pipe.ssf"));
    EXPECT_FALSE(OpenCommandLineFile({dir.File("pipe.ssf")}));
    EXPECT_TRUE(logged(dir.File("pipe.ssf"), "it is a named pipe, not a file")) << LogLines().LastLine();
    EXPECT_FALSE(pipe.Opened());
  }
  std::filesystem::create_symlink("/dev/zero", dir.File("zero.ssf"));
  EXPECT_FALSE(OpenCommandLineFile({dir.File("zero.ssf")}));
  EXPECT_TRUE(logged(dir.File("zero.ssf"), "it is a character device, not a file")) << LogLines().LastLine();
  {
    RefusedFiles refused({dir.File("refused.ssf")});
    EXPECT_FALSE(OpenCommandLineFile({dir.File("refused.ssf")}));
    EXPECT_TRUE(logged(dir.File("refused.ssf"), "Permission denied")) << LogLines().LastLine();
  }
  // The system's own refusal, where it refuses the user (not root).
  if (::geteuid() != 0) {
    std::filesystem::permissions(dir.File("refused.ssf"), std::filesystem::perms::none);
    LogLines().Clear();
    EXPECT_FALSE(OpenCommandLineFile({dir.File("refused.ssf")}));
    EXPECT_TRUE(logged(dir.File("refused.ssf"), "Permission denied")) << LogLines().LastLine();
    std::filesystem::permissions(dir.File("refused.ssf"), std::filesystem::perms::owner_all);
  }
  EXPECT_EQ(ReadFile(dir.File("refused.ssf")), bytes);
  EXPECT_EQ(owner.reads, 0);
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
}

// A pipe chosen in File > Open is told with why and never opened (a device
// named on the command line: the start-up's test of damaged data).
TEST(FileCommands, APipeChosenIsToldUnopened) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  PoiOwner owner;
  PipeInPlace pipe(dir.File("pipe.ssf"));
  dialogs.QueueFile(Chosen(dir.File("pipe.ssf"), 2));
  EXPECT_FALSE(OpenCommand());
  EXPECT_EQ(dialogs.Last().text,
            "Warning: Can't open file " + dir.File("pipe.ssf") + ": it is a named pipe, not a file");
  EXPECT_EQ(owner.reads, 0);
  EXPECT_FALSE(pipe.Opened());
}
