#include "imaging/indi_camera.h"

#ifdef NOCTRA_HAVE_INDI

#include <algorithm>
#include <cmath>
#include <sstream>

#include "imaging/fits.h"
#include "platform/automation.h"
#include "platform/indi_client.h"

namespace imaging {

namespace {

using platform::TIndiClient;
using platform::TVariant;

class TIndiCamera : public platform::IAutomationObject {
 public:
  explicit TIndiCamera(const platform::TIndiAddress& address) : client_(address) {}

  TVariant Get(const std::string& m) override;
  void Put(const std::string& m, const TVariant& v) override;
  TVariant Invoke(const std::string& m, const platform::TVariantList& a) override;

 private:
  const std::string& Dev() const { return client_.Device(); }
  [[noreturn]] static void Fail(const std::string& what) { TIndiClient::Fail(what); }
  void Connect();
  // The last picture as an image array (x fastest, rows from the top).
  TVariant ImageArray();

  TIndiClient client_;
  int picturesAtStart_ = 0;
  bool exposing_ = false;
};

void TIndiCamera::Connect() {
  client_.Connect([&] { return client_.Has("CCD_EXPOSURE") && client_.Has("CCD_INFO"); });
  // Pictures come to this client inside its messages. (The client
  // library's listener thread reads its list of BLOB modes without a lock
  // while this call adds the device's entry; see .ci/tsan.supp.)
  client_.setBLOBMode(B_ALSO, Dev().c_str(), nullptr);
}

TVariant TIndiCamera::ImageArray() {
  if (client_.Pictures() <= picturesAtStart_) Fail("No image ready");
  std::istringstream in(client_.Picture());
  TFitsHeader h;
  FitsData d;
  try {
    if (!LoadFitsHeader(in, h, d)) Fail("The camera's picture is not a readable FITS image");
  } catch (const EInvalidGraphic&) {
    Fail("The camera's picture is not a readable FITS image");
  }
  const int64_t plane = int64_t(h.NAxis1) * h.NAxis2;
  std::vector<int32_t> out(std::size_t(plane * h.NAxis3));
  for (int p = 0; p < h.NAxis3; ++p)
    for (int y = 0; y < h.NAxis2; ++y)
      for (int x = 0; x < h.NAxis1; ++x) {
        // FITS rows run bottom-up, image-array rows top-down.
        const double v = FitsValue(d.data(), h.BitPix, x + int64_t(h.NAxis1) * (h.NAxis2 - 1 - y) + plane * p);
        out[std::size_t(plane * p + int64_t(y) * h.NAxis1 + x)] = int32_t(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
      }
  return TVariant(std::move(out));
}

TVariant TIndiCamera::Get(const std::string& m) {
  if (m == "Connected") return client_.LinkUp();
  if (m == "DriverInfo") {
    std::string name;
    client_.Text("DRIVER_INFO.DRIVER_NAME", name);
    return "INDI " + (name.empty() ? Dev() : name);
  }
  if (!client_.LinkUp()) Fail("Not connected");
  if (m == "CameraXSize") return int32_t(client_.Num("CCD_INFO", "CCD_MAX_X"));
  if (m == "CameraYSize") return int32_t(client_.Num("CCD_INFO", "CCD_MAX_Y"));
  if (m == "PixelSizeX") return client_.Num("CCD_INFO", "CCD_PIXEL_SIZE_X");
  if (m == "PixelSizeY") return client_.Num("CCD_INFO", "CCD_PIXEL_SIZE_Y");
  if (m == "BinX") return int32_t(client_.Num("CCD_BINNING", "HOR_BIN"));
  if (m == "BinY") return int32_t(client_.Num("CCD_BINNING", "VER_BIN"));
  if (m == "MaxBinX" || m == "MaxBinY") {
    double lo, hi;
    client_.Num("CCD_BINNING", m == "MaxBinX" ? "HOR_BIN" : "VER_BIN", &lo, &hi);
    return int32_t(std::max(1.0, hi));
  }
  if (m == "NumX")
    return int32_t(client_.Num("CCD_FRAME", "WIDTH") / std::max(1.0, client_.Num("CCD_BINNING", "HOR_BIN")));
  if (m == "NumY")
    return int32_t(client_.Num("CCD_FRAME", "HEIGHT") / std::max(1.0, client_.Num("CCD_BINNING", "VER_BIN")));
  if (m == "StartX") return int32_t(client_.Num("CCD_FRAME", "X"));
  if (m == "StartY") return int32_t(client_.Num("CCD_FRAME", "Y"));
  if (m == "ExposureMin" || m == "ExposureMax") {
    double lo = 0, hi = 0;
    client_.Num("CCD_EXPOSURE", "CCD_EXPOSURE_VALUE", &lo, &hi);
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
  if (m == "CCDTemperature") return client_.Num("CCD_TEMPERATURE", "CCD_TEMPERATURE_VALUE");
  if (m == "CoolerPower") return client_.Num("CCD_COOLER_POWER", "CCD_COOLER_VALUE");
  if (m == "Gain") return client_.Num("CCD_GAIN", "GAIN");
  if (m == "GainMin" || m == "GainMax") {
    double lo, hi;
    client_.Num("CCD_GAIN", "GAIN", &lo, &hi);
    return m == "GainMin" ? lo : hi;
  }
  Fail("Member not implemented: " + m);
}

void TIndiCamera::Put(const std::string& m, const TVariant& v) {
  if (m == "Connected") {
    if (v.AsBool()) {
      Connect();
    } else {
      client_.Disconnect();
    }
    return;
  }
  if (!client_.LinkUp()) Fail("Not connected");
  if (m == "BinX") return client_.SendNumbers("CCD_BINNING", {{"HOR_BIN", v.AsInt()}});
  if (m == "BinY") return client_.SendNumbers("CCD_BINNING", {{"VER_BIN", v.AsInt()}});
  if (m == "NumX")
    return client_.SendNumbers("CCD_FRAME", {{"WIDTH", v.AsInt() * client_.Num("CCD_BINNING", "HOR_BIN")}});
  if (m == "NumY")
    return client_.SendNumbers("CCD_FRAME", {{"HEIGHT", v.AsInt() * client_.Num("CCD_BINNING", "VER_BIN")}});
  if (m == "Gain") return client_.SendNumbers("CCD_GAIN", {{"GAIN", v.AsDouble()}});
  if (m == "SetCCDTemperature")
    return client_.SendNumbers("CCD_TEMPERATURE", {{"CCD_TEMPERATURE_VALUE", v.AsDouble()}});
  if (m == "CoolerOn") return client_.SendSwitch("CCD_COOLER", v.AsBool() ? "COOLER_ON" : "COOLER_OFF");
  if (m == "FastReadout") return;
  Fail("Member not implemented: " + m);
}

TVariant TIndiCamera::Invoke(const std::string& m, const platform::TVariantList& a) {
  if (!client_.LinkUp()) Fail("Not connected");
  auto arg = [&](std::size_t i) -> const TVariant& {
    if (i >= a.size()) Fail(m + ": missing argument");
    return a[i];
  };
  if (m == "StartExposure") {
    const double seconds = arg(0).AsDouble();
    const bool light = arg(1).AsBool();
    if (client_.Has("CCD_FRAME_TYPE")) client_.SendSwitch("CCD_FRAME_TYPE", light ? "FRAME_LIGHT" : "FRAME_DARK");
    picturesAtStart_ = client_.Pictures();
    exposing_ = true;
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
  platform::RegisterDriverScheme("INDICAM:", [](const std::string& id) -> platform::TAutomationRef {
    return std::make_shared<TIndiCamera>(platform::ParseIndiId(id));
  });
}

}  // namespace imaging

#else

namespace imaging {
void RegisterIndiCameraDrivers() {}
}  // namespace imaging

#endif

namespace imaging {
std::string IndiCameraId(const std::string& host, int port, const std::string& device) {
  return "INDICAM:" + host + ":" + std::to_string(port) + ":" + device;
}
}  // namespace imaging
