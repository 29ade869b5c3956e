// A chart scene without the main window: the reference files, the star
// catalogues, the object database, the styles and colours loaded from one
// data folder into the globals a render reads, as the program's start-up
// does. Tools, tests and benchmarks that render a real sky use it.
#pragma once

#include <string>

class tPlotter;

// Loads everything from `dataFolder` (ending in "/"): the reference files,
// the deep-sky outlines, the boundaries, the Sun and Moon pictures, the
// object database's base catalogue, the asteroids and comets of
// "default.ast" and "default.cmt", and the SAO stars up to magnitude
// `faintLimit` converted for the live observer record as the program
// converts them. Sets the default styles and drawing colours. False with a
// reason when a file is missing.
bool LoadHeadlessScene(const std::string& dataFolder, double faintLimit, std::string& error);
// The Tycho-2 array too, converted the same way and kept with the SAO stars
// from now on (the magnifier's scene).
bool LoadHeadlessTycho(std::string& error);

// The parts of a scene that need no data folder: the default styles and
// drawing colours, and the planet and Moon records (synthetic skies of
// tests and fuzzing).
void InitHeadlessSky();

// Puts the plotter's observer at a place (longitude positive west, latitude,
// radians) and universal time with precession to the date switched on, as
// the program runs, and makes the live observer record the same (the object
// database precesses to its instant). The star arrays are converted again
// when they hold another epoch, so the scene draws what the program draws.
void SetHeadlessInstant(tPlotter& plotter, double longitudeWest, double latitude, double jdUT);
