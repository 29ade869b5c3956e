#include "astro/solar_system.h"

#include <atomic>
#include <cmath>

#include "astro/observer.h"

TSolSysBody Planets[kPlanetCount];
TSolSysBody MoonBody;
TSolSysBody Asteroids[kMaxMinorBodies];
int32_t AsteroidCount = 0;
TSolSysBody Comets[kMaxMinorBodies];
int32_t CometCount = 0;

namespace {
std::atomic<IAstrometryProvider*> g_provider{nullptr};
}  // namespace

double LightTimeDays(double distanceAU) { return distanceAU * KmPerAU / SpeedOfLight / 86400.0; }

double AUToKm(double distanceAU) { return distanceAU * KmPerAU; }

bool BodyCacheHit(TSolSysBody& body, const TObserverTime& rec, double jd) {
  // The place is part of the key: the topocentric parallax depends on it.
  const bool samePlace = body.LastLongitude == rec.Longitude && body.LastLatitude == rec.Latitude &&
                         body.LastHeight == rec.Height;
  if (samePlace && std::fabs(body.LastJD - jd) < kCacheSpanDays) return true;
  body.LastJD = jd;
  body.LastLongitude = rec.Longitude;
  body.LastLatitude = rec.Latitude;
  body.LastHeight = rec.Height;
  return false;
}

void SetAstrometryProviderForTest(IAstrometryProvider* provider) { g_provider.store(provider); }

bool ProviderPosition(int number, const TObserverTime& rec, double& ra, double& dec) {
  IAstrometryProvider* provider = g_provider.load();
  if (!provider) return false;
  try {
    double r = 0, d = 0;
    if (!provider->TopocentricPosition(number, rec, r, d) || !std::isfinite(r) || !std::isfinite(d))
      return false;
    ra = r;
    dec = d;
    return true;
  } catch (...) {
    // A failing provider leaves the built-in values in place.
    return false;
  }
}
