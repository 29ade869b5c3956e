// The magnifier inset (see magnifier_inset.h).
#include "chart/magnifier_inset.h"

#include <QFont>
#include <QPainter>
#include <cmath>
#include <cstring>

#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/mag_thread.h"
#include "chart/plotter.h"
#include "chart/ring.h"
#include "platform/bitmap.h"
#include "shell/globals.h"

int32_t FieldOfViewMode = 9;
int32_t LastEyepieceMode = 0;
int32_t MagnifierSize = 0;
int16_t MagnifierFrameWidth = 0;
double MagnifierScale = 1;
double MagnifierHalfField = 0.017453292519943295;
int32_t MagnifierCentreX = 0;
int32_t MagnifierCentreY = 0;
int32_t MagnifierRadiusX = 0;
int32_t MagnifierRadiusY = 0;
platform::Bitmap* MagnifierFrameBitmap = nullptr;
platform::Bitmap* MagnifierChartBitmap = nullptr;
platform::Bitmap* MagnifierScreenBitmap = nullptr;
TMagnifierHooks MagnifierHooks;

#include "chart/magnifier_settings.h"

namespace {

constexpr double kDegPerRad = 57.29577951308232;
constexpr int kCentre = kMagnifierBitmapSize / 2;

struct TFixedField {
  double half;  // degrees
  const char* caption;
};
constexpr TFixedField kFixedFields[9] = {{1.0, "2° Field"},    {0.125, "15' Field"}, {0.25, "30' Field"},
                                         {0.5, "1° Field"},    {1.0, "2° Field"},    {2.5, "5° Field"},
                                         {5.0, "10° Field"},   {7.5, "15° Field"},   {10.0, "20° Field"}};

// Mode 9: the main chart's field estimate 6 / zoom degrees snapped to a
// fixed field.
int32_t FollowZoomField(double zoom) {
  const double d = zoom > 0 ? 6.0 / zoom : 1e9;
  if (d < 0.125) return 1;
  if (d < 0.25) return 2;
  if (d < 0.5) return 3;
  if (d < 1.0) return 4;
  if (d < 2.5) return 5;
  return 6;
}

void CopyPixels(const platform::Bitmap& from, platform::Bitmap& to) {
  for (int y = 0; y < std::min(from.Height(), to.Height()); ++y)
    std::memcpy(to.Row(y), from.Row(y), sizeof(uint32_t) * std::size_t(std::min(from.Width(), to.Width())));
}

int32_t RingWidth() { return std::min(InsetSizeNormal / 12, 11); }

}  // namespace

bool InitMagnifierBuffers() {
  MagnifierFrameBitmap = CreateAutoBitmap(kMagnifierBitmapSize, kMagnifierBitmapSize);
  MagnifierChartBitmap = CreateAutoBitmap(kMagnifierBitmapSize, kMagnifierBitmapSize);
  MagnifierScreenBitmap = CreateAutoBitmap(kMagnifierBitmapSize, kMagnifierBitmapSize);
  return MagnifierFrameBitmap && MagnifierChartBitmap && MagnifierScreenBitmap;
}

void DoneMagnifier() {}

void MagnifierFieldCaption(int32_t mode, double& halfField, std::string& caption, double mainZoom) {
  if (caption != "no lastfieldselect") LastEyepieceMode = 0;
  double half = 1.0;
  std::string text = "2° Field";
  if (mode >= 1 && mode <= 9) {
    const int32_t f = mode == 9 ? FollowZoomField(mainZoom) : mode;
    half = kFixedFields[f].half;
    text = kFixedFields[f].caption;
  } else {
    const int32_t t = (mode % 10000) / 100;
    const int32_t e = mode / 10000;
    if (mode > 0 && t >= 1 && t <= 10 && e >= 1 && e <= 10 && TelescopeValid[t] && EyepieceValid[e] &&
        FieldTable[t][e].TrueField > 0) {
      const TFieldCell& cell = FieldTable[t][e];
      const double f = cell.TrueField;
      text = f < 1.0 ? std::to_string(int64_t(std::nearbyint(f * 60))) + "' Field"
                     : std::to_string(int64_t(std::nearbyint(f))) + "° Field";
      if (cell.Mirror == -1 && cell.Invert == -1) text += " - mir&inv";
      else if (cell.Invert == -1) text += " - inv";
      else if (cell.Mirror == -1) text += " - mir";
      LastEyepieceMode = mode;
      half = f / 2;
    }
  }
  caption = text;
  halfField = half / kDegPerRad;
}

void MagnifierFieldCaption(int32_t mode, double& halfField, std::string& caption) {
  MagnifierFieldCaption(mode, halfField, caption, MainPlotter ? MainPlotter->Zoom : 0.95);
}

int32_t MagnifierZoomStep(double halfField) {
  if (LastEyepieceMode != 0) return LastEyepieceMode;
  // The half field comes from a caption's degrees / 57.29577951308232; the
  // nano-degree allowance keeps a field of exactly 7.5° at 7.5 after the
  // round trip through radians.
  const double d = halfField * kDegPerRad + 1e-9;
  if (d >= 10) return 8;
  if (d >= 7.5) return 7;
  if (d >= 5) return 6;
  if (d >= 2.5) return 5;
  if (d >= 1) return 4;
  if (d >= 0.5) return 3;
  if (d >= 0.25) return 2;
  return 1;
}

// 2r/400 × 90 / half field in degrees: with the magnifier plotter's scale
// (Height/2 × zoom / (π/2) pixels per radian) the half field then lies r
// pixels from the centre.
double MagnifierScaleFor(int32_t innerRadius, double halfField) {
  return (2.0 * innerRadius / kMagnifierBitmapSize * 18) / (halfField * kDegPerRad / 5);
}

namespace {

// The caption along the top of the ring, one glyph at a time, each turned
// to the ring's direction at its place.
void DrawRingCaption(QPainter& p, const std::string& caption, int r, int w) {
  const QString text = QString::fromStdString(caption);
  const int n = int(text.size());
  if (n == 0) return;
  const double s = r * 3.141592653589793 * 1.4 / 360;  // pixels per degree
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  font.setFamily("Liberation Sans");
  font.setPixelSize(std::max(w * 3 / 2, 6));
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  // Dark green; in night vision a red as bright as that green (the mode's
  // mean of its channels would vanish into the ring).
  const TColorRef green = ColorMode == 2 ? ColorForMode(128, 128, 128) : ColorForMode(0, 128, 0);
  p.setPen(QColor(platform::RedOf(green), platform::GreenOf(green), platform::BlueOf(green)));
  // Whole pixels only: a blended edge over the surround would be neither
  // the transparent key nor the caption's colour.
  p.setRenderHint(QPainter::TextAntialiasing, false);
  for (int k = 1; k <= n; ++k) {
    const double a = (w + 2) * (k - 1) / s - (w + 2) * (n - 1) / (2 * s);
    const double rad = a / kDegPerRad;
    const double x = kCentre + std::sin(rad) * (w / 2.0 + r) * InsetAspect;
    const double y = kCentre - std::cos(rad) * (w / 2.0 + r);
    p.save();
    p.translate(x, y);
    p.rotate(a);
    const QRectF box(-w, -w, 2 * w, 2 * w);
    p.drawText(box, Qt::AlignCenter, text.mid(k - 1, 1));
    p.restore();
  }
}

}  // namespace

void UpdateMagnifierFrame(int32_t size, int32_t mode) {
  PauseMagnifierThread();
  std::string caption;
  MagnifierFieldCaption(mode, MagnifierHalfField, caption);
  MagnifierSize = size;
  MagnifierFrameWidth = int16_t(RingWidth());
  const int32_t r = size - MagnifierFrameWidth;
  MagnifierScale = MagnifierScaleFor(r, MagnifierHalfField);
  const int32_t poi = MagnifierHooks.currentPointOfInterest ? MagnifierHooks.currentPointOfInterest() : 0;
  std::string ring = poi != 0 ? "Location " + std::to_string(poi) + " - " + caption : "Scan - " + caption;
  if (ring.size() > 255) ring.resize(255);
  if (r >= 1 && MagnifierFrameBitmap) {
    MagnifierRadiusX = int32_t(std::nearbyint(size * InsetAspect));
    MagnifierRadiusY = size;
    platform::Bitmap& frame = *MagnifierFrameBitmap;
    frame.Fill(platform::MakePixel(0, 255, 0));
    {
      QPainter p(&frame.Image());
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      const double rx = std::nearbyint(r * InsetAspect);
      p.drawEllipse(QPointF(kCentre, kCentre), rx, double(r));
    }
    // The inset's bezel, grey (not raised), written straight into the pixels.
    DrawRing(frame, kCentre, kCentre, r, MagnifierFrameWidth, 0);
    {
      QPainter p(&frame.Image());
      DrawRingCaption(p, ring, r, MagnifierFrameWidth);
    }
    // QPainter writes an alpha byte; keep pixels as raw 0x00RRGGBB values.
    for (int y = 0; y < frame.Height(); ++y) {
      uint32_t* row = frame.Row(y);
      for (int x = 0; x < frame.Width(); ++x) row[x] &= platform::kRgbMask;
    }
    if (MagnifierScreenBitmap) CopyPixels(frame, *MagnifierScreenBitmap);
  }
  ResumeMagnifierThread();
}

bool InsideMagnifier(int32_t x, int32_t y) {
  if (MagnifierSize == 0 || MagnifierRadiusX <= 0 || MagnifierRadiusY <= 0) return false;
  const double dx = std::fabs(double(x - MagnifierCentreX)) / MagnifierRadiusX;
  const double dy = std::fabs(double(y - MagnifierCentreY)) / MagnifierRadiusY;
  return std::sqrt(dx * dx + dy * dy) <= 1.0;
}

bool InsideMagnifierMargin(int32_t x, int32_t y) {
  if (MagnifierSize == 0 || MagnifierRadiusX <= 0 || MagnifierRadiusY <= 0) return false;
  const double dx = std::fabs(double(x - MagnifierCentreX)) / MagnifierRadiusX;
  const double dy = std::fabs(double(y - MagnifierCentreY)) / MagnifierRadiusY;
  return std::sqrt(dx * dx + dy * dy) <= 1.1;
}

bool MagnifierClick(int32_t button, int32_t x, int32_t y) {
  if (!InsideMagnifier(x, y)) return false;
  const bool placing = MagnifierHooks.placingMode && MagnifierHooks.placingMode();
  if (button == 1 && !placing && MagnifierHooks.showMagMenu) MagnifierHooks.showMagMenu(x, y);
  return true;
}

void ComposeMagnifier(platform::Bitmap& backBuffer) {
  if (!MagnifierScreenBitmap || MagnifierSize <= 0) return;
  BlitTransparent(*MagnifierScreenBitmap, 0, 0, kMagnifierBitmapSize, kMagnifierBitmapSize, backBuffer,
                  MagnifierCentreX - kCentre, MagnifierCentreY - kCentre);
}

void ClearMagnifierChart() {
  if (!MagnifierChartBitmap || !MagnifierFrameBitmap) return;
  MagnifierChartBitmap->Fill(MagnifierFrameBitmap->Pixel(kCentre, kCentre) & platform::kRgbMask);
}

void OverlayMagnifierFrame() {
  if (!MagnifierChartBitmap || !MagnifierFrameBitmap) return;
  platform::Bitmap& frame = *MagnifierFrameBitmap;
  const uint32_t key = frame.Element(0);
  frame.SetElement(0, frame.Pixel(kCentre, kCentre));
  BlitTransparentTo(frame, 0, 0, kMagnifierBitmapSize, kMagnifierBitmapSize, *MagnifierChartBitmap, 0, 0);
  frame.SetElement(0, key);
  MagnifierChartBitmap->SetElement(0, key);
}

void ShowMagnifierChart() {
  if (!MagnifierChartBitmap || !MagnifierScreenBitmap) return;
  CopyPixels(*MagnifierChartBitmap, *MagnifierScreenBitmap);
  MarkRepaint(kRepaintMagnifier);
  if (MagnifierHooks.invalidateMagnifier) MagnifierHooks.invalidateMagnifier();
}
