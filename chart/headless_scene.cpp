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

namespace {

// The star catalogues of the scene: where they come from, and whether the
// Tycho-2 array is wanted too.
struct THeadlessStars {
  std::string folder;
  bool tycho = false;
} g_stars;

// The star arrays converted for `obs` as the program's star load converts
// them: of the observer's precession epoch (from J2000) when precessing,
// else J2000. Sets the epoch the arrays hold.
bool ConvertHeadlessStars(const TObserverTime& obs, std::string& error) {
  TStarLoadJob job;
  job.saoPath = g_stars.folder + "SAO_YALE.DAT";
  job.notesPath = g_stars.folder + "yale_notes.dat";
  job.tychoPath = g_stars.folder + "tycho2.dat";
  job.observer = obs;
  if (job.observer.EpochFrom != 2451545.0) SetPrecession(job.observer, 2451545.0, double(job.observer.EpochTo));
  job.options = StarOptions;
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
  if (g_stars.tycho) {
    TychoStars = ConvertTychoCatalog(job);
    TychoStarCount = int32_t(TychoStars.size());
    if (TychoStars.empty()) {
      error = "no Tycho-2 stars in " + job.tychoPath;
      return false;
    }
  }
  StarCatalogEpoch = job.observer.EpochTo;
  StarCatalogPrecessed = job.observer.PrecessionOn;
  return true;
}

}  // namespace

bool LoadHeadlessTycho(std::string& error) {
  g_stars.tycho = true;
  return ConvertHeadlessStars(ObserverTime, error);
}

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

  StarOptions = RegistryDefaultStarOptions();
  StarOptions.HighMagLimit = faintLimit;
  g_stars = THeadlessStars{dataFolder, false};
  if (!ConvertHeadlessStars(ObserverTime, error)) return false;

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
  obs.PrecessionOn = 1;
  UpdatePrecession(obs);
  ObserverTime = obs;
  PrecessBounds(obs);
  // The stars of the instant's epoch, as the program reloads them when the
  // epoch moves.
  std::string error;
  if (!g_stars.folder.empty() && (StarCatalogEpoch != obs.EpochTo || StarCatalogPrecessed != obs.PrecessionOn))
    ConvertHeadlessStars(obs, error);
}
