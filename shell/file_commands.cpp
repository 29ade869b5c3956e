#include "shell/file_commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "shell/log_lines.h"
#include "shell/messages.h"
#include "shell/settings_sections.h"

namespace {

TScriptEditorHooks g_editor;

bool EditorOpen() { return g_editor.isOpen && g_editor.isOpen(); }

bool EndsWithIgnoringCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), s.end() - std::ptrdiff_t(tail.size()), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

// Tells a settings file that could not be opened (`error`: errno of the
// attempt): its name, and why when it is there but was refused (a named
// pipe, a folder or a device in its place, a file this user may not read).
void TellUnopened(const std::string& name, const std::string& why, int error) {
  ShowErrorMessage(102, error == ENOENT ? name : name + ": " + why);
}

// Reads a settings file the user chose; says so when it cannot be opened.
bool ReadChosenSettingsFile(const std::string& name) {
  std::string why;
  const TSettingsReadResult result = ReadSettingsFile(name, &why);
  if (result == TSettingsReadResult::CannotOpen) TellUnopened(name, why, errno);
  return result == TSettingsReadResult::Ok || result == TSettingsReadResult::Refused;
}

}  // namespace

void SetScriptEditorHooks(TScriptEditorHooks hooks) { g_editor = std::move(hooks); }
const TScriptEditorHooks& ScriptEditorHooks() { return g_editor; }

std::string SettingsSaveFilter(bool withScript) {
  std::string f =
      "Settings file (Everything except date/time)|*.ssf|"
      "Settings file (Everything)|*.ssf|"
      "Settings file (Star/Object catalog settings)|*.ssf|"
      "Settings file (Observer location)|*.ssf|"
      "Settings file (Points of interest)|*.ssf|";
  if (withScript) f += "Script|*.sbas";
  return f;
}

std::string SaveFileName(const std::string& name, int kind) {
  const std::string ext = kind == 6 ? ".sbas" : ".ssf";
  return name.find(ext) == std::string::npos ? name + ext : name;
}

TOpenKind OpenFileKind(int filterIndex, const std::string& name) {
  if (filterIndex == 2) return TOpenKind::Settings;
  if (filterIndex == 3) return TOpenKind::Script;
  return EndsWithIgnoringCase(name, ".sbas") ? TOpenKind::Script : TOpenKind::Settings;
}

bool SaveAsCommand(const std::string& proposedName) {
  std::string proposed = proposedName;
  for (;;) {
    const bool withScript = EditorOpen();
    platform::FileDialogOptions options;
    options.save = true;
    options.filter = SettingsSaveFilter(withScript);
    options.filterIndex = withScript ? 6 : 1;
    options.fileName = proposed;
    const platform::FileDialogResult chosen = platform::Dialogs().FileDialog(options);
    if (!chosen.accepted || chosen.fileName.empty()) return false;

    int kind = chosen.filterIndex;
    if (kind < 1 || kind > (withScript ? 6 : 5)) kind = 1;
    const std::string name = SaveFileName(chosen.fileName, kind);

    if (platform::FileExists(name)) {
      // No (choose another name) is the default: Return keeps the file.
      const int answer = platform::ShowMessageBox("File exists,\r\nOverwrite?", "Noctra Planetarium",
                                                  platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question,
                                                  platform::IDNO);
      if (answer == platform::IDNO) {
        proposed = name;
        continue;
      }
      if (answer != platform::IDYES) return false;
    }

    if (kind <= 5) return WriteSettingsFile(name, kind);
    if (!EditorOpen() || !g_editor.saveAs) return false;
    g_editor.saveAs(platform::CutToChars(name, 255));
    return true;
  }
}

bool SaveCommand() {
  if (!EditorOpen()) return SaveAsCommand();
  const std::string script = g_editor.fileName ? g_editor.fileName() : std::string();
  if (!script.empty() && script != "Noname.sbas" && g_editor.save) {
    g_editor.save();
    return true;
  }
  return SaveAsCommand(script);
}

bool OpenCommand() {
  platform::FileDialogOptions options;
  options.save = false;
  options.filter = kSettingsOpenFilter;
  options.filterIndex = 1;
  const platform::FileDialogResult chosen = platform::Dialogs().FileDialog(options);
  if (!chosen.accepted || chosen.fileName.empty()) return false;

  if (OpenFileKind(chosen.filterIndex, chosen.fileName) == TOpenKind::Settings)
    return ReadChosenSettingsFile(chosen.fileName);
  if (!g_editor.load) {
    ShowErrorMessage(102, chosen.fileName);
    return false;
  }
  g_editor.load(platform::CutToChars(chosen.fileName, 255));
  return true;
}

bool OpenCommandLineFile(const std::vector<std::string>& args) {
  if (args.size() != 1) return false;
  const std::string name = platform::CutToChars(args.front(), 255);
  if (name.find(".ssf") == std::string::npos) return false;
  // A name that cannot be opened is ignored without a message: one that is
  // not there quietly; one that is there (a pipe or a device, never opened;
  // a file this user may not read) is named in the log with why.
  std::string why;
  const TSettingsReadResult result = ReadSettingsFile(name, &why);
  if (result == TSettingsReadResult::CannotOpen && !platform::DataFileMissing(errno))
    LogLines().AddLine("[Settings] The settings file named on the command line was not read: " + name + ": " + why);
  return result == TSettingsReadResult::Ok || result == TSettingsReadResult::Refused;
}
