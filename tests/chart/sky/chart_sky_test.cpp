// The main chart rendered headless at 1920 x 1080 on reference data built
// by noctra-mkdata, checked from outside the layers: positions come from the
// astronomy core and the projection's definition (azimuthal equidistant
// about the zenith, north up and east left in the zenith view, the view
// centre on the chart centre), and the drawing is read back from pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/sun_moon.h"
#include "astro/transforms.h"
#include "catalog/stars.h"
#include "chart/graph_misc.h"
#include "chart/headless_scene.h"
#include "chart/plotter.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDeg = kPi / 180.0;
constexpr double kLatitude = 50 * kDeg;
constexpr double kLongitudeWest = -10 * kDeg;  // 10° east
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

uint32_t Brightness(uint32_t p) { return std::max({(p >> 16) & 255u, (p >> 8) & 255u, p & 255u}); }

// Angular distance between two equatorial positions, radians.
double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double c = std::sin(dec1) * std::sin(dec2) + std::cos(dec1) * std::cos(dec2) * std::cos(ra1 - ra2);
  return std::acos(std::clamp(c, -1.0, 1.0));
}

// The Sun (into ctx) and the Moon from the core for an observer.
TSolSysBody CoreSunMoon(const TObserverTime& obs, TSolarContext& ctx) {
  ctx = TSolarContext{};
  ctx.NovasOff = 1;
  CalcSunTopocentric(ctx, obs);
  CalcSun(ctx, obs);
  CalcEarthOrbit(ctx, obs);
  TSolSysBody moon = MoonBody;
  moon.LastJD = -1e7;
  CalcMoon(ctx, obs, moon);
  return moon;
}

class ChartSky : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string folder = NOCTRA_CHART_REFDATA;
    if (!std::filesystem::exists(folder + "SAO_YALE.DAT")) return;
    std::string error;
    loaded_ = LoadHeadlessScene(folder, 6.5, error);
    ASSERT_TRUE(loaded_) << error;
    // A dark night with the Moon well up, found hour by hour from 2026
    // January 15, 12h UT.
    TObserverTime obs;
    InitObserver(obs);
    SetObserverLocation(obs, kLongitudeWest, kLatitude, 0);
    for (double jd = 2461056.0; jd < 2461086.0 && night_ == 0; jd += 1.0 / 24) {
      SetObserverUT(obs, jd);
      TSolarContext ctx;
      const TSolSysBody m = CoreSunMoon(obs, ctx);
      double sun, moon, az;
      EquatorialToHorizontal(obs, sun, az, ctx.SunRA, ctx.SunDec);
      EquatorialToHorizontal(obs, moon, az, m.RA, m.Dec);
      if (night_ == 0 && sun < -20 * kDeg && moon > 25 * kDeg) night_ = jd;
    }
  }
  void SetUp() override {
    if (!loaded_) {
      // The sources come with the install step (test.sh); without them this fails.
      FAIL() << "the reference data were not built (run: source data/sources.sh && noctra_fetch_sources)";
    }
    ASSERT_GT(night_, 0);
    plotter_ = std::make_unique<tPlotter>();
    MainPlotter = plotter_.get();
    plotter_->Width = kWidth;
    plotter_->Height = kHeight;
    plotter_->DpiX = plotter_->DpiY = 96;
    plotter_->Zoom = 1.0;
    plotter_->ConstellationBoundaries = 0;
    plotter_->ConstellationLines = 0;
    plotter_->ShowGrid = 0;
    plotter_->StarIdentification = 0;
    plotter_->PlanetLabels = 0;
    plotter_->MoonLabel = 0;
    plotter_->SunLabel = 0;
    plotter_->ShowObjects = 0;
  }
  void TearDown() override {
    ClearDrawTarget();
    MainPlotter = nullptr;
  }

  void Render(double jd) {
    SetHeadlessInstant(*plotter_, kLongitudeWest, kLatitude, jd);
    bitmap_ = std::make_unique<platform::Bitmap>(kWidth, kHeight);
    platform::DrawingContext dc(*bitmap_);
    plotter_->Plot(dc, bitmap_.get());
  }
  // Where the projection's definition puts (alt, az) for the rendered view.
  void Expected(double alt, double az, double& x, double& y) const {
    const tPlotter& p = *plotter_;
    const double s = p.CentreY * p.Zoom / (kPi / 2);
    const double d = az - p.CentreAz;  // CentreAz holds the centre azimuth + π
    const double z = kPi / 2 - alt;
    x = p.CentreX - std::sin(d) * z * s;
    y = p.CentreY - std::cos(d) * z * s - (kPi / 2 - p.CentreAlt) / (kPi / 2) * p.CentreY * p.Zoom;
  }
  // The brightest pixel within `r` pixels of (x, y), and where it is.
  uint32_t BrightestNear(double x, double y, int r, int* bx = nullptr, int* by = nullptr) const {
    uint32_t best = 0;
    for (int j = int(std::lround(y)) - r; j <= int(std::lround(y)) + r; ++j)
      for (int i = int(std::lround(x)) - r; i <= int(std::lround(x)) + r; ++i) {
        if (i < 0 || j < 0 || i >= kWidth || j >= kHeight) continue;
        const uint32_t b = Brightness(bitmap_->Pixel(i, j));
        if (b > best) {
          best = b;
          if (bx) *bx = i;
          if (by) *by = j;
        }
      }
    return best;
  }
  // The brightest star of the catalogue between altitudes lo and hi.
  const TSaoStar* BrightStar(double lo, double hi, double& alt, double& az) const {
    const TSaoStar* best = nullptr;
    for (const TSaoStar& s : SaoStars) {
      double a, z;
      EquatorialToHorizontal(plotter_->Observer, a, z, s.RA, s.Dec);
      if (a > lo && a < hi && (!best || s.Magnitude < best->Magnitude)) {
        best = &s;
        alt = a;
        az = z;
      }
    }
    return best;
  }

  static bool loaded_;
  static double night_;
  std::unique_ptr<tPlotter> plotter_;
  std::unique_ptr<platform::Bitmap> bitmap_;
};
bool ChartSky::loaded_ = false;
double ChartSky::night_ = 0;

// Stars by night: a bright star drawn within one pixel of the projection of
// its altitude and azimuth, and read back there; Polaris at the latitude;
// no bright star below the horizon.
TEST_F(ChartSky, StarsStandWhereTheCorePutsThem) {
  Render(night_);
  double alt = 0, az = 0, x = 0, y = 0;
  const TSaoStar* star = BrightStar(20 * kDeg, 80 * kDeg, alt, az);
  ASSERT_NE(star, nullptr);
  Expected(alt, az, x, y);
  EXPECT_GE(BrightestNear(x, y, 1), 120u) << "no star at (" << x << ", " << y << ")";

  // Polaris: the brightest star within 2° of the north pole (magnitude 2.0),
  // found near altitude = latitude due north (1° = 6 pixels).
  const TSaoStar* polaris = nullptr;
  for (const TSaoStar& s : SaoStars)
    if (s.Dec > 88 * kDeg && (!polaris || s.Magnitude < polaris->Magnitude)) polaris = &s;
  ASSERT_NE(polaris, nullptr);
  ASSERT_LT(polaris->Magnitude, 45);
  Expected(kLatitude, 0, x, y);
  int bx = 0, by = 0;
  ASSERT_GE(BrightestNear(x, y, 6, &bx, &by), 120u);
  double ra, dec, ralt, raz;
  ASSERT_TRUE(plotter_->ScreenToRaDec(bx, by, ra, dec, ralt, raz));
  EXPECT_NEAR(ralt, kLatitude, 1 * kDeg);

  int below = 0;
  for (const TSaoStar& s : SaoStars) {
    if (s.Magnitude > 50) continue;  // brighter than magnitude 3
    double a, z;
    EquatorialToHorizontal(plotter_->Observer, a, z, s.RA, s.Dec);
    if (a > -1 * kDeg) continue;
    Expected(a, z, x, y);
    if (x < 2 || y < 2 || x > kWidth - 3 || y > kHeight - 3) continue;
    ++below;
    EXPECT_EQ(BrightestNear(x, y, 1), 0u) << "star at altitude " << a / kDeg;
  }
  EXPECT_GT(below, 10);

  // A view at zoom 4 centred 1° below and 2° east of the bright star: its
  // pixel, and the position read back there (0.05°; one pixel is 0.04°).
  plotter_->ZenithView = 0;
  plotter_->CentreOnHorizon = 1;
  plotter_->Zoom = 4;
  plotter_->HeldAlt = alt - 1 * kDeg;
  plotter_->HeldAz = az + 2 * kDeg;
  Render(night_);
  Expected(alt, az, x, y);
  EXPECT_NEAR(x, kWidth / 2 - 2 * std::cos(alt) / 90 * 540 * 4, 8.0);  // east of the centre is left
  EXPECT_GE(BrightestNear(x, y, 1), 120u) << "no star at (" << x << ", " << y << ")";
  ASSERT_TRUE(plotter_->ScreenToRaDec(int32_t(std::lround(x)), int32_t(std::lround(y)), ra, dec, ralt, raz));
  EXPECT_LT(Separation(ra, dec, star->RA, star->Dec), 0.05 * kDeg);
}

TEST_F(ChartSky, MoonAndPlanetsAreDrawnWhereTheCorePutsThem) {
  Render(night_);
  TObserverTime obs = plotter_->Observer;
  obs.ClipBelowHorizon = 0;
  TSolarContext ctx;
  std::vector<TSolSysBody> bodies = {CoreSunMoon(obs, ctx)};
  for (int p = 1; p <= kPlanetCount; ++p) {
    if (p == kEarthNumber) continue;
    TSolSysBody b = Planets[p - 1];
    b.LastJD = -1e7;
    CalcPlanet(ctx, obs, b);
    bodies.push_back(b);
  }
  int drawn = 0;
  for (const TSolSysBody& b : bodies) {
    double alt, az, x, y;
    EquatorialToHorizontal(obs, alt, az, b.RA, b.Dec);
    if (alt < 3 * kDeg) continue;
    Expected(alt, az, x, y);
    ++drawn;
    EXPECT_GE(BrightestNear(x, y, 2), 60u) << b.Name.str() << " not at (" << x << ", " << y << ")";
  }
  EXPECT_GE(drawn, 3);  // the Moon and at least two planets are up
}

}  // namespace
