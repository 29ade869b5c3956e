// The magnifier's driver: when it renders (a new centre, field or instant
// beyond one minute, after a pause, only once ready), where its centre comes
// from (the pointer or a shown point of interest, reduced into [0, 2π)),
// and the empty frame once when the pointer leaves the chart.
#include <gtest/gtest.h>

#include <cmath>

#include "app/globals.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/plotter_b.h"
#include "chart/styles.h"

namespace {
constexpr double kDeg = 0.017453292519943295;

struct DriverFixture {
  std::unique_ptr<tPlotter> main = std::make_unique<tPlotter>();
  std::unique_ptr<tPlotterB> mag = std::make_unique<tPlotterB>();
  int32_t poi = 0;
  double poiRA = 0, poiDec = 0;
  DriverFixture() {
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
    MakeDrawingColors();
    SetObserverLocation(main->Observer, 0, 50 * kDeg, 0);
    SetObserverUT(main->Observer, 2460676.5);
    main->Observer.PrecessionOn = 0;
    main->Width = 800;
    main->Height = 600;
    main->DpiX = main->DpiY = 96;
    main->CentreAlt = 1.5707963267948966;
    main->SetupProjection();
    main->Replot = 0;
    MainPlotter = main.get();
    MagnifierPlotter = mag.get();
    if (!MagnifierFrameBitmap) InitMagnifierBuffers();
    InsetSizeNormal = 120;
    UpdateMagnifierFrame(150, 4);
    MagnifierHooks.currentPointOfInterest = [this] { return poi; };
    MagnifierHooks.pointOfInterest = [this](int32_t, double& ra, double& dec, int32_t& mode) {
      ra = poiRA;
      dec = poiDec;
      mode = 3;
      return true;
    };
    ResetMagnifierState();
    MagnifierReady = 1;
    PointerOnChart = 1;
    PointerX = 400;
    PointerY = 300;
  }
  ~DriverFixture() {
    MagnifierHooks = TMagnifierHooks{};
    MainPlotter = nullptr;
    MagnifierPlotter = nullptr;
    PointerOnChart = 0;
    MagnifierReady = 0;
  }
  int64_t Renders() const { return MagnifierCounts().Renders; }
};
}  // namespace

TEST(MagnifierDriver, RendersOnlyWhenSomethingChanged) {
  DriverFixture f;
  MagnifierReady = 0;
  const int64_t start = f.Renders();
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start) << "nothing before the start-up timer";
  EXPECT_EQ(f.mag->NeedsRender, 1);
  MagnifierReady = 1;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 1);
  EXPECT_EQ(f.mag->NeedsRender, 0);
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 1) << "same centre, field and instant";
  PointerX = 420;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 2) << "the pointer moved";
  f.main->Observer.JD_TT += 30.0 / 86400;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 2) << "half a minute later";
  f.main->Observer.JD_TT += 61.0 / 86400;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 3) << "more than a minute later";
  UpdateMagnifierFrame(150, 5);
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 4) << "a new field";
}

TEST(MagnifierDriver, RendersOnceResumedNotBefore) {
  DriverFixture f;
  MagnifierStep();
  const int64_t start = f.Renders();
  ASSERT_TRUE(PauseMagnifierThread());
  PointerX = 300;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start);
  ResumeMagnifierThread();
  PointerX = 300;
  MagnifierStep();
  EXPECT_EQ(f.Renders(), start + 1);
}

// The centre under the pointer, from the main chart's inverse projection.
TEST(MagnifierDriver, CentreFollowsThePointer) {
  DriverFixture f;
  PointerX = 250;
  PointerY = 200;
  MagnifierStep();
  double ra, dec, alt, az;
  ASSERT_TRUE(f.main->ScreenToRaDec(250, 200, ra, dec, alt, az));
  EXPECT_DOUBLE_EQ(MagnifierCentreRA, ra);
  EXPECT_DOUBLE_EQ(MagnifierCentreDec, dec);
}

// A shown point of interest: its J2000 position precessed to the date and
// reduced into [0, 2π) (near 0h precession carries it past 2π), its field
// mode taken over; the pointer no longer counts.
TEST(MagnifierDriver, PointOfInterestCentreReducedIntoOneTurn) {
  DriverFixture f;
  f.main->Observer.PrecessionOn = 1;
  SetPrecession(f.main->Observer, 2451545.0, 2460676.5);
  f.poi = 2;
  f.poiRA = TwoPi - 0.0005;  // 23h59m53s: 2025 precession moves it past 0h
  f.poiDec = 10 * kDeg;
  FieldOfViewMode = 4;
  MagnifierStep();
  EXPECT_GE(MagnifierCentreRA, 0.0);
  EXPECT_LT(MagnifierCentreRA, TwoPi);
  EXPECT_LT(MagnifierCentreRA, 0.01);
  EXPECT_EQ(FieldOfViewMode, 3);
  const double kept = MagnifierCentreRA;
  PointerX = 100;
  MagnifierStep();
  EXPECT_EQ(MagnifierCentreRA, kept);
  FieldOfViewMode = 9;
}

// The pointer leaves the chart: the empty frame is shown once, not again
// until something renders.
TEST(MagnifierDriver, EmptyFrameOnceWhenThePointerLeaves) {
  DriverFixture f;
  MagnifierStep();
  const int64_t blanks = MagnifierCounts().Blanks;
  PointerOnChart = 0;
  MagnifierStep();
  MagnifierStep();
  EXPECT_EQ(MagnifierCounts().Blanks, blanks + 1);
  EXPECT_EQ(MagnifierScreenBitmap->Pixel(200, 200) & platform::kRgbMask, 0u);
  EXPECT_EQ(MagnifierScreenBitmap->Pixel(2, 2) & platform::kRgbMask, platform::MakePixel(0, 255, 0));
}
