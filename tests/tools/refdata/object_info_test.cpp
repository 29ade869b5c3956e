// The deep-sky window for M31 and M42 from the built object database:
// numbers, class, magnitude, size, places and the expanded description.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "catalog/object_catalog.h"
#include "refdata_fixture.h"
#include "tools/object_info.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kArcsec = kPi / 180 / 3600;

TEST(ObjectWindow, AndromedaGalaxyAndOrionNebula) {
  NOCTRA_REQUIRE_REFERENCE_DATA(UseReferenceData());
  auto obs = std::make_unique<TObserverTime>();
  InitObserver(*obs);
  // Published: M31 = NGC 224, 00h42m44.3s +41°16′09″, V 3.4 to 4.4 by
  // source, 178′ × 70′ (RNGC 2000); M42 = NGC 1976, 05h35m17s -05°23′28″
  // (SIMBAD, to the nebula's catalogue centre within 10″), 85′ × 60′.
  const struct {
    const char* ngc;
    const char* messier;
    double raDeg, decDeg, tolArcsec;
    const char* type;
    const char* expandedWord;
    int field;
  } cases[] = {
      {"224", "31", 10.684708, 41.268750, 10, "Galaxy", "galaxy", 9},
      {"1976", "42", 83.822083, -5.391111, 30, "Diffuse nebula", "nebula", 9},
  };
  for (const auto& c : cases) {

    ASSERT_TRUE(ObjectCatalog->FindByName("NGC", c.ngc));
    const TObjectInfo s = MakeObjectInfo(*ObjectCatalog, *obs);

    EXPECT_EQ(s.DisplayName, std::string("NGC") + c.ngc);
    EXPECT_EQ(s.Messier, c.messier);
    EXPECT_EQ(ObjectPoiName(s), std::string("M") + c.messier);
    EXPECT_EQ(s.ObjectType.rfind(c.type, 0), 0u) << s.ObjectType;
    EXPECT_NEAR(s.RaJ2000Rad, c.raDeg * kPi / 180, c.tolArcsec * kArcsec);
    EXPECT_NEAR(s.DecJ2000Rad, c.decDeg * kPi / 180, c.tolArcsec * kArcsec);
    EXPECT_EQ(s.FieldIndex, c.field) << s.Size;
    // The newer description expanded: in lower case words, tidied, no
    // leftover double blanks; an absent 1888 text reads "No data".
    EXPECT_NE(s.NewNotes, "No data");
    EXPECT_NE(s.NewNotesExpanded.find(c.expandedWord), std::string::npos) << s.NewNotesExpanded;
    EXPECT_EQ(s.NewNotesExpanded.find("  "), std::string::npos);
    if (s.OldNotes == "No data") {
      EXPECT_EQ(s.OldNotesExpanded, "No data");
    }
  }

  ASSERT_TRUE(ObjectCatalog->FindByName("NGC", "224"));
  const TObjectInfo m31 = MakeObjectInfo(*ObjectCatalog, *obs);

  EXPECT_EQ(m31.Size, "177.8' x 69.7'");
  EXPECT_EQ(m31.Magnitude, "4.4");
  EXPECT_EQ(m31.NewNotes, "ANDROMEDA GALAXY; PGC 2557; UGC 454 ");
  EXPECT_NE(m31.NewNotesExpanded.find("Uppsala General Catalogue 454"), std::string::npos);
  EXPECT_EQ(m31.NewNotesExpanded.rfind("andromeda galaxy", 0), 0u) << m31.NewNotesExpanded;
}

}  // namespace
