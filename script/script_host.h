// The interpreter's window to the rest of the program. The runner itself is
// headless: message boxes, the INPUT dialog, event pumping, the chart, the
// observer record, printing and script menus all go through one host object.
// The default host does the real thing where the program has it (message
// boxes through the platform layer, the live observer record, MainPlotter,
// the settings-file readers) and reports the statement's error otherwise;
// the window library installs a host with the input dialog, the event loop,
// printing and the menu bar, and tests install hosts of their own.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dialogs.h"
#include "platform/timezone.h"

struct TObserverTime;
class tPlotter;

// What PRINT_MAP asks of the chart printer.
struct TScriptPrintOptions {
  bool blackWhite = false;
  bool chart = true;              // the chart page (false with POIONLY)
  bool pointsOfInterest = false;  // the points-of-interest pages
  bool allPoints = false;         // every point, not only the visible ones
  bool summary = false;           // the object list
};

class TScriptHost {
 public:
  virtual ~TScriptHost() = default;

  // --- Windows ---
  // A message box (the runner's "Script Message:", "Script BASIC error:",
  // "Warning:"); the button pressed, or IDCLOSE when the user closed the box
  // without its button.
  virtual int MessageBox(const std::string& text, const std::string& caption,
                         platform::MsgButtons buttons, platform::MsgIcon icon);
  // The INPUT dialog: shows `prompt`, edits `answer` (kept between uses);
  // false when the user cancelled. The default has no dialog and cancels.
  virtual bool Input(const std::string& prompt, std::string& answer);
  // Processes pending events once (after every line, inside WAIT).
  virtual void ProcessEvents() {}
  // Waits up to `ms` milliseconds for events and processes them (paused
  // runs and WAIT, so they do not spin).
  virtual void WaitForEvents(int ms);
  // The editor is minimised while a run lasts and restored after it.
  virtual void RunStarted() {}
  virtual void RunEnded() {}
  // A pause still set when the run ended: the Script menu returns to its
  // running state.
  virtual void ResetPauseCommand() {}
  // Milliseconds of a steady clock (WAIT).
  virtual uint32_t Milliseconds();

  // --- Astronomy and chart ---
  virtual TObserverTime& Observer();
  // The main chart's plotter; null when there is none (view commands then
  // change nothing but still succeed).
  virtual tPlotter* Chart();
  // Makes an unnamed place with this zone (no daylight-saving rule) and an
  // open horizon the observer's (latitude north, longitude west, radians).
  virtual void ChangeLocation(double latitude, double longitudeWest, const platform::TIME_ZONE_INFORMATION& zone);
  // Number of points of interest.
  virtual int PointOfInterestCount();
  // Prints the chart with these choices; false when no printer is there.
  virtual bool PrintMap(const TScriptPrintOptions& options);
  // Applies a settings file through the slot readers; false when the file
  // cannot be opened or is damaged (an absent slot is no failure).
  virtual bool ReadSettingsFile(const std::string& path);

  // --- Script menus (0 on success, else the script error code) ---
  virtual int InsertMainMenu(int position, const std::string& caption);
  virtual int InsertMenuItem(int menu, int position, const std::string& caption, const std::string& file);
  virtual void ClearMenus() {}
};

// The host of the runs; the default host until another is installed.
TScriptHost& ScriptHost();
// Installs `host` (not owned); null restores the default host.
void SetScriptHost(TScriptHost* host);
