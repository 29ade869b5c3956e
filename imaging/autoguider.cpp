#include "imaging/autoguider.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "imaging/fits_image.h"
#include "imaging/image_copy.h"
#include "imaging/settings_text.h"
#include "platform/numfmt.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"
#include "shell/xml_settings.h"

namespace imaging {

namespace {

void Log(const std::string& text) { LogLines().AddLine("[AutoGuide] " + text); }

constexpr uint32_t kSettleMs = 20000;
constexpr double kRadToDeg = 180.0 / M_PI;

bool Past(uint32_t when) { return int32_t(platform::TimeGetTime() - when) >= 0; }

}  // namespace

double GuideAngle(double dx, double dy) {
  if (std::fabs(dx) < 0.001 && std::fabs(dy) < 0.001) return 0.0;
  double a = std::atan2(dx, dy) * kRadToDeg;
  if (a < 0) a += 360.0;
  return a >= 360.0 ? a - 360.0 : a;
}

// --- Settings -----------------------------------------------------------------------------

void TAutoGuideSettings::Read(const platform::XmlElement& s) {
  Exposure = XmlReadNumberText(s, "Exposure", "1.0", 0, kMaxExposureSeconds);
  GuideRate = std::clamp(XmlReadInteger(s, "GuideRate", 0), 0, 2);
  BacklashComp = XmlReadBool(s, "BacklashComp", false);
  Porportional = std::clamp(XmlReadInteger(s, "Porportional", 25), 1, 99);
  Integral = std::clamp(XmlReadInteger(s, "Integral", 15), 0, 60);
  StandardDeviation = std::clamp(XmlReadInteger(s, "StandardDeviation", 40), 1, 99);
  Background = std::clamp(XmlReadInteger(s, "Background", 20), 1, 99);
}

void TAutoGuideSettings::Write(const platform::XmlElement& s) const {
  XmlWriteString(s, "Exposure", Exposure);
  XmlWriteInteger(s, "GuideRate", GuideRate);
  XmlWriteBool(s, "BacklashComp", BacklashComp);
  XmlWriteInteger(s, "Porportional", Porportional);
  XmlWriteInteger(s, "Integral", Integral);
  XmlWriteInteger(s, "StandardDeviation", StandardDeviation);
  XmlWriteInteger(s, "Background", Background);
}

// --- The guider ---------------------------------------------------------------------------

TAutoGuider::TAutoGuider(IGuideMount* mount, std::function<TCamera*(const std::string&)> cameraByName)
    : mount_(mount), cameraByName_(std::move(cameraByName)) {}

TAutoGuider::~TAutoGuider() {
  if (mount_ && mode_ != TGuideMode::Off) mount_->StopMove('?');
  Release();
}

void TAutoGuider::LoadSettings(const std::string& folder) {
  Set.Read(XmlLoadSettings(doc_, folder + kAutoGuideSettingsFile, "AutoGuide"));
}

void TAutoGuider::SaveSettings(const std::string& folder) {
  if (doc_.IsEmpty()) XmlNewDocument(doc_, "AutoGuide");
  Set.Write(XmlChild(doc_.Root(), "Selections"));
  XmlSaveSettings(doc_, folder + kAutoGuideSettingsFile);
}

void TAutoGuider::Release(bool quiet) {
  if (camera_ && token_.Has()) {
    camera_->SetConnected(false);
    if (!quiet) Log(CameraDisconnected(""));
    token_.Return(*camera_);
  }
  camera_ = nullptr;
  image_.reset();
  imageExpected_ = pending_ = starSelected_ = calibrated_ = false;
  boxLeft_ = boxTop_ = -1;
  boxSize_ = 0;
  centroidX_ = centroidY_ = -1;
  lockX_ = lockY_ = -1;
  originX_ = originY_ = -1;
  ImageSource = "None";
  sourceName_ = "None";
}

void TAutoGuider::RemoveCamera(const std::string& name, const std::string& reason) {
  // At the program's end a camera that is not guiding is let go without a
  // word.
  if (camera_ && sourceName_ == name) {
    if (reason == kCameraReleasedAtEnd && mode_ == TGuideMode::Off)
      Release();
    else
      CameraLost(camera_->LostReason().empty() ? reason : camera_->LostReason());
  }
  if (ImageSource == name) ImageSource = "None";
  CameraList.Remove(name);
}

void TAutoGuider::CameraLost(const std::string& reason) {
  if (mount_ && mode_ != TGuideMode::Off) mount_->StopMove('?');
  const bool running = mode_ != TGuideMode::Off;
  mode_ = TGuideMode::Off;
  firstExposure_ = false;
  Release(true);
  if (running) {
    Log("Error: Preview aborted");
    lostError_ = CameraDisconnectedError(reason);
    Log(lostError_);
  } else {
    Log(CameraDisconnected(reason));
    lostError_ = CameraConnectionError(reason);
  }
  status_ = lostError_;
}

void TAutoGuider::ChooseSource() {
  const std::string name = ImageSource;
  Release();
  ImageSource = sourceName_ = name;
  sourceChosen_ = name != "None";
  connectError_.clear();
  lostError_.clear();
  TCamera* cam = sourceChosen_ ? cameraByName_(name) : nullptr;
  if (!cam) {
    ImageSource = sourceName_ = "None";
    return;
  }
  if (cam->Connected() || cam->Settings.CameraToken != 1) {
    Release();
    Log("Error: camera in use");
    return;
  }
  if (!ConnectCamera(*cam, connectError_)) {
    Release();
    Log(CameraConnectionError(connectError_));
    return;
  }
  camera_ = cam;
  token_.Get(*cam);
  Log("Connect: " + name);
}

void TAutoGuider::Press(TGuideMode mode) {
  if (mount_) mount_->StopMove('?');
  originX_ = originY_ = -1;
  if (mode == TGuideMode::Calibrate && !starSelected_) return;
  if (mode == TGuideMode::Guide && !calibrated_) return;
  mode_ = mode;
  startError_.clear();
  if (mode != TGuideMode::Off) firstExposure_ = true;
  if (mode == TGuideMode::Calibrate) {
    calStep_ = 0;
    nextAction_ = platform::TimeGetTime();
  }
  if (mode == TGuideMode::Guide) {
    nextAction_ = platform::TimeGetTime();
    frames_ = 0;
  }
}

void TAutoGuider::ClearGuideBox() {
  boxLeft_ = boxTop_ = -1;
  boxSize_ = 0;
  centroidX_ = centroidY_ = -1;
  if (mode_ == TGuideMode::Select) {
    starSelected_ = false;
    lockX_ = lockY_ = -1;
    fwhmLabel_ = "-";
  }
}

void TAutoGuider::SetGuideBox(int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  int w = right - left, h = bottom - top;
  // Widened on the shorter side into a square, at most 180 pixels.
  if (w < h) {
    left -= (h - w) / 2;
    w = h;
  } else {
    top -= (w - h) / 2;
    h = w;
  }
  boxSize_ = std::min(w, 180);
  boxLeft_ = left + (w - boxSize_) / 2;
  boxTop_ = top + (h - boxSize_) / 2;
  centroidX_ = centroidY_ = -1;
}

void TAutoGuider::GuideRateChange(int index) {
  index = std::clamp(index, 0, 2);
  if (index != Set.GuideRate || lastRate_ < 0) {
    Set.GuideRate = index;
    lastRate_ = index;
    if (mount_) mount_->SetGuideRate(index + 1);
  }
}

void TAutoGuider::Pulse(char direction, int ms) {
  ms = std::min(ms, kMaxPulseMs);
  if (ms >= 1 && mount_) mount_->PulseGuide(direction, ms);
}

void TAutoGuider::Wait(uint32_t ms) { nextAction_ = platform::TimeGetTime() + ms; }

void TAutoGuider::Sequence() {
  // 1. The source.
  if (ImageSource != sourceName_) ChooseSource();
  // 2. The telescope.
  if ((!mount_ || !mount_->Connected()) && mode_ != TGuideMode::Off) {
    mode_ = TGuideMode::Off;
    Log("Error: No telescope connected");
    return;
  }
  // 3. The camera.
  if (!camera_) {
    status_ = !lostError_.empty() ? lostError_ : sourceChosen_ ? CameraConnectionError(connectError_) : "";
    ImageSource = "None";
    return;
  }
  // A camera that went away on its own (its driver lost the device).
  if (!camera_->Connected()) return CameraLost(camera_->LostReason());
  // 4. Off with an exposure pending.
  if (mode_ == TGuideMode::Off) {
    if (pending_) {
      if ((camera_->ExposureState == 1 || camera_->ExposureState == 2) && camera_->CanAbortExposure) {
        try {
          camera_->AbortExposure();
        } catch (const std::exception&) {
        }
      }
      if (camera_->ExposureState == 0) {
        pending_ = imageExpected_ = false;
        firstExposure_ = false;
      }
    }
    status_ = startError_.empty() ? "Idle" : startError_;
    return;
  }
  // 5. Exposing.
  if (camera_->ExposureState != 0) {
    status_ = "Exposing";
    return;
  }
  if (!firstExposure_) ImageStep();
  if (mode_ == TGuideMode::Off) return;
  if (firstExposure_) {
    Log("Exposure " + Set.Exposure + " seconds");
    if (!camera_->Connected()) return CameraLost(camera_->LostReason());
    pending_ = true;
    Log("Preview started");
  }
  double seconds = 0;
  if (!platform::ParseDouble(Set.Exposure, seconds) || seconds <= 0) {
    Log("Error: exposure \"" + Set.Exposure + "\" is not a number of seconds");
    mode_ = TGuideMode::Off;
    return;
  }
  seconds = std::clamp(seconds, camera_->ExposureMin, camera_->ExposureMax);
  // An exposure the camera does not start ends the run with the camera's
  // reason: no picture would come to wait for.
  std::string why;
  try {
    if (camera_->StartExposure(seconds, true))
      imageExpected_ = true;
    else
      why = camera_->LastFailure().empty() ? "the camera did not start the exposure" : camera_->LastFailure();
  } catch (const std::exception& e) {
    why = e.what();
  }
  firstExposure_ = false;
  if (why.empty()) return;
  if (!camera_->Connected()) return CameraLost(camera_->LostReason());
  if (mount_) mount_->StopMove('?');
  mode_ = TGuideMode::Off;
  pending_ = false;
  startError_ = "Error: " + why;
  Log(startError_);
  status_ = startError_;
}

bool TAutoGuider::FindStar() {
  if (!image_ || boxSize_ <= 0) return false;
  // The search box is centred on the star once it is known.
  int x0 = boxLeft_, y0 = boxTop_;
  if (centroidX_ >= 0) {
    x0 = int(std::floor(centroidX_)) - boxSize_ / 2;
    y0 = int(std::floor(centroidY_)) - boxSize_ / 2;
  }
  double x = -1, y = -1, hw = 0;
  TFitsHeader h = image_->Header;
  if (!FitsFindStar(h, image_->Data(), x0, y0, boxSize_, boxSize_, x, y, Set.StandardDeviation / 10.0,
                    Set.Background / 10.0, hw))
    return false;
  // The finder works on 8-bit display levels, and its result moves with the
  // box by up to half a pixel; the guide star's position is refined by the
  // first moments of the physical values around it (background from a ring).
  if (h.NAxis == 2 || h.NAxis3 <= 1) {
    const double r = std::max(3.0, 2.0 * hw);
    for (int pass = 0; pass < 2; ++pass) {
      double ring = 0, sw = 0, swx = 0, swy = 0;
      int ringCount = 0;
      std::vector<std::pair<std::array<double, 2>, double>> inner;
      for (int j = int(y - r - 3); j <= int(y + r + 3); ++j)
        for (int i = int(x - r - 3); i <= int(x + r + 3); ++i) {
          if (i < 0 || j < 0 || i >= h.NAxis1 || j >= h.NAxis2) continue;
          const double d = std::hypot(i + 0.5 - x, j + 0.5 - y);
          const double v = FitsValue(image_->Data().data(), h.BitPix, i + int64_t(h.NAxis1) * (h.NAxis2 - 1 - j));
          if (d <= r) {
            inner.push_back({{i + 0.5, j + 0.5}, v});
          } else if (d <= r + 3) {
            ring += v;
            ++ringCount;
          }
        }
      if (ringCount == 0) break;
      const double bg = ring / ringCount;
      for (const auto& [pos, v] : inner)
        if (v > bg) {
          sw += v - bg;
          swx += (v - bg) * pos[0];
          swy += (v - bg) * pos[1];
        }
      if (sw <= 0) break;
      x = swx / sw;
      y = swy / sw;
    }
  }
  centroidX_ = x;
  centroidY_ = y;
  fwhmLabel_ = "FWHM=" + platform::FormatFixed(hw, 0, 2) + " pixels";
  return true;
}

void TAutoGuider::ImageStep() {
  if (!imageExpected_) return;
  if (camera_->ExposureState == 0 && !camera_->Connected()) {
    // The camera went away during the exposure (and would refuse to be
    // asked for a picture).
    CameraLost(camera_->LostReason());
    return;
  }
  if (!camera_->GetImageReady()) return;
  imageExpected_ = false;
  status_ = "Image Aquired";
  image_ = CopyFitsImage(camera_->GetImage());

  switch (mode_) {
    case TGuideMode::Select:
      if (boxSize_ <= 0) break;
      centroidX_ = centroidY_ = -1;
      if (!FindStar()) {
        lockX_ = lockY_ = -1;
        starSelected_ = false;
        fwhmLabel_ = "-";
        break;
      }
      lockX_ = int(std::nearbyint(centroidX_));
      lockY_ = int(std::nearbyint(centroidY_));
      starSelected_ = true;
      calStep_ = 0;
      nextAction_ = platform::TimeGetTime();
      if (mount_) mount_->SetGuideRate(Set.GuideRate + 1);
      break;
    case TGuideMode::Calibrate:
      if (!starSelected_) break;
      if (!FindStar()) {
        if (mount_) mount_->StopMove('?');
        centroidX_ = centroidY_ = -1;
        mode_ = TGuideMode::Off;
        Log("Error: star lost");
        break;
      }
      if (Past(nextAction_)) CalibrationStep();
      break;
    case TGuideMode::Guide:
      if (!starSelected_ || !Past(nextAction_)) break;
      if (!FindStar()) {
        if (++lost_ >= 3) {
          mode_ = TGuideMode::Off;
          Log("Error: star lost");
        } else {
          Wait(500);
        }
        break;
      }
      lost_ = 0;
      GuideCorrection();
      break;
    case TGuideMode::Off:
      break;
  }
}

void TAutoGuider::FailCalibration(const std::string& why) {
  Log("Error: calibration failed, " + why);
  calibrated_ = false;
  originX_ = originY_ = -1;
  mode_ = TGuideMode::Off;
}

void TAutoGuider::CalibrationStep() {
  // The rates are the displacement over the pulse's own length.
  const double pulseSeconds = kCalibrationPulseMs / 1000.0;
  const double dx = centroidX_ - originX_, dy = centroidY_ - originY_;
  switch (calStep_) {
    case 0:
      Log("Calibration started:");
      Pulse('S', kCalibrationPulseMs);
      Wait(kSettleMs);
      Log("Clear backlash South 16S");
      break;
    case 1:
      Pulse('N', kCalibrationPulseMs);
      Wait(kSettleMs);
      Log("Clear backlash North 16S");
      break;
    case 2:
      originX_ = centroidX_;
      originY_ = centroidY_;
      Log("Calibration center set");
      Pulse('N', kCalibrationPulseMs);
      Wait(kSettleMs);
      Log("Move North 16S");
      break;
    case 3:
      decPps_ = std::hypot(dx, dy) / pulseSeconds;
      Log("Dec PPS=" + platform::FormatFixed(decPps_, 0, 1));
      if (decPps_ < kMinGuideRate) return FailCalibration("the star did not move in declination");
      decAngle_ = GuideAngle(dx, dy);
      Log("Dec angle=" + std::to_string(int(decAngle_)));
      Pulse('S', kCalibrationPulseMs);
      Wait(kSettleMs);
      Log("Move South 16S");
      break;
    case 4: {
      originX_ = originY_ = -1;
      // The way back fell short of the centre by the play of the gears: the
      // star is left on the side of the way out (north, along the Dec
      // angle). Less than a guide pulse's dead band is no play at all.
      const double left = std::hypot(dx, dy);
      const double diff = std::remainder(GuideAngle(dx, dy) - decAngle_, 360.0);
      const bool none = left / decPps_ < 0.1;
      if (!none && std::fabs(diff) >= 20.0) {
        Log("Error: Dec Backlash");
        Log("Dec Backlash turned off");
        backlash_ = 0;
        Wait(5000);
      } else {
        Log("Dec Backlash set");
        Log("Moving back to center");
        // The part of the way out still to go back, in ms of pulse.
        const double along = none ? 0.0 : left * std::cos(diff * M_PI / 180.0);
        backlash_ = std::min<int64_t>(int64_t(std::nearbyint(along / decPps_ * 1000.0)), 10000);
        Pulse('S', int(backlash_));
        Wait(uint32_t(backlash_) + 4000);
        Log("Move South " + platform::FormatFixed(backlash_ / 1000.0, 0, 1) + "S");
      }
      break;
    }
    case 5:
      originX_ = centroidX_;
      originY_ = centroidY_;
      Log("Calibration center set");
      Pulse('E', kCalibrationPulseMs);
      Wait(kSettleMs);
      Log("Move East 16S");
      break;
    case 6:
      raPps_ = std::hypot(dx, dy) / pulseSeconds;
      Log("RA PPS=" + platform::FormatFixed(raPps_, 0, 1));
      if (raPps_ < kMinGuideRate) return FailCalibration("the star did not move in right ascension");
      raAngle_ = GuideAngle(dx, dy);
      Log("RA angle=" + std::to_string(int(raAngle_)));
      Log("Moving back to center");
      Pulse('W', kCalibrationPulseMs);
      Wait(kSettleMs);
      Log("Move West 16s");
      break;
    case 7:
      calibrated_ = true;
      lost_ = 0;
      integral_ = 0;
      gain_ = 1.0;
      backlashTaken_ = 0;
      originX_ = originY_ = -1;
      Log("Calibration done.");
      mode_ = TGuideMode::Off;
      return;
  }
  ++calStep_;
}

void TAutoGuider::GuideCorrection() {
  const double p = Set.Porportional / 100.0;
  const double ex = lockX_ - centroidX_, ey = lockY_ - centroidY_;
  const double r = std::hypot(ex, ey);
  integral_ += Set.Integral / 600.0;
  if (integral_ >= 1.0) {
    integral_ = 0;
    gain_ = std::clamp(gain_ - 1.0 / 60.0 + r / 5.0, 1.0, 10.0);
  }
  const TGuideAxes axes{decPps_, raPps_, decAngle_, raAngle_, backlash_};
  const TGuidePulse pulse =
      GuidePulse(ex, ey, frames_ % 2 == 1, axes, p * gain_, Set.BacklashComp, backlashTaken_);
  if (pulse.backlashMs > 0) Log("Backlash " + std::to_string(pulse.backlashMs) + "mS");
  if (pulse.direction) {
    Pulse(pulse.direction, pulse.ms);
    Wait(uint32_t(pulse.ms) + 500);
  }
  ++frames_;
}

TGuidePulse GuidePulse(double ex, double ey, bool raAxis, const TGuideAxes& axes, double gain, bool backlashComp,
                       int64_t& backlashTaken) {
  TGuidePulse out;
  const double r = std::hypot(ex, ey);
  const double theta = GuideAngle(ex, ey) / kRadToDeg;
  // Seconds of pulse on each axis: the error projected on the axis over its rate.
  const double dec = r / axes.decPps * std::cos(theta - axes.decAngle / kRadToDeg) * gain;
  const double ra = r / axes.raPps * std::cos(theta - axes.raAngle / kRadToDeg) * gain;
  if (raAxis) {
    if (std::fabs(ra) > 0.1) {
      out.direction = ra > 0 ? 'E' : 'W';
      out.ms = std::min(int(std::nearbyint(std::fabs(ra) * 1000)), kMaxPulseMs);
    }
    return out;
  }
  if (std::fabs(dec) <= 0.1) return out;
  // A reversal in declination first takes up the gears' play: north pays
  // what is still owed, south gives back what north took.
  int64_t extra = 0;
  if (dec > 0) {
    extra = std::clamp<int64_t>(axes.backlash - backlashTaken, 0, axes.backlash);
    backlashTaken = axes.backlash;
  } else {
    extra = std::clamp<int64_t>(backlashTaken, 0, axes.backlash);
    backlashTaken = 0;
  }
  if (!backlashComp) extra = 0;
  out.backlashMs = extra;
  out.direction = dec > 0 ? 'N' : 'S';
  out.ms = int(std::min<int64_t>(int64_t(std::nearbyint(std::fabs(dec) * 1000)) + extra, kMaxPulseMs));
  return out;
}

}  // namespace imaging
