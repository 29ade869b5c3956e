#include "imaging/ascom_camera.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/camera_setup.h"
#include "imaging/camera_sim.h"
#include "imaging/indi_camera.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/registry.h"
#include "shell/log_lines.h"

namespace imaging {

using platform::TVariant;

namespace {

constexpr const char* kPrefix = "[Ascom.Camera] ";
constexpr const char* kNoDrivers = "ASCOM drivers couldn't be found, visit https://ascom-standards.org";
// Why a camera went away, as its consumers tell it.
constexpr const char* kLinkLost = "the driver lost its link to the camera";

void Log(const std::string& s) { LogLines().AddLine(kPrefix + s); }

TAscomCameraSlots* g_slots = nullptr;

std::string SlotName(int n) { return "ASCOM Camera #" + std::to_string(n); }

// Why a driver that reads Connected false lost its camera. A driver whose
// link is gone (its INDI server stopped) raises EAutomationLinkLost naming
// the loss for every call from then on: that is the reason. Otherwise the
// driver lost the camera itself; `detail` says what showed it.
std::string WhyLinkLost(platform::IAutomationObject& driver, const std::string& detail) {
  const std::string why = platform::LinkLostReason(driver, "CameraState");
  return why.empty() ? kLinkLost + detail : why;
}

void Tell(const std::string& text) {
  platform::ShowMessageBox(text, "Noctra Planetarium", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}

}  // namespace

std::function<void(TASCOMCamera&)> TASCOMCamera::SettingsWindow;
std::function<void(TASCOMCamera&)> TASCOMCamera::CloseSettingsWindow;

std::vector<TCameraConsumer>& CameraConsumers() {
  static std::vector<TCameraConsumer> consumers;
  return consumers;
}

bool CameraInUse(const std::string& listName) {
  for (const auto& c : CameraConsumers())
    if (c.selected && c.selected(listName)) return true;
  return false;
}

TAscomCameraSlots* AscomCameraSlots() { return g_slots; }
void SetAscomCameraSlots(TAscomCameraSlots* control) { g_slots = control; }

// --- Camera -------------------------------------------------------------------------

TASCOMCamera::TASCOMCamera(int slot, platform::TAutomationRef driver)
    : TCamera("ASCOMCAM" + std::to_string(slot), SlotName(slot)), slot_(slot), driver_(std::move(driver)) {
  logPrefix_ = kPrefix;
  ExposureState = 0;
  CanSetExposure = true;
  CanAbortExposure = Get("CanAbortExposure", false).AsBool();
  CanAsymmetricBin = Get("CanAsymmetricBin", false).AsBool();
  CanGetCoolerPower = Get("CanGetCoolerPower", false).AsBool();
  CanPulseGuide = Get("CanPulseGuide", false).AsBool();
  CanSetCCDTemperature = CanGetCCDTemperature = Get("CanSetCCDTemperature", false).AsBool();
  CanStopExposure = Get("CanStopExposure", false).AsBool();
  ExposureMin = Get("ExposureMin", ExposureMin).AsDouble();
  ExposureMax = Get("ExposureMax", ExposureMax).AsDouble();
  Settings.Name = SlotName(slot);
  Settings.PixelsX = Get("NumX", Settings.PixelsX).AsInt();
  Settings.PixelsY = Get("NumY", Settings.PixelsY).AsInt();
  Settings.PixelSizeX = Get("PixelSizeX", Settings.PixelSizeX).AsDouble();
  Settings.PixelSizeY = Get("PixelSizeY", Settings.PixelSizeY).AsDouble();
  SetTimerInterval(200);
}

TASCOMCamera::~TASCOMCamera() {
  SetTimerInterval(0);
  // Nothing may reach this camera through its settings window any more.
  if (CloseSettingsWindow) CloseSettingsWindow(*this);
}

TVariant TASCOMCamera::Get(const std::string& member, const TVariant& fallback) {
  try {
    return driver_->Get(member);
  } catch (const std::exception& e) {
    Log(member + ": " + platform::DescribeFailure(e));
    return fallback;
  }
}

bool TASCOMCamera::Put(const std::string& member, const TVariant& value) {
  try {
    driver_->Put(member, value);
    return true;
  } catch (const std::exception& e) {
    Log(member + ": " + platform::DescribeFailure(e));
    return false;
  }
}

bool TASCOMCamera::DoConnect() {
  if (!Get("Connected", false).AsBool()) return false;
  connected_ = true;
  imageReady_ = false;
  Settings.PixelsX = Get("NumX", Settings.PixelsX).AsInt();
  Settings.PixelsY = Get("NumY", Settings.PixelsY).AsInt();
  Settings.PixelSizeX = Get("PixelSizeX", Settings.PixelSizeX).AsDouble();
  Settings.PixelSizeY = Get("PixelSizeY", Settings.PixelSizeY).AsDouble();
  // The field of the whole sensor, where the driver knows its focal length
  // (the simulator does; camera drivers in general do not, and are not asked
  // through Get, which would log the refusal).
  FieldWidth = FieldHeight = 0;
  try {
    const double mm = driver_->Get("FocalLength").AsDouble();
    const double w = driver_->Get("CameraXSize").AsDouble() * Settings.PixelSizeX * 1e-3 / mm;
    const double h = driver_->Get("CameraYSize").AsDouble() * Settings.PixelSizeY * 1e-3 / mm;
    if (w > 0 && h > 0 && w < 10 && h < 10) {
      FieldWidth = w * 180 / M_PI;
      FieldHeight = h * 180 / M_PI;
    }
  } catch (const std::exception&) {
  }
  return true;
}

void TASCOMCamera::DoDisconnect() { connected_ = false; }

double TASCOMCamera::GetCCDTemperature() {
  try {
    Settings.CurrentTemp = driver_->Get("CCDTemperature").AsDouble();
    return Settings.CurrentTemp;
  } catch (const std::exception&) {
    return -999.0;
  }
}

void TASCOMCamera::SetCCDTemperature(double celsius) {
  Put("SetCCDTemperature", TVariant(celsius));
  TCamera::SetCCDTemperature(celsius);
}

bool TASCOMCamera::StartExposure(double seconds, bool light) {
  if (!connected_) throw ECameraError("Camera is not connected.");
  // The gain within the driver's range; a driver without gain keeps its own.
  double gain = Settings.Gain;
  try {
    const double lo = driver_->Get("GainMin").AsDouble(), hi = driver_->Get("GainMax").AsDouble();
    if (lo <= hi) gain = std::clamp(gain, lo, hi);
  } catch (const std::exception&) {
  }
  Put("Gain", TVariant(gain));
  try {
    driver_->Invoke("StartExposure", {TVariant(seconds), TVariant(light)});
  } catch (const std::exception& e) {
    Fail("StartExposure: " + platform::DescribeFailure(e));
    return false;
  }
  StampStart();
  return TCamera::StartExposure(seconds, light);
}

void TASCOMCamera::Fail(const std::string& text) {
  FailExposure(text);
  // A call that failed because the driver lost the camera (a cable pulled,
  // the INDI server stopped): the camera is disconnected at once, so its
  // consumer lets it go with the reason instead of trying again.
  bool linked = false;
  std::string why;
  try {
    linked = driver_->Get("Connected").AsBool();
  } catch (const std::exception& e) {
    why = "; Connected: " + platform::DescribeFailure(e);
  }
  if (!linked) LoseConnection(WhyLinkLost(*driver_, " (" + text + why + ")"));
}

void TASCOMCamera::DriverAbort() {
  if (!CanAbortExposure) return;
  try {
    driver_->Invoke("AbortExposure", {});
  } catch (const std::exception& e) {
    Log("AbortExposure: " + platform::DescribeFailure(e));
  }
}

void TASCOMCamera::Download(TFitsHeader& h, FitsData& d) {
  std::vector<int32_t> samples;
  try {
    samples = driver_->Get("ImageArrayVariant").AsIntArray();
  } catch (const std::exception&) {
    throw ECameraError("Camera Image array data format unsupported.");
  }
  const int32_t nx = Get("NumX", Settings.PixelsX).AsInt(), ny = Get("NumY", Settings.PixelsY).AsInt();
  const int64_t plane = int64_t(nx) * ny;
  if (nx <= 0 || ny <= 0) throw ECameraError("Camera Image format unsupported.");
  int dims, planes;
  if (int64_t(samples.size()) == plane) {
    dims = 2;
    planes = 1;
  } else if (int64_t(samples.size()) == plane * 3) {
    dims = 3;
    planes = 3;
  } else {
    throw ECameraError("Camera Image format unsupported.");
  }
  if (nx != Settings.PixelsX) throw ECameraError("Camera Image unexpected number of pixelsX.");
  if (ny != Settings.PixelsY) throw ECameraError("Camera Image unexpected number of pixelsY.");
  const int32_t sensor = Get("SensorType", 0).AsInt();
  if (sensor < 0 || sensor > 4) throw ECameraError("Camera Image array data format unsupported.");

  std::string mosaic;
  if (sensor >= 2 && !Settings.ForceMono) {
    const int32_t x = Get("BayerOffsetX", 0).AsInt() + Settings.MosaicXOfs;
    const int32_t y = Get("BayerOffsetY", 0).AsInt() + Settings.MosaicYOfs;
    const char* kind = sensor == 2 ? "RGGB(" : (sensor == 3 ? "CMYG(" : "CMYG2(");
    mosaic = (kind + std::to_string(x) + "," + std::to_string(y) + ")").substr(0, kFitsTextMax);
    if (dims != 2) throw ECameraError("Bayer encoded color image, expected two dimensional.");
  }
  // The averaged case: a three-plane image made monochrome.
  const bool average = Settings.ForceMono && sensor == 1 && planes == 3;
  h = NewFitsHeader(16, nx, ny, average ? 1 : planes);
  h.Mosaic = mosaic;
  h.Range = 65535;
  h.CcdTemperature = GetCCDTemperature();
  d.assign(std::size_t(h.DataBlocks * kFitsBlock), 0);
  auto put = [&](int64_t i, int64_t v) {
    const uint16_t w = uint16_t(std::clamp<int64_t>(v, 0, 65535));
    std::memcpy(d.data() + 2 * i, &w, 2);
  };
  for (int32_t y = 0; y < ny; ++y) {
    const int64_t row = int64_t(ny - 1 - y) * nx;  // rows bottom-up
    for (int32_t x = 0; x < nx; ++x) {
      const int64_t src = int64_t(y) * nx + x;
      if (average) {
        put(row + x, (int64_t(samples[src]) + samples[src + plane] + samples[src + 2 * plane]) / 3);
      } else {
        for (int p = 0; p < planes; ++p) put(plane * p + row + x, samples[src + plane * p]);
      }
    }
  }
}

void TASCOMCamera::Poll() {
  switch (ExposureState) {
    case 1:
      ExposureState = 2;
      break;
    case 2: {
      if (CameraClocks().NowMs() - startTick_ <= uint64_t(std::max(Settings.ExInterval, 0))) break;
      int32_t state;
      try {
        state = driver_->Get("CameraState").AsInt();
      } catch (const std::exception& e) {
        Fail("CameraState: " + platform::DescribeFailure(e));
        break;
      }
      if (state == 5) {
        Fail("The camera reports an error.");
        break;
      }
      if (state != 0) {
        if (ExposureOverdue(kTimeoutMarginMs)) Fail("Exposure timed out.");
        break;
      }
      bool ready = false;
      try {
        ready = driver_->Get("ImageReady").AsBool();
      } catch (const std::exception& e) {
        Fail("ImageReady: " + platform::DescribeFailure(e));
        break;
      }
      if (!ready) {
        if (ExposureOverdue(kTimeoutMarginMs)) Fail("Exposure timed out.");
        break;
      }
      try {
        Download(header_, data_);
      } catch (const ECameraError& e) {
        data_.clear();
        Fail(e.what());
        break;
      }
      imageTick_ = CameraClocks().NowMs();
      ExposureState = 3;
      break;
    }
    case 3:
      DeliverImage(header_, std::move(data_));
      data_ = FitsData();
      ExposureState = 0;
      break;
    case 4:
      ExposureState = 0;
      break;
    default:
      break;
  }
}

std::pair<int, int> TASCOMCamera::BinChange(bool xAxis, int index) {
  const char* bin = xAxis ? "BinX" : "BinY";
  const char* other = xAxis ? "BinY" : "BinX";
  int shown = index, otherShown = Get(other, 1).AsInt() - 1;
  try {
    driver_->Put(bin, TVariant(int32_t(index + 1)));
    if (!CanAsymmetricBin) {
      driver_->Put(other, TVariant(int32_t(index + 1)));
      otherShown = index;
    }
  } catch (const std::exception& e) {
    Log(std::string(bin) + ": " + platform::DescribeFailure(e));
    shown = 1;
  }
  for (bool x : {true, false}) {
    const int32_t size = Get(x ? "CameraXSize" : "CameraYSize", 0).AsInt();
    const int32_t b = std::max(1, Get(x ? "BinX" : "BinY", 1).AsInt());
    if (size > 0 && Put(x ? "NumX" : "NumY", TVariant(int32_t(size / b))))
      (x ? Settings.PixelsX : Settings.PixelsY) = Get(x ? "NumX" : "NumY", size / b).AsInt();
  }
  return xAxis ? std::make_pair(shown, otherShown) : std::make_pair(otherShown, shown);
}

void TASCOMCamera::ShowSettings() {
  if (SettingsWindow) SettingsWindow(*this);
}

// --- The "ASCOM Cameras" window -------------------------------------------------------

TAscomCameraSlots::TAscomCameraSlots() {
  RegisterSimCameraDriver();
  RegisterIndiCameraDrivers();
}

TAscomCameraSlots::~TAscomCameraSlots() { DisconnectAtEnd(); }

void TAscomCameraSlots::DisconnectAtEnd() {
  for (int n = 1; n <= 2; ++n) {
    (*this)[n].pendingDisconnect.reset();
    Disconnect(n, kCameraReleasedAtEnd, true);
  }
}

void TAscomCameraSlots::LoadSettings() {
  platform::TRegIniFile reg;
  slots_[0].name = reg.ReadString("ASCOM", "ASCOMCAMERA1_NAME", "");
  slots_[1].name = reg.ReadString("ASCOM", "ASCOMCAMERA2_NAME", "");
}

void TAscomCameraSlots::SaveSettings() const {
  platform::TRegIniFile reg;
  reg.WriteString("ASCOM", "ASCOMCAMERA1_NAME", slots_[0].name);
  reg.WriteString("ASCOM", "ASCOMCAMERA2_NAME", slots_[1].name);
}

void TAscomCameraSlots::SelectClick(int n) {
  Slot& s = (*this)[n];
  s.name = platform::ChooseDriver("Camera", s.name);
}

void TAscomCameraSlots::ConnectClick(int n) {
  Slot& s = (*this)[n];
  // (Not again while the driver is being reached: the program runs on then.)
  if (s.connected || !s.connectEnabled) return;
  // An empty name box: nothing was chosen yet (no driver is missing).
  const std::string id = CameraDriverId(s.name);
  if (id.empty()) {
    Tell("No driver is chosen for " + SlotName(n) + ": choose one with \"Select Camera #" + std::to_string(n) +
         "\" first.");
    return;
  }
  try {
    s.driver = platform::CreateOleObject(id);
  } catch (const std::exception& e) {
    // The program's own reason (a port that is no number, no device name)
    // follows the usual text.
    Log("Connect (#" + std::to_string(n) + ") failed: " + e.what());
    Tell(std::string(kNoDrivers) + "\r\n" + e.what());
    return;
  }
  // Both slots connect inside a guard; a failure says why.
  s.connectEnabled = s.selectEnabled = false;
  const std::string slot = "(#" + std::to_string(n) + ")";
  std::string why;
  try {
    s.driver->Put("Connected", TVariant(true));
    if (!s.driver->Get("Connected").AsBool()) {
      Log("Connect " + slot + " failed");
      why = "the driver stays unconnected";
    }
  } catch (const std::exception& e) {
    why = platform::DescribeFailure(e);
    Log("Connect " + slot + " failed: " + why);
  }
  if (!why.empty()) {
    Tell("ASCOM Camera driver couldn't connect: " + why);
    s.connectEnabled = s.selectEnabled = true;
    s.driver.reset();
    return;
  }
  // Only a driver that takes exposures is a camera's (a mount's or a
  // focuser's driver connects as well): any other is let go again.
  try {
    (void)s.driver->Get("CameraState").AsInt();
  } catch (const std::exception& e) {
    why = platform::DescribeFailure(e);
    Log("Connect " + slot + " failed: the driver cannot take exposures (" + why + ")");
    Tell(SlotName(n) + " is not connected: the driver \"" + id + "\" cannot take exposures (" + why + ").");
    try {
      s.driver->Put("Connected", TVariant(false));
    } catch (const std::exception&) {
      // Released in any case.
    }
    s.connectEnabled = s.selectEnabled = true;
    s.driver.reset();
    return;
  }
  s.connected = true;
  s.disconnectEnabled = true;
  s.camera = std::make_unique<TASCOMCamera>(n, s.driver);
  // The menu item: at the end, except that #1 goes before a last #2.
  auto& items = Cameras().SourceSettings;
  auto at = items.end();
  if (n == 1 && !items.empty() && items.back().Caption == SlotName(2)) at = items.end() - 1;
  items.insert(at, {SlotName(n), s.camera.get()});
  for (const auto& c : CameraConsumers())
    if (c.add) c.add(SlotName(n));
  std::string info;
  try {
    info = s.driver->Get("DriverInfo").AsString();
  } catch (const std::exception&) {
  }
  Log("Connect (#" + std::to_string(n) + "): " + info);
}

void TAscomCameraSlots::DisconnectClick(int n) {
  Disconnect(n, SlotName(n) + " was disconnected in the \"ASCOM Cameras\" window");
}

void TAscomCameraSlots::Disconnect(int n, const std::string& reason, bool atEnd) {
  Slot& s = (*this)[n];
  if (!s.connected) return;
  // A call of the camera's may be under way below this one, waiting for
  // its device while the GUI thread handles events (the Disconnect button,
  // the watch): the camera outlives it, and goes at the next watch.
  if (!atEnd && platform::NestedEventDepth() > 0) {
    if (!s.pendingDisconnect) s.pendingDisconnect = reason;
    s.disconnectEnabled = false;
    return;
  }
  s.pendingDisconnect.reset();
  const std::string slot = "(#" + std::to_string(n) + ")";
  // While the driver is asked (an INDI camera waits for its server, the
  // program running on), Disconnect pressed again does nothing more.
  const bool wasEnabled = s.disconnectEnabled;
  s.disconnectEnabled = false;
  bool still = true;
  try {
    s.driver->Put("Connected", TVariant(false));
    still = s.driver->Get("Connected").AsBool();
  } catch (const std::exception& e) {
    // A driver that raises (an INDI camera whose server did not answer,
    // which it has let go) is let go, with its reason.
    Log("Disconnect " + slot + ": " + platform::DescribeFailure(e));
    still = false;
  }
  if (still) {
    // The driver answered and keeps its camera.
    Log("Disconnect " + slot + " failed: the driver stays connected");
    s.disconnectEnabled = wasEnabled;
    s.pendingDisconnect.reset();
    return;
  }
  // Every consumer releases the camera before it is destroyed (and tells
  // why, should it be using it).
  for (const auto& c : CameraConsumers())
    if (c.remove) c.remove(SlotName(n), reason);
  auto& items = Cameras().SourceSettings;
  items.erase(std::remove_if(items.begin(), items.end(), [&](const auto& i) { return i.Camera == s.camera.get(); }),
              items.end());
  s.camera.reset();
  s.connected = false;
  s.disconnectEnabled = false;
  s.connectEnabled = s.selectEnabled = true;
  s.shapeGreen = false;
  s.driver.reset();
  // (A Disconnect pressed during the driver's wait is done with this one.)
  s.pendingDisconnect.reset();
  Log("Disconnect " + slot);
}

void TAscomCameraSlots::Timer1Timer() {
  // Not inside a device's wait: its caller may be using a camera.
  if (platform::NestedEventDepth() > 0) return;
  for (int n = 1; n <= 2; ++n) {
    Slot& s = (*this)[n];
    if (!s.connected) {
      s.shapeGreen = false;
      continue;
    }
    if (s.pendingDisconnect) {
      const std::string reason = *s.pendingDisconnect;  // the slot's copy goes in Disconnect
      Disconnect(n, reason);
      continue;
    }
    bool linked = true;
    std::string why;
    try {
      linked = s.driver->Get("Connected").AsBool();
    } catch (const std::exception& e) {
      linked = false;
      why = " (Connected: " + platform::DescribeFailure(e) + ")";
    }
    if (linked) {
      s.shapeGreen = true;
      continue;
    }
    // The camera may have found its link gone during an exposure already,
    // with the call that failed. The loss is logged with its reason, as
    // the telescope's is, before the disconnect that follows.
    const TASCOMCamera* cam = s.camera.get();
    const std::string reason = cam && !cam->LostReason().empty() ? cam->LostReason() : WhyLinkLost(*s.driver, why);
    Log("Error, connection lost (#" + std::to_string(n) + "): " + reason);
    Disconnect(n, reason);
  }
}

}  // namespace imaging
