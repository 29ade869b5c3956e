// The chart projection: azimuthal equidistant about the zenith, turned so
// that the view centre's azimuth points straight down the chart, and shifted
// upwards so that the view centre falls on the chart centre.
//
// TProjection holds the per-render values of one plotter (filled by the
// render, tPlotter::SetupProjection) and gives the three forward forms.
// Every forward form reports whether its result is usable: a point whose
// offset from the chart centre exceeds 32767 pixels on either axis is
// invisible (the limit of 16-bit device coordinates that the chart's line
// and point code keeps; filled shapes use ProjectUnclamped instead).
//
// The projection does not test the altitude: points below the horizon land
// outside the horizon circle like any other point.
#pragma once

#include <cmath>
#include <cstdint>

struct TProjection {
  // Rotation: the view centre's azimuth plus π, radians.
  double Rotation = 0;
  // Scales: pixels per radian of zenith distance, horizontally and vertically.
  double Sx = 0;
  double Sy = 0;
  // Vertical shift that puts the view centre at the chart centre, pixels.
  double HorizonOffset = 0;
  // Chart centre (Width / 2, Height / 2) and the chart's top-left corner in
  // the target bitmap.
  double CentreX = 0;
  double CentreY = 0;
  double OriginX = 0;
  double OriginY = 0;
  // Result of the last forward projection: 1 usable, 0 beyond the limit.
  uint8_t Visible = 0;
  // The x a point beyond the limit gets: -1 on the main chart, 32767 in
  // the magnifier.
  int32_t OffLimitX = -1;

  // Offset (dx, dy) of (altitude, azimuth) from the chart centre, pixels,
  // before any limit: dx = sin(az - centre az) * z * Sx,
  // dy = cos(az - centre az) * z * Sy - HorizonOffset, z = π/2 - altitude.
  void Offset(double altitude, double azimuth, double& dx, double& dy) const {
    const double d = azimuth - Rotation;
    const double z = 1.5707963267948966 - altitude;
    dx = -std::sin(d) * z * Sx;
    dy = -std::cos(d) * z * Sy - HorizonOffset;
  }

  // The offset and the limit test: the visible flag, false beyond 32767
  // pixels on either axis (the limit itself passes).
  bool LimitedOffset(double altitude, double azimuth, double& dx, double& dy) {
    Offset(altitude, azimuth, dx, dy);
    Visible = std::fabs(dx) <= 32767.0 && std::fabs(dy) <= 32767.0 ? 1 : 0;
    return Visible != 0;
  }

  // ProjectToChart: chart point (Doubles, origin included). False (and x
  // := OffLimitX, y unwritten) beyond the limit.
  bool ToChart(double altitude, double azimuth, double& x, double& y) {
    double dx, dy;
    if (!LimitedOffset(altitude, azimuth, dx, dy)) return x = OffLimitX, false;
    x = dx + CentreX + OriginX;
    y = dy + CentreY + OriginY;
    return true;
  }

  // ProjectToPixel: the same rounded to whole pixels (halves to even).
  bool ToPixel(double altitude, double azimuth, int32_t& x, int32_t& y) {
    return ToPixelFrom(altitude, azimuth, CentreX + OriginX, CentreY + OriginY, x, y);
  }

  // ProjectToPixelLocal: rounded, without the origin (chart-local pixels).
  bool ToPixelLocal(double altitude, double azimuth, int32_t& x, int32_t& y) {
    return ToPixelFrom(altitude, azimuth, CentreX, CentreY, x, y);
  }

  // The chart point without the limit (for filled shapes, which clip it
  // themselves); the visible flag is not touched.
  void Unclamped(double altitude, double azimuth, double& x, double& y) const {
    double dx, dy;
    Offset(altitude, azimuth, dx, dy);
    x = dx + CentreX + OriginX;
    y = dy + CentreY + OriginY;
  }

 private:
  bool ToPixelFrom(double altitude, double azimuth, double x0, double y0, int32_t& x, int32_t& y) {
    double dx, dy;
    if (!LimitedOffset(altitude, azimuth, dx, dy)) return x = OffLimitX, false;
    x = int32_t(std::nearbyint(dx + x0));
    y = int32_t(std::nearbyint(dy + y0));
    return true;
  }
};

// A frame whose zenith is a chosen centre (the magnifier chart): the
// "altitude" of a position is 90° minus its distance from the centre and
// its "azimuth" the bearing from the centre, north through east. Projected
// with rotation 0 the chart has north up and east to the left.
struct TCentredFrame {
  bool Active = false;
  double SinDec0 = 0;
  double CosDec0 = 1;
  double RA0 = 0;
  // SetProjectionCentre: keeps sin δ0, cos δ0 and α0 (radians).
  void SetCentre(double dec0, double ra0);
  // CentredPosition: altitude and bearing (radians) of (ra, dec) about the
  // centre; the bearing lies in [0, 2π].
  void Position(double ra, double dec, double& alt, double& bearing) const;
};

namespace platform {
class Bitmap;
}
// The chart frame: four solid lines of width 3 in HorizonPixel, stopping at
// NearWhitePixel, from (3, 3) around the bitmap's far corner (W, H).
void DrawChartFrame(platform::Bitmap& target);
