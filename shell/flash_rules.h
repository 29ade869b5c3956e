// The rules of the flash window's two modes, kept apart from the window so
// they can be checked without one.
#pragma once

// What a ShowFlashProgress call does, given whether a progress display is
// open and the value passed.
enum class TFlashProgressAction {
  None,      // any other combination: nothing happens
  Open,      // -1 with none open: show the text, gauge at 0
  SetGauge,  // 0..100 with one open: the gauge shows the value, text ignored
  Close,     // 101 with one open: close the display
};
TFlashProgressAction FlashProgressAction(bool progressOpen, int value);

// The one-shot timer interval of a flash message shown for `seconds`
// seconds, in milliseconds (0 for zero or negative seconds).
int FlashIntervalMs(int seconds);
