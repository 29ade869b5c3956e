// Fuzz target: the orbital-element lists ".ast" or ".cmt" (by the first
// byte), with a column template as the second part of the input when it
// has one, read into a grid and applied to the body tables.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalog/element_files.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  if (size < 1) return 0;
  const bool comets = data[0] & 1;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string ext = comets ? ".cmt" : ".ast";
  const std::string list = fuzz::WriteScratch("list" + ext, fuzz::Part(input, 0));
  const std::string_view tmpl = fuzz::Part(input, 1);
  const std::string tmplPath = ElementTemplateName(list);
  if (!tmpl.empty()) fuzz::WriteScratch(tmplPath.substr(tmplPath.rfind('/') + 1), tmpl);
  else std::remove(tmplPath.c_str());
  const TElementKind kind = comets ? TElementKind::Comet : TElementKind::Asteroid;
  TElementGrid grid(ElementColumns(kind));
  SetElementTitles(kind, grid);
  bool templateUsed = false;
  if (comets) LoadCometElements(grid, list, (data[0] & 2) != 0, templateUsed);
  else LoadAsteroidElements(grid, list, (data[0] & 2) != 0, templateUsed);
  for (int row = 1; row < grid.RowCount() - 1 && row < 20; ++row) ElementFileLine(kind, grid, row);
  PackedEpochText(std::string(fuzz::Part(input, 0).substr(0, 5)));
  return 0;
}
