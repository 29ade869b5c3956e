#include <gtest/gtest.h>
#include <sqlite3.h>

#include <tuple>

#include "catalog/sqlite_db.h"
#include "platform/paths.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;
using testing_support::WriteText;

namespace {

bool NoStatementOpen(TSQLiteDatabase& db) { return sqlite3_next_stmt(db.Handle(), nullptr) == nullptr; }

// A new database in a temporary folder.
struct SQLiteLayer : ::testing::Test {
  TempDir dir;
  TSQLiteDatabase db{dir.File("t.sqlite"), true};
};

}  // namespace

TEST_F(SQLiteLayer, ColumnKindsAndTypedAccess) {
  db.Execute(
      "CREATE TABLE t (i INTEGER, r REAL, f FLOAT, v VARCHAR(255), b BLOB, flag BOOLEAN, n INT)");
  db.Execute("INSERT INTO t VALUES (42, 7, -2.75, 'M 31', x'0102ff', 1, 17)");
  db.Execute("INSERT INTO t VALUES (NULL, NULL, NULL, NULL, x'', NULL, NULL)");
  TSQLiteTable t = db.GetTable("SELECT *, i * 2 AS twice, 'x' || v AS label FROM t");

  ASSERT_EQ(t.RowCount(), 2);
  ASSERT_EQ(t.ColumnCount(), 9);
  // "INT" is not one of the integer words; without a declared type the
  // first row's value decides.
  const TSQLiteKind kinds[] = {dtInt, dtNumeric, dtNumeric, dtStr, dtBlob, dtInt, dtStr, dtInt, dtStr};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(t.ColumnKind(c), kinds[c]) << c;
  EXPECT_EQ(t.FieldIndex("LABEL"), 8);    // names compared without case
  // A REAL column holding 7 reads as a double; a FLOAT is truncated toward zero.
  EXPECT_EQ(std::tuple(t.FieldAsInteger(0), t.FieldAsDouble(0), t.FieldAsInteger(2), t.FieldAsInteger(7)),
            std::tuple(42, 42.0, -2, 84));
  EXPECT_EQ(std::tuple(t.FieldAsString(1), t.FieldAsDouble(1), t.FieldAsString(2), t.FieldAsString(3)),
            std::tuple("7", 7.0, "-2.75", "M 31"));
  ASSERT_NE(t.FieldAsBlob(4), nullptr);
  EXPECT_EQ(*t.FieldAsBlob(4), (std::vector<uint8_t>{1, 2, 255}));
  EXPECT_EQ(t.FieldAsString(6), "17");
  EXPECT_EQ(SQLiteErrorOf([&] { t.FieldAsInteger(6); }), "Not an integer or numeric field");
  EXPECT_EQ(SQLiteErrorOf([&] { t.FieldAsDouble(3); }), "Not an integer or numeric field");
  EXPECT_EQ(SQLiteErrorOf([&] { t.FieldAsBlob(3); }), "Not a Blob field");
  EXPECT_FALSE(t.FieldIsNull(0));

  ASSERT_TRUE(t.Next());
  for (int c : {0, 1, 2, 3, 5, 6}) EXPECT_TRUE(t.FieldIsNull(c)) << c;
  EXPECT_EQ(std::tuple(t.FieldAsInteger(0), t.FieldAsDouble(1), t.FieldAsString(3)), std::tuple(0, 0.0, ""));
  EXPECT_EQ(t.FieldAsBlob(4), nullptr);  // an empty blob is nil
  EXPECT_EQ(t.FieldAsBlob(3), nullptr);  // NULL too

  EXPECT_FALSE(t.Next());
  EXPECT_TRUE(t.AtEnd());
  EXPECT_EQ(SQLiteErrorOf([&] { t.FieldAsString(0); }), "Table is at End of File");
  EXPECT_FALSE(t.MoveTo(2));
  EXPECT_TRUE(t.AtEnd());
  EXPECT_TRUE(t.MoveTo(1));
  EXPECT_TRUE(t.MoveFirst());
  EXPECT_EQ(t.Row(), 0);
  EXPECT_EQ(SQLiteErrorOf([&] { t.FieldIndex("nope"); }), "Field not found in dataset: nope");
}

TEST_F(SQLiteLayer, LongTextIsCutAndEmptyResultsHaveNoRow) {
  db.Execute("CREATE TABLE t (s TEXT)");
  TSQLiteTable e = db.GetTable("SELECT * FROM t");
  EXPECT_EQ(e.RowCount(), 0);
  EXPECT_EQ(e.ColumnCount(), 0);
  EXPECT_TRUE(e.AtEnd());
  EXPECT_FALSE(e.MoveFirst() || e.MoveTo(0) || e.Next());  // no move reaches a row
  EXPECT_EQ(SQLiteErrorOf([&] { e.FieldIndex("s"); }), "Field s Not found. Empty dataset");
  EXPECT_EQ(SQLiteErrorOf([&] { e.FieldAsInteger(0); }), "Table is at End of File");

  db.AddParamText(":s", std::string(300, 'a'));
  db.Execute("INSERT INTO t VALUES (:s)");
  EXPECT_EQ(db.GetTable("SELECT s FROM t").FieldAsString(0), std::string(255, 'a'));
}

TEST_F(SQLiteLayer, OpenFailuresAndLayerErrors) {
  // A missing database raises and is not created.
  const std::string missing = dir.File("Objects.sqlite");
  EXPECT_EQ(SQLiteErrorOf([&] { TSQLiteDatabase db(missing); }),
            "Failed to open database \"" + missing + "\" : unable to open database file");
  EXPECT_FALSE(platform::FileExists(missing));
  // A file that is no database opens, and the first query says so.
  WriteText(dir.File("junk.sqlite"), std::string(3000, 'x'));
  {
    TSQLiteDatabase junk(dir.File("junk.sqlite"));
    EXPECT_EQ(SQLiteErrorOf([&] { junk.GetTable("SELECT * FROM t"); }),
              "Error executing SQL.\rError [26]: File opened that is not a database file.\r"
              "\"SELECT * FROM t\": file is not a database");
  }

  EXPECT_EQ(SQLiteErrorOf([&] { db.GetTable("SELEC 1"); }),
            "Error executing SQL.\rError [1]: SQL error or missing database.\r\"SELEC 1\": "
            "near \"SELEC\": syntax error");
  EXPECT_EQ(SQLiteErrorOf([&] { db.GetTable("  "); }), "Could not prepare SQL statement");
  db.Execute("CREATE TABLE t (a INTEGER PRIMARY KEY)");
  db.Execute("INSERT INTO t VALUES (0)");
  db.Execute("INSERT INTO t VALUES (1)");
  EXPECT_EQ(SQLiteErrorOf([&] { db.Execute("INSERT INTO t VALUES (1)"); }),
            "Error executing SQL statement.\rError [19]: Abort due to contraint violation.\r"
            "\"INSERT INTO t VALUES (1)\": UNIQUE constraint failed: t.a");
  EXPECT_TRUE(NoStatementOpen(db));
  // A failure while stepping (integer overflow in the second row) still finalises the
  // statement: the table can be dropped at once.
  EXPECT_NE(SQLiteErrorOf([&] { db.GetTable("SELECT a, abs(-9223372036854775807 - a) FROM t"); })
                .find("Could not retrieve data.\rError [1]"),
            std::string::npos);
  EXPECT_TRUE(NoStatementOpen(db));
  db.Execute("DROP TABLE t");
  EXPECT_FALSE(db.TableExists("t"));
}

TEST(SQLiteTransactions, RolledBackOnClose) {
  TempDir dir;
  const std::string path = dir.File("t.sqlite");
  {
    TSQLiteDatabase db(path, true);
    db.Execute("CREATE TABLE t (a INTEGER)");
    db.BeginTransaction();
    EXPECT_TRUE(db.InTransaction());
    EXPECT_EQ(SQLiteErrorOf([&] { db.BeginTransaction(); }), "Transaction already open");
    db.Execute("INSERT INTO t VALUES (1)");
    db.Rollback();
    EXPECT_FALSE(db.InTransaction());
    db.BeginTransaction();
    db.Execute("INSERT INTO t VALUES (2)");
    db.Commit();
    db.BeginTransaction();
    db.Execute("INSERT INTO t VALUES (3)");
    // Closed with the transaction open: rolled back.
  }
  TSQLiteDatabase db(path);
  TSQLiteTable t = db.GetTable("SELECT a FROM t");
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(t.FieldAsInteger(0), 2);
}

TEST_F(SQLiteLayer, NamedParametersAndAwkwardTableNames) {
  const std::string name = "o'meara \"list\".txt";
  db.Execute("CREATE TABLE " + SQLiteQuoteName(name) + " (a INTEGER, b FLOAT, c TEXT)");
  EXPECT_TRUE(db.TableExists("O'MEARA \"LIST\".TXT"));
  EXPECT_FALSE(db.TableExists("o'meara"));

  std::vector<std::string> seen;
  db.OnQueryForTest = [&](const std::string& sql) { seen.push_back(sql); };
  db.AddParamInt(":a", -5);
  db.AddParamFloat("b", 0.5);  // the prefix may be left out
  db.AddParamNull("@c");
  db.Execute("INSERT INTO " + SQLiteQuoteName(name) + " VALUES (:a, :b, @c)");
  // The list was used once: a statement naming the parameters again binds NULL.
  db.Execute("INSERT INTO " + SQLiteQuoteName(name) + " VALUES (:a, :b, @c)");
  TSQLiteTable t = db.GetTable("SELECT * FROM " + SQLiteQuoteName(name) + " ORDER BY a DESC");
  ASSERT_EQ(t.RowCount(), 2);
  EXPECT_EQ(std::tuple(t.FieldAsInteger(0), t.FieldAsDouble(1), t.FieldIsNull(2)), std::tuple(-5, 0.5, true));
  ASSERT_TRUE(t.Next());
  EXPECT_TRUE(t.FieldIsNull(0));
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(SQLiteLayer, PositionalBindingsOfEveryKindAndAFailingBindNamesItsKind) {
  db.Execute("CREATE TABLE t (a INTEGER, b INTEGER, c DOUBLE, d VARCHAR(9), e BLOB, f INTEGER, g INTEGER)");
  db.Execute("INSERT INTO t VALUES (?,?,?,?,?,?,?)",
             {int64_t(7), true, 2.5, std::string("o'k"), std::vector<uint8_t>{1, 2, 3}, TSQLiteBinding(),
              int64_t(1) << 40});
  TSQLiteTable t = db.GetTable("SELECT * FROM t WHERE a = ? AND d = ?", {int64_t(7), std::string("o'k")});
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(std::tuple(t.FieldAsInteger(0), t.FieldAsInteger(1), t.FieldAsDouble(2), t.FieldAsString(3)),
            std::tuple(7, 1, 2.5, "o'k"));
  ASSERT_NE(t.FieldAsBlob(4), nullptr);
  EXPECT_EQ(*t.FieldAsBlob(4), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(t.FieldIsNull(5));
  EXPECT_EQ(t.FieldAsInteger(6), int64_t(1) << 40);
  // More values than placeholders: the bind of the extra one fails.
  const std::pair<TSQLiteBinding, const char*> cases[] = {
      {int64_t(1), "Could not bind integer"}, {int64_t(1) << 40, "Could not bind int64"},
      {1.5, "Could not bind extended"},      {std::string("x"), "Could not bind text"},
      {true, "Could not bind boolean"},      {TSQLiteBinding(), "Could not bind null"},
      {std::vector<uint8_t>{1}, "Could not bind BLOB"}};
  for (const auto& [extra, message] : cases) {
    const std::string error =
        SQLiteErrorOf([&, &extra = extra] { db.Execute("DELETE FROM t WHERE a = ?", {int64_t(0), extra}); });
    EXPECT_EQ(error.rfind(message, 0), 0u) << error;
  }
  EXPECT_EQ(db.GetTable("SELECT * FROM t").RowCount(), 1);
}
