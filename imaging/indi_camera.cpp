#include "imaging/indi_camera.h"

#ifdef NOCTRA_HAVE_INDI

#include <libindi/baseclient.h>
#include <libindi/basedevice.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "imaging/fits.h"
#include "platform/automation.h"
#include "platform/gui_thread.h"

namespace imaging {

namespace {

using platform::EAutomationError;
using platform::TVariant;

template <class F>
bool WaitFor(F done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    platform::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The client: the library's listener thread copies the device's numbers,
// switches, states and the last picture under a lock; the GUI thread reads
// the copies.
class TCameraClient : public INDI::BaseClient {
 public:
  explicit TCameraClient(std::string device) : device_(std::move(device)) {}

  void newProperty(INDI::Property p) override { Store(p); }
  void updateProperty(INDI::Property p) override { Store(p); }
  void serverConnected() override { up_ = true; }
  void serverDisconnected(int) override { up_ = false; }

  bool Up() const { return up_; }
  bool Has(const std::string& prop) const {
    std::lock_guard lock(mutex_);
    return props_.count(prop) > 0;
  }
  IPState State(const std::string& prop) const {
    std::lock_guard lock(mutex_);
    auto it = states_.find(prop);
    return it == states_.end() ? IPS_IDLE : it->second;
  }
  void SetState(const std::string& prop, IPState s) {
    std::lock_guard lock(mutex_);
    states_[prop] = s;
  }
  bool Number(const std::string& key, double& v, double* lo = nullptr, double* hi = nullptr) const {
    std::lock_guard lock(mutex_);
    auto it = numbers_.find(key);
    if (it == numbers_.end()) return false;
    v = it->second.value;
    if (lo) *lo = it->second.min;
    if (hi) *hi = it->second.max;
    return true;
  }
  bool Switch(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = switches_.find(key);
    return it != switches_.end() && it->second;
  }
  std::string Text(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = texts_.find(key);
    return it == texts_.end() ? std::string() : it->second;
  }
  // The pictures received so far, and the last one.
  int Pictures() const { return pictures_; }
  std::string Picture() const {
    std::lock_guard lock(mutex_);
    return picture_;
  }
  const std::string& Device() const { return device_; }

 private:
  void Store(INDI::Property p) {
    if (device_ != p.getDeviceName()) return;
    const std::string prop = p.getName();
    std::lock_guard lock(mutex_);
    props_.insert(prop);
    states_[prop] = p.getState();
    switch (p.getType()) {
      case INDI_NUMBER:
        if (auto* n = p.getNumber())
          for (auto& w : *n) numbers_[prop + "." + w.getName()] = {w.getValue(), w.getMin(), w.getMax()};
        break;
      case INDI_SWITCH:
        if (auto* s = p.getSwitch())
          for (auto& w : *s) switches_[prop + "." + w.getName()] = w.getState() == ISS_ON;
        break;
      case INDI_TEXT:
        if (auto* t = p.getText())
          for (auto& w : *t) texts_[prop + "." + w.getName()] = w.getText() ? w.getText() : "";
        break;
      case INDI_BLOB:
        if (auto* b = p.getBLOB())
          for (auto& w : *b)
            if (w.getBlobLen() > 0 && std::string(w.getFormat()).find(".fits") != std::string::npos) {
              picture_.assign(static_cast<const char*>(w.getBlob()), std::size_t(w.getBlobLen()));
              ++pictures_;
            }
        break;
      default:
        break;
    }
  }

  struct Num {
    double value, min, max;
  };
  std::string device_;
  std::atomic<bool> up_{false};
  std::atomic<int> pictures_{0};
  mutable std::mutex mutex_;
  std::set<std::string> props_;
  std::map<std::string, IPState> states_;
  std::map<std::string, Num> numbers_;
  std::map<std::string, bool> switches_;
  std::map<std::string, std::string> texts_;
  std::string picture_;
};

class TIndiCamera : public platform::IAutomationObject {
 public:
  TIndiCamera(std::string host, int port, std::string device)
      : host_(std::move(host)), port_(port), client_(std::move(device)) {}
  ~TIndiCamera() override {
    if (client_.Up()) client_.disconnectServer();
  }

  TVariant Get(const std::string& m) override;
  void Put(const std::string& m, const TVariant& v) override;
  TVariant Invoke(const std::string& m, const platform::TVariantList& a) override;

 private:
  const std::string& Dev() const { return client_.Device(); }
  [[noreturn]] static void Fail(const std::string& what) { throw EAutomationError(what); }
  void Require(const std::string& prop) const {
    if (!client_.Up()) Fail("INDI server connection lost");
    if (!client_.Has(prop)) Fail("INDI device \"" + Dev() + "\" has no property " + prop);
  }
  double Num(const std::string& prop, const std::string& elem, double* lo = nullptr, double* hi = nullptr) const {
    Require(prop);
    double v = 0;
    if (!client_.Number(prop + "." + elem, v, lo, hi)) Fail("INDI property " + prop + " has no element " + elem);
    return v;
  }
  bool LinkUp() const { return client_.Up() && client_.Switch("CONNECTION.CONNECT"); }
  void SendNumbers(const std::string& prop, const std::vector<std::pair<std::string, double>>& values) {
    Require(prop);
    INDI::BaseDevice dev = client_.getDevice(Dev().c_str());
    if (!dev.isValid()) Fail("INDI device \"" + Dev() + "\" is gone");
    INDI::PropertyNumber p = dev.getNumber(prop.c_str());
    if (!p.isValid()) Fail("INDI device \"" + Dev() + "\" has no number " + prop);
    for (const auto& [name, value] : values) {
      auto* w = p.findWidgetByName(name.c_str());
      if (!w) Fail("INDI property " + prop + " has no element " + name);
      w->setValue(value);
    }
    client_.SetState(prop, IPS_BUSY);
    client_.sendNewNumber(p);
  }
  void SendSwitch(const std::string& prop, const std::string& elem) {
    Require(prop);
    INDI::BaseDevice dev = client_.getDevice(Dev().c_str());
    if (!dev.isValid()) Fail("INDI device \"" + Dev() + "\" is gone");
    INDI::PropertySwitch p = dev.getSwitch(prop.c_str());
    if (!p.isValid()) Fail("INDI device \"" + Dev() + "\" has no switch " + prop);
    auto* w = p.findWidgetByName(elem.c_str());
    if (!w) Fail("INDI property " + prop + " has no element " + elem);
    if (p.getRule() != ISR_NOFMANY) p.reset();
    w->setState(ISS_ON);
    client_.sendNewSwitch(p);
  }
  void Connect();
  // The last picture as an image array (x fastest, rows from the top).
  TVariant ImageArray();

  std::string host_;
  int port_;
  TCameraClient client_;
  int picturesAtStart_ = 0;
  bool exposing_ = false;
};

void TIndiCamera::Connect() {
  if (!client_.Up()) {
    client_.setServer(host_.c_str(), unsigned(port_));
    client_.watchDevice(Dev().c_str());
    if (!client_.connectServer()) Fail("No INDI server at " + host_ + ":" + std::to_string(port_));
  }
  if (!WaitFor([&] { return client_.Has("CONNECTION"); }, 5000))
    Fail("INDI device \"" + Dev() + "\" not found on " + host_ + ":" + std::to_string(port_));
  if (!client_.Switch("CONNECTION.CONNECT")) client_.connectDevice(Dev().c_str());
  WaitFor([&] { return client_.Switch("CONNECTION.CONNECT") && client_.Has("CCD_EXPOSURE") && client_.Has("CCD_INFO"); },
          10000);
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
  if (m == "Connected") return LinkUp();
  if (m == "DriverInfo") {
    const std::string name = client_.Text("DRIVER_INFO.DRIVER_NAME");
    return "INDI " + (name.empty() ? Dev() : name);
  }
  if (!LinkUp()) Fail("Not connected");
  if (m == "CameraXSize") return int32_t(Num("CCD_INFO", "CCD_MAX_X"));
  if (m == "CameraYSize") return int32_t(Num("CCD_INFO", "CCD_MAX_Y"));
  if (m == "PixelSizeX") return Num("CCD_INFO", "CCD_PIXEL_SIZE_X");
  if (m == "PixelSizeY") return Num("CCD_INFO", "CCD_PIXEL_SIZE_Y");
  if (m == "BinX") return int32_t(Num("CCD_BINNING", "HOR_BIN"));
  if (m == "BinY") return int32_t(Num("CCD_BINNING", "VER_BIN"));
  if (m == "MaxBinX" || m == "MaxBinY") {
    double lo, hi;
    Num("CCD_BINNING", m == "MaxBinX" ? "HOR_BIN" : "VER_BIN", &lo, &hi);
    return int32_t(std::max(1.0, hi));
  }
  if (m == "NumX") return int32_t(Num("CCD_FRAME", "WIDTH") / std::max(1.0, Num("CCD_BINNING", "HOR_BIN")));
  if (m == "NumY") return int32_t(Num("CCD_FRAME", "HEIGHT") / std::max(1.0, Num("CCD_BINNING", "VER_BIN")));
  if (m == "StartX") return int32_t(Num("CCD_FRAME", "X"));
  if (m == "StartY") return int32_t(Num("CCD_FRAME", "Y"));
  if (m == "ExposureMin" || m == "ExposureMax") {
    double lo = 0, hi = 0;
    Num("CCD_EXPOSURE", "CCD_EXPOSURE_VALUE", &lo, &hi);
    return m == "ExposureMin" ? lo : hi;
  }
  if (m == "CanAbortExposure") return client_.Has("CCD_ABORT_EXPOSURE");
  if (m == "CanStopExposure" || m == "CanAsymmetricBin" || m == "CanPulseGuide") return false;
  if (m == "CanSetCCDTemperature") return client_.Has("CCD_TEMPERATURE");
  if (m == "CanGetCoolerPower") return client_.Has("CCD_COOLER_POWER");
  if (m == "CameraState") {
    Require("CCD_EXPOSURE");
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
  if (m == "CCDTemperature") return Num("CCD_TEMPERATURE", "CCD_TEMPERATURE_VALUE");
  if (m == "CoolerPower") return Num("CCD_COOLER_POWER", "CCD_COOLER_VALUE");
  if (m == "Gain") return Num("CCD_GAIN", "GAIN");
  if (m == "GainMin" || m == "GainMax") {
    double lo, hi;
    Num("CCD_GAIN", "GAIN", &lo, &hi);
    return m == "GainMin" ? lo : hi;
  }
  Fail("Member not implemented: " + m);
}

void TIndiCamera::Put(const std::string& m, const TVariant& v) {
  if (m == "Connected") {
    if (v.AsBool()) {
      Connect();
    } else if (client_.Up()) {
      client_.disconnectDevice(Dev().c_str());
      WaitFor([&] { return !client_.Switch("CONNECTION.CONNECT"); }, 5000);
    }
    return;
  }
  if (!LinkUp()) Fail("Not connected");
  if (m == "BinX") return SendNumbers("CCD_BINNING", {{"HOR_BIN", v.AsInt()}});
  if (m == "BinY") return SendNumbers("CCD_BINNING", {{"VER_BIN", v.AsInt()}});
  if (m == "NumX") return SendNumbers("CCD_FRAME", {{"WIDTH", v.AsInt() * Num("CCD_BINNING", "HOR_BIN")}});
  if (m == "NumY") return SendNumbers("CCD_FRAME", {{"HEIGHT", v.AsInt() * Num("CCD_BINNING", "VER_BIN")}});
  if (m == "Gain") return SendNumbers("CCD_GAIN", {{"GAIN", v.AsDouble()}});
  if (m == "SetCCDTemperature") return SendNumbers("CCD_TEMPERATURE", {{"CCD_TEMPERATURE_VALUE", v.AsDouble()}});
  if (m == "CoolerOn") return SendSwitch("CCD_COOLER", v.AsBool() ? "COOLER_ON" : "COOLER_OFF");
  if (m == "FastReadout") return;
  Fail("Member not implemented: " + m);
}

TVariant TIndiCamera::Invoke(const std::string& m, const platform::TVariantList& a) {
  if (!LinkUp()) Fail("Not connected");
  auto arg = [&](std::size_t i) -> const TVariant& {
    if (i >= a.size()) Fail(m + ": missing argument");
    return a[i];
  };
  if (m == "StartExposure") {
    const double seconds = arg(0).AsDouble();
    const bool light = arg(1).AsBool();
    if (client_.Has("CCD_FRAME_TYPE")) SendSwitch("CCD_FRAME_TYPE", light ? "FRAME_LIGHT" : "FRAME_DARK");
    picturesAtStart_ = client_.Pictures();
    exposing_ = true;
    SendNumbers("CCD_EXPOSURE", {{"CCD_EXPOSURE_VALUE", seconds}});
    return {};
  }
  if (m == "AbortExposure" || m == "StopExposure") {
    exposing_ = false;
    SendSwitch("CCD_ABORT_EXPOSURE", "ABORT");
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
    // "INDICAM:host:port:device"
    const std::string rest = id.substr(8);
    const auto c1 = rest.find(':');
    const auto c2 = c1 == std::string::npos ? c1 : rest.find(':', c1 + 1);
    if (c2 == std::string::npos) throw EAutomationError("Bad INDI camera identifier: " + id);
    int port = 0;
    try {
      port = std::stoi(rest.substr(c1 + 1, c2 - c1 - 1));
    } catch (const std::exception&) {
      throw EAutomationError("Bad INDI camera identifier: " + id);
    }
    return std::make_shared<TIndiCamera>(rest.substr(0, c1), port, rest.substr(c2 + 1));
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
