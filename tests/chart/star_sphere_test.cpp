// The star-sphere inset: a click on a drawn star gives back its position,
// clicks off the sphere and the hit tests, the left click's re-centring,
// and the main view's field of view on it.
#include "chart/star_sphere.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "catalog/stars.h"
#include "chart/screen_layout.h"
#include "tests/chart/inset_support.h"
#include "tests/support/star_table.h"

using namespace inset_support;

namespace {

class StarSphereTest : public InsetFixture {
 protected:
  void SetUp() override {
    InsetFixture::SetUp();
    AspectAdjust = 1.0;
    ASSERT_TRUE(InitStarSphereBuffers());
    stars_ = std::make_unique<ScopedStarTable>(kPloughStars, 1);
    // Berlin, 2024 March 10, 22:00 UT: the Plough stands high in the north-east.
    SetObserverUT(ObserverTime, 2460379.5 + 22.0 / 24);
    main_ = std::make_unique<tPlotter>();
    sphere_ = std::make_unique<tPlotter>();
    MainPlotter = main_.get();
    SpherePlotter = sphere_.get();
    main_->Observer = ObserverTime;
    main_->Width = 1000;
    main_->Height = 700;
    ObserverLocationSet = 1;
    SetStarSphereSize(90);
  }
  void TearDown() override {
    SpherePlotter = nullptr;
    stars_.reset();
    ObserverLocationSet = 0;
    GuideSize = 0;
    InsetFixture::TearDown();
  }
  // The main window's render step for the inset.
  void Render() {
    static_cast<TPlotterState&>(*sphere_) = static_cast<const TPlotterState&>(*main_);
    DrawStarSphere();
    PlaceStarSphere();
  }
  std::unique_ptr<tPlotter> main_, sphere_;
  std::unique_ptr<ScopedStarTable> stars_;
};

TEST_F(StarSphereTest, ClickOnADrawnStarGivesItsPositionBack) {
  Render();
  const uint32_t disc = SphereFrameBitmap->Element(80200);
  // The inset's place on the chart: its bitmap's centre at (10 + 90, 10 + 90).
  const int ox = 10 + 90 - 200, oy = 10 + 90 - 200;
  for (const CatalogueStar& s : kPloughStars) {
    const double ra = s.raHours * 15 * kDeg, dec = s.decDeg * kDeg;
    double alt = 0, az = 0;
    int32_t x = 0, y = 0;
    ASSERT_TRUE(SpherePlotter->PlaceRaDec(ra, dec, alt, az, x, y));
    EXPECT_NE(SphereChartBitmap->Pixel(x, y) & 0xFFFFFF, disc & 0xFFFFFF) << "a star is drawn there";
    double cra = 0, cdec = 0, calt = 0, caz = 0;
    ASSERT_TRUE(StarSpherePointToRaDec(x + ox, y + oy, cra, cdec, calt, caz));
    // One pixel of a sphere of radius 72 spans about 1.25° of altitude.
    const double sep = std::acos(std::sin(dec) * std::sin(cdec) + std::cos(dec) * std::cos(cdec) * std::cos(ra - cra));
    EXPECT_LT(sep * DegPerRad, 1.5) << s.raHours;
  }
}

TEST_F(StarSphereTest, ClicksOffTheSphereAndHitTests) {
  Render();
  double ra, dec, alt, az;
  EXPECT_TRUE(StarSpherePointToRaDec(99, 99, ra, dec, alt, az));  // the chart centre (198.5, 198.5): the zenith
  EXPECT_NEAR(alt, 90 * kDeg, 2 * kDeg);
  EXPECT_FALSE(StarSpherePointToRaDec(100 + 85, 100, ra, dec, alt, az));  // on the ring
  EXPECT_FALSE(StarSphereClick(0, 100 + 85, 100));
  EXPECT_TRUE(InsideStarSphere(100, 100));
  EXPECT_TRUE(InsideStarSphere(100 + 95, 100));    // 1.06 radii
  EXPECT_FALSE(InsideStarSphere(100 + 108, 100));  // 1.2 radii
}

TEST_F(StarSphereTest, LeftClickCentresTheMainChart) {
  Render();
  main_->ZenithView = 1;
  main_->TrackKind = kTrackSolarSystem;
  main_->Replot = 0;
  // Horizon centring: the held altitude and azimuth take the point's.
  main_->CentreOnHorizon = 1;
  double ra, dec, alt, az;
  ASSERT_TRUE(StarSpherePointToRaDec(100, 70, ra, dec, alt, az));
  ASSERT_TRUE(StarSphereClick(0, 100, 70));
  EXPECT_DOUBLE_EQ(main_->HeldAlt, alt);
  EXPECT_DOUBLE_EQ(main_->HeldAz, az);
  EXPECT_EQ(main_->ZenithView, 0);
  EXPECT_EQ(main_->TrackKind, kTrackNone);
  EXPECT_EQ(main_->Replot, 1);
  // Equatorial centring: the chart centre takes the point's position.
  main_->CentreOnHorizon = 0;
  ASSERT_TRUE(StarSphereClick(0, 100, 70));
  EXPECT_DOUBLE_EQ(main_->CentreRA, ra);
  EXPECT_DOUBLE_EQ(main_->CentreDec, dec);
}

TEST_F(StarSphereTest, FieldOfViewOvalFollowsTheMainView) {
  // Zoomed in on a point 30° high: a small oval below the centre.
  main_->ZenithView = 0;
  main_->Zoom = 4.0;
  main_->CentreAlt = 30 * kDeg;
  Render();
  const uint32_t fov = platform::MakePixel(50, 50, 150);
  const int cy = int((90.0 - 30.0) / 90.0 * (177 / 2.0)) + 199;  // chart height 2 × 89 - 1
  EXPECT_EQ(SphereChartBitmap->Pixel(199, cy) & 0xFFFFFF, fov);
  EXPECT_NE(SphereChartBitmap->Pixel(199, 199 - 40) & 0xFFFFFF, fov);
}

}  // namespace
