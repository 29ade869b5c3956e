// Loading a chart scene for headless renders (see headless_scene.h).
#include "chart/headless_scene.h"

#include <filesystem>

#include "astro/observer.h"
#include "astro/planets.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "catalog/bounds.h"
#include "catalog/element_files.h"
#include "catalog/object_catalog.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "chart/plotter.h"
#include "chart/ring.h"
#include "chart/styles.h"
#include "chart/sun_moon_images.h"
#include "platform/paths.h"
#include "shell/globals.h"

bool LoadHeadlessScene(const std::string& dataFolder, double faintLimit, std::string& error) {
  for (const char* f : {"SAO_YALE.DAT", "Objects.sqlite", "milkywayb.dat", "ConstellationLines.data",
                        "messier_rngc.dat", "city.dat", "Bounds.dat"})
    if (!std::filesystem::exists(dataFolder + f)) {
      error = std::string("missing ") + dataFolder + f;
      return false;
    }
  DataFolder = dataFolder;
  ProgramFolder = dataFolder;
  ConvertElementTable();
  InitPlanetRecords(Planets);
  InitExtraElementRecord(MoonBody);
  MoonBody.LastJD = -1000000.0;
  LoadDataFiles();
  LoadNebulae();
  LoadBounds();
  PrecessBounds(ObserverTime);
  ObjectCatalog = std::make_unique<tCO>(dataFolder + kObjectDatabaseName,
                                        std::vector<std::string>{kBaseCatalogTable});

  TStarLoadJob job;
  job.saoPath = dataFolder + "SAO_YALE.DAT";
  job.notesPath = dataFolder + "yale_notes.dat";
  job.observer = ObserverTime;
  job.observer.PrecessionOn = 0;
  job.options = RegistryDefaultStarOptions();
  job.options.HighMagLimit = faintLimit;
  StarOptions = job.options;
  TStarLoadResult result;
  ConvertSaoCatalog(job, result, nullptr);
  if (result.sao.empty()) {
    error = "no stars: " + result.message;
    return false;
  }
  SaoStars.swap(result.sao);
  StarNames.swap(result.names);
  SaoStarCount = int32_t(SaoStars.size());
  StarNameCount = int32_t(StarNames.size());

  // The asteroids and comets of the element files, when present.
  bool templateUsed = false;
  TElementGrid asteroids(ElementColumns(TElementKind::Asteroid));
  if (std::filesystem::exists(dataFolder + "default.ast"))
    LoadAsteroidElements(asteroids, dataFolder + "default.ast", false, templateUsed);
  TElementGrid comets(ElementColumns(TElementKind::Comet));
  if (std::filesystem::exists(dataFolder + "default.cmt"))
    LoadCometElements(comets, dataFolder + "default.cmt", false, templateUsed);

  SetDefaultObjectColors();
  SetDefaultStyleFonts();
  MakeDrawingColors();
  MakeRingRamps();
  LoadSunMoonImages();
  return true;
}

void InitHeadlessSky() {
  SetDefaultObjectColors();
  SetDefaultStyleFonts();
  MakeDrawingColors();
  ConvertElementTable();
  InitPlanetRecords(Planets);
  InitExtraElementRecord(MoonBody);
}

void SetHeadlessInstant(tPlotter& plotter, double longitudeWest, double latitude, double jdUT) {
  TObserverTime& obs = plotter.Observer;
  SetObserverLocation(obs, longitudeWest, latitude, 0.0);
  SetObserverUT(obs, jdUT);
  obs.PrecessionOn = 0;
  ObserverTime = obs;
  PrecessBounds(obs);
}
