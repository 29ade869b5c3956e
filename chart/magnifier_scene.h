// A magnifier rendered without the main window (tests, benchmarks, the PNG
// tool): the scene of headless_scene.h plus the Tycho-2 array, a main
// plotter for the place and instant, the magnifier plotter and its bitmaps.
#pragma once

#include <memory>
#include <string>

class tPlotter;
class tPlotterB;

struct TMagnifierScene {
  std::unique_ptr<tPlotter> main;
  std::unique_ptr<tPlotterB> magnifier;
  TMagnifierScene();
  ~TMagnifierScene();
  TMagnifierScene(const TMagnifierScene&) = delete;
  TMagnifierScene& operator=(const TMagnifierScene&) = delete;

  // Loads the data folder (ending in "/"): SAO stars to magnitude 12 and the
  // Tycho-2 array, converted as the program converts them. False with a reason.
  static bool Load(const std::string& dataFolder, std::string& error);
  // Place (longitude positive west, latitude, radians) and universal time.
  void SetInstant(double longitudeWest, double latitude, double jdUT);
  // Renders the magnifier of inset size `size` (pixels) and field-of-view
  // mode `mode` centred on (ra, dec) (radians, of the chart's date) into
  // MagnifierScreenBitmap.
  void Render(double ra, double dec, int mode, int size = 190);
  // Position of date (radians) of planet p (1..9) at the scene's instant.
  void PlanetPosition(int p, double& ra, double& dec);
  // Position of date (radians) of the Moon at the scene's instant.
  void MoonPosition(double& ra, double& dec);
};
