// Printed reports within their page: the words of a calendar day's cell
// within their lines, and the Moon's visibility chart on A5 paper.
#include <gtest/gtest.h>

#include <QImage>

#include "astro/observer.h"
#include "tools/report_printing.h"
#include "tools/solsys_info.h"

namespace {

// Widths of 10 units a character.
int Width(const std::string& s) { return 10 * int(s.size()); }

// Every word (or its part) within its line, beside the day number and the
// Moon's picture too, none lost while lines remain.
TEST(CalendarCell, WordsStayWithinTheirLinesAndNoneIsLost) {
  TCellLines lines;
  lines.left = 5;
  lines.top = 5;
  lines.lineHeight = 10;
  lines.numberBottom = 25;  // two lines beside the number
  lines.fullRight = 105;    // ten characters a line
  lines.bottom = 125;
  // Beside the number six characters, beside the Moon (from y 95) five.
  lines.right = [&](int y) { return y < lines.numberBottom ? 65 : y + lines.lineHeight > 100 ? 55 : lines.fullRight; };
  const std::string text = "Last-Quarter Moon at 6:30am. Venus in inferior conjunction.";
  const std::vector<TPlacedWord> placed = LayoutCellWords(text, lines, Width);
  std::string joined, letters;
  for (const TPlacedWord& w : placed) {
    EXPECT_GE(w.x, lines.left) << w.text;
    EXPECT_LE(w.x + Width(w.text), lines.right(w.y)) << w.text << " at " << w.y;
    EXPECT_LE(w.y + lines.lineHeight, lines.bottom) << w.text;
    joined += w.text;
  }
  for (char c : text)
    if (c != ' ') letters += c;
  EXPECT_EQ(joined, letters);
  ASSERT_GE(placed.size(), 3u);
  // Too wide for any line: broken after its hyphen beside the number; the
  // rest, which a whole line takes, below the number.
  EXPECT_EQ(placed[0].text, "Last-");
  EXPECT_EQ(placed[1].text, "Quarter");
  EXPECT_EQ(placed[1].y, 25);
  // Wider than a whole line: broken where the line ends.
  EXPECT_EQ(placed[placed.size() - 2].text, "conjunctio");

  // Text beyond the last line is dropped, never written below the cell.
  lines.bottom = 45;
  const std::vector<TPlacedWord> cut = LayoutCellWords(text, lines, Width);
  ASSERT_FALSE(cut.empty());
  EXPECT_LE(cut.back().y + lines.lineHeight, 45);
  EXPECT_LT(cut.size(), placed.size());
}

// The Moon's page on A5 paper (5.55 inches wide at 100 dpi, drawn in an
// image twice as wide): its 6-inch chart keeps within the page.
TEST(SolarSystemPage, TheMoonsChartKeepsWithinANarrowPage) {
  const int page = 555, height = 827;
  QImage img(2 * page, height, QImage::Format_RGB32);
  img.fill(Qt::white);
  img.setDotsPerMeterX(3937);
  img.setDotsPerMeterY(3937);
  TObserverTime obs;
  InitObserver(obs);
  TSolSysInfo moon;
  moon.Name = "The Moon";
  moon.ShowVisibility = true;
  {
    platform::DrawingContext dc(&img);
    DrawSolSysReportPage(dc, moon, obs, "Home", page, height,
                         [](platform::DrawingContext& d, int l, int t, int w, int h, const void*) {
                           d.Painter().fillRect(l, t, w, h, Qt::black);
                         },
                         nullptr);
  }
  int right = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 160) right = std::max(right, x);
  EXPECT_GT(right, page / 2) << "the chart is drawn";
  EXPECT_LE(right, page) << "nothing beyond the page's edge";
}

}  // namespace
