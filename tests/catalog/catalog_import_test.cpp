// Catalogue import: line splitting, the group rules of the type tree, and
// imports of small files into a database written by the test.
#include "catalog/catalog_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <variant>

#include "astro/observer.h"
#include "astro/precession.h"
#include "catalog/sqlite_db.h"
#include "tests/support/object_database.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

namespace {

constexpr double kDeg = M_PI / 180;

// Index of a type in the tree by its code (the first of that code, or of
// that sub-group).
int TypeIndex(const std::string& code, int subGroup = -2) {
  const auto& types = ImportTypeTree().Types;
  for (std::size_t i = 0; i < types.size(); ++i)
    if (types[i].Code == code && (subGroup == -2 || types[i].SubGroup == subGroup)) return int(i);
  ADD_FAILURE() << code;
  return 0;
}

// An assignment from (code, column) pairs; DED of the given sub-group
// (0: degrees-minutes-seconds, 1: degrees).
std::vector<int> Assign(std::initializer_list<std::pair<const char*, int>> list, int dedSub = 0) {
  std::vector<int> a(ImportTypeTree().Types.size(), -1);
  for (const auto& [code, column] : list)
    a[std::size_t(TypeIndex(code, std::string(code) == "DED" ? dedSub : -2))] = column;
  return a;
}

// ID, RA h m s, DE d m s, Mv, class code column 8, major axis.
const std::vector<int> kHmsDms = Assign({{"ID", 0}, {"RAH", 1}, {"RAM", 2}, {"RAS", 3}, {"DED", 4},
                                         {"DEM", 5}, {"DES", 6}, {"Mv", 7}, {"CL", 8}, {"MaA", 9}});
// ID, RA and DE in degrees, Mv, class.
const std::vector<int> kDegrees = Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}, 1);

struct ImportFixture : ::testing::Test {
  ObjectDatabase db;
  // A job for `text` written to `fileName`, split at commas.
  TImportJob Job(const std::string& fileName, const std::string& text, std::vector<int> columns) {
    testing_support::WriteText(db.dir.File(fileName), text);
    TImportJob job;
    job.FileName = db.dir.File(fileName);
    job.DatabasePath = db.path;
    job.Table = ImportTableName(job.FileName);
    job.ColumnOfType = std::move(columns);
    job.Layout.Comma = true;
    return job;
  }
  TSQLiteTable Rows(const std::string& table) {
    TSQLiteDatabase d(db.path);
    return d.GetTable("SELECT * FROM " + SQLiteQuoteName(table) + " ORDER BY idx");
  }
};

double Field(const TSQLiteTable& t, const char* name) { return t.FieldAsDouble(t.FieldIndex(name)); }

}  // namespace

TEST(ImportSplit, SeparatorsFixedColumnsAndFixedListRules) {
  TImportLayout comma, tab, two, fixed, none;
  comma.Comma = true;
  tab.Tab = true;  // character 9, not form feed
  two.Semicolon = two.Bar = true;
  fixed.Fixed = true;
  ASSERT_EQ(ParseFixedPositions("1, 4,8", fixed.FixedPositions), "");
  const std::tuple<const char*, const TImportLayout&, std::vector<std::string>> cases[] = {
      {" a , b,,c ", comma, {"a", "b", "", "c"}},
      {"x\ty z\t\f", tab, {"x", "y z", ""}},
      {"1;2|3", two, {"1", "2", "3"}},
      {" whole line ", none, {"whole line"}},
      {"a\xFF" "b,\xE9t\xE9", comma, {"a\xC3\xBF" "b", "\xC3\xA9t\xC3\xA9"}},  // Latin-1 decoded
      {"\xC3\xA9t\xC3\xA9,c", comma, {"\xC3\xA9t\xC3\xA9", "c"}},             // UTF-8 kept
      {"ab cdef ghijk", fixed, {"ab", "cdef", "ghijk"}},
      {"ab", fixed, {"ab", "", ""}},
  };
  for (const auto& [line, layout, fields] : cases) EXPECT_EQ(SplitImportLine(line, layout), fields) << line;

  std::string many = "1";
  for (int i = 2; i <= 101; ++i) many += "," + std::to_string(i);
  const std::pair<std::string, const char*> bad[] = {
      {"1,x", "must contain numbers"}, {"1,2049", "must contain numbers"}, {"5,5", "increasing order"},
      {many, "100 items"}};
  for (const auto& [text, error] : bad) {
    std::vector<int> out{1};
    EXPECT_NE(ParseFixedPositions(text, out).find(error), std::string::npos) << text;
    EXPECT_TRUE(out.empty());
  }
}

TEST(ImportTree, GroupRules) {
  const std::pair<std::vector<int>, const char*> cases[] = {
      {kHmsDms, ""},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mp", 3}, {"CL5", 4}}, 1), ""},
      {Assign({{"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}),
       "Catalog Identification (One or more Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}}), "Classification, (One Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL", 4}, {"CL5", 5}}),
       "Classification, (One Required)"},
      {Assign({{"ID", 0}, {"RAH", 1}, {"RAR", 6}, {"DED", 2}, {"Mv", 3}, {"CL", 4}}),
       "Right Ascension (One Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"Mv", 3}, {"CL", 4}}), "Declination (One Required)"},
      {Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"CL", 4}}), "Magnitude (One or more Required)"},
  };
  for (const auto& [assignment, failingGroup] : cases)
    EXPECT_EQ(CheckImportAssignment(assignment), failingGroup);
  EXPECT_EQ(ImportTypeHeader(ImportTypeTree().Types[std::size_t(TypeIndex("RAH"))]), "RAH {RA}");
}

TEST_F(ImportFixture, CommaFileAtJ2000LandsInRadiansWithSizesInStoredUnits) {
  // M31 (J2000 00 42 44.3 +41 16 09), a planetary nebula and rows with too
  // large and just small enough a major axis; lines off the sky (dec 95°,
  // RA 1e300 h) or without a declination are refused and counted.
  TImportJob job = Job("mine.csv",
                       "name,rah,ram,ras,ded,dem,des,mv,cl,maa\r\n"
                       "M31,0,42,44.3,41,16,9,3.4,5,178\r\nOff,1,0,0,95,0,0,9,5,1\r\n"
                       "PN,1,0,0,-10,0,0,,4,0.5\r\nHuge,1e300,0,0,1,0,0,9,5,1\r\nNone,1,0,0,,,,9,5,1\r\n"
                       "Big,2,0,0,10,0,0,9,5,3276.8\r\n"
                       "Edge,2,0,0,10,0,0,9,5,3276.7\r\n",
                       kHmsDms);
  job.Layout.StartRow = 2;
  std::string report;
  ASSERT_EQ(RunCatalogImport(job, {}, &report), "");
  EXPECT_EQ(report.rfind("4 objects imported.\r\n3 lines refused: 1 without a right ascension or declination, 2 off", 0),
            0u);
  TSQLiteTable t = Rows("mine");
  ASSERT_EQ(t.RowCount(), 4);
  const int maa = t.FieldIndex("MaA");
  EXPECT_NEAR(Field(t, "RA"), (42 + 44.3 / 60) * 15 / 60 * kDeg, 1e-12);
  EXPECT_NEAR(Field(t, "DE"), (41 + 16 / 60.0 + 9 / 3600.0) * kDeg, 1e-12);
  EXPECT_EQ(t.FieldAsInteger(maa), 1780);  // tenths of an arcminute
  EXPECT_EQ(t.FieldAsString(t.FieldIndex("CL")), "5");
  t.Next();
  EXPECT_EQ(t.FieldAsInteger(maa), 30);  // class 4: arcseconds
  EXPECT_EQ(Field(t, "Mv"), 23);         // no magnitude passes the filter as 23
  EXPECT_NEAR(Field(t, "DE"), -10 * kDeg, 1e-12);
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
  job.Layout.Comma = false;
  job.Layout.Tab = true;
  ASSERT_EQ(RunCatalogImport(job), "");
  TSQLiteTable t = Rows("south");
  ASSERT_EQ(t.RowCount(), 2);
  EXPECT_NEAR(Field(t, "DE"), -0.5 * kDeg, 1e-12);
  t.Next();
  EXPECT_NEAR(Field(t, "RA"), 7.5 * kDeg, 1e-12);  // "-0" hours stays east of 0h
  EXPECT_NEAR(Field(t, "DE"), -30 / 3600.0 * kDeg, 1e-12);
  EXPECT_TRUE(t.FieldIsNull(t.FieldIndex("MaA")));
  EXPECT_EQ(t.FieldAsString(t.FieldIndex("CL")), "");
}

// Positions at each source epoch are precessed to J2000: the stored values
// are the core's precession (checked against ERFA in the astro tests) from
// the epoch's Julian date, B1900.0 and B1950.0 as defined by Lieske (1979),
// B1975 as 1975 January 1.0, J2050.0 = JD 2469807.5. 1e-9 rad covers B1950's
// date to 0.001 day.
TEST_F(ImportFixture, FixedColumnsAtOlderEpochsArePrecessedToJ2000) {
  const std::pair<TImportEpoch, double> epochs[] = {{TImportEpoch::B1900, 2415020.3135},
                                                    {TImportEpoch::B1950, 2433282.4235},
                                                    {TImportEpoch::B1975, 2442413.5},
                                                    {TImportEpoch::J2050, 2469807.5}};
  const double source[2][2] = {{10.0, 41.0}, {200.0, -60.5}};
  for (const auto& [epoch, jd] : epochs) {
    TImportJob job =
        Job("old" + std::to_string(int(epoch)) + ".dat", "A    10.0000   41.0000  3.4 5\nB   200.0000  -60.5000 10.1 2\n", kDegrees);
    job.Layout.Comma = false;
    job.Layout.Fixed = true;
    ASSERT_EQ(ParseFixedPositions("1,5,15,23,28", job.Layout.FixedPositions), "");
    job.Epoch = epoch;
    ASSERT_EQ(RunCatalogImport(job), "");
    TSQLiteTable t = Rows(job.Table);
    ASSERT_EQ(t.RowCount(), 2);
    for (int r = 0; r < 2; ++r, t.Next()) {
      TObserverTime p{};
      SetPrecession(p, jd, 2451545.0);
      double ra = source[r][0] * kDeg, de = source[r][1] * kDeg;
      Precess(p, ra, de);
      EXPECT_NEAR(Field(t, "RA"), std::fmod(ra + 2 * M_PI, 2 * M_PI), 1e-9) << jd << " " << r;
      EXPECT_NEAR(Field(t, "DE"), de, 1e-9) << jd << " " << r;
      // Twenty-five years or more of precession move the position by over 0.3 degrees.
      EXPECT_GT(std::fabs(ra - source[r][0] * kDeg) + std::fabs(de - source[r][1] * kDeg), 0.005);
    }
  }
}

TEST_F(ImportFixture, FileNameThatWouldBreakSqlBecomesAQuotedTable) {
  TImportJob job = Job("o'me\"ara; DROP TABLE BASE_OBJECT_CATALOG.csv", "X,1,2,3,'4'\n", kDegrees);
  ASSERT_EQ(RunCatalogImport(job), "");
  TSQLiteTable t = Rows("o'me\"ara; DROP TABLE BASE_OBJECT_CATALOG");
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(t.FieldAsString(t.FieldIndex("CL")), "'4'");
  EXPECT_EQ(Rows("BASE_OBJECT_CATALOG").RowCount(), 3);
}

// A class given by the column type (CL4, planetary nebulae) is stored as its
// digit whatever the field holds, and sets the size unit: arcseconds.
TEST_F(ImportFixture, ClassFromTheColumnTypeSetsTheClassAndTheSizeUnit) {
  std::vector<int> columns = Assign({{"ID", 0}, {"RAD", 1}, {"DED", 2}, {"Mv", 3}, {"CL4", 4}, {"MaA", 5}}, 1);
  ASSERT_EQ(RunCatalogImport(Job("pn.csv", "P,1,2,3,x,0.5\n", columns)), "");
  TSQLiteTable t = Rows("pn");
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(std::tuple(t.FieldAsString(t.FieldIndex("CL")), t.FieldAsInteger(t.FieldIndex("MaA"))),
            std::tuple("4", 30));
}

TEST_F(ImportFixture, FailingImportLeavesThePreviousTableAndRefusedNamesChangeNothing) {
  TImportJob good = Job("cat.csv", "A,1,2,3,5\nB,4,5,6,5\n", kDegrees);
  ASSERT_EQ(RunCatalogImport(good), "");
  const std::pair<const char*, const char*> cases[] = {
      {"C,1,2,3,5\nD,x,5,6,5\n", "Error converting value to a double precision number (x)"},
      {"C,1,2,bright,5\n", "Error converting value to an single precision number (bright)"},
      {"C,1,-90.5,3,5\n", "No line of the file holds a position on the sky, nothing was imported."},
  };
  for (const auto& [text, error] : cases) {
    EXPECT_EQ(RunCatalogImport(Job("cat.csv", text, kDegrees)).rfind(error, 0), 0u) << error;
    TSQLiteTable t = Rows("cat");
    ASSERT_EQ(t.RowCount(), 2);
    EXPECT_EQ(t.FieldAsString(t.FieldIndex("ID")), "A");
  }
  // A database error inside the transaction (the file is not a database)
  // leaves nothing half done either.
  TImportJob broken = good;
  broken.DatabasePath = good.FileName;
  EXPECT_NE(RunCatalogImport(broken), "");

  EXPECT_NE(RunCatalogImport(Job("base_object_catalog.csv", "A,1,2,3,5\n", kDegrees)).find("base catalogue"),
            std::string::npos);
  EXPECT_EQ(Rows("BASE_OBJECT_CATALOG").RowCount(), 3);
  TImportJob used = Job("my_cat.csv", "A,1,2,3,5\n", kDegrees);
  used.NamesInUse = {"MY_CAT"};
  EXPECT_NE(RunCatalogImport(used).find("another catalogue"), std::string::npos);
  EXPECT_EQ(Rows("my_cat").RowCount(), 2);
  // A table of the database that no slot names (the builder's "IC") is
  // never replaced either.
  EXPECT_NE(RunCatalogImport(Job("Cat.csv", "Z,1,2,3,5\n", kDegrees)).find("already holds"), std::string::npos);
  EXPECT_EQ(Rows("cat").RowCount(), 2);
}

// The source is read only from a regular file: a pipe nobody writes to and a
// device are refused unopened with why (no preview), and a line too long for
// a text catalogue ends the reading instead of the file being taken whole.
TEST_F(ImportFixture, PipesDevicesAndEndlessLinesAreRefused) {
  TImportJob job = Job("cat.csv", "A,1,2,3,5\n", kDegrees);
  PipeInPlace pipe(db.dir.File("pipe.csv"));
  std::filesystem::create_symlink("/dev/zero", db.dir.File("zero.csv"));
  const std::pair<const char*, const char*> refused[] = {{"pipe.csv", "it is a named pipe, not a file"},
                                                         {"zero.csv", "it is a character device, not a file"}};
  for (const auto& [file, why] : refused) {
    job.FileName = db.dir.File(file);
    EXPECT_TRUE(ReadImportPreview(job.FileName, job.Layout).empty()) << file;
    EXPECT_EQ(RunCatalogImport(job), "Could not read the file \"" + job.FileName + "\": " + why + ".");
  }
  EXPECT_FALSE(pipe.Opened());
  // A line of zeros beyond 16 MB (a sparse file).
  const TImportJob endless = Job("endless.csv", "A,1,2,3,5\n", kDegrees);
  std::filesystem::resize_file(endless.FileName, (16 << 20) + 100);
  EXPECT_EQ(ReadImportPreview(endless.FileName, endless.Layout).size(), 1u);
  EXPECT_EQ(RunCatalogImport(endless), "Could not read the file \"" + endless.FileName +
                                           "\": line 2 is longer than 16 MB, so it is no text catalogue.");
  EXPECT_FALSE(TSQLiteDatabase(db.path).TableExists("endless"));
}

// An import while another program holds the database locked is refused as
// such (never as damage) at once, without the GUI thread sleeping in the
// library's wait, and leaves the database as it was; once it is free the
// same import goes in.
TEST_F(ImportFixture, ALockedDatabaseRefusesTheImportAsLocked) {
  const TImportJob job = Job("later.csv", "A,1,2,3,5\n", kDegrees);
  for (const char* lock : {kLockExclusive, kLockWriting}) {
    OtherProgram other(db.path, lock);
    LockWaitCounter waits;
    EXPECT_EQ(RunCatalogImport(job),
              "Nothing was imported: \"Objects.sqlite\" is in use by another program (database is locked). Try "
              "again when it is free.")
        << lock;
    EXPECT_EQ(waits.Waits(), 0) << lock;
  }
  EXPECT_FALSE(TSQLiteDatabase(db.path).TableExists("later"));
  EXPECT_EQ(RunCatalogImport(job), "");
  EXPECT_EQ(Rows("later").RowCount(), 1);
}

// A refused field is quoted to at most 60 characters (a character of
// several bytes counts once) and "…" after a cut; the message names the
// line of the file (skipped rows and blank lines counted) and the column.
TEST_F(ImportFixture, RefusedFieldIsQuotedShortWithItsLineAndColumn) {
  const std::string big(2 << 20, 'x');
  std::string accents;
  for (int i = 0; i < 61; ++i) accents += "\xC3\xA9";  // "é"
  const std::tuple<std::string, int, std::string> cases[] = {
      {"head\nA,1,2,3,5\n\nB,1," + big + ",3,5\n", 2,
       "Error converting value to a double precision number (" + std::string(60, 'x') +
           "\xE2\x80\xA6)\r\nLine 4, column #3."},
      {"A,1,2," + accents + ",5\n", 1,
       "Error converting value to an single precision number (" + accents.substr(0, 120) +
           "\xE2\x80\xA6)\r\nLine 1, column #4."},
      {"A,1,2," + std::string(60, 'y') + ",5\n", 1,
       "Error converting value to an single precision number (" + std::string(60, 'y') + ")\r\nLine 1, column #4."},
  };
  for (const auto& [text, startRow, error] : cases) {
    TImportJob job = Job("long.csv", text, kDegrees);
    job.Layout.StartRow = startRow;
    EXPECT_EQ(RunCatalogImport(job), error);
  }
}

// A refused field is quoted as a message box can show it: NUL and the
// other control characters, format characters (a byte-order mark, a
// zero-width space) as escapes, every other character as it is. A UTF-16
// file read as bytes puts a NUL after every ASCII character.
TEST_F(ImportFixture, UnprintableCharactersOfARefusedFieldAreShownAsEscapes) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("A,1,2,3,5\n")) utf16 += std::string(1, c) + '\0';
  const std::pair<std::string, std::string> cases[] = {
      {utf16, "(\\x001\\x00)\r\nLine 1, column #2."},
      {"A,\xEF\xBB\xBF" "12,2,3,5\n", "(\\uFEFF12)\r\nLine 1, column #2."},
      {"A,\x01x\x7F\xC2\x85\xE2\x80\x8B\xC3\xA9\t1,2,3,5\n", "(\\x01x\\x7F\\x85\\u200B\xC3\xA9\\x091)\r\nLine 1, column #2."},
      {"A,1" + std::string(70, '\0') + ",2,3,5\n",
       "(1" + [] {
         std::string nuls;
         for (int i = 0; i < 59; ++i) nuls += "\\x00";
         return nuls;
       }() + "\xE2\x80\xA6)\r\nLine 1, column #2."},
  };
  for (const auto& [text, quoted] : cases) {
    const std::string error = RunCatalogImport(Job("odd.csv", text, kDegrees));
    EXPECT_EQ(error, "Error converting value to a double precision number " + quoted);
    EXPECT_EQ(error.find('\0'), std::string::npos);
  }
  EXPECT_FALSE(TSQLiteDatabase(db.path).TableExists("odd"));
}

// Distances in parsecs. A light year is 63241.077 au (IAU: c × Julian year)
// and a parsec 206264.806 au, so 0.3066014 pc; the stored factor
// (0.3066079) is 2e-5 above it, within the 1e-4 allowed for that row.
// Velocities become distances by H0 = 75 km/s/Mpc.
TEST_F(ImportFixture, DistancesInParsecs) {
  const std::tuple<const char*, double, double> cases[] = {{"MPC", 2e6, 1e-12},
                                                           {"KPC", 2e3, 1e-12},
                                                           {"PC", 2, 1e-12},
                                                           {"LY", 2 * 63241.077 / 206264.806, 1e-4},
                                                           {"V", 2 / 75.0 * 1e6, 1e-12}};
  for (const auto& [code, parsecs, relative] : cases) {
    std::vector<int> columns = kDegrees;
    columns[std::size_t(TypeIndex(code))] = 5;
    TImportJob job = Job(std::string("d") + code + ".csv", "A,1,2,3,5,2\n", columns);
    ASSERT_EQ(RunCatalogImport(job), "") << code;
    EXPECT_NEAR(Field(Rows(job.Table), "DIST"), parsecs, parsecs * relative) << code;
  }
}

// Numbers beyond what their column holds are refused or stored as none,
// never converted out of range (found by fuzzing).
TEST_F(ImportFixture, HugeNumbersAreRefusedOrStoredAsNone) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"PA", "2.5e66", true}, {"PA", "-3e9", true}, {"PA", "45", false},  // position angle: integer column
      {"MaA", "1e300", false}, {"MaA", "-1e19", false},                   // size: stored as none
      {"Mv", "1e300", true}, {"Mp", "-4e38", true},                       // magnitude: single precision
  };
  for (const auto& [code, field, refused] : cases) {
    const std::vector<int> columns = Assign({{"RAD", 0}, {"DED", 1}, {code, 2}});
    TImportJob job = Job("huge.txt", std::string("0,0,") + field + "\n", columns);
    TImportTable table;
    const std::string error = ConvertCatalogImport(job, table);
    EXPECT_EQ(!error.empty(), refused) << code << " " << field << ": " << error;
    if (refused || std::string(code) != "MaA") continue;
    ASSERT_EQ(table.Rows.size(), 1u);
    for (std::size_t i = 0; i < table.Columns.size(); ++i)
      if (table.Columns[i].first == "MaA") {
        EXPECT_TRUE(std::holds_alternative<std::monostate>(table.Rows[0][i])) << field;
      }
  }
}
