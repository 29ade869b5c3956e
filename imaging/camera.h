// TCamera: the one class through which the imaging console, the autoguider
// and the plate solver use any camera. A consumer connects the camera, takes
// its token, starts an exposure, waits for the image-ready flag the camera's
// own timer raises (Poll, the driver's state machine), fetches the image
// with the camera's flips, display range and time stamps applied, and gives
// the token back.
//
// Exposure state: 0 idle, 1 exposure started, higher values are driver
// phases (2 also means "stop requested" for the base class). Every driver
// ends a failed, timed-out or aborted exposure in state 0 with one log line
// (FailExposure), never in a state it cannot leave.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/fits_bitmap.h"
#include "imaging/imaging_settings.h"
#include "platform/timezone.h"

namespace imaging {

class ECameraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The camera layer's clocks: a monotonic millisecond counter and the UTC
// system time. Tests replace both.
struct CameraClock {
  std::function<uint64_t()> NowMs;
  std::function<platform::SYSTEMTIME()> Utc;
};
CameraClock& CameraClocks();
// Restores the system clocks.
void ResetCameraClocksForTest();

// The fixed camera list order of every consumer.
inline constexpr const char* kCameraOrder[10] = {
    "None",          "Image File",      "VFW Camera #1",   "VFW Camera #2", "VFW Camera #3",
    "ASCOM Camera #1", "ASCOM Camera #2", "DSI Camera #1", "DSI Camera #2", "DSI Camera #3"};

class TCamera {
 public:
  // TCamera.Create: reads the settings from the element `nodeName` of the
  // imaging settings document (adding it with the new-element defaults when
  // missing). `listName` is the camera's name in the consumers' lists.
  TCamera(const std::string& nodeName, const std::string& listName);
  // Writes the settings back into the document.
  virtual ~TCamera();
  // Writes the settings into the document now (the destruction does too).
  void StoreSettings() const;
  TCamera(const TCamera&) = delete;
  TCamera& operator=(const TCamera&) = delete;

  // Dynamic operations; drivers override what they need.
  virtual bool DoConnect();
  virtual void DoDisconnect();
  virtual double GetCCDTemperature();
  virtual void SetCCDTemperature(double celsius);
  virtual bool StartExposure(double seconds, bool light);
  virtual void StopExposure();
  virtual void AbortExposure();
  virtual void ShowSettings() {}
  // The timer's tick: the driver's exposure state machine.
  virtual void Poll() {}

  int32_t GetXSize() const;
  int32_t GetYSize() const;
  bool GetImageReady() const;
  // The image with flips, display range, DATE-OBS, TIME-OBS and EXPTIME
  // applied; owned by the camera. Raises "Camera has not aquired an image."
  // when there is none or it is not ready.
  TFitsBitmap& GetImage();
  // Connects (DoConnect; a false result leaves the camera disconnected) or
  // disconnects (DoDisconnect). Both reset the exposure state to idle.
  void SetConnected(bool connect);
  bool Connected() const { return connected_; }
  // Why the camera disconnected itself (its driver lost the device, or
  // the device gave frames it cannot read): empty unless it did, until it
  // is connected again. The consumers tell it the user.
  const std::string& LostReason() const { return lostReason_; }
  // Exposure length of the settings in seconds.
  double ExposureTime() const { return Settings.ExInterval / 1000.0; }
  // Why the last exposure was not started or ended without a picture
  // ("StartExposure: Member not implemented"); empty when it did not fail
  // or the driver does not say. For the consumers to tell the user.
  const std::string& LastFailure() const { return lastFailure_; }

  // Starts the camera's timer at `intervalMs` (stops it for 0).
  void SetTimerInterval(int intervalMs);
  int TimerInterval() const { return timer_.interval(); }

  const std::string& NodeName() const { return nodeName_; }
  const std::string& ListName() const { return listName_; }

  // Public fields used by consumers and settings windows.
  ImagingSettings Settings;
  int32_t DeviceIndex = 0;
  uint8_t ExposureState = 0;
  bool CanSetExposure = false;
  bool CanAbortExposure = false;
  bool CanStopExposure = false;
  double ExposureMin = 0.001;
  double ExposureMax = 7200.0;
  bool CanAsymmetricBin = false, CanGetCoolerPower = false, CanPulseGuide = false;
  bool CanSetCCDTemperature = false, CanGetCCDTemperature = false;
  bool AutoRange = true;
  uint32_t DisplayLow = 0, DisplayHigh = 65535;
  // The sky the whole sensor covers, degrees; 0 where the driver does not
  // know its optics.
  double FieldWidth = 0, FieldHeight = 0;
  std::string CoolerPowerText;

 protected:
  // The driver's own abort, called by AbortExposure while an exposure runs.
  virtual void DriverAbort() {}
  // Ends the running exposure: state 0, no image, and one log line: the
  // log prefix ("[<list name>] " unless the driver sets its own) and text,
  // which is kept as the last failure.
  void FailExposure(const std::string& text);
  std::string lastFailure_;
  std::string logPrefix_;
  // The driver lost the device: the camera disconnects and keeps `why` as
  // its LostReason.
  void LoseConnection(const std::string& why);
  // Marks the exposure's start (tick and UTC time).
  void StampStart();
  // True once the exposure has run its length plus `marginMs`.
  bool ExposureOverdue(uint64_t marginMs) const;
  // Hands header and data to the camera's image and raises image ready.
  void DeliverImage(const TFitsHeader& header, FitsData&& data);

  bool connected_ = false;
  bool imageReady_ = false;
  uint64_t startTick_ = 0;
  uint64_t imageTick_ = 0;
  platform::SYSTEMTIME startTime_;
  std::unique_ptr<TFitsBitmap> image_;

 private:
  std::string lostReason_;
  std::string nodeName_;
  std::string listName_;
  QTimer timer_;
};

// Every camera that exists writes its settings into the imaging settings
// document (to be saved with SaveImagingSettings).
void StoreCameraSettings();

// Connects `camera` for a consumer (the console, the autoguider, plate
// solving), whose timer must never see a raising driver: true when it is
// connected; otherwise false with the driver's error text in `reason`
// (empty when the driver refused without one).
bool ConnectCamera(TCamera& camera, std::string& reason);
// A consumer's status after a failed connection: "Error: camera
// connection", followed by the driver's reason where it gave one.
std::string CameraConnectionError(const std::string& reason);
// A consumer's log line when its camera went away while it was taking no
// pictures: "Camera disconnected", followed by ": " and the reason where
// one is known. Its status then is CameraConnectionError with the reason,
// as for a camera that could not be had.
std::string CameraDisconnected(const std::string& reason);
// A consumer's status and log text when its camera went away under a
// running exposure, preview, series, guiding or solve: "Error: Camera
// disconnected", followed by the reason where one is known.
std::string CameraDisconnectedError(const std::string& reason);
// The reason the cameras are let go when the program ends: a consumer that
// was not using its camera then lets it go without a word.
inline constexpr const char* kCameraReleasedAtEnd = "the program ends";

// One consumer's camera list in the fixed order, with its current choice.
class TCameraList {
 public:
  TCameraList() : names_{"None"} {}
  // Inserts `name` after the nearest name of the fixed order already listed
  // (at the top when none); false for a name outside the fixed order.
  bool Add(const std::string& name);
  // Clears the choice when it is `name`, then deletes it from the list.
  void Remove(const std::string& name);
  bool IsSelected(const std::string& name) const { return current_ == name; }
  void Select(const std::string& name) { current_ = name; }
  const std::string& Current() const { return current_; }
  const std::vector<std::string>& Names() const { return names_; }

 private:
  std::vector<std::string> names_;
  std::string current_;
};

// A consumer's hold on a camera's token. The operations never raise: a
// wrong call shows its message box ("Noctra Planetarium", exclamation) and
// changes nothing.
class TCameraToken {
 public:
  void Get(TCamera& camera);
  void Return(TCamera& camera);
  bool Has() const { return held_ == 1; }

 private:
  uint32_t held_ = 0;
};

// The exposure steps of the windows' up-down controls (positions 1..20),
// seconds.
inline constexpr double kExposureSteps[20] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1,
                                              2,     5,     10,    20,   60,   90,   120, 180, 240, 300};
// The first position (1..20) whose step is at least `seconds`; 20 when none is.
int ExposureStepPosition(double seconds);
// Whether the up-down may move to `position` (1..20): its step lies within
// the camera's ExposureMin..ExposureMax; without a camera, `withoutCamera`.
bool ExposureStepAllowed(int position, const TCamera* camera, bool withoutCamera);

}  // namespace imaging
