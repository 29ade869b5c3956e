#include "imaging/plate_solve_logic.h"

#include <algorithm>
#include <cmath>

#include "astro/text.h"
#include "imaging/settings_text.h"
#include "platform/numfmt.h"
#include "platform/timezone.h"
#include "platform/value_range.h"
#include "shell/log_lines.h"
#include "shell/xml_settings.h"

namespace imaging {

namespace {

constexpr double kDeg = M_PI / 180.0;

void Log(const std::string& text) { LogLines().AddLine("[Plate-Solve] " + text); }

// The last picture's background before the first exposure: red 50, green
// 50, blue 150.
constexpr uint32_t kEmptyPicture = (50u << 16) | (50u << 8) | 150u;

// A position from a device or a solve: finite, the declination within
// +-90 degrees (written so that NaN fails).
bool ValidPosition(double ra, double dec) { return std::isfinite(ra) && dec >= -M_PI / 2 && dec <= M_PI / 2; }

}  // namespace

int32_t PlateSolveFrameSize(int32_t value, int32_t minimum) {
  return std::clamp(value, minimum, kMaxFieldSize) / 8 * 8;
}

int32_t PlateSolveTimeToSolve(int32_t value) { return std::clamp(value, 1, kMaxTimeToSolve); }

// --- Settings ------------------------------------------------------------------------------

void TPlateSolveSelections::Read(const platform::XmlElement& s) {
  Local = XmlReadBool(s, "Local", false);
  Nova = XmlReadBool(s, "Nova", true);
  SuperNova = XmlReadBool(s, "SuperNova", false);
  ApiKey = XmlReadString(s, "ApiKey", "");
  Python = ReadText(s, "Python", "python3");
  Exposure = XmlReadFloat(s, "Exposure", 1.0, 0, kMaxExposureSeconds);
  DropLocation = XmlReadString(s, "DropLocation", "");
  if (!DropLocation.empty() && DropLocation.back() != '/') DropLocation += '/';
  FieldSize = XmlReadFloat(s, "FieldSize", 5.0, kMinSearchRadius, kMaxSearchRadius);
  PositionalError = XmlReadFloat(s, "PositionalError", 1.0, kMinPositionalError, kMaxPositionalError);
  Options = XmlReadString(s, "AstrometryDotNetOptions", "");
  TimeToSolve = XmlReadInteger(s, "TimeToSolve", 60, 1, kMaxTimeToSolve);
  PositionRA = XmlReadFloat(s, "PositionRA", 0.0, 0, 360);
  PositionDEC = XmlReadFloat(s, "PositionDEC", 0.0, -90, 90);
  NumberComparisonStars = XmlReadInteger(s, "NumberComparisonStars", 10, 0, kMaxComparisonStars);
  FieldSizeX = XmlReadInteger(s, "FieldSizeX", 320, kMinFieldSizeX, kMaxFieldSize);
  FieldSizeY = XmlReadInteger(s, "FieldSizeY", 240, kMinFieldSizeY, kMaxFieldSize);
  SlewRAGain = XmlReadNumberText(s, "SlewRAGain", "0.0", 0, kMaxSlewGain);
  SlewDECGain = XmlReadNumberText(s, "SlewDECGain", "0.0", 0, kMaxSlewGain);
  SlewRAReverse = XmlReadBool(s, "SlewRAReverse", false);
  SlewDecReverse = XmlReadBool(s, "SlewDecReverse", false);
  SlewTwice = XmlReadBool(s, "SlewTwice", false);
  SlewHSS = XmlReadBool(s, "SlewHSS", false);
}

void TPlateSolveSelections::Write(const platform::XmlElement& s) const {
  XmlWriteBool(s, "Local", Local);
  XmlWriteBool(s, "Nova", Nova);
  XmlWriteBool(s, "SuperNova", SuperNova);
  XmlWriteString(s, "ApiKey", ApiKey);
  XmlWriteString(s, "Python", Python);
  XmlWriteFloat(s, "Exposure", Exposure);
  XmlWriteString(s, "DropLocation", DropLocation);
  XmlWriteFloat(s, "FieldSize", FieldSize);
  XmlWriteFloat(s, "PositionalError", PositionalError);
  XmlWriteString(s, "AstrometryDotNetOptions", Options);
  XmlWriteInteger(s, "TimeToSolve", TimeToSolve);
  XmlWriteFloat(s, "PositionRA", PositionRA);
  XmlWriteFloat(s, "PositionDEC", PositionDEC);
  XmlWriteInteger(s, "NumberComparisonStars", NumberComparisonStars);
  XmlWriteInteger(s, "FieldSizeX", FieldSizeX);
  XmlWriteInteger(s, "FieldSizeY", FieldSizeY);
  XmlWriteString(s, "SlewRAGain", SlewRAGain);
  XmlWriteString(s, "SlewDECGain", SlewDECGain);
  XmlWriteBool(s, "SlewRAReverse", SlewRAReverse);
  XmlWriteBool(s, "SlewDecReverse", SlewDecReverse);
  XmlWriteBool(s, "SlewTwice", SlewTwice);
  XmlWriteBool(s, "SlewHSS", SlewHSS);
}

uint8_t TPlateSolveSelections::Parity() const {
  if (Options == " --parity 1") return 1;
  if (Options == " --parity 0") return 2;
  return 0;
}

// --- The window's logic --------------------------------------------------------------------

TPlateSolveLogic::TPlateSolveLogic(IPlateSolveMount* mount, TConsoleLink console,
                                   std::function<TCamera*(const std::string&)> cameraByName)
    : mount_(mount), console_(std::move(console)), cameraByName_(std::move(cameraByName)),
      lastImage_(320, 240) {
  lastImage_.Fill(kEmptyPicture);
  lastSolveTick_ = platform::TimeGetTime();
  moveTimer_.setSingleShot(true);
  QObject::connect(&moveTimer_, &QTimer::timeout, this, [this] { NextMove(); });
}

TPlateSolveLogic::~TPlateSolveLogic() {
  moveTimer_.stop();
  // Stop any guided move still running, then let go of the camera.
  for (const Move& m : moves_)
    if (!m.start && mount_) mount_->StopMove(m.direction);
  moves_.clear();
  job_.reset();
  if (camera_ && token_.Has()) {
    camera_->SetConnected(false);
    token_.Return(*camera_);
  }
}

void TPlateSolveLogic::LoadSettings(const std::string& folder) {
  Sel.Read(XmlLoadSettings(doc_, folder + kPlateSolveSettingsFile, "PlateSolve"));
}

void TPlateSolveLogic::SaveSettings(const std::string& folder) {
  if (doc_.IsEmpty()) XmlNewDocument(doc_, "PlateSolve");
  Sel.Write(XmlChild(doc_.Root(), "Selections"));
  XmlSaveSettings(doc_, folder + kPlateSolveSettingsFile);
}

void TPlateSolveLogic::NoCamera() {
  if (camera_ && token_.Has()) {
    camera_->SetConnected(false);
    token_.Return(*camera_);
  }
  camera_ = nullptr;
  imageExpected_ = false;
  lastImage_ = platform::Bitmap(320, 240);
  lastImage_.Fill(kEmptyPicture);
  // A console waiting for this solver is let go.
  if (console_.pauseRequest && (*console_.pauseRequest == 1 || *console_.pauseRequest == 2))
    *console_.pauseRequest = 3;
}

void TPlateSolveLogic::Report(const std::string& line) {
  Log(line);
  status_ = line;
}

void TPlateSolveLogic::RemoveCamera(const std::string& name, const std::string& reason) {
  if (cameraName_ == name) {
    // (Said once: an exposure that met the loss has said it already; at
    // the program's end, only a solve under way is said to end so.) A
    // camera that goes while no solve is under way is said as one given
    // up: "Camera disconnected" in the log, "Error: camera connection" in
    // the status.
    const bool solving = busy_ || solveRequested_ || imageExpected_;
    if (camera_ && (reason != kCameraReleasedAtEnd || solving)) {
      const std::string why = camera_->LostReason().empty() ? reason : camera_->LostReason();
      const std::string error = CameraDisconnectedError(why);
      if (status_ != error) {
        if (solving) {
          Report(error);
        } else {
          Log(CameraDisconnected(why));
          status_ = CameraConnectionError(why);
        }
      }
    }
    EndSolve();
    NoCamera();
    cameraName_ = "None";
    solveRequested_ = false;
    refinePhase_ = 0;
    cameraListEnabled_ = true;
  }
  if (ImageSource == name) ImageSource = "None";
  CameraList.Remove(name);
}

void TPlateSolveLogic::ChooseCamera(const std::string& name) {
  if (camera_ && token_.Has()) {
    camera_->SetConnected(false);
    token_.Return(*camera_);
  }
  if (camera_) Log("Camera disconnected");
  camera_ = nullptr;
  imageExpected_ = false;
  cameraName_ = name;
  status_.clear();
  TCamera* cam = name == "None" ? nullptr : cameraByName_(name);
  if (!cam) {
    NoCamera();
    return;
  }
  if (cam->Connected()) {
    const TCamera* consoleCam = console_.chosenCamera ? console_.chosenCamera() : nullptr;
    if (cam != consoleCam) {
      Report("Error: camera in use");
      NoCamera();
      return;
    }
  } else {
    if (cam->Settings.CameraToken != 1) {
      Report("Error: camera in use");
      NoCamera();
      return;
    }
    token_.Get(*cam);
    std::string why;
    if (!ConnectCamera(*cam, why)) {
      token_.Return(*cam);
      Report(CameraConnectionError(why));
      NoCamera();
      return;
    }
  }
  camera_ = cam;
  Log("Connect: " + name);
  lastImage_ = platform::Bitmap(std::max(1, cam->GetXSize()), std::max(1, cam->GetYSize()));
  lastImage_.Fill(kEmptyPicture);
  // The camera is connected again for each exposure.
  if (token_.Has()) {
    cam->SetConnected(false);
    token_.Return(*cam);
  }
}

void TPlateSolveLogic::AbortClick() {
  if (job_ && job_->Busy()) status_ = "Aborted";
  // A solve still waiting for the camera is given up, and a console paused
  // for it resumed (one that has not paused yet keeps its camera).
  if (solveRequested_) {
    solveRequested_ = false;
    status_ = "Aborted";
    if (camera_ && console_.pauseRequest && *console_.pauseRequest == 1)
      *console_.pauseRequest = camera_->Settings.CameraToken == 1 ? 2 : 0;
  }
  EndSolve();
}

void TPlateSolveLogic::EndSolve() {
  caption_ = "Plate Solving";
  if (job_ && job_->Busy()) {
    // The job stops its client at once on its next tick.
    job_->Abort();
    job_->TimerTick();
  }
  job_.reset();
  solveButtonEnabled_ = true;
  busy_ = false;
}

void TPlateSolveLogic::PlateSolveTimer1Timer() {
  // 1. The camera list.
  if (ImageSource != cameraName_) ChooseCamera(ImageSource);
  if (!camera_) return;

  // 2. A requested solve waits for a camera someone else holds.
  if (solveRequested_ && !token_.Has() && camera_->Settings.CameraToken != 1) {
    const TCamera* consoleCam = console_.chosenCamera ? console_.chosenCamera() : nullptr;
    if (consoleCam == camera_ && console_.pauseRequest && *console_.pauseRequest == 0) {
      *console_.pauseRequest = 1;
      Log("Pausing Imaging-Console");
      Log("Waiting to start exposure");
      status_ = "Waiting for the imaging console to pause";
    } else if (consoleCam != camera_) {
      status_ = "Waiting for the camera: another window uses it";
    }
    return;
  }

  // 3. The telescope's state.
  const bool connected = mount_ && mount_->Connected();
  const bool moving = connected && mount_->Moving();
  lastConnected_ = connected;
  if (moving != lastMoving_) {
    Log(moving ? "Telescope is moving" : "Telescope has stopped");
    if (!moving) gotoEnded_ = true;
    lastMoving_ = moving;
  }

  // 4. Position hints (a position the mount cannot give keeps the last),
  // in the solver's J2000: the mount's position is the chart's.
  if (TeleCoords && connected) {
    double ra = 0, dec = 0;
    mount_->Position(ra, dec);
    if (ValidPosition(ra, dec)) {
      ChartToJ2000(ra, dec);
      Sel.PositionRA = ra / kDeg;
      Sel.PositionDEC = dec / kDeg;
    }
  }

  // 5. A running job.
  if (job_) {
    if (job_->Busy()) {
      caption_ = "Plate Solving (Timeout in " + std::to_string(job_->SecondsLeft()) + ")";
      return;
    }
    const bool heldBefore = lastSolved_;
    lastSolved_ = job_->Solved();
    lastRa_ = job_->RaJ2000();
    lastDec_ = job_->DecJ2000();
    lastRaDate_ = job_->SolvedRA();
    lastDecDate_ = job_->SolvedDec();
    if (lastSolved_)
      status_ = "Solved: R.A." + FormatRA_HMSs(lastRa_) + ", Dec " + FormatDMS(lastDec_) + " (J2000.0)";
    else
      status_ = "Not solved: " + (job_->FailureText().empty() ? std::string("no solution") : job_->FailureText());
    if (lastSolved_) CorrectPointing();
    EndSolve();
    if ((lastSolved_ || heldBefore) && OnSolvedPositionChanged) OnSolvedPositionChanged();
  }

  // 6. An exposure that ended.
  if (imageExpected_) {
    const bool lost = !camera_->Connected();
    if (!lost && camera_->ExposureState != 0) return;  // still exposing
    imageExpected_ = false;
    if (!lost && camera_->GetImageReady()) {
      Log("Image aquired");
      camera_->AutoRange = true;
      TFitsBitmap& img = camera_->GetImage();
      lastImage_ = platform::Bitmap(img.Width(), img.Height());
      lastImage_.Image() = img.Bitmap().Image().copy();
      TPlateSolveSettings s;
      s.interpreter = Sel.Python;
      s.apiKey = Sel.ApiKey;
      s.secondServer = Sel.SuperNova;
      s.raHint = Sel.PositionRA * kDeg;
      s.decHint = Sel.PositionDEC * kDeg;
      s.radius = Sel.FieldSize;
      s.comparisonStars = Sel.NumberComparisonStars;
      s.parity = Sel.Parity();
      s.timeoutSeconds = Sel.TimeToSolve;
      s.fieldWidth = camera_->FieldWidth;
      s.fieldHeight = camera_->FieldHeight;
      s.clientFolder = ClientFolder;
      s.clientScript = ClientScript;
      job_.reset();
      job_ = std::make_unique<TPlateSolve>(s, img.Header, img.Bitmap(), JobTickMs);
      // The answer is taken up at once, after the job's own handler.
      job_->OnDone = [this] {
        QTimer::singleShot(0, this, [this] { OnJobDone ? OnJobDone() : PlateSolveTimer1Timer(); });
      };
      busy_ = true;
      status_ = "Solving";
    } else if (lost) {
      // The camera went away during the exposure: no solve.
      Report(CameraDisconnectedError(camera_->LostReason()));
      solveButtonEnabled_ = true;
    } else {
      // The exposure failed: no solve.
      Log("Error: camera connection");
      status_ = "Error: camera connection (the exposure gave no picture)";
      solveButtonEnabled_ = true;
    }
    if (token_.Has()) {
      camera_->SetConnected(false);
      token_.Return(*camera_);
    }
    if (console_.pauseRequest && *console_.pauseRequest == 1) {
      Log("Resuming Imaging Console");
      *console_.pauseRequest = 2;
    }
    cameraListEnabled_ = true;
    return;
  }
  if (job_ || busy_) return;

  // 7. The automatic modes.
  const uint32_t now = platform::TimeGetTime();
  if (!solveRequested_) {
    switch (Mode) {
      case TAutoMode::Timed:
        if (Sel.TimeToSolve > 999) {
          Log("Timed solve failed, time between solves must be <= 999S");
          Mode = TAutoMode::None;
        } else if (now - lastSolveTick_ >= 305000u) {
          Log("5 minutes elapsed, initiating solve");
          solveRequested_ = true;
        }
        break;
      case TAutoMode::Solve:
        if (connected && gotoEnded_ && !moving) {
          gotoEnded_ = false;
          solveRequested_ = true;
        }
        break;
      case TAutoMode::Sync:
      case TAutoMode::Goto:
      case TAutoMode::Slew:
        if (connected && !GuideMoving() && ((gotoEnded_ && !moving) || refinePhase_ == 1)) {
          if (ownGoto_) {
            ownGoto_ = false;
          } else if (refinePhase_ == 1) {
            Log("Guide phase 2.");
            cameraListEnabled_ = false;
            solveRequested_ = true;
          } else {
            Log("Auto-request plate solve...");
            solveRequested_ = true;
          }
          gotoEnded_ = false;
        }
        break;
      case TAutoMode::None:
        break;
    }
  }

  // 8. Start the exposure.
  if (solveRequested_) StartSolve();
}

void TPlateSolveLogic::StartSolve() {
  cameraListEnabled_ = false;
  solveButtonEnabled_ = false;
  if (!token_.Has() && camera_->Settings.CameraToken == 1) token_.Get(*camera_);
  std::string why;
  if (!camera_->Connected() && !ConnectCamera(*camera_, why)) {
    Report(why.empty() ? "Can't connect to camera" : "Can't connect to camera: " + why);
    if (token_.Has()) token_.Return(*camera_);
    cameraListEnabled_ = true;
    solveButtonEnabled_ = true;
    solveRequested_ = false;
    return;
  }
  solveRequested_ = false;
  // Timed solves count from this attempt, solved or not.
  lastSolveTick_ = platform::TimeGetTime();
  Report("Exposure " + platform::FormatGeneral(Sel.Exposure, 6) + " seconds");
  try {
    camera_->StartExposure(Sel.Exposure, true);
    imageExpected_ = true;
  } catch (const std::exception& e) {
    Report(std::string("Error: ") + e.what());
    camera_->SetConnected(false);
    if (token_.Has()) token_.Return(*camera_);
    cameraListEnabled_ = true;
    solveButtonEnabled_ = true;
  }
}

void TPlateSolveLogic::CorrectPointing() {
  if (job_) CorrectPointingTo(job_->SolvedRA(), job_->SolvedDec());
}

void TPlateSolveLogic::CorrectPointingTo(double solvedRa, double solvedDec) {
  if (Mode == TAutoMode::None || Mode == TAutoMode::Solve) return;
  if (!mount_ || !mount_->Connected()) {
    Log("Telescope not connected, no correction");
    return;
  }
  double targetRa = 0, targetDec = 0;
  mount_->GotoTarget(targetRa, targetDec);
  if (!ValidPosition(solvedRa, solvedDec) || !ValidPosition(targetRa, targetDec)) {
    Log("Aborted, position not valid");
    refinePhase_ = 0;
    return;
  }
  // Right ascensions in degrees, the pair brought to the same side of 0h.
  double ra1 = solvedRa / kDeg, ra2 = targetRa / kDeg;
  if (ra1 > 270 && ra2 < 90) ra2 += 360;
  if (ra2 > 270 && ra1 < 90) ra1 += 360;
  const double dec1 = solvedDec / kDeg, dec2 = targetDec / kDeg;

  if (Mode == TAutoMode::Sync) {
    if (!mount_->CanSync()) {
      Log("Can't sync telescope, not supported");
      return;
    }
    Log("Telescope sync then goto location");
    if (std::fabs(ra1 - ra2) > 10 || std::fabs(dec1 - dec2) > 10) {
      Log("Aborted, corrected pos. > 10 deg");
      return;
    }
    double sra = solvedRa, sdec = solvedDec, tra = targetRa, tdec = targetDec;
    AngleAdj(sra);
    AngleAdj(tra);
    if (mount_->SyncRaDec(sra, sdec) && mount_->GotoRaDec(tra, tdec)) ownGoto_ = true;
    return;
  }

  if (Mode == TAutoMode::Goto) {
    Log("Telescope goto corrected position");
    double teleRa = 0, teleDec = 0;
    mount_->Position(teleRa, teleDec);
    if (!ValidPosition(teleRa, teleDec)) {
      Log("Aborted, position not valid");
      return;
    }
    double dra = solvedRa - teleRa;
    dra = std::remainder(dra, 2 * M_PI);
    double newRa = teleRa - dra, newDec = teleDec - (solvedDec - teleDec);
    newRa = std::fmod(newRa, 2 * M_PI);
    if (newRa < 0) newRa += 2 * M_PI;
    double c1 = newRa / kDeg, c2 = targetRa / kDeg;
    if (c1 > 270 && c2 < 90) c2 += 360;
    if (c2 > 270 && c1 < 90) c1 += 360;
    if (std::fabs(c1 - c2) > 10 || std::fabs(newDec / kDeg - dec2) > 10 || std::fabs(newDec) > M_PI / 2) {
      Log("Aborted, corrected pos. > 10 deg");
      Log("RA1= " + platform::FormatFixed(c1, 0, 4));
      Log("RA2= " + platform::FormatFixed(c2, 0, 4));
      Log("NewDec =" + platform::FormatFixed(dec1, 0, 4));
      Log("LastDec=" + platform::FormatFixed(dec2, 0, 4));
      return;
    }
    if (mount_->GotoRaDec(newRa, newDec)) ownGoto_ = true;
    return;
  }

  // Guided correction.
  Log("Telescope guide to corrected position");
  if (Sel.SlewTwice && refinePhase_ == 1) {
    targetRa = storedRa_;
    targetDec = storedDec_;
    refinePhase_ = 2;
  }
  const double dRa = std::remainder(targetRa - solvedRa, 2 * M_PI);
  const double dDec = targetDec - solvedDec;
  if (std::fabs(dRa) > 2 * kDeg || std::fabs(dDec) > 2 * kDeg) {
    Log("Aborted, corrected pos. > 2 deg");
    refinePhase_ = 0;
    return;
  }
  double raGain = 0, decGain = 0;
  if (!platform::ParseDouble(Sel.SlewRAGain, raGain) || !platform::InRange(raGain, 0.0, kMaxSlewGain)) {
    Sel.SlewRAGain = "0.0";
    Log("RA gain must lie within 0..5");
    return;
  }
  if (!platform::ParseDouble(Sel.SlewDECGain, decGain) || !platform::InRange(decGain, 0.0, kMaxSlewGain)) {
    Sel.SlewDECGain = "0.0";
    Log("Dec gain must lie within 0..5");
    return;
  }
  mount_->SetGuideRate(Sel.SlewHSS ? 6 : 5);
  // Toward the target: west lowers the right ascension, north raises the
  // declination; the Reverse boxes are for mounts wired the other way.
  char raDir = dRa < 0 ? 'W' : 'E';
  if (Sel.SlewRAReverse) raDir = raDir == 'E' ? 'W' : 'E';
  char decDir = dDec < 0 ? 'S' : 'N';
  if (Sel.SlewDecReverse) decDir = decDir == 'S' ? 'N' : 'S';
  lastRaMs_ = int(std::nearbyint(std::fabs(dRa / kDeg * 60 * 1000 * raGain)));
  lastDecMs_ = int(std::nearbyint(std::fabs(dDec / kDeg * 60 * 1000 * decGain)));
  lastRaDir_ = raDir;
  lastDecDir_ = decDir;
  if (Sel.SlewTwice) {
    if (refinePhase_ == 0) {
      storedRa_ = targetRa;
      storedDec_ = targetDec;
      refinePhase_ = 1;
    } else if (refinePhase_ == 2) {
      refinePhase_ = 0;
      Log("Guide done.");
    }
  }
  // Each move starts, runs its time, stops, and 100 ms pass before the next.
  moves_ = {{raDir, true, lastRaMs_}, {raDir, false, 100}, {decDir, true, lastDecMs_}, {decDir, false, 100}};
  NextMove();
}

void TPlateSolveLogic::NextMove() {
  if (moves_.empty()) return;
  const Move m = moves_.front();
  moves_.erase(moves_.begin());
  if (m.start)
    mount_->StartMove(m.direction);
  else
    mount_->StopMove(m.direction);
  if (!moves_.empty()) moveTimer_.start(m.waitMs);
}

}  // namespace imaging
