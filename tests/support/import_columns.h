// The import window's columns given their types as a user does it, by the
// type codes of the import tree.
#pragma once

#include <string>
#include <vector>

#include "catalog/catalog_import.h"
#include "catalog/forms/import_tool_form.h"

namespace testing_support {

// Gives column c of the window's preview the type whose code is codes[c];
// "DED" is the declination in degrees, not the one in degrees, minutes and
// seconds.
inline void AssignImportColumns(TImportToolForm1& import, const std::vector<std::string>& codes) {
  const auto& types = ImportTypeTree().Types;
  for (int c = 0; c < int(codes.size()); ++c)
    for (std::size_t i = 0; i < types.size(); ++i)
      if (types[i].Code == codes[std::size_t(c)] && (codes[std::size_t(c)] != "DED" || types[i].SubGroup == 1)) {
        import.AssignType(int(i), c);
        break;
      }
}

}  // namespace testing_support
