// Damaged source files of noctra-mkdata: bad records are left out and
// counted, and sizes are checked against the file before anything large is
// allocated.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <zlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/common.h"
#include "data/deepsky.h"
#include "data/elements.h"
#include "data/refdata.h"
#include "data/relief.h"
#include "data/stars.h"
#include "data/zonecat.h"
#include "platform/codec.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using testing_support::TempDir;
using testing_support::WriteText;

TEST(SourceRobustness, GeoJsonStarsOffTheSkyAreSkippedAndCounted) {
  TempDir dir;
  WriteText(dir.File("stars.json"),
            R"({"type":"FeatureCollection","features":[
               {"type":"Feature","id":1,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[10,-90]}},
               {"type":"Feature","id":2,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[10,90.5]}},
               {"type":"Feature","id":3,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[10,-1e300]}},
               {"type":"Feature","id":4,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[1e30,10]}},
               {"type":"Feature","id":5,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[-400,10]}}]})");
  int offSky = 0;
  const auto pos = ReadGeoJsonStars(dir.File("stars.json"), &offSky);
  EXPECT_EQ(offSky, 4);
  ASSERT_EQ(pos.size(), 1u);
  EXPECT_EQ(pos.count(1), 1u);  // the pole itself is on the sky
}

TEST(SourceRobustness, FileUnitConversionsSaturate) {
  // Readers refuse positions off the sky; the conversions themselves never
  // overflow whatever they get.
  EXPECT_EQ(AngleToFileUnits(1e300), INT32_MAX);
  EXPECT_EQ(AngleToFileUnits(-1e300), INT32_MIN);
  EXPECT_EQ(AngleToFileUnits(NAN), 0);
  EXPECT_EQ(ClampToI16(NAN), 0);
  EXPECT_EQ(ClampToI16(-1e9), INT16_MIN);
  EXPECT_EQ(MagnitudeByte(NAN), 0);
  EXPECT_EQ(MagnitudeByte(1e9), 255);
}

TEST(SourceRobustness, OpenNgcEntriesOffRangeAreSkippedAndCounted) {
  TempDir dir;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dir.File("open.kscat").c_str(), &db), SQLITE_OK);
  const char* sql =
      "CREATE TABLE cat(hash, oid, type INT, ra REAL, dec REAL, magnitude REAL, name TEXT, long_name TEXT, "
      "catalog_identifier TEXT, major_axis REAL, minor_axis REAL, position_angle REAL, flux REAL, trixel INT, "
      "res_1, res_2, res_3, res_4, catalog INT);"
      "INSERT INTO cat (type, ra, dec, magnitude, name, long_name, catalog_identifier, major_axis, minor_axis, "
      "position_angle) VALUES "
      "(8, 10.68, 41.27, 4.36, 'M 31', '', 'NGC0224', 177.83, 69.66, 35.0),"
      "(8, 11.0, 20.0, 9.0, 'NGC 300', '', 'NGC0300', 1.0, 1.0, 1e300),"  // once overflowed int
      "(8, 12.0, 20.0, 9.0, 'NGC 301', '', 'NGC0301', 1.0, 1.0, -361),"
      "(8, 13.0, 95.0, 9.0, 'NGC 302', '', 'NGC0302', 1.0, 1.0, 10),"
      "(8, 14.0, 20.0, 9.0, 'NGC 303', '', 'NGC0303', 1.0, 1.0, NULL);";
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  const DeepSkyCatalogue cat = ReadOpenNgc(dir.File("open.kscat"), {});
  EXPECT_EQ(cat.damaged, 3);
  ASSERT_EQ(cat.ngc.size(), 2u);
  EXPECT_EQ(cat.ngc[0].number, 224);
  EXPECT_TRUE(std::isnan(cat.ngc[1].pa));  // no position angle is not damage
}

TEST(SourceRobustness, ZoneCatalogueHeaderCheckedAgainstFileSize) {
  // A header claiming grid level 10 (21 million zones) in a 40-byte file is
  // refused before the grid is built.
  std::vector<uint8_t> file(40, 0);
  platform::PutU32(&file[0], kZoneCatalogueMagic);
  platform::PutU32(&file[16], 10);
  platform::PutI32(&file[24], 1000);
  platform::PutI32(&file[28], 10);
  try {
    DecodeZoneCatalogue(file, "big.cat");
    FAIL() << "a short file with a large grid level was accepted";
  } catch (const SourceError& e) {
    EXPECT_NE(std::string(e.what()).find("zone table cut short"), std::string::npos) << e.what();
  }
}

TEST(SourceRobustness, GazetteerCountCheckedAgainstStreamSize) {
  TempDir dir;
  // A count of ten million in a 5-byte stream once reserved 1.5 GB.
  const std::string path = dir.File("locations.bin.gz");
  gzFile gz = gzopen(path.c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  const unsigned char bytes[5] = {0x00, 0x98, 0x96, 0x80, 0x00};
  ASSERT_EQ(gzwrite(gz, bytes, sizeof bytes), 5);
  ASSERT_EQ(gzclose(gz), Z_OK);
  try {
    ReadLocations(path);
    FAIL() << "a location count beyond the stream was accepted";
  } catch (const SourceError& e) {
    EXPECT_NE(std::string(e.what()).find("bad location count"), std::string::npos) << e.what();
  }
}

TEST(SourceRobustness, AsteroidNamesOfAnyLengthAreSplitByScanning) {
  TempDir dir;
  // A 50,000-character name once exhausted the stack in a regular
  // expression.
  const std::string longName = "  7 " + std::string(50000, 'x') + " (" + std::string(100, 'y') + ")";
  const std::string numbers = R"("59800","0.1","2.7","2.5","10","80","73","334")";
  WriteText(dir.File("ast.json"),
            R"J({"fields":["full_name","H","epoch_mjd","e","a","q","i","om","w","ma"],"data":[)J"
            R"J([")J" + longName + R"J(","3",)J" + numbers + "]," +
            R"J(["  8 Flora  (A847 UA)","6",)J" + numbers + "]," +
            R"J(["  9 (1974 FV1)","9",)J" + numbers + "]," +
            R"J(["  10 Hygiea","9",)J" + numbers + "]," +
            R"J(["11Parthenope","9",)J" + numbers + "]," +
            R"J(["Eros","9",)J" + numbers + "]]}");
  int skipped = 0;
  const auto ast = ReadAsteroidList(dir.File("ast.json"), &skipped);
  ASSERT_EQ(ast.size(), 4u);
  EXPECT_EQ(skipped, 2);  // no blank after the number; no number
  EXPECT_EQ(ast[0].name, "(7) " + std::string(50000, 'x'));
  EXPECT_EQ(ast[1].name, "(8) Flora");
  EXPECT_EQ(ast[2].name, "(9) 1974 FV1");
  EXPECT_EQ(ast[3].name, "(10) Hygiea");
}

TEST(SourceRobustness, LandPointsOffTheGlobeAreRefused) {
  TempDir dir;
  // A longitude of -2e42 once made the ring unwrapping step 360° at a time.
  for (const char* point : {"[-2e42, 10]", "[10, 91]", "[181, 0]"}) {
    WriteText(dir.File("land.json"),
              std::string(R"({"type":"Topology","objects":{"land":{"type":"GeometryCollection","geometries":[)"
                          R"({"type":"Polygon","arcs":[[0]]}]}},"arcs":[[[0,0],[10,0],)") +
                  point + ",[0,0]]]}");
    EXPECT_THROW(ReadTopoJsonLand(dir.File("land.json")), SourceError) << point;
  }
  WriteText(dir.File("land.json"),
            R"({"type":"Topology","objects":{"land":{"type":"GeometryCollection","geometries":[)"
            R"({"type":"Polygon","arcs":[[0]]}]}},"arcs":[[[170,0],[-170,0],[-170,10],[170,0]]]})");
  const auto rings = ReadTopoJsonLand(dir.File("land.json"));
  ASSERT_EQ(rings.size(), 1u);
  // The ring across the antimeridian covers the cells on both sides of it.
  const auto frac = LandFractions(rings);
  EXPECT_GT(frac[90 + 2][179], 0.0);  // 180° east, 2° north
  EXPECT_EQ(frac[90 + 2][100], 0.0);
}
