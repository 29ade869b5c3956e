// noctra-mkdata: builds every reference file of the program into one folder
// from the public catalogues installed in a sources folder, rebuilding only
// the files that are missing or older than their sources.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace mkdata {

// A source package and the files the tool reads from it.
struct SourcePackage {
  std::string name;     // "stellarium-data"
  std::string folder;   // its folder inside the sources folder
  std::vector<std::string> files;  // paths inside that folder
};
const std::vector<SourcePackage>& SourcePackages();

// The sources folder: the option's value, else $NOCTRA_SOURCES, else
// $HOME/.cache/noctra-sources.
std::string DefaultSourcesFolder();

struct MkdataOptions {
  std::string outDir;
  std::string sourcesDir;
  // The folder of Debian's gmt-dcw package ("" = /usr/share/gmt-dcw/),
  // which deps.sh installs; without it the state and province boundary
  // file is written empty and the run says so.
  std::string dcwDir;
  // The relief raster's tile folder ("" = marble-qt-data's level 3,
  // kReliefTileFolder), which deps.sh installs; without it the relief
  // files hold stand-in elevations and the run says so.
  std::string reliefDir;
  bool force = false;  // rebuild every file
};

// Runs the whole build, writing one summary line per file to `out` and
// problems to `err`. Returns 0 on success, 1 when a source package is
// missing (nothing is written then) or a file could not be built.
int RunMkdata(const MkdataOptions& options, std::ostream& out, std::ostream& err);

// The command line: noctra-mkdata [--sources DIR] [--force] OUTDIR.
int MkdataMain(int argc, char** argv);

}  // namespace mkdata
