// Positional bindings of the SQL layer.
#include <gtest/gtest.h>

#include "catalog/sqlite_db.h"
#include "tests/support/test_support.h"

TEST(SQLiteBindings, EveryKindRoundTripsAndAFailingBindNamesItsKind) {
  testing_support::TempDir dir;
  TSQLiteDatabase db(dir.File("b.sqlite"), true);
  db.Execute("CREATE TABLE t (a INTEGER, b INTEGER, c DOUBLE, d VARCHAR(9), e BLOB, f INTEGER, g INTEGER)");
  db.Execute("INSERT INTO t VALUES (?,?,?,?,?,?,?)",
             {int64_t(7), true, 2.5, std::string("o'k"), std::vector<uint8_t>{1, 2, 3},
              TSQLiteBinding(), int64_t(1) << 40});
  TSQLiteTable t = db.GetTable("SELECT * FROM t WHERE a = ? AND d = ?", {int64_t(7), std::string("o'k")});
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(t.FieldAsInteger(0), 7);
  EXPECT_EQ(t.FieldAsInteger(1), 1);
  EXPECT_EQ(t.FieldAsDouble(2), 2.5);
  EXPECT_EQ(t.FieldAsString(3), "o'k");
  ASSERT_NE(t.FieldAsBlob(4), nullptr);
  EXPECT_EQ(*t.FieldAsBlob(4), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(t.FieldIsNull(5));
  EXPECT_EQ(t.FieldAsInteger(6), int64_t(1) << 40);

  // More values than placeholders: the bind of the extra one fails.
  struct Case {
    TSQLiteBinding extra;
    const char* message;
  } cases[] = {{int64_t(1), "Could not bind integer"}, {int64_t(1) << 40, "Could not bind int64"},
               {1.5, "Could not bind extended"},      {std::string("x"), "Could not bind text"},
               {true, "Could not bind boolean"},      {TSQLiteBinding(), "Could not bind null"},
               {std::vector<uint8_t>{1}, "Could not bind BLOB"}};
  for (const Case& c : cases) {
    try {
      db.Execute("DELETE FROM t WHERE a = ?", {int64_t(0), c.extra});
      ADD_FAILURE() << c.message;
    } catch (const ESQLiteException& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
  EXPECT_EQ(db.GetTable("SELECT * FROM t").RowCount(), 1);
}
