#include "imaging/dsi_camera.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/gui_thread.h"
#include "shell/log_lines.h"

namespace imaging {

namespace {

const DsiModel kModels[] = {
    {"Meade DSI Pro (", 254, false, 0, 9.6, 7.5},        {"Meade DSI Color (", 404, true, 1, 9.6, 7.5},
    {"Meade DSI Pro II (", 429, false, 0, 8.6, 8.3},     {"Meade DSI Color II (", 429, true, 1, 8.6, 8.3},
    {"Meade DSI Pro III (", 285, false, 0, 6.45, 6.45},  {"Meade DSI Color III (", 285, true, 2, 6.45, 6.45},
    {"Meade DSI? Mono Model? (", 98, false, 0, 5.6, 5.6}, {"Meade DSI? Color Model? (", 98, true, 2, 5.6, 5.6},
};

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// One step of a wait on the worker: the GUI thread keeps handling its
// events meanwhile. False, without waiting, once the program's end has
// given up waiting: the wait is then given up as on its time-out.
bool WaitStep() {
  if (platform::WaitsGivenUp()) return false;
  platform::ProcessMessages();
  SleepMs(10);
  return true;
}

}  // namespace

const DsiModel* FindDsiModel(int chip, bool colour) {
  for (const auto& m : kModels)
    if (m.chip == chip && (m.colour == colour || chip == 254 || chip == 404)) return &m;
  return nullptr;
}

int DsiGainCode(double gain) { return int(std::nearbyint(std::clamp(gain, 0.0, 1.0) * 63)); }

int DsiOffsetCode(double offset) {
  const int c = int(std::nearbyint(std::clamp(offset, 0.0, 1.0) * 510 - 255));
  return c >= 0 ? c : 256 - c;
}

// --- Worker thread -------------------------------------------------------------

TDsiThread::TDsiThread(IDsiLibrary& library) : library_(library) { thread_ = std::thread([this] { Run(); }); }

TDsiThread::~TDsiThread() {
  abort_.store(true, std::memory_order_release);
  if (!Ended()) SendCommand(kDsiClose, 2000);
  terminate_.store(true, std::memory_order_release);
  if (thread_.joinable()) thread_.join();
}

bool TDsiThread::Post(int command) {
  if (Ended()) return false;
  abort_.store(false, std::memory_order_release);
  int idle = kDsiIdle;
  return command_.compare_exchange_strong(idle, command, std::memory_order_acq_rel);
}

bool TDsiThread::SendCommand(int command, int timeoutMs) {
  // The worker may still be starting up (command 0): give it a moment.
  for (int waited = 0; command_.load(std::memory_order_acquire) == kDsiStart && waited < timeoutMs; waited += 10)
    if (!WaitStep()) break;
  if (command == kDsiIdle) return Idle();
  if (!Post(command)) return false;
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (Idle()) return !LastFailed;
    if (Ended()) return false;
    if (!WaitStep()) break;
  }
  RequestAbort();  // a command that hangs is given up
  return false;
}

void TDsiThread::Run() {
  while (!terminate_.load(std::memory_order_acquire)) {
    const int c = command_.load(std::memory_order_acquire);
    if (c != kDsiIdle && c != 11) {
      Act(c);
      command_.store(kDsiIdle, std::memory_order_release);
    }
    SleepMs(c == kDsiIdle ? 10 : 1);
  }
  if (device_) {
    device_->Release();
    device_->Close();
    device_.reset();
  }
  Data.clear();
  ended_.store(true, std::memory_order_release);
}

bool TDsiThread::Identify() {
  Chip = device_->Chip();
  const DsiModel* m = FindDsiModel(Chip, device_->IsColour());
  Mosaic = m ? m->mosaic : 0;
  ModelName = std::string(m ? m->prefix : "Meade DSI? (") + device_->DeviceText().substr(0, 20) + ")";
  Serial = device_->SerialNumber();
  // The first DSI models read out slowly; the thresholds pick the readout
  // mode and the short-exposure switch.
  LowSpeed = Chip == 254 || Chip == 404;
  LongThreshold = 1.0;
  ShortThreshold = Chip == 285 ? 0.01 : 0.1;
  return true;
}

bool TDsiThread::ApplySettings() {
  bool ok = device_->SetExposureMs(uint32_t(std::max(0.0, std::nearbyint(Exposure * 1000)))) &&
            device_->SetGain(DsiGainCode(Gain)) && device_->SetOffset(DsiOffsetCode(Offset));
  if (LowSpeed)
    ok = ok && device_->SetReadout(0, 20);
  else if (Exposure >= LongThreshold)
    ok = ok && device_->SetReadout(0, 5);
  else
    ok = ok && device_->SetReadout(1, 3);
  return ok && device_->SetAmplifier(Exposure >= AmplifierThreshold) &&
         device_->SetSwitch2(Exposure < ShortThreshold) && device_->SetSwitch3(false);
}

bool TDsiThread::ReadImage() {
  // Wait for the image, every 10 ms; an abort or the end of the thread
  // stops the exposure.
  while (!device_->ImageReady()) {
    if (abort_.load(std::memory_order_acquire) || terminate_.load(std::memory_order_acquire)) {
      device_->AbortExposure();
      return false;
    }
    SleepMs(10);
  }
  std::vector<uint8_t> f1, f2;
  if (!device_->ReadFields(0, 0, Width, Height, f1, f2)) return false;
  TFitsHeader h = NewFitsHeader(16, Width, Height);
  h.Range = 65535;
  h.CcdTemperature = device_->Temperature();
  if (h.DataBlocks == 0) return false;
  const std::size_t rowBytes = std::size_t(Width) * 2;
  if (f1.size() < rowBytes * std::size_t((Height + 1) / 2) || f2.size() < rowBytes * std::size_t(Height / 2))
    return false;
  Data.assign(std::size_t(h.DataBlocks * kFitsBlock), 0);
  for (int r = 0; r < Height; ++r) {
    const uint8_t* src = (r % 2 == 0 ? f1.data() : f2.data()) + rowBytes * std::size_t(r / 2);
    uint8_t* dst = Data.data() + rowBytes * std::size_t(r);
    // Big-endian words from the device, machine order in memory.
    for (int c = 0; c < Width; ++c) {
      const uint16_t v = uint16_t((src[2 * c] << 8) | src[2 * c + 1]);
      std::memcpy(dst + 2 * c, &v, 2);
    }
  }
  Header = h;
  Temperature = h.CcdTemperature;
  return true;
}

void TDsiThread::Act(int command) {
  bool ok = true;
  switch (command) {
    case kDsiCreate:
      device_ = library_.CreateDevice();
      if (!device_ || !device_->Open(DeviceIndex)) {
        device_.reset();
        terminate_.store(true, std::memory_order_release);
        ok = false;
        break;
      }
      Gain = 1.0;
      Offset = 0.5;
      AmplifierThreshold = 0.9;
      Exposure = 1.0;
      LowSpeed = false;
      break;
    case kDsiConnect:
      if (!device_ || !device_->Select()) {
        ok = false;
        break;
      }
      Identify();
      Width = device_->Width();
      Height = device_->Height();
      Connected = Width > 0 && Height > 0;
      Exposure = 0.5;
      ok = Connected && ApplySettings() && device_->StartExposure() && ReadImage();
      break;
    case kDsiGetTemperature:
      if (device_) Temperature = device_->Temperature();
      ok = device_ != nullptr;
      break;
    case kDsiDisconnect:
      Connected = false;
      if (device_) device_->Release();
      break;
    case kDsiClose:
      if (device_) {
        device_->Release();
        device_->Close();
        device_.reset();
      }
      break;
    case kDsiInitialize:
      if (!device_ || !device_->Select()) {
        ok = false;
        break;
      }
      Identify();
      device_->Release();
      Width = device_->Width();
      Height = device_->Height();
      Connected = Width > 0 && Height > 0;
      break;
    case kDsiExpose:
      ok = device_ && ApplySettings() && device_->StartExposure() && ReadImage();
      break;
    default:
      break;
  }
  LastFailed = !ok;
}

// --- Camera ------------------------------------------------------------------------

std::function<double()> TDsiCamera::CoolerTemperature;
std::function<void(double)> TDsiCamera::SetCoolerTemperature;
std::function<void(TDsiCamera&)> TDsiCamera::SettingsWindow;
std::function<void(TDsiCamera&)> TDsiCamera::CloseSettingsWindow;

TDsiCamera::TDsiCamera(int deviceIndex, int cameraNumber, IDsiLibrary& library)
    : TCamera("DSI" + std::to_string(cameraNumber), "DSI Camera #" + std::to_string(cameraNumber)) {
  thread_ = std::make_unique<TDsiThread>(library);
  thread_->SendCommand(kDsiIdle);
  DeviceIndex = deviceIndex;
  thread_->DeviceIndex = deviceIndex;
  if (thread_->SendCommand(kDsiCreate) && thread_->SendCommand(kDsiInitialize)) {
    Settings.Name = thread_->ModelName;
    if (const DsiModel* m = FindDsiModel(thread_->Chip, thread_->Mosaic != 0)) {
      Settings.PixelSizeX = m->pixelX;
      Settings.PixelSizeY = m->pixelY;
    }
    Settings.PixelsX = thread_->Width;
    Settings.PixelsY = thread_->Height;
  } else {
    LogLines().AddLine("[" + ListName() + "] The camera does not answer.");
  }
  CanSetExposure = true;
  CanGetCoolerPower = CanSetCCDTemperature = CanGetCCDTemperature = Settings.ModifiedCamera;
  lastCoolerTick_ = CameraClocks().NowMs() - 10000;
  SetTimerInterval(50);
}

TDsiCamera::~TDsiCamera() {
  // Nothing may reach this camera through its settings window any more.
  if (CloseSettingsWindow) CloseSettingsWindow(*this);
  SetTimerInterval(0);
  thread_.reset();  // posts close and joins the worker
}

bool TDsiCamera::DoConnect() {
  if (!thread_->Idle()) throw ECameraError(": Can't connect, camera is not idle.");
  imageReady_ = false;
  if (!thread_->SendCommand(kDsiConnect)) {
    LogLines().AddLine("[" + ListName() + "] Connecting failed.");
    return false;
  }
  if (!thread_->Connected) return false;
  Settings.PixelsX = thread_->Width;
  Settings.PixelsY = thread_->Height;
  if (Settings.ModifiedCamera) SetCCDTemperature(Settings.CCDSetTemp);
  return true;
}

void TDsiCamera::DoDisconnect() {
  // A running exposure is stopped first; the wait is bounded.
  if (!thread_->Idle()) {
    thread_->RequestAbort();
    for (int waited = 0; waited < 2000 && !thread_->Idle() && !thread_->Ended(); waited += 10)
      if (!WaitStep()) break;
  }
  if (!thread_->Idle() && !thread_->Ended()) throw ECameraError(": Can't Disconnect, camera is not idle.");
  thread_->SendCommand(kDsiDisconnect);
  imageReady_ = false;
}

double TDsiCamera::GetCCDTemperature() {
  if (!CanSetCCDTemperature && !CanGetCCDTemperature) return -999.0;
  if (Settings.ModifiedCamera && CoolerTemperature &&
      CameraClocks().NowMs() - lastCoolerTick_ >= 10000) {
    lastCoolerTick_ = CameraClocks().NowMs();
    Settings.CurrentTemp = CoolerTemperature();
  }
  if ((!Settings.ModifiedCamera || !CoolerTemperature || Settings.CurrentTemp == -999.0) && thread_->Idle() &&
      thread_->SendCommand(kDsiGetTemperature))
    Settings.CurrentTemp = thread_->Temperature;
  return Settings.CurrentTemp;
}

void TDsiCamera::SetCCDTemperature(double celsius) {
  TCamera::SetCCDTemperature(celsius);
  if (Settings.ModifiedCamera && SetCoolerTemperature) SetCoolerTemperature(std::clamp(celsius, -99.9, 30.0));
}

void TDsiCamera::DriverAbort() {
  if (!thread_->Idle()) thread_->RequestAbort();
}

void TDsiCamera::Poll() {
  switch (ExposureState) {
    case 1:
      if (!thread_->Idle()) {
        FailExposure("Camera is not idle.");
        break;
      }
      thread_->Exposure = Settings.ExInterval / 1000.0;
      thread_->Gain = std::clamp(Settings.Gain, 0.0, 1.0);
      thread_->Offset = std::clamp(Settings.Offset, 0.0, 1.0);
      if (!thread_->Post(kDsiExpose)) {
        FailExposure("Exposure could not be started.");
        break;
      }
      ExposureState = 2;
      StampStart();
      break;
    case 2:
      if (thread_->Idle()) {
        if (thread_->LastFailed)
          FailExposure("Exposure failed.");
        else
          ExposureState = 3;
      } else if (thread_->Ended()) {
        FailExposure("Exposure failed.");
      } else if (ExposureOverdue(kTimeoutMarginMs)) {
        thread_->RequestAbort();
        FailExposure("Exposure timed out.");
      }
      break;
    case 3: {
      imageTick_ = CameraClocks().NowMs();
      TFitsHeader h = thread_->Header;
      const std::string pair =
          "(" + std::to_string(Settings.MosaicXOfs) + "," + std::to_string(Settings.MosaicYOfs) + ")";
      h.Mosaic.clear();
      if (!Settings.ForceMono && thread_->Mosaic == 2) h.Mosaic = "RGGB" + pair;
      if (!Settings.ForceMono && thread_->Mosaic == 1) h.Mosaic = "CMYG2" + pair;
      DeliverImage(h, std::move(thread_->Data));
      thread_->Data = FitsData();
      if (ExposureState != 0) ExposureState = 4;
      break;
    }
    case 4:
      ExposureState = 0;
      break;
    default:
      break;
  }
}

void TDsiCamera::ShowSettings() {
  if (SettingsWindow) SettingsWindow(*this);
}

std::vector<std::unique_ptr<TDsiCamera>> ScanDsiCameras(IDsiLibrary& library) {
  std::vector<std::unique_ptr<TDsiCamera>> cameras;
  int found = 0;
  for (int index = 0; index < 16; ++index) {
    std::unique_ptr<IDsiDevice> device = library.CreateDevice();
    if (!device || !device->Open(index)) continue;
    const bool answers = device->Select();
    device->Release();
    device->Close();
    if (!answers) continue;
    if (++found > 3) {
      LogLines().AddLine("Too many DSI cameras, Noctra Planetarium supports up to three cameras.");
      break;
    }
    cameras.push_back(std::make_unique<TDsiCamera>(index, found, library));
  }
  return cameras;
}

}  // namespace imaging
