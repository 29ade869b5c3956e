#include "app/core/sim_clock.h"

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/riseset.h"
#include "astro/sun_moon.h"
#include "platform/timezone.h"


void AdvanceSimulatedClock(TObserverTime& rec, TSimClock& clk, uint8_t flow, uint8_t rate, uint32_t now,
                           double systemJD) {
  if (clk.LastTickTime == 0) clk.LastTickTime = now;
  const uint32_t elapsed = now - clk.LastTickTime;  // unsigned: right across the counter's wrap
  if (clk.LastSyncTime == 0) clk.LastSyncTime = now;
  const uint32_t sinceSync = now - clk.LastSyncTime;
  clk.RealTimeFlag = false;
  if (rate > 4) rate = 0;
  const double days = double(elapsed) / double(kTimeRateMsPerDay[rate]);
  if (flow == kTimeForward) {
    double ut = rec.JD_UT + days;
    if (rate == 0 && sinceSync > kResyncIntervalMs && std::fabs(systemJD - ut) < kResyncToleranceDays) {
      ut = systemJD;
      clk.RealTimeFlag = true;
      clk.LastSyncTime = now;
    }
    SetObserverUT(rec, ut);
  } else if (flow == kTimeBackward) {
    SetObserverUT(rec, rec.JD_UT - days);
  }
}

std::string PresetResultText(TPresetResult r) {
  switch (r) {
    case TPresetResult::NoSunset:
      return "The Sun does not set at this place on this day; the time is unchanged.";
    case TPresetResult::NoSunrise:
      return "The Sun does not rise at this place on this day; the time is unchanged.";
    case TPresetResult::Done:
      break;
  }
  return {};
}

void SetTimeNow(TObserverTime& rec, double systemJD) { SetObserverUT(rec, systemJD); }

void SetTimeMidnight(TObserverTime& rec, double systemJD) {
  SetObserverUT(rec, systemJD);
  SetObserverLocalCivil(rec, JDMidnight(rec.JD_LocalCivil) + 1.0);
}

namespace {

// UT of the Sun's rise (wantSet false) or set on the local day that starts at
// local clock time `localMidnight`; false when it does not happen.
bool SunEventOfLocalDay(const TObserverTime& rec, double localMidnight, bool wantSet, double& jdUT) {
  auto work = std::make_unique<TObserverTime>(rec);
  // The local day's bounds in UT.
  SetObserverLocalCivil(*work, localMidnight);
  const double dayStartUT = work->JD_UT;
  SetObserverLocalCivil(*work, localMidnight + 1.0);
  const double dayEndUT = work->JD_UT;
  // First estimate from the Sun at local noon, then once more from the Sun
  // at the estimate, so the Sun's motion during the day is taken in.
  double t = localMidnight + 0.5;
  SetObserverLocalCivil(*work, t);
  t = work->JD_UT;
  for (int pass = 0; pass < 2; ++pass) {
    SetObserverUT(*work, t);
    TSolarContext sun{};
    sun.NovasOff = 1;
    CalcSun(sun, *work);
    double rise = NoEvent, transit = NoEvent, set = NoEvent;
    RiseTransitSet(*work, sun.SunRA, sun.SunDec, kSunStandardAltitude, rise, transit, set);
    const double hours = wantSet ? set : rise;
    if (!(hours < NoEvent)) return false;
    // The event on the UT date of the estimate, moved by whole days to the
    // one nearest the estimate.
    const double event = JDMidnight(work->JD_UT) + hours / 24.0;
    t = event + std::nearbyint(t - event);
  }
  // Take the event into the local day by whole days (counted, not looped:
  // at huge dates adding a day no longer changes t).
  if (t < dayStartUT) t += std::ceil(dayStartUT - t);
  if (t >= dayEndUT) t -= std::floor(t - dayEndUT) + 1.0;
  jdUT = t;
  return true;
}

TPresetResult SunPreset(TObserverTime& rec, double systemJD, bool tonight) {
  auto before = std::make_unique<TObserverTime>(rec);
  SetObserverUT(rec, systemJD);
  const double localMidnight = JDMidnight(rec.JD_LocalCivil) + (tonight ? 0.0 : 1.0);
  double event = 0;
  if (!SunEventOfLocalDay(rec, localMidnight, tonight, event)) {
    rec = *before;
    return tonight ? TPresetResult::NoSunset : TPresetResult::NoSunrise;
  }
  SetObserverUT(rec, event + (tonight ? 2.0 : -2.0) / 24.0);
  return TPresetResult::Done;
}

}  // namespace

TPresetResult SetTimeEarlyTonight(TObserverTime& rec, double systemJD) { return SunPreset(rec, systemJD, true); }

TPresetResult SetTimeEarlyTomorrow(TObserverTime& rec, double systemJD) {
  return SunPreset(rec, systemJD, false);
}

TPresetResult ApplyStartupTime(TObserverTime& rec, int mode, double configuredHours, double systemJD) {
  switch (mode) {
    case 2:
      return SetTimeEarlyTonight(rec, systemJD);
    case 3:
      SetTimeMidnight(rec, systemJD);
      break;
    case 4:
      return SetTimeEarlyTomorrow(rec, systemJD);
    case 5:
      SetObserverUT(rec, systemJD);
      SetObserverLocalCivil(rec, JDMidnight(rec.JD_LocalCivil) + configuredHours / 24.0);
      break;
    case 6:
      SetObserverUT(rec, JDMidnight(systemJD) + configuredHours / 24.0);
      break;
    default:
      break;
  }
  return TPresetResult::Done;
}
