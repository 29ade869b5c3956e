// Shell globals shared by every subsystem.
//
// Flags that worker threads (globe animation, magnifier, cursor watch, star
// loader) read or write alongside the GUI thread are atomics; everything
// else is written on the GUI thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class QWidget;

// Folder of the reference data files and folder of the program's own files
// ("Objects.sqlite"); both are the current folder at start and end in "/".
// DataFolder is empty until the main window's start-up sets it.
extern std::string DataFolder;
extern std::string ProgramFolder;

// The main window: owner of message boxes shown on behalf of the astronomy
// core and the star thread. Null until the main window exists.
extern QWidget* MainWindowHandle;

// The back buffer the chart is drawn into: 32-bit pixels, rows from the top.
// Null and 0 until the main window creates it.
extern uint32_t* BackBufferBits;
extern int32_t BackBufferWidth;
extern int32_t BackBufferHeight;

// The chart area in pixels; -1 until the main window measures it.
extern int32_t MapWidth;
extern int32_t MapHeight;

// Dirty bits of the back buffer. Painting composes the insets whose bits are
// set and clears the mask; the globe thread waits for its bit to clear before
// drawing the next frame. Bits are set with MarkRepaint (an atomic or), never
// by adding, so a bit that is already set stays a single bit.
enum : uint8_t {
  kRepaintChart = 1,
  kRepaintGlobe = 2,
  kRepaintClock = 4,
  kRepaintMagnifier = 8,
  kRepaintStarSphere = 16,
  kRepaintAll = 31,
};
extern std::atomic<uint8_t> RepaintMask;  // initially 30: every inset, not the chart
inline void MarkRepaint(uint8_t bits) { RepaintMask.fetch_or(bits); }
inline void ClearRepaint(uint8_t bits) { RepaintMask.fetch_and(uint8_t(~bits)); }
// Returns the mask and clears it in one step (painting).
inline uint8_t TakeRepaintMask() { return RepaintMask.exchange(0); }

// The last pointer position on the chart paint box, and 1 while the pointer is
// over the open chart and over no inset (read by the cursor-watch thread).
extern std::atomic<int32_t> PointerX;
extern std::atomic<int32_t> PointerY;
extern std::atomic<uint8_t> PointerOnChart;

// 1 once the main window's one-shot start-up timer has run; the magnifier
// thread renders nothing before.
extern std::atomic<uint8_t> MagnifierReady;
// 1 while a star-catalogue load runs.
extern std::atomic<uint8_t> StarLoaderBusy;

// Horizontal stretch of the circular insets and the chart's aspect
// adjustment (1 + screen-layout "aspect adjust" / 40).
extern double InsetAspect;
extern double AspectAdjust;

// The simulated clock: direction (0 forward, 1 stopped, 2 backward) and rate
// (0..4).
extern uint8_t TimeFlow;
extern uint8_t TimeRate;

// Inset size presets in pixels before the main window scales them to the
// screen.
extern int32_t InsetSizeSmall;
extern int32_t InsetSizeNormal;
extern int32_t InsetSizeLarge;
extern int32_t InsetSizeHuge;

// True while the log window is the active window (the heartbeat then leaves
// the keyboard focus where it is).
extern bool LogFormActive;
// True while the flash window shows a progress display.
extern bool FlashProgressOpen;
