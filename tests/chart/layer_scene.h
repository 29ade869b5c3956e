// Scenes for the chart tests: a plotter made ready for calling single chart
// layers, and a small object database of the tests' own rows.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "astro/observer.h"
#include "catalog/object_catalog.h"
#include "catalog/sqlite_db.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/plotter.h"
#include "chart/sun_moon_images.h"
#include "chart/styles.h"
#include "platform/drawing.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"

// A W x H chart at a zoom and view centre for an observer at a latitude,
// its projection set up, drawing into a bitmap through a drawing context
// and the raw pixel routines, as the render does between its setup steps
// and its layers.
struct LayerScene {
  std::unique_ptr<tPlotter> p = std::make_unique<tPlotter>();
  platform::Bitmap bitmap;
  std::unique_ptr<platform::DrawingContext> dc;

  // centreAlt, centreAz, latitude in radians; jdUT the instant.
  LayerScene(int w, int h, double zoom, double centreAlt, double centreAz, double latitude,
             double jdUT = 2451545.0)
      : bitmap(w, h) {
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
    MakeDrawingColors();
    tPlotter& t = *p;
    SetObserverLocation(t.Observer, 0, latitude, 0);
    SetObserverUT(t.Observer, jdUT);
    t.Observer.PrecessionOn = 0;
    t.Width = w;
    t.Height = h;
    t.DpiX = t.DpiY = 100;
    t.Aspect = 1;
    t.SizeUnitX = t.SizeUnitY = 4;
    t.Zoom = zoom;
    t.ChartLeft = t.ChartTop = 0;
    t.ChartRight = w;
    t.ChartBottom = h;
    t.OriginX = t.OriginY = 0;
    t.CentreAlt = centreAlt;
    t.CentreAz = centreAz;
    t.SetupProjection();
    t.VisibleBand[0] = TwoPi;
    t.VisibleBand[1] = 0;
    t.VisibleBand[2] = 1.5707963267948966;
    t.VisibleBand[3] = -1.5707963267948966;
    dc = std::make_unique<platform::DrawingContext>(bitmap);
    dc->SetBkTransparent(true);
    SetDrawTarget(bitmap);
    t.Ctx.Dc = dc.get();
    t.Ctx.Target = &bitmap;
    t.ResetOccupied();
  }
  ~LayerScene() {
    dc.reset();
    ClearDrawTarget();
  }
  LayerScene(const LayerScene&) = delete;
  LayerScene& operator=(const LayerScene&) = delete;

  // Colour of pixel (x, y) without the byte above the colour.
  uint32_t At(int x, int y) const { return bitmap.Pixel(x, y) & platform::kRgbMask; }
};

// A Moon picture whose directions can be told on the chart: a grey disc
// filling 128 x 128 pixels with a white spot towards its top (lunar north)
// and a green one towards its right (lunar east, Mare Crisium's limb),
// each 0.55 of the radius from the centre. Made the chart's MoonBitmap.
inline void UseMarkedMoonPicture() {
  Bitmap* picture = CreateAutoBitmap(128, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      // Centred where the sprite routine takes a picture's centre: column
      // 64, row 64 counted from the bottom.
      const double dx = x - 64, dy = y - 63;
      uint32_t c = 0;
      if (std::hypot(dx, dy) < 64) c = platform::MakePixel(80, 80, 80);
      if (std::hypot(dx, dy + 35) < 9) c = platform::MakePixel(255, 255, 255);
      if (std::hypot(dx - 35, dy) < 9) c = platform::MakePixel(0, 255, 0);
      picture->SetPixel(x, y, c);
    }
  MoonBitmap = picture;
}

// The direction (radians, clockwise from +x, y down) from (cx, cy) to the
// centre of the pixels within `radius` of it that `match` picks; false
// when fewer than `least` match.
template <class Match>
bool SpotDirection(const platform::Bitmap& b, int cx, int cy, int radius, int least, Match match, double& angle) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = std::max(0, cy - radius); y <= std::min(b.Height() - 1, cy + radius); ++y)
    for (int x = std::max(0, cx - radius); x <= std::min(b.Width() - 1, cx + radius); ++x)
      if (std::hypot(x - cx, y - cy) <= radius && match(b.Pixel(x, y) & platform::kRgbMask)) sx += x - cx, sy += y - cy, ++n;
  if (n < least) return false;
  angle = std::atan2(sy, sx);
  return true;
}

inline bool IsWhiteSpot(uint32_t p) { return (p & 0xFF) > 230 && ((p >> 8) & 0xFF) > 230 && ((p >> 16) & 0xFF) > 230; }
inline bool IsGreenSpot(uint32_t p) { return ((p >> 8) & 0xFF) > 200 && (p & 0xFF) < 80 && ((p >> 16) & 0xFF) < 80; }

// The point at position angle pa (north through east) and distance d from
// (ra, dec), radians, on the sphere.
inline void OffsetByPositionAngle(double ra, double dec, double pa, double d, double& ra2, double& dec2) {
  dec2 = std::asin(std::sin(dec) * std::cos(d) + std::cos(dec) * std::sin(d) * std::cos(pa));
  ra2 = ra + std::atan2(std::sin(pa) * std::sin(d) * std::cos(dec), std::cos(d) - std::sin(dec) * std::sin(dec2));
}

// Area of the polygon of n points (the phase discs), square pixels.
inline double PolygonArea(const QPointF* pts, int n) {
  double a = 0;
  for (int i = 0; i < n; ++i) {
    const QPointF& p = pts[i];
    const QPointF& q = pts[(i + 1) % n];
    a += double(p.x()) * q.y() - double(q.x()) * p.y();
  }
  return std::fabs(a) / 2;
}

// An object database of the base catalogue alone, rows numbered 1, 2, ...
// in the order added; Open() makes it the chart's catalogue (positions of
// date for ObserverTime), which the destructor closes.
struct ObjectRows {
  testing_support::TempDir dir;
  std::string path = dir.File("Objects.sqlite");
  TSQLiteDatabase db{path, true};
  int count = 0;
  ObjectRows() {
    db.Execute(std::string("CREATE TABLE BASE_OBJECT_CATALOG") + kObjectSchema);
    db.BeginTransaction();
  }
  // ra, de in radians; an empty id is the row's number.
  void Add(const std::string& cl, double ra, double de, double mv, int maA, int pa, const std::string& id = "",
           int miA = 0) {
    ++count;
    db.AddParamInt(":idx", count);
    db.AddParamText(":id", id.empty() ? std::to_string(count) : id);
    db.AddParamText(":cl", cl);
    db.AddParamFloat(":ra", ra);
    db.AddParamFloat(":de", de);
    db.AddParamFloat(":mv", mv);
    db.AddParamInt(":maa", maA);
    db.AddParamInt(":mia", miA);
    db.AddParamInt(":pa", pa);
    db.Execute("INSERT INTO BASE_OBJECT_CATALOG (idx, ID, SubID, CL, RA, DE, Mv, MaA, MiA, PA) "
               "VALUES (:idx, :id, '', :cl, :ra, :de, :mv, :maa, :mia, :pa)");
  }
  void Open() {
    db.Commit();
    ObjectCatalog = std::make_unique<tCO>(path, std::vector<std::string>{kBaseCatalogTable});
  }
  ~ObjectRows() { ObjectCatalog.reset(); }
};
