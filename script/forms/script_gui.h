// The script language in the program's windows: the host that gives the
// runner the event loop, message boxes owned by the main window, the INPUT
// dialog, the editor's minimise and restore, and the script menus in the
// main menu bar; plus the plain commands the main window's Script menu and
// start-up call.
#pragma once

#include <QPointer>
#include <functional>
#include <string>

#include "script/forms/scr_inp_form.h"
#include "script/script_host.h"

class QAction;
class QMenuBar;
class QWidget;
class TScrEditForm1;

class TScriptGuiHost : public TScriptHost {
 public:
  bool Input(const std::string& prompt, std::string& answer) override;
  void ProcessEvents() override;
  void WaitForEvents(int ms) override;
  void RunStarted() override;
  void RunEnded() override;
  void ResetPauseCommand() override;
  bool PrintMap(const TScriptPrintOptions& options) override;
  int InsertMainMenu(int position, const std::string& caption) override;
  int InsertMenuItem(int menu, int position, const std::string& caption, const std::string& file) override;
  void ClearMenus() override;

  // The main window's pieces (not owned).
  QPointer<QMenuBar> menuBar;
  // Resets the Script menu's pause item ("&Pause").
  std::function<void()> resetPause;
  // Prints the chart (the main window's print command with the choices).
  std::function<bool(const TScriptPrintOptions&)> printMap;
  // The input window, created on first use.
  QPointer<TScrInpForm1> inputForm;
  // The main window; null once it is gone, so later windows stand alone.
  QPointer<QWidget> owner;
};

// Installs the GUI host for the program's main window and menu bar.
TScriptGuiHost& InstallScriptGui(QWidget* mainWindow, QMenuBar* menuBar);

// --- Commands for the main window -----------------------------------------------

// Opens the editor (visible or hidden); the open editor when there is one.
// A new one is empty and ScriptFileName is "Noname.sbas".
TScrEditForm1* OpenScriptEditor(bool visible);
// Runs a script file as a script menu item or "autoexec.sbas" does: the
// editor is opened hidden when it is not open, the file loaded
// (TScrEditForm1::LoadFile: unsaved text is not dropped unasked) and run,
// and an editor opened here closed again. False when a run is active
// (refused), the user kept the unsaved text, or the file cannot be read (a
// missing file runs nothing and changes nothing).
bool RunScriptFile(const std::string& path);
// Closes the editor; during a run the close waits until the run unwound.
// Unsaved text is offered for saving unless `offerToSave` is false (the
// program ends unattended).
void CloseScriptEditor(bool offerToSave = true);

// --- Script menus ---------------------------------------------------------------

inline constexpr int kScriptMenuItems = 100;
// Number of menus and items scripts created.
int ScriptMenuCount();
// The script file bound to a created item (empty for top-level menus).
std::string ScriptMenuFile(const QAction* item);
