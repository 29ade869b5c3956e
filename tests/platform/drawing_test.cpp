// The drawing context: device-context geometry on bitmaps, colour byte
// order, fonts and symbol text, and drawing on a printer page.
#include "platform/drawing.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPrinter>

#include "tests/support/test_support.h"

using platform::Bitmap;
using platform::Brush;
using platform::DrawingContext;
using platform::LogFont;
using platform::Pen;

namespace {

constexpr uint32_t kWhitePixel = 0x00FFFFFF;

int CountColour(const Bitmap& b, uint32_t pixel) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += platform::SameColor(b.Pixel(x, y), pixel);
  return n;
}

// Bounding box (x0, y0, x1, y1 inclusive) of the pixels that are not `background`.
QRect Ink(const Bitmap& b, uint32_t background) {
  QRect r;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (!platform::SameColor(b.Pixel(x, y), background)) r = r.united(QRect(x, y, 1, 1));
  return r;
}

TEST(DrawingContext, ColourReferencesBecomeDisplayPixels) {
  Bitmap b(4, 4);
  {
    DrawingContext dc(b);
    dc.SetPixel(1, 2, platform::MakeColorRef(0x10, 0x20, 0x30));
  }
  EXPECT_TRUE(platform::SameColor(b.Pixel(1, 2), platform::MakePixel(0x10, 0x20, 0x30)));
  EXPECT_EQ(b.Pixel(0, 0), 0u) << "untouched pixels keep their raw value";
}

TEST(DrawingContext, LinesLeaveOutTheirEndPoint) {
  Bitmap b(20, 10);
  {
    DrawingContext dc(b);
    dc.SelectPen(Pen::Solid(1, 0x00FFFFFF));
    dc.MoveTo(2, 3);
    dc.LineTo(7, 3);
    dc.LineTo(7, 8);
  }
  EXPECT_EQ(CountColour(b, kWhitePixel), 10);
  EXPECT_TRUE(platform::SameColor(b.Pixel(2, 3), kWhitePixel));
  EXPECT_TRUE(platform::SameColor(b.Pixel(7, 7), kWhitePixel));
  EXPECT_EQ(b.Pixel(7, 8), 0u);
}

TEST(DrawingContext, RectangleAndEllipseStayInsideTheirBox) {
  Bitmap b(40, 40);
  {
    DrawingContext dc(b);
    dc.SelectPen(Pen::Solid(1, 0x00FFFFFF));
    dc.SelectBrush(Brush::Solid(0x00FFFFFF));
    dc.Rectangle(2, 3, 12, 9);   // right and bottom exclusive
    dc.Ellipse(20, 20, 35, 31);
  }
  EXPECT_EQ(Ink(b, 0), QRect(QPoint(2, 3), QPoint(34, 30)));
  EXPECT_GT(CountColour(b, kWhitePixel), 60 + 100);
  Bitmap r(20, 20);
  {
    DrawingContext dc(r);
    dc.SelectPen(Pen::Solid(1, 0x00FFFFFF));
    dc.SelectBrush(Brush::Solid(0x00FFFFFF));
    dc.Rectangle(2, 3, 12, 9);
  }
  EXPECT_EQ(CountColour(r, kWhitePixel), 10 * 6);
  Bitmap n(20, 20);
  {
    // Without a pen the fill is one pixel smaller.
    DrawingContext dc(n);
    dc.SelectPen(Pen{});
    dc.SelectBrush(Brush::Solid(0x00FFFFFF));
    dc.Rectangle(2, 3, 12, 9);
  }
  EXPECT_EQ(CountColour(n, kWhitePixel), 9 * 5);
}

TEST(DrawingContext, WindingFillCoversTheMiddleOfAPentagram) {
  const std::vector<QPoint> star = {{50, 5}, {76, 90}, {5, 35}, {95, 35}, {24, 90}};
  for (bool winding : {true, false}) {
    Bitmap b(100, 100);
    {
      DrawingContext dc(b);
      dc.SelectPen(Pen{});
      dc.SelectBrush(Brush::Solid(0x00FFFFFF));
      dc.SetWindingFill(winding);
      dc.Polygon(star);
    }
    EXPECT_EQ(platform::SameColor(b.Pixel(50, 50), kWhitePixel), winding);
    EXPECT_TRUE(platform::SameColor(b.Pixel(50, 20), kWhitePixel));
  }
}

TEST(DrawingContext, ArcRunsCounterClockwiseBetweenRays) {
  Bitmap b(60, 60);
  {
    DrawingContext dc(b);
    dc.SelectPen(Pen::Solid(1, 0x00FFFFFF));
    // From the ray to the right to the ray upwards: the upper right quarter.
    dc.Arc(10, 10, 51, 51, 60, 30, 30, 0);
  }
  const QRect ink = Ink(b, 0);
  EXPECT_GE(ink.left(), 29);
  EXPECT_LE(ink.bottom(), 31);
  EXPECT_GE(ink.right(), 49);
  EXPECT_LE(ink.top(), 11);
}

TEST(DrawingContext, DottedAndDashDotPens) {
  Bitmap b(40, 5);
  {
    DrawingContext dc(b);
    dc.SelectPen(Pen::Dotted(0x00FFFFFF));
    dc.MoveTo(0, 2);
    dc.LineTo(36, 2);
  }
  std::string row;
  for (int x = 0; x < 12; ++x) row += b.Pixel(x, 2) ? '#' : '.';
  EXPECT_EQ(row, "###...###...");
  // Dash-dot at width 2: 8 on, 4 off, 2 on, 4 off along the line, two rows thick.
  Bitmap d(40, 6);
  {
    DrawingContext dc(d);
    dc.SelectPen(Pen::DashDot(2, 0x00FFFFFF));
    dc.MoveTo(0, 3);
    dc.LineTo(36, 3);
  }
  std::string rows[2];
  for (int y : {2, 3})
    for (int x = 0; x < 18; ++x) rows[y - 2] += d.Pixel(x, y) ? '#' : '.';
  EXPECT_EQ(rows[0], "########....##....");
  EXPECT_EQ(rows[1], rows[0]);
}

// --- Fonts and text -----------------------------------------------------------------------

TEST(Fonts, SymbolCodesBecomeGreekLetters) {
  EXPECT_EQ(platform::SymbolToGreek("abgdezhq"), "\u03B1\u03B2\u03B3\u03B4\u03B5\u03B6\u03B7\u03B8");
  EXPECT_EQ(platform::SymbolToGreek("iklmnxoprstufcyw"),
            "\u03B9\u03BA\u03BB\u03BC\u03BD\u03BE\u03BF\u03C0\u03C1\u03C3\u03C4\u03C5\u03C6\u03C7\u03C8\u03C9");
  EXPECT_EQ(platform::SymbolToGreek("AQW"), "\u0391\u0398\u03A9");
  EXPECT_EQ(platform::SymbolToGreek("a1 2"), "\u03B1" "1 2");
}

TEST(Fonts, MulDivRoundsHalvesAwayFromZero) {
  EXPECT_EQ(platform::MulDiv(8, 96, 72), 11);
  EXPECT_EQ(platform::MulDiv(9, 100, 72), 13);  // 12.5
  EXPECT_EQ(platform::MulDiv(-9, 100, 72), -13);
  EXPECT_EQ(platform::MulDiv(10, 96, 72), 13);  // 13.33
  EXPECT_EQ(platform::MulDiv(1, 2, 0), -1);
  EXPECT_EQ(platform::MulDiv(2000000000, 2000000000, 1), -1);
}

TEST(Fonts, NegativeHeightIsTheEmHeightAndPositiveTheCellHeight) {
  const auto em = platform::CreateFont(LogFont{.height = -40, .face = "Arial"});
  EXPECT_EQ(em->QtFont().pixelSize(), 40);
  const auto cell = platform::CreateFont(LogFont{.height = 40, .face = "Arial"});
  const QFontMetrics m(cell->QtFont());
  EXPECT_NEAR(m.ascent() + m.descent(), 40, 1);
  EXPECT_LT(cell->QtFont().pixelSize(), 40);
  // A requested average width narrows the font.
  const auto narrow = platform::CreateFont(LogFont{.height = -40, .width = 8, .face = "Arial"});
  EXPECT_LT(narrow->QtFont().stretch(), 100);
}

// Renders `text` in `font` black on white, left and top aligned at (2, 2).
Bitmap RenderText(const platform::FontHandle& font, const std::string& text, unsigned align = 0, int x = 2,
                  int y = 2) {
  Bitmap b(120, 50);
  b.Fill(kWhitePixel);
  DrawingContext dc(b);
  dc.SelectFont(font);
  dc.SetBkTransparent(true);
  dc.SetTextColor(0);
  dc.SetTextAlign(align);
  dc.TextOut(x, y, text);
  return b;
}

TEST(Fonts, SymbolFontTextShowsTheGreekLetters) {
  const auto symbol = platform::CreateFont(LogFont{.height = -30, .symbolCharset = true, .face = "Symbol"});
  const auto dejavu = platform::CreateFont(LogFont{.height = -30, .face = "DejaVu Sans"});
  const Bitmap a = RenderText(symbol, "abg");
  const Bitmap b = RenderText(dejavu, "\u03B1\u03B2\u03B3");
  const Bitmap latin = RenderText(dejavu, "abg");
  EXPECT_GT(CountColour(a, 0), 20);
  EXPECT_TRUE(a.Image() == b.Image());
  EXPECT_FALSE(a.Image() == latin.Image());
}

TEST(Fonts, AlignmentMovesTheReferencePoint) {
  const auto font = platform::CreateFont(LogFont{.height = -20, .face = "Arial"});
  const QRect left = Ink(RenderText(font, "MMM", platform::kAlignLeft, 60), kWhitePixel);
  const QRect centre = Ink(RenderText(font, "MMM", platform::kAlignCenter, 60), kWhitePixel);
  const QRect right = Ink(RenderText(font, "MMM", platform::kAlignRight, 60), kWhitePixel);
  EXPECT_GE(left.left(), 60);
  EXPECT_NEAR(centre.center().x(), 60, 2);
  EXPECT_LE(right.right(), 60);
  EXPECT_GE(left.top(), 2);
  const QRect baseline = Ink(RenderText(font, "MMM", platform::kAlignBaseline, 60, 30), kWhitePixel);
  EXPECT_NEAR(baseline.bottom(), 29, 1) << "capitals stand on the baseline";
  const QRect bottom = Ink(RenderText(font, "MMM", platform::kAlignBottom, 60, 30), kWhitePixel);
  EXPECT_LT(bottom.bottom(), baseline.bottom()) << "the descent lies below the capitals";
}

TEST(Fonts, OpaqueBackgroundFillsTheTextCell) {
  const auto font = platform::CreateFont(LogFont{.height = -20, .face = "Arial"});
  Bitmap b(100, 40);
  DrawingContext dc(b);
  dc.SelectFont(font);
  dc.SetBkColor(platform::MakeColorRef(0, 0, 255));
  dc.SetTextColor(platform::MakeColorRef(255, 255, 255));
  const QSize extent = dc.TextExtent("Hi");
  dc.TextOut(5, 5, "Hi");
  dc.Painter().end();
  EXPECT_EQ(Ink(b, 0), QRect(5, 5, extent.width(), extent.height()));
}

// --- Printer pages ------------------------------------------------------------------------

TEST(DrawingContext, DrawsOnAPrinterPageInDevicePixels) {
  testing_support::TempDir dir;
  const std::string file = dir.File("page.pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(file));
  printer.setResolution(600);
  const auto font = platform::CreateFont(LogFont{.height = -100, .face = "Times New Roman"});
  QSize onPaper;
  {
    DrawingContext dc(&printer);
    ASSERT_TRUE(dc.IsActive());
    EXPECT_EQ(dc.DpiX(), 600);
    EXPECT_EQ(dc.DpiY(), 600);
    dc.SelectPen(Pen::Solid(4, 0));
    dc.MoveTo(100, 100);
    dc.LineTo(2000, 100);
    dc.SelectBrush(Brush::Solid(platform::MakeColorRef(128, 128, 128)));
    dc.Ellipse(200, 200, 800, 800);
    dc.SelectFont(font);
    dc.TextOut(200, 1000, "Sirius");
    onPaper = dc.TextExtent("Sirius");
    Bitmap sprite(10, 10);
    sprite.Fill(0x00FF0000);
    dc.DrawBitmap(1000, 1000, sprite);
  }
  EXPECT_GT(QFileInfo(QString::fromStdString(file)).size(), 1000);
  // Text is measured in device pixels, the same on paper as on a bitmap.
  Bitmap screen(10, 10);
  DrawingContext dc(screen);
  dc.SelectFont(font);
  const QSize onScreen = dc.TextExtent("Sirius");
  EXPECT_NEAR(onPaper.height(), onScreen.height(), 2);
  EXPECT_NEAR(onPaper.width(), onScreen.width(), onScreen.width() / 20 + 2);
}

TEST(DrawingContext, BitmapCopiesAndClipping) {
  Bitmap sprite(4, 4);
  sprite.Fill(0x00FF0000);
  Bitmap b(20, 20);
  {
    DrawingContext dc(b);
    dc.DrawBitmap(2, 3, sprite, 1, 1, 2, 2);
    dc.StretchBitmap(10, 10, 8, 8, sprite);
    dc.SetClipRect(0, 0, 5, 20);
    dc.FillRect(0, 15, 20, 20, Brush::Solid(platform::MakeColorRef(0, 255, 0)));
  }
  EXPECT_EQ(Ink(b, 0), QRect(QPoint(0, 3), QPoint(17, 19)));
  EXPECT_EQ(CountColour(b, 0x00FF0000), 4 + 64);
  EXPECT_EQ(CountColour(b, 0x0000FF00), 5 * 5);
}

// Bitmap addressing and byte order.
TEST(BitmapLayout, ElementOrderIsBottomUpAndKeyIsBottomLeft) {
  Bitmap b(3, 2);
  b.SetPixel(0, 1, 0x111111);  // bottom-left
  b.SetPixel(2, 1, 0x222222);  // bottom-right
  b.SetPixel(0, 0, 0x333333);  // top-left
  EXPECT_EQ(b.Element(0), 0x111111u);
  EXPECT_EQ(b.Element(2), 0x222222u);
  EXPECT_EQ(b.Element(3), 0x333333u);
  EXPECT_EQ(b.Key(), 0x111111u);
  b.SetElement(5, 0x444444);
  EXPECT_EQ(b.Pixel(2, 0), 0x444444u);
}

TEST(BitmapLayout, DisplayPixelBytesAreBlueGreenRedZero) {
  Bitmap b(1, 1);
  b.SetPixel(0, 0, platform::MakePixel(0x11, 0x22, 0x33));
  const uchar* bytes = b.Image().constBits();
  EXPECT_EQ(bytes[0], 0x33);  // blue
  EXPECT_EQ(bytes[1], 0x22);  // green
  EXPECT_EQ(bytes[2], 0x11);  // red
  EXPECT_EQ(bytes[3], 0x00);
  // A colour reference holds red in the low byte; the conversion swaps.
  EXPECT_EQ(platform::MakeColorRef(0x11, 0x22, 0x33), 0x00332211u);
  EXPECT_EQ(platform::ColorRefToPixel(0x00332211u), 0x00112233u);
  EXPECT_EQ(platform::PixelToColorRef(0x00112233u), 0x00332211u);
}

TEST(BitmapLayout, NewBitmapIsBlackWithByteThreeClearAndPainterPixelsCompareByColour) {
  Bitmap b(4, 4);
  for (int i = 0; i < 16; ++i) ASSERT_EQ(b.Element(i), 0u);
  {
    platform::DrawingContext dc(b);
    dc.SetPixel(1, 1, platform::MakeColorRef(0x12, 0x34, 0x56));
  }
  EXPECT_EQ(b.Pixel(1, 1) >> 24, 0xFFu) << "the painter writes an opaque alpha byte";
  EXPECT_TRUE(platform::SameColor(b.Pixel(1, 1), platform::MakePixel(0x12, 0x34, 0x56)));
  EXPECT_FALSE(platform::SameColor(b.Pixel(1, 1), platform::MakePixel(0x12, 0x34, 0x57)));
}

}  // namespace
