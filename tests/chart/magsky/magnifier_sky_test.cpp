// The magnifier on real reference data: the Pleiades at the 2° field (star
// images with the Tycho-2 stars, and star discs) and Saturn with its open
// ring at a 5′ field, each compared pixel for pixel with a stored picture;
// and the Pleiades' brightest star where the sky has it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "astro/precession.h"
#include "catalog/stars.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_scene.h"
#include "chart/plotter_b.h"
#include "platform/bitmap.h"
#include "shell/globals.h"
#include "tests/chart/inset_support.h"

using namespace inset_support;

namespace {
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
    SetTelescopes({{"T", "300mm", "f/10", "n", "n", "1"}}, {{"A", "25mm", "50"}, {"B", "5mm", "50"}});
    MagnifierSwitches = TMagnifierSwitches{};
  }
  void TearDown() override { MagnifierSwitches = TMagnifierSwitches{}; }
};

void Check(const char* name) { ExpectMatchesPicture(MagnifierScreenBitmap->Image(), name); }

// The Pleiades field about its J2000 centre precessed to the scene's date.
void RenderPleiades(TMagnifierScene& scene) {
  double ra = kPleiadesRA, dec = kPleiadesDec;
  Precess(scene.main->Observer, ra, dec);
  scene.Render(ra, dec, 4);
}

}  // namespace

TEST_F(MagnifierSky, PleiadesWithStarImagesAndDiscs) {
  const std::pair<uint8_t, const char*> modes[] = {{0, "magnifier_pleiades"}, {2, "magnifier_pleiades_discs"}};
  for (const auto& [mode, picture] : modes) {
    MagnifierSwitches.StarMode = mode;
    TMagnifierScene scene;
    scene.SetInstant(0, 50 * kDeg, kPleiadesJD);
    RenderPleiades(scene);
    Check(picture);
  }
}

TEST_F(MagnifierSky, SaturnWithItsRing) {
  TMagnifierScene scene;
  scene.SetInstant(0, 50 * kDeg, kSaturnJD);
  double ra, dec;
  scene.PlanetPosition(6, ra, dec);
  scene.Render(ra, dec, 20100);
  Check("magnifier_saturn");
}

// Alcyone (magnitude 2.9, a disc of several pixels) is drawn where the
// tangent-plane offsets from the centre put it: 180 pixels per degree (inner
// radius 180 for the 1° half field), east to the left, north up (offsets
// of J2000: precession to the date turns them by 0.13°, 0.04 pixels here).
TEST_F(MagnifierSky, AlcyoneWhereTheSkyHasIt) {
  MagnifierSwitches.StarMode = 2;
  TMagnifierScene scene;
  scene.SetInstant(0, 50 * kDeg, kPleiadesJD);
  RenderPleiades(scene);
  const double east = (kAlcyoneRA - kPleiadesRA) * std::cos(kPleiadesDec) / kDeg;
  const double north = (kAlcyoneDec - kPleiadesDec) / kDeg;
  const int x = int(std::lround(200 - east * 180)), y = int(std::lround(200 - north * 180));
  const platform::Bitmap& b = *MagnifierScreenBitmap;
  int lit = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) lit += (b.Pixel(x + dx, y + dy) & platform::kRgbMask) > 0x00808080u;
  EXPECT_GE(lit, 5) << "at " << x << ", " << y;
}
