#include "imaging/video_camera.h"

#include <cerrno>
#include <cmath>

#include "imaging/fits_image.h"
#include "shell/log_lines.h"

namespace imaging {

std::function<void(TVFWCamera&)> TVFWCamera::SettingsWindow;
std::function<void(TVFWCamera&)> TVFWCamera::CloseSettingsWindow;

TVFWCamera::TVFWCamera(int index)
    : TCamera("VFW" + std::to_string(index + 1), "VFW Camera #" + std::to_string(index + 1)) {
  DeviceIndex = index;
  CanAbortExposure = true;
  CanStopExposure = true;
  ApplyLimits();
  SetTimerInterval(10);
}

TVFWCamera::~TVFWCamera() {
  // Nothing may reach this camera through its settings window any more.
  if (CloseSettingsWindow) CloseSettingsWindow(*this);
  SetTimerInterval(0);
  Cleanup();
}

void TVFWCamera::ApplyLimits() {
  CanSetExposure = Settings.ModifiedCamera;
  ExposureMin = Settings.ModifiedCamera ? 0.5 : 0.02;
  ExposureMax = Settings.ModifiedCamera ? 900.0 : 0.2;
}

void TVFWCamera::Cleanup() {
  serial_.Close();
  if (parallelPort_) ReleaseParallelPort(parallelPort_);
  parallelPort_ = 0;
  if (portDriverLoaded_) UnloadPortDriver();
  portDriverLoaded_ = false;
  if (device_) device_->Close();
  device_.reset();
}

bool TVFWCamera::DoConnect() {
  if (device_) return false;
  if (DeviceIndex < 0 || DeviceIndex > 2) throw ECameraError("Can't connect of Vfw Camera.  Invalid camera number.");
  device_ = VideoDeviceFactory ? VideoDeviceFactory() : nullptr;
  std::string error;
  if (!device_ || !device_->Open(DeviceIndex, Choice(), error)) {
    Cleanup();
    if (!error.empty()) LogLines().AddLine("[" + ListName() + "] " + error);
    throw ECameraError("Can't connect to Vfw Camera.  Capture driver connect failed.");
  }
  ApplyLimits();
  Settings.Name = device_->DriverName();
  format_ = device_->Format();
  if (format_.width <= 0 || format_.height <= 0) {
    Cleanup();
    throw ECameraError("Can't connect to Vfw Camera.  Can't create capture bitmap.");
  }
  Settings.PixelsX = format_.width;
  Settings.PixelsY = format_.height;
  if (Settings.ModifiedCamera) {
    const PortEntry* p = FindPort(Settings.LxPort);
    if (!p) {
      Cleanup();
      throw ECameraError("Can't connect to Vfw Camera.  Unrecognized port address.");
    }
    if (p->kind == PortKind::Parallel) {
      // The port-output driver, and the parallel port at the chosen address
      // held for the connection.
      if (!LoadPortDriver()) {
        Cleanup();
        throw ECameraError("Can't connect to Vfw Camera.  The port-output driver did not start.");
      }
      portDriverLoaded_ = true;
      // The port is this camera's only once its claim succeeded: a claim
      // refused because another camera holds the port leaves that one's
      // claim alone.
      const TPortResult r = ClaimParallelPort(Settings.LxPort);
      if (!r) {
        Cleanup();
        throw ECameraError("Can't connect to Vfw Camera.  " + r.reason);
      }
      parallelPort_ = Settings.LxPort;
    } else {
      int err = 0;
      if (!serial_.Open(Settings.LxPort, err)) {
        Cleanup();
        if (err == ENOENT) throw ECameraError("Can't connect to Vfw Camera.  \"FILE NOT FOUND\" opening serial port");
        throw ECameraError("Can't connect to Vfw Camera.  \"UNKNOWN ERROR\" opening serial port");
      }
    }
  }
  formatError_ = false;
  imageReady_ = false;
  return true;
}

TVideoChoice TVFWCamera::Choice() const {
  return {FourCCFromText(Settings.VideoFormat), Settings.VideoWidth, Settings.VideoHeight, Settings.VideoInput};
}

void TVFWCamera::SetChoice(const TVideoChoice& c) {
  Settings.VideoFormat = c.fourcc ? FourCCText(c.fourcc) : "";
  Settings.VideoWidth = c.width;
  Settings.VideoHeight = c.height;
  Settings.VideoInput = c.input;
}

bool TVFWCamera::QueryDevice(TVideoOffer& offer, std::string& error) {
  if (Connected()) {
    error = "The camera is connected.";
    return false;
  }
  std::unique_ptr<IVideoDevice> device = VideoDeviceFactory ? VideoDeviceFactory() : nullptr;
  if (!device || !device->Open(DeviceIndex, Choice(), error)) {
    if (error.empty()) error = "Can't connect to Vfw Camera.  Capture driver connect failed.";
    return false;
  }
  offer = device->Offer();
  device->Close();
  return true;
}

void TVFWCamera::DoDisconnect() {
  Cleanup();
  imageReady_ = false;
}

TPortResult TVFWCamera::SetLine(uint8_t value) {
  // A parallel port takes the value unmasked; a serial port the masked one.
  if (parallelPort_) return PortWrite(parallelPort_, kPortSizeByte, value);
  if (serial_.IsOpen()) return serial_.SetLine(value, Settings.AccMask, Settings.DtrRtsMode);
  return TPortResult::Failed("No switching line is open (the camera was connected as an unmodified one).");
}

void TVFWCamera::OnFrame(const std::vector<uint8_t>& frame) {
  imageTick_ = CameraClocks().NowMs();
  platform::Bitmap bmp;
  double brightness = 0;
  const FrameResult r = ConvertFrame(format_, frame.data(), frame.size(), bmp, brightness);
  if (r == FrameResult::UnsupportedFormat) {
    formatError_ = true;  // reported by Poll
    ExposureState = 5;
    return;
  }
  if (r != FrameResult::Ok) return;  // a short frame is refused
  if (Settings.ModifiedCamera) {
    FrameSelection& s = selection_;
    const double step = brightness - s.runningMean;
    s.runningMean = (10 * s.runningMean + brightness) / 11;
    ++s.frameCounter;
    const uint64_t ttl = imageTick_ - startTick_;
    const bool better = step >= s.bestStep;
    if (better) {
      s.found = true;
      s.bestStep = step;
      s.bestTime = std::to_string(ttl);
      s.bestStepText = std::to_string(std::lround(step));
    }
    status_ = "Frame #" + std::to_string(s.frameCounter) + ", TTL=" + std::to_string(ttl) + "mS (" + s.bestTime +
              "mS), Delta Gamma=" + std::to_string(std::lround(step)) + " (" + s.bestStepText + ")";
    if (s.found && !better) return;
  }
  TFitsHeader h;
  FitsData d;
  BitmapToFits(bmp, h, d, Settings.ForceMono);
  if (!image_) image_ = std::make_unique<TFitsBitmap>();
  haveFrame_ = image_->SetFitsData(h, std::move(d));
}

void TVFWCamera::Poll() {
  const uint64_t now = CameraClocks().NowMs();
  const uint64_t exposure = uint64_t(std::max(Settings.ExInterval, 0));
  const uint64_t start = uint64_t(std::max(Settings.ExStart, 0));
  const uint64_t window = uint64_t(std::max(Settings.ExWindow, 0));
  switch (ExposureState) {
    case 1:
      StampStart();
      haveFrame_ = false;
      selection_ = FrameSelection();
      if (Settings.ModifiedCamera && !LineSet(Settings.AccOnVal)) break;
      ExposureState = 2;
      break;
    case 2: {
      const uint64_t e = now - startTick_;
      if (e > exposure && TimerInterval() >= 2) {
        if (Settings.ModifiedCamera) {
          selection_ = FrameSelection();
          if (!LineSet(Settings.AccOffVal)) break;
        }
        SetTimerInterval(1);
        selection_.readoutStartTick = now;
      }
      if (e > exposure + start) ExposureState = 3;
      break;
    }
    case 3: {
      const uint64_t e = now - startTick_;
      if (e < exposure + start + window) {
        if (device_ && device_->Grab(frame_, 0)) OnFrame(frame_);
      } else {
        SetTimerInterval(10);
        ExposureState = 4;
      }
      break;
    }
    case 4:
      if (haveFrame_) {
        ExposureState = 0;
        imageReady_ = true;
      } else {
        SetTimerInterval(10);
        FailExposure("No video frame was captured.");
      }
      break;
    case 5: {
      SetTimerInterval(10);
      const std::string why = formatError_ ? ListName() + ", Unsupported video format." : std::string();
      if (formatError_) FailExposure(why);
      formatError_ = false;
      LoseConnection(why);
      ExposureState = 0;
      break;
    }
    default:
      break;
  }
}

bool TVFWCamera::LineSet(uint8_t value) {
  const TPortResult r = SetLine(value);
  if (!r) FailExposure("The switching line could not be set: " + r.reason);
  return bool(r);
}

void TVFWCamera::DriverAbort() {
  if (Settings.ModifiedCamera) {
    const TPortResult r = SetLine(Settings.AccOffVal);
    if (!r) LogLines().AddLine("[" + ListName() + "] The switching line could not be set: " + r.reason);
  }
  SetTimerInterval(10);
}

// The window applies the limits when it is closed (while it still holds
// the camera: a camera freed meanwhile is not reached from here).
void TVFWCamera::ShowSettings() {
  if (SettingsWindow) SettingsWindow(*this);
}

}  // namespace imaging
