// The Sun and Moon pictures drawn for a large Sun or Moon on the chart: the
// source images read once at start ("moon.bmp", "sun.bmp" in the data
// folder) and the square sprites made from them at the size, turn and
// mirroring the chart needs.
#pragma once

#include <cstdint>

#include "chart/graph_misc.h"

// The two source images (auto bitmaps; nullptr until loaded or when a file
// could not be read).
extern Bitmap* MoonBitmap;
extern Bitmap* SunBitmap;

// Reads "moon.bmp" into MoonBitmap and "sun.bmp" into SunBitmap from the
// data folder (name matched ignoring case). An unreadable file is reported
// by ReadAutoBitmap's own message and leaves its image nullptr. True when
// both images were read.
bool LoadSunMoonImages();

// A new square auto bitmap holding the Moon picture as a disc of `size`
// pixels stretched horizontally by `aspect`, turned clockwise by `angle`
// degrees and mirrored by xSign/ySign (+1 or -1); its side is
// SunMoonImageSide(size, aspect). The rest of the square is black, and the
// key pixel (element 0) of the source and of the new image is set to black
// so transparent copies leave the background out. nullptr when the source
// image is missing, the size is below 1 or the bitmap cannot be made.
// The caller frees the image with FreeAutoBitmap when it makes a new one.
Bitmap* MakeMoonImage(int32_t angle, int32_t size, int32_t xSign, int32_t ySign, float aspect);

// The same for the Sun, without a turn.
Bitmap* MakeSunImage(int32_t size, int32_t xSign, int32_t ySign, float aspect);
