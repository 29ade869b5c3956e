#include "chart/star_sphere.h"

#include <algorithm>
#include <cmath>

#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/graph_misc.h"
#include "chart/inset_host.h"
#include "chart/plotter.h"
#include "chart/ring.h"
#include "chart/screen_layout.h"
#include "platform/drawing.h"
#include "shell/globals.h"

using platform::Bitmap;
using platform::Brush;
using platform::DrawingContext;
using platform::Pen;

int16_t StarSphereRing = 0;
int32_t SphereRadiusX = 0;
int32_t SphereRadiusY = 0;
QRect StarSphereRect;
Bitmap* SphereFrameBitmap = nullptr;
Bitmap* SphereChartBitmap = nullptr;

namespace {

constexpr int kInset = 400;
constexpr double kHalfPi = 1.5707963267948966;
const uint32_t kSurround = platform::MakePixel(0, 255, 0);

// Top-left corner of the inset bitmaps on the chart: the bitmap's centre
// (200, 200) at (10 + RG, 10 + GuideSize).
QPoint InsetOrigin() {
  const int32_t rg = int32_t(std::nearbyint(GuideSize * InsetAspect));
  return {10 + rg - kInset / 2, 10 + GuideSize - kInset / 2};
}

void InvalidateStarSphere() {
  InvalidateInsetRect(StarSphereRect.left(), StarSphereRect.top(), StarSphereRect.right() + 1,
                      StarSphereRect.bottom() + 1);
}

}  // namespace

bool InitStarSphereBuffers() {
  SphereFrameBitmap = CreateAutoBitmap(kInset, kInset);
  SphereChartBitmap = CreateAutoBitmap(kInset, kInset);
  return SphereFrameBitmap != nullptr && SphereChartBitmap != nullptr;
}

void PrepareSpherePlotter(tPlotter& p, int32_t r) {
  p.OutputKind = kOutputStarSphere;
  p.Zoom = 1.0;
  p.SphereMagnitudeLimit = 3.0;
  p.ConstellationNames = 0;
  p.ConstellationLines = 2;
  p.ConstellationBoundaries = 0;
  p.ShowGrid = 0;
  p.GridKind = 0;
  p.GridLabels = 0;
  p.GridAutoSpacing = 1;
  p.GridSpacingLevel = 0;
  p.ShowObjects = 0;
  p.ObjectLabels = 0;
  p.SolarSwitchReserved1 = 0;
  p.StarIdentification = 0;
  p.StarDiscs = 0;
  p.StarOptionA = 1;
  p.Width = 2 * int32_t(r * InsetAspect) - 1;
  p.Height = 2 * r - 1;
  p.DpiX = platform::ScreenDpiX();
  p.DpiY = platform::ScreenDpiY();
  p.ChartLeft = 198 - p.Width / 2;
  p.ChartTop = 198 - p.Height / 2;
  p.Aspect = InsetAspect;
}

void SetStarSphereSize(int16_t size) {
  // 1.-2. Size and ring.
  if (size == 0) return;
  GuideSize = size;
  StarSphereRing = int16_t(size / 25);
  const int32_t r1 = size - StarSphereRing;
  if (r1 <= 0) return;
  // 3. Hit-test radii and the plotter.
  SphereRadiusX = int32_t(size * InsetAspect);
  SphereRadiusY = size;
  if (SpherePlotter != nullptr) PrepareSpherePlotter(*SpherePlotter, r1);
  if (SphereFrameBitmap == nullptr || SphereChartBitmap == nullptr) return;
  // 4. The frame: green surround, dark disc, warm ring.
  {
    DrawingContext dc(*SphereFrameBitmap);
    dc.SelectPen(Pen::Solid(1, platform::PixelToColorRef(kSurround)));
    dc.SelectBrush(Brush::Solid(platform::PixelToColorRef(kSurround)));
    dc.Rectangle(0, 0, kInset, kInset);  // every pixel, the last row and column too
    const int32_t rx = int32_t(r1 * InsetAspect);
    const platform::ColorRef disc = ColorForMode(10, 10, 10);  // red in night vision
    dc.SelectPen(Pen::Solid(1, disc));
    dc.SelectBrush(Brush::Solid(disc));
    dc.Ellipse(200 - rx, 200 - r1, 200 + rx, 200 + r1);
  }
  DrawRing(*SphereFrameBitmap, 200, 200, r1, StarSphereRing, 1);
  // 5. The chart bitmap starts as the frame, keyed on the green surround.
  SphereChartBitmap->Image() = SphereFrameBitmap->Image().copy();
  SphereChartBitmap->SetElement(0, SphereChartBitmap->Element(kInset));
}

void DrawStarSphere() {
  // 1. Size and plotter.
  if (GuideSize == 0 || SphereFrameBitmap == nullptr || SphereChartBitmap == nullptr) return;
  StarSphereRing = int16_t(GuideSize / 25);
  const int32_t r2 = GuideSize - 2 * StarSphereRing;
  if (r2 <= 0) return;
  if (SpherePlotter != nullptr) PrepareSpherePlotter(*SpherePlotter, r2);
  // 2. The disc colour everywhere.
  const uint32_t disc = SphereFrameBitmap->Element(80200);
  SphereChartBitmap->Fill(disc);
  const bool located = ObserverLocationSet.load() == 1 && SpherePlotter != nullptr;
  {
    DrawingContext dc(*SphereChartBitmap);
    // 3. The main chart's field of view.
    if (located && MainPlotter != nullptr && MainPlotter->Zoom > 0) {
      const int32_t rx = std::min(int32_t(r2 * InsetAspect / MainPlotter->Zoom * 1.3), 4 * kInset);
      const int32_t ry = std::min(int32_t(r2 / MainPlotter->Zoom), 4 * kInset);
      int32_t cy = 199;
      if (!MainPlotter->ZenithView)
        cy = int32_t((kHalfPi - MainPlotter->CentreAlt) / kHalfPi * (SpherePlotter->Height / 2.0 * SpherePlotter->Zoom)) +
             199;
      const platform::ColorRef fov = ColorForMode(50, 50, 150);
      dc.SelectPen(Pen::Solid(1, fov));
      dc.SelectBrush(Brush::Solid(fov));
      dc.Ellipse(199 - rx, cy - ry, 199 + rx, cy + ry);
    }
    // 4. The sky.
    if (located) SpherePlotter->Plot(dc, SphereChartBitmap);
  }
  // 5. The frame over it; its disc colour is the key, so the sky shows there.
  const uint32_t keptFirst = SphereFrameBitmap->Element(0);
  SphereFrameBitmap->SetElement(0, SphereFrameBitmap->Element(80199));
  BlitTransparentTo(*SphereFrameBitmap, 0, 0, kInset, kInset, *SphereChartBitmap, 0, 0);
  SphereFrameBitmap->SetElement(0, keptFirst);
  // 6. Painting's key: the green surround.
  SphereChartBitmap->SetElement(0, SphereChartBitmap->Element(kInset));
  // 7. Repaint.
  MarkRepaint(kRepaintStarSphere);
  InvalidateStarSphere();
}

void PlaceStarSphere() {
  const int32_t rg = int32_t(std::nearbyint(GuideSize * InsetAspect));
  StarSphereRect = QRect(QPoint(10, 10), QPoint(10 + 2 * rg, 10 + 2 * GuideSize));
}

void ComposeStarSphere(Bitmap& backBuffer) {
  if (GuideSize == 0 || SphereChartBitmap == nullptr) return;
  const QPoint o = InsetOrigin();
  BlitTransparent(*SphereChartBitmap, 0, 0, kInset, kInset, backBuffer, o.x(), o.y());
}

bool StarSpherePointToRaDec(int32_t x, int32_t y, double& ra, double& dec, double& alt, double& az) {
  if (GuideSize == 0 || SpherePlotter == nullptr) return false;
  // The point in the sphere chart's own coordinates (the exact inverse of
  // the placement of ComposeStarSphere).
  const QPoint o = InsetOrigin();
  const int32_t lx = x - o.x() - SpherePlotter->ChartLeft;
  const int32_t ly = y - o.y() - SpherePlotter->ChartTop;
  return SpherePlotter->ScreenToRaDec(lx, ly, ra, dec, alt, az);
}

bool StarSphereClick(uint8_t button, int32_t x, int32_t y) {
  // 1. Only on the sphere.
  double ra = 0, dec = 0, alt = 0, az = 0;
  if (GuideSize == 0 || !StarSpherePointToRaDec(x, y, ra, dec, alt, az)) return false;
  if (button == 0) {
    // 2. Centre the main chart there.
    if (MainPlotter != nullptr) {
      if (MainPlotter->CentreOnHorizon) {
        MainPlotter->HeldAlt = alt;
        MainPlotter->HeldAz = az;
      } else {
        MainPlotter->SetViewCenter(ra, dec);
      }
      MainPlotter->ZenithView = 0;
      MainPlotter->RequestReplot();
      MainPlotter->Replot = 1;
    }
  } else {
    // 3. The inset's menu.
    PopupInsetMenu(InsetMenu::StarSphere, x, y);
  }
  return true;
}

bool InsideStarSphere(int32_t x, int32_t y) {
  if (GuideSize == 0 || SphereRadiusX <= 0 || SphereRadiusY <= 0) return false;
  const double dx = std::fabs(x - (10.0 + SphereRadiusX)) / SphereRadiusX;
  const double dy = std::fabs(y - (10.0 + SphereRadiusY)) / SphereRadiusY;
  return std::sqrt(dx * dx + dy * dy) <= 1.1;
}
