// Shared pieces of the reference-data tests: angle units, small OpenNGC
// files, SQLite queries as text and the check of a refused source.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "data/common.h"

// Test records are written with designated initializers that name only the
// fields a case sets; the others keep their declared defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace data_test {

inline constexpr double kDeg = mkdata::kDegToRad;

// Rows of a query on the database at `path` as text ("NULL" for NULL),
// columns joined by "|".
inline std::vector<std::string> Rows(const std::string& path, const std::string& sql) {
  std::vector<std::string> out;
  sqlite3* db = nullptr;
  sqlite3_stmt* s = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK) << path;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  while (s && sqlite3_step(s) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(s); ++c) {
      const unsigned char* t = sqlite3_column_text(s, c);
      row += (c ? "|" : "") + std::string(t ? reinterpret_cast<const char*>(t) : "NULL");
    }
    out.push_back(row);
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return out;
}

// A small OpenNGC file: its catalogue table holding `rows`, SQL value lists of
// (type, ra, dec, magnitude, name, long_name, catalog_identifier, major_axis,
// minor_axis, position_angle).
inline void MakeOpenNgc(const std::string& path, const std::string& rows) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string sql =
      "CREATE TABLE cat(hash, oid, type INT, ra REAL, dec REAL, magnitude REAL, name TEXT, long_name TEXT, "
      "catalog_identifier TEXT, major_axis REAL, minor_axis REAL, position_angle REAL, flux REAL, trixel INT, "
      "res_1, res_2, res_3, res_4, catalog INT);"
      "INSERT INTO cat (type, ra, dec, magnitude, name, long_name, catalog_identifier, major_axis, "
      "minor_axis, position_angle) VALUES " + rows + ";";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// Runs `read`, which must refuse its input with a SourceError whose message
// holds `words`.
template <typename Read>
void ExpectRefused(Read&& read, const std::string& words) {
  try {
    read();
    ADD_FAILURE() << "accepted; a refusal naming \"" << words << "\" was expected";
  } catch (const mkdata::SourceError& e) {
    EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
  }
}

}  // namespace data_test
