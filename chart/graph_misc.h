// The chart's off-screen bitmaps and the raw pixel routines that draw into
// them without the drawing context: the process-wide auto-bitmap list,
// transparent and rotated-disc copies, clipped plain, patterned and thick
// lines with a stop colour, and chord arcs.
//
// Pixels are display pixels 0x00RRGGBB (platform/bitmap.h). Coordinates
// have y counted from the top. Colour comparisons (transparent key, stop
// colour, the larger-pixel rule of the disc copy) use the low 24 bits.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bitmap.h"

using platform::Bitmap;

// --- The auto-bitmap list ---------------------------------------------------------
// Every bitmap made here is owned by one process-wide list of at most
// kAutoBitmapCapacity entries, kept in order of creation and emptied at
// program exit. A pointer handed out stays valid until FreeAutoBitmap or
// FreeAllAutoBitmaps deletes its bitmap.

inline constexpr int32_t kAutoBitmapCapacity = 100;

// A new width x height bitmap, all black, entered in the list. Returns
// nullptr after a stop message box "Error: Can't create bitmap." (caption
// "UNIT GraphMisc, FUNCTION CreateAutoBitmap") when the bitmap cannot be
// made or the list is full; nothing is entered then.
Bitmap* CreateAutoBitmap(int32_t width, int32_t height);

// Reads an uncompressed 256-colour bitmap file into a new 32-bit bitmap
// entered in the list: pixel byte i of the file becomes element i (bottom-up
// order, so the picture keeps its orientation) with the colour of its
// colour-table entry. Returns nullptr, with nothing entered, after a stop
// message box (caption "UNIT GraphMisc, FUNCTION ReadAutoBitmap", texts cut
// to 255 characters) when the file cannot be opened ("Error: Can't open
// bitmap file "name""), read ("Error: Can't read bitmap data from "name""),
// is not an 8-bit file with gap-free rows or is short ("Error: Windows
// bitmap file "name"\r\ncorrupt or not 256 color."), or the bitmap cannot be
// made ("Error: Can't create bitmap."). With `problem`, no box is shown: the
// message's text is put there instead.
Bitmap* ReadAutoBitmap(const std::string& fileName, std::string* problem = nullptr);

// Deletes a bitmap of the list and closes the gap, keeping the order of the
// rest; a pointer not in the list (or nullptr) is ignored.
void FreeAutoBitmap(Bitmap* bitmap);
// Deletes every bitmap of the list, last first.
void FreeAllAutoBitmaps();
// Number of bitmaps in the list and entry i (1-based; nullptr outside 1..count).
int32_t AutoBitmapCountForTest();
Bitmap* AutoBitmapEntryForTest(int32_t index);

// --- Copies -----------------------------------------------------------------------------

// Copies the w x h rectangle at (sx, sy) of `source` to (dx, dy) of `dest`,
// skipping source pixels of the key colour (source element 0). The
// rectangle is first clipped to both bitmaps: negative sx or sy move the
// destination point, negative dx or dy the source point, and the size is
// cut to what both bitmaps hold. Nothing is copied when the clipped
// rectangle is empty or starts on the last column or row of either bitmap.
void BlitTransparent(const Bitmap& source, int sx, int sy, int w, int h, Bitmap& dest, int dx, int dy);
// The same operation under its second name.
inline void BlitTransparentTo(const Bitmap& source, int sx, int sy, int w, int h, Bitmap& dest, int dx, int dy) {
  BlitTransparent(source, sx, sy, w, h, dest, dx, dy);
}

// Composes `source`, scaled to a disc of size - 0.5 destination pixels
// across (stretched horizontally by `aspect`), rotated clockwise on the
// screen by `angle` degrees and mirrored by xSign/ySign (+1 or -1), into the
// centre of `dest`: each destination pixel of the disc keeps the larger of
// its own value and the source pixel that falls on it. Arithmetic is single
// precision; source positions are rounded halves to even. A size below 1 or
// an aspect that is not positive draws nothing.
void BlitRotatedDisc(const Bitmap& source, Bitmap& dest, int32_t angle, int32_t size, float aspect,
                     int32_t xSign, int32_t ySign);

// --- Lines and arcs -------------------------------------------------------------------
// Lines and arcs draw into the target set by SetDrawTarget, inside its clip
// rectangle: 4 pixels in from every edge (left and top 4, right width - 4,
// bottom height - 4, all inclusive), which leaves room for the extra pixels
// of wide and thick lines. The target, the dash phase and the arc direction
// belong to the calling thread, so renderers on different threads do not
// disturb each other.

void SetDrawTarget(Bitmap& target);
// No target: lines and arcs draw nothing.
void ClearDrawTarget();

// Arc direction for DrawArc: 0 increasing angles, 1 decreasing.
extern thread_local uint8_t ArcReverse;
// Dash phase of DrawPatternLine, 0..31; carries from call to call.
extern thread_local int32_t LinePatternPhase;

// One-pixel line from (x1, y1) towards (x2, y2), stepping along the longer
// axis with a 16.16 fixed-point minor coordinate; the end point is not drawn
// and equal end points draw nothing.
void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);

// Starts a new dash rhythm for DrawPatternLine.
void ResetLinePattern();

// The pixels of DrawLine as dashes: the phase advances at each pixel and
// bit (phase mod 32) of `pattern` says whether it is drawn. Width 2 adds the
// pixels right, above and above-right; width 3 (and more) the whole 3 x 3
// block. A pixel that already holds `stopColor` ends the line.
void DrawPatternLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, uint32_t stopColor,
                     uint8_t width, uint32_t pattern);
// The same between points given in fractions of a pixel (whole numbers at
// pixel centres), through the pixels nearest the exact line: a polyline of
// short chords stays within half a pixel of the curve it follows.
void DrawPatternLineF(double x1, double y1, double x2, double y2, uint32_t color, uint32_t stopColor,
                      uint8_t width, uint32_t pattern);

// The pixels of DrawLine widened to a 4-pixel line that ends at the first
// pixel of `stopColor` it would cover; true when it ended that way.
bool DrawThickLineStop(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, uint32_t stopColor);

// Arc of `radius` about (cx, cy) by chords of `step` tenths of a degree,
// from `startAngle` to `endAngle` (tenths of a degree, -900..3600, clockwise
// from straight up), in the direction of ArcReverse: forward chords are drawn
// with DrawLine and DrawThickLineStop, backward chords with
// DrawThickLineStop only. True when a stop-colour pixel ended it; equal
// angles or a step below 1 draw nothing.
bool DrawArc(int32_t cx, int32_t cy, int32_t radius, int32_t startAngle, int32_t endAngle, int32_t step,
             uint32_t color, uint32_t stopColor);
