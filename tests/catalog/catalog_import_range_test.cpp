// Catalogue import: numbers beyond what their column holds are refused or
// stored as none, never converted out of range (found by fuzzing).
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "catalog/catalog_import.h"
#include "tests/support/test_support.h"

namespace {

std::vector<int> Assign(std::initializer_list<std::pair<const char*, int>> list) {
  const auto& types = ImportTypeTree().Types;
  std::vector<int> a(types.size(), -1);
  for (const auto& [code, column] : list)
    for (std::size_t i = 0; i < types.size(); ++i)
      if (types[i].Code == code) {
        a[i] = column;
        break;
      }
  return a;
}

}  // namespace

TEST(ImportRange, HugeNumbersAreRefusedOrStoredAsNone) {
  testing_support::TempDir dir;
  struct Case {
    const char* code;
    const char* field;
    bool refused;
  } cases[] = {
      {"PA", "2.5e66", true},    // position angle: integer column
      {"PA", "-3e9", true},
      {"PA", "45", false},
      {"MaA", "1e300", false},   // size: stored as none
      {"MaA", "-1e19", false},
      {"Mv", "1e300", true},     // magnitude: single precision
      {"Mp", "-4e38", true},
  };
  for (const Case& c : cases) {
    testing_support::WriteText(dir.File("huge.txt"), std::string("0;0;") + c.field + "\n");
    TImportJob job;
    job.FileName = dir.File("huge.txt");
    job.Layout.Semicolon = true;
    job.ColumnOfType = Assign({{"RAD", 0}, {"DED", 1}, {c.code, 2}});
    TImportTable table;
    const std::string error = ConvertCatalogImport(job, table);
    EXPECT_EQ(!error.empty(), c.refused) << c.code << " " << c.field << ": " << error;
    if (c.refused || std::string(c.code) != "MaA") continue;
    ASSERT_EQ(table.Rows.size(), 1u);
    for (std::size_t i = 0; i < table.Columns.size(); ++i)
      if (table.Columns[i].first == "MaA") {
        EXPECT_TRUE(std::holds_alternative<std::monostate>(table.Rows[0][i])) << c.field;
      }
  }
}
