// The logic of the autoguide window (TAutoGuideForm) without widgets: the
// chosen camera and its token, repeated exposures, the guide star found in
// the guide box, the calibration of the mount's response by timed guide
// pulses (rates in pixels per second and directions on the sensor, and the
// declination backlash), and guiding by proportional pulses with a slowly
// adapting gain, declination and right ascension on alternate frames.
// Everything runs from Sequence (every 100 ms) on the program's millisecond
// clock; waits are times of the next action, never sleeps. Log lines carry
// "[AutoGuide] ".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "imaging/camera.h"
#include "imaging/fits_bitmap.h"
#include "platform/xml.h"

namespace imaging {

inline constexpr const char* kAutoGuideSettingsFile = "AutoGuideSettings.xml";
// Calibration pulses, and the longest pulse the mount accepts (ms).
inline constexpr int kCalibrationPulseMs = 16000;
inline constexpr int kMaxPulseMs = 16299;
// Rates below this (pixels per second) fail the calibration.
inline constexpr double kMinGuideRate = 0.02;

class IGuideMount {
 public:
  virtual ~IGuideMount() = default;
  virtual bool Connected() = 0;
  // direction 'N', 'S', 'E' or 'W'; 1..16,299 ms.
  virtual void PulseGuide(char direction, int milliseconds) = 0;
  // '?' stops every move.
  virtual void StopMove(char direction) = 0;
  virtual bool SetGuideRate(int step) = 0;
};

enum class TGuideMode { Off, Select, Calibrate, Guide };

struct TAutoGuideSettings {
  std::string Exposure = "1.0";
  int GuideRate = 0;  // R1, R2, R3
  bool BacklashComp = false;
  int Porportional = 25;  // percent, 1..99
  int Integral = 15;      // 0..60 per minute
  int StandardDeviation = 40;  // tenths
  int Background = 20;         // tenths
  void Read(const platform::XmlElement& selections);
  void Write(const platform::XmlElement& selections) const;
};

class TAutoGuider {
 public:
  TAutoGuider(IGuideMount* mount, std::function<TCamera*(const std::string&)> cameraByName);
  ~TAutoGuider();

  void LoadSettings(const std::string& folder);
  void SaveSettings(const std::string& folder);
  TAutoGuideSettings Set;

  TCameraList CameraList;
  std::string ImageSource = "None";

  bool AddCamera(const std::string& name) { return CameraList.Add(name); }
  // Lets the camera go at once when it is the chosen one, as a camera lost
  // (`reason`: why it goes).
  void RemoveCamera(const std::string& name, const std::string& reason = "");
  bool IsCameraSelected(const std::string& name) const { return ImageSource == name; }

  // The mode buttons (one group: pressing one releases the others).
  void Press(TGuideMode mode);
  TGuideMode Mode() const { return mode_; }
  // The guide box from a drag rectangle (image pixels, rows from the top):
  // made square on its longer side, each side at most 180 pixels.
  void SetGuideBox(int left, int top, int right, int bottom);
  // A short click while selecting: the guide box and the star are cleared.
  void ClearGuideBox();
  // The guide box (image pixels; size 0: none).
  int BoxLeft() const { return boxLeft_; }
  int BoxTop() const { return boxTop_; }
  int BoxSize() const { return boxSize_; }
  void GuideRateChange(int index);

  // Sequence: one tick (every 100 ms).
  void Sequence();

  TCamera* Camera() const { return camera_; }
  bool HasCameraToken() const { return token_.Has(); }
  const std::string& Status() const { return status_; }
  const std::string& FwhmLabel() const { return fwhmLabel_; }
  bool StarSelected() const { return starSelected_; }
  bool Calibrated() const { return calibrated_; }
  int CalibrationStep() const { return calStep_; }
  double StarX() const { return centroidX_; }
  double StarY() const { return centroidY_; }
  int LockX() const { return lockX_; }
  int LockY() const { return lockY_; }
  double DecRate() const { return decPps_; }
  double RaRate() const { return raPps_; }
  double DecAngle() const { return decAngle_; }
  double RaAngle() const { return raAngle_; }
  int64_t Backlash() const { return backlash_; }
  double Gain() const { return gain_; }
  const TFitsBitmap* Image() const { return image_.get(); }
  // Guide frames corrected since Guide was pressed.
  int GuideFrames() const { return frames_; }

 private:
  void ChooseSource();
  // Lets the camera go; when it held one, the log says "Camera
  // disconnected" unless `quiet`.
  void Release(bool quiet = false);
  void ImageStep();
  bool FindStar();
  void CalibrationStep();
  void GuideCorrection();
  void Pulse(char direction, int ms);
  void Wait(uint32_t ms);
  void FailCalibration(const std::string& why);
  // The chosen camera went away: the mode goes to Off (mount moves
  // stopped) and the camera is released. A running mode says "Error:
  // Preview aborted" and "Error: Camera disconnected"; at rest the log says
  // "Camera disconnected" and the status "Error: camera connection" (each
  // with the reason).
  void CameraLost(const std::string& reason);

  IGuideMount* mount_;
  std::function<TCamera*(const std::string&)> cameraByName_;
  platform::XmlDocument doc_;
  std::string sourceName_ = "None";
  // A camera was chosen (not "None") and could not be had or was lost:
  // the status reports the failed connection; before any choice it says
  // nothing.
  bool sourceChosen_ = false;
  std::string connectError_;  // why the chosen camera did not connect
  std::string lostError_;     // the chosen camera went away: said until the next choice
  std::string startError_;    // an exposure the camera did not start: said until the next press
  TCamera* camera_ = nullptr;
  TCameraToken token_;
  std::unique_ptr<TFitsBitmap> image_;
  TGuideMode mode_ = TGuideMode::Off;
  bool firstExposure_ = false, imageExpected_ = false, pending_ = false;
  bool starSelected_ = false, calibrated_ = false;
  int boxLeft_ = -1, boxTop_ = -1, boxSize_ = 0;
  double centroidX_ = -1, centroidY_ = -1;
  int lockX_ = -1, lockY_ = -1;
  double originX_ = -1, originY_ = -1;
  double decPps_ = 0, raPps_ = 0, decAngle_ = 0, raAngle_ = 0;
  int64_t backlash_ = 0, backlashTaken_ = 0;
  int calStep_ = 0;
  uint32_t nextAction_ = 0;
  int lost_ = 0;
  double integral_ = 0, gain_ = 1.0;
  int frames_ = 0;
  int lastRate_ = -1;
  std::string status_, fwhmLabel_ = "-";
};

// The calibrated axes: rates in pixels per second of pulse, angles in
// degrees (GuideAngle's sense), the declination backlash in ms.
struct TGuideAxes {
  double decPps = 0, raPps = 0, decAngle = 0, raAngle = 0;
  int64_t backlash = 0;
};
// One guide pulse: direction 'N', 'S', 'E', 'W' (0: none) and length in ms,
// of which `backlashMs` take up the declination backlash.
struct TGuidePulse {
  char direction = 0;
  int ms = 0;
  int64_t backlashMs = 0;
};
// The correction for the star's error (ex, ey) = lock - star (pixels) on
// the right-ascension axis (`raAxis`) or the declination axis: the error
// projected on the axis, over its rate, times `gain` (proportional x
// integral gain); nothing at 0.1 s or less; at most kMaxPulseMs. On the
// declination axis with `backlashComp`, a reversal adds the backlash still
// owed; `backlashTaken` carries it from pulse to pulse.
TGuidePulse GuidePulse(double ex, double ey, bool raAxis, const TGuideAxes& axes, double gain, bool backlashComp,
                       int64_t& backlashTaken);

// The direction of a displacement (column, row) on the sensor: degrees in
// [0, 360) of ArcTan2(column, row); 0 when both are below 0.001.
double GuideAngle(double dx, double dy);

}  // namespace imaging
