// Scenes for the chart tests: a plotter made ready for calling single chart
// layers, and a small object database of the tests' own rows.
#pragma once

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

// Area of the polygon of n points (the phase discs), square pixels.
inline double PolygonArea(const QPoint* pts, int n) {
  double a = 0;
  for (int i = 0; i < n; ++i) {
    const QPoint& p = pts[i];
    const QPoint& q = pts[(i + 1) % n];
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
