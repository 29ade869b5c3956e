// Refraction and coordinate transforms.
#include "astro/transforms.h"

#include <cmath>

#include "astro/observer.h"

namespace {

// Arcminutes per radian.
constexpr double kArcminPerRad = 3437.746770784939;

// Table index trunc(altitude in hundredths of a degree), clamped into the
// table; false for a non-finite altitude.
bool TableIndex(double altitude, int& index) {
  double i = std::trunc(altitude * DegPerRad * 100.0);
  if (!std::isfinite(i)) return false;
  if (i < -200) i = -200;
  if (i > 9000) i = 9000;
  index = int(i);
  return true;
}

}  // namespace

bool SetAtmosphere(TObserverTime& rec, double temperature, double pressure) {
  // Refuse values no atmosphere has (and the division by 273 + T = 0).
  if (!(temperature >= MinTemperatureC && temperature <= MaxTemperatureC)) return false;
  if (!(pressure >= MinPressureMbar && pressure <= MaxPressureMbar)) return false;
  rec.Temperature = temperature;
  rec.Pressure = pressure;
  BuildRefractionTable(rec);
  return true;
}

void BuildRefractionTable(TObserverTime& rec) {
  // Scale of the standard formula for temperature and pressure.
  double f = 283.0 / (273.0 + rec.Temperature) * (rec.Pressure / 1010.0);
  for (int i = -200; i <= 9000; ++i) {
    // Saemundsson: refraction in arcminutes at true altitude h degrees.
    double h = i / 100.0;
    double r = 1.02 / std::tan((h + 10.3 / (h + 5.11)) / DegPerRad);
    rec.RefractionTable[i] = r / kArcminPerRad * f;
  }
}

void Refract(const TObserverTime& rec, double& altitude) {
  // Only true altitudes inside the table (-2° .. 90°).
  double i = std::trunc(altitude * DegPerRad * 100.0);
  if (!(i >= -200 && i <= 9000)) return;
  altitude += rec.RefractionTable[int(i)];
}

void Unrefract(const TObserverTime& rec, double& altitude) {
  // Only apparent altitudes from 0° to 90°.
  double i = std::trunc(altitude * DegPerRad * 100.0);
  if (!(i >= 0 && i <= 9000)) return;
  // First guess from the apparent altitude, then four refinements at the
  // true altitude found (the index is kept inside the table).
  double t = altitude - rec.RefractionTable[int(i)];
  for (int k = 0; k < 4; ++k) {
    int j;
    if (!TableIndex(t, j)) return;
    t = altitude - rec.RefractionTable[j];
  }
  altitude = t;
}

void EquatorialToHorizontal(const TObserverTime& rec, double& altitude, double& azimuth, double ra,
                            double dec) {
  // Hour angle and the sine of the altitude.
  double h = rec.LocalSidereal - ra;
  double sd = std::sin(dec), cd = std::cos(dec), ch = std::cos(h);
  double s = sd * rec.SinLatitude + cd * rec.CosLatitude * ch;
  // Bodies at or below the horizon are not computed when clipping.
  if (s <= 0 && rec.ClipBelowHorizon != 0) {
    altitude = -1.0;
    azimuth = 0.0;
    return;
  }
  altitude = ArcSinR(s);
  // Azimuth from north through east; atan2 stays exact near the meridian
  // and at the poles.
  double az = std::atan2(-cd * std::sin(h), sd * rec.CosLatitude - cd * rec.SinLatitude * ch);
  ReduceRadians(az);
  azimuth = az;
}

void HorizontalToEquatorial(const TObserverTime& rec, double& ra, double& dec, double azimuth,
                            double altitude) {
  double sa = std::sin(altitude), ca = std::cos(altitude), cz = std::cos(azimuth);
  // Declination.
  dec = ArcSinR(cz * ca * rec.CosLatitude + sa * rec.SinLatitude);
  // Hour angle, west positive.
  double h = std::atan2(-ca * std::sin(azimuth), sa * rec.CosLatitude - ca * rec.SinLatitude * cz);
  // Right ascension from the local sidereal time.
  double r = rec.LocalSidereal - h;
  ReduceRadians(r);
  ra = r;
}

void EclipticToEquatorialEps(double eps, double& ra, double& dec, double lambda, double beta) {
  double se = std::sin(eps), ce = std::cos(eps);
  double sb = std::sin(beta), cb = std::cos(beta), sl = std::sin(lambda);
  dec = ArcSinR(sb * ce + cb * se * sl);
  double r = std::atan2(sl * ce * cb - sb * se, std::cos(lambda) * cb);
  ReduceRadians(r);
  ra = r;
}

void EquatorialToEclipticEps(double eps, double& beta, double& lambda, double ra, double dec) {
  double se = std::sin(eps), ce = std::cos(eps);
  double sd = std::sin(dec), cd = std::cos(dec), sr = std::sin(ra);
  beta = ArcSinR(sd * ce - cd * se * sr);
  double l = std::atan2(sr * ce * cd + sd * se, std::cos(ra) * cd);
  ReduceRadians(l);
  lambda = l;
}

void EclipticToEquatorial(const TObserverTime& rec, double& ra, double& dec, double lambda,
                          double beta) {
  EclipticToEquatorialEps(rec.Obliquity, ra, dec, lambda, beta);
}

void EquatorialToEcliptic(const TObserverTime& rec, double& beta, double& lambda, double ra,
                          double dec) {
  EquatorialToEclipticEps(rec.Obliquity, beta, lambda, ra, dec);
}

void TopocentricParallax(const TObserverTime& rec, double& raTopo, double& decTopo,
                         double distanceKm, double ra, double dec) {
  // Geocentric place of the observer: ρ sin φ', ρ cos φ' in Earth radii.
  double h = rec.LocalSidereal - ra;
  double u = std::atan(0.996647 * rec.TanLatitude);
  double k = rec.Height / 6378140.0;
  double rhoSin = 0.996647 * std::sin(u) + k * rec.SinLatitude;
  double rhoCos = std::cos(u) + k * rec.CosLatitude;
  // Distance in Earth radii.
  double r = distanceKm / 6378.16;
  // Shift in right ascension (Meeus eq. 40.2, times r).
  double cd = std::cos(dec), sd = std::sin(dec), ch = std::cos(h);
  double delta = std::atan2(rhoCos * std::sin(h), r * cd - rhoCos * ch);
  raTopo = ra - delta;
  // Declination (Meeus eq. 40.3, times r).
  decTopo = std::atan2((r * sd - rhoSin) * std::cos(delta), r * cd - rhoCos * ch);
}
