// Constellation boundaries: records byte by byte, corners of a densified
// boundary, the run order, and the precession back to 1875.
#include <gtest/gtest.h>

#include "data/bounds.h"
#include "data/common.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using testing_support::TempDir;
using testing_support::WriteText;

TEST(BoundsRecords, TwentySevenBytesInTheirColumns) {
  // Hours in columns 1-8, degrees in 10-18, the abbreviation in 20-23.
  EXPECT_EQ(BoundsRecord(22.866667, 52.5, "And"), "22.86667  52.50000 And   \r\n");
  EXPECT_EQ(BoundsRecord(-0.5, -88.25, "Oct").substr(0, 18), "23.50000 -88.25000");
  EXPECT_EQ(BoundsRecord(23.999999, 0, "Psc").substr(0, 8), " 0.00000");
}

TEST(BoundsCorners, EdgesAlongMeridiansAndParallelsKeepOnlyCorners) {
  // A box from 1h to 2h and +10° to +20°, densified, crossing itself at
  // the start (the source repeats the first point at the end).
  std::vector<std::pair<double, double>> ring;
  for (int i = 0; i <= 10; ++i) ring.push_back({1.0, 10.0 + i});
  for (int i = 1; i <= 10; ++i) ring.push_back({1.0 + i / 10.0, 20.0});
  for (int i = 1; i <= 10; ++i) ring.push_back({2.0, 20.0 - i});
  for (int i = 1; i <= 10; ++i) ring.push_back({2.0 - i / 10.0, 10.0});
  const auto c = Corners(ring);
  ASSERT_EQ(c.size(), 5u);
  EXPECT_EQ(c[0], std::make_pair(1.0, 10.0));
  EXPECT_EQ(c[1], std::make_pair(1.0, 20.0));
  EXPECT_EQ(c[2], std::make_pair(2.0, 20.0));
  EXPECT_EQ(c[3], std::make_pair(2.0, 10.0));
  EXPECT_EQ(c[4], c[0]);  // closed
  // A box across 0h keeps its corners as well.
  std::vector<std::pair<double, double>> wrap = {{23.5, 0}, {23.5, 5}, {23.75, 5}, {0.0, 5}, {0.25, 5}, {0.25, 0}, {0.0, 0}};
  EXPECT_EQ(Corners(wrap).size(), 5u);
}

TEST(BoundsRuns, NoTwoRunsOfOneConstellationTouch) {
  std::vector<BoundaryRun> runs = {{76, {{15, 0}}}, {76, {{18, 0}}}, {77, {{10, 0}}}, {78, {{4, 0}}}};
  EXPECT_THROW(EncodeBounds(runs), SourceError);
  const auto arranged = ArrangeRuns(runs);
  ASSERT_EQ(arranged.size(), 4u);
  for (std::size_t i = 1; i < arranged.size(); ++i) EXPECT_NE(arranged[i - 1].constellation, arranged[i].constellation);
  const std::string text = EncodeBounds(arranged);
  EXPECT_EQ(text.size(), 4u * 27u);
  EXPECT_EQ(text.substr(19, 4), "Ser ");
  // More than 2,000 vertices would be cut off by the program.
  BoundaryRun big{60, std::vector<std::pair<double, double>>(2001, {5.5, 0.0})};
  EXPECT_THROW(EncodeBounds({big}), SourceError);
}

TEST(BoundsSource, OutlinesReadByFullName) {
  TempDir dir;
  WriteText(dir.File("cb.dat"),
            ":Orion\n  5.0  10.0 1\n  6.0  10.0 0\n:Serpens Cauda\n  18.3  4.5 1\n:Canes Venatici\n 13.0 40.0 0\n"
            ":Octans\n  0.0 -74.3 1\n  0.0 -90.0 0\n 24.0 -90.0 0\n 24.0 -74.3 1\n 12.0 -74.3 1\n");
  const auto runs = ReadBoundaryOutlines(dir.File("cb.dat"));
  ASSERT_EQ(runs.size(), 4u);
  // The seam to the pole is not part of the boundary.
  EXPECT_EQ(runs[3].points.size(), 3u);
  EXPECT_EQ(runs[0].constellation, 60);
  EXPECT_EQ(runs[0].points.size(), 2u);
  EXPECT_EQ(runs[1].constellation, 76);  // Serpens
  EXPECT_EQ(runs[2].constellation, 13);
  WriteText(dir.File("bad.dat"), ":Atlantis\n 1 2 0\n");
  EXPECT_THROW(ReadBoundaryOutlines(dir.File("bad.dat")), SourceError);
}

TEST(BoundsPrecession, FromJ2000To1875) {
  // Reference: ERFA pmat76 (IAU 1976 precession) from J2000 to JD 2405889.5
  // (1875 January 1.0), applied to the two points. The program's own
  // precession uses the same model; 0.01" allows for rounding.
  const BoundaryRun out = PrecessRunTo1875({60, {{6.0, 20.0}, {23.9, -45.0}}});
  ASSERT_EQ(out.points.size(), 2u);
  constexpr double kTolHours = 0.01 / 54000.0, kTolDeg = 0.01 / 3600.0;
  EXPECT_NEAR(out.points[0].first, 5.876388193282295, kTolHours);
  EXPECT_NEAR(out.points[0].second, 19.98873494189267, kTolDeg);
  EXPECT_NEAR(out.points[1].first, 23.791374187675157, kTolHours);
  EXPECT_NEAR(out.points[1].second, -45.69552431822732, kTolDeg);
}
