// Helpers shared by the files of the main window (main_form*.cpp): menu
// items, the owned single-instance windows, size codes and the texts of
// the observer's place note and of the time and field menus.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <array>
#include <cstddef>
#include <functional>
#include <string>

#include "platform/single_window.h"

namespace mainform {

inline QAction* Item(QMenu* menu, const char* caption, std::function<void()> fn, QKeySequence key = {}) {
  QAction* a = menu->addAction(QString::fromUtf8(caption));
  QObject::connect(a, &QAction::triggered, menu, [fn = std::move(fn)] { fn(); });
  if (!key.isEmpty()) a->setShortcut(key);
  return a;
}

inline QAction* Check(QMenu* menu, const char* caption, std::function<void()> fn, QKeySequence key = {}) {
  QAction* a = Item(menu, caption, std::move(fn), key);
  a->setCheckable(true);
  return a;
}

// The single instance of a window owned by the main window; its global is
// emptied when it goes with its owner.
template <class F>
F* OwnedWindow(F*& global, QWidget* owner) {
  return platform::SingleWindow(global, owner);
}

// Shows a window modally, as a dialog's exec does: the other windows take
// no input until it is hidden (closed by the user, or cancelled by the
// program's close); events, and with them the heartbeat and the device
// timers, run meanwhile, so the chart keeps moving. A window that is open
// already (another window showed it) is brought to the front.
void ShowModal(QWidget* window);

// Cancels the open pop-up menus and modal windows, newest first, as their
// Cancel or Esc would: a dialog is rejected (its exec returns once control
// reaches its loop again), any other modal window is hidden.
void CancelModalWindows();

// Gives the memory that freed blocks leave in the allocator's arenas back
// to the system (after large arrays are freed).
void ReleaseFreedMemory();

// The size code (1..N) of the checked size item, 0 when none is checked.
template <std::size_t N>
int CheckedCode(const std::array<QAction*, N>& items) {
  for (std::size_t i = 0; i < N; ++i)
    if (items[i]->isChecked()) return int(i) + 1;
  return 0;
}

// The observer's place until the location window sets one.
inline const char* const kNoLocationName = "Latitude 0, longitude 0";
inline const char* const kNoLocationStatus = "No observer location chosen: the chart shows latitude 0\u00b0, longitude 0\u00b0";
inline const std::string kZoneLocationStatus = "No observer location chosen: the chart shows ";
inline const std::string kZoneLocationStatusEnd = ", the city of the computer's time zone";

inline const char* const kRateCaptions[5] = {"&Actual", "&10 Seconds/Second", "1 &Minute/Second", "1 &Hour/Second",
                                      "1 &Day/Second"};
inline const char* const kFieldCaptions[9] = {"15 minutes (\u00bc\u00b0)", "30 minutes (\u00bd\u00b0)", "1 degree",
                                       "2 degree", "5 degree", "10 degree", "15 degree", "20 degree",
                                       "Automatic"};

}  // namespace mainform
