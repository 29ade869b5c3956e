// What the insets ask of the main window, which owns the chart paint box,
// its pop-up menus and the main plotter's replot flag. The main window
// installs these hooks at start; without them (tests, tools) the requests
// are ignored. Hooks are called on the GUI thread only.
#pragma once

#include <functional>

#include "chart/horizon_array.h"

enum class InsetMenu { StarSphere, Globe, Clock };

struct InsetHost {
  // Pops up the inset's menu at the paint-box point (x, y).
  std::function<void(InsetMenu menu, int x, int y)> popupMenu;
  // Invalidates the paint-box rectangle (right and bottom excluded) without
  // erasing, so painting composes the insets marked in RepaintMask.
  std::function<void(int left, int top, int right, int bottom)> invalidate;
  // Asks the main plotter for a new render (its Replot flag).
  std::function<void()> requestReplot;
  // Gives the observer's new horizon profile to the main plotter.
  std::function<void(const THorizonArray& horizon)> setHorizon;
};

extern InsetHost TheInsetHost;

inline void PopupInsetMenu(InsetMenu menu, int x, int y) {
  if (TheInsetHost.popupMenu) TheInsetHost.popupMenu(menu, x, y);
}
inline void RequestChartReplot() {
  if (TheInsetHost.requestReplot) TheInsetHost.requestReplot();
}
inline void InvalidateInsetRect(int left, int top, int right, int bottom) {
  if (TheInsetHost.invalidate) TheInsetHost.invalidate(left, top, right, bottom);
}
