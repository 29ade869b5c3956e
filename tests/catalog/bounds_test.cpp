// Constellation boundaries: "Bounds.dat" read and refused when damaged, the
// segment walk densified and bounded, the points precessed from 1875.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "astro/constellations.h"
#include "astro/observer.h"
#include "astro/timescales.h"
#include "catalog/bounds.h"
#include "platform/dialogs.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

namespace {

constexpr double kRadPerHour = M_PI / 12.0;
constexpr double kRadPerDegree = M_PI / 180.0;

// One 27-byte record: right ascension (hours), declination (degrees), the
// abbreviation, two unused characters and CR LF.
std::string Record(const char* hours, const char* degrees, const char* abbr) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%8.8s %9.9s %-4s  \r\n", hours, degrees, abbr);
  return buf;
}
std::string Record(double hours, double degrees, const char* abbr) {
  char h[16], d[16];
  std::snprintf(h, sizeof h, "%8.5f", hours);
  std::snprintf(d, sizeof d, "%+9.5f", degrees);
  return Record(h, d, abbr);
}

struct BoundsFolder {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  BoundsFolder() { DataFolder = dir.Path(); }
  ~BoundsFolder() {
    DataFolder.clear();
    SetVertices({});
  }
  // Writes the file, reads it and answers the number of vertices read.
  int Load(const std::string& text) {
    testing_support::WriteText(dir.File("bounds.dat"), text);  // found whatever its letter case
    dialogs.Clear();
    ForgetDataFileProblemsForTest();  // each load tells afresh
    LoadBounds();
    return BoundaryVertexCount;
  }
  static void SetVertices(const std::vector<TBoundaryVertex>& v) {
    BoundaryVertices = v;
    BoundaryVertexCount = int32_t(v.size());
  }
};

}  // namespace

TEST(Boundaries, LoadingRecords) {
  BoundsFolder f;
  ASSERT_EQ(Record(1, 10, "AND").size(), kBoundsRecordBytes);
  std::string text = Record(22.5, 35.5, "AND") + Record(0.25, -89.99, "OCT") + Record(3, 5, "SER1");
  text.resize(text.size() - 2);  // the last record lacks its line end
  ASSERT_EQ(f.Load(text), 3);
  EXPECT_NEAR(BoundaryVertices[0].RA, 22.5 * kRadPerHour, 1e-15);
  EXPECT_NEAR(BoundaryVertices[0].Dec, 35.5 * kRadPerDegree, 1e-15);
  EXPECT_EQ(BoundaryVertices[0].Abbr, "AND ");
  EXPECT_NEAR(BoundaryVertices[1].Dec, -89.99 * kRadPerDegree, 1e-15);
  EXPECT_EQ(BoundaryVertices[2].Abbr, "SER1");
  EXPECT_EQ(f.dialogs.Count(), 0u);
  // The limits themselves are positions on the sky.
  EXPECT_EQ(f.Load(Record(" 0.00000", "-90.00000", "OCT") + Record("24.00000", "+90.00000", "UMI")), 2);
  // At most 2,000 vertices.
  std::string many;
  for (int i = 0; i < 2100; ++i) many += Record(i % 24, 0, "ORI");
  EXPECT_EQ(f.Load(many), 2000);

  std::remove(f.dir.File("bounds.dat").c_str());
  ForgetDataFileProblemsForTest();
  LoadBounds();
  EXPECT_TRUE(testing_support::StartsWith(f.dialogs.Last().text,
                                          "Warning: Can't open file \"Bounds.dat\": the file is missing.\r\n"));
  EXPECT_EQ(BoundaryVertexCount, 0);
}

// A number that does not convert or a position off the sky: message 103,
// naming the record, and no boundaries at all.
TEST(Boundaries, DamagedRecordsAreRefused) {
  BoundsFolder f;
  const std::pair<const char*, const char*> bad[] = {
      {"  x.5   ", "+10.00000"}, {" 1.00000", "+1e31    "},  // once overflowed an integer conversion
      {" 1.00000", "+90.00001"}, {" 1.00000", "-1000000 "}, {"24.00001", "+10.00000"},
      {"-0.00001", "+10.00000"}, {"1e300   ", "+10.00000"}};
  for (const auto& [hours, degrees] : bad) {
    EXPECT_EQ(f.Load(Record(1, 1, "AND") + Record(hours, degrees, "AND")), 0) << hours << degrees;
    ASSERT_EQ(f.dialogs.Count(), 1u);
    EXPECT_TRUE(
        testing_support::StartsWith(f.dialogs.Last().text, "Warning: Can't read file \"Bounds.dat\": record 2 holds "));
    EXPECT_NE(f.dialogs.Last().text.find("no boundaries are drawn"), std::string::npos);
  }
}

TEST(Boundaries, ConstellationNumbers) {
  const std::pair<const char*, int> cases[] = {{"AND ", 1}, {"and", 1}, {"SER1", ConstellationNumber("Ser")},
                                               {"UMA", ConstellationNumber("UMa")}, {"XYZ", 0}, {"", 0}};
  for (const auto& [abbr, number] : cases) EXPECT_EQ(FindConstellation(abbr), number) << abbr;
}

TEST(Boundaries, SegmentsAreDensifiedTheShortWay) {
  // An observer at 1875 January 1.0: precession leaves the points as walked.
  TObserverTime obs;
  InitObserver(obs);
  SetObserverTT(obs, JulianDay(1875, 1, 1, 0));
  constexpr double k5m = 5.0 / 60 * kRadPerHour;
  struct Case {
    const char* what;
    std::vector<TBoundaryVertex> vertices;
    std::vector<TBoundaryPoint> points;  // RA, Dec, kind (constellation not compared)
  };
  const Case cases[] = {
      {"one vertex: a single pen-up point", {{1.0, 0.2, "ORI "}}, {{1.0, 0.2, kBoundaryNewRun}}},
      {"7.5°: two steps from the end back to the start",
       {{1.0, 0.0, "ORI "}, {1.0, 7.5 * kRadPerDegree, "ORI "}},
       {{1.0, 0.0, kBoundaryNewRun}, {1.0, 7.5 * kRadPerDegree, kBoundarySegmentStart},
        {1.0, 3.75 * kRadPerDegree, kBoundaryFollow}, {1.0, 0.0, kBoundaryFollow}}},
      {"zero length: one step",
       {{1.0, 0.0, "ORI "}, {1.0, 0.0, "ORI "}},
       {{1.0, 0.0, kBoundaryNewRun}, {1.0, 0.0, kBoundarySegmentStart}, {1.0, 0.0, kBoundaryFollow}}},
      {"23h55m to 0h05m through 0h",
       {{24 * kRadPerHour - k5m, 0.3, "PSC "}, {k5m, 0.3, "PSC "}},
       {{24 * kRadPerHour - k5m, 0.3, kBoundaryNewRun}, {k5m, 0.3, kBoundarySegmentStart},
        {-k5m, 0.3, kBoundaryFollow}}},
      {"and back",
       {{k5m, 0.3, "PSC "}, {24 * kRadPerHour - k5m, 0.3, "PSC "}},
       {{k5m, 0.3, kBoundaryNewRun}, {24 * kRadPerHour - k5m, 0.3, kBoundarySegmentStart},
        {24 * kRadPerHour + k5m, 0.3, kBoundaryFollow}}},
      {"a new abbreviation starts a new run",
       {{1.0, 0.0, "SER1"}, {1.0, 0.01, "SER2"}},
       {{1.0, 0.0, kBoundaryNewRun}, {1.0, 0.01, kBoundaryNewRun}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoundsFolder::SetVertices(c.vertices);
    PrecessBounds(obs);
    ASSERT_EQ(BoundaryPointCount, int(c.points.size()));
    for (std::size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_NEAR(BoundaryPoints[i].RA, c.points[i].RA, 1e-12) << i;
      EXPECT_NEAR(BoundaryPoints[i].Dec, c.points[i].Dec, 1e-12) << i;
      EXPECT_EQ(BoundaryPoints[i].Kind, c.points[i].Kind) << i;
    }
  }
  EXPECT_EQ(BoundaryPoints[0].Constellation, ConstellationNumber("Ser"));
  // At most 5,000 points.
  std::vector<TBoundaryVertex> many;
  for (int i = 0; i < 2000; ++i) many.push_back({(i % 2) * M_PI * 0.99, 0.0, "ORI "});
  BoundsFolder::SetVertices(many);
  PrecessBounds(obs);
  EXPECT_EQ(BoundaryPointCount, kMaxBoundaryPoints);
  // Vertices set by a caller rather than read: a huge and a non-finite
  // declination once took about 2e8 steps per segment. One start point, then
  // at most 37 steps and the closing point per segment.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  BoundsFolder::SetVertices(
      {{1.0, 0.0, "ORI "}, {1.0, 1e9, "ORI "}, {1.0, nan, "ORI "}, {1.0, -1e300, "ORI "}});
  PrecessBounds(obs);
  EXPECT_LE(BoundaryPointCount, 1 + 3 * 38);
  EXPECT_GT(BoundaryPointCount, 3);
  BoundsFolder::SetVertices({});
}

TEST(Boundaries, PrecessedFrom1875AgainstErfa) {
  // ERFA (pyerfa 2.0): eraPmat76(2461041.5, 0) × eraPmat76(2405889.5, 0)ᵀ
  // applied to the 1875 positions. The closed-form angles from a non-J2000
  // start agree with ERFA's two rotations to 1e-8 rad (2 mas) over 150 years.
  struct Case {
    double hours, degrees, ra, dec;
  };
  const Case cases[] = {{1.0, 10.0, 0.29629778720606514, 0.18864042559299388},
                        {23.0, 89.0, 5.219288872696387, 1.5659999641941744},
                        {12.5, -40.0, 3.3080999805294216, -0.7126448942046166}};
  TObserverTime obs;
  InitObserver(obs);
  SetObserverTT(obs, 2461041.5);
  std::vector<TBoundaryVertex> v;
  for (const Case& c : cases) v.push_back({c.hours * kRadPerHour, c.degrees * kRadPerDegree, "ORI "});
  v[1].Abbr = "UMI ";
  v[2].Abbr = "CEN ";
  BoundsFolder::SetVertices(v);
  PrecessBounds(obs);
  ASSERT_EQ(BoundaryPointCount, 3);
  // Compared as the angle between the two directions (right ascension alone
  // means little near the pole).
  for (int i = 0; i < 3; ++i) {
    const TBoundaryPoint& p = BoundaryPoints[std::size_t(i)];
    const double dx = std::cos(p.Dec) * std::cos(p.RA) - std::cos(cases[i].dec) * std::cos(cases[i].ra);
    const double dy = std::cos(p.Dec) * std::sin(p.RA) - std::cos(cases[i].dec) * std::sin(cases[i].ra);
    const double dz = std::sin(p.Dec) - std::sin(cases[i].dec);
    EXPECT_LT(std::sqrt(dx * dx + dy * dy + dz * dz), 1e-8) << i;  // the chord, ≈ the angle
  }
  BoundsFolder::SetVertices({});
}

TEST(Boundaries, SunAndMoonImageSides) {
  struct Case {
    int32_t size;
    float aspect;
    int32_t side;
  };
  const Case cases[] = {{100, 1.0f, 104}, {101, 1.0f, 108},
                        {50, 1.5f, 80},    // 75 → 76, + 4
                        {50, 0.5f, 104},   // 100 → 100, + 4
                        {25, 1.5f, 44},    // 37.5 rounds to 38 → 40, + 4
                        {27, 1.5f, 44}};   // 40.5 rounds to 40 → 40, + 4
  for (const Case& c : cases)
    EXPECT_EQ(SunMoonImageSide(c.size, c.aspect), c.side) << c.size << " " << c.aspect;
}
