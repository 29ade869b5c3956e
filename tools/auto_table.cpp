#include "tools/auto_table.h"

#include <cmath>
#include <cstdlib>

#include "chart/drawing_colors.h"

std::string ProgramNotice = "Printed by Noctra Planetarium V3.2";

namespace {

int Round(double x) { return int(std::nearbyint(x)); }

// The text's decimal value: a leading number with optional sign; anything
// else counts as 0, as does a number followed by other characters.
int ParseWidth(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0') return 0;
  return int(v);
}

}  // namespace

platform::FontHandle MakePointFont(const std::string& face, int points, int weight, int dpiY) {
  platform::LogFont lf;
  lf.height = -platform::MulDiv(points, dpiY, 72);
  lf.weight = weight;
  lf.face = face;
  return platform::CreateFont(lf);
}

bool TAutoTable::AddLine(platform::DrawingContext& dc, int pageWidth, int pageHeight, const std::string& layout) {
  // 1-2: the device's resolution and the margins.
  DpiY = dc.DpiY();
  DpiX = dc.DpiX();
  TopMargin = Round(1.5 * DpiY);
  BottomMargin = (RightFooter.empty() && LeftFooter.empty()) ? Round(0.5 * DpiY) : DpiY;
  // 3: the page and empty columns.
  PageWidth = pageWidth;
  PageHeight = pageHeight;
  LinesOnPage = 0;
  ColumnCount = 0;
  ColumnTitles.fill({});
  ColumnWidths.fill(0);
  // 4: split the layout at its commas; more than 20 columns are refused.
  if (!layout.empty()) {
    ColumnCount = 1;
    for (char c : layout) {
      if (c == ',') {
        if (++ColumnCount > kMaxColumns) {
          ColumnCount = 0;
          return false;
        }
      } else {
        ColumnTitles[ColumnCount] += c;
      }
    }
  }
  // 5: title and width of each column.
  for (int i = 1; i <= ColumnCount; ++i) {
    const auto colon = ColumnTitles[i].find(':');
    if (colon == std::string::npos) return false;
    const int w = ParseWidth(ColumnTitles[i].substr(colon + 1));
    ColumnTitles[i].resize(colon);
    if (w < 1 || w > 1100) return false;
    ColumnWidths[i] = w;
  }
  // 6: table geometry.
  int sum = 0;
  for (int i = 1; i <= ColumnCount; ++i) sum += ColumnWidths[i];
  // A table wider than the page (a 6.6-inch table on A5 paper) is narrowed
  // to the page's width, the text of its cells and column titles with it,
  // so that nothing is cut at the page's edges.
  const double inches = sum / 100.0;
  columnDpiX_ = DpiX;
  const int rules = Round((DpiY + DpiX) / 2 / 50.0);  // room for the frame's outer rules
  if (PageWidth > rules && inches * DpiX > PageWidth - rules) columnDpiX_ = std::floor((PageWidth - rules) / inches);
  const int cellDpiY = int(DpiY * columnDpiX_ / std::max(1, DpiX));
  TableWidth = Round(inches * columnDpiX_);
  LeftEdge = (PageWidth - TableWidth) / 2;
  CellInset = Round(columnDpiX_ / 8.0);
  LineHeight = std::max(1, DpiY / 6);
  LinesPerPage = int((PageHeight - TopMargin - BottomMargin) / LineHeight);
  titleFont_ = MakePointFont("Times New Roman", 16, 700, DpiY);
  textFont_ = MakePointFont("Times New Roman", 10, 400, DpiY);
  cellFont_ = MakePointFont("Courier New", 10, 400, cellDpiY);
  columnFont_ = MakePointFont("Times New Roman", 10, 700, cellDpiY);
  return true;
}

void TAutoTable::DrawFrame(platform::DrawingContext& dc) {
  using namespace platform;
  dc.SetBkTransparent(true);
  dc.SetTextColor(0);
  // Title and header.
  dc.SelectFont(titleFont_);
  dc.SetTextAlign(kAlignLeft | kAlignBottom);
  const int y1 = Round(1.25 * dc.TextExtent("X").height());
  dc.TextOut(0, y1, Title);
  dc.SelectFont(textFont_);
  dc.SetTextAlign(kAlignRight | kAlignBottom);
  dc.TextOut(PageWidth, y1, Header);
  // Footers.
  dc.SelectFont(columnFont_);
  const int y2 = PageHeight - Round(1.25 * dc.TextExtent("X").height());
  dc.SetTextAlign(kAlignLeft | kAlignTop);
  dc.TextOut(0, y2, LeftFooter);
  dc.SetTextAlign(kAlignRight | kAlignTop);
  dc.TextOut(PageWidth, y2, RightFooter);
  // Horizontal rules.
  dc.SetTextAlign(kAlignLeft | kAlignBottom);
  const int meanDpi = (DpiY + DpiX) / 2;
  dc.SelectPen(Pen::Solid(Round(meanDpi / 50.0), 0));
  for (int y : {DpiY, PageHeight - BottomMargin, Round(1.25 * DpiY)}) {
    dc.MoveTo(LeftEdge, y);
    dc.LineTo(LeftEdge + TableWidth, y);
  }
  // Column titles and vertical rules.
  dc.SelectPen(Pen::Solid(Round(meanDpi / 100.0), 0));
  const int titleY = Round(1.2 * dc.TextExtent("XXX").height()) + DpiY;
  const int bottom = PageHeight - BottomMargin;
  dc.MoveTo(LeftEdge, DpiY);
  dc.LineTo(LeftEdge, bottom);
  int x = 0;
  for (int i = 1; i <= ColumnCount; ++i) {
    dc.TextOut(LeftEdge + x + CellInset, titleY, ColumnTitles[i]);
    x += Round(ColumnWidths[i] / 100.0 * columnDpiX_);
    dc.MoveTo(LeftEdge + x, DpiY);
    dc.LineTo(LeftEdge + x, bottom);
  }
}

std::array<std::string, TAutoTable::kMaxColumns + 1> TAutoTable::SplitRow(std::string row, int count) {
  std::array<std::string, kMaxColumns + 1> cells{};
  for (int i = 1; i <= count && i <= kMaxColumns; ++i) {
    auto comma = row.find(',');
    if (comma == std::string::npos) {
      cells[i] = row.substr(0, 254);
      row.clear();
      continue;
    }
    std::string cell = row.substr(0, comma);
    row.erase(0, comma + 1);
    if (!row.empty() && row[0] == ',') {
      // A doubled comma: one literal comma and the text up to the next one.
      cell += ',';
      row.erase(0, 1);
      comma = row.find(',');
      if (comma == std::string::npos) {
        cell += row;
        row.clear();
      } else {
        cell += row.substr(0, comma);
        row.erase(0, comma + 1);
      }
    }
    cells[i] = cell;
  }
  return cells;
}

bool TAutoTable::Draw(platform::DrawingContext& dc, const std::string& row) {
  ++LinesOnPage;
  if (LinesOnPage == 1) DrawFrame(dc);
  dc.SetBkTransparent(true);
  dc.SetTextColor(0);
  dc.SetTextAlign(platform::kAlignLeft | platform::kAlignBottom);
  dc.SelectFont(cellFont_);
  const int y = LineHeight * (LinesOnPage - 1) + TopMargin;
  const auto cells = SplitRow(row, ColumnCount);
  int x = 0;
  for (int i = 1; i <= ColumnCount; ++i) {
    dc.TextOut(LeftEdge + x + CellInset, y, cells[i]);
    x += Round(ColumnWidths[i] / 100.0 * columnDpiX_);
  }
  if (LineHeight * LinesOnPage + TopMargin + BottomMargin >= PageHeight) {
    LinesOnPage = 0;
    return true;
  }
  return false;
}

int32_t DrawTableTitle(platform::DrawingContext& dc, int pageWidth) {
  using namespace platform;
  const int dpiY = dc.DpiY();
  dc.SetBkTransparent(true);
  dc.SetTextColor(0);
  dc.SelectFont(MakePointFont("Times New Roman", 16, 700, dpiY));
  dc.SetTextAlign(kAlignLeft | kAlignBottom);
  const std::string product = "Noctra Planetarium";
  const int y1 = Round(1.25 * dc.TextExtent(product).height());
  dc.TextOut(0, y1, product);
  dc.SelectFont(MakePointFont("Times New Roman", 10, 400, dpiY));
  dc.SetTextAlign(kAlignRight | kAlignBottom);
  dc.TextOut(pageWidth, y1, ProgramNotice);
  dc.SetTextAlign(kAlignLeft | kAlignBottom);
  const int y2 = Round(1.25 * y1);
  dc.SelectPen(RulePen.IsNull() ? Pen::Solid(2, 0) : RulePen);
  dc.MoveTo(0, y2);
  dc.LineTo(pageWidth, y2);
  return y2;
}
