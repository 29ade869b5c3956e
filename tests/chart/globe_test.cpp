// The globe inset: texture rules, the relief file, clicks back to the place
// drawn under them, ChangeObserverLocation and the animated move.
#include "chart/globe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "chart/inset_host.h"
#include "platform/dialogs.h"
#include "shell/data_files.h"
#include "tests/chart/inset_support.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

using namespace inset_support;

namespace {

class GlobeTest : public InsetFixture {
 protected:
  void SetUp() override {
    InsetFixture::SetUp();
    testing_support::WriteFile(dir_.File("scripps2.dat"), ShapesRelief());
    DataFolder = dir_.Path();
    GlobeReliefLoaded = 0;
    ASSERT_TRUE(MakeGlobeTexture());
    MapWidth = 1000;
    MapHeight = 700;
    GlobeSize = 100;
    GlobeDrawn = 0;
  }
  void TearDown() override {
    DoneGlobe();
    InsetFixture::TearDown();
    TheInsetHost = InsetHost{};
    DataFolder.clear();
  }
  testing_support::TempDir dir_;
};

TEST(GlobeTexture, CellColoursFollowHeightDepthAndLatitude) {
  ColorMode = 0;
  ASSERT_TRUE(MakeDrawingColors());
  struct Case {
    int lat;
    int16_t e;
    uint8_t kind;
    TColorRef expected;
  };
  const Case cases[] = {
      {71, 100, 'E', GlobeLandColors[0][10]},  // S = 19 × 1.6 - 10 = 20.4 < 22: snow
      {70, 100, 'E', GlobeLandColors[0][2]},   // S = 22.0 is not below 22
      {10, -3500, 'E', GlobeLandColors[0][0]}, // land below sea level
      {10, 3000, 'E', GlobeLandColors[0][7]},
      {10, -9999, 'W', GlobeSeaColors[0][0]},  // deepest water
      {10, -1, 'W', GlobeSeaColors[0][7]},     // d = 9998 div 78 = 128
      {89, -4000, 'W', GlobeLandColors[0][10]},  // polar ice whatever the kind
  };
  for (const Case& c : cases) EXPECT_EQ(GlobeCellColor(c.lat, c.e, c.kind), c.expected) << c.lat << " " << c.e;
}

TEST_F(GlobeTest, MissingOrShortReliefFileIsReportedByCode) {
  // A missing relief is coded message 1 naming the file, with how to
  // rebuild it, then code 4, and the globe's start-up step fails. A damaged
  // one is told with how to rebuild it, and the globe is still drawn: sea
  // where the file has no cells, black where a height is beyond ±9,999 m.
  platform::ScopedScriptedDialogs dialogs;
  ForgetDataFileProblemsForTest();
  GlobeReliefLoaded = 0;
  DataFolder = dir_.Path() + "nowhere/";
  EXPECT_FALSE(MakeGlobeTexture());
  EXPECT_EQ(GlobeReliefLoaded, 0);
  auto records = dialogs.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(records[0].text, "Error: Can't open file \"scripps2.dat\"\r\n\r\nTo rebuild "
                                                           "it, close Noctra Planetarium and run the data builder"))
      << records[0].text;
  EXPECT_EQ(records[0].icon, platform::MsgIcon::Stop);
  EXPECT_EQ(records[1].text, "Error: Can't load Globe surface data.");
  dialogs.Clear();
  testing_support::TempDir shortDir;
  std::vector<uint8_t> cut(7000, 0);  // 1,000 cells: rows 0 and 1, and 280 of row 2
  for (std::size_t i = 0; i < cut.size(); i += 7) cut[i + 2] = 'E', cut[i] = 100;  // land at 100 m
  testing_support::WriteFile(shortDir.File("scripps2.dat"), cut);
  DataFolder = shortDir.Path();
  ForgetDataFileProblemsForTest();  // each file is told once a run: a new run
  EXPECT_TRUE(MakeGlobeTexture());
  EXPECT_EQ(GlobeCell(1, 0).elevation, 100);
  EXPECT_EQ(std::tuple(GlobeCell(2, 279).kind, GlobeCell(2, 280).kind), std::tuple('E', 0));
  EXPECT_EQ(GlobeCell(90, 0).color, GlobeSeaColors[0][7]);  // sea level: d = 9999 div 78 = 128
  // A whole file with a height beyond the range.
  std::vector<uint8_t> whole(std::size_t(kGlobeRows) * kGlobeColumns * 7, 0);
  whole[7 * 500] = 0x10, whole[7 * 500 + 1] = 0x27;  // 10,000 m
  testing_support::WriteFile(shortDir.File("scripps2.dat"), whole);
  ForgetDataFileProblemsForTest();
  EXPECT_TRUE(LoadGlobeRelief());
  records = dialogs.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(
      testing_support::StartsWith(records[0].text,
                                  "Warning: Unexpected file size in \"scripps2.dat\": 7,000 bytes where the relief's "
                                  "181 rows of 360 cells take 456,120 bytes"));
  EXPECT_NE(records[0].text.find("delete \"scripps2.dat\""), std::string::npos);
  EXPECT_TRUE(
      testing_support::StartsWith(records[1].text,
                                  "Warning: Can't read file \"scripps2.dat\": 1 of its cells holds a height beyond "
                                  "9,999 m either way (the first is cell 501); the globe is black there."));
}

// A click gives the place drawn under the pointer: exactly the view's
// centre at the centre, elsewhere the cell whose colour is under it; off
// the disc nothing.
TEST_F(GlobeTest, ClickGivesThePlaceDrawnUnderThePointer) {
  // Every cell its own colour (not in the palettes, so it is not shaded).
  for (int row = 0; row < kGlobeRows; ++row)
    for (int cell = 0; cell < kGlobeColumns; ++cell)
      GlobeCell(row, cell).color = MakeColorRef(uint8_t(row), uint8_t(cell & 0xFF), uint8_t(100 + (cell >> 8)));
  RefreshGlobeShades();
  // Views from the equator and just south of it: the drawing and the click
  // once divided by the sine of the view's latitude there.
  const double places[][2] = {{52.52, -13.40}, {-33.9, -151.2}, {0.0, 75.0}, {-0.5, 75.0}, {78.2, 200.0}, {40, -10}};
  for (const auto& [lat, lonWest] : places) {
    SCOPED_TRACE(testing::Message() << "view " << lat << ", " << lonWest);
    SetGlobeView(lat * kDeg, lonWest * kDeg);
    ASSERT_EQ(GlobeDrawn, 1);
    WorldMapLatitude = WorldMapLongitude = -999;
    ASSERT_TRUE(GlobeMouseDown(1, GlobeCentreX, GlobeCentreY));
    EXPECT_NEAR(WorldMapLatitude, lat, 1e-6);
    EXPECT_NEAR(std::remainder(WorldMapLongitude - lonWest, 360.0), 0.0, 1e-6);
    EXPECT_FALSE(GlobeMouseDown(1, GlobeCentreX + 110, GlobeCentreY));
    EXPECT_FALSE(GlobeMouseDown(1, GlobeCentreX + 75, GlobeCentreY + 75));
    for (int dy = -60; dy <= 60; dy += 30)
      for (int dx = -60; dx <= 60; dx += 30) {
        ASSERT_TRUE(GlobeMouseDown(1, GlobeCentreX + dx, GlobeCentreY + dy));
        // The same point in the inset bitmap (drawn at column cx - 1 + i).
        const TColorRef c = platform::PixelToColorRef(GlobeBitmap->Pixel(200 + dx, 200 + dy));
        const int row = platform::RedOf(c), cell = platform::GreenOf(c) + 256 * (platform::BlueOf(c) - 100);
        const double lonEast = std::remainder(-WorldMapLongitude, 360.0);
        EXPECT_NEAR(row - 90, WorldMapLatitude, 1.5) << dx << "," << dy;
        // 2.5° of longitude on the equator, wider towards the poles.
        const double lonTolerance = 2.5 / std::cos(WorldMapLatitude * kDeg);
        EXPECT_NEAR(std::remainder(cell + 1 - lonEast, 360.0), 0.0, lonTolerance) << dx << "," << dy;
      }
  }
}

TEST_F(GlobeTest, ChangeObserverLocationSetsPlaceZoneHorizonAndTurnsTheGlobe) {
  auto plotter = std::make_unique<tPlotter>();
  plotter->Replot = 0;
  MainPlotter = plotter.get();
  THorizonArray horizon{};
  horizon[90][5] = 0x00123456;
  TIME_ZONE_INFORMATION tzi;
  ASSERT_TRUE(platform::TimeZoneFromPosix("IST-5:30", tzi));
  InitObserver(ObserverTime);
  GlobeFrameTime = 0;
  ChangeObserverLocation("Kolkata", tzi, 0, 22.57 * kDeg, -88.36 * kDeg, horizon);

  EXPECT_EQ(LocationName, "Kolkata");
  EXPECT_DOUBLE_EQ(ObserverTime.Latitude, 22.57 * kDeg);
  EXPECT_DOUBLE_EQ(ObserverTime.Longitude, -88.36 * kDeg);
  EXPECT_EQ(ObserverTime.TimeZone.Bias, -330);
  EXPECT_EQ(plotter->HorizonProfile[90][5], 0x00123456);
  EXPECT_EQ(plotter->Replot, 1);
  MainPlotter = nullptr;
  EXPECT_EQ(ObserverLocationSet.load(), 1);
  EXPECT_DOUBLE_EQ(GlobeHomeLatitude, 22.57 * kDeg);
  // The cross on the place: see InsetImages.GlobeWithTheObserversCross.
  // The move ends on the place.
  ASSERT_TRUE(GlobeThread != nullptr);
  ASSERT_TRUE(GlobeThread->WaitFinished(testing_support::kWaitMs));
  EXPECT_DOUBLE_EQ(GlobeLatitude.load(), 22.57 * kDeg);
  EXPECT_DOUBLE_EQ(GlobeLongitude.load(), -88.36 * kDeg);
  EXPECT_TRUE(TakeGlobeFrame());
  EXPECT_FALSE(GlobeMoving());
}

TEST_F(GlobeTest, EveryViewFillsTheWholeDiscFromTheTexture) {
  // Views at the poles, on the equator and with longitudes outside
  // [0, 2π) either way (a script may give any value): every pixel of the
  // disc is a texture colour, none is left as the background.
  const double views[][2] = {{M_PI / 2, 0}, {-M_PI / 2, 1}, {0, 0}, {0.7, -4.0}, {-0.3, 9.5}, {1.2, -20.0}};
  for (const auto& v : views)
    for (int size : {2, 37, 150}) {
      platform::Bitmap b(400, 400);
      b.Fill(kGlobeKeyPixel);
      DrawGlobe(b, 200, 200, size, v[0], v[1]);
      int disc = 0, left = 0;
      const int r = size - 1;
      for (int j = -r; j <= r; ++j)
        for (int i = 2 - size; i <= size - 2; ++i) {
          const double xn = double(i) / (size - 1 > 1 ? size - 2 : 1), yn = double(j) / r;
          if (xn * xn + yn * yn > 1) continue;
          ++disc;
          left += b.Pixel(199 + i, 200 + j) == kGlobeKeyPixel;
        }
      EXPECT_GT(disc, 0);
      EXPECT_EQ(left, 0) << "view " << v[0] << ", " << v[1] << " size " << size;
      // A whole turn more or less shows the same Earth.
      platform::Bitmap turned(400, 400);
      turned.Fill(kGlobeKeyPixel);
      DrawGlobe(turned, 200, 200, size, v[0], v[1] < 0 ? v[1] + 2 * TwoPi : v[1] - TwoPi);
      EXPECT_TRUE(turned.Image() == b.Image()) << "view " << v[0] << ", " << v[1] << " size " << size;
    }
}

TEST(GlobeMove, PlanTurnsTheShortWayAtFortyDegreesPerSecond) {
  // 350° to 11° west longitude: +21° through 0°.
  const TGlobeMovePlan a = PlanGlobeMove(100, 0.5, 350 * kDeg, 0.5, 11 * kDeg);
  EXPECT_GT(a.longitudeStep, 0);
  EXPECT_NEAR(a.longitudeStep * DegPerRad, 4.0, 1e-9);  // 40°/s × 0.1 s
  EXPECT_EQ(a.frames, 5 + 1);
  EXPECT_EQ(a.latitudeStep, 0);
  // Frame time 0 counts as 0.01 s (0.4° a frame); 500 ms as 0.2 s (8°).
  EXPECT_NEAR(PlanGlobeMove(0, 0, 0, 0, 40 * kDeg).longitudeStep * DegPerRad, 0.4, 1e-9);
  EXPECT_NEAR(PlanGlobeMove(500, 0, 0, 0, 40 * kDeg).longitudeStep * DegPerRad, 8.0, 1e-9);
  // Latitude leads when it changes more; the longitude step keeps the ratio.
  const TGlobeMovePlan b = PlanGlobeMove(100, 0, 0, -40 * kDeg, -20 * kDeg);
  EXPECT_NEAR(b.latitudeStep * DegPerRad, -4.0, 1e-9);
  EXPECT_NEAR(b.longitudeStep * DegPerRad, -2.0, 1e-9);
}

// The animation, held after each frame it hands over until painting has
// taken it; on the way out (also after a failed assertion) it is let go.
class HeldAnimation {
 public:
  HeldAnimation() {
    SetGlobeHandOverHookForTest([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      ++handed_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return open_ || taken_ == handed_; });
    });
  }
  ~HeldAnimation() { SetGlobeHandOverHookForTest(nullptr); }
  // Waits for the next frame and takes it as painting does; false when none
  // came.
  bool TakeNext() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(testing_support::kWaitMs),
                           [this] { return handed_ > taken_; }))
      return false;
    const bool took = TakeGlobeFrame();
    ++taken_;
    changed_.notify_all();
    return took;
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Lets the animation go before it is joined.
  struct Release {
    HeldAnimation& held;
    ~Release() { held.Open(); }
  };

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int handed_ = 0, taken_ = 0;
  bool open_ = false;
};

TEST_F(GlobeTest, AnimationHandsEachFrameToPaintingAndEndsOnTheTarget) {
  SetGlobeView(0.3, 0.2);
  platform::Bitmap back(1000, 700);
  const TGlobeMovePlan plan = PlanGlobeMove(10, 0.3, 0.2, 0.4, 0.5);
  ASSERT_GT(plan.frames, 2);
  HeldAnimation held;
  TGlobe_Thread move(GlobeSize, 1.0, 10, 0.3, 0.2, 0.4, 0.5);
  const HeldAnimation::Release release{held};
  // Painting takes every frame as it comes, the last one on the target.
  for (int i = 0; i < plan.frames; ++i) ASSERT_TRUE(held.TakeNext()) << "frame " << i + 1;
  ASSERT_TRUE(move.WaitFinished(testing_support::kWaitMs));
  EXPECT_EQ(move.Frames(), plan.frames);
  EXPECT_FALSE(TakeGlobeFrame()) << "no frame beyond the plan";
  EXPECT_DOUBLE_EQ(GlobeLongitude.load(), 0.5);
  ComposeGlobe(back);
  EXPECT_NE(back.Pixel(GlobeCentreX, GlobeCentreY), 0u);  // the globe is on the chart
  EXPECT_EQ(back.Pixel(GlobeCentreX + 105, GlobeCentreY), 0u);  // the key is skipped
}

}  // namespace
