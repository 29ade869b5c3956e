// The magnifier on real reference data: the Pleiades at the 2° field (star
// images with the Tycho-2 stars, and star discs) and Saturn with its open
// ring at a 5′ field, each compared pixel for pixel with a stored picture;
// and the Pleiades' brightest star where the sky has it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "app/globals.h"
#include "catalog/stars.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_scene.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "platform/bitmap.h"
#include "tests/support/reference_picture.h"

namespace {
constexpr double kDeg = 0.017453292519943295;
// The Pleiades field: centre and instant (2024 December 2, 0h UT, 50° N on
// the Greenwich meridian, the cluster high in the east).
constexpr double kPleiadesRA = 56.75 * kDeg, kPleiadesDec = 24.12 * kDeg, kPleiadesJD = 2460646.5;
// Saturn at its opposition of 2017 June 15 (ring tilt about 26°).
constexpr double kSaturnJD = 2457919.5;
// Alcyone (η Tau), J2000, SIMBAD: 03h47m29.077s, +24°06'18.49".
constexpr double kAlcyoneRA = 56.871154 * kDeg, kAlcyoneDec = 24.105136 * kDeg;

bool g_loaded = false;

class MagnifierSky : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string folder = NOCTRA_CHART_REFDATA;
    if (!std::filesystem::exists(folder + "tycho2.dat")) return;
    std::string error;
    g_loaded = TMagnifierScene::Load(folder, error);
    ASSERT_TRUE(g_loaded) << error;
  }
  void SetUp() override {
    if (!g_loaded) {
      // The sources come with the install step (test.sh); without them this fails.
      FAIL() << "the reference data were not built (run: source data/sources.sh && noctra_fetch_sources)";
    }
    // Telescope 1: 300 mm f/10 with a 5 mm eyepiece of 50° (eyepiece 2): a
    // true field of 50 × 5 / 3000 = 0.0833°, 5′.
    TeleGrid = TMagnifierGrid(kTeleColumns);
    EyeGrid = TMagnifierGrid(kEyeColumns);
    const char* tele[] = {"T", "300mm", "f/10", "n", "n", "1"};
    for (int c = 0; c < 6; ++c) TeleGrid.Cells[1][c] = tele[c];
    TeleGrid.RowCount = 3;
    const char* e1[] = {"A", "25mm", "50"};
    const char* e2[] = {"B", "5mm", "50"};
    for (int c = 0; c < 3; ++c) {
      EyeGrid.Cells[1][c] = e1[c];
      EyeGrid.Cells[2][c] = e2[c];
    }
    EyeGrid.RowCount = 4;
    BuildFieldTables();
    ComputeFieldTable();
    MagnifierSwitches = TMagnifierSwitches{};
  }
  void TearDown() override { MagnifierSwitches = TMagnifierSwitches{}; }
};

QString Reference(const char* name) { return QString(NOCTRA_CHART_TEST_DATA "/") + name; }

void Check(const char* name) {
  ExpectMatchesReference(MagnifierScreenBitmap->Image(), Reference(name), QString(name).replace(".png", ""));
}

}  // namespace

TEST_F(MagnifierSky, PleiadesWithStarImages) {
  TMagnifierScene scene;
  scene.SetInstant(0, 50 * kDeg, kPleiadesJD);
  scene.Render(kPleiadesRA, kPleiadesDec, 4);
  Check("magnifier_pleiades.png");
}

TEST_F(MagnifierSky, PleiadesWithStarDiscs) {
  MagnifierSwitches.StarMode = 2;
  TMagnifierScene scene;
  scene.SetInstant(0, 50 * kDeg, kPleiadesJD);
  scene.Render(kPleiadesRA, kPleiadesDec, 4);
  Check("magnifier_pleiades_discs.png");
}

TEST_F(MagnifierSky, SaturnWithItsRing) {
  TMagnifierScene scene;
  scene.SetInstant(0, 50 * kDeg, kSaturnJD);
  double ra, dec;
  scene.PlanetPosition(6, ra, dec);
  scene.Render(ra, dec, 20100);
  Check("magnifier_saturn.png");
}

// Alcyone (magnitude 2.9, a disc of several pixels) is drawn where the
// tangent-plane offsets from the centre put it: 180 pixels per degree (inner
// radius 180 for the 1° half field), east to the left, north up.
TEST_F(MagnifierSky, AlcyoneWhereTheSkyHasIt) {
  MagnifierSwitches.StarMode = 2;
  TMagnifierScene scene;
  scene.SetInstant(0, 50 * kDeg, kPleiadesJD);
  scene.Render(kPleiadesRA, kPleiadesDec, 4);
  const double east = (kAlcyoneRA - kPleiadesRA) * std::cos(kPleiadesDec) / kDeg;
  const double north = (kAlcyoneDec - kPleiadesDec) / kDeg;
  const int x = int(std::lround(200 - east * 180)), y = int(std::lround(200 - north * 180));
  const platform::Bitmap& b = *MagnifierScreenBitmap;
  int lit = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) lit += (b.Pixel(x + dx, y + dy) & platform::kRgbMask) > 0x00808080u;
  EXPECT_GE(lit, 5) << "at " << x << ", " << y;
}
