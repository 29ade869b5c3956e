// TAutoTable: layout refusals, the doubled comma, paging by the device's
// resolution; DrawTableTitle's rule.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/drawing.h"
#include "tools/auto_table.h"
#include "tools/meteor_showers.h"

namespace {

// A white page of w x h pixels at `dpi` pixels per inch.
QImage Page(int w, int h, int dpi) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::white);
  img.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
  img.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
  return img;
}

TEST(AutoTable, LayoutAcceptedOrRefused) {
  std::string cols21;
  for (int i = 0; i < 21; ++i) cols21 += (i ? "," : "") + std::string("C:10");
  const std::string cols20 = cols21.substr(0, cols21.size() - 5);
  const struct {
    std::string layout;
    bool ok;
    int columns;
  } cases[] = {
      {"", true, 0},          {"A:1100", true, 1},  {"A:0", false, 0},   {"A:1101", false, 0},
      {"A", false, 0},        {"A:x", false, 0},    {"A:10,B", false, 0}, {cols20, true, 20},
      {cols21, false, 0},     {"Meteor Shower:150,Date of Maximum:125,Days of activity:110,Radiant:75,Description:200",
                               true, 5},
  };
  QImage img = Page(200, 200, 96);
  platform::DrawingContext dc(&img);
  for (const auto& c : cases) {
    TAutoTable t;
    EXPECT_EQ(t.AddLine(dc, 200, 200, c.layout), c.ok) << c.layout;
    if (c.ok) {
      EXPECT_EQ(t.ColumnCount, c.columns) << c.layout;
    }
  }
}

TEST(AutoTable, DoubledCommaIsOneLiteralComma) {
  const struct {
    std::string row;
    int count;
    std::string first, second;
  } cases[] = {
      {"a,,b,c", 2, "a,b", "c"},
      {"a,b", 2, "a", "b"},
      {"Quadrantid,January 04,x,Boo,Fairly rapid, blue", 5, "Quadrantid", "January 04"},
      {"solo", 2, "solo", ""},
  };
  for (const auto& c : cases) {
    const auto cells = TAutoTable::SplitRow(c.row, c.count);
    EXPECT_EQ(cells[1], c.first) << c.row;
    EXPECT_EQ(cells[2], c.second) << c.row;
  }
  // A comma inside a description ends the cell: the rest of the row is dropped.
  EXPECT_EQ(TAutoTable::SplitRow("Q,J,x,Boo,Fairly rapid, blue", 5)[5], "Fairly rapid");
}

TEST(AutoTable, PagesByResolutionAndFooters) {
  // 600 dpi: rows 100 units apart, the first baseline 900 below the top
  // (1.5 in); page 3000 high: (3000 - 900 - 300) / 100 = 18 rows, with a
  // footer (one-inch bottom margin) 15.
  for (bool footer : {false, true}) {
    QImage img = Page(1200, 3000, 600);
    platform::DrawingContext dc(&img);
    TAutoTable t;
    if (footer) t.LeftFooter = "page 1";
    ASSERT_TRUE(t.AddLine(dc, 1200, 3000, "A:50,B:50"));
    EXPECT_EQ(t.LineHeight, 100);
    EXPECT_EQ(t.TopMargin, 900);
    const int expected = footer ? 15 : 18;
    EXPECT_EQ(t.LinesPerPage, expected);
    int rows = 0;
    while (!t.Draw(dc, "x,y") && rows < 100) ++rows;
    EXPECT_EQ(rows + 1, expected) << "the row that fills the page reports it";
    EXPECT_EQ(t.LinesOnPage, 0);
  }
}

TEST(AutoTable, RowTextLandsInItsCell) {
  QImage img = Page(816, 600, 96);
  {
    platform::DrawingContext dc(&img);
    TAutoTable t;
    t.Title = "Title";
    ASSERT_TRUE(t.AddLine(dc, 816, 600, "A:200,B:200"));
    t.Draw(dc, "WWWW,");
  }
  // Row 1 sits between the top margin less one line (128 px) and 144 px, in
  // column A (left edge (816 - 384) / 2 = 216, inset 12).
  auto dark = [&](int x0, int x1, int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (qGray(img.pixel(x, y)) < 128) return true;
    return false;
  };
  EXPECT_TRUE(dark(228, 408, 129, 144));
  EXPECT_FALSE(dark(430, 600, 129, 143)) << "column B is empty";
}

// The meteor-shower table (6.6 inches) on A5 paper (5.55 inches wide at
// 100 dpi, drawn in the middle of an image twice as wide): narrowed to the
// page, nothing of it lies beyond the page's edges; on letter paper it
// keeps its width.
TEST(AutoTable, ATableWiderThanThePageIsNarrowedToIt) {
  const int page = 555, height = 827;
  QImage img = Page(2 * page, height, 100);
  {
    platform::DrawingContext dc(&img);
    dc.Painter().translate(page / 2, 0);
    EXPECT_EQ(PrintMeteorShowerTable(dc, page, height, [] {}), 1);
  }
  int left = img.width(), right = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 160) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  EXPECT_GE(left, page / 2);
  EXPECT_LT(right, page / 2 + page);
  QImage letter = Page(850, 1100, 100);
  platform::DrawingContext dc(&letter);
  TAutoTable t;
  ASSERT_TRUE(t.AddLine(dc, 850, 1100, kMeteorShowerColumns));
  EXPECT_EQ(t.TableWidth, 660);
  EXPECT_EQ(t.LeftEdge, 95);
}

TEST(AutoTable, TitleRuleBelowTheProductName) {
  QImage img = Page(400, 100, 96);
  platform::DrawingContext dc(&img);
  const int y = DrawTableTitle(dc, 400);
  EXPECT_GT(y, 20);
  EXPECT_LT(y, 60);
  EXPECT_LT(qGray(img.pixel(200, y)), 64) << "the rule";
}

}  // namespace
