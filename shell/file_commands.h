// The main window's file commands: Save, Save As and Open for settings files
// and scripts, and the settings file named on the command line. The window's
// menu handlers (TMainForm1.Save1Click, Save2Click, Open1Click) call these;
// the dialogs go through the platform dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

// What the shell needs of the script editor window. Its window installs the
// hooks; until then the script kind is neither offered nor opened.
struct TScriptEditorHooks {
  std::function<bool()> isOpen;                       // the editor window is open
  std::function<std::string()> fileName;              // its ScriptFileName
  std::function<void()> save;                         // saves to ScriptFileName
  std::function<void(const std::string&)> saveAs;     // ScriptFileName := name, then saves
  std::function<void(const std::string&)> load;       // opens the editor when closed,
                                                      // ScriptFileName := name, loads it
};
void SetScriptEditorHooks(TScriptEditorHooks hooks);
const TScriptEditorHooks& ScriptEditorHooks();

// The save dialog's filter: settings kinds 1..5, and "Script" (kind 6) when
// the script editor is open.
std::string SettingsSaveFilter(bool withScript);
inline constexpr const char* kSettingsOpenFilter =
    "Noctra Planetarium files|*.ssf;*.sbas|Settings file|*.ssf|Script|*.sbas";

// The chosen name with ".ssf" (kinds 1..5) or ".sbas" (kind 6) appended,
// unless the name already contains that text anywhere.
std::string SaveFileName(const std::string& name, int kind);

enum class TOpenKind { Settings, Script };
// What the open dialog's choice names: the filter "Settings file" (2) a
// settings file, "Script" (3) a script; with the combined filter (1) a name
// ending in ".sbas" in any letter case is a script, any other name a
// settings file.
TOpenKind OpenFileKind(int filterIndex, const std::string& name);

// Save As: the save dialog, the ".ssf"/".sbas" rule, the overwrite question
// (No asks for another name, Cancel ends), then the settings file of the
// chosen kind or the script. True when something was saved.
bool SaveAsCommand(const std::string& proposedName = std::string());

// Save: with the script editor open and a script name other than empty or
// "Noname.sbas", saves the script directly; otherwise as Save As (proposing
// the script's name while the editor is open).
bool SaveCommand();

// Open: the open dialog, then a settings file is read or a script loaded into
// the editor. True when a file was read or loaded.
bool OpenCommand();

// Reads the settings file named on the command line: only when exactly one
// argument (the program name not counted) was given, it contains ".ssf" and
// the file can be opened. Any other argument is ignored without a message;
// one naming something there that cannot be opened (a pipe or a device,
// never opened; a file refused to this user) is named in the log with why.
// True when a settings file was read.
bool OpenCommandLineFile(const std::vector<std::string>& args);
