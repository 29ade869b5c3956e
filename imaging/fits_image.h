// Image processing on a FITS header record and its pixel block: rendering
// to a 32-bit bitmap with the display levels and the colour reconstruction
// of raw colour sensors, the histogram picture, the automatic display range,
// the flips, conversion of a bitmap into FITS data, and star finding.
//
// Display level of an element: physical := Nearest(v * BScale + BZero);
// level := Nearest(Nearest(physical - Background) / Range * 255) when Range
// is not 0, else 255. Nearest rounds halves to even.
//
// Mosaic texts: "RGGB(x,y)" (gradient-selection Bayer interpolation, column
// offset x + 1, row offset y), "CMYG(x,y)" (colour difference, 2-row cycle,
// column offset x + 1) and "CMYG2(x,y)" (4-row cycle, column offset x). Any
// other text, or one whose pair does not parse, means no mosaic.
#pragma once

#include <optional>

#include "imaging/fits.h"
#include "platform/bitmap.h"

namespace imaging {

// Geometry check shared by every routine: NAxis 2 or 3, sides 1..16383,
// NAxis3 3 with three axes (unless `anyPlanes`), a known element type and a
// data block holding every element. With NAxis 2 it sets NAxis3 := 1.
bool FitsGeometryOk(TFitsHeader& h, const FitsData& data, bool anyPlanes = false);

// Renders the data to a NAxis1 x NAxis2 bitmap (data row 0 becomes the
// bitmap's bottom row); a null bitmap when the geometry check fails.
platform::Bitmap RenderFits(TFitsHeader& h, const FitsData& data);

// Draws the histogram of the element values into `canvas` (black, one green
// line per non-empty bin, log10 counts over 7 decades of the canvas height)
// and returns the minimum and maximum value rounded (both 0 when the
// geometry check fails). Bins cover 0..2^|BitPix|; values outside fall into
// the first or last bin.
void FitsHistogram(TFitsHeader& h, const FitsData& data, platform::Bitmap& canvas, int64_t& minimum,
                   int64_t& maximum);

// Sets Background and Range so that the fraction `clip` of the elements
// lies below the black level and above the white level (callers pass 0.01).
// A flat image leaves the header unchanged.
void FitsAutoRange(TFitsHeader& h, const FitsData& data, double clip);

// Flip the data in place, top to bottom or left to right, and set the
// header's flag; true when the geometry check passed.
bool FitsFlipVertical(TFitsHeader& h, FitsData& data);
bool FitsFlipHorizontal(TFitsHeader& h, FitsData& data);

// Fills a header and a new data block from a bitmap: monochrome as 16-bit
// red + green + blue (0..765, Range 768), colour as three 8-bit planes
// (red, green, blue; Range 256). Bitmap row y becomes data row H - 1 - y.
void BitmapToFits(const platform::Bitmap& bmp, TFitsHeader& h, FitsData& data, bool mono);

// Measures the star in a box of the image: origin (x0, y0) in image pixels
// with rows counted from the top, width w and height h (moved inside the
// image; at least 16 x 16 pixels). On success the star's centroid in image
// coordinates where pixel (x, y) covers [x, x + 1) x [y, y + 1) (rows from
// the top) and its full width at half the peak level, in pixels. Returns
// false with the position (-1, -1) when no star stands out of the noise in
// at least two rows and two columns.
bool FitsFindStar(TFitsHeader& h, const FitsData& data, int x0, int y0, int w, int boxH,
                  double& starX, double& starY, double signalThreshold, double backgroundFactor,
                  double& halfWidth);

}  // namespace imaging
