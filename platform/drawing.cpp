#include "platform/drawing.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QScreen>
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <numbers>

namespace platform {

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t p = int64_t(a) * int64_t(b);
  const bool negative = (p < 0) != (c < 0);
  const uint64_t ap = uint64_t(p < 0 ? -p : p);
  const uint64_t ac = uint64_t(c < 0 ? -int64_t(c) : int64_t(c));
  // Round half away from zero; a result outside 32 bits gives -1.
  const uint64_t q = (ap + ac / 2) / ac;
  if (q > uint64_t(INT32_MAX)) return -1;
  return negative ? -int32_t(q) : int32_t(q);
}

namespace {

int ScreenDpi(bool vertical) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      return int(std::lround(vertical ? screen->logicalDotsPerInchY() : screen->logicalDotsPerInchX()));
  }
  return 96;
}

QColor ToQColor(ColorRef c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
QColor FillColor(const Brush& b) { return QColor(RedOf(b.color), GreenOf(b.color), BlueOf(b.color), b.alpha); }

bool FaceIs(const std::string& face, const char* name) {
  return QString::fromStdString(face).trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// Unicode letters for the symbol-font codes 'A'..'Z' and 'a'..'z'.
constexpr char16_t kSymbolUpper[26] = {
    u'\u0391', u'\u0392', u'\u03A7', u'\u0394', u'\u0395', u'\u03A6', u'\u0393', u'\u0397', u'\u0399',
    u'\u03D1', u'\u039A', u'\u039B', u'\u039C', u'\u039D', u'\u039F', u'\u03A0', u'\u0398', u'\u03A1',
    u'\u03A3', u'\u03A4', u'\u03A5', u'\u03C2', u'\u03A9', u'\u039E', u'\u03A8', u'\u0396'};
constexpr char16_t kSymbolLower[26] = {
    u'\u03B1', u'\u03B2', u'\u03C7', u'\u03B4', u'\u03B5', u'\u03C6', u'\u03B3', u'\u03B7', u'\u03B9',
    u'\u03D5', u'\u03BA', u'\u03BB', u'\u03BC', u'\u03BD', u'\u03BF', u'\u03C0', u'\u03B8', u'\u03C1',
    u'\u03C3', u'\u03C4', u'\u03C5', u'\u03D6', u'\u03C9', u'\u03BE', u'\u03C8', u'\u03B6'};

QString SymbolToGreekQ(const std::string& text) {
  QString out;
  out.reserve(int(text.size()));
  const QString in = QString::fromUtf8(text.data(), qsizetype(text.size()));
  for (QChar ch : in) {
    const char16_t u = ch.unicode();
    if (u >= u'A' && u <= u'Z') out += QChar(kSymbolUpper[u - u'A']);
    else if (u >= u'a' && u <= u'z') out += QChar(kSymbolLower[u - u'a']);
    else out += ch;
  }
  return out;
}

}  // namespace

int ScreenDpiX() { return ScreenDpi(false); }
int ScreenDpiY() { return ScreenDpi(true); }

// --- Fonts ----------------------------------------------------------------------

std::string SubstituteFace(const std::string& face, FontFamily family) {
  if (QString::fromStdString(face).contains(QLatin1String("Symbol"), Qt::CaseInsensitive)) return "DejaVu Sans";
  if (FaceIs(face, "Arial")) return "Liberation Sans";
  if (FaceIs(face, "Times New Roman")) return "Liberation Serif";
  if (FaceIs(face, "Courier New")) return "Liberation Mono";
  if (!QString::fromStdString(face).trimmed().isEmpty()) return face;
  switch (family) {
    case FontFamily::Roman: return "Liberation Serif";
    case FontFamily::Modern: return "Liberation Mono";
    default: return "Liberation Sans";
  }
}

std::string SymbolToGreek(const std::string& text) { return SymbolToGreekQ(text).toStdString(); }

Font::Font(const LogFont& log) : log_(log) {
  font_.setFamily(QString::fromStdString(SubstituteFace(log.face, log.family)));
  font_.setWeight(QFont::Weight(log.weight <= 0 ? 400 : std::clamp(log.weight, 1, 1000)));
  font_.setItalic(log.italic);
  font_.setHintingPreference(QFont::PreferNoHinting);
  font_.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  // A negative height is the em height; a positive one the cell height
  // (ascent + descent), reached by scaling the em height.
  const int cell = log.height == 0 ? 16 : log.height;
  int em = cell < 0 ? -cell : cell;
  font_.setPixelSize(std::max(1, em));
  if (cell > 0) {
    const QFontMetricsF m(font_);
    const double h = m.ascent() + m.descent();
    if (h > 0) em = std::max(1, int(std::lround(cell * double(em) / h)));
    font_.setPixelSize(em);
  }
  // A requested average width becomes a horizontal stretch.
  if (log.width > 0) {
    const QFontMetricsF m(font_);
    const double avg = m.averageCharWidth();
    if (avg > 0) font_.setStretch(std::clamp(int(std::lround(100.0 * log.width / avg)), 1, 4000));
  }
}

QSize Font::Extent(const std::string& text, const QString& shown, const QPaintDevice* device) const {
  // Texts kept at most; then the store starts afresh.
  constexpr std::size_t kMaxExtents = 4096;
  const int dpiX = device ? device->logicalDpiX() : 0, dpiY = device ? device->logicalDpiY() : 0;
  std::string key = std::to_string(dpiX) + ',' + std::to_string(dpiY) + '|' + text;
  {
    const std::lock_guard<std::mutex> lock(extentsLock_);
    const auto it = extents_.find(key);
    if (it != extents_.end()) return it->second;
  }
  const QFontMetrics m(font_, device);
  const QSize extent(m.horizontalAdvance(shown), m.ascent() + m.descent());
  const std::lock_guard<std::mutex> lock(extentsLock_);
  if (extents_.size() >= kMaxExtents) extents_.clear();
  extents_.emplace(std::move(key), extent);
  return extent;
}

FontHandle CreateFont(const LogFont& log) { return std::make_shared<const Font>(log); }

// --- The context ------------------------------------------------------------------

DrawingContext::DrawingContext(QPaintDevice* device) : painter_(device) { Setup(); }

DrawingContext::DrawingContext(Bitmap& bitmap) {
  if (!bitmap.IsNull()) painter_.begin(&bitmap.Image());
  Setup();
}

DrawingContext::~DrawingContext() {
  if (painter_.isActive()) painter_.end();
}

void DrawingContext::Setup() {
  if (!painter_.isActive()) return;
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
  pen_ = Pen::Solid(1, 0);
  brush_ = Brush::Solid(0x00FFFFFF);
  ApplyPen();
  ApplyBrush();
}

int DrawingContext::DpiX() const { return painter_.device() ? painter_.device()->logicalDpiX() : ScreenDpiX(); }
int DrawingContext::DpiY() const { return painter_.device() ? painter_.device()->logicalDpiY() : ScreenDpiY(); }

void DrawingContext::ApplyPen() {
  if (!painter_.isActive()) return;
  if (pen_.IsNull()) {
    painter_.setPen(Qt::NoPen);
    return;
  }
  QPen p(ToQColor(pen_.color));
  p.setWidth(pen_.style == PenStyle::Dot ? 1 : std::max(1, pen_.width));
  if (pen_.style == PenStyle::Dot) {
    p.setDashPattern({3.0, 3.0});
    p.setCapStyle(Qt::FlatCap);
  } else if (pen_.style == PenStyle::DashDot) {
    // The pattern counts in pen widths: lengths in pixels divided by the width.
    const double w = p.width();
    p.setDashPattern({8.0 / w, 4.0 / w, 2.0 / w, 4.0 / w});
    p.setCapStyle(Qt::FlatCap);
  } else if (p.width() <= 1) {
    // A one-pixel line leaves out its end point.
    p.setCapStyle(Qt::FlatCap);
  } else {
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
  }
  painter_.setPen(p);
}

void DrawingContext::ApplyBrush() {
  if (!painter_.isActive()) return;
  if (brush_.IsNull()) painter_.setBrush(Qt::NoBrush);
  else painter_.setBrush(QBrush(FillColor(brush_)));
}

void DrawingContext::SelectPen(const Pen& pen) {
  pen_ = pen;
  ApplyPen();
}

void DrawingContext::SelectBrush(const Brush& brush) {
  brush_ = brush;
  ApplyBrush();
}

void DrawingContext::SelectFont(const FontHandle& font) { font_ = font; }

void DrawingContext::SetClipRect(int left, int top, int right, int bottom) {
  if (painter_.isActive()) painter_.setClipRect(QRect(left, top, right - left, bottom - top));
}

void DrawingContext::ClearClip() {
  if (painter_.isActive()) painter_.setClipping(false);
}

void DrawingContext::MoveTo(int x, int y) { position_ = QPoint(x, y); }

void DrawingContext::LineTo(int x, int y) {
  const QPoint to(x, y);
  if (painter_.isActive() && !pen_.IsNull() && to != position_) painter_.drawLine(position_, to);
  position_ = to;
}

void DrawingContext::Polyline(const std::vector<QPoint>& points) {
  if (!painter_.isActive() || pen_.IsNull() || points.size() < 2) return;
  painter_.drawPolyline(points.data(), int(points.size()));
}

void DrawingContext::Rectangle(int left, int top, int right, int bottom) {
  if (!painter_.isActive() || right <= left || bottom <= top) return;
  if (pen_.IsNull()) {
    // Without a pen the filled area is one pixel smaller on the right and bottom.
    if (!brush_.IsNull()) painter_.fillRect(QRect(left, top, right - left - 1, bottom - top - 1), FillColor(brush_));
    return;
  }
  if (!brush_.IsNull()) painter_.fillRect(QRect(left, top, right - left, bottom - top), FillColor(brush_));
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
  ApplyBrush();
}

void DrawingContext::Ellipse(int left, int top, int right, int bottom) {
  if (!painter_.isActive() || right <= left || bottom <= top) return;
  painter_.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
}

void DrawingContext::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight) {
  if (!painter_.isActive() || right <= left || bottom <= top) return;
  painter_.drawRoundedRect(QRect(left, top, right - left - 1, bottom - top - 1), cornerWidth / 2.0,
                           cornerHeight / 2.0, Qt::AbsoluteSize);
}

void DrawingContext::Polygon(const std::vector<QPoint>& points) {
  if (!painter_.isActive() || points.size() < 2) return;
  painter_.drawPolygon(points.data(), int(points.size()), winding_ ? Qt::WindingFill : Qt::OddEvenFill);
}

void DrawingContext::PolygonF(const std::vector<QPointF>& points) {
  if (!painter_.isActive() || points.size() < 2) return;
  // The painter's pixel (i, j) spans i..i + 1, j..j + 1: shift by half a pixel.
  std::vector<QPointF> shifted(points);
  for (QPointF& p : shifted) p += QPointF(0.5, 0.5);
  painter_.drawPolygon(shifted.data(), int(shifted.size()), winding_ ? Qt::WindingFill : Qt::OddEvenFill);
}

void DrawingContext::FillRect(int left, int top, int right, int bottom, const Brush& brush) {
  if (!painter_.isActive() || brush.IsNull() || right <= left || bottom <= top) return;
  painter_.fillRect(QRect(left, top, right - left, bottom - top), FillColor(brush));
}

void DrawingContext::Arc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  if (!painter_.isActive() || pen_.IsNull() || right <= left || bottom <= top) return;
  const QRectF box(left, top, right - left - 1, bottom - top - 1);
  const double rx = box.width() / 2, ry = box.height() / 2;
  const QPointF c = box.center();
  // Qt measures elliptic arcs by the parametric angle; the rays given here
  // are turned into it (y grows downwards on the device).
  auto angle = [&](int x, int y) {
    const double a = std::atan2((c.y() - y) / std::max(ry, 1e-9), (x - c.x()) / std::max(rx, 1e-9));
    return a * 180.0 / std::numbers::pi;
  };
  const double a0 = angle(xStart, yStart);
  double span = angle(xEnd, yEnd) - a0;
  // Into (0, 360]: the angles lie in [-180, 180], so one turn at most.
  if (span <= 0) span = std::fmod(span, 360.0) + 360.0;
  if (span > 360.0) span = 360.0;
  painter_.drawArc(box, int(std::lround(a0 * 16)), int(std::lround(span * 16)));
}

void DrawingContext::SetPixel(int x, int y, ColorRef color) {
  if (!painter_.isActive()) return;
  painter_.fillRect(QRect(x, y, 1, 1), ToQColor(color));
}

QString DrawingContext::TextFor(const std::string& text) const {
  if (font_ && font_->Log().symbolCharset) return SymbolToGreekQ(text);
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

namespace {
const Font& DefaultFont() {
  static const Font font(LogFont{.height = 16, .weight = 400, .face = "Arial"});
  return font;
}
}  // namespace

QSize DrawingContext::TextExtent(const std::string& text) {
  return (font_ ? *font_ : DefaultFont()).Extent(text, TextFor(text), painter_.device());
}

void DrawingContext::TextOut(int x, int y, const std::string& text) {
  if (!painter_.isActive() || text.empty()) return;
  const Font& font = font_ ? *font_ : DefaultFont();
  const QFont& f = font.QtFont();
  const QString s = TextFor(text);
  const QSize extent = font.Extent(text, s, painter_.device());
  const int width = extent.width();
  // Horizontal reference: left edge, centre or right edge of the text.
  int x0 = x;
  if ((textAlign_ & kAlignCenter) == kAlignCenter) x0 = x - width / 2;
  else if (textAlign_ & kAlignRight) x0 = x - width;
  // A text whose cell lies wholly off the device, farther than any glyph
  // reaches beyond its cell (a cell height), draws nothing: not laid out.
  const QPaintDevice* device = painter_.device();
  const int reach = 2 * extent.height() + 2;
  if (device && painter_.transform().isIdentity() &&
      (x0 + width + reach < 0 || x0 - reach > device->width() || y + reach < 0 || y - reach > device->height()))
    return;
  const QFontMetrics m(f, device);
  // Vertical reference: top of the cell, baseline or bottom of the cell.
  int baseline = y + m.ascent();
  if ((textAlign_ & kAlignBaseline) == kAlignBaseline) baseline = y;
  else if (textAlign_ & kAlignBottom) baseline = y - m.descent();
  if (!bkTransparent_)
    painter_.fillRect(QRect(x0, baseline - m.ascent(), width, m.ascent() + m.descent()), ToQColor(bkColor_));
  painter_.setFont(f);
  painter_.setPen(ToQColor(textColor_));
  painter_.drawText(QPoint(x0, baseline), s);
  ApplyPen();
}

void DrawingContext::DrawBitmap(int dx, int dy, const Bitmap& source, int sx, int sy, int w, int h) {
  if (!painter_.isActive() || source.IsNull()) return;
  if (w < 0) w = source.Width() - sx;
  if (h < 0) h = source.Height() - sy;
  if (w <= 0 || h <= 0) return;
  painter_.drawImage(QPoint(dx, dy), source.Image(), QRect(sx, sy, w, h));
}

void DrawingContext::StretchBitmap(int dx, int dy, int dw, int dh, const Bitmap& source) {
  if (!painter_.isActive() || source.IsNull() || dw <= 0 || dh <= 0) return;
  painter_.drawImage(QRect(dx, dy, dw, dh), source.Image());
}

}  // namespace platform
