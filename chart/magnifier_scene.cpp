// A headless magnifier (see magnifier_scene.h).
#include "chart/magnifier_scene.h"

#include "astro/planets.h"
#include "astro/solar_system.h"
#include "astro/sun_moon.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/headless_scene.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/plotter_b.h"
#include "shell/globals.h"

TMagnifierScene::TMagnifierScene() : main(std::make_unique<tPlotter>()), magnifier(std::make_unique<tPlotterB>()) {
  MainPlotter = main.get();
  MagnifierPlotter = magnifier.get();
  main->DpiX = main->DpiY = 96;
  main->Width = 1920;
  main->Height = 1080;
  if (!MagnifierFrameBitmap) InitMagnifierBuffers();
  InsetSizeNormal = 120;
  InsetAspect = 1.0;
}

TMagnifierScene::~TMagnifierScene() {
  MainPlotter = nullptr;
  MagnifierPlotter = nullptr;
}

bool TMagnifierScene::Load(const std::string& dataFolder, std::string& error) {
  return LoadHeadlessScene(dataFolder, 12.0, error) && LoadHeadlessTycho(error);
}

void TMagnifierScene::SetInstant(double longitudeWest, double latitude, double jdUT) {
  SetHeadlessInstant(*main, longitudeWest, latitude, jdUT);
}

void TMagnifierScene::Render(double ra, double dec, int mode, int size) {
  FieldOfViewMode = mode;
  UpdateMagnifierFrame(size, mode);
  MagnifierCentreRA = ra;
  MagnifierCentreDec = dec;
  RenderMagnifier(size);
}

namespace {
// The Sun and the Earth's orbit at the plotter's instant, which the Moon and
// the planets need first.
void SolarSetup(tPlotter& p) {
  CalcSunTopocentric(p.SolarContext, p.Observer);
  CalcSun(p.SolarContext, p.Observer);
  CalcEarthOrbit(p.SolarContext, p.Observer);
}
}  // namespace

void TMagnifierScene::PlanetPosition(int p, double& ra, double& dec) {
  SolarSetup(*main);
  CalcPlanet(main->SolarContext, main->Observer, Planets[p - 1]);
  ra = Planets[p - 1].RA;
  dec = Planets[p - 1].Dec;
}

void TMagnifierScene::MoonPosition(double& ra, double& dec) {
  SolarSetup(*main);
  CalcMoon(main->SolarContext, main->Observer, MoonBody);
  ra = MoonBody.RA;
  dec = MoonBody.Dec;
}
