// The observer-and-time record and its setters.
#include "astro/observer.h"

#include <cmath>

#include "astro/precession.h"
#include "astro/transforms.h"

TObserverTime ObserverTime;

namespace {

// UT changes below this many days (0.1 s) do not recompute.
constexpr double kRecomputeStepDays = 1.1574e-06;

// Derives TT, the two local times and the daylight flag from JD_UT.
void DeriveFromUT(TObserverTime& rec) {
  double tt, standard, civil;
  UTToTT(tt, rec.JD_UT);
  UTToLocalStandard(rec, standard, rec.JD_UT);
  bool daylight = UTToLocalCivil(rec, civil, rec.JD_UT);
  rec.JD_TT = tt;
  rec.JD_LocalStandard = standard;
  rec.JD_LocalCivil = civil;
  rec.DaylightInEffect = daylight ? 1 : 0;
}

// Derives the two local times and the daylight flag from JD_UT.
void DeriveLocalTimes(TObserverTime& rec) {
  double standard, civil;
  UTToLocalStandard(rec, standard, rec.JD_UT);
  bool daylight = UTToLocalCivil(rec, civil, rec.JD_UT);
  rec.JD_LocalStandard = standard;
  rec.JD_LocalCivil = civil;
  rec.DaylightInEffect = daylight ? 1 : 0;
}

}  // namespace

TObserverTime& InitObserver(TObserverTime& rec) {
  // Nothing computed yet.
  rec.LastUT = -1.0;
  rec.LastLongitude = -1.0;
  rec.NutationUT = -1.0;
  // Neutral time zone.
  TIME_ZONE_INFORMATION tz;
  InitTimeZoneInfo(tz);
  rec.TimeZone = tz;
  // J2000.0 at Greenwich, on the equator, at sea level.
  SetObserverTT(rec, 2451545.0);
  SetObserverLocation(rec, 0.0, 0.0, 0.0);
  // No precession: J2000 to J2000.
  SetPrecession(rec, 2451545.0, 2451545.0);
  rec.PrecessionOn = 1;
  // Standard atmosphere of the refraction table.
  SetAtmosphere(rec, 10.0, 1010.0);
  return rec;
}

void SetObserverUT(TObserverTime& rec, double jdUT) {
  rec.JD_UT = jdUT;
  DeriveFromUT(rec);
  RecomputeObserver(rec);
}

void SetObserverTT(TObserverTime& rec, double jdTT) {
  // UT from TT, then the local times from UT; TT stays as given.
  double ut;
  TTToUT(ut, jdTT);
  rec.JD_TT = jdTT;
  rec.JD_UT = ut;
  DeriveLocalTimes(rec);
  RecomputeObserver(rec);
}

void SetObserverLocalStandard(TObserverTime& rec, double jdLocalStandard) {
  double ut;
  LocalStandardToUT(rec, ut, jdLocalStandard);
  SetObserverUT(rec, ut);
}

void SetObserverLocalCivil(TObserverTime& rec, double jdLocalCivil) {
  // The season decides UT; the stored flag is decided again from that UT.
  double ut;
  LocalCivilToUT(rec, ut, jdLocalCivil);
  SetObserverUT(rec, ut);
}

void SetObserverTimeZone(TObserverTime& rec, const TIME_ZONE_INFORMATION& tzi,
                         uint8_t useDaylightSaving) {
  rec.TimeZone = tzi;
  rec.UseDaylightSaving = useDaylightSaving;
  DeriveLocalTimes(rec);
}

void SetObserverLocation(TObserverTime& rec, double longitude, double latitude, double height) {
  rec.Longitude = longitude;
  rec.Latitude = latitude;
  rec.Height = height;
  rec.SinLatitude = std::sin(latitude);
  rec.CosLatitude = std::cos(latitude);
  rec.TanLatitude = std::tan(latitude);
  RecomputeObserver(rec);
}

void RecomputeObserver(TObserverTime& rec) {
  // Nothing to do for a step of 0.1 s or less at the same longitude.
  double d = std::fabs(rec.LastUT - rec.JD_UT);
  if (d <= kRecomputeStepDays && rec.LastLongitude == rec.Longitude) return;
  // Nutation and obliquity once UT has moved a day since they were computed
  // (the negated test also refreshes after a NaN).
  if (!(std::fabs(rec.JD_UT - rec.NutationUT) < 1.0)) UpdateNutation(rec);
  // Greenwich apparent sidereal time from universal time, radians.
  rec.SiderealTime = ApparentSiderealTimeUT(rec, rec.JD_UT) * 15.0 / DegPerRad;
  // Local sidereal time; longitude is positive west.
  double lst = rec.SiderealTime - rec.Longitude;
  ReduceRadians(lst);
  rec.LocalSidereal = lst;
  rec.LastUT = rec.JD_UT;
  rec.LastLongitude = rec.Longitude;
}
