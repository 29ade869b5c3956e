#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "app/globals.h"
#include "astro/constellations.h"
#include "astro/observer.h"
#include "astro/timescales.h"
#include "catalog/bounds.h"
#include "platform/dialogs.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;
using testing_support::WriteText;

namespace {

constexpr double kRadPerHour = M_PI / 12.0;
constexpr double kRadPerDegree = M_PI / 180.0;

// One 27-byte record: right ascension (hours), declination (degrees), the
// abbreviation, two unused characters and CR LF.
std::string Record(double hours, double degrees, const std::string& abbr) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%8.5f %+9.5f %-4s  \r\n", hours, degrees, abbr.c_str());
  return buf;
}

struct BoundsFolder {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  BoundsFolder() { DataFolder = dir.Path(); }
  ~BoundsFolder() {
    DataFolder.clear();
    BoundaryVertices.clear();
    BoundaryVertexCount = 0;
  }
  void Write(const std::string& text) { WriteText(dir.File("bounds.dat"), text); }
};

void SetVertices(const std::vector<TBoundaryVertex>& v) {
  BoundaryVertices = v;
  BoundaryVertexCount = int32_t(v.size());
}

// An observer at 1875 January 1.0: precession leaves the points as walked.
TObserverTime At1875() {
  TObserverTime obs;
  InitObserver(obs);
  SetObserverTT(obs, JulianDay(1875, 1, 1, 0));
  return obs;
}

}  // namespace

TEST(Boundaries, LoadingRecords) {
  BoundsFolder f;
  ASSERT_EQ(Record(1, 10, "AND").size(), kBoundsRecordBytes);
  std::string text = Record(22.5, 35.5, "AND") + Record(0.25, -89.99, "OCT") + Record(3, 5, "SER1");
  text.resize(text.size() - 2);  // the last record lacks its line end
  f.Write(text);
  LoadBounds();
  ASSERT_EQ(BoundaryVertexCount, 3);
  EXPECT_NEAR(BoundaryVertices[0].RA, 22.5 * kRadPerHour, 1e-15);
  EXPECT_NEAR(BoundaryVertices[0].Dec, 35.5 * kRadPerDegree, 1e-15);
  EXPECT_EQ(BoundaryVertices[0].Abbr, "AND ");
  EXPECT_NEAR(BoundaryVertices[1].Dec, -89.99 * kRadPerDegree, 1e-15);
  EXPECT_EQ(BoundaryVertices[2].Abbr, "SER1");
  EXPECT_EQ(f.dialogs.Count(), 0u);

  // At most 2,000 vertices.
  std::string many;
  for (int i = 0; i < 2100; ++i) many += Record(i % 24, 0, "ORI");
  f.Write(many);
  LoadBounds();
  EXPECT_EQ(BoundaryVertexCount, 2000);

  // A number that does not convert: message 103 and no boundaries at all.
  f.Write(Record(1, 1, "AND") + "  x.5    +10.00000 AND   \r\n");
  LoadBounds();
  EXPECT_EQ(BoundaryVertexCount, 0);
  ASSERT_EQ(f.dialogs.Count(), 1u);
  EXPECT_EQ(f.dialogs.Last().text, "Warning: Can't read file \"Bounds.dat\"");

  std::remove(f.dir.File("bounds.dat").c_str());
  LoadBounds();
  EXPECT_EQ(f.dialogs.Last().text, "Warning: Can't open file \"Bounds.dat\"");
  EXPECT_EQ(BoundaryVertexCount, 0);
}

TEST(Boundaries, ConstellationNumbers) {
  EXPECT_EQ(FindConstellation("AND "), 1);
  EXPECT_EQ(FindConstellation("and"), 1);
  EXPECT_EQ(FindConstellation("SER1"), ConstellationNumber("Ser"));
  EXPECT_EQ(FindConstellation("UMA"), ConstellationNumber("UMa"));
  EXPECT_EQ(FindConstellation("XYZ"), 0);
  EXPECT_EQ(FindConstellation(""), 0);
}

TEST(Boundaries, SegmentsAreDensified) {
  const TObserverTime obs = At1875();
  // A run of one vertex is a single pen-up point.
  SetVertices({{1.0, 0.2, "ORI "}});
  PrecessBounds(obs);
  ASSERT_EQ(BoundaryPointCount, 1);
  EXPECT_EQ(BoundaryPoints[0].Kind, kBoundaryNewRun);
  EXPECT_EQ(BoundaryPoints[0].Constellation, ConstellationNumber("Ori"));

  // 7.5° in declination: two steps, three points from the end back to the start.
  SetVertices({{1.0, 0.0, "ORI "}, {1.0, 7.5 * kRadPerDegree, "ORI "}});
  PrecessBounds(obs);
  ASSERT_EQ(BoundaryPointCount, 4);
  EXPECT_EQ(BoundaryPoints[1].Kind, kBoundarySegmentStart);
  EXPECT_EQ(BoundaryPoints[2].Kind, kBoundaryFollow);
  EXPECT_EQ(BoundaryPoints[3].Kind, kBoundaryFollow);
  EXPECT_NEAR(BoundaryPoints[1].Dec, 7.5 * kRadPerDegree, 1e-12);
  EXPECT_NEAR(BoundaryPoints[2].Dec, 3.75 * kRadPerDegree, 1e-12);
  EXPECT_NEAR(BoundaryPoints[3].Dec, 0.0, 1e-12);
  EXPECT_NEAR(BoundaryPoints[3].RA, 1.0, 1e-12);

  // A zero-length segment: one step, two points.
  SetVertices({{1.0, 0.0, "ORI "}, {1.0, 0.0, "ORI "}});
  PrecessBounds(obs);
  EXPECT_EQ(BoundaryPointCount, 3);

  // 23h55m to 0h05m goes through 0h: 10 minutes of right ascension.
  SetVertices({{(23 + 55.0 / 60) * kRadPerHour, 0.3, "PSC "}, {(5.0 / 60) * kRadPerHour, 0.3, "PSC "}});
  PrecessBounds(obs);
  ASSERT_EQ(BoundaryPointCount, 3);
  EXPECT_NEAR(BoundaryPoints[1].RA, (5.0 / 60) * kRadPerHour, 1e-12);
  EXPECT_NEAR(BoundaryPoints[2].RA, (-5.0 / 60) * kRadPerHour, 1e-12);
  // And back the other way.
  SetVertices({{(5.0 / 60) * kRadPerHour, 0.3, "PSC "}, {(23 + 55.0 / 60) * kRadPerHour, 0.3, "PSC "}});
  PrecessBounds(obs);
  ASSERT_EQ(BoundaryPointCount, 3);
  EXPECT_NEAR(BoundaryPoints[2].RA, (24 + 5.0 / 60) * kRadPerHour, 1e-12);

  // A new abbreviation starts a new run.
  SetVertices({{1.0, 0.0, "SER1"}, {1.0, 0.01, "SER2"}});
  PrecessBounds(obs);
  ASSERT_EQ(BoundaryPointCount, 2);
  EXPECT_EQ(BoundaryPoints[1].Kind, kBoundaryNewRun);

  // At most 5,000 points.
  std::vector<TBoundaryVertex> many;
  for (int i = 0; i < 2000; ++i) many.push_back({(i % 2) * M_PI * 0.99, 0.0, "ORI "});
  SetVertices(many);
  PrecessBounds(obs);
  EXPECT_EQ(BoundaryPointCount, kMaxBoundaryPoints);
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
  SetVertices(v);
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
}

TEST(Boundaries, SunAndMoonImageSides) {
  EXPECT_EQ(SunMoonImageSide(100, 1.0f), 104);
  EXPECT_EQ(SunMoonImageSide(101, 1.0f), 108);
  EXPECT_EQ(SunMoonImageSide(50, 1.5f), 80);   // 75 → 76, + 4
  EXPECT_EQ(SunMoonImageSide(50, 0.5f), 104);  // 100 → 100, + 4
  EXPECT_EQ(SunMoonImageSide(25, 1.5f), 44);   // 37.5 rounds to 38 → 40, + 4
  EXPECT_EQ(SunMoonImageSide(27, 1.5f), 44);   // 40.5 rounds to 40 → 40, + 4
}
