#include "imaging/camera.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "imaging/fits_image.h"
#include "platform/dialogs.h"
#include "shell/log_lines.h"

namespace imaging {

namespace {
uint64_t SteadyMs() {
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}
}  // namespace

CameraClock& CameraClocks() {
  static CameraClock clock{SteadyMs, platform::GetSystemTimeUTC};
  return clock;
}

void ResetCameraClocksForTest() { CameraClocks() = CameraClock{SteadyMs, platform::GetSystemTimeUTC}; }

namespace {
// The cameras that exist (made and destroyed on the GUI thread).
std::vector<const TCamera*>& LiveCameras() {
  static std::vector<const TCamera*> cameras;
  return cameras;
}
}  // namespace

void StoreCameraSettings() {
  for (const TCamera* camera : LiveCameras()) camera->StoreSettings();
}

TCamera::TCamera(const std::string& nodeName, const std::string& listName)
    : logPrefix_("[" + listName + "] "), nodeName_(nodeName), listName_(listName) {
  LiveCameras().push_back(this);
  SetNewElementDefaults(Settings);
  bool created = false;
  const platform::XmlElement e = ImagingSettingsElement(nodeName_, created);
  if (created)
    WriteImagingSettings(e, Settings);
  else
    ReadImagingSettings(e, Settings);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
}

TCamera::~TCamera() {
  timer_.stop();
  std::erase(LiveCameras(), this);
  StoreSettings();
}

void TCamera::StoreSettings() const {
  bool created = false;
  WriteImagingSettings(ImagingSettingsElement(nodeName_, created), Settings);
}

void TCamera::SetTimerInterval(int intervalMs) {
  if (intervalMs <= 0) {
    timer_.stop();
    return;
  }
  timer_.setTimerType(intervalMs < 20 ? Qt::PreciseTimer : Qt::CoarseTimer);
  timer_.start(intervalMs);
}

bool TCamera::DoConnect() {
  imageReady_ = false;
  return false;
}

void TCamera::DoDisconnect() { imageReady_ = false; }

double TCamera::GetCCDTemperature() { return Settings.CurrentTemp; }

void TCamera::SetCCDTemperature(double celsius) { Settings.CCDSetTemp = celsius; }

bool TCamera::StartExposure(double seconds, bool /*light*/) {
  if (!connected_) throw ECameraError("Camera is not connected.");
  const double ms = std::trunc(seconds * 1000.0);
  Settings.ExInterval = int32_t(std::clamp(ms, 0.0, 2147483647.0));
  imageReady_ = false;
  lastFailure_.clear();
  ExposureState = 1;
  return true;
}

void TCamera::StopExposure() {
  if (ExposureState == 0) throw ECameraError("Camera is not capturing.");
  if (!connected_) throw ECameraError("Camera is not connected.");
  if (ExposureState == 1) ExposureState = 2;
}

void TCamera::AbortExposure() {
  if (!connected_) throw ECameraError("Camera is not connected.");
  if (ExposureState != 0) {
    DriverAbort();
    imageTick_ = CameraClocks().NowMs();
    ExposureState = 0;
  }
}

int32_t TCamera::GetXSize() const {
  if (Settings.PixelsX == -1) throw ECameraError("Camera X Size unknown.");
  return Settings.PixelsX;
}

int32_t TCamera::GetYSize() const {
  if (Settings.PixelsY == -1) throw ECameraError("Camera Y Size unknown.");
  return Settings.PixelsY;
}

bool TCamera::GetImageReady() const {
  if (!connected_) throw ECameraError("Camera is not connected.");
  return imageReady_;
}

void TCamera::SetConnected(bool connect) {
  if (connect && !connected_) {
    if (!DoConnect()) {
      connected_ = false;
      return;
    }
    image_ = std::make_unique<TFitsBitmap>();
    image_->SetSize(std::max(Settings.PixelsX, 0), std::max(Settings.PixelsY, 0));
    imageReady_ = false;
    connected_ = true;
    ExposureState = 0;
    lostReason_.clear();
  } else if (!connect && connected_) {
    DoDisconnect();
    image_.reset();
    imageReady_ = false;
    connected_ = false;
    ExposureState = 0;
  }
}

bool ConnectCamera(TCamera& camera, std::string& reason) {
  reason.clear();
  try {
    camera.SetConnected(true);
  } catch (const std::exception& e) {
    reason = e.what();
  }
  return camera.Connected();
}

std::string CameraConnectionError(const std::string& reason) {
  return reason.empty() ? "Error: camera connection" : "Error: camera connection: " + reason;
}

std::string CameraDisconnected(const std::string& reason) {
  return reason.empty() ? "Camera disconnected" : "Camera disconnected: " + reason;
}

std::string CameraDisconnectedError(const std::string& reason) { return "Error: " + CameraDisconnected(reason); }

void TCamera::LoseConnection(const std::string& why) {
  if (!connected_) return;
  SetConnected(false);
  lostReason_ = why;
}

TFitsBitmap& TCamera::GetImage() {
  if (!image_ || !imageReady_ || !image_->HasData()) throw ECameraError("Camera has not aquired an image.");
  TFitsHeader h = image_->Header;
  FitsData& d = image_->Data();
  if (Settings.Invert && !h.FlippedVertically) FitsFlipVertical(h, d);
  if (Settings.Mirror && !h.FlippedHorizontally) FitsFlipHorizontal(h, d);
  if (AutoRange) {
    FitsAutoRange(h, d, 0.01);
  } else {
    const int64_t span = int64_t(DisplayHigh) - int64_t(DisplayLow) + 1;
    if (span >= 0 && span <= 65535 && DisplayLow < 65536) {
      h.Background = DisplayLow;
      h.Range = double(span);
    } else {
      h.Background = 0;
      h.Range = 65535;
    }
  }
  const platform::SYSTEMTIME& t = startTime_;
  h.DateObs = FitsDateText(t.wYear, t.wMonth, t.wDay);
  h.TimeObs = FitsTimeText(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  h.ExposureTime = ExposureTime();
  image_->Header = h;
  image_->UpdateBitmap();
  return *image_;
}

void TCamera::FailExposure(const std::string& text) {
  ExposureState = 0;
  imageReady_ = false;
  imageTick_ = CameraClocks().NowMs();
  lastFailure_ = text;
  LogLines().AddLine(logPrefix_ + text);
}

void TCamera::StampStart() {
  startTime_ = CameraClocks().Utc();
  startTick_ = CameraClocks().NowMs();
}

bool TCamera::ExposureOverdue(uint64_t marginMs) const {
  return CameraClocks().NowMs() - startTick_ > uint64_t(std::max(Settings.ExInterval, 0)) + marginMs;
}

void TCamera::DeliverImage(const TFitsHeader& header, FitsData&& data) {
  if (!image_) image_ = std::make_unique<TFitsBitmap>();
  if (!image_->SetFitsData(header, std::move(data))) {
    FailExposure("The camera delivered no usable image.");
    return;
  }
  imageTick_ = CameraClocks().NowMs();
  imageReady_ = true;
}

// --- Consumer lists and tokens ------------------------------------------------

namespace {
int OrderOf(const std::string& name) {
  for (int i = 0; i < 10; ++i)
    if (name == kCameraOrder[i]) return i;
  return -1;
}

void TokenMessage(const char* text) {
  platform::ShowMessageBox(text, "Noctra Planetarium", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}
}  // namespace

bool TCameraList::Add(const std::string& name) {
  const int place = OrderOf(name);
  if (place < 0) return false;
  for (int i = place; i >= 0; --i) {
    auto it = std::find(names_.begin(), names_.end(), kCameraOrder[i]);
    if (it == names_.end()) continue;
    if (i == place) return true;
    names_.insert(it + 1, name);
    return true;
  }
  names_.insert(names_.begin(), name);
  return true;
}

void TCameraList::Remove(const std::string& name) {
  if (current_ == name) current_.clear();
  names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
}

void TCameraToken::Get(TCamera& camera) {
  if (held_ == 1) {
    TokenMessage("Error, trying to get a token we already have.");
  } else if (camera.Settings.CameraToken != 0) {
    held_ = camera.Settings.CameraToken;
    camera.Settings.CameraToken = 0;
  } else {
    TokenMessage("Error, camera token is gone.");
  }
}

void TCameraToken::Return(TCamera& camera) {
  if (held_ == 0) {
    TokenMessage("Error, trying to return a token we don't have.");
  } else if (camera.Settings.CameraToken != 1) {
    camera.Settings.CameraToken = held_;
    held_ = 0;
  } else {
    TokenMessage("Error, camera token is already present.");
  }
}

int ExposureStepPosition(double seconds) {
  for (int n = 1; n <= 20; ++n)
    if (kExposureSteps[n - 1] >= seconds) return n;
  return 20;
}

bool ExposureStepAllowed(int position, const TCamera* camera, bool withoutCamera) {
  if (position < 1 || position > 20) return false;
  if (!camera) return withoutCamera;
  const double s = kExposureSteps[position - 1];
  return s >= camera->ExposureMin && s <= camera->ExposureMax;
}

}  // namespace imaging
