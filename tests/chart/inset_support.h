// Setup shared by the tests of the chart's insets: the observer at a place
// and instant, a fixture with fresh inset bitmaps and colours, the
// comparison with stored reference pictures, the telescope and eyepiece
// grids, and a relief file of simple shapes for the globe.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "astro/observer.h"
#include "astro/trig.h"
#include "chart/clock.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/graph_misc.h"
#include "chart/magnifier_settings.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "chart/ring.h"
#include "chart/star_sphere.h"
#include "chart/styles.h"
#include "platform/timezone.h"
#include "shell/globals.h"
#include "tests/chart/auto_bitmaps.h"
#include "tests/support/reference_picture.h"

namespace inset_support {

constexpr double kDeg = 0.017453292519943295;
// 2024 March 10, 12:34 UT (JD from the Meeus ch. 7 algorithm, by hand:
// 2460379.5 + 12.5667 / 24).
constexpr double kMarch10 = 2460379.5 + (12 + 34 / 60.0) / 24;
// The tz database's POSIX rule for Europe/Berlin.
constexpr const char* kBerlinZone = "CET-1CEST,M3.5.0,M10.5.0/3";

// ObserverTime at (latitude, east longitude) in degrees and jdUT, under a
// POSIX zone rule when one is given.
inline void PlaceObserver(double latDeg, double eastLonDeg, double jdUT, const char* posixZone = nullptr) {
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, -eastLonDeg / DegPerRad, latDeg / DegPerRad, 0);
  if (posixZone) {
    TIME_ZONE_INFORMATION tzi;
    ASSERT_TRUE(platform::TimeZoneFromPosix(posixZone, tzi));
    SetObserverTimeZone(ObserverTime, tzi, 1);
  }
  SetObserverUT(ObserverTime, jdUT);
}

// Every inset bitmap freed, default colours and ring ramps in colour mode
// 0, time flowing at the real rate, and the observer in Berlin on 2024
// March 10, 12:34 UT.
class InsetFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeInsetBitmaps();
    ColorMode = 0;
    InsetAspect = 1.0;
    TimeFlow = 1;
    TimeRate = 0;
    // The program's fonts and colours as at start-up (a picture drawn
    // without the style fonts would depend on which test ran before).
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
    ASSERT_TRUE(MakeDrawingColors());
    MakeRingRamps();
    PlaceObserver(52.52, 13.40, kMarch10, kBerlinZone);
  }
  void TearDown() override {
    FreeInsetBitmaps();
    MainPlotter = nullptr;
    TimeFlow = 0;
  }
  static void FreeInsetBitmaps() { FreeEveryAutoBitmap(); }
};

#ifdef NOCTRA_CHART_TEST_DATA
// Compared pixel for pixel with data/<name>.png (see
// reference_image_test.cpp for the rules: fixed fonts,
// NOCTRA_WRITE_REFERENCE=1 stores new references, differences are written
// next to the test program).
inline void ExpectMatchesPicture(const QImage& rendered, const char* name) {
  ExpectMatchesReference(rendered, QString(NOCTRA_CHART_TEST_DATA "/") + name + ".png", QString(name));
}
#endif

// A grid with the given rows from row 1 on (row 0 holds the captions) and
// one empty row after them.
using GridRows = std::initializer_list<std::initializer_list<const char*>>;
inline void FillGrid(TMagnifierGrid& grid, int columns, GridRows rows) {
  grid = TMagnifierGrid(columns);
  int r = 0;
  for (const auto& row : rows) {
    ++r;
    int c = 0;
    for (const char* s : row) grid.Cells[r][c++] = s;
  }
  grid.RowCount = r + 2;
}

// Telescopes and eyepieces, with the field tables computed from them.
inline void SetTelescopes(GridRows telescopes, GridRows eyepieces) {
  FillGrid(TeleGrid, kTeleColumns, telescopes);
  FillGrid(EyeGrid, kEyeColumns, eyepieces);
  BuildFieldTables();
  ComputeFieldTable();
}

// A relief of simple shapes: land (200 m) in a band 0..60° N, 1..90° E and
// a square 30..40° S, 20..40° W at 3,000 m, sea deepening away from the
// equator; white colour slots at the south pole.
inline std::vector<uint8_t> ShapesRelief() {
  std::vector<uint8_t> bytes(kGlobeReliefBytes, 0);
  for (int row = 0; row < kGlobeRows; ++row)
    for (int cell = 0; cell < kGlobeColumns; ++cell) {
      uint8_t* p = &bytes[size_t(row * kGlobeColumns + cell) * kGlobeCellBytes];
      const int lat = row - 90, lon = cell + 1 > 180 ? cell + 1 - 360 : cell + 1;
      const bool band = lat >= 0 && lat <= 60 && lon >= 1 && lon <= 90;
      const bool square = lat <= -30 && lat >= -40 && lon >= -40 && lon <= -20;
      const int16_t e = band ? 200 : square ? 3000 : int16_t(-500 - 80 * std::abs(lat));
      p[0] = uint8_t(e & 0xFF);
      p[1] = uint8_t((e >> 8) & 0xFF);
      p[2] = band || square ? 'E' : 'W';
      if (row == 0) p[3] = p[4] = p[5] = 0xFF;
    }
  return bytes;
}

}  // namespace inset_support
