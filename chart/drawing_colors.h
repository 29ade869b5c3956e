// Drawing colours: the colour mode every drawn colour passes through, the
// shared pens and brushes of the chart, its insets and printed pages, and
// the derived colour tables that the renderers write straight into bitmaps.
// MakeDrawingColors rebuilds all of it after the colour mode, a style
// colour or PrintScale changes.
//
// Colour references (TColorRef) hold red in the low byte; display pixels
// (the *Pixel values) hold blue in the low byte (platform/bitmap.h).
#pragma once

#include <cstdint>

#include "astro/trig.h"
#include "platform/drawing.h"

// 0 full colour, 1 three-level grey (black-and-white printing), 2 night
// vision (red only).
extern uint8_t ColorMode;

// Base pen width in device pixels: 1 on the screen, larger on a printer;
// never below 1.
extern int32_t PrintScale;

// PrintScale for a device of the given pixels per inch: (dpiX + dpiY) / 400
// rounded halves to even, at least 1.
int32_t PrintScaleForResolution(int32_t dpiX, int32_t dpiY);

// The colour mode applied to a colour given as red, green, blue bytes:
// mode 2 puts the mean (r + g + b) div 3 into red and clears green and
// blue; mode 1 turns the mean into a grey of 0 (below 128), 128 (128..253)
// or 255 (254, 255); any other mode leaves the colour as it is.
TColorRef ColorForMode(uint8_t r, uint8_t g, uint8_t b);
// The same for a colour reference; bits above the colour are dropped.
TColorRef ColorRefForMode(TColorRef color);
// The same for a display pixel (pictures and ramps written raw).
uint32_t PixelForMode(uint32_t pixel);

// Rebuilds the globe palettes and the display pixel values through a 1 x 1
// probe bitmap, then the pens and brushes. False, with the tables left as
// they were (the pens and brushes are still rebuilt), when the probe bitmap
// cannot be made.
bool MakeDrawingColors();
// Builds every pen and brush below (after deleting the old ones).
void CreateDrawingPens();
// Empties every pen and brush variable.
void DeleteDrawingPens();

// The shared pens and brushes. "W" widths are PrintScale; dotted pens are
// one pixel wide. Colours pass through the colour mode.
extern platform::Pen WhitePen;               // W, 255,255,255
extern platform::Brush BlackFillBrush;       // 0,0,0
extern platform::Pen WhiteOutlinePen;        // W, 255,255,255
extern platform::Brush WhiteBrush;           // 255,255,255
extern platform::Pen HairlinePen;            // 1, 0,0,0
extern platform::Pen ThinPen;                // W, 0,0,0
extern platform::Pen RulePen;                // 2W, 0,0,0
extern platform::Pen FramePen;               // 4W, 0,0,0
extern platform::Brush BlackBrush;           // 0,0,0
extern platform::Pen DarkRedPen;             // W, 64,32,32
extern platform::Brush DarkRedBrush;         // 120,32,32
extern platform::Pen OliveDotPen;            // dotted, 128,128,64
extern platform::Brush OliveBrush;           // 128,128,64
extern platform::Pen OlivePen;               // W, 128,128,64
extern platform::Pen GreenPen;               // W, 32,255,32
extern platform::Brush GreenBrush;           // 32,120,32
extern platform::Pen PaleGreenPen;           // W, 140,180,140
extern platform::Brush DarkGreenBrush;       // 32,100,32
extern platform::Pen GreyPen;                // W, 170,170,170
extern platform::Brush PointOfInterestBrush; // style 8
extern platform::Pen BoundaryPen;            // W, style 2
extern platform::Pen TealPen;                // W, 0,85,85
extern platform::Brush DarkGreyBrush;        // 85,85,85
extern platform::Pen WhiteSymbolPen;         // W, 255,255,255
extern platform::Brush WhiteSymbolBrush;     // 255,255,255
extern platform::Pen YellowPen;              // W, 255,255,0
extern platform::Brush YellowBrush;          // 255,255,0
extern platform::Pen WhiteMarkerPen;         // W, 255,255,255
extern platform::Pen GreyDotPen;             // dotted, 63,63,63
extern platform::Brush WhiteMarkerBrush;     // 255,255,255
extern platform::Brush NearBlackBrush;       // 23,23,23
extern platform::Pen DarkGreyWidePen;        // 2W, 85,85,85
extern platform::Pen LightGreyPen;           // W, 170,170,170
extern platform::Pen GridPen;                // W, style 5
extern platform::Pen GridWidePen;            // 2W, style 5
extern platform::Pen RedDotPen;              // dotted, 170,0,0
extern platform::Pen MilkyWayPen;            // W, style 6
extern platform::Brush MilkyWayBrush;        // style 6
extern platform::Pen BluePen;                // W, 63,80,170
extern platform::Brush BlueBrush;            // 63,80,170

// Star disc brushes and one-pixel pens by colour class 1..9 (index 0
// unused): StarColors table 0 through the colour mode; in mode 1 every
// brush is grey 128 and every pen black.
extern platform::Brush StarDiscBrushes[10];
extern platform::Pen StarDiscPens[10];

// Globe palettes: level 0 is the palette through the colour mode, levels 1
// to 4 darker shades.
extern TColorRef GlobeLandColors[5][11];
extern TColorRef GlobeSeaColors[5][11];
// Index 0..10 of the first level-0 entry equal to `color`, or 255.
uint8_t LandColorIndex(TColorRef color);
uint8_t SeaColorIndex(TColorRef color);

// Display pixels for raw writes. StarPixels[k] comes from StarColors table
// k + 1 (bright, medium, faint shades of each class).
extern uint32_t StarPixels[3][10];
extern uint32_t DimGreyPixel;            // 26,26,26
extern uint32_t HorizonPixel;            // style 4
extern uint32_t GridAltPixel;            // style 5, alternate colour
extern uint32_t GridPixel;               // style 5
extern uint32_t BoundaryPixel;           // style 2
extern uint32_t ConstellationLinePixel;  // style 3
extern uint32_t DarkRedPixel;            // 170,0,0
extern uint32_t NearWhitePixel;          // 254,254,254
extern uint32_t BlueRampPixels[40];      // the blue ramp, bright to dark
