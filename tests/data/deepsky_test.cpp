// The object database and the Messier table, built from a small OpenNGC
// file and deep-sky list written here.
#include <gtest/gtest.h>

#include <cmath>

#include "catalog/sqlite_db.h"
#include "data/common.h"
#include "data/deepsky.h"
#include "platform/codec.h"
#include "tests/data/data_test_util.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using data_test::kDeg;
using data_test::Rows;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// Ten OpenNGC rows and a deep-sky list of two entries; NGC 300 to 302
// carry values off range.
DeepSkyCatalogue SampleCatalogue(const TempDir& dir) {
  data_test::MakeOpenNgc(dir.File("open.kscat"),
              "(8, 10.684791666666664, 41.26905555555555, 4.36, 'M 31', 'Andromeda Galaxy, PGC 2557, NGC 224', "
              "'NGC0224', 177.83, 69.66, 35.0),"
              "(6, 283.396, 33.029, 9.7, 'M 57', 'Ring Nebula, NGC 6720', 'NGC6720', 1.27, NULL, NULL),"
              "(5, 83.81866, -5.38966, 4.0, 'M 42', 'Orion Nebula, NGC 1976', 'NGC1976', 90.0, 60.0, 12.0),"
              "(255, 97.979, 4.942, NULL, 'NGC 2244', '', 'NGC2244', NULL, NULL, NULL),"
              "(255, 1.0, 1.0, NULL, 'NGC 2', '', 'NGC0002', NULL, NULL, NULL),"
              "(8, 226.6, 55.76, 10.74, 'NGC 5866', 'PGC 53933, M 102', 'NGC5866', 6.31, 2.72, 126.0),"
              "(8, 226.7, 55.78, 15.7, 'NGC 5866B', '', 'NGC5866B', 2.3, 1.7, 16.0),"
              "(8, 1.5, 0.5, 14.0, 'NGC 80 NED01', '', 'NGC0080 NED01', 1.0, 0.5, 0.0),"
              "(13, 274.23, -18.51, 4.5, 'M 24', 'IC 4715', 'IC4715', 120.0, 60.0, NULL),"
              "(3, 56.75, 24.11, 1.6, 'M 45', 'Pleiades', 'M 45', 110.0, NULL, NULL),"
              "(8, 11.0, 20.0, 9.0, 'NGC 300', '', 'NGC0300', 1.0, 1.0, 1e300),"  // once overflowed int
              "(8, 12.0, 20.0, 9.0, 'NGC 301', '', 'NGC0301', 1.0, 1.0, -361),"
              "(8, 13.0, 95.0, 9.0, 'NGC 302', '', 'NGC0302', 1.0, 1.0, 10)");
  WriteText(dir.File("dsos.json"),
            R"({"type":"FeatureCollection","features":[
               {"type":"Feature","id":"NGC 2244","properties":{"type":"oc","mag":"4.8","dim":"24","morph":"II3p"},"geometry":{"type":"Point","coordinates":[97.979,4.942]}},
               {"type":"Feature","id":"NGC 224","properties":{"type":"s","mag":"3.44","dim":"189.1x61.7","morph":"SA(s)b"},"geometry":{"type":"Point","coordinates":[10.6847,41.26875]}}]})");
  return ReadOpenNgc(dir.File("open.kscat"), ReadGeoJsonDsos(dir.File("dsos.json")));
}

}  // namespace

TEST(DeepSkyCatalogue, ObjectsClassesAndMessierNumbersWithEntriesOffRangeSkippedAndCounted) {
  TempDir dir;
  const DeepSkyCatalogue cat = SampleCatalogue(dir);
  // NGC 80 NED01 is a component, M 45 no NGC or IC entry.
  EXPECT_EQ(cat.skipped, 2);
  // Position angles beyond ±360° and a declination beyond 90°; no position
  // angle at all (M 57) is not damage.
  EXPECT_EQ(cat.damaged, 3);
  EXPECT_TRUE(std::isnan(cat.ngc[6].pa));
  ASSERT_EQ(cat.ngc.size(), 7u);
  ASSERT_EQ(cat.ic.size(), 1u);
  // Sorted by number, then suffix.
  EXPECT_EQ(cat.ngc[0].id, "2");
  EXPECT_EQ(cat.ngc[1].id, "224");
  EXPECT_EQ(cat.ngc[6].id + cat.ngc[6].subId, "6720");
  EXPECT_EQ(cat.ngc[5].subId, "B");
  const DeepSkyObject& m31 = cat.ngc[1];
  EXPECT_EQ(m31.cls, 5);
  EXPECT_NEAR(m31.ra, 10.684791666666664 * kDeg, 1e-12);
  EXPECT_DOUBLE_EQ(m31.mag, 4.36);  // OpenNGC's own values win
  EXPECT_DOUBLE_EQ(m31.major, 177.83);
  EXPECT_EQ(m31.subClass, "SA(s)b");
  EXPECT_EQ(m31.names, "ANDROMEDA GALAXY; PGC 2557");  // own designation left out
  // Unknown type completed from the deep-sky list; with no entry there the
  // object counts as nonexistent (7).
  EXPECT_EQ(cat.ngc[3].id, "2244");
  EXPECT_EQ(cat.ngc[3].cls, 1);
  EXPECT_DOUBLE_EQ(cat.ngc[3].mag, 4.8);
  EXPECT_DOUBLE_EQ(cat.ngc[3].major, 24.0);
  EXPECT_EQ(cat.ngc[0].cls, 7);
  EXPECT_EQ(cat.filled, 1);
  EXPECT_EQ(cat.ngc[2].cls, 3);  // nebula
  EXPECT_EQ(cat.ngc[6].cls, 4);  // planetary nebula
  EXPECT_EQ(cat.ic[0].cls, 1);   // asterism drawn as a star group
  // Messier numbers from the names, M 102 from the list of other names;
  // the IC object M 24 has no NGC number.
  EXPECT_EQ(cat.messier[31], 224);
  EXPECT_EQ(cat.messier[57], 6720);
  EXPECT_EQ(cat.messier[42], 1976);
  EXPECT_EQ(cat.messier[102], 5866);
  EXPECT_EQ(cat.messier[24], 0);
  EXPECT_EQ(cat.messier[45], 0);
}

TEST(DeepSkyDatabase, TablesColumnsTypesAndValues) {
  TempDir dir;
  const DeepSkyCatalogue cat = SampleCatalogue(dir);
  WriteObjectDatabase(dir.File("Objects.sqlite"), cat.ngc, cat.ic);
  EXPECT_FALSE(testing_support::ReadFile(dir.File("Objects.sqlite")).empty());
  EXPECT_TRUE(testing_support::ReadFile(dir.File("Objects.sqlite.tmp")).empty());
  const std::string db = dir.File("Objects.sqlite");
  // The declared types are words the program's SQL layer maps: text,
  // float and integer.
  EXPECT_EQ(Rows(db, "SELECT name || ':' || type FROM pragma_table_info('BASE_OBJECT_CATALOG')"),
            (std::vector<std::string>{"idx:INTEGER", "ID:VARCHAR (10)", "SubID:VARCHAR (10)", "CL:VARCHAR (10)",
                                      "SubCL:VARCHAR (10)", "RA:DOUBLE", "DE:DOUBLE", "Mv:FLOAT", "MaA:INTEGER",
                                      "MiA:INTEGER", "PA:INTEGER", "DIST:DOUBLE", "RNGCOld:VARCHAR (255)",
                                      "RNGCNew:VARCHAR (255)"}));
  EXPECT_EQ(Rows(db, "SELECT count(*) FROM BASE_OBJECT_CATALOG"), std::vector<std::string>{"7"});
  EXPECT_EQ(Rows(db, "SELECT ID, CL FROM IC"), std::vector<std::string>{"4715|1"});
  // M 31: sizes in tenths of an arcminute, position angle in degrees.
  EXPECT_EQ(Rows(db, "SELECT idx, ID, SubID, CL, MaA, MiA, PA, DIST, RNGCOld, RNGCNew, typeof(Mv) "
                           "FROM BASE_OBJECT_CATALOG WHERE ID = '224'"),
            std::vector<std::string>{"2|224|NULL|5|1778|697|35|NULL|NULL|ANDROMEDA GALAXY; PGC 2557|real"});
  // A planetary nebula's size in arcseconds: 1.27' = 76".
  EXPECT_EQ(Rows(db, "SELECT MaA, MiA FROM BASE_OBJECT_CATALOG WHERE ID = '6720'"),
            std::vector<std::string>{"76|NULL"});
  // A nebula keeps PA empty: there it would name an outline record.
  EXPECT_EQ(Rows(db, "SELECT PA FROM BASE_OBJECT_CATALOG WHERE ID = '1976'"), std::vector<std::string>{"NULL"});
  // No magnitude is 23, so that magnitude filters keep the object.
  EXPECT_EQ(Rows(db, "SELECT Mv FROM BASE_OBJECT_CATALOG WHERE ID = '2'"), std::vector<std::string>{"23.0"});
  EXPECT_EQ(Rows(db, "SELECT count(*) FROM BASE_OBJECT_CATALOG WHERE (((Mv>=-1.5) AND (Mv<=12)) OR (Mv=23)) "
                           "AND (Cl IN ('5'))"),
            std::vector<std::string>{"2"});
  // Positions in radians.
  const std::vector<std::string> ra = Rows(db, "SELECT RA, DE FROM BASE_OBJECT_CATALOG WHERE ID = '224'");
  ASSERT_EQ(ra.size(), 1u);
  double r = 0, d = 0;
  ASSERT_EQ(std::sscanf(ra[0].c_str(), "%lf|%lf", &r, &d), 2);
  EXPECT_NEAR(r, 10.684791666666664 * kDeg, 1e-12);
  EXPECT_NEAR(d, 41.26905555555555 * kDeg, 1e-12);
}

// A second build rewrites the builder's two tables and keeps the tables the
// user imported; a file that is no database is refused and left as it is.
TEST(DeepSkyDatabase, RewritesItsTablesAndKeepsImportedOnes) {
  TempDir dir;
  const DeepSkyCatalogue cat = SampleCatalogue(dir);
  const std::string db = dir.File("Objects.sqlite");
  WriteObjectDatabase(db, cat.ngc, cat.ic);
  TSQLiteDatabase(db).Execute("CREATE TABLE mine AS SELECT 'x' AS ID");
  EXPECT_EQ(WriteObjectDatabase(db, {cat.ngc[1]}, cat.ic), 1);
  EXPECT_EQ(Rows(db, "SELECT ID FROM BASE_OBJECT_CATALOG"), std::vector<std::string>{"224"});
  EXPECT_EQ(Rows(db, "SELECT ID FROM mine"), std::vector<std::string>{"x"});
  WriteText(dir.File("junk.sqlite"), std::string(2048, 'j'));
  EXPECT_THROW(WriteObjectDatabase(dir.File("junk.sqlite"), cat.ngc, cat.ic), SourceError);
  EXPECT_EQ(testing_support::ReadText(dir.File("junk.sqlite")), std::string(2048, 'j'));
}

TEST(DeepSkyClasses, TypeCodes) {
  EXPECT_EQ(ClassForOpenNgcType(3), 1);
  EXPECT_EQ(ClassForOpenNgcType(4), 2);
  EXPECT_EQ(ClassForOpenNgcType(7), 3);  // supernova remnant as nebula
  EXPECT_EQ(ClassForOpenNgcType(14), 5);
  EXPECT_EQ(ClassForOpenNgcType(17), -1);
  EXPECT_EQ(ClassForGeoJsonType("gc"), 2);
  EXPECT_EQ(ClassForGeoJsonType("rn"), 3);
  EXPECT_EQ(ClassForGeoJsonType("s0"), 5);
  EXPECT_EQ(ClassForGeoJsonType("qso"), -1);
}
