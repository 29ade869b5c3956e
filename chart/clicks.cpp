// Clicks on the main chart (see clicks.h).
#include "chart/clicks.h"

#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/solar_system.h"
#include "astro/trig.h"
#include "catalog/object_catalog.h"
#include "catalog/stars.h"
#include "chart/cursor_watch.h"
#include "chart/magnifier_inset.h"
#include "chart/plotter.h"
#include "shell/messages.h"

uint8_t SelectionKind = 0;
int32_t SelectionIndex = 0;

namespace {
TChartClickHooks g_hooks;

std::string Truncated(std::string s, std::size_t n) {
  if (s.size() > n) s.resize(n);
  return s;
}
}  // namespace

void SetChartClickHooks(TChartClickHooks hooks) { g_hooks = std::move(hooks); }
const TChartClickHooks& ChartClickHooks() { return g_hooks; }

// The chart precesses a stored J2000 point with the observer's precession
// (J2000 to the date) and nothing else; the inverse turns the same angles
// the other way: precession from the record's target epoch back to its
// source epoch.
void DateToJ2000(const tPlotter& plotter, double& ra, double& dec) {
  if (!plotter.Observer.PrecessionOn) return;
  auto back = std::make_unique<TObserverTime>(plotter.Observer);
  SetPrecession(*back, plotter.Observer.EpochTo, plotter.Observer.EpochFrom);
  Precess(*back, ra, dec);
  ra = ModTwoPi(ra);
  if (ra >= TwoPi) ra -= TwoPi;
}

std::string ObjectMenuCaption(uint8_t kind, int32_t index) {
  switch (kind) {
    case kCursorDeepSky: {
      if (!ObjectCatalog) return {};
      std::string caption;
      LockObjects();
      if (ObjectCatalog->SeekRecord(index)) {
        caption = ObjectCatalog->DisplayName();
        if (const int m = MessierNumberOfCurrentObject()) caption += " ,M" + std::to_string(m);
      }
      UnlockObjects();
      return Truncated(caption, 255);
    }
    case kCursorStar: {
      if (index < 1 || index > std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size()))) return {};
      const TSaoStar& s = SaoStars[std::size_t(index - 1)];
      std::string caption = "The star SAO " + std::to_string(s.SaoNumber());
      if (s.NameIndex != 0 && s.NameIndex <= std::min<int32_t>(StarNameCount, int32_t(StarNames.size())))
        caption += ", " + Truncated(StarNames[s.NameIndex - 1u], 20);
      return Truncated(caption, 255);
    }
    case kCursorAsteroid:
      if (index < 0 || index >= std::min(AsteroidCount, kMaxMinorBodies)) return {};
      return Truncated("The asteroid " + Asteroids[index].Name.str(), 43);
    case kCursorComet:
      if (index < 0 || index >= std::min(CometCount, kMaxMinorBodies)) return {};
      return Truncated("The comet " + Comets[index].Name.str(), 40);
    case kCursorSolarSystem:
      if (index >= 0 && index < kPlanetCount) return Truncated("The planet " + Planets[index].Name.str(), 41);
      return index == 9 ? "The Moon" : "The Sun";
    default:
      return {};
  }
}

bool AddPointOfInterestAt(tPlotter& plotter, int32_t button, int32_t x, int32_t y) {
  // 1, 2. The clicked position; none below 0.1° or off the chart.
  double ra = 0, dec = 0, alt = 0, az = 0;
  if (!plotter.ScreenToRaDec(x, y, ra, dec, alt, az)) {
    plotter.ClickRA = -1.0;
    plotter.ClickDec = 0;
    return false;
  }
  plotter.ClickRA = ra;
  plotter.ClickDec = dec;

  if (button == 0) {
    if (g_hooks.placingMode && g_hooks.placingMode()) {
      // A point of interest holds its J2000 position, which the chart
      // precesses to the date when it draws it.
      double raJ = ra, decJ = dec;
      DateToJ2000(plotter, raJ, decJ);
      const bool added = g_hooks.addPointOfInterest && g_hooks.addPointOfInterest(FieldOfViewMode, raJ, decJ);
      if (!added) ShowFlashMessage("Maximum 100 \"points of interest\" exceeded.", 2);
      if (g_hooks.clearPlacingMode) g_hooks.clearPlacingMode();
      return true;
    }
    // Re-centre on the click.
    if (plotter.CentreOnHorizon) {
      plotter.HeldAlt = alt;
      plotter.HeldAz = az;
    } else {
      plotter.CentreRA = ra;
      plotter.CentreDec = dec;
    }
    plotter.ZenithView = 0;
    plotter.RequestReplot();
    return true;
  }

  if (button == 1) {
    uint8_t kind;
    int32_t index;
    CursorObjectAt(x, y, kind, index);
    SelectionKind = kind;
    SelectionIndex = index;
    if (kind == kCursorNone || kind > kCursorSolarSystem) return false;
    const std::string caption = ObjectMenuCaption(kind, index);
    if (caption.empty()) {
      // The published index no longer names an entry of the current tables.
      SelectionKind = kCursorNone;
      return false;
    }
    const bool track = kind >= kCursorAsteroid;
    if (g_hooks.showObjectMenu) g_hooks.showObjectMenu(caption + ":", track, x, y);
    return true;
  }
  return true;
}
