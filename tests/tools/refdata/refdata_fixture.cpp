#include "refdata_fixture.h"

#include <memory>

#include "astro/planets.h"
#include "astro/reference_files.h"
#include "catalog/object_catalog.h"
#include "chart/sun_moon_images.h"
#include "shell/globals.h"

bool UseReferenceData() {
  static int state = -1;
  const std::string folder = NOCTRA_TOOLS_REFDATA;
  if (state < 0) {
    state = std::filesystem::exists(folder + "SAO_YALE.DAT") ? 1 : 0;
    if (state) {
      DataFolder = folder;
      ProgramFolder = folder;
      ConvertElementTable();
      InitPlanetRecords(Planets);
      InitExtraElementRecord(MoonBody);
      LoadDataFiles();
      LoadSunMoonImages();
      ObjectCatalog = std::make_unique<tCO>(folder + kObjectDatabaseName,
                                            std::vector<std::string>{kBaseCatalogTable});
    }
  }
  return state == 1;
}
