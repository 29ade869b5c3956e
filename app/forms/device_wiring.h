// The main window's devices: the telescope with its goto-assist, focuser
// and filter-wheel windows, the cameras with their settings windows and the
// "ASCOM Cameras" window. The main window makes four calls:
//   - AddDeviceMenus while it builds its menu bar (the "&Connections" and
//     "&Imaging" menus) and AddTelescopePopupItems for the chart pop-up;
//   - StartDevices at the end of its start-up, before the first render;
//   - DisconnectDevices from its close (every connected device is
//     disconnected while the window still exists);
//   - FreeDevices from its destruction, first, so that every device thread
//     is joined before anything else is freed.
// Until StartDevices the menu entries are disabled.
#pragma once

#include <string>

class QMenu;
class QMenuBar;
class QAction;
class QWidget;
class TMainForm1;
class TPOIForm;

// The menu entries the devices add (null before AddDeviceMenus).
struct TDeviceMenus {
  QMenu* Connections1 = nullptr;
  QAction *TelescopeControl1 = nullptr, *FilterWheel1 = nullptr, *Focuser1 = nullptr, *Camera1 = nullptr;
  QMenu* ImagingMenu = nullptr;
  QMenu* Imaging1 = nullptr;  // "&Source Settings"
  QAction *AutoGuiding1 = nullptr, *Imaging2 = nullptr, *PlateSolve1 = nullptr;
  QAction *GotoHere = nullptr, *SyncHere = nullptr, *AcceptAlign = nullptr;
};

// Appends the "&Connections" and "&Imaging" menus to the menu bar.
void AddDeviceMenus(TMainForm1& form, QMenuBar* bar);
// Appends "Telescope &goto here", "Telescope &sync here" and "Telescope
// &accept align" to the chart pop-up (disabled until a mount connects).
void AddTelescopePopupItems(TMainForm1& form, QMenu* popup);
// Creates the cameras (from the imaging settings file), the telescope
// windows with the main window as their host, the camera windows, the
// imaging console, autoguider and plate-solve windows, and
// installs the chart's telescope marker and pointing correction and the
// camera simulator's pointing.
void StartDevices(TMainForm1& form);
// Gives the points-of-interest window its sequencer (Start, Pause, Stop over
// the point table, slewing the telescope); the window refuses to close while
// a sequence runs. A point's imaging plan runs on the imaging console. Call
// once the window
// exists, after StartDevices.
void AttachSequencer(TPOIForm& window);
// Disconnects the telescope, the filter wheel, the focuser and both driver
// cameras when connected.
void DisconnectDevices();
// Destroys the device windows and their logic (a running pointing-model fit
// is cancelled and joined), frees the cameras (their worker threads are
// joined), then saves the imaging settings. Safe without StartDevices.
void FreeDevices();

const TDeviceMenus& DeviceMenus();
// The imaging settings file (the working folder's "ImagingSettings.xml";
// tests point it elsewhere). The imaging windows keep their settings files
// in the same folder.
extern std::string ImagingSettingsPath;
