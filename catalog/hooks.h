// What the catalogues need of the chart and the main window, as hooks that
// those install once at start-up on the GUI thread. Until they are installed
// every hook does nothing, so the catalogues run alone in tests and tools.
#pragma once

#include <functional>
#include <string>

struct TStarOptions;

struct TCatalogHooks {
  // The overlay threads' pause protocol (cursor watch and magnifier).
  std::function<void()> pauseCursorThread;
  std::function<void()> pauseMagnifierThread;
  std::function<void()> resumeMagnifierThread;
  std::function<void()> resumeCursorThread;
  // Runs the given rewrite of the star or body tables once the cursor watch
  // is known paused (at once, or at the next chance after a timed-out
  // pause); without the hook at once.
  std::function<void(std::function<void()>)> whenCursorPaused;
  // Sets the main plotter's replot byte.
  std::function<void()> requestReplot;
  // Text of status-bar panel 3 (star-conversion progress; "" empties it).
  std::function<void(const std::string&)> showStatusPanel3;
  // Copies the appearance values of the star options into the main
  // plotter's star switches: drawing mode, size adjustment, colour, names,
  // Greek letters and the automatic faint limit.
  std::function<void(const TStarOptions&)> applyStarAppearance;
  // The main plotter's object-label switch.
  std::function<void(bool)> setObjectLabels;
  // Opens the user guide at a page ("settings.html#solar").
  std::function<void(const std::string&)> showHelp;
  // A star load has ended with its arrays in place (the main window draws
  // them at once).
  std::function<void()> starLoadEnded;
};

// Installs the hooks (GUI thread, before any catalogue work starts).
void SetCatalogHooks(TCatalogHooks hooks);
const TCatalogHooks& CatalogHooks();

// Runs `work` through the whenCursorPaused hook, or at once without it.
void RunWhenCursorPaused(std::function<void()> work);

// Calls a hook when it is installed.
template <class F, class... A>
void CallHook(const F& hook, A&&... args) {
  if (hook) hook(std::forward<A>(args)...);
}
