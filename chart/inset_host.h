// What the insets ask of the main window, which owns the chart paint box
// and its pop-up menus. The main window installs these hooks at start;
// without them (tests, tools) the requests are ignored. Hooks are called on
// the GUI thread only.
#pragma once

#include <functional>

enum class InsetMenu { StarSphere, Globe, Clock };

struct InsetHost {
  // Pops up the inset's menu at the paint-box point (x, y).
  std::function<void(InsetMenu menu, int x, int y)> popupMenu;
  // Invalidates the paint-box rectangle (right and bottom excluded) without
  // erasing, so painting composes the insets marked in RepaintMask.
  std::function<void(int left, int top, int right, int bottom)> invalidate;
};

extern InsetHost TheInsetHost;

inline void PopupInsetMenu(InsetMenu menu, int x, int y) {
  if (TheInsetHost.popupMenu) TheInsetHost.popupMenu(menu, x, y);
}
inline void InvalidateInsetRect(int left, int top, int right, int bottom) {
  if (TheInsetHost.invalidate) TheInsetHost.invalidate(left, top, right, bottom);
}

// True when (x, y) lies within 1.1 radii of the globe, the clock or the
// star sphere (the magnifier has its own test): the chart's grid labels keep
// off the insets.
bool NearChartInset(int x, int y);

// Marks the main chart for a new render (MainPlotter's Replot, when it
// exists).
void RequestChartReplot();
