// The cursor watch and the chart's click handler, on a small star table
// written by the test and a main chart set up without a render.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "catalog/object_catalog.h"
#include "catalog/stars.h"
#include "chart/clicks.h"
#include "chart/cursor_watch.h"
#include "chart/plotter.h"
#include "platform/gui_thread.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "tests/support/object_database.h"

namespace {

using namespace std::chrono_literals;
constexpr double kDeg = 0.017453292519943295;

// Sirius, J2000 (SIMBAD: 06h45m08.917s, -16°42'58.02"), SAO 151881, V -1.46.
constexpr double kSiriusRA = 101.28715533 * kDeg;
constexpr double kSiriusDec = -16.71611586 * kDeg;

TSaoStar Star(double ra, double dec, uint32_t sao, double mag, uint16_t name = 0) {
  TSaoStar s;
  s.RA = float(ra);
  s.Dec = float(dec);
  s.SaoLow = uint16_t(sao & 0xFFFF);
  s.SaoHigh = uint8_t(sao >> 16);
  s.Magnitude = uint8_t(std::lround((mag + 2) * 10));
  s.NameIndex = name;
  return s;
}

// A main chart of 800 x 600 at zoom `zoom` for an observer on the equator
// at the instant when Sirius culminates, looking at the zenith.
struct ChartFixture {
  std::unique_ptr<tPlotter> p = std::make_unique<tPlotter>();
  ChartFixture(double zoom = 1.0) {
    tPlotter& t = *p;
    SetObserverLocation(t.Observer, 0, 0, 0);
    SetObserverUT(t.Observer, 2451545.4986);
    t.Observer.PrecessionOn = 0;
    t.Width = 800;
    t.Height = 600;
    t.Zoom = zoom;
    t.CentreAlt = 1.5707963267948966;
    t.CentreAz = 0;
    t.SetupProjection();
    InitPlanetRecords(Planets);
    for (TSolSysBody& b : Planets) b.RA = b.Dec = 3.0;  // far from every pointer below
    MoonBody.RA = MoonBody.Dec = 3.0;
    MoonBody.LastJD = -1000000.0;  // no computed place: the next computation is done afresh
    t.SolarContext.SunRA = t.SolarContext.SunDec = 3.0;
    SaoStars = {Star(kSiriusRA, kSiriusDec, 151881, -1.46, 1), Star(kSiriusRA + 2.5 * kDeg, kSiriusDec, 151950, 5.0)};
    SaoStarCount = 2;
    StarNames = {"Sirius"};
    StarNameCount = 1;
  }
  ~ChartFixture() {
    SaoStars.clear();
    SaoStarCount = 0;
    StarNames.clear();
    StarNameCount = 0;
  }
  // Chart point of a position of date.
  void Pixel(double ra, double dec, int32_t& x, int32_t& y) {
    double alt, az;
    p->RaDecToAltAz(ra, dec, alt, az);
    ASSERT_GT(alt, 0);
    ASSERT_TRUE(p->ProjectToPixel(alt, az, x, y));
  }
};

// Waits, serving the worker's hand-overs, until `done` holds. The bound only
// ends a run that has failed: a loaded machine (or ThreadSanitizer) may be
// many times slower than a free one.
template <class F>
bool Eventually(F done) {
  const auto until = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < until) {
    platform::ProcessMessages();
    if (done()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

// The cursor watch's worker for one test. With `holdSearches` the worker
// stops at the start of each search until Open. On the way out, also after
// a failed assertion, the worker is let go, stopped and joined, and any
// pause the test left outstanding is undone, so no later test (nor the end
// of the program) meets a running worker.
class CursorWatchRun {
 public:
  explicit CursorWatchRun(bool holdSearches = false) {
    if (holdSearches) SetCursorSearchHookForTest([this] { Hold(); });
    CreateCursorThread();
  }
  ~CursorWatchRun() {
    Open();
    StopCursorThread();
    SetCursorSearchHookForTest(nullptr);
    while (CursorGate.Count() > 0) CursorGate.Resume();
    PointerOnChart = 0;
  }
  CursorWatchRun(const CursorWatchRun&) = delete;
  CursorWatchRun& operator=(const CursorWatchRun&) = delete;
  // Searches the worker has entered (and, until Open, waits in).
  int Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }

 private:
  void Hold() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++held_;
    changed_.wait(lock, [this] { return open_; });
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  int held_ = 0;
  bool open_ = false;
};

struct MenuProbe {
  int shown = 0;
  std::string caption;
  bool track = false;
  MenuProbe() {
    TChartClickHooks h;
    h.showObjectMenu = [this](const std::string& c, bool t, int32_t, int32_t) {
      ++shown;
      caption = c;
      track = t;
    };
    SetChartClickHooks(h);
  }
  ~MenuProbe() { SetChartClickHooks({}); }
};

}  // namespace

// The worker names Sirius under the pointer and publishes it; on empty sky
// it publishes kind 0 and empties the text, and a right click there opens
// no menu.
TEST(CursorWatch, NamesSiriusAndPublishesNothingOnEmptySky) {
  ChartFixture f;
  MenuProbe menu;
  std::string shown = "x";
  SetCursorHintSink([&](const std::string& t) { shown = t; });
  PublishChartSnapshot(*f.p);
  int32_t x, y;
  f.Pixel(kSiriusRA, kSiriusDec, x, y);
  PointerX = x + 1;
  PointerY = y;
  PointerOnChart = 1;
  CursorWatchRun watch;
  uint8_t kind = 0;
  int32_t index = 0;
  EXPECT_TRUE(Eventually([&] {
    GetCursorObject(kind, index);
    return kind == kCursorStar;
  }));
  EXPECT_EQ(index, 1);
  EXPECT_TRUE(Eventually([&] { return shown == "SAO 151881, magnitude -1.5, Sirius"; })) << shown;

  // Empty sky: 10° away from every object.
  f.Pixel(kSiriusRA + 10 * kDeg, kSiriusDec + 10 * kDeg, x, y);
  PointerX = x;
  PointerY = y;
  EXPECT_TRUE(Eventually([&] {
    GetCursorObject(kind, index);
    return kind == kCursorNone && shown.empty();
  }));
  EXPECT_FALSE(AddPointOfInterestAt(*f.p, 1, x, y));
  EXPECT_EQ(SelectionKind, kCursorNone);
  EXPECT_EQ(menu.shown, 0);
  StopCursorThread();
  SetCursorHintSink(nullptr);
}

// A resume after a pause (the star tables rebuilt meanwhile) withdraws the
// published object.
TEST(CursorWatch, ResumeClearsThePublishedObject) {
  ChartFixture f;
  PublishChartSnapshot(*f.p);
  CursorWatchRun watch;
  PublishCursorObject(kCursorStar, 2);
  ASSERT_TRUE(PauseCursorThread());
  SaoStars.resize(1);
  SaoStarCount = 1;
  ResumeCursorThread();
  uint8_t kind;
  int32_t index;
  GetCursorObject(kind, index);
  EXPECT_EQ(kind, kCursorNone);
}

// A pause that timed out while the worker searches: the star table is not
// swapped under it (a data race ThreadSanitizer reports) but at the next
// chance, once the worker is known paused. The worker is held inside its
// search, where it cannot reach its check point, until the test lets it go.
TEST(CursorWatch, SwapAfterATimedOutPauseWaitsForThePausedWorker) {
  ChartFixture f;
  PublishChartSnapshot(*f.p);
  int32_t x, y;
  f.Pixel(kSiriusRA, kSiriusDec, x, y);
  PointerX = x;
  PointerY = y;
  PointerOnChart = 1;
  CursorWatchRun watch(true);
  ASSERT_TRUE(Eventually([&] { return watch.Held() > 0; }));
  EXPECT_FALSE(CursorGate.Pause(0));
  // Shared with the deferred work, which may outlive a failed test.
  auto swapped = std::make_shared<std::atomic<bool>>(false);
  auto pausedAtSwap = std::make_shared<std::atomic<bool>>(false);
  WhenCursorPaused([swapped, pausedAtSwap] {
    *pausedAtSwap = CursorGate.Paused();
    SaoStars = {Star(kSiriusRA, kSiriusDec, 151882, -1.46)};
    SaoStarCount = 1;
    *swapped = true;
    ResumeCursorThread();
  });
  // While the worker searches, however many retries the events bring, the
  // tables stay as they are.
  const auto retries = std::chrono::steady_clock::now() + 100ms;
  while (std::chrono::steady_clock::now() < retries) {
    platform::ProcessMessages();
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_FALSE(swapped->load());
  EXPECT_EQ(SaoStars.size(), 2u);
  watch.Open();
  EXPECT_TRUE(Eventually([&] { return swapped->load(); }));
  EXPECT_TRUE(pausedAtSwap->load());
}

// The search itself: nearest of all kinds within 1°, the earlier kind on a
// tie, nothing beyond 1°.
TEST(CursorWatchSearch, NearestWithinOneDegree) {
  ChartFixture f;
  Planets[5].RA = kSiriusRA + 0.3 * kDeg;
  Planets[5].Dec = kSiriusDec;
  Planets[5].Magnitude = 0.46;
  struct Case {
    double dRA, dDec;
    uint8_t kind;
    int32_t index;
  } cases[] = {
      {0.05, 0, kCursorStar, 1},          // on Sirius
      {0.25, 0, kCursorSolarSystem, 5},   // Saturn 0.05° away, Sirius 0.24°
      {2.5, 0.5, kCursorStar, 2},         // the faint star 0.5° away
      {1.25, 1.1, kCursorNone, 0},        // nothing within 1°
  };
  for (const Case& c : cases) {
    const double dec0 = kSiriusDec + c.dDec * kDeg;
    const TCursorFound found = CursorSearch(*f.p, CursorBodies(*f.p), kSiriusRA + c.dRA * kDeg, dec0);
    EXPECT_EQ(found.Kind, c.kind) << c.dRA << " " << c.dDec;
    if (c.kind) {
      EXPECT_EQ(found.Index, c.index);
    }
  }
  const std::vector<TCursorBody> bodies = CursorBodies(*f.p);
  EXPECT_EQ(CursorObjectText(CursorSearch(*f.p, bodies, kSiriusRA + 0.29 * kDeg, kSiriusDec)),
            "The planet Saturn, magnitude 0.5");
}

// The deep-sky objects of the searched chart at that chart's date, never at
// the program clock's, which the GUI thread moves on meanwhile: a chart two
// centuries after the clock's date finds M31 where it drew it, about 2.8°
// of precession from where the clock's date puts it.
TEST(CursorWatchSearch, DeepSkyObjectsAtTheSearchedChartsDate) {
  ChartFixture f;
  ObjectDatabase db;
  ObjectCatalog = std::make_unique<tCO>(db.path, db.Names());
  const TObserverTime clock = ObserverTime;
  constexpr double kJ2000 = 2451545.0;
  SetObserverUT(ObserverTime, kJ2000);
  tPlotter& view = *f.p;
  SetObserverUT(view.Observer, kJ2000 + 200 * 365.25);
  view.ObjectLabelCount = 1;
  view.ObjectLabelList[1].Record = 0;  // M31
  TObserverTime then = view.Observer;
  SetPrecession(then, kJ2000, view.Observer.JD_TT);
  double ra = kM31RA, dec = kM31DE;
  Precess(then, ra, dec);

  const TCursorFound found = CursorSearch(view, {}, ra, dec);
  EXPECT_EQ(found.Kind, kCursorDeepSky);
  EXPECT_EQ(found.Index, 0);
  EXPECT_LT(found.Distance, 0.001 * kDeg);  // the same precession: rounding only
  EXPECT_EQ(CursorSearch(view, {}, kM31RA, kM31DE).Kind, kCursorNone);
  EXPECT_EQ(CursorObjectText(found).rfind("NGC224, ", 0), 0u) << CursorObjectText(found);
  // Afterwards the GUI thread's reads are at the clock's date again.
  EXPECT_TRUE(std::isnan(ObjectCatalog->ChartDateTT));
  ASSERT_TRUE(ObjectCatalog->SeekRecord(0));
  EXPECT_NEAR(ObjectCatalog->RADate, kM31RA, 1e-9);
  ObjectCatalog.reset();
  ObserverTime = clock;
}

// Right-click captions of a star, a planet, the Moon and a deep-sky object
// with its Messier number; Track is offered for solar-system bodies only.
TEST(ChartClicks, RightClickCaptions) {
  ChartFixture f;
  MenuProbe menu;
  int32_t x, y;
  f.Pixel(kSiriusRA, kSiriusDec, x, y);
  PublishCursorObject(kCursorStar, 1, x, y);
  EXPECT_TRUE(AddPointOfInterestAt(*f.p, 1, x, y));
  EXPECT_EQ(menu.caption, "The star SAO 151881, Sirius:");
  EXPECT_FALSE(menu.track);
  EXPECT_EQ(SelectionKind, kCursorStar);
  EXPECT_EQ(SelectionIndex, 1);

  PublishCursorObject(kCursorSolarSystem, 5, x, y);
  EXPECT_TRUE(AddPointOfInterestAt(*f.p, 1, x, y));
  EXPECT_EQ(menu.caption, "The planet Saturn:");
  EXPECT_TRUE(menu.track);
  PublishCursorObject(kCursorSolarSystem, 9, x, y);
  EXPECT_TRUE(AddPointOfInterestAt(*f.p, 1, x, y));
  EXPECT_EQ(menu.caption, "The Moon:");

  ObjectDatabase db;
  ObjectCatalog = std::make_unique<tCO>(db.path, db.Names());
  const int32_t keptM31 = MessierToRngc[31];
  MessierToRngc[31] = 224;
  PublishCursorObject(kCursorDeepSky, 0, x, y);
  EXPECT_TRUE(AddPointOfInterestAt(*f.p, 1, x, y));
  EXPECT_EQ(menu.caption, "NGC224 ,M31:");
  EXPECT_FALSE(menu.track);
  MessierToRngc[31] = keptM31;
  ObjectCatalog.reset();

  // An index beyond the current star table (a reload shrank it): no menu.
  PublishCursorObject(kCursorStar, 7, x, y);
  const int before = menu.shown;
  EXPECT_FALSE(AddPointOfInterestAt(*f.p, 1, x, y));
  EXPECT_EQ(menu.shown, before);
  PublishCursorObject(kCursorNone, 0);
}

// A right click ahead of the worker (the pointer moved on and clicked before
// the search of the new point came back) takes the object at the click, not
// the one published for the earlier point.
TEST(ChartClicks, RightClickAheadOfTheWatchTakesTheClickedObject) {
  ChartFixture f;
  MenuProbe menu;
  PublishChartSnapshot(*f.p);
  int32_t sx, sy, ex, ey;
  f.Pixel(kSiriusRA, kSiriusDec, sx, sy);
  f.Pixel(kSiriusRA + 10 * kDeg, kSiriusDec + 10 * kDeg, ex, ey);
  // Sirius published under the pointer; the click falls on empty sky.
  PublishCursorObject(kCursorStar, 1, sx, sy);
  EXPECT_FALSE(AddPointOfInterestAt(*f.p, 1, ex, ey));
  EXPECT_EQ(SelectionKind, kCursorNone);
  EXPECT_EQ(menu.shown, 0);
  // Nothing published for empty sky; the click falls on Sirius.
  PublishCursorObject(kCursorNone, 0, ex, ey);
  EXPECT_TRUE(AddPointOfInterestAt(*f.p, 1, sx + 1, sy));
  EXPECT_EQ(menu.caption, "The star SAO 151881, Sirius:");
  EXPECT_EQ(SelectionKind, kCursorStar);
  EXPECT_EQ(SelectionIndex, 1);
  PublishCursorObject(kCursorNone, 0);
  ClearChartSnapshot();
}

// A left click re-centres: the clicked position is at the chart centre of
// the next projection (horizontal centring), or becomes the equatorial
// centre.
TEST(ChartClicks, LeftClickRecentres) {
  ChartFixture f(4.0);
  tPlotter& p = *f.p;
  p.CentreOnHorizon = 1;
  p.Replot = 0;
  const int32_t cx = 250, cy = 420;
  double ra, dec, alt, az;
  ASSERT_TRUE(p.ScreenToRaDec(cx, cy, ra, dec, alt, az));
  ASSERT_TRUE(AddPointOfInterestAt(p, 0, cx, cy));
  EXPECT_EQ(p.ZenithView, 0);
  EXPECT_EQ(p.Replot, 1);
  p.CentreAlt = p.HeldAlt;
  p.CentreAz = p.HeldAz;
  p.SetupProjection();
  int32_t x, y;
  f.Pixel(ra, dec, x, y);
  EXPECT_NEAR(x, 400, 1);
  EXPECT_NEAR(y, 300, 1);

  p.CentreOnHorizon = 0;
  ASSERT_TRUE(AddPointOfInterestAt(p, 0, 500, 200));
  double ra2, dec2;
  ASSERT_TRUE(p.ScreenToRaDec(500, 200, ra2, dec2, alt, az));
  EXPECT_DOUBLE_EQ(p.CentreRA, ra2);
  EXPECT_DOUBLE_EQ(p.CentreDec, dec2);

  // Outside the horizon circle: no position, nothing changes.
  ChartFixture whole(0.5);
  whole.p->ZenithView = 1;
  EXPECT_FALSE(AddPointOfInterestAt(*whole.p, 0, 5, 5));
  EXPECT_EQ(whole.p->ClickRA, -1.0);
  EXPECT_EQ(whole.p->ZenithView, 1);
}

// Placing mode: a point of interest placed by a click is stored at J2000,
// the position of date under the click, 2025.0, precessed back, and the
// mode ends; with the table full the flash message tells so and the mode
// still ends. Reference: ERFA pmat76 (IAU 1976) takes J2000 (300°, +20°)
// to (5.240812671841425 rad, 0.3502855361178494 rad) mean of date at TT
// JD 2460676.5.
TEST(ChartClicks, PointOfInterestStoredAtJ2000OrFlashedWhenFull) {
  auto p = std::make_unique<tPlotter>();
  const double raDate = 5.240812671841425, decDate = 0.3502855361178494;
  SetObserverLocation(p->Observer, 0, 40 * kDeg, 0);
  double alt = -1, az = 0;
  for (int h = 0; h < 48 && alt < 50 * kDeg; ++h) {
    SetObserverUT(p->Observer, 2460676.5 + h / 48.0);
    p->RaDecToAltAz(raDate, decDate, alt, az);
  }
  ASSERT_GT(alt, 30 * kDeg);
  p->Observer.PrecessionOn = 1;
  SetPrecession(p->Observer, 2451545.0, 2460676.5);
  p->Width = 800;
  p->Height = 600;
  p->Zoom = 20;
  p->CentreAlt = alt;
  p->CentreAz = az;
  p->SetupProjection();
  int32_t x, y;
  ASSERT_TRUE(p->ProjectToPixel(alt, az, x, y));

  double storedRA = 0, storedDec = 0;
  int32_t storedKind = -1;
  bool full = false, left = false;
  std::string flash;
  TChartClickHooks h;
  h.placingMode = [] { return true; };
  h.addPointOfInterest = [&](int32_t kind, double ra, double dec) {
    storedKind = kind;
    storedRA = ra;
    storedDec = dec;
    return !full;
  };
  h.clearPlacingMode = [&] { left = true; };
  SetChartClickHooks(h);
  FlashSink sink;
  sink.message = [&](const std::string& t, int) { flash = t; };
  SetFlashSink(sink);
  ASSERT_TRUE(AddPointOfInterestAt(*p, 0, x, y));
  EXPECT_TRUE(left);
  EXPECT_EQ(flash, "");
  EXPECT_GE(storedKind, 1);
  // Within 0.05° of J2000 (300°, +20°): one pixel is 0.009° here.
  EXPECT_NEAR(storedRA / kDeg * std::cos(storedDec), 300.0 * std::cos(20 * kDeg), 0.05);
  EXPECT_NEAR(storedDec / kDeg, 20.0, 0.05);
  // Drawn as the chart draws a point of interest, it lands on the click.
  double ra = storedRA, dec = storedDec, a2, z2;
  Precess(p->Observer, ra, dec);
  int32_t px, py;
  ASSERT_TRUE(p->PlaceRaDec(ra, dec, a2, z2, px, py));
  EXPECT_NEAR(px, x, 1);
  EXPECT_NEAR(py, y, 1);

  full = true;
  left = false;
  EXPECT_TRUE(AddPointOfInterestAt(*p, 0, x, y));
  EXPECT_EQ(flash, "Maximum 100 \"points of interest\" exceeded.");
  EXPECT_TRUE(left);
  SetChartClickHooks({});
  SetFlashSink({});
}
