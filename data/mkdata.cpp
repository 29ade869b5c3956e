#include "data/mkdata.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "catalog/element_files.h"
#include "catalog/object_options.h"
#include "data/bounds.h"
#include "data/common.h"
#include "data/deepsky.h"
#include "data/elements.h"
#include "data/elevation.h"
#include "data/images.h"
#include "data/refdata.h"
#include "data/relief.h"
#include "data/worldmap.h"
#include "data/stars.h"
#include "data/state_borders.h"
#include "data/zonecat.h"
#include "platform/paths.h"

namespace mkdata {

namespace fs = std::filesystem;

const std::vector<SourcePackage>& SourcePackages() {
  static const std::vector<SourcePackage> kPackages = {
      {"stellarium-data",
       "stellarium-data/usr/share/stellarium",
       {"stars/default/cross-id.dat", "stars/default/name.fab", "stars/default/hip_pm.dat",
        "stars/default/gcvs_hip_part.dat", "stars/default/wds_hip_part.dat", "stars/default/stars_0_0v0_8.cat",
        "stars/default/stars_1_0v0_8.cat", "stars/default/stars_2_0v0_8.cat", "stars/default/stars_3_1v0_4.cat",
        "skycultures/western/constellationship.fab", "data/base_locations.bin.gz"}},
      {"kstars-data",
       "kstars-data/usr/share/kstars",
       {"OpenNGC.kscat", "namedstars.dat", "unnamedstars.dat", "asteroids.dat", "comets.dat", "cbounds.dat",
        "milkyway.dat"}},
      {"d3-celestial", "d3-celestial/package/data", {"stars.14.json", "starnames.json", "dsos.20.json"}},
      {"world-atlas", "world-atlas/package", {"land-50m.json", "countries-50m.json"}},
  };
  return kPackages;
}

std::string DefaultSourcesFolder() {
  if (const char* s = std::getenv("NOCTRA_SOURCES"); s && *s) return s;
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.cache/noctra-sources";
  return ".cache/noctra-sources";
}

namespace {

// The year whose time-zone rules give the cities' zones.
constexpr int kZoneYear = 2024;

// Paths of the source files.
class SourcePaths {
 public:
  explicit SourcePaths(std::string root) : root_(std::move(root)) {}
  std::string Path(const std::string& package, const std::string& file) const {
    for (const SourcePackage& p : SourcePackages())
      if (p.name == package) return platform::JoinPath(platform::JoinPath(root_, p.folder), file);
    throw std::logic_error("unknown package " + package);
  }
  std::string Stel(const std::string& f) const { return Path("stellarium-data", f); }
  std::string KStars(const std::string& f) const { return Path("kstars-data", f); }
  std::string D3(const std::string& f) const { return Path("d3-celestial", f); }
  std::string Atlas(const std::string& f) const { return Path("world-atlas", f); }

 private:
  std::string root_;
};

// A file (or pair of files) to build.
struct Target {
  std::string key;
  std::vector<std::string> outputs;
  std::vector<std::string> sources;
  int version = 1;
  // Built only when missing: the program itself saves over these files.
  bool onlyWhenMissing = false;
  std::function<void()> build;
};

// Size and modification time of a file, "-" when it cannot be read.
std::string FileIdentity(const std::string& path) {
  std::error_code ec1, ec2;
  const auto size = fs::file_size(path, ec1);
  const auto time = fs::last_write_time(path, ec2).time_since_epoch().count();
  if (ec1 || ec2) return "-";
  return std::to_string(size) + ":" + std::to_string(time);
}

// Size and modification time of every source, with the target's version and
// the identity of this program, so that a rebuilt tool rebuilds the files.
std::string Signature(const Target& t) {
  static const std::string tool = FileIdentity("/proc/self/exe");
  std::ostringstream s;
  s << "v" << t.version << " tool:" << tool;
  for (const std::string& p : t.sources) s << " " << fs::path(p).filename().string() << ":" << FileIdentity(p);
  return s.str();
}

// The stamps of the last successful builds, kept in the output folder.
class Stamps {
 public:
  explicit Stamps(std::string path) : path_(std::move(path)) {
    std::ifstream in(path_);
    std::string line;
    while (std::getline(in, line)) {
      const std::size_t tab = line.find('\t');
      if (tab != std::string::npos) stamps_[line.substr(0, tab)] = line.substr(tab + 1);
    }
  }
  std::string Get(const std::string& key) const {
    auto it = stamps_.find(key);
    return it == stamps_.end() ? std::string() : it->second;
  }
  void Set(const std::string& key, const std::string& value) {
    stamps_[key] = value;
    std::string text;
    for (const auto& [k, v] : stamps_) text += k + "\t" + v + "\n";
    platform::WriteFileAtomically(path_, text.data(), text.size());
  }

 private:
  std::string path_;
  std::map<std::string, std::string> stamps_;
};

// The summary part that counts the Hipparcos positions of a file taken from
// the zoned catalogues instead of the GeoJSON list.
std::string CorrectedText(int count) {
  return std::to_string(count) + (count == 1 ? " position" : " positions") + " corrected from the zoned catalogue";
}

void WriteOutput(const std::string& dir, const std::string& name, const void* data, std::size_t size) {
  const std::string path = platform::JoinPath(dir, name);
  if (!platform::WriteFileAtomically(path, data, size)) throw SourceError("cannot write " + path);
}
void WriteOutput(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  WriteOutput(dir, name, bytes.data(), bytes.size());
}
void WriteOutput(const std::string& dir, const std::string& name, const std::string& text) {
  WriteOutput(dir, name, text.data(), text.size());
}

// The star sources and their merged table, read once when first needed.
class StarData {
 public:
  explicit StarData(const SourcePaths& src) : src_(src) {}
  const StarTable& Table() {
    if (!table_) {
      sources_.cross = ReadCrossIndex(src_.Stel("stars/default/cross-id.dat"));
      sources_.designations = ReadDesignations(src_.Stel("stars/default/name.fab"));
      sources_.motions = ReadProperMotions(src_.Stel("stars/default/hip_pm.dat"));
      sources_.variables = ReadVariables(src_.Stel("stars/default/gcvs_hip_part.dat"));
      sources_.doubles = ReadDoubles(src_.Stel("stars/default/wds_hip_part.dat"));
      sources_.positions = ReadGeoJsonStars(src_.D3("stars.14.json"), &offSky_);
      sources_.names = ReadGeoJsonStarNames(src_.D3("starnames.json"));
      for (const char* f : {"namedstars.dat", "unnamedstars.dat"}) {
        std::vector<BinaryStar> s = ReadBinaryStars(src_.KStars(f));
        sources_.binaryStars.insert(sources_.binaryStars.end(), s.begin(), s.end());
      }
      for (const ZoneCatalogue& c : Zoned()) sources_.zoned.push_back(&c);
      table_ = MergeStars(sources_);
    }
    return *table_;
  }
  // Entries of the GeoJSON list left out for a position off the sky.
  int OffSky() {
    Table();
    return offSky_;
  }
  const StarSources& Inputs() {
    Table();
    return sources_;
  }
  // The zoned catalogues, brightest first.
  std::vector<std::string> ZonedFiles() const {
    std::vector<std::string> files;
    for (const char* f : kZonedCatalogues) files.push_back(src_.Stel(std::string("stars/default/") + f));
    return files;
  }
  const std::vector<ZoneCatalogue>& Zoned() {
    if (zoned_.empty())
      for (const std::string& f : ZonedFiles()) zoned_.push_back(ReadZoneCatalogue(f));
    return zoned_;
  }
  // Every file the merged table is made of.
  std::vector<std::string> Files() const {
    std::vector<std::string> files = {
        src_.Stel("stars/default/cross-id.dat"),   src_.Stel("stars/default/name.fab"),
        src_.Stel("stars/default/hip_pm.dat"),     src_.Stel("stars/default/gcvs_hip_part.dat"),
        src_.Stel("stars/default/wds_hip_part.dat"), src_.D3("stars.14.json"),
        src_.D3("starnames.json"),                 src_.KStars("namedstars.dat"),
        src_.KStars("unnamedstars.dat")};
    for (const std::string& f : ZonedFiles()) files.push_back(f);
    return files;
  }

 private:
  const SourcePaths& src_;
  static constexpr const char* kZonedCatalogues[] = {"stars_0_0v0_8.cat", "stars_1_0v0_8.cat", "stars_2_0v0_8.cat",
                                                    "stars_3_1v0_4.cat"};
  StarSources sources_;
  std::optional<StarTable> table_;
  int offSky_ = 0;
  std::vector<ZoneCatalogue> zoned_;
};

}  // namespace

int RunMkdata(const MkdataOptions& opt, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  const std::string root = opt.sourcesDir.empty() ? DefaultSourcesFolder() : opt.sourcesDir;
  // Every source package must be present before anything is written.
  bool missing = false;
  for (const SourcePackage& p : SourcePackages()) {
    for (const std::string& f : p.files) {
      const std::string path = platform::JoinPath(platform::JoinPath(root, p.folder), f);
      if (!platform::FileExists(path)) {
        err << "noctra-mkdata: the source package " << p.name << " is missing (" << path
            << " not found).\n  Install the sources with: bash -c 'source data/sources.sh && noctra_fetch_sources'"
            << " (run.sh and test.sh do this),\n  or point NOCTRA_SOURCES or --sources at a folder holding them.\n";
        missing = true;
        break;
      }
    }
  }
  if (missing) return 1;
  std::error_code ec;
  fs::create_directories(opt.outDir, ec);
  if (!platform::FolderExists(opt.outDir)) {
    err << "noctra-mkdata: cannot create the output folder " << opt.outDir << "\n";
    return 1;
  }

  const SourcePaths src(root);
  StarData stars(src);
  const std::string dir = opt.outDir;
  auto line = [&](const std::string& file, const std::string& text) { out << file << ": " << text << "\n"; };

  std::vector<Target> targets;

  // Star catalogue and notes.
  targets.push_back({"SAO_YALE.DAT", {"SAO_YALE.DAT", "yale_notes.dat"}, stars.Files(), 5, false, [&] {
                       const SaoFileContent f = BuildSaoFile(stars.Table(), stars.Inputs().cross);
                       WriteOutput(dir, "yale_notes.dat", f.notes.Text());
                       WriteOutput(dir, "SAO_YALE.DAT", EncodeSaoFile(f.records));
                       line("SAO_YALE.DAT", std::to_string(f.records.size()) + " stars written in " +
                                                std::to_string(kSaoRecordCount) + " records; " +
                                                std::to_string(kSaoRecordCount - int(f.records.size())) +
                                                " SAO numbers without a star in the Hipparcos cross index left empty; " +
                                                CorrectedText(f.corrected) +
                                                (f.noPosition ? "; " + std::to_string(f.noPosition) + " without a position skipped" : "") +
                                                (f.components ? "; " + std::to_string(f.components) +
                                                                    " further components of a double sharing its Hipparcos entry left empty"
                                                              : "") +
                                                (stars.OffSky() ? "; " + std::to_string(stars.OffSky()) + " GeoJSON entries with a position off the sky skipped" : "") +
                                                (f.clamped ? "; " + std::to_string(f.clamped) + " proper motions cut to the 16-bit field" : ""));
                       line("yale_notes.dat", std::to_string(f.records.size()) + " notes written, one for each star (its SAO "
                                                  "number, and its name, designation, variability and duplicity where known)");
                     }});

  // The stars without an SAO number.
  targets.push_back({"tycho2.dat", {"tycho2.dat"}, stars.Files(), 3, false, [&] {
                       std::set<int> withSao;
                       for (const CrossEntry& e : stars.Inputs().cross)
                         if (e.sao > 0) withSao.insert(e.hip);
                       const TychoFileContent f = BuildTychoFile(stars.Table(), withSao, stars.Inputs().zoned);
                       WriteOutput(dir, "tycho2.dat", EncodeTychoFile(f.records));
                       line("tycho2.dat",
                            std::to_string(f.records.size()) + " stars written (" + std::to_string(f.hipStars) +
                                " Hipparcos stars without an SAO number, " + std::to_string(f.unmatchedStars) +
                                " KStars stars matching no Hipparcos star, " + std::to_string(f.zoneStars) +
                                " fainter Tycho stars of the Stellarium catalogues); stars with SAO numbers are in "
                                "SAO_YALE.DAT; " +
                                std::to_string(f.knownHip) + " Hipparcos and " + std::to_string(f.nearKnown) +
                                " other catalogue stars already present skipped; " + CorrectedText(f.corrected) +
                                (f.noMagnitude ? "; " + std::to_string(f.noMagnitude) + " without a magnitude (brightness 0)" : "") +
                                (f.clamped ? "; " + std::to_string(f.clamped) + " proper motions cut to the 16-bit field" : ""));
                     }});

  targets.push_back({"brightstars.dat", {"brightstars.dat"}, stars.Files(), 1, false, [&] {
                       const std::vector<BrightStar> b = SelectBrightStars(stars.Table());
                       WriteOutput(dir, "brightstars.dat", EncodeBrightStars(b));
                       line("brightstars.dat", std::to_string(b.size()) + " brightest named stars written (" + b.front().name +
                                                   " to " + b.back().name + ")");
                     }});

  {
    std::vector<std::string> files = stars.Files();
    files.push_back(src.Stel("skycultures/western/constellationship.fab"));
    targets.push_back({"ConstellationLines.data", {"ConstellationLines.data"}, files, 1, false, [&] {
                         const StarTable& t = stars.Table();
                         const auto figures = ReadConstellationFigures(src.Stel("skycultures/western/constellationship.fab"));
                         int missingStars = 0;
                         const auto recs = BuildConstellationLines(
                             figures,
                             [&](int hip, SkyPoint& p) {
                               auto it = t.byHip.find(hip);
                               if (it == t.byHip.end()) return false;
                               p = {it->second.ra, it->second.dec};
                               return true;
                             },
                             &missingStars);
                         if (recs.size() > 32767) throw SourceError("more constellation line records than the program reads");
                         WriteOutput(dir, "ConstellationLines.data", EncodeConstellationLines(recs));
                         line("ConstellationLines.data", std::to_string(recs.size()) + " records written for " +
                                                             std::to_string(figures.size()) + " figures" +
                                                             (missingStars ? "; " + std::to_string(missingStars) + " segments skipped (star without a position)" : ""));
                       }});
  }

  targets.push_back({"Objects.sqlite", {"Objects.sqlite", "messier_rngc.dat"},
                     {src.KStars("OpenNGC.kscat"), src.D3("dsos.20.json")}, 1, false, [&] {
                       const auto extras = ReadGeoJsonDsos(src.D3("dsos.20.json"));
                       const DeepSkyCatalogue cat = ReadOpenNgc(src.KStars("OpenNGC.kscat"), extras);
                       WriteOutput(dir, "messier_rngc.dat", EncodeMessierTable(cat.messier));
                       const int kept = WriteObjectDatabase(platform::JoinPath(dir, "Objects.sqlite"), cat.ngc, cat.ic);
                       int unmapped = 0;
                       std::string which;
                       for (int n = 1; n <= kMessierCount; ++n)
                         if (!cat.messier[n]) {
                           ++unmapped;
                           which += (which.empty() ? "M" : ", M") + std::to_string(n);
                         }
                       line("Objects.sqlite", std::to_string(cat.ngc.size()) + " NGC objects (BASE_OBJECT_CATALOG) and " +
                                                  std::to_string(cat.ic.size()) + " IC objects (IC) written; " +
                                                  std::to_string(cat.skipped) +
                                                  " entries skipped (components of other entries, or outside NGC and IC); " +
                                                  (cat.damaged ? std::to_string(cat.damaged) +
                                                                     " damaged entries skipped (declination off the sky or "
                                                                     "position angle beyond 360°); "
                                                               : std::string()) +
                                                  std::to_string(cat.filled) + " completed from the GeoJSON list" +
                                                  (kept ? "; " + std::to_string(kept) + " imported catalogues kept" : ""));
                       line("messier_rngc.dat", std::to_string(kMessierCount - unmapped) + " Messier numbers written" +
                                                    (unmapped ? "; " + std::to_string(unmapped) + " without an NGC number left 0 (" + which + ")" : ""));
                     }});

  targets.push_back({"milkywayb.dat", {"milkywayb.dat"}, {src.KStars("milkyway.dat")}, 1, false, [&] {
                       const auto polys = ReadMilkyWayOutline(src.KStars("milkyway.dat"));
                       std::size_t points = 0;
                       for (const auto& p : polys) points += p.size();
                       WriteOutput(dir, "milkywayb.dat", EncodeMilkyWay(polys));
                       line("milkywayb.dat", std::to_string(points) + " points in " + std::to_string(polys.size()) +
                                                 " polygons written, 0 skipped");
                     }});

  targets.push_back({"city.dat", {"city.dat"}, {src.Stel("data/base_locations.bin.gz")}, 2, false, [&] {
                       const auto locs = ReadLocations(src.Stel("data/base_locations.bin.gz"));
                       int skipped = 0;
                       const auto cities = SelectCities(locs, kZoneYear, &skipped);
                       WriteOutput(dir, "city.dat", EncodeCities(cities));
                       line("city.dat", std::to_string(cities.size()) + " places written (capitals, then the most populous) of " +
                                            std::to_string(locs.size()) + "; " + std::to_string(skipped) +
                                            " skipped (zone unknown or beyond 12 hours)");
                     }});

  targets.push_back({"nebula.dat", {"nebula.dat"}, {}, 1, false, [&] {
                       WriteOutput(dir, "nebula.dat", std::string());
                       line("nebula.dat", "0 outlines written (no public outline source; the chart draws nebulae as squares)");
                     }});

  targets.push_back({"Bounds.dat", {"Bounds.dat"}, {src.KStars("cbounds.dat")}, 1, false, [&] {
                       std::vector<BoundaryRun> runs;
                       std::size_t inPoints = 0, vertices = 0;
                       for (const BoundaryRun& r : ReadBoundaryOutlines(src.KStars("cbounds.dat"))) {
                         inPoints += r.points.size();
                         BoundaryRun b = PrecessRunTo1875(r);
                         b.points = Corners(b.points);
                         vertices += b.points.size();
                         runs.push_back(b);
                       }
                       WriteOutput(dir, "Bounds.dat", EncodeBounds(ArrangeRuns(runs)));
                       line("Bounds.dat", std::to_string(vertices) + " vertices in " + std::to_string(runs.size()) +
                                              " runs written; " + std::to_string(inPoints - vertices + runs.size()) +
                                              " intermediate points along meridians and parallels left out");
                     }});

  targets.push_back({"sun.bmp", {"sun.bmp", "moon.bmp"}, {}, 1, false, [&] {
                       WriteOutput(dir, "sun.bmp", EncodeBmp8(DrawSun(256)));
                       WriteOutput(dir, "moon.bmp", EncodeBmp8(DrawMoon(256)));
                       line("sun.bmp", "256 x 256 8-bit picture written (drawn)");
                       line("moon.bmp", "256 x 256 8-bit picture written (drawn)");
                     }});

  // The land outlines, and the relief raster of Debian's marble-qt-data
  // (not a fetched source: deps.sh installs it), read once for both relief
  // files. Without the package the elevations stand in and the run says
  // so once; installing it changes the sources' stamp, so the next run
  // builds the files again.
  const std::string reliefDir = platform::JoinPath(opt.reliefDir.empty() ? kReliefTileFolder : opt.reliefDir, "");
  std::optional<std::vector<LonLatRing>> landRings;
  std::optional<ElevationSource> elevation;
  auto land = [&]() -> const std::vector<LonLatRing>& {
    if (!landRings) landRings = ReadTopoJsonLand(src.Atlas("land-50m.json"));
    return *landRings;
  };
  auto heights = [&]() -> const ElevationSource* {
    if (!elevation) {
      elevation = ReadElevationSource(reliefDir, land());
      if (!elevation->Available()) err << "noctra-mkdata: world.dat, scripps2.dat: " << elevation->missing << "\n";
    }
    return elevation->Available() ? &*elevation : nullptr;
  };
  auto heightsText = [&] {
    if (!heights()) return std::string("elevations are stand-ins (") + kReliefPackage + " missing)";
    std::ostringstream t;
    t << "approximate heights and depths from the relief raster of " << kReliefPackage << " (sea level at grey "
      << std::fixed << std::setprecision(1) << elevation->seaLevelGrey << ")";
    return t.str();
  };
  std::vector<std::string> reliefSources = ReliefTileFiles(reliefDir);
  reliefSources.insert(reliefSources.begin(), src.Atlas("land-50m.json"));

  targets.push_back({"scripps2.dat", {"scripps2.dat"}, reliefSources, 2, false, [&] {
                       int landNodes = 0;
                       const auto bytes = EncodeRelief(LandFractions(land()), &landNodes, heights());
                       WriteOutput(dir, "scripps2.dat", bytes);
                       line("scripps2.dat", std::to_string(kReliefRows * kReliefColumns) + " cells written (" +
                                                std::to_string(landNodes) + " land); " +
                                                (heights() ? heightsText() + ", means over 1° cells"
                                                           : "elevations are stand-ins (land 200 m, sea 200 to 4000 m deep by "
                                                             "distance from the coast; " + std::string(kReliefPackage) + " missing)"));
                     }});

  targets.push_back({"world.dat", {"world.dat", "world.idx"}, reliefSources, 2, false, [&] {
                       const WorldMapFiles f = EncodeWorldMap(WorldLandMask(land()), heights());
                       WriteOutput(dir, "world.dat", f.dat);
                       WriteOutput(dir, "world.idx", f.idx);
                       line("world.dat", std::to_string(kWorldTiles) + " tiles of 5' samples written (" +
                                             std::to_string(f.dat.size()) + " bytes); land and sea from the land polygons, " +
                                             heightsText() +
                                             (f.steepTiles ? "; " + std::to_string(f.steepTiles) +
                                                                 " tiles too steep for 9-bit steps stored within " +
                                                                 std::to_string(f.largestChange) + " m"
                                                           : ""));
                     }});

  targets.push_back({"map", {"map/namer.map/bdy.cbd", "map/samer.map/bdy.cbd", "map/europe.map/bdy.cbd",
                             "map/asia.map/bdy.cbd", "map/africa.map/bdy.cbd"},
                     {src.Atlas("countries-50m.json")}, 1, false, [&] {
                       std::vector<BoundaryLine> regions[5];
                       for (const LonLatRing& b : ReadTopoJsonBorders(src.Atlas("countries-50m.json")))
                         regions[BorderRegion(b)].push_back({1, b});
                       static const char* const kRegions[5] = {"namer", "samer", "europe", "asia", "africa"};
                       std::size_t count = 0;
                       for (int r = 0; r < 5; ++r) {
                         std::filesystem::create_directories(platform::JoinPath(dir, std::string("map/") + kRegions[r] + ".map"));
                         WriteOutput(dir, std::string("map/") + kRegions[r] + ".map/bdy.cbd", EncodeBoundaryFile(regions[r]));
                         count += regions[r].size();
                       }
                       line("map", std::to_string(count) + " national border lines written in five regions");
                     }});

  // State and province boundaries from Debian's gmt-dcw package (not a
  // fetched source: deps.sh installs it). Without it the file is written
  // empty, the run says so and goes on; installing the package changes
  // the sources' stamp, so the next run builds the file.
  const std::string dcw = platform::JoinPath(opt.dcwDir.empty() ? kDcwFolder : opt.dcwDir, "");
  targets.push_back({"pby.cbd", {"map/namer.map/pby.cbd"}, {dcw + kDcwFile, dcw + kDcwStatesFile}, 2, false, [&] {
                       const StateBoundaryFile f = BuildStateBoundaryFile(dcw);
                       std::filesystem::create_directories(platform::JoinPath(dir, "map/namer.map"));
                       WriteOutput(dir, "map/namer.map/pby.cbd", f.bytes);
                       line("map/namer.map/pby.cbd", f.summary);
                       if (!f.missing.empty()) err << "noctra-mkdata: map/namer.map/pby.cbd: " << f.missing << "\n";
                     }});

  targets.push_back({"default.ast", {"default.ast"}, {src.KStars("asteroids.dat")}, 1, true, [&] {
                       int skipped = 0;
                       const auto all = ReadAsteroidList(src.KStars("asteroids.dat"), &skipped);
                       const auto chosen = SelectBrightAsteroids(all);
                       WriteOutput(dir, "default.ast", FormatAsteroidFile(chosen));
                       line("default.ast", std::to_string(chosen.size()) + " asteroids written (magnitude 11 or brighter at a perihelic opposition); " +
                                               std::to_string(all.size() - chosen.size()) + " fainter ones and " +
                                               std::to_string(skipped) + " without full elements skipped");
                     }});

  targets.push_back({"default.cmt", {"default.cmt"}, {src.KStars("comets.dat")}, 1, true, [&] {
                       int skipped = 0;
                       const auto all = ReadCometList(src.KStars("comets.dat"), &skipped);
                       const auto chosen = SelectBrightComets(all);
                       WriteOutput(dir, "default.cmt", FormatCometFile(chosen));
                       line("default.cmt", std::to_string(chosen.size()) + " comets written (bright periodic comets, bright comets since 2020); " +
                                               std::to_string(all.size() - chosen.size()) + " others and " +
                                               std::to_string(skipped) + " without a total magnitude or elements skipped");
                     }});

  targets.push_back({"mpc.ast.template", {"mpc.ast.template", "mpc.cmt.template"}, {}, 1, true, [&] {
                       EnsureMpcTemplates(platform::JoinPath(dir, ""));
                       line("mpc.ast.template", "column templates of the Minor Planet Center's lists written (mpc.ast.template, "
                                                "mpc.cmt.template)");
                     }});

  Stamps stamps(platform::JoinPath(dir, ".noctra-mkdata-stamps"));
  int failures = 0;
  for (const Target& t : targets) {
    bool present = true;
    for (const std::string& o : t.outputs) present = present && platform::FileExists(platform::JoinPath(dir, o));
    // A database without one of the tables written here is rebuilt.
    if (present && t.key == "Objects.sqlite") present = ObjectDatabaseComplete(platform::JoinPath(dir, t.key));
    const std::string sig = Signature(t);
    if (present && (t.onlyWhenMissing || (!opt.force && stamps.Get(t.key) == sig))) {
      for (const std::string& o : t.outputs)
        line(o, t.onlyWhenMissing ? "present, kept (the user may have changed it)" : "up to date");
      continue;
    }
    try {
      t.build();
      stamps.Set(t.key, sig);
    } catch (const std::exception& e) {
      err << "noctra-mkdata: " << t.outputs.front() << " not built: " << e.what() << "\n";
      ++failures;
    }
  }
  // The catalogue options offer the further catalogue of the object
  // database in a free slot, inactive, unless a slot names it already.
  if (ObjectDatabaseComplete(platform::JoinPath(dir, "Objects.sqlite"))) {
    const int slot = OfferCatalogTable(platform::FindFileNoCase(dir, "ObjectOptions.xml"), kIcTable, kIcDescription);
    line("ObjectOptions.xml", slot > 0   ? "the IC catalogue offered in catalogue slot " + std::to_string(slot) + " (not active)"
                              : slot == 0 ? "the IC catalogue is in the catalogue options"
                                          : "no free catalogue slot: the IC catalogue is not offered");
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  out << "noctra-mkdata: " << (failures ? "finished with errors" : "done") << " in " << std::fixed
      << std::setprecision(1) << secs << " s\n";
  return failures ? 1 : 0;
}

int MkdataMain(int argc, char** argv) {
  MkdataOptions opt;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--force") {
      opt.force = true;
    } else if (a == "--sources" && i + 1 < argc) {
      opt.sourcesDir = argv[++i];
    } else if (a.rfind("--sources=", 0) == 0) {
      opt.sourcesDir = a.substr(10);
    } else if (!a.empty() && a[0] != '-' && opt.outDir.empty()) {
      opt.outDir = a;
    } else {
      opt.outDir.clear();
      break;
    }
  }
  if (opt.outDir.empty()) {
    std::cerr << "usage: noctra-mkdata [--sources DIR] [--force] OUTDIR\n"
                 "Builds the reference data files of Noctra Planetarium into OUTDIR from the public\n"
                 "catalogues in DIR (default: $NOCTRA_SOURCES, else ~/.cache/noctra-sources).\n";
    return 2;
  }
  return RunMkdata(opt, std::cout, std::cerr);
}

}  // namespace mkdata
