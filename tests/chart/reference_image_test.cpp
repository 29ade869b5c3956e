// Renders a test card through the raw pixel routines and the drawing
// context (lines, dashes, thick lines, arcs, text in every style font, a
// rotated disc, a transparent copy, filled shapes) and compares it pixel for
// pixel with the stored reference picture data/reference_drawing.png.
//
// Text is compared exactly too: the fonts are fixed (Liberation and DejaVu
// from the system packages) and rendered unhinted with grey antialiasing,
// so the picture depends only on the installed FreeType and fonts.
//
// On a difference the test writes reference_drawing_actual.png and
// reference_drawing_diff.png (differing pixels in red) next to the test
// program. With NOCTRA_WRITE_REFERENCE=1 it stores the rendered picture as
// the new reference instead.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <cstdlib>

#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/styles.h"
#include "platform/drawing.h"
#include "tests/support/reference_picture.h"

using platform::MakePixel;

namespace {

const QString kReference = QStringLiteral(NOCTRA_CHART_TEST_DATA "/reference_drawing.png");

// A 40 x 40 picture: four quadrants with a light diagonal stripe, and the
// key colour (black) in a corner.
Bitmap DiscSource() {
  Bitmap s(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      uint32_t c = y < 20 ? (x < 20 ? MakePixel(200, 40, 40) : MakePixel(40, 200, 40))
                          : (x < 20 ? MakePixel(40, 40, 200) : MakePixel(200, 200, 40));
      if (std::abs(x - y) < 3) c = MakePixel(240, 240, 240);
      s.SetPixel(x, y, c);
    }
  return s;
}

Bitmap RenderCard() {
  Bitmap card(480, 320);
  SetDrawTarget(card);
  ResetLinePattern();
  ArcReverse = 0;  // other tests may leave the direction reversed

  // A fan of one-pixel lines in every direction.
  for (int k = 0; k < 24; ++k) {
    const double a = k * M_PI / 12;
    DrawLine(60, 60, 60 + int(std::lround(55 * std::cos(a))), 60 + int(std::lround(55 * std::sin(a))),
             MakePixel(uint8_t(80 + 7 * k), 200, uint8_t(255 - 7 * k)));
  }
  // Dashes of widths 1 to 3, the phase carried over two segments each.
  for (int w = 1; w <= 3; ++w) {
    const int y = 20 + 16 * w;
    DrawPatternLine(130, y, 190, y + 8, MakePixel(255, 200, 0), 0x00010203, uint8_t(w), 0x0F0F0F0F);
    DrawPatternLine(190, y + 8, 250, y, MakePixel(255, 120, 0), 0x00010203, uint8_t(w), 0x0F0F0F0F);
    ResetLinePattern();
  }
  // Thick lines; the second stops at a stop-colour pixel.
  DrawThickLineStop(270, 30, 330, 90, MakePixel(0, 160, 255), 0x00010203);
  card.SetPixel(300, 47, 0x00010203);  // on the lower edge row (centre row + 2)
  DrawThickLineStop(280, 45, 340, 45, MakePixel(255, 0, 160), 0x00010203);
  // Arcs: a full circle, a forward arc across 0 and a reversed arc.
  DrawArc(400, 70, 50, 0, 3600, 10, MakePixel(255, 255, 255), 0x00010203);
  DrawArc(400, 70, 35, 3000, 600, 20, MakePixel(255, 64, 64), 0x00010203);
  ArcReverse = 1;
  DrawArc(400, 70, 22, 2700, 900, 30, MakePixel(64, 255, 64), 0x00010203);
  ArcReverse = 0;

  // A rotated, mirrored disc, laid on the card with a transparent copy.
  const Bitmap source = DiscSource();
  Bitmap disc(64, 64);
  BlitRotatedDisc(source, disc, 30, 60, 1.0f, -1, 1);
  BlitTransparent(disc, 0, 0, 64, 64, card, 400, 150);

  // Text in every style font, then shapes through the drawing context.
  {
    platform::DrawingContext dc(card);
    dc.SetBkTransparent(true);
    int y = 130;
    for (int style : {0, 1, 5, 8, 9, 10, 11, 12, 110}) {
      dc.SelectFont(Styles[style].Handle);
      dc.SetTextColor(Styles[style].Color);
      dc.SetTextAlign(platform::kAlignLeft | platform::kAlignTop);
      dc.TextOut(10, y, style == 10 || style == 110 ? "abgdW" : "Sirius Vega 0123");
      y += dc.TextExtent("Xg").height();
    }
    dc.SelectPen(GridPen);
    dc.SelectBrush(MilkyWayBrush);
    dc.Ellipse(260, 140, 380, 200);
    dc.SelectPen(WhitePen);
    dc.SelectBrush(BlueBrush);
    dc.Polygon({{270, 230}, {330, 300}, {380, 220}, {300, 250}});
    dc.SelectPen(DarkGreyWidePen);
    dc.MoveTo(260, 310);
    dc.LineTo(470, 230);
    dc.SetTextAlign(platform::kAlignCenter | platform::kAlignBaseline);
    dc.SelectFont(Styles[kStyleCompassDirections].Handle);
    dc.SetTextColor(Styles[kStyleCompassDirections].Color);
    dc.TextOut(430, 300, "N");
  }
  ClearDrawTarget();
  return card;
}

TEST(ReferenceImage, TestCardMatchesTheStoredPicture) {
  ColorMode = 0;
  PrintScale = 1;
  SetDefaultObjectColors();
  SetDefaultStyleFonts();
  ASSERT_TRUE(MakeDrawingColors());
  const Bitmap card = RenderCard();
  ExpectMatchesReference(card.Image(), kReference, "reference_drawing");
  SetDefaultObjectColors();
}

}  // namespace
