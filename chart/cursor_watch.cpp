// The cursor watch (see cursor_watch.h).
#include "chart/cursor_watch.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/solar_system.h"
#include "astro/trig.h"
#include "catalog/object_catalog.h"
#include "catalog/stars.h"
#include "chart/plotter.h"
#include "platform/gui_thread.h"
#include "platform/numfmt.h"
#include "platform/thread_priority.h"
#include "shell/globals.h"

TPauseGate CursorGate;
std::atomic<int32_t> CursorLastX{-1};
std::atomic<int32_t> CursorLastY{-1};

namespace {

constexpr double kOneDegree = TwoPi / 360;

// --- Published object and hint ---
std::mutex g_objectMutex;
uint8_t g_kind = kCursorNone;
int32_t g_index = 0;
// The chart point whose search gave the published object (-1: none).
int32_t g_pointX = -1;
int32_t g_pointY = -1;
std::string g_hint;
std::function<void(const std::string&)> g_hintSink;

// --- The snapshot ---
// One published view: the state block, the drawn deep-sky objects, the
// bodies' positions. Swapped under the mutex; the worker copies it out.
struct TSnapshot {
  TPlotterState state;
  int32_t labelCount = 0;
  std::vector<TObjectLabelEntry> labels;
  std::vector<TCursorBody> bodies;
};
std::mutex g_snapshotMutex;
std::unique_ptr<TSnapshot> g_snapshot;

// --- The thread ---
std::thread g_thread;
std::atomic<bool> g_stop{false};
std::atomic<int64_t> g_searches{0};
std::atomic<bool> g_running{false};
std::mutex g_searchHookMutex;
std::function<void()> g_searchHook;

// Magnitude written with one decimal and no blanks ("5.3", "-1.5").
std::string MagnitudeText(double m) { return platform::FormatFixed(m, 0, 1); }

std::string Cut255(std::string s) {
  if (s.size() > 255) s.resize(255);
  return s;
}

// Distance of (ra, dec) from the pointer: the right-ascension difference
// wrapped at 0h and shortened by cos δ0 from the table in tenths of a degree.
struct TDistance {
  double ra0, dec0, cosDec0;
  TDistance(double ra, double dec) : ra0(ra), dec0(dec) {
    const int i = int(std::trunc(dec * DegPerRad * 10));
    cosDec0 = (i >= -900 && i <= 900) ? CosTable[i] : 0.0;
  }
  double operator()(double ra, double dec) const {
    double da = std::fabs(ra - ra0);
    if (da > TwoPi - kOneDegree) da = TwoPi - da;
    da *= cosDec0;
    const double dd = dec - dec0;
    return std::sqrt(da * da + dd * dd);
  }
};

void ShowHint(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(g_objectMutex);
    if (text == g_hint) return;
    g_hint = text;
  }
  platform::RunOnGuiThread([text] {
    if (g_hintSink) g_hintSink(text);
  });
}

void Publish(uint8_t kind, int32_t index, int32_t x, int32_t y) {
  platform::RunOnGuiThread([kind, index, x, y] { PublishCursorObject(kind, index, x, y); });
}

// The search at chart point (x, y) of a snapshot; nothing off the sky.
TCursorFound SearchAt(tPlotter& view, const std::vector<TCursorBody>& bodies, int32_t x, int32_t y) {
  double ra = 0, dec = 0, alt, az;
  if (!view.ScreenToRaDec(x, y, ra, dec, alt, az)) return {};
  return CursorSearch(view, bodies, ra, dec);
}

// One pass of the worker: a search when the pointer moved.
void WatchPass(tPlotter& view, std::vector<TCursorBody>& bodies) {
  const int32_t x = PointerX.load();
  const int32_t y = PointerY.load();
  if (x == CursorLastX.load() && y == CursorLastY.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return;
  }
  CursorLastX.store(x);
  CursorLastY.store(y);
  if (PointerOnChart.load() == 0 || !TakeChartSnapshot(view, bodies)) {
    ShowHint(std::string());
    return;
  }
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(g_searchHookMutex);
    hook = g_searchHook;
  }
  if (hook) hook();
  const TCursorFound found = SearchAt(view, bodies, x, y);
  g_searches.fetch_add(1);
  if (found.Kind == kCursorNone) {
    // Nothing within one degree: no object is offered to a right click.
    Publish(kCursorNone, 0, x, y);
    ShowHint(std::string());
    return;
  }
  const std::string text = CursorObjectText(found);
  Publish(found.Kind, found.Index, x, y);
  ShowHint(text);
}

void WatchLoop() {
  platform::SetCurrentThreadLowestPriority();
  auto view = std::make_unique<tPlotter>();
  std::vector<TCursorBody> bodies;
  while (CursorGate.CheckPoint(g_stop)) WatchPass(*view, bodies);
  g_running.store(false);
}

}  // namespace

bool PauseCursorThread() { return CursorGate.Pause(); }
void ResumeCursorThread() { CursorGate.Resume(); }
void WhenCursorPaused(std::function<void()> work) { CursorGate.WhenPaused(std::move(work)); }

void InvalidateCursorPosition() { CursorLastX.store(-1); }

void PublishCursorObject(uint8_t kind, int32_t index, int32_t x, int32_t y) {
  std::lock_guard<std::mutex> lock(g_objectMutex);
  g_kind = kind;
  g_index = index;
  g_pointX = x;
  g_pointY = y;
}

void GetCursorObject(uint8_t& kind, int32_t& index) {
  std::lock_guard<std::mutex> lock(g_objectMutex);
  kind = g_kind;
  index = g_index;
}

void CursorObjectAt(int32_t x, int32_t y, uint8_t& kind, int32_t& index) {
  {
    std::lock_guard<std::mutex> lock(g_objectMutex);
    if (x == g_pointX && y == g_pointY) {
      kind = g_kind;
      index = g_index;
      return;
    }
  }
  // The worker has not searched this point yet (it runs behind the pointer,
  // and its result reaches this thread later): search it now, on the same
  // snapshot, so the menu never names the object of an earlier point.
  kind = kCursorNone;
  index = 0;
  auto view = std::make_unique<tPlotter>();
  std::vector<TCursorBody> bodies;
  if (!TakeChartSnapshot(*view, bodies)) return;
  const TCursorFound found = SearchAt(*view, bodies, x, y);
  kind = found.Kind;
  index = found.Index;
}

void SetCursorHintSink(std::function<void(const std::string&)> sink) { g_hintSink = std::move(sink); }

void PublishChartSnapshot(const tPlotter& plotter) {
  auto s = std::make_unique<TSnapshot>();
  s->state = plotter;
  s->labelCount = std::min(plotter.ObjectLabelCount, kMaxObjectLabels);
  s->labels.assign(plotter.ObjectLabelList + 1, plotter.ObjectLabelList + 1 + std::max(s->labelCount, 0));
  s->bodies = CursorBodies(plotter);
  std::lock_guard<std::mutex> lock(g_snapshotMutex);
  g_snapshot = std::move(s);
}

void ClearChartSnapshot() {
  std::lock_guard<std::mutex> lock(g_snapshotMutex);
  g_snapshot.reset();
}

bool TakeChartSnapshot(tPlotter& into, std::vector<TCursorBody>& bodies) {
  std::lock_guard<std::mutex> lock(g_snapshotMutex);
  if (!g_snapshot) return false;
  bodies = g_snapshot->bodies;
  static_cast<TPlotterState&>(into) = g_snapshot->state;
  into.ObjectLabelCount = g_snapshot->labelCount;
  std::copy(g_snapshot->labels.begin(), g_snapshot->labels.end(), into.ObjectLabelList + 1);
  return true;
}

int MessierNumberOfCurrentObject() {
  const tCO& o = *ObjectCatalog;
  const std::string name = o.DisplayName();
  if (name.rfind("NGC", 0) != 0 || !o.SubID.empty()) return 0;
  int64_t id = 0;
  if (!platform::ParseInt(o.ID, id)) return 0;
  for (int m = 1; m <= kMessierCount; ++m)
    if (MessierToRngc[m] != 0 && MessierToRngc[m] == id) return m;
  return 0;
}

// Search order: deep-sky objects of the last render, SAO stars, asteroids,
// comets, then the planets, the Moon and the Sun. A candidate strictly
// nearer than the best so far wins, so the nearest of all kinds is found
// and of equal distances the one searched first.
std::vector<TCursorBody> CursorBodies(const tPlotter& plotter) {
  std::vector<TCursorBody> list;
  // Asteroids and comets: J2000 positions, precessed when switched.
  auto minor = [&](const TSolSysBody* bodies, int32_t count, uint8_t kind) {
    for (int32_t i = 0; i < std::min(count, kMaxMinorBodies); ++i) {
      const TSolSysBody& b = bodies[i];
      if (!(b.ShowCode == "YES") || !b.Valid) continue;
      double ra = b.RA, dec = b.Dec;
      if (plotter.Observer.PrecessionOn) Precess(plotter.Observer, ra, dec);
      list.push_back({kind, i, ModTwoPi(ra), dec, b.Name.str(), b.Magnitude});
    }
  };
  if (plotter.ShowAsteroids) minor(Asteroids, AsteroidCount, kCursorAsteroid);
  if (plotter.ShowComets) minor(Comets, CometCount, kCursorComet);
  // Planets but the Earth, the Moon and the Sun: apparent places of date.
  for (int p = 0; p < kPlanetCount; ++p)
    if (p != 2) list.push_back({kCursorSolarSystem, p, Planets[p].RA, Planets[p].Dec, Planets[p].Name.str(), Planets[p].Magnitude});
  list.push_back({kCursorSolarSystem, 9, MoonBody.RA, MoonBody.Dec, "Moon", MoonBody.Magnitude});
  list.push_back({kCursorSolarSystem, 10, plotter.SolarContext.SunRA, plotter.SolarContext.SunDec, "Sun", -100});
  return list;
}

TCursorFound CursorSearch(const tPlotter& view, const std::vector<TCursorBody>& bodies, double ra0, double dec0) {
  TCursorFound best;
  best.Distance = kOneDegree;
  best.ChartDateTT = view.Observer.JD_TT;
  const TDistance distance(ra0, dec0);
  auto offer = [&](double ra, double dec, uint8_t kind, int32_t index) {
    const double d = distance(ra, dec);
    if (d < best.Distance) {
      best.Distance = d;
      best.Kind = kind;
      best.Index = index;
    }
  };

  // 1. Deep-sky objects drawn in the last render (index: record number).
  if (ObjectCatalog && view.ObjectLabelCount > 0) {
    const TObjectsLock lock(best.ChartDateTT);
    for (int32_t i = 1; i <= std::min(view.ObjectLabelCount, kMaxObjectLabels); ++i) {
      const int32_t record = view.ObjectLabelList[i].Record;
      if (ObjectCatalog->SeekRecord(record)) offer(ObjectCatalog->RADate, ObjectCatalog->DEDate, kCursorDeepSky, record);
    }
  }

  // 2. SAO stars (the naked-eye limit of the chart's zoom when switched on).
  int limit = 255;
  if (view.NakedEyeOnly) limit = view.Zoom > 3.0 ? 140 : view.Zoom > 2.0 ? 90 : 80;
  const int32_t n = std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size()));
  const TSaoStar* stars = SaoStars.data();
  const float decLow = float(dec0 - kOneDegree), decHigh = float(dec0 + kOneDegree);
  for (int32_t i = 0; i < n; ++i) {
    const TSaoStar& s = stars[i];
    if (s.Dec < decLow || s.Dec > decHigh || s.Magnitude > limit) continue;
    offer(s.RA, s.Dec, kCursorStar, i + 1);
  }

  // 3-5. Asteroids, comets, planets, the Moon and the Sun as the render
  // placed them.
  for (const TCursorBody& b : bodies) {
    const double before = best.Distance;
    offer(b.RA, b.Dec, b.Kind, b.Index);
    if (best.Distance < before) best.Body = &b;
  }
  return best;
}

std::string CursorObjectText(const TCursorFound& found) {
  const int32_t index = found.Index;
  std::string text;
  switch (found.Kind) {
    case kCursorDeepSky: {
      if (!ObjectCatalog) return text;
      const TObjectsLock lock(found.ChartDateTT);
      if (ObjectCatalog->SeekRecord(index)) {
        text = ObjectCatalog->DisplayName();
        if (const int m = MessierNumberOfCurrentObject()) text += ", M" + std::to_string(m);
        text += ", " + ObjectCatalog->ClassText();
      }
      break;
    }
    case kCursorStar: {
      if (index < 1 || index > std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size()))) return text;
      const TSaoStar& s = SaoStars[std::size_t(index - 1)];
      text = "SAO " + std::to_string(s.SaoNumber()) + ", magnitude " + MagnitudeText(s.Magnitude / 10.0 - 2);
      if (s.NameIndex != 0 && s.NameIndex <= std::min<int32_t>(StarNameCount, int32_t(StarNames.size())))
        text += ", " + StarNames[s.NameIndex - 1u];
      break;
    }
    case kCursorAsteroid:
    case kCursorComet: {
      if (!found.Body) return text;
      const TCursorBody& b = *found.Body;
      text = (found.Kind == kCursorAsteroid ? "The asteroid " : "The comet ") + b.Name + ", Mag " +
             (b.Magnitude == -100 ? std::string("Unknown") : MagnitudeText(b.Magnitude));
      break;
    }
    case kCursorSolarSystem:
      if (index == 9)
        text = "The Moon";
      else if (index == 10)
        text = "The Sun";
      else if (found.Body)
        text = "The planet " + found.Body->Name + ", magnitude " + MagnitudeText(found.Body->Magnitude);
      break;
    default:
      break;
  }
  return Cut255(text);
}

void CreateCursorThread() {
  if (g_thread.joinable()) return;
  g_stop.store(false);
  CursorLastX.store(-1);
  {
    // A new worker starts with nothing shown.
    std::lock_guard<std::mutex> lock(g_objectMutex);
    g_hint.clear();
  }
  CursorGate.onResume = [] {
    // The tables may have been rebuilt: nothing published stays selectable.
    PublishCursorObject(kCursorNone, 0);
    CursorLastX.store(-1);
  };
  RenderFinishedHook = [](const tPlotter& p) {
    if (&p == MainPlotter) PublishChartSnapshot(p);
  };
  CursorGate.Attach();
  g_running.store(true);
  g_thread = std::thread(WatchLoop);
}

void StopCursorThread() {
  if (!g_thread.joinable()) return;
  g_stop.store(true);
  CursorGate.Wake();
  // The worker may be waiting for a hand-over: serve them until it ends.
  while (g_running.load()) {
    platform::ServeHandOvers();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  g_thread.join();
  CursorGate.Detach();
}

bool CursorThreadRunning() { return g_running.load(); }

int64_t CursorSearchCountForTest() { return g_searches.load(); }

void SetCursorSearchHookForTest(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(g_searchHookMutex);
  g_searchHook = std::move(hook);
}
