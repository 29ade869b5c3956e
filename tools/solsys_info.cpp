#include "tools/solsys_info.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/riseset.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "platform/numfmt.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kArcmin = kPi / 180 / 60;
// Reference values relative to the Earth (12778 km, 5.98 × 10^24 kg), by planet index.
constexpr double kRelDiameter[9] = {0.38, 0.95, 1.0, 0.53, 11, 9, 4, 4, 0.18};
constexpr double kRelMass[9] = {0.05, 0.89, 1.0, 0.11, 318, 95, 15, 17, 0.002};
constexpr const char* kRelDiameterText[9] = {"0.38", "0.95", "1", "0.53", "11", "9", "4", "4", "0.18"};
constexpr const char* kRelMassText[9] = {"0.05", "0.89", "1", "0.11", "318", "95", "15", "17", "0.002"};
constexpr double kEarthDiameterKm = 12778;
constexpr double kEarthMassKg = 5.98e24;
// The Moon: 3475.6 km and 7.35 × 10^25 g; the Sun 1.39 × 10^11 cm and 1.99 × 10^33 g.
constexpr double kMoonDiameterCm = 3.4756e8;
constexpr double kMoonMassG = 7.35e25;
constexpr double kSunDiameterCm = 1.39e11;
constexpr double kSunMassG = 1.99e33;

std::string Fixed(double v, int decimals) { return TrimBlanks(platform::FormatFixed(v, 0, decimals)); }

std::string KmAndMiles(double km) {
  return Fixed(std::trunc(km), 0) + " (" + Fixed(std::trunc(km * 0.621371192), 0) + " miles)";
}

// The place a mount or a point of interest takes, of date: the body's
// geometric ecliptic place of date (light time included) on the mean
// equator, seen from the observer. Unlike the apparent place it holds no
// nutation and no annual aberration (about 20″ together): precessed to
// J2000 it is the astrometric place, to which a mount adds those itself as
// it does for a star.
void AstrometricTopocentricOfDate(const TObserverTime& rec, double lambda, double beta, double distanceKm,
                                  double& ra, double& dec) {
  double geoRA = 0, geoDec = 0;
  EclipticToEquatorialEps(rec.MeanObliquity, geoRA, geoDec, lambda, beta);
  TopocentricParallax(rec, ra, dec, distanceKm, geoRA, geoDec);
}

}  // namespace

bool ComputeBody(int kind, int index, const TObserverTime& rec, TSolarContext& ctx, TSolSysBody& body) {
  ctx = TSolarContext{};
  ctx.NovasOff = 1;
  CalcSun(ctx, rec);
  if (kind == kSelectSolarSystem && index >= 0 && index <= 8 && index != 2) {
    body = Planets[index];
    body.LastJD = -1e7;
    CalcEarthOrbit(ctx, rec);
    CalcPlanet(ctx, rec, body);
    return true;
  }
  if (kind == kSelectSolarSystem && index == 9) {
    InitExtraElementRecord(body);
    body.LastJD = -1e7;
    CalcMoon(ctx, rec, body);
    return true;
  }
  if ((kind == kSelectAsteroid && index >= 0 && index < AsteroidCount) ||
      (kind == kSelectComet && index >= 0 && index < CometCount)) {
    body = kind == kSelectAsteroid ? Asteroids[index] : Comets[index];
    body.LastJD = -1e7;
    CalcEarthOrbit(ctx, rec);
    return CalcOrbitBody(ctx, rec, body);
  }
  return false;
}

std::string AngularSizeText(double radians) {
  const double arcmin = radians / kArcmin;
  if (arcmin >= 0.2) return Fixed(arcmin, 1) + "'";
  return Fixed(arcmin * 60, 1) + "\"";
}

std::string MassText(double kg) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.6g", kg);
  std::string s = buf;
  const auto e = s.find_first_of("eE");
  if (e == std::string::npos) return s;
  const int exponent = std::atoi(s.c_str() + e + 1);
  return s.substr(0, e) + " x 10^" + std::to_string(exponent);
}

double DensityOf(double grams, double diameterCm) {
  const double r = diameterCm / 2;
  return grams / (4 * kPi / 3 * r * r * r);
}

bool MakeSolSysInfo(int kind, int index, const TObserverTime& observer, TSolSysInfo& s) {
  const bool sun = kind == kSelectSolarSystem && index == 10;
  const bool moon = kind == kSelectSolarSystem && index == 9;
  const bool planet = kind == kSelectSolarSystem && index >= 0 && index <= 8 && index != 2;
  auto rec = std::make_unique<TObserverTime>(observer);
  rec->ClipBelowHorizon = 0;  // a private copy: the altitude of a body below the horizon is shown too
  TSolarContext ctx{};
  TSolSysBody body{};
  double ra, dec;
  s = TSolSysInfo{};
  double meanRA = 0, meanDec = 0;  // astrometric topocentric of date (Sun, Moon, planets)
  if (sun) {
    ctx.NovasOff = 1;
    CalcSunTopocentric(ctx, *rec);
    ra = ctx.SunRA;
    dec = ctx.SunDec;
    AstrometricTopocentricOfDate(*rec, ctx.SunTrueLongitude, 0.0, ctx.SunDistance, meanRA, meanDec);
    s.Name = "The Sun";
    s.Magnitude = "No Data";
    s.DistanceLabel = "Distance (AU):";
    s.Distance = Fixed(ctx.SunDistance / 149500000.0, 1);
    s.AngularSize = Fixed(ctx.SunDiameter / kArcmin, 1) + "'";
    s.EclLat = TrimBlanks(FormatDegMin(0));
    s.EclLong = TrimBlanks(FormatDegMin(ctx.SunTrueLongitude));
  } else {
    if (!ComputeBody(kind, index, *rec, ctx, body)) return false;
    ra = body.RA;
    dec = body.Dec;
    if (moon || planet)
      AstrometricTopocentricOfDate(*rec, body.EclLongitude, body.EclLatitude,
                                   moon ? body.Distance : body.Distance * kPlanetKmPerAU, meanRA, meanDec);
    s.EclLat = TrimBlanks(FormatDegMin(body.EclLatitude));
    s.EclLong = TrimBlanks(FormatDegMin(body.EclLongitude));
  }
  s.Title = "Apparent Topocentric Coordinates, Keplerian Model:";
  // Places: the body routines give apparent places of date. The J2000 place
  // (shown on a J2000 chart, taken by goto and points of interest) is the
  // astrometric place of date precessed back.
  auto toJ2000 = std::make_unique<TObserverTime>(*rec);
  SetPrecession(*toJ2000, rec->JD_TT, 2451545.0);
  s.RaJ2000 = sun || moon || planet ? meanRA : ra;
  s.DecJ2000 = sun || moon || planet ? meanDec : dec;
  if (kind == kSelectSolarSystem && !(moon || sun || planet)) return false;
  if (kind == kSelectAsteroid || kind == kSelectComet) {
    // Asteroids and comets are computed in J2000: precess to date for the altitude.
    auto toDate = std::make_unique<TObserverTime>(*rec);
    SetPrecession(*toDate, 2451545.0, rec->JD_TT);
    double r = ra, d = dec;
    Precess(*toDate, r, d);
    ra = r;
    dec = d;
  } else {
    Precess(*toJ2000, s.RaJ2000, s.DecJ2000);
  }
  if (s.RaJ2000 < 0) s.RaJ2000 += 2 * kPi;
  if (s.RaJ2000 >= 2 * kPi) s.RaJ2000 -= 2 * kPi;
  EquatorialToHorizontal(*rec, s.AltitudeRad, s.AzimuthRad, ra, dec);
  if (rec->PrecessionOn) {
    s.RaShown = ra;
    s.DecShown = dec;
    s.Epoch = rec->EpochLabel.str();
  } else {
    s.RaShown = s.RaJ2000;
    s.DecShown = s.DecJ2000;
    s.Epoch = "J2000.0";
  }
  s.Ra = TrimBlanks(FormatRA_HMS(s.RaShown));
  s.Dec = TrimBlanks(FormatDegMin(s.DecShown));
  s.Altitude = TrimBlanks(FormatDegMin(s.AltitudeRad));
  s.Azimuth = TrimBlanks(FormatDegMin(s.AzimuthRad));

  if (sun) {
    s.ShowPhysical = true;
    s.Diameter = "1390000 km (109 x Earth's)";
    s.Mass = "1.99 x 10^30 kg (332800 x Earth's)";
    s.Density = Fixed(DensityOf(kSunMassG, kSunDiameterCm), 2);
    return true;
  }
  if (moon) {
    s.Name = "The Moon";
    s.Magnitude = "No Data";
    s.DistanceLabel = "Distance (KM):";
    s.Distance = KmAndMiles(body.Distance);
    s.AngularSize = Fixed(body.Diameter / kArcmin, 1) + "'";
    s.ShowElements = s.ShowVisibility = true;
    s.PeriodLabel = "Period (sidereal, in days):";
    s.Period = Fixed(body.Period, 3);
    s.SemiMajorLabel = "Semi-Major axis of orbit (KM):";
    s.SemiMajor = KmAndMiles(body.SemiMajorAxis);
    s.Inclination = TrimBlanks(FormatDegrees1(body.Inclination));
    s.Eccentricity = Fixed(body.Eccentricity, 5);
    s.Diameter = "3475.6 km (0.272 x Earth's)";
    s.Mass = "7.35 x 10^22 kg (0.0123 x Earth's)";
    s.Density = Fixed(DensityOf(kMoonMassG, kMoonDiameterCm), 2);
    return true;
  }
  auto orUnknown = [](double v, int decimals) { return v == -1 ? std::string("unknown") : Fixed(v, decimals); };
  s.DistanceLabel = "Distance (AU):";
  s.Distance = Fixed(body.Distance, 1);
  s.AngularSize = AngularSizeText(body.Diameter);
  s.ShowElements = s.ShowVisibility = true;
  s.PeriodLabel = "Period (years):";
  s.SemiMajorLabel = "Semi-Major axis of orbit (AU):";
  s.Inclination = TrimBlanks(FormatDegrees1(body.Inclination));
  if (planet) {
    s.Name = "The planet " + body.Name.str();
    s.Magnitude = Fixed(body.Magnitude, 1);
    s.Period = Fixed(body.Period, 3);
    s.Eccentricity = Fixed(body.Eccentricity, 5);
    s.SemiMajor = Fixed(body.SemiMajorAxis, 4);
    s.ShowPhysical = true;
    const double km = kRelDiameter[index] * kEarthDiameterKm;
    const double kg = kRelMass[index] * kEarthMassKg;
    s.Diameter = Fixed(km, 0) + " km (" + kRelDiameterText[index] + " x Earth's)";
    s.Mass = MassText(kg) + " kg (" + kRelMassText[index] + " x Earth's)";
    s.Density = Fixed(DensityOf(kg * 1000, km * 1e5), 2);
  } else {
    s.Name = (kind == kSelectAsteroid ? "The asteroid " : "The comet ") + body.Name.str();
    s.Magnitude = body.Magnitude == -100 ? "unknown" : Fixed(body.Magnitude, 1);
    s.Period = orUnknown(body.Period, 3);
    s.Eccentricity = orUnknown(body.Eccentricity, 5);
    s.SemiMajor = orUnknown(body.SemiMajorAxis, 4);
  }
  return true;
}

int BodySampleCount(int kind, int index, int sampling) {
  if (kind == kSelectSolarSystem && index == 9) return sampling == 1 ? 365 : sampling == 2 ? 730 : 183;
  return sampling == 2 ? 365 : 183;
}

bool SampleBodyYear(int kind, int index, const TObserverTime& observer, double year, int count,
                    std::vector<double>& ras, std::vector<double>& decs) {
  if (count <= 0 || (kind == kSelectSolarSystem && index == 10)) return false;
  auto rec = std::make_unique<TObserverTime>(observer);
  rec->UseDaylightSaving = 0;
  const double jd0 = JulianDay(std::trunc(year), 1, 1, 12);
  ras.assign(count, 0);
  decs.assign(count, 0);
  for (int i = 0; i < count; ++i) {
    SetObserverLocalStandard(*rec, jd0 + i * 365.2422 / count);
    TSolarContext ctx{};
    TSolSysBody body{};
    // ComputeBody recomputes the Sun for every sample (the Moon's phase needs it).
    if (!ComputeBody(kind, index, *rec, ctx, body)) return false;
    ras[i] = body.RA;
    decs[i] = body.Dec;
  }
  return true;
}

TBodyPlace BodyPlaceFor(int kind, int index, const TObserverTime& observer, THorizon horizon) {
  const bool sun = kind == kSelectSolarSystem && index == 10;
  const bool moon = kind == kSelectSolarSystem && index == 9;
  const bool planet = kind == kSelectSolarSystem && index >= 0 && index <= 8 && index != 2;
  const bool orbit = (kind == kSelectAsteroid && index >= 0 && index < AsteroidCount) ||
                     (kind == kSelectComet && index >= 0 && index < CometCount);
  if (!sun && !moon && !planet && !orbit) return {};
  // A private record moved to each instant asked for.
  auto rec = std::make_shared<TObserverTime>(observer);
  rec->ClipBelowHorizon = 0;
  if (sun || moon) {
    // The Sun's and the Moon's places read the record's nutation only; the
    // record lives as long as the place.
    TBodyPlace place =
        sun ? SunPlace(*rec, HorizonAltitude(THorizonBody::Sun, horizon)) : MoonPlace(*rec, horizon);
    return [rec, place](double jdUT, double& ra, double& dec, double& h0) { place(jdUT, ra, dec, h0); };
  }
  const double altitude = HorizonAltitude(THorizonBody::Star, horizon);
  return [rec, kind, index, planet, altitude](double jdUT, double& ra, double& dec, double& h0) {
    SetObserverUT(*rec, jdUT);
    h0 = altitude;
    TSolSysBody body = planet ? Planets[index] : kind == kSelectAsteroid ? Asteroids[index] : Comets[index];
    body.LastJD = -1e7;
    if (planet) {
      PlanetApparentGeocentric(*rec, body, ra, dec);
      return;
    }
    // Asteroids and comets: the geometric J2000 place precessed to the date.
    TSolarContext ctx{};
    ctx.NovasOff = 1;
    CalcEarthOrbit(ctx, *rec);
    CalcOrbitBody(ctx, *rec, body);
    ra = body.RA;
    dec = body.Dec;
    SetPrecession(*rec, 2451545.0, rec->JD_TT);
    Precess(*rec, ra, dec);
  };
}
