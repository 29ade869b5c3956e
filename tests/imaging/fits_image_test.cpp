// Image processing: display levels, automatic range, flips, histogram, the
// RGGB and CMYG reconstructions, bitmap conversion and star finding. The
// expected values are worked by hand from the definitions of the routines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imaging/fits_image.h"

using namespace imaging;

namespace {

TFitsHeader Header16(int w, int h, int planes = 1) {
  TFitsHeader hd = NewFitsHeader(16, w, h, planes);
  hd.Range = 255;
  return hd;
}

FitsData Data(const TFitsHeader& h) { return FitsData(std::size_t(h.DataBlocks * kFitsBlock), 0); }

void Set16(FitsData& d, int64_t i, int v) {
  const uint16_t x = uint16_t(v);
  std::memcpy(&d[2 * i], &x, 2);
}

// Colour of the bitmap pixel showing data (x, y) (data row 0 at the bottom).
uint32_t Shown(const platform::Bitmap& b, int x, int y) { return b.Pixel(x, b.Height() - 1 - y) & platform::kRgbMask; }

}  // namespace

TEST(FitsImage, DisplayLevelsFollowBlackLevelAndRange) {
  TFitsHeader h = Header16(4, 1);
  FitsData d = Data(h);
  const int values[4] = {50, 100, 200, 300};
  for (int i = 0; i < 4; ++i) Set16(d, i, values[i]);
  h.Background = 100;
  h.Range = 200;
  platform::Bitmap b = RenderFits(h, d);
  ASSERT_EQ(b.Width(), 4);
  // Nearest((v - 100) / 200 * 255): below black 0, 127.5 to even 128, above white 255.
  const int grey[4] = {0, 0, 128, 255};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Shown(b, i, 0), platform::MakePixel(grey[i], grey[i], grey[i])) << i;
  h.Range = 0;  // every pixel white
  b = RenderFits(h, d);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Shown(b, i, 0), 0xFFFFFFu);
  h.NAxis1 = 0;  // geometry refused
  EXPECT_TRUE(RenderFits(h, d).IsNull());
}

TEST(FitsImage, AutoRangeClipsOnePercentAtEachEnd) {
  TFitsHeader h = Header16(100, 100);
  FitsData d = Data(h);
  for (int i = 0; i < 10000; ++i) Set16(d, i, i);
  FitsAutoRange(h, d, 0.01);
  // Bins of 9.999 values: the low edge is bin 10 (105 values up to it), the
  // high edge bin 990 (106 values from it upward).
  EXPECT_NEAR(h.Background, 0.010 * 9999, 1e-9);
  EXPECT_EQ(h.Range, 9799);  // trunc(0.98 * 9999)

  for (int i = 0; i < 10000; ++i) Set16(d, i, 777);
  h.Background = 5;
  h.Range = 6;
  FitsAutoRange(h, d, 0.01);  // flat: unchanged
  EXPECT_EQ(h.Background, 5);
  EXPECT_EQ(h.Range, 6);
}

TEST(FitsImage, FlipsSwapRowsAndColumnsInEveryPlane) {
  TFitsHeader h = Header16(3, 2, 3);
  FitsData d = Data(h);
  for (int i = 0; i < 18; ++i) Set16(d, i, i);
  ASSERT_TRUE(FitsFlipVertical(h, d));
  EXPECT_TRUE(h.FlippedVertically);
  const int v[18] = {3, 4, 5, 0, 1, 2, 9, 10, 11, 6, 7, 8, 15, 16, 17, 12, 13, 14};
  for (int i = 0; i < 18; ++i) EXPECT_EQ(FitsValue(d.data(), 16, i), v[i]) << i;
  ASSERT_TRUE(FitsFlipHorizontal(h, d));
  EXPECT_TRUE(h.FlippedHorizontally);
  EXPECT_EQ(FitsValue(d.data(), 16, 0), 5);
  EXPECT_EQ(FitsValue(d.data(), 16, 1), 4);
  EXPECT_EQ(FitsValue(d.data(), 16, 17), 12);
}

TEST(FitsImage, BayerRggbRestoresAUniformColour) {
  // RGGB(0,0) reads pixel (x, y) at data (x + 1, y): data rows 0, 2, .. hold
  // G B G B, rows 1, 3, .. hold R G R G.
  const int R = 200, G = 100, B = 50;
  TFitsHeader h = Header16(8, 6);
  h.Mosaic = "RGGB(0,0)";
  FitsData d = Data(h);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) Set16(d, x + 8 * y, (y % 2 == 0) ? (x % 2 == 0 ? G : B) : (x % 2 == 0 ? R : G));
  platform::Bitmap b = RenderFits(h, d);
  ASSERT_FALSE(b.IsNull());
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Shown(b, x, y), platform::MakePixel(R, G, B)) << x << "," << y;

  // A sharp vertical edge between two colours: pixels whose neighbourhood
  // lies on one side keep that side's colour.
  for (int y = 0; y < 6; ++y)
    for (int x = 4; x < 8; ++x) Set16(d, x + 8 * y, (y % 2 == 0) ? (x % 2 == 0 ? 30 : 90) : (x % 2 == 0 ? 10 : 30));
  b = RenderFits(h, d);
  EXPECT_EQ(Shown(b, 0, 2), platform::MakePixel(R, G, B));
  EXPECT_EQ(Shown(b, 5, 2), platform::MakePixel(10, 30, 90));

  // One-pixel images stay inside the data.
  TFitsHeader one = Header16(1, 1);
  one.Mosaic = "RGGB(1,1)";
  FitsData od = Data(one);
  Set16(od, 0, 77);
  EXPECT_FALSE(RenderFits(one, od).IsNull());
}

TEST(FitsImage, CmygColourDifferenceReconstruction) {
  // Scene colour R 40, G 60, B 20 seen through cyan (G + B), magenta (R + B),
  // yellow (R + G) and green filters; CMYG2(0,0) lays the rows out as
  // Y C / G M / Y C / M G. Blue = M + C - Y = 2B, green = (G + Y + C - M) / 2
  // = 3G / 2, red = M + Y - C = 2R.
  const int C = 80, M = 60, Y = 100, Gr = 60;
  const int rows[4][2] = {{Y, C}, {Gr, M}, {Y, C}, {M, Gr}};
  TFitsHeader h = Header16(6, 8);
  h.Mosaic = "CMYG2(0,0)";
  FitsData d = Data(h);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 6; ++x) Set16(d, x + 6 * y, rows[y % 4][x % 2]);
  platform::Bitmap b = RenderFits(h, d);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Shown(b, x, y), platform::MakePixel(80, 90, 40)) << x << "," << y;
  // The last column and the last row are black.
  EXPECT_EQ(Shown(b, 5, 3), 0u);
  EXPECT_EQ(Shown(b, 2, 7), 0u);
  // The two-row cycle with its extra column shift reads the same data otherwise.
  h.Mosaic = "CMYG(0,0)";
  EXPECT_NE(Shown(RenderFits(h, d), 0, 0), platform::MakePixel(80, 90, 40));
  // A range far below one level saturates every sample (black level 90:
  // C, M and G far below, Y far above); blue = M + C - Y is far below 0
  // and the sums of the saturated levels do not overflow.
  h.Mosaic = "CMYG2(0,0)";
  h.Background = 90;
  h.Range = 1e-9;
  EXPECT_EQ(Shown(RenderFits(h, d), 0, 0), platform::MakePixel(255, 0, 0));
}

TEST(FitsImage, HistogramAndBitmapConversion) {
  platform::Bitmap src(2, 2);
  src.SetPixel(0, 0, 0xFFFFFF);                         // top left white
  src.SetPixel(1, 1, platform::MakePixel(10, 20, 30));  // bottom right
  TFitsHeader h;
  FitsData d;
  BitmapToFits(src, h, d, true);
  ASSERT_EQ(h.BitPix, 16);
  EXPECT_EQ(h.Range, 768);
  EXPECT_EQ(FitsValue(d.data(), 16, 2), 765);  // top row is data row 1
  EXPECT_EQ(FitsValue(d.data(), 16, 1), 60);
  BitmapToFits(src, h, d, false);
  ASSERT_EQ(h.NAxis3, 3);
  EXPECT_EQ(FitsValue(d.data(), 8, 1), 10);
  EXPECT_EQ(FitsValue(d.data(), 8, 4 + 1), 20);
  EXPECT_EQ(FitsValue(d.data(), 8, 8 + 1), 30);

  // Float data with negative values: bins stay inside the canvas.
  TFitsHeader f = Header16(3, 1);
  f.BitPix = -32;
  FitsComputeSizes(f);
  FitsData fd = Data(f);
  const float vals[3] = {-1e9f, 0.0f, 3.0e19f};
  std::memcpy(fd.data(), vals, sizeof vals);
  platform::Bitmap canvas(64, 70);
  int64_t lo = 0, hi = 0;
  FitsHistogram(f, fd, canvas, lo, hi);
  EXPECT_EQ(lo, -1000000000);
  EXPECT_EQ(hi, INT64_MAX);  // beyond a 64-bit integer: held at its limit
  // Two values in bin 0 (log10 2 / 7 of the height: 3 pixels), one above the range in the last.
  EXPECT_EQ(canvas.Pixel(0, 69) & platform::kRgbMask, platform::MakePixel(0, 255, 0));
  EXPECT_EQ(canvas.Pixel(0, 67) & platform::kRgbMask, platform::MakePixel(0, 255, 0));
  EXPECT_EQ(canvas.Pixel(0, 66) & platform::kRgbMask, 0u);
  EXPECT_EQ(canvas.Pixel(63, 69) & platform::kRgbMask, platform::MakePixel(0, 255, 0));
  EXPECT_EQ(canvas.Pixel(30, 69) & platform::kRgbMask, 0u);
}

TEST(FitsImage, FindStarMeasuresASyntheticStar) {
  // A Gaussian star (sigma 2 px: full width at half maximum 2 sqrt(2 ln 2)
  // sigma = 4.710 px) of 200 levels on a background of 20, in a 64 x 64
  // image; (cx, cy) is its centre in pixel-index coordinates, rows from the
  // top, so the finder reports cx + 0.5, cy + 0.5.
  const double sigma = 2.0, fwhm = 2.0 * std::sqrt(2.0 * std::log(2.0)) * sigma;
  struct Case {
    double cx, cy;
    int x0, y0, w, h;
  };
  const Case cases[] = {{30.0, 25.0, 0, 0, 64, 64},   {30.3, 25.7, 0, 0, 64, 64},  {12.5, 40.2, 0, 20, 40, 40},
                        {50.8, 10.1, 30, 0, 40, 30}, {31.45, 31.0, -10, -10, 90, 90}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cx << "," << c.cy);
    TFitsHeader h = Header16(64, 64);
    FitsData d = Data(h);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const double r2 = (x - c.cx) * (x - c.cx) + (y - c.cy) * (y - c.cy);
        Set16(d, x + 64 * (63 - y), int(std::lround(20 + 200 * std::exp(-r2 / (2 * sigma * sigma)))));
      }
    double sx, sy, hw;
    ASSERT_TRUE(FitsFindStar(h, d, c.x0, c.y0, c.w, c.h, sx, sy, 1.0, 1.0, hw));
    EXPECT_NEAR(sx, c.cx + 0.5, 0.1);   // centroid within 0.1 px
    EXPECT_NEAR(sy, c.cy + 0.5, 0.1);
    EXPECT_NEAR(hw, fwhm, 0.1 * fwhm);  // width within 10 %
  }
}

TEST(FitsImage, FindStarRefusesEmptyAndTinyBoxes) {
  TFitsHeader h = Header16(64, 64);
  FitsData d = Data(h);
  for (int i = 0; i < 64 * 64; ++i) Set16(d, i, 20 + (i * 7919 % 3));  // faint noise, no star
  double sx, sy, hw;
  EXPECT_FALSE(FitsFindStar(h, d, 0, 0, 64, 64, sx, sy, 5.0, 1.0, hw));
  EXPECT_EQ(sx, -1);
  EXPECT_EQ(sy, -1);
  Set16(d, 5 + 64 * 5, 250);
  EXPECT_FALSE(FitsFindStar(h, d, 0, 0, 8, 8, sx, sy, 1.0, 1.0, hw));  // below the 16 px minimum
}
