// The logic of the "Plate Solving" window (TPlateSolveForm1) without
// widgets: its settings ("PlateSolveSettings.xml"), the camera it shares
// through the camera token, the once-a-second sequence
// (PlateSolveTimer1Timer) that exposes, hands the picture to a TPlateSolve
// job and reacts to the telescope, and CorrectPointing, which syncs, goes
// to a corrected position or guides there after a solve. Log lines carry the
// prefix "[Plate-Solve] ".
//
// The telescope is reached through IPlateSolveMount (the forms library
// adapts the telescope window's logic to it), the imaging console through
// TConsoleLink. Guided corrections run as a timed state machine: nothing
// here blocks the GUI thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/camera.h"
#include "imaging/plate_solve.h"
#include "platform/bitmap.h"
#include "platform/xml.h"

namespace imaging {

inline constexpr const char* kPlateSolveSettingsFile = "PlateSolveSettings.xml";

// What the plate solver needs of the telescope (angles in radians, in the
// chart's coordinates).
class IPlateSolveMount {
 public:
  virtual ~IPlateSolveMount() = default;
  virtual bool Connected() = 0;
  // A goto is running.
  virtual bool Moving() = 0;
  virtual void Position(double& ra, double& dec) = 0;
  virtual void GotoTarget(double& ra, double& dec) = 0;
  virtual bool CanSync() = 0;
  virtual bool SyncRaDec(double ra, double dec) = 0;
  virtual bool GotoRaDec(double ra, double dec) = 0;
  virtual bool SetGuideRate(int step) = 0;
  virtual void StartMove(char direction) = 0;
  virtual void StopMove(char direction) = 0;
};

// What the plate solver needs of the imaging console: its chosen camera
// (may be null) and its pause request (0 none, 1 asked, 2 resume, 3 ended
// for want of a camera).
struct TConsoleLink {
  std::function<TCamera*()> chosenCamera;
  int* pauseRequest = nullptr;
};

enum class TAutoMode { None, Solve, Timed, Sync, Goto, Slew };

// The ranges of the window's fields (a stored value outside one reads as
// its default): search radius and positional error (degrees), the solve's
// time-out (s), the frame size (pixels), the guided move's gains.
inline constexpr double kMinSearchRadius = 0.1, kMaxSearchRadius = 20.0;
inline constexpr double kMinPositionalError = 1.0, kMaxPositionalError = 20.0;
inline constexpr int32_t kMaxTimeToSolve = 999;
inline constexpr int32_t kMinFieldSizeX = 320, kMinFieldSizeY = 240, kMaxFieldSize = 10000;
inline constexpr int32_t kMaxComparisonStars = 1000;
inline constexpr double kMaxSlewGain = 5.0;

// The window's settings, element by element of "Selections".
struct TPlateSolveSelections {
  bool Local = false, Nova = true, SuperNova = false;
  std::string ApiKey;
  std::string Python = "python3";
  double Exposure = 1.0;
  std::string DropLocation;
  double FieldSize = 5.0;
  double PositionalError = 1.0;
  std::string Options;  // "", " --parity 1" (negative) or " --parity 0" (positive)
  int32_t TimeToSolve = 60;
  double PositionRA = 0.0, PositionDEC = 0.0;  // degrees
  int32_t NumberComparisonStars = 10;
  int32_t FieldSizeX = 320, FieldSizeY = 240;
  std::string SlewRAGain = "0.0", SlewDECGain = "0.0";
  bool SlewRAReverse = false, SlewDecReverse = false, SlewTwice = false, SlewHSS = false;

  void Read(const platform::XmlElement& selections);
  void Write(const platform::XmlElement& selections) const;
  // 0 both, 1 negative, 2 positive.
  uint8_t Parity() const;
};

// The field rules of the window (each returns the corrected value).
int32_t PlateSolveFrameSize(int32_t value, int32_t minimum);  // rounded down to a multiple of 8
int32_t PlateSolveTimeToSolve(int32_t value);                  // 1..999

class TPlateSolveLogic : public QObject {
 public:
  // `cameraByName` maps a list name to the program's camera (null when it
  // does not exist).
  TPlateSolveLogic(IPlateSolveMount* mount, TConsoleLink console,
                   std::function<TCamera*(const std::string&)> cameraByName);
  ~TPlateSolveLogic() override;

  // FormCreate / FormDestroy: the settings file in `folder`.
  void LoadSettings(const std::string& folder);
  void SaveSettings(const std::string& folder);
  // The imaging console, linked once it exists.
  void SetConsole(TConsoleLink console) { console_ = std::move(console); }

  TPlateSolveSelections Sel;
  TAutoMode Mode = TAutoMode::None;
  // Where the job puts its picture and the client its submissions, and the
  // client script (empty: next to the program). The job's tick in ms.
  std::string ClientFolder;
  std::string ClientScript;
  int JobTickMs = 1000;
  // Manual position hints instead of the telescope's.
  bool TeleCoords = true;
  // Runs the sequence's step as soon as a job has ended (the window sets
  // it to its own timer handler); empty: PlateSolveTimer1Timer.
  std::function<void()> OnJobDone;

  TCameraList CameraList;
  // The list's current text (the window's ImageSource).
  std::string ImageSource = "None";

  bool AddCamera(const std::string& name) { return CameraList.Add(name); }
  // Lets the camera go at once when it is the chosen one: a solve under
  // way or waiting for it ends, the camera list is free again, and the
  // status and the log say why (`reason`).
  void RemoveCamera(const std::string& name, const std::string& reason = "");
  bool IsCameraSelected(const std::string& name) const { return ImageSource == name; }

  // PlateSolveTimer1Timer: one step of the sequence (every 1,000 ms).
  void PlateSolveTimer1Timer();
  // The solve button stays off until the solve has ended (also while it
  // waits for the imaging console to give up the camera).
  void SolveNowClick() {
    solveRequested_ = true;
    solveButtonEnabled_ = false;
  }
  // AbortClick: ends the running solve, or the one waiting for its camera.
  void AbortClick();
  // The correction after a solve: CorrectPointingTo the job's position of
  // date.
  void CorrectPointing();
  void CorrectPointingTo(double solvedRa, double solvedDec);

  TCamera* Camera() const { return camera_; }
  bool HasCameraToken() const { return token_.Has(); }
  TPlateSolve* Job() const { return job_.get(); }
  // The last job's J2000 position (radians); false when it did not solve.
  bool LastSolve(double& ra, double& dec) const {
    ra = lastRa_, dec = lastDec_;
    return lastSolved_;
  }
  // The solved position held for the chart (of date, radians): the last
  // job's when it solved; false while none is held.
  bool SolvedPosition(double& ra, double& dec) const {
    ra = lastRaDate_, dec = lastDecDate_;
    return lastSolved_;
  }
  // Called when the held solved position changes (the chart draws it).
  std::function<void()> OnSolvedPositionChanged;
  const std::string& Caption() const { return caption_; }
  // The window's status line: what the solver does now, or how the last
  // solve ended, with the reason when it failed.
  const std::string& Status() const { return status_; }
  bool Busy() const { return busy_; }
  bool GuideMoving() const { return !moves_.empty(); }
  bool SolveButtonEnabled() const { return solveButtonEnabled_; }
  bool CameraListEnabled() const { return cameraListEnabled_; }
  const platform::Bitmap& LastImage() const { return lastImage_; }
  // Milliseconds each guided move lasts (the last correction's), RA then Dec.
  int LastRaMoveMs() const { return lastRaMs_; }
  int LastDecMoveMs() const { return lastDecMs_; }
  char LastRaDirection() const { return lastRaDir_; }
  char LastDecDirection() const { return lastDecDir_; }

 private:
  void ChooseCamera(const std::string& name);
  void NoCamera();
  void EndSolve();
  void StartSolve();
  void NextMove();
  platform::XmlDocument doc_;
  IPlateSolveMount* mount_;
  TConsoleLink console_;
  std::function<TCamera*(const std::string&)> cameraByName_;
  TCamera* camera_ = nullptr;
  std::string cameraName_ = "None";
  TCameraToken token_;
  std::unique_ptr<TPlateSolve> job_;
  bool solveRequested_ = false, imageExpected_ = false;
  bool lastConnected_ = false, lastMoving_ = false, gotoEnded_ = false, ownGoto_ = false;
  uint32_t lastSolveTick_ = 0;
  int refinePhase_ = 0;
  double storedRa_ = 0, storedDec_ = 0;
  bool busy_ = false;
  bool lastSolved_ = false;
  double lastRa_ = 0, lastDec_ = 0, lastRaDate_ = 0, lastDecDate_ = 0;
  std::string status_;
  // Logs `line` and shows it in the status line.
  void Report(const std::string& line);
  bool solveButtonEnabled_ = true, cameraListEnabled_ = true;
  std::string caption_ = "Plate Solving";
  platform::Bitmap lastImage_;
  // The guided correction: (direction, start or stop, wait after in ms).
  struct Move {
    char direction;
    bool start;
    int waitMs;
  };
  std::vector<Move> moves_;
  QTimer moveTimer_;
  int lastRaMs_ = 0, lastDecMs_ = 0;
  char lastRaDir_ = 0, lastDecDir_ = 0;
};

}  // namespace imaging
