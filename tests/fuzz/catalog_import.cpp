// Fuzz target: a text catalogue through the import's line splitting and
// field conversion (the database is not touched), its preview, and the
// column assignment's group rules. The input's parts: the import choices,
// one a line ("SEP=" separators among t ; , | and blank, "ROW=n",
// "EPOCH=n", "FIXED=positions", and "CODE=column" for the first tree entry
// of that code), then the catalogue file.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_import.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const TImportTypeTree& tree = ImportTypeTree();
  TImportJob job;
  job.FileName = fuzz::WriteScratch("catalogue.txt", fuzz::Part(input, 1));
  job.Table = "catalogue";
  job.ColumnOfType.assign(tree.Types.size(), -1);
  std::istringstream choices{std::string(fuzz::Part(input, 0))};
  for (std::string line; std::getline(choices, line);) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    auto number = [&] { return int(std::strtol(value.c_str(), nullptr, 10) % 4096); };
    if (key == "SEP") {
      for (char c : value) {
        job.Layout.Tab |= c == 't';
        job.Layout.Semicolon |= c == ';';
        job.Layout.Comma |= c == ',';
        job.Layout.Bar |= c == '|';
        job.Layout.Space |= c == ' ';
      }
    } else if (key == "ROW") {
      job.Layout.StartRow = 1 + (number() % 20 + 20) % 20;
    } else if (key == "EPOCH") {
      job.Epoch = TImportEpoch((number() % 5 + 5) % 5);
    } else if (key == "FIXED") {
      job.Layout.Fixed = ParseFixedPositions(value, job.Layout.FixedPositions).empty();
    } else {
      for (std::size_t i = 0; i < tree.Types.size(); ++i)
        if (tree.Types[i].Code == key) {
          job.ColumnOfType[i] = number();
          break;
        }
    }
  }
  CheckImportAssignment(job.ColumnOfType);
  ReadImportPreview(job.FileName, job.Layout);
  TImportTable table;
  ConvertCatalogImport(job, table);
  return 0;
}
