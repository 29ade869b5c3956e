// The words of a calendar day's cell: every word (or its part) within its
// line, beside the day number and the Moon's picture too, none lost while
// lines remain. Widths: 10 units a character.
#include <gtest/gtest.h>

#include "tools/report_printing.h"

namespace {

int Width(const std::string& s) { return 10 * int(s.size()); }

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

}  // namespace
