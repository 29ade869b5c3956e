// The magnifier inset: field-of-view modes and captions, the zoom step of
// points of interest, the scale that puts the half field on the ring, the
// hit tests and clicks; and the magnifier plotter's projection about its
// centre (north up, east left, mirror and invert).
#include <gtest/gtest.h>

#include <cmath>

#include "app/globals.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"

namespace {
constexpr double kDeg = 0.017453292519943295;

void OneTelescope(const char* mirror, const char* invert) {
  TeleGrid = TMagnifierGrid(kTeleColumns);
  EyeGrid = TMagnifierGrid(kEyeColumns);
  // 1000 mm focal length; with 25 mm and 43.5° the true field is 1.0875°,
  // with 8.7 mm and 100°... kept within 20..90: 8.7 mm and 87° gives 0.7569°.
  const char* tele[] = {"T", "200mm", "f/5", mirror, invert, "1"};
  for (int c = 0; c < 6; ++c) TeleGrid.Cells[1][c] = tele[c];
  TeleGrid.RowCount = 3;
  const char* e1[] = {"A", "25mm", "43.5"};
  const char* e2[] = {"B", "10mm", "87"};
  for (int c = 0; c < 3; ++c) {
    EyeGrid.Cells[1][c] = e1[c];
    EyeGrid.Cells[2][c] = e2[c];
  }
  EyeGrid.RowCount = 4;
  BuildFieldTables();
  ComputeFieldTable();
}
}  // namespace

// Modes 1..8: the fixed fields; 9 follows the main zoom (6 / zoom degrees
// snapped; 0.125 exactly gives the 30' field); others fall back to 2°.
TEST(MagnifierInset, FieldModesAndCaptions) {
  struct Case {
    int32_t mode;
    double zoom;
    double halfDeg;
    const char* caption;
  } cases[] = {
      {1, 1, 0.125, "15' Field"}, {2, 1, 0.25, "30' Field"}, {3, 1, 0.5, "1° Field"},
      {4, 1, 1.0, "2° Field"},    {5, 1, 2.5, "5° Field"},   {6, 1, 5.0, "10° Field"},
      {7, 1, 7.5, "15° Field"},   {8, 1, 10.0, "20° Field"}, {9, 48, 0.25, "30' Field"},
      {9, 6, 2.5, "5° Field"},    {9, 100, 0.125, "15' Field"}, {9, 0.95, 5.0, "10° Field"},
      {0, 1, 1.0, "2° Field"},    {-3, 1, 1.0, "2° Field"},  {150, 1, 1.0, "2° Field"},
  };
  for (const Case& c : cases) {
    double half = 0;
    std::string caption;
    MagnifierFieldCaption(c.mode, half, caption, c.zoom);
    EXPECT_NEAR(half / kDeg, c.halfDeg, 1e-12) << c.mode << " " << c.zoom;
    EXPECT_EQ(caption, c.caption) << c.mode << " " << c.zoom;
  }
}

// Telescope-eyepiece modes: the caption in minutes below 1°, else degrees,
// with the orientation suffix; LastEyepieceMode remembers the mode; an
// absent eyepiece falls back to 2°.
TEST(MagnifierInset, EyepieceModes) {
  struct Case {
    const char *mirror, *invert;
    int32_t mode;
    const char* caption;
    double halfDeg;
  } cases[] = {
      {"n", "n", 10100, "1° Field", 1.0875 / 2},
      {"y", "y", 20100, "52' Field - mir&inv", 0.87 / 2},
      {"n", "y", 20100, "52' Field - inv", 0.87 / 2},
      {"y", "n", 20100, "52' Field - mir", 0.87 / 2},
      {"n", "n", 30100, "2° Field", 1.0},  // no eyepiece 3
      {"n", "n", 10200, "2° Field", 1.0},  // no telescope 2
  };
  for (const Case& c : cases) {
    OneTelescope(c.mirror, c.invert);
    double half = 0;
    std::string caption;
    MagnifierFieldCaption(c.mode, half, caption, 1.0);
    EXPECT_EQ(caption, c.caption) << c.mode;
    EXPECT_NEAR(half / kDeg, c.halfDeg, 1e-12) << c.mode;
  }
  OneTelescope("n", "n");
  double half;
  std::string caption;
  MagnifierFieldCaption(20100, half, caption, 1.0);
  EXPECT_EQ(LastEyepieceMode, 20100);
  EXPECT_EQ(MagnifierZoomStep(0.1), 20100);
  caption = "no lastfieldselect";
  MagnifierFieldCaption(3, half, caption, 1.0);
  EXPECT_EQ(LastEyepieceMode, 20100);
  caption.clear();
  MagnifierFieldCaption(3, half, caption, 1.0);
  EXPECT_EQ(LastEyepieceMode, 0);
}

TEST(MagnifierInset, ZoomStepOfAHalfField) {
  LastEyepieceMode = 0;
  const struct {
    double deg;
    int32_t mode;
  } cases[] = {{12, 8}, {10, 8}, {7.5, 7}, {5, 6}, {2.5, 5}, {2.4999, 4}, {1, 4}, {0.5, 3}, {0.25, 2}, {0.1, 1}};
  // Half fields as the captions give them: degrees / 57.29577951308232.
  for (const auto& c : cases) EXPECT_EQ(MagnifierZoomStep(c.deg / 57.29577951308232), c.mode) << c.deg;
}

// Hit tests on the oval (1.0 and 1.1 radii), and the clicks: a right click
// opens MagMenu except in placing mode; a hidden magnifier takes nothing.
TEST(MagnifierInset, HitTestsAndClicks) {
  MagnifierSize = 100;
  MagnifierCentreX = 200;
  MagnifierCentreY = 300;
  MagnifierRadiusX = 120;
  MagnifierRadiusY = 100;
  EXPECT_TRUE(InsideMagnifier(320, 300));
  EXPECT_FALSE(InsideMagnifier(321, 300));
  EXPECT_FALSE(InsideMagnifier(200, 401));
  EXPECT_TRUE(InsideMagnifierMargin(200, 409));
  EXPECT_FALSE(InsideMagnifierMargin(200, 411));
  int menus = 0;
  bool placing = false;
  MagnifierHooks.showMagMenu = [&](int32_t, int32_t) { ++menus; };
  MagnifierHooks.placingMode = [&] { return placing; };
  EXPECT_TRUE(MagnifierClick(1, 210, 310));
  EXPECT_EQ(menus, 1);
  EXPECT_TRUE(MagnifierClick(0, 210, 310));
  placing = true;
  EXPECT_TRUE(MagnifierClick(1, 210, 310));
  EXPECT_EQ(menus, 1);
  EXPECT_FALSE(MagnifierClick(1, 10, 10));
  MagnifierSize = 0;
  EXPECT_FALSE(InsideMagnifier(200, 300));
  EXPECT_FALSE(MagnifierClick(1, 200, 300));
  MagnifierHooks = TMagnifierHooks{};
}

// The magnifier's projection: a star 0.5° north of the centre straight
// above it, 0.5° east to the left (to the right when mirrored, and north
// down when inverted), and the half field exactly on the inner radius.
TEST(MagnifierInset, ProjectionAboutTheCentre) {
  auto m = std::make_unique<tPlotterB>();
  const int32_t r = 150;
  const double half = 2.5 * kDeg;
  m->Width = m->Height = 400;
  m->DpiX = m->DpiY = 100;
  m->Aspect = 1;
  m->Zoom = MagnifierScaleFor(r, half);
  m->CentreRA = 2.0;
  m->CentreDec = 0.4;
  const double scale = 200 * m->Zoom / 1.5707963267948966;
  struct Case {
    int32_t mirror, invert;
    double dNorth, dEast;  // degrees
    double px, py;         // expected offset from the centre, pixels
  } cases[] = {
      {1, 1, 0.5, 0, 0, -0.5},
      {1, 1, 0, 0.5, -0.5, 0},
      {-1, 1, 0, 0.5, 0.5, 0},
      {1, -1, 0.5, 0, 0, 0.5},
      {1, 1, 2.5, 0, 0, -2.5},
  };
  for (const Case& c : cases) {
    m->MirrorFactor = c.mirror;
    m->InvertFactor = c.invert;
    m->Centred.SetCentre(m->CentreDec, m->CentreRA);
    m->CentreX = m->CentreY = 200;
    m->Proj = TProjection{};
    m->Proj.Sx = scale * c.mirror;
    m->Proj.Sy = scale * c.invert;
    m->Proj.CentreX = m->Proj.CentreY = 200;
    const double ra = m->CentreRA + c.dEast * kDeg / std::cos(m->CentreDec);
    const double dec = m->CentreDec + c.dNorth * kDeg;
    int32_t x, y;
    ASSERT_TRUE(m->PlacePoint(ra, dec, x, y));
    // Pixels per degree of the field: r / 2.5.
    EXPECT_NEAR(x - 200, c.px * r / 2.5, 1.0) << c.dNorth << " " << c.dEast;
    EXPECT_NEAR(y - 200, c.py * r / 2.5, 1.0) << c.dNorth << " " << c.dEast;
  }
  // 90° or more from the centre: not placed.
  int32_t x, y;
  EXPECT_FALSE(m->PlacePoint(m->CentreRA + 3.14159, -m->CentreDec, x, y));
}

// The frame: green surround, black inside, the ring between; the scale set.
TEST(MagnifierInset, FrameAndScale) {
  ASSERT_TRUE(MagnifierFrameBitmap || InitMagnifierBuffers());
  InsetSizeNormal = 120;
  InsetAspect = 1.0;
  UpdateMagnifierFrame(150, 4);
  const int32_t r = 150 - 10;
  EXPECT_EQ(MagnifierFrameWidth, 10);
  EXPECT_NEAR(MagnifierScale, 2.0 * r / 400 * 90 / 1.0, 1e-9);
  const platform::Bitmap& f = *MagnifierFrameBitmap;
  EXPECT_EQ(f.Pixel(200, 200) & platform::kRgbMask, 0u);
  EXPECT_EQ(f.Pixel(2, 2) & platform::kRgbMask, platform::MakePixel(0, 255, 0));
  EXPECT_NE(f.Pixel(200 + r + 5, 200) & platform::kRgbMask, platform::MakePixel(0, 255, 0));
  EXPECT_EQ(MagnifierScreenBitmap->Pixel(2, 2) & platform::kRgbMask, platform::MakePixel(0, 255, 0));
}

// Candidate windows: the field's declination band; the right-ascension span
// with its part across 0h; the whole range where the field reaches a pole
// (|δ0| + half field ≥ 90°) or the centre is beyond 80°.
TEST(MagnifierInset, CandidateWindows) {
  auto m = std::make_unique<tPlotterB>();
  struct Case {
    double ra0, dec0, half;  // degrees
    double ra, dec;          // a candidate, degrees
    bool in;
  } cases[] = {
      {100, 20, 1, 100.9, 20.5, true},   {100, 20, 1, 102.5, 20, false}, {100, 20, 1, 100, 21.5, false},
      {0.2, 0, 1, 359.5, 0.5, true},     {359.8, 0, 1, 0.5, 0, true},    {0.2, 0, 1, 358.0, 0, false},
      {180, 79, 12, 0, 85, true},        {180, 85, 1, 10, 84.5, true},   {180, -79.5, 11, 300, -85, true},
  };
  for (const Case& c : cases) {
    m->CentreRA = c.ra0 * kDeg;
    m->CentreDec = c.dec0 * kDeg;
    m->HalfField = c.half * kDeg;
    m->SetupWindows();
    EXPECT_EQ(m->InWindows(c.ra * kDeg, c.dec * kDeg), c.in) << c.ra0 << " " << c.dec0 << " " << c.ra << " " << c.dec;
  }
}
