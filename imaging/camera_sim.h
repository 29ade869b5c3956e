// The built-in camera simulator ("Noctra.Simulator.Camera"), a driver of the
// late-bound driver layer that answers the camera members like a real
// camera: exposures take their time on the program's millisecond counter,
// and the picture is a star field at the simulated mount's pointing, drawn
// from the star catalogue (Tycho stars) through a gnomonic projection with
// the sensor's pixel scale and rotation, a Gaussian seeing disc, sky
// background and noise. A guide pulse or a slew of the mount moves the stars
// in the next picture.
#pragma once

#include <functional>
#include <random>
#include <vector>

#include "platform/automation_sim.h"

namespace imaging {

// The default: a 640 x 480 sensor of 5.6 um pixels behind a 100 mm lens,
// 11.55" a pixel, a field of 2.05 x 1.54 degrees: wide enough for the
// Tycho-2 index files of Debian's astrometry-data-tycho2-10-19 (fields of
// 1 degree and wider), so that the simulator's pictures plate-solve.
struct TSimCameraConfig {
  std::string driverInfo = "Noctra camera simulator";
  int width = 640, height = 480;
  double pixelSizeUm = 5.6;
  double focalLengthMm = 100.0;  // answered as the driver's "FocalLength"
  double rotationDeg = 0.0;      // position angle of the sensor's "up" from north, through east
  double seeingArcsec = 20.0;    // full width at half maximum of a star (seeing and optics): 1.7 pixels
  double skyLevel = 600.0;       // counts per second
  double readNoise = 8.0;        // counts
  double zeroPointMag = 16.0;    // a star of this magnitude gives 1,000 counts per second
  int sensorType = 0;            // 0 monochrome
  int maxBin = 4;
  unsigned seed = 1;
};

// One star for the simulator: J2000 position (radians) and magnitude.
struct TSimStar {
  double ra, dec, mag;
};

// Where the camera points (radians, J2000); false when there is no mount
// (the simulator then shows the field at its last or default pointing).
extern std::function<bool(double& ra, double& dec)> SimCameraPointing;
// The stars within `radius` radians of the J2000 position (ra, dec); by
// default LoadedCatalogStars.
extern std::function<std::vector<TSimStar>(double ra, double dec, double radius)> SimCameraStars;
// The stars of the loaded SAO and Tycho catalogues (catalog/stars.h) within
// `radius` of (ra, dec), in J2000 whatever epoch the catalogues were
// precessed to for the chart.
std::vector<TSimStar> LoadedCatalogStars(double ra, double dec, double radius);

class TSimCamera : public platform::TSimDevice {
 public:
  explicit TSimCamera(TSimCameraConfig config = {});
  const TSimCameraConfig& Config() const { return cfg_; }
  // Radians per unbinned pixel.
  double PixelScale() const { return cfg_.pixelSizeUm * 1e-3 / cfg_.focalLengthMm; }
  // Renders the field at (ra, dec) for `seconds` into NumX x NumY counts,
  // x fastest, row 0 at the top (north up for rotation 0, east left).
  std::vector<int32_t> RenderField(double ra, double dec, double seconds);

 protected:
  platform::TVariant DoGet(const std::string& member) override;
  void DoPut(const std::string& member, const platform::TVariant& value) override;
  platform::TVariant DoInvoke(const std::string& member, const platform::TVariantList& args) override;
  void Advance(uint32_t elapsedMs) override;

 private:
  TSimCameraConfig cfg_;
  int binX_ = 1, binY_ = 1, numX_, numY_, startX_ = 0, startY_ = 0;
  int state_ = 0;  // 0 idle, 2 exposing
  bool ready_ = false, light_ = true;
  double duration_ = 0, elapsedMs_ = 0;
  double gain_ = 1, setPoint_ = 10, temperature_ = 15;
  bool coolerOn_ = false;
  double ra_ = 0.9905, dec_ = 0.4210;  // the default field: the Pleiades (3h 47m, +24.1 degrees)
  std::vector<int32_t> image_;
  std::mt19937 rng_;
};

// Registers "Noctra.Simulator.Camera" with the driver registry (once).
void RegisterSimCameraDriver();

}  // namespace imaging
