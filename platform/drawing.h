// The drawing context through which chart layers, insets and printed pages
// draw shapes and text: a small device-context model (selected pen, brush
// and font, text colour and alignment, a current position) over QPainter.
// It draws the same way on a Bitmap and on any other paint device, such as a
// printer page.
//
// Geometry follows the device-context rules the chart's layouts were made
// for: a line leaves out its end point; Rectangle and Ellipse take a
// bounding box whose right and bottom edges lie outside the shape; shapes are
// not antialiased. Text is antialiased in grey (no sub-pixel colours) and
// unhinted, so it renders the same whatever the font configuration says.
//
// Font faces are substituted by metric-compatible free fonts: "Arial" by
// Liberation Sans, "Times New Roman" by Liberation Serif, "Courier New" by
// Liberation Mono, and a symbol font by DejaVu Sans, with the text's
// character codes turned into the Greek letters they stand for.
#pragma once

#include <QFont>
#include <QPainter>
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/bitmap.h"

class QPaintDevice;

namespace platform {

// a * b / c rounded to the nearest integer, halves away from zero, with a
// 64-bit intermediate; -1 when c is 0 (the device-context convention for
// font heights: height = -MulDiv(points, pixels per inch, 72)).
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// Pixels per inch of the screen (96 without a screen).
int ScreenDpiX();
int ScreenDpiY();

// --- Pens and brushes ---------------------------------------------------------

enum class PenStyle : uint8_t {
  None,   // no pen: outlines are not drawn (also an empty pen variable)
  Solid,  // continuous line
  Dot,    // 3 pixels on, 3 off; always one pixel wide
  DashDot,  // 8 pixels on, 4 off, 2 on, 4 off, at any width
};

struct Pen {
  PenStyle style = PenStyle::None;
  int32_t width = 1;  // device pixels
  ColorRef color = 0;

  bool IsNull() const { return style == PenStyle::None; }
  static Pen Solid(int32_t width, ColorRef color) { return Pen{PenStyle::Solid, width < 1 ? 1 : width, color}; }
  static Pen Dotted(ColorRef color) { return Pen{PenStyle::Dot, 1, color}; }
  static Pen DashDot(int32_t width, ColorRef color) { return Pen{PenStyle::DashDot, width < 1 ? 1 : width, color}; }
  bool operator==(const Pen&) const = default;
};

struct Brush {
  bool solid = false;  // false: hollow (also an empty brush variable)
  ColorRef color = 0;
  uint8_t alpha = 255;  // below 255: the fill is laid over what lies beneath

  bool IsNull() const { return !solid; }
  static Brush Solid(ColorRef color) { return Brush{true, color}; }
  static Brush Translucent(ColorRef color, uint8_t alpha) { return Brush{true, color, alpha}; }
  bool operator==(const Brush&) const = default;
};

// --- Fonts ----------------------------------------------------------------------

enum class FontFamily : uint8_t { DontCare, Roman, Swiss, Modern };

// A font request in device-context terms.
struct LogFont {
  int32_t height = 0;  // < 0: character (em) height in pixels; > 0: cell height; 0: 16 px cell
  int32_t width = 0;   // average character width in pixels; 0: the face's own
  int32_t weight = 400;  // 100..900 (400 normal, 700 bold)
  bool italic = false;
  bool symbolCharset = false;  // text codes are symbol-font codes
  FontFamily family = FontFamily::DontCare;  // used when `face` is empty
  std::string face;
};

class Font {
 public:
  explicit Font(const LogFont& log);
  const LogFont& Log() const { return log_; }
  // The Qt font, sized in pixels of the device the height was computed for.
  const QFont& QtFont() const { return font_; }
  // Width and height (ascent + descent) of `text` (the drawing context's
  // text codes, shown as `shown`) on `device`. Measured once per device
  // resolution and text: the chart labels the same names in every frame,
  // and laying a text out costs more than drawing most symbols.
  QSize Extent(const std::string& text, const QString& shown, const QPaintDevice* device) const;

 private:
  LogFont log_;
  QFont font_;
  mutable std::mutex extentsLock_;
  mutable std::unordered_map<std::string, QSize> extents_;
};

// A created font; empty means "no font".
using FontHandle = std::shared_ptr<const Font>;
FontHandle CreateFont(const LogFont& log);

// The family that stands in for a face name (see above).
std::string SubstituteFace(const std::string& face, FontFamily family = FontFamily::DontCare);
// Text written in symbol-font codes as UTF-8 Greek letters: "a" alpha,
// "b" beta, "g" gamma, ..., "A" Alpha, ...; other characters unchanged.
std::string SymbolToGreek(const std::string& text);

// --- Text alignment (combine one horizontal and one vertical flag) ---------------
enum TextAlign : unsigned {
  kAlignLeft = 0,
  kAlignRight = 2,
  kAlignCenter = 6,
  kAlignTop = 0,
  kAlignBottom = 8,
  kAlignBaseline = 24,
};

// --- The context ------------------------------------------------------------------

class DrawingContext {
 public:
  // Draws on `device` (a bitmap's image, a printer, a PDF writer) until the
  // context is destroyed. The device must outlive the context.
  explicit DrawingContext(QPaintDevice* device);
  explicit DrawingContext(Bitmap& bitmap);
  ~DrawingContext();
  DrawingContext(const DrawingContext&) = delete;
  DrawingContext& operator=(const DrawingContext&) = delete;

  bool IsActive() const { return painter_.isActive(); }
  int DpiX() const;
  int DpiY() const;

  // Selections stay until replaced. The initial pen is solid black of width
  // 1, the brush solid white, no font (a 16-pixel Liberation Sans), text
  // black on an opaque white background, aligned left and top.
  void SelectPen(const Pen& pen);
  void SelectBrush(const Brush& brush);
  void SelectFont(const FontHandle& font);
  const Pen& CurrentPen() const { return pen_; }
  const Brush& CurrentBrush() const { return brush_; }
  void SetTextColor(ColorRef color) { textColor_ = color; }
  void SetBkColor(ColorRef color) { bkColor_ = color; }
  void SetBkTransparent(bool transparent) { bkTransparent_ = transparent; }
  void SetTextAlign(unsigned align) { textAlign_ = align; }
  void SetWindingFill(bool winding) { winding_ = winding; }

  // Clipping to a rectangle (right and bottom exclusive), and back to none.
  void SetClipRect(int left, int top, int right, int bottom);
  void ClearClip();

  // Lines with the pen; LineTo leaves out (x, y) and moves there.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<QPoint>& points);

  // Filled shapes: interior with the brush, outline with the pen.
  void Rectangle(int left, int top, int right, int bottom);
  void Ellipse(int left, int top, int right, int bottom);
  void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
  void Polygon(const std::vector<QPoint>& points);
  // The same from vertices in fractions of a pixel, a whole number being a
  // pixel's centre: the pixels whose centres lie inside are filled.
  void PolygonF(const std::vector<QPointF>& points);
  // Fills (right and bottom exclusive) with `brush`, no outline.
  void FillRect(int left, int top, int right, int bottom, const Brush& brush);

  // Elliptic arc of the bounding box, counter-clockwise on the screen from
  // the ray through (xStart, yStart) to the ray through (xEnd, yEnd); equal
  // rays give the whole ellipse.
  void Arc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);

  void SetPixel(int x, int y, ColorRef color);

  // Text in the selected font and text colour at the reference point
  // (x, y) by the alignment; TextExtent is the advance width and the cell
  // height of the text.
  void TextOut(int x, int y, const std::string& text);
  QSize TextExtent(const std::string& text);

  // Copies a rectangle of a bitmap to (dx, dy); a negative width or height
  // means "to the bitmap's edge".
  void DrawBitmap(int dx, int dy, const Bitmap& source, int sx = 0, int sy = 0, int w = -1, int h = -1);
  // Scales the whole of `source` onto the destination rectangle.
  void StretchBitmap(int dx, int dy, int dw, int dh, const Bitmap& source);

  // The painter, for drawing this model does not cover.
  QPainter& Painter() { return painter_; }

 private:
  void Setup();
  void ApplyPen();
  void ApplyBrush();
  QString TextFor(const std::string& text) const;

  QPainter painter_;
  Pen pen_;
  Brush brush_;
  FontHandle font_;
  ColorRef textColor_ = 0;
  ColorRef bkColor_ = 0x00FFFFFF;
  bool bkTransparent_ = false;
  unsigned textAlign_ = kAlignLeft | kAlignTop;
  bool winding_ = true;
  QPoint position_;
};

}  // namespace platform
