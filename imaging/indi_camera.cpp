#include "imaging/indi_camera.h"

#ifdef NOCTRA_HAVE_INDI

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include "astro/text.h"
#include "imaging/fits.h"
#include "platform/automation.h"
#include "platform/float_to_int.h"
#include "platform/gui_thread.h"
#include "platform/indi_client.h"

namespace imaging {

namespace {

using platform::TIndiClient;
using platform::TVariant;

class TIndiCamera : public platform::IAutomationObject {
 public:
  explicit TIndiCamera(std::shared_ptr<TIndiClient> client) : owned_(std::move(client)), client_(*owned_) {}

  TVariant Get(const std::string& m) override;
  void Put(const std::string& m, const TVariant& v) override;
  TVariant Invoke(const std::string& m, const platform::TVariantList& a) override;

 private:
  const std::string& Dev() const { return client_.Device(); }
  [[noreturn]] static void Fail(const std::string& what) { TIndiClient::Fail(what); }
  void Connect();
  // A number of the device; raises when it is not finite.
  double Finite(const std::string& prop, const std::string& elem, double* lo = nullptr, double* hi = nullptr);
  // A number of the device rounded to an integer within lo..hi; raises
  // otherwise (NaN and huge values included).
  int32_t Whole(double v, const std::string& what, int32_t lo, int32_t hi);
  // The last picture as an image array (x fastest, rows from the top).
  TVariant ImageArray();

  std::shared_ptr<TIndiClient> owned_;
  TIndiClient& client_;
  int picturesAtStart_ = 0;
  bool exposing_ = false;
};

// Sensor sizes and positions beyond this are no camera's.
constexpr int32_t kMaxPixels = kFitsMaxAxis;
constexpr int32_t kMaxBin = 64;

double TIndiCamera::Finite(const std::string& prop, const std::string& elem, double* lo, double* hi) {
  const double v = client_.Num(prop, elem, lo, hi);
  if (!std::isfinite(v) || (lo && !std::isfinite(*lo)) || (hi && !std::isfinite(*hi)))
    Fail("INDI property " + prop + "." + elem + " is not a number");
  return v;
}

int32_t TIndiCamera::Whole(double v, const std::string& what, int32_t lo, int32_t hi) {
  int32_t out = 0;
  if (!platform::FloatToInt(std::nearbyint(v), out) || out < lo || out > hi)
    Fail("INDI value " + what + " out of range");
  return out;
}

void TIndiCamera::Connect() {
  // Ready once the sensor's size is known: drivers define CCD_INFO with
  // zeros and send the values a moment later, and a caller reads the size
  // straight after the connect.
  client_.Connect([&] {
    double width = 0;
    return client_.Has("CCD_EXPOSURE") && client_.Number("CCD_INFO.CCD_MAX_X", width) && width > 0;
  });
  // Pictures come to this client inside its messages. (The client
  // library's listener thread reads its list of BLOB modes without a lock
  // while this call adds the device's entry; see .ci/tsan.supp.)
  client_.ReceivePictures();
}

TVariant TIndiCamera::ImageArray() {
  if (client_.Pictures() <= picturesAtStart_) Fail("No image ready");
  std::istringstream in(client_.Picture());
  TFitsHeader h;
  FitsData d;
  std::string why;
  try {
    if (!LoadFitsHeader(in, h, d, nullptr, &why)) Fail("The camera's picture is not a readable FITS image: " + why);
  } catch (const EInvalidGraphic& e) {
    Fail("The camera's picture is not a readable FITS image: " + e.Reason());
  }
  const int64_t plane = int64_t(h.NAxis1) * h.NAxis2;
  std::vector<int32_t> out(std::size_t(plane * h.NAxis3));
  for (int p = 0; p < h.NAxis3; ++p)
    for (int y = 0; y < h.NAxis2; ++y)
      for (int x = 0; x < h.NAxis1; ++x) {
        // FITS rows run bottom-up, image-array rows top-down.
        const double v = FitsValue(d.data(), h.BitPix, x + int64_t(h.NAxis1) * (h.NAxis2 - 1 - y) + plane * p);
        out[std::size_t(plane * p + int64_t(y) * h.NAxis1 + x)] = platform::ClampFloatToInt<int32_t>(std::nearbyint(v));
      }
  return TVariant(std::move(out));
}

TVariant TIndiCamera::Get(const std::string& m) {
  if (m == "Connected") {
    // Asked by the camera window's watch: the server is watched meanwhile.
    client_.Watch();
    return client_.LinkUp();
  }
  if (m == "DriverInfo") {
    std::string name;
    client_.Text("DRIVER_INFO.DRIVER_NAME", name);
    return "INDI " + (name.empty() ? Dev() : name);
  }
  client_.RequireLink();
  if (m == "CameraXSize") return Whole(Finite("CCD_INFO", "CCD_MAX_X"), "CCD_MAX_X", 1, kMaxPixels);
  if (m == "CameraYSize") return Whole(Finite("CCD_INFO", "CCD_MAX_Y"), "CCD_MAX_Y", 1, kMaxPixels);
  if (m == "PixelSizeX" || m == "PixelSizeY") {
    const double um = Finite("CCD_INFO", m == "PixelSizeX" ? "CCD_PIXEL_SIZE_X" : "CCD_PIXEL_SIZE_Y");
    if (!(um > 0 && um < 1000)) Fail("INDI value CCD_PIXEL_SIZE out of range");
    return um;
  }
  if (m == "BinX") return Whole(Finite("CCD_BINNING", "HOR_BIN"), "HOR_BIN", 1, kMaxBin);
  if (m == "BinY") return Whole(Finite("CCD_BINNING", "VER_BIN"), "VER_BIN", 1, kMaxBin);
  if (m == "MaxBinX" || m == "MaxBinY") {
    double lo, hi;
    Finite("CCD_BINNING", m == "MaxBinX" ? "HOR_BIN" : "VER_BIN", &lo, &hi);
    return Whole(std::clamp(hi, 1.0, double(kMaxBin)), "binning limit", 1, kMaxBin);
  }
  if (m == "NumX" || m == "NumY") {
    const bool x = m == "NumX";
    const double bin = std::max(1.0, Finite("CCD_BINNING", x ? "HOR_BIN" : "VER_BIN"));
    const double size = Finite("CCD_FRAME", x ? "WIDTH" : "HEIGHT");
    return Whole(std::floor(size / bin), x ? "WIDTH" : "HEIGHT", 1, kMaxPixels);
  }
  if (m == "StartX") return Whole(Finite("CCD_FRAME", "X"), "X", 0, kMaxPixels);
  if (m == "StartY") return Whole(Finite("CCD_FRAME", "Y"), "Y", 0, kMaxPixels);
  if (m == "ExposureMin" || m == "ExposureMax") {
    double lo = 0, hi = 0;
    Finite("CCD_EXPOSURE", "CCD_EXPOSURE_VALUE", &lo, &hi);
    if (!(lo >= 0 && lo <= hi)) Fail("INDI exposure limits out of range");
    return m == "ExposureMin" ? lo : hi;
  }
  if (m == "CanAbortExposure") return client_.Has("CCD_ABORT_EXPOSURE");
  if (m == "CanStopExposure" || m == "CanAsymmetricBin" || m == "CanPulseGuide") return false;
  if (m == "CanSetCCDTemperature") return client_.Has("CCD_TEMPERATURE");
  if (m == "CanGetCoolerPower") return client_.Has("CCD_COOLER_POWER");
  if (m == "CameraState") {
    client_.Require("CCD_EXPOSURE");
    const IPState s = client_.State("CCD_EXPOSURE");
    if (s == IPS_ALERT) return int32_t(5);
    return int32_t(exposing_ && (s == IPS_BUSY || client_.Pictures() <= picturesAtStart_) ? 2 : 0);
  }
  if (m == "ImageReady") return client_.Pictures() > picturesAtStart_;
  if (m == "ImageArrayVariant") return ImageArray();
  if (m == "SensorType") return int32_t(0);
  if (m == "BayerOffsetX" || m == "BayerOffsetY" || m == "ReadoutMode") return int32_t(0);
  if (m == "Name") return Dev();
  if (m == "SensorName") return std::string();
  if (m == "CCDTemperature") return Finite("CCD_TEMPERATURE", "CCD_TEMPERATURE_VALUE");
  if (m == "CoolerPower") return Finite("CCD_COOLER_POWER", "CCD_COOLER_VALUE");
  if (m == "Gain") return Finite("CCD_GAIN", "GAIN");
  if (m == "GainMin" || m == "GainMax") {
    double lo, hi;
    Finite("CCD_GAIN", "GAIN", &lo, &hi);
    return m == "GainMin" ? lo : hi;
  }
  Fail("Member not implemented: " + m);
}

void TIndiCamera::Put(const std::string& m, const TVariant& v) {
  if (m == "Connected") {
    if (v.AsBool()) {
      Connect();
      return;
    }
    // A camera whose server does not let it go within the wait is let go
    // all the same, the server's connection closed (so Connected reads
    // false), and the caller told why; not when the program's end gave up
    // the wait.
    const std::string why = client_.LetGo();
    if (!why.empty() && !platform::WaitsGivenUp()) Fail(why);
    return;
  }
  client_.RequireLink();
  // Binning and frame: the caller reads the values back at once, so the
  // put waits (at most the client's reply wait) for the device's answer,
  // which the cache holds; without one it fails.
  auto answered = [&](const std::string& prop, const std::string& elem, double value) {
    const int mark = client_.Updates(prop);
    client_.SendNumbers(prop, {{elem, value}});
    if (client_.Await([&] { return client_.Updates(prop) > mark; }, client_.ReplyWaitMs())) return;
    if (!client_.Live()) client_.Lost();
    Fail(m + ": no answer from the device");
  };
  if (m == "BinX") return answered("CCD_BINNING", "HOR_BIN", v.AsInt());
  if (m == "BinY") return answered("CCD_BINNING", "VER_BIN", v.AsInt());
  if (m == "NumX") return answered("CCD_FRAME", "WIDTH", v.AsInt() * Finite("CCD_BINNING", "HOR_BIN"));
  if (m == "NumY") return answered("CCD_FRAME", "HEIGHT", v.AsInt() * Finite("CCD_BINNING", "VER_BIN"));
  const double number = m == "Gain" || m == "SetCCDTemperature" ? v.AsDouble() : 0.0;
  if (!std::isfinite(number)) Fail(m + ": not a number");
  if (m == "Gain") return client_.SendNumbers("CCD_GAIN", {{"GAIN", number}});
  if (m == "SetCCDTemperature") return client_.SendNumbers("CCD_TEMPERATURE", {{"CCD_TEMPERATURE_VALUE", number}});
  if (m == "CoolerOn") return client_.SendSwitch("CCD_COOLER", v.AsBool() ? "COOLER_ON" : "COOLER_OFF");
  if (m == "FastReadout") return;
  Fail("Member not implemented: " + m);
}

TVariant TIndiCamera::Invoke(const std::string& m, const platform::TVariantList& a) {
  client_.RequireLink();
  auto arg = [&](std::size_t i) -> const TVariant& {
    if (i >= a.size()) Fail(m + ": missing argument");
    return a[i];
  };
  if (m == "StartExposure") {
    const double seconds = arg(0).AsDouble();
    if (!(seconds >= 0 && seconds <= 1e6)) Fail("StartExposure: exposure out of range");
    const bool light = arg(1).AsBool();
    if (client_.Has("CCD_FRAME_TYPE")) client_.SendSwitch("CCD_FRAME_TYPE", light ? "FRAME_LIGHT" : "FRAME_DARK");
    picturesAtStart_ = client_.Pictures();
    exposing_ = true;
    client_.ExpectPicture(seconds);
    client_.SendNumbers("CCD_EXPOSURE", {{"CCD_EXPOSURE_VALUE", seconds}});
    return {};
  }
  if (m == "AbortExposure" || m == "StopExposure") {
    exposing_ = false;
    client_.SendSwitch("CCD_ABORT_EXPOSURE", "ABORT");
    return {};
  }
  Fail("Member not implemented: " + m);
}

}  // namespace

void RegisterIndiCameraDrivers() {
  static bool done = false;
  if (done) return;
  done = true;
  platform::RegisterDriverScheme(platform::kIndiCameraPrefix, [](const std::string& id) -> platform::TAutomationRef {
    return std::make_shared<TIndiCamera>(std::make_shared<TIndiClient>(platform::ParseIndiId(id)));
  });
}

platform::TAutomationRef MakeIndiCamera(std::shared_ptr<platform::TIndiClient> client) {
  return std::make_shared<TIndiCamera>(std::move(client));
}

}  // namespace imaging

#else

namespace imaging {
void RegisterIndiCameraDrivers() {}
}  // namespace imaging

#endif

namespace imaging {

std::string IndiCameraId(const std::string& host, int port, const std::string& device) {
  return platform::IndiIdentifier("Camera", host, port, device);
}

std::string CameraDriverId(const std::string& id) {
  const std::string trimmed = TrimBlanks(id);
  const std::string mountForm = platform::kIndiPrefix;
  if (trimmed.rfind(mountForm, 0) != 0) return trimmed;
  return platform::kIndiCameraPrefix + trimmed.substr(mountForm.size());
}

}  // namespace imaging
