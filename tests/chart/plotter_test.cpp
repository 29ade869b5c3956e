// The plotter's model, projection, view block and label placement.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "chart/plotter.h"
#include "platform/codec.h"
#include "shell/settings_file.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kPi = 3.141592653589793;

// A w x h chart at `zoom` centred on (alt, az), its projection set up.
std::unique_ptr<tPlotter> Projected(int w, int h, double zoom = 1, double alt = kPi / 2, double az = -kPi) {
  auto p = std::make_unique<tPlotter>();
  p->Width = w;
  p->Height = h;
  p->Aspect = 1;
  p->Zoom = zoom;
  p->CentreAlt = alt;
  p->CentreAz = az;
  p->SetupProjection();
  return p;
}

// Worked example of the projection's definition: in the zenith view at zoom
// 1 the horizon touches the top and bottom of the chart, north up, east left.
TEST(ChartProjection, ZenithViewPutsTheCardinalPointsOnTheHorizonCircle) {
  auto p = Projected(800, 600);
  struct Case {
    double alt, az;
    int x, y;
  } cases[] = {{kPi / 2, 0, 400, 300},   {0, kPi, 400, 600},      {0, 0, 400, 0},
               {0, kPi / 2, 100, 300},   {0, 3 * kPi / 2, 700, 300}};
  for (const Case& c : cases) {
    int32_t x, y;
    ASSERT_TRUE(p->ProjectToPixel(c.alt, c.az, x, y));
    EXPECT_EQ(x, c.x) << c.alt << " " << c.az;
    EXPECT_EQ(y, c.y) << c.alt << " " << c.az;
  }
}

TEST(ChartProjection, PointsBeyond32767PixelsAreInvisible) {
  auto p = Projected(800, 600);
  // 300 pixels per π/2 of zenith distance: a zenith distance z lands at
  // 300 z / (π/2) pixels; choose z for 32767 and just above it, due west.
  const double perRad = 300 / (kPi / 2);
  double x, y;
  EXPECT_TRUE(p->ProjectToChart(kPi / 2 - 32767 / perRad, 3 * kPi / 2, x, y));
  EXPECT_FALSE(p->ProjectToChart(kPi / 2 - 32767.01 / perRad, 3 * kPi / 2, x, y));
  EXPECT_EQ(x, -1);
  EXPECT_EQ(p->Proj.Visible, 0);
}

TEST(ChartProjection, ScreenToRaDecInvertsTheProjection) {
  tPlotter fresh;
  double ra = 7, dec = 7, alt = 7, az = 7;
  EXPECT_FALSE(fresh.ScreenToRaDec(10, 10, ra, dec, alt, az));  // never rendered
  EXPECT_EQ(ra, 7);
  EXPECT_EQ(az, 7);

  auto p = Projected(1000, 800, 3, 30 * kPi / 180, 100 * kPi / 180);
  // The view centre itself lands on the chart centre.
  int32_t cx, cy;
  ASSERT_TRUE(p->ProjectToPixel(30 * kPi / 180, 100 * kPi / 180, cx, cy));
  EXPECT_EQ(cx, 500);
  EXPECT_EQ(cy, 400);
  // Azimuths on both sides of the centre come back unmirrored.
  for (double a : {90.0, 95.0, 100.0, 104.0, 110.0}) {
    double x, y;
    ASSERT_TRUE(p->ProjectToChart(25 * kPi / 180, a * kPi / 180, x, y));
    ASSERT_TRUE(p->ScreenToRaDec(int32_t(std::lround(x)), int32_t(std::lround(y)), ra, dec, alt, az));
    // Rounding to whole pixels: 0.03° of zenith distance, 0.033° of azimuth at 65°.
    EXPECT_NEAR(az * 180 / kPi, a, 0.04) << a;
    EXPECT_NEAR(alt * 180 / kPi, 25, 0.04) << a;
  }
  // The horizon gives altitude 0 and no position.
  double hx, hy;
  ASSERT_TRUE(p->ProjectToChart(0, 100 * kPi / 180, hx, hy));
  EXPECT_FALSE(p->ScreenToRaDec(int32_t(std::lround(hx)), int32_t(std::lround(hy)), ra, dec, alt, az));
  // A rotation of any size (a damaged view) is reduced at once, not looped.
  p->CentreAz = 1e20;
  p->ScreenToRaDec(500, 300, ra, dec, alt, az);
  EXPECT_GE(az, 0);
  EXPECT_LE(az, 2 * kPi);
}

TEST(ChartPlotter, InChartOfAPrintingPlotterIncludesTheFarEdges) {
  tPlotter p;
  p.OutputKind = kOutputPrinter;
  p.OriginX = 10;
  p.OriginY = 20;
  p.Width = 100;
  p.Height = 50;
  EXPECT_TRUE(p.InChart(110, 70));
  EXPECT_TRUE(p.InChart(10, 20));
  EXPECT_FALSE(p.InChart(110.5, 70));
  EXPECT_FALSE(p.InChart(9, 40));
}

class ViewBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    plotter_ = std::make_unique<tPlotter>();
    MainPlotter = plotter_.get();
  }
  void TearDown() override { MainPlotter = nullptr; }
  void SetView(double zoom) {
    tPlotter& p = *plotter_;
    p.CentreOnHorizon = 0;
    p.ZenithView = 0;
    p.Zoom = zoom;
    p.CentreRA = 1.25;
    p.CentreDec = -0.5;
    p.HeldAlt = 0.3;
    p.CentreAlt = 0.31;
    p.HeldAz = 2.5;
    p.CentreAz = 2.5 + kPi;
  }
  std::string Write(const std::vector<uint8_t>* block) {
    const std::string path = dir_.File("view.ssf");
    auto s = TSettingsStream::Create(path);
    EXPECT_TRUE(s);
    if (block) EXPECT_TRUE(s->WriteSection(kPlotterViewSlot, *block));
    else EXPECT_TRUE(tPlotter::WriteSettingsSection(*s));
    EXPECT_TRUE(s->Close());
    return path;
  }
  testing_support::TempDir dir_;
  std::unique_ptr<tPlotter> plotter_;
};

TEST_F(ViewBlock, WrittenAndReadBackToTheSameNineValues) {
  SetView(7.5);
  const std::string path = Write(nullptr);
  const std::vector<uint8_t> file = testing_support::ReadFile(path);
  ASSERT_EQ(file.size(), 600u + 58u);
  EXPECT_EQ(file[66], 255);
  EXPECT_EQ(platform::GetF64(&file[600 + 2]), 7.5);  // Zoom at offset 2
  SetView(1.0);
  plotter_->CentreOnHorizon = 1;
  plotter_->HeldAz = 0;
  plotter_->Replot = 0;
  auto s = TSettingsStream::Open(path);
  ASSERT_TRUE(tPlotter::ReadSettingsSection(*s));
  EXPECT_EQ(plotter_->Zoom, 7.5);
  EXPECT_EQ(plotter_->CentreOnHorizon, 0);
  EXPECT_EQ(plotter_->HeldAz, 2.5);
  EXPECT_EQ(plotter_->CentreAz, 2.5 + kPi);
  EXPECT_EQ(plotter_->Replot, 1);
}

TEST_F(ViewBlock, DamagedBlocksAreRefusedWithTheViewUnchanged) {
  SetView(2.0);
  const std::vector<uint8_t> good = plotter_->ViewBlock();
  auto with = [&](std::size_t offset, double v) {
    std::vector<uint8_t> b = good;
    platform::PutF64(&b[offset], v);
    return b;
  };
  std::vector<uint8_t> badSwitch = good;
  badSwitch[1] = 7;
  const std::vector<std::vector<uint8_t>> blocks = {
      with(2, 0.0),                                       // zoom 0
      with(2, -3.0),                                      // negative zoom
      with(2, std::numeric_limits<double>::quiet_NaN()),  // zoom NaN
      with(10, std::numeric_limits<double>::infinity()),  // CentreRA
      with(50, std::numeric_limits<double>::quiet_NaN()), // CentreAz
      with(42, 1e20),                                     // HeldAz beyond any turn
      with(18, 1.6),                                      // CentreDec beyond the pole
      with(26, -2.0),                                     // HeldAlt below the nadir
      with(2, 1e6),                                       // zoom beyond the chart's
      badSwitch,
  };
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::string path = Write(&blocks[i]);
    plotter_->Replot = 0;
    auto s = TSettingsStream::Open(path);
    EXPECT_FALSE(tPlotter::ReadSettingsSection(*s)) << i;
    EXPECT_EQ(plotter_->Zoom, 2.0) << i;
    EXPECT_EQ(plotter_->CentreRA, 1.25) << i;
    EXPECT_EQ(plotter_->ZenithView, 0) << i;
    EXPECT_EQ(plotter_->Replot, 1) << i;
  }
  // A block cut short by the end of the file, and a file without slot 11.
  std::vector<uint8_t> file = testing_support::ReadFile(Write(&good));
  file.resize(file.size() - 5);
  testing_support::WriteFile(dir_.File("short.ssf"), file);
  auto s = TSettingsStream::Open(dir_.File("short.ssf"));
  EXPECT_FALSE(tPlotter::ReadSettingsSection(*s));
  auto empty = TSettingsStream::Create(dir_.File("none.ssf"));
  ASSERT_TRUE(empty->Close());
  s = TSettingsStream::Open(dir_.File("none.ssf"));
  plotter_->Replot = 0;
  EXPECT_FALSE(tPlotter::ReadSettingsSection(*s));
  EXPECT_EQ(plotter_->Replot, 1);
  EXPECT_EQ(plotter_->Zoom, 2.0);
}

class Labels : public ::testing::Test {
 protected:
  void SetUp() override {
    plotter_ = std::make_unique<tPlotter>();
    plotter_->Width = 400;
    plotter_->Height = 300;
    plotter_->ResetOccupied();
    bitmap_ = std::make_unique<platform::Bitmap>(400, 300);
    dc_ = std::make_unique<platform::DrawingContext>(*bitmap_);
    const QSize e = dc_->TextExtent("Vega");
    cx_ = e.width();
    cy_ = e.height();
  }
  // The rectangle of candidate k (factors fx, fy) about (x, y), unanchored.
  TLabelRect Candidate(double fx, double fy, int x, int y) const {
    const int dx = int(std::nearbyint(fx * cx_ / 2.0)), dy = int(std::nearbyint(fy * cy_ / 2.0));
    return {x + dx - cx_ / 2, y + dy - cy_ / 2, x + dx + cx_ / 2, y + dy + cy_ / 2};
  }
  void ExpectRect(int index, const TLabelRect& r) {
    const TLabelRect& o = plotter_->OccupiedRects[index];
    EXPECT_EQ(o.Left, r.Left);
    EXPECT_EQ(o.Top, r.Top);
    EXPECT_EQ(o.Right, r.Right);
    EXPECT_EQ(o.Bottom, r.Bottom);
  }
  std::unique_ptr<tPlotter> plotter_;
  std::unique_ptr<platform::Bitmap> bitmap_;
  std::unique_ptr<platform::DrawingContext> dc_;
  int cx_ = 0, cy_ = 0;
};

TEST_F(Labels, FirstFreeCandidateInOrderWins) {
  // Empty chart: right of the point, or straight below it in below-first mode.
  plotter_->PlaceLabel(*dc_, -1, 100, 100, "Vega", false);
  ExpectRect(1, Candidate(1, 0, 100, 100));
  plotter_->PlaceLabel(*dc_, -1, 300, 200, "Vega", true);
  ExpectRect(2, Candidate(0, 0.66, 300, 200));
  // A second label at the same point meets candidates 0, 1 and 2 and takes
  // 3, left of and below the point, which only touches the first.
  plotter_->PlaceLabel(*dc_, -1, 100, 100, "Vega", false);
  ExpectRect(3, Candidate(-1, 0.66, 100, 100));
  EXPECT_EQ(plotter_->OccupiedCount, 3);
}

TEST_F(Labels, LabelIsDroppedWhenEveryCandidateIsTakenOrTheListIsFull) {
  ASSERT_TRUE(plotter_->AddOccupied({0, 0, 400, 300}));
  plotter_->PlaceLabel(*dc_, -1, 200, 150, "Vega", false);
  EXPECT_EQ(plotter_->OccupiedCount, 1);
  plotter_->ResetOccupied();
  for (int i = 0; i < kMaxOccupiedRects; ++i) ASSERT_TRUE(plotter_->AddOccupied({1000, 1000, 1001, 1001}));
  EXPECT_FALSE(plotter_->AddOccupied({0, 0, 1, 1}));
  plotter_->PlaceLabel(*dc_, -1, 200, 150, "Vega", false);
  EXPECT_EQ(plotter_->OccupiedCount, kMaxOccupiedRects);
}

TEST_F(Labels, AnchoredLabelMovesBySymbolSize) {
  // The anchor's size (21 units, both ends counted) scales the offsets.
  ASSERT_TRUE(plotter_->AddOccupied({0, 250, 20, 270}));
  plotter_->PlaceLabel(*dc_, 1, 100, 100, "Vega", false);
  const TLabelRect& r = plotter_->OccupiedRects[2];
  EXPECT_EQ((r.Left + r.Right) / 2, 100 + std::max(21, cx_ / 2));
}

// The bucket index answers like a scan of every rectangle: many labels
// among random symbols of every size land where the plain first-free search
// puts them.
TEST_F(Labels, IndexAgreesWithAPlainScan) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pos(-50, 450), size(1, 40), big(100, 900);
  for (int i = 0; i < 300; ++i) {
    const int x = pos(rng), y = pos(rng), w = i % 50 == 0 ? big(rng) : size(rng), h = size(rng);
    ASSERT_TRUE(plotter_->AddOccupied({x, y, x + w, y + h}));
  }
  plotter_->InitLabelOffsets();
  for (int n = 0; n < 200; ++n) {
    const int x = pos(rng), y = pos(rng);
    // The plain search.
    int expected = -1;
    TLabelRect want{};
    for (int k = 0; k < kLabelCandidates && expected < 0; ++k) {
      const TLabelRect r = Candidate(plotter_->LabelOffsetX[k], plotter_->LabelOffsetY[k], x, y);
      bool free = true;
      for (int i = 1; i <= plotter_->OccupiedCount && free; ++i) {
        const TLabelRect& o = plotter_->OccupiedRects[i];
        free = !(std::max(r.Left, o.Left) < std::min(r.Right, o.Right) &&
                 std::max(r.Top, o.Top) < std::min(r.Bottom, o.Bottom));
      }
      if (free) expected = k, want = r;
    }
    const int before = plotter_->OccupiedCount;
    plotter_->PlaceLabel(*dc_, -1, x, y, "Vega", false);
    if (expected < 0) {
      EXPECT_EQ(plotter_->OccupiedCount, before);
    } else {
      ASSERT_EQ(plotter_->OccupiedCount, before + 1);
      ExpectRect(before + 1, want);
    }
  }
}

}  // namespace
