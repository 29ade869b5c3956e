// Catalogue import: line splitting, the group rules of the type tree, and
// imports of small files into a database written by the test.
#include "catalog/catalog_import.h"

#include <gtest/gtest.h>

#include <cmath>

#include "astro/observer.h"
#include "astro/precession.h"
#include "catalog/sqlite_db.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kDeg = M_PI / 180;

// Index of a type in the tree by its code (the first of that code).
int TypeIndex(const std::string& code, int subGroup = -2) {
  const auto& types = ImportTypeTree().Types;
  for (std::size_t i = 0; i < types.size(); ++i)
    if (types[i].Code == code && (subGroup == -2 || types[i].SubGroup == subGroup)) return int(i);
  ADD_FAILURE() << code;
  return 0;
}

// An assignment from (code, column) pairs.
std::vector<int> Assign(std::initializer_list<std::pair<const char*, int>> list, int dedSub = 0) {
  std::vector<int> a(ImportTypeTree().Types.size(), -1);
  for (const auto& [code, column] : list)
    a[std::size_t(TypeIndex(code, std::string(code) == "DED" ? dedSub : -2))] = column;
  return a;
}

struct ImportFixture : ::testing::Test {
  ObjectDatabase db;
  TImportJob Job(const std::string& fileName, const std::string& text, std::vector<int> columns) {
    testing_support::WriteText(db.dir.File(fileName), text);
    TImportJob job;
    job.FileName = db.dir.File(fileName);
    job.DatabasePath = db.path;
    job.Table = ImportTableName(job.FileName);
    job.ColumnOfType = std::move(columns);
    return job;
  }
  TSQLiteTable Rows(const std::string& table) {
    TSQLiteDatabase d(db.path);
    return d.GetTable("SELECT * FROM " + SQLiteQuoteName(table) + " ORDER BY idx");
  }
};

// ID, RA h m s, DE d m s, Mv, class code column 8, major axis.
const std::vector<int> kHmsDms = Assign({{"ID", 0}, {"RAH", 1}, {"RAM", 2}, {"RAS", 3}, {"DED", 4},
                                         {"DEM", 5}, {"DES", 6}, {"Mv", 7}, {"CL", 8}, {"MaA", 9}});

}  // namespace

TEST(ImportSplit, SeparatorsFixedColumnsAndFixedListRules) {
  TImportLayout comma;
  comma.Comma = true;
  EXPECT_EQ(SplitImportLine(" a , b,,c ", comma), (std::vector<std::string>{"a", "b", "", "c"}));
  TImportLayout tab;
  tab.Tab = true;  // character 9, not form feed
  EXPECT_EQ(SplitImportLine("x\ty z\t\f", tab), (std::vector<std::string>{"x", "y z", ""}));
  TImportLayout two;
  two.Semicolon = two.Bar = true;
  EXPECT_EQ(SplitImportLine("1;2|3", two), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(SplitImportLine(" whole line ", TImportLayout{}), (std::vector<std::string>{"whole line"}));
  // Byte 255 in a field is kept as text.
  EXPECT_EQ(SplitImportLine("a\xFF" "b,c", comma), (std::vector<std::string>{"a\xFF" "b", "c"}));

  TImportLayout fixed;
  fixed.Fixed = true;
  ASSERT_EQ(ParseFixedPositions("1, 4,8", fixed.FixedPositions), "");
  EXPECT_EQ(SplitImportLine("ab cdef ghijk", fixed), (std::vector<std::string>{"ab", "cdef", "ghijk"}));
  EXPECT_EQ(SplitImportLine("ab", fixed), (std::vector<std::string>{"ab", "", ""}));

  std::vector<int> out{1};
  EXPECT_NE(ParseFixedPositions("1,x", out).find("must contain numbers"), std::string::npos);
  EXPECT_TRUE(out.empty());
  EXPECT_NE(ParseFixedPositions("1,2049", out).find("must contain numbers"), std::string::npos);
  EXPECT_NE(ParseFixedPositions("5,5", out).find("increasing order"), std::string::npos);
  std::string many = "1";
  for (int i = 2; i <= 101; ++i) many += "," + std::to_string(i);
  EXPECT_NE(ParseFixedPositions(many, out).find("100 items"), std::string::npos);
}

TEST(ImportTree, GroupRules) {
  struct Case {
    std::vector<int> assignment;
    const char* failingGroup;  // "" when it passes
  } cases[] = {
      {kHmsDms, ""},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mp", 3}, {"CL5", 4}}, 1), ""},
      {Assign({{"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}), "Catalog Identification (One or more Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}}), "Classification, (One Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}, {"CL5", 5}}),
       "Classification, (One Required)"},
      {Assign({{"ID", 0}, {"RAH", 1}, {"RAR", 6}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}),
       "Right Ascension (One Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"Mv", 3}, {"CL", 4}}), "Declination (One Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"CL", 4}}), "Magnitude (One or more Required)"},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckImportAssignment(c.assignment), c.failingGroup);
  EXPECT_EQ(ImportTypeHeader(ImportTypeTree().Types[std::size_t(TypeIndex("RAH"))]), "RAH {RA}");
}

TEST_F(ImportFixture, CommaFileAtJ2000LandsInRadiansWithSizesInStoredUnits) {
  // M31 (J2000 00 42 44.3 +41 16 09), a planetary nebula and a row with too
  // large a major axis.
  TImportJob job = Job("mine.csv",
                       "name,rah,ram,ras,ded,dem,des,mv,cl,maa\r\n"
                       "M31,0,42,44.3,41,16,9,3.4,5,178\r\n"
                       "PN,1,0,0,-10,0,0,,4,0.5\r\n"
                       "Big,2,0,0,10,0,0,9,5,3276.8\r\n"
                       "Edge,2,0,0,10,0,0,9,5,3276.7\r\n",
                       kHmsDms);
  job.Layout.Comma = true;
  job.Layout.StartRow = 2;
  ASSERT_EQ(RunCatalogImport(job), "");
  TSQLiteTable t = Rows("mine");
  ASSERT_EQ(t.RowCount(), 4);
  const int ra = t.FieldIndex("RA"), de = t.FieldIndex("DE"), maa = t.FieldIndex("MaA"),
            mv = t.FieldIndex("Mv"), cl = t.FieldIndex("CL");
  EXPECT_NEAR(t.FieldAsDouble(ra), (42 + 44.3 / 60) * 15 / 60 * kDeg, 1e-12);
  EXPECT_NEAR(t.FieldAsDouble(de), (41 + 16 / 60.0 + 9 / 3600.0) * kDeg, 1e-12);
  EXPECT_EQ(t.FieldAsInteger(maa), 1780);  // tenths of an arcminute
  EXPECT_EQ(t.FieldAsString(cl), "5");
  t.Next();
  EXPECT_EQ(t.FieldAsInteger(maa), 30);  // class 4: arcseconds
  EXPECT_NEAR(t.FieldAsDouble(mv), 23, 0);  // no magnitude passes the filter as 23
  EXPECT_NEAR(t.FieldAsDouble(de), -10 * kDeg, 1e-12);
  t.Next();
  EXPECT_TRUE(t.FieldIsNull(maa));
  t.Next();
  EXPECT_EQ(t.FieldAsInteger(maa), 32767);
}

TEST_F(ImportFixture, TabFileKeepsTheSouthSignOfMinusZeroDegreesAndReadsShortLinesAsEmpty) {
  TImportJob job = Job("south.txt",
                       "S1\t5\t0\t0\t-00\t30\t00\t7.5\t3\t12\n"
                       "S2\t-0\t30\t0\t- 0\t0\t30\t8\n",
                       kHmsDms);
  job.Layout.Tab = true;
  ASSERT_EQ(RunCatalogImport(job), "");
  TSQLiteTable t = Rows("south");
  ASSERT_EQ(t.RowCount(), 2);
  EXPECT_NEAR(t.FieldAsDouble(t.FieldIndex("DE")), -0.5 * kDeg, 1e-12);
  t.Next();
  EXPECT_NEAR(t.FieldAsDouble(t.FieldIndex("RA")), 7.5 * kDeg, 1e-12);  // "-0" hours stays east of 0h
  EXPECT_NEAR(t.FieldAsDouble(t.FieldIndex("DE")), -30 / 3600.0 * kDeg, 1e-12);
  EXPECT_TRUE(t.FieldIsNull(t.FieldIndex("MaA")));
  EXPECT_EQ(t.FieldAsString(t.FieldIndex("CL")), "");
}

TEST_F(ImportFixture, FixedColumnsAtB1950ArePrecessedToJ2000) {
  // ID, RA in degrees, DE in degrees, Mv, class; at fixed columns.
  const std::vector<int> columns = Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}, 1);
  TImportJob job = Job("old.dat",
                       "A    10.0000   41.0000  3.4 5\n"
                       "B   200.0000  -60.5000 10.1 2\n",
                       columns);
  job.Layout.Fixed = true;
  ASSERT_EQ(ParseFixedPositions("1,5,15,23,28", job.Layout.FixedPositions), "");
  job.Epoch = TImportEpoch::B1950;
  ASSERT_EQ(RunCatalogImport(job), "");
  TSQLiteTable t = Rows("old");
  ASSERT_EQ(t.RowCount(), 2);
  const double source[2][2] = {{10.0, 41.0}, {200.0, -60.5}};
  for (int r = 0; r < 2; ++r, t.Next()) {
    TObserverTime p{};
    SetPrecession(p, 2433282.423, 2451545.0);
    double ra = source[r][0] * kDeg, de = source[r][1] * kDeg;
    Precess(p, ra, de);
    ra = std::fmod(ra + 2 * M_PI, 2 * M_PI);
    // The stored values are the core's precession of the source position.
    EXPECT_NEAR(t.FieldAsDouble(t.FieldIndex("RA")), ra, 1e-12) << r;
    EXPECT_NEAR(t.FieldAsDouble(t.FieldIndex("DE")), de, 1e-12) << r;
    // Fifty years of precession move the position by about 0.7 degrees.
    EXPECT_GT(std::fabs(ra - source[r][0] * kDeg) + std::fabs(de - source[r][1] * kDeg), 0.002);
  }
}

TEST_F(ImportFixture, FileNameThatWouldBreakSqlBecomesAQuotedTable) {
  const std::vector<int> columns = Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}, 1);
  TImportJob job = Job("o'me\"ara; DROP TABLE BASE_OBJECT_CATALOG.csv", "X,1,2,3,'4'\n", columns);
  job.Layout.Comma = true;
  ASSERT_EQ(RunCatalogImport(job), "");
  TSQLiteTable t = Rows("o'me\"ara; DROP TABLE BASE_OBJECT_CATALOG");
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(t.FieldAsString(t.FieldIndex("CL")), "'4'");
  EXPECT_EQ(Rows("BASE_OBJECT_CATALOG").RowCount(), 3);
}

TEST_F(ImportFixture, FailingImportLeavesThePreviousTableAndRefusedNamesChangeNothing) {
  const std::vector<int> columns = Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}, 1);
  TImportJob good = Job("cat.csv", "A,1,2,3,5\nB,4,5,6,5\n", columns);
  good.Layout.Comma = true;
  ASSERT_EQ(RunCatalogImport(good), "");
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"C,1,2,3,5\nD,x,5,6,5\n", "Error converting value to a double precision number (x)"},
      {"C,1,2,bright,5\n", "Error converting value to an single precision number (bright)"},
  };
  for (const Case& c : cases) {
    TImportJob bad = Job("cat.csv", c.text, columns);
    bad.Layout.Comma = true;
    EXPECT_EQ(RunCatalogImport(bad), c.error);
    TSQLiteTable t = Rows("cat");
    ASSERT_EQ(t.RowCount(), 2);
    EXPECT_EQ(t.FieldAsString(t.FieldIndex("ID")), "A");
  }
  // A database error inside the transaction (the file is not a database)
  // leaves nothing half done either.
  TImportJob broken = good;
  broken.DatabasePath = good.FileName;
  EXPECT_NE(RunCatalogImport(broken), "");

  TImportJob base = Job("base_object_catalog.csv", "A,1,2,3,5\n", columns);
  base.Layout.Comma = true;
  EXPECT_NE(RunCatalogImport(base).find("base catalogue"), std::string::npos);
  EXPECT_EQ(Rows("BASE_OBJECT_CATALOG").RowCount(), 3);
  TImportJob used = Job("my_cat.csv", "A,1,2,3,5\n", columns);
  used.Layout.Comma = true;
  used.NamesInUse = {"MY_CAT"};
  EXPECT_NE(RunCatalogImport(used).find("another catalogue"), std::string::npos);
  EXPECT_EQ(Rows("my_cat").RowCount(), 2);
}

TEST_F(ImportFixture, DistancesInParsecs) {
  const int cases = 5;
  const char* codes[cases] = {"MPC", "KPC", "PC", "LY", "V"};
  const double expected[cases] = {2e6, 2e3, 2, 2 * 0.3066079009625, 2 / 75.0 * 1e6};
  for (int i = 0; i < cases; ++i) {
    std::vector<int> columns = Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}, 1);
    columns[std::size_t(TypeIndex(codes[i]))] = 5;
    TImportJob job = Job("d" + std::to_string(i) + ".csv", "A,1,2,3,5,2\n", columns);
    job.Layout.Comma = true;
    ASSERT_EQ(RunCatalogImport(job), "") << codes[i];
    TSQLiteTable t = Rows(job.Table);
    EXPECT_NEAR(t.FieldAsDouble(t.FieldIndex("DIST")), expected[i], expected[i] * 1e-12) << codes[i];
  }
}

TEST(ObjectCatalogCursor, FilterChangeReturnsToTheCurrentTablesFirstRowAndKeysMustBeIntegers) {
  ObjectDatabase data;
  {
    TSQLiteDatabase db(data.path);
    db.Execute("INSERT INTO my_cat (idx, ID, CL, Mv) VALUES (18, 'C', '1', 5)");
    db.Execute("CREATE TABLE odd (idx VARCHAR(9), ID TEXT, CL TEXT, Mv FLOAT)");
    db.Execute("INSERT INTO odd VALUES ('x7', 'Q', '1', 5)");
  }
  tCO co(data.path, {"BASE_OBJECT_CATALOG", "EMPTY", "my_cat", "odd"});
  co.SetFilter(TObjectFilter{});
  ASSERT_TRUE(co.SeekRecord(3));  // "C", the second passing row of my_cat
  ASSERT_EQ(co.ID, "C");
  co.SetFilter(TObjectFilter{});
  EXPECT_EQ(co.CurrentTable, 2);
  EXPECT_EQ(co.ID, "A");
  EXPECT_EQ(co.Cursor, 2);
  // An "idx" that is not an integer gives no key, and no key finds it.
  ASSERT_TRUE(co.SeekRecord(4));
  EXPECT_EQ(co.ID, "Q");
  EXPECT_EQ(co.Key, 0);
  EXPECT_FALSE(co.SeekKey(int32_t(3 << 24) + 7));
  EXPECT_TRUE(co.SeekKey(int32_t(2 << 24) + 18));
  EXPECT_EQ(co.ID, "C");
}
