#include "imaging/camera_sim.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "catalog/stars.h"

namespace imaging {

using platform::EAutomationError;
using platform::TVariant;

// The catalogues hold positions of StarCatalogEpoch when the chart
// precesses (catalog/stars.h): the field's centre is then taken to that
// epoch for the search, and each star found back to J2000, so that the
// picture shows the sky the solver's J2000 index knows at the mount's
// J2000 pointing.
std::vector<TSimStar> LoadedCatalogStars(double ra0, double dec0, double radius) {
  constexpr double kJ2000 = 2451545.0;
  std::unique_ptr<TObserverTime> back;  // from the catalogues' epoch to J2000
  if (StarCatalogPrecessed && StarCatalogEpoch > 0 && StarCatalogEpoch != kJ2000) {
    back = std::make_unique<TObserverTime>(ObserverTime);
    SetPrecession(*back, kJ2000, StarCatalogEpoch);
    Precess(*back, ra0, dec0);
    SetPrecession(*back, StarCatalogEpoch, kJ2000);
  }
  std::vector<TSimStar> out;
  const double cosLimit = std::cos(radius);
  const double s0 = std::sin(dec0), c0 = std::cos(dec0);
  auto take = [&](double ra, double dec, double mag) {
    if (std::fabs(dec - dec0) > radius) return;
    if (s0 * std::sin(dec) + c0 * std::cos(dec) * std::cos(ra - ra0) < cosLimit) return;
    if (back) {
      Precess(*back, ra, dec);
      ra = std::fmod(ra + 4 * M_PI, 2 * M_PI);
    }
    out.push_back({ra, dec, mag});
  };
  for (const TTychoStar& t : TychoStars)
    if (t.Brightness != 0) take(t.RA, t.Dec, t.Brightness / 10.0 - 2.0);
  // The brighter stars stand in the SAO array (magnitude byte 250: none).
  for (const TSaoStar& t : SaoStars)
    if (t.Magnitude != 0 && t.Magnitude < 250) take(t.RA, t.Dec, t.Magnitude / 10.0 - 2.0);
  return out;
}

std::function<bool(double&, double&)> SimCameraPointing;
std::function<std::vector<TSimStar>(double, double, double)> SimCameraStars = LoadedCatalogStars;

TSimCamera::TSimCamera(TSimCameraConfig config)
    : TSimDevice(config.driverInfo), cfg_(std::move(config)), numX_(cfg_.width), numY_(cfg_.height), rng_(cfg_.seed) {}

std::vector<int32_t> TSimCamera::RenderField(double ra0, double dec0, double seconds) {
  const int nx = numX_, ny = numY_;
  std::vector<double> img(std::size_t(nx) * ny, cfg_.skyLevel * seconds * binX_ * binY_);
  // Radians per binned pixel, and the seeing disc in binned pixels.
  const double scaleX = PixelScale() * binX_, scaleY = PixelScale() * binY_;
  const double sigma = cfg_.seeingArcsec / 206264.806 / 2.3548;
  const double sx = sigma / scaleX, sy = sigma / scaleY;
  const double cx = (cfg_.width / double(binX_)) / 2.0 - startX_ - 0.5;
  const double cy = (cfg_.height / double(binY_)) / 2.0 - startY_ - 0.5;
  const double radius = std::hypot(cfg_.width * PixelScale(), cfg_.height * PixelScale()) / 2 + 5 * sigma;
  const double rot = cfg_.rotationDeg * M_PI / 180.0;
  const double s0 = std::sin(dec0), c0 = std::cos(dec0);
  if (SimCameraStars) {
    for (const TSimStar& s : SimCameraStars(ra0, dec0, radius)) {
      // Gnomonic projection: standard coordinates xi (east), eta (north).
      const double cosd = s0 * std::sin(s.dec) + c0 * std::cos(s.dec) * std::cos(s.ra - ra0);
      if (cosd <= 0) continue;
      const double xi = std::cos(s.dec) * std::sin(s.ra - ra0) / cosd;
      const double eta = (c0 * std::sin(s.dec) - s0 * std::cos(s.dec) * std::cos(s.ra - ra0)) / cosd;
      // The sensor turned by the position angle; east to the left, north up.
      const double u = -xi * std::cos(rot) + eta * std::sin(rot);
      const double v = xi * std::sin(rot) + eta * std::cos(rot);
      const double px = cx + u / scaleX, py = cy - v / scaleY;
      const double flux = 1000.0 * std::pow(10.0, -0.4 * (s.mag - cfg_.zeroPointMag)) * seconds * gain_;
      const double norm = flux / (2 * M_PI * sx * sy);
      const int r = int(std::ceil(5 * std::max(sx, sy)));
      for (int y = std::max(0, int(py) - r); y <= std::min(ny - 1, int(py) + r); ++y)
        for (int x = std::max(0, int(px) - r); x <= std::min(nx - 1, int(px) + r); ++x) {
          const double dx = (x - px) / sx, dy = (y - py) / sy;
          img[std::size_t(y) * nx + x] += norm * std::exp(-0.5 * (dx * dx + dy * dy));
        }
    }
  }
  // Photon noise (normal approximation) and read noise.
  std::vector<int32_t> out(img.size());
  std::normal_distribution<double> unit(0.0, 1.0);
  for (std::size_t i = 0; i < img.size(); ++i) {
    const double v = img[i] + std::sqrt(std::max(img[i], 0.0)) * unit(rng_) + cfg_.readNoise * unit(rng_);
    out[i] = int32_t(std::clamp(std::nearbyint(v + 100.0), 0.0, 65535.0));  // bias 100
  }
  return out;
}

void TSimCamera::Advance(uint32_t elapsedMs) {
  // The sensor cools towards the set-point at 1 degree a second.
  const double target = coolerOn_ ? setPoint_ : 15.0;
  const double step = elapsedMs / 1000.0;
  temperature_ += std::clamp(target - temperature_, -step, step);
  if (state_ != 2) return;
  elapsedMs_ += elapsedMs;
  if (elapsedMs_ < duration_ * 1000.0) return;
  double ra = ra_, dec = dec_;
  if (SimCameraPointing && SimCameraPointing(ra, dec)) {
    ra_ = ra;
    dec_ = dec;
  }
  image_ = light_ ? RenderField(ra_, dec_, duration_) : RenderField(ra_, -M_PI / 2 - 1, duration_);
  state_ = 0;
  ready_ = true;
}

TVariant TSimCamera::DoGet(const std::string& m) {
  if (m == "CameraXSize") return int32_t(cfg_.width);
  if (m == "CameraYSize") return int32_t(cfg_.height);
  if (m == "NumX") return int32_t(numX_);
  if (m == "NumY") return int32_t(numY_);
  if (m == "StartX") return int32_t(startX_);
  if (m == "StartY") return int32_t(startY_);
  if (m == "BinX") return int32_t(binX_);
  if (m == "BinY") return int32_t(binY_);
  if (m == "MaxBinX" || m == "MaxBinY") return int32_t(cfg_.maxBin);
  if (m == "PixelSizeX" || m == "PixelSizeY") return cfg_.pixelSizeUm;
  if (m == "FocalLength") return cfg_.focalLengthMm;
  if (m == "CanAbortExposure" || m == "CanStopExposure" || m == "CanSetCCDTemperature" ||
      m == "CanGetCoolerPower")
    return true;
  if (m == "CanAsymmetricBin" || m == "CanPulseGuide" || m == "CanFastReadout") return false;
  if (m == "ExposureMin") return 0.001;
  if (m == "ExposureMax") return 3600.0;
  if (m == "CameraState") return int32_t(state_);
  if (m == "ImageReady") return ready_;
  if (m == "ImageArrayVariant") {
    if (!ready_) throw EAutomationError("No image ready");
    return TVariant(image_);
  }
  if (m == "SensorType") return int32_t(cfg_.sensorType);
  if (m == "BayerOffsetX" || m == "BayerOffsetY") return int32_t(0);
  if (m == "Name") return "Noctra Camera Simulator";
  if (m == "SensorName") return "SIM-640";
  if (m == "ReadoutMode") return int32_t(0);
  if (m == "Gain") return gain_;
  if (m == "GainMin") return 0.0;
  if (m == "GainMax") return 10.0;
  if (m == "CCDTemperature") return temperature_;
  if (m == "CoolerOn") return coolerOn_;
  if (m == "CoolerPower") return coolerOn_ ? std::clamp((15.0 - temperature_) * 4.0, 0.0, 100.0) : 0.0;
  if (m == "SetCCDTemperature") return setPoint_;
  Unknown(m);
}

void TSimCamera::DoPut(const std::string& m, const TVariant& v) {
  auto binned = [&](int bin, int size) { return std::max(1, size / bin); };
  if (m == "BinX" || m == "BinY") {
    const int b = v.AsInt();
    if (b < 1 || b > cfg_.maxBin) throw EAutomationError("Binning out of range");
    (m == "BinX" ? binX_ : binY_) = b;
    return;
  }
  if (m == "NumX" || m == "NumY") {
    const int n = v.AsInt();
    const int limit = m == "NumX" ? binned(binX_, cfg_.width) : binned(binY_, cfg_.height);
    if (n < 1 || n > limit) throw EAutomationError("Subframe out of range");
    (m == "NumX" ? numX_ : numY_) = n;
    return;
  }
  if (m == "StartX") { startX_ = v.AsInt(); return; }
  if (m == "StartY") { startY_ = v.AsInt(); return; }
  if (m == "Gain") {
    const double g = v.AsDouble();
    if (g < 0 || g > 10) throw EAutomationError("Gain out of range");
    gain_ = g;
    return;
  }
  if (m == "CoolerOn") { coolerOn_ = v.AsBool(); return; }
  if (m == "SetCCDTemperature") { setPoint_ = v.AsDouble(); return; }
  if (m == "FastReadout") return;
  Unknown(m);
}

TVariant TSimCamera::DoInvoke(const std::string& m, const platform::TVariantList& args) {
  if (m == "StartExposure") {
    if (args.size() < 2) throw EAutomationError("StartExposure needs a duration and a light flag");
    const double d = args[0].AsDouble();
    if (d < 0 || d > 3600) throw EAutomationError("Exposure out of range");
    if (state_ == 2) throw EAutomationError("Exposure in progress");
    duration_ = d;
    light_ = args[1].AsBool();
    elapsedMs_ = 0;
    ready_ = false;
    state_ = 2;
    return {};
  }
  if (m == "AbortExposure" || m == "StopExposure") {
    state_ = 0;
    return {};
  }
  Unknown(m);
}

void RegisterSimCameraDriver() {
  static bool done = false;
  if (done) return;
  done = true;
  platform::RegisterDriver({"Noctra.Simulator.Camera", "Camera", "Camera simulator",
                            [] { return std::make_shared<TSimCamera>(); }});
}

}  // namespace imaging
