// The main window's script language: the "&Script" menu (Run, Stop, Pause)
// and File's "&New script..." and "&Close script", the script GUI host with
// the chart printer and the chart markers, "autoexec.sbas" at the first
// heartbeat tick, and the close that waits for a running script to unwind.
// Each is one call from the main window, as for the devices.
#pragma once

class QMenuBar;
class QAction;
class QMenu;
class TMainForm1;

struct TScriptMenus {
  QMenu* Script1 = nullptr;
  QAction *NewScript1 = nullptr, *CloseScript1 = nullptr;
  QAction *RunScript1 = nullptr, *StopScript1 = nullptr, *PauseScript1 = nullptr;
};

// Adds File's script items and the "&Script" menu (after Edit).
void AddScriptMenus(TMainForm1& form, QMenuBar* bar);
// Installs the script host for the main window and the script's chart
// markers (start-up, before the first render).
void StartScripts(TMainForm1& form);
// Posts the run of "autoexec.sbas" out of the heartbeat's handler (first
// tick); a missing file runs nothing.
void RunAutoExecScript();
// The main window's close: true while a script runs, which is told to stop
// and closes the window again once it has unwound (the caller refuses this
// close).
bool ScriptDefersClose(TMainForm1& form);
// Closes the editor and frees the chart markers (FormClose); lets go of the
// main window (FormDestroy).
void CloseScripts();
void FreeScripts();

const TScriptMenus& ScriptMenus();
