// Printed tables and the page title line: TAutoTable lays a text table out
// in inches of the device it draws on (a screen paint box or a printer
// page) and reports when a page is full; DrawTableTitle heads a printed
// page with the product name, the notice text and a rule.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/drawing.h"

// The notice printed at the top right of every page that DrawTableTitle heads.
extern std::string ProgramNotice;

class TAutoTable {
 public:
  static constexpr int kMaxColumns = 20;

  TAutoTable() = default;

  // AddLine: sets the table up for the device of `dc` (its resolution) and
  // a page of pageWidth x pageHeight device units, with the columns of
  // `layout` ("Title:width,Title:width,..." widths in hundredths of an inch,
  // 1..1100). False refuses the layout (an entry without ":", a width that
  // is not a number or out of range, more than 20 columns): nothing may be
  // drawn then.
  bool AddLine(platform::DrawingContext& dc, int pageWidth, int pageHeight, const std::string& layout);

  // Draw: draws one row ("cell,cell,..."; two commas in a row stand for
  // one literal comma in a cell), first the page frame and headings when
  // the row is the first of its page. True when the page is now full: the
  // next row starts a new page.
  bool Draw(platform::DrawingContext& dc, const std::string& row);

  // Splits a row into `count` cells by the rule of Draw.
  static std::array<std::string, kMaxColumns + 1> SplitRow(std::string row, int count);

  // Texts drawn with every page: header at the top right, title at the top
  // left, footers at the bottom. Empty after creation.
  std::string Header;
  std::string Title;
  std::string RightFooter;
  std::string LeftFooter;

  // Layout, valid after a successful AddLine (device units unless noted).
  std::array<std::string, kMaxColumns + 1> ColumnTitles{};  // 1..20
  std::array<int32_t, kMaxColumns + 1> ColumnWidths{};      // 1..20, hundredths of an inch
  int32_t ColumnCount = 0;
  int32_t LinesOnPage = 0;
  int32_t DpiY = 0;
  int32_t DpiX = 0;
  int32_t TopMargin = 0;
  int32_t BottomMargin = 0;
  int32_t TableWidth = 0;
  int32_t PageWidth = 0;
  int32_t PageHeight = 0;
  int32_t LeftEdge = 0;
  int32_t CellInset = 0;
  int32_t LineHeight = 1;
  int32_t LinesPerPage = 0;

 private:
  void DrawFrame(platform::DrawingContext& dc);
  // Device units per inch across the columns: DpiX, or less for a table
  // narrowed to its page.
  double columnDpiX_ = 0;
  platform::FontHandle titleFont_, textFont_, cellFont_, columnFont_;
};

// Font of `points` for a device of dpiY pixels per inch.
platform::FontHandle MakePointFont(const std::string& face, int points, int weight, int dpiY);

// DrawTableTitle: the page title line across pageWidth: "Noctra
// Planetarium" (Times New Roman 16 pt bold) at the left, the notice (10 pt)
// at the right, and a rule below with the shared rule pen. Returns the
// rule's y, below which the caller prints its page.
int32_t DrawTableTitle(platform::DrawingContext& dc, int pageWidth);
