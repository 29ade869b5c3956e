// A damaged "Bounds.dat" is refused when read, and the segment walk stays
// bounded whatever vertices it is given.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "app/globals.h"
#include "astro/observer.h"
#include "catalog/bounds.h"
#include "platform/dialogs.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// One 27-byte record with the two number fields as given.
std::string Record(const char* hours, const char* degrees, const char* abbr) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%8.8s %9.9s %-4s  \r\n", hours, degrees, abbr);
  return buf;
}

}  // namespace

TEST(BoundsRobustness, PositionsOffTheSkyAreRefused) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  DataFolder = dir.Path();
  const std::string good = Record(" 1.00000", "+10.00000", "AND");
  ASSERT_EQ(good.size(), kBoundsRecordBytes);
  struct Case {
    const char* hours;
    const char* degrees;
  };
  const Case bad[] = {{" 1.00000", "+1e31    "},  // once overflowed an integer conversion
                      {" 1.00000", "+90.00001"},
                      {" 1.00000", "-1000000 "},
                      {"24.00001", "+10.00000"},
                      {"-0.00001", "+10.00000"},
                      {"1e300   ", "+10.00000"}};
  for (const Case& c : bad) {
    dialogs.Clear();
    WriteText(dir.File("Bounds.dat"), good + Record(c.hours, c.degrees, "AND"));
    LoadBounds();
    EXPECT_EQ(BoundaryVertexCount, 0) << c.degrees;
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Warning: Can't read file \"Bounds.dat\"");
  }
  // The limits themselves are positions on the sky.
  WriteText(dir.File("Bounds.dat"), Record(" 0.00000", "-90.00000", "OCT") + Record("24.00000", "+90.00000", "UMI"));
  LoadBounds();
  EXPECT_EQ(BoundaryVertexCount, 2);
  DataFolder.clear();
  BoundaryVertices.clear();
  BoundaryVertexCount = 0;
}

TEST(BoundsRobustness, WalkIsBoundedForAnyVertices) {
  TObserverTime obs;
  InitObserver(obs);
  // Vertices set by a caller rather than read: a huge and a non-finite
  // declination once took about 2e8 steps per segment.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  BoundaryVertices = {{1.0, 0.0, "ORI "}, {1.0, 1e9, "ORI "}, {1.0, nan, "ORI "}, {1.0, -1e300, "ORI "}};
  BoundaryVertexCount = 4;
  PrecessBounds(obs);
  // One start point, then at most 37 steps and the closing point per
  // segment.
  EXPECT_LE(BoundaryPointCount, 1 + 3 * 38);
  EXPECT_GT(BoundaryPointCount, 3);
  BoundaryVertices.clear();
  BoundaryVertexCount = 0;
}
