// The points-of-interest sequencer of TPOIForm: visits each point with the
// telescope and runs the imaging plan of the point through the imaging
// console. A state machine on a 1,000 ms timer: every tick stops the timer
// and restarts it only when the sequence goes on, so a wait is a restart and
// never a loop inside a tick; Stop and Pause act at once, also while the
// console is imaging.
//
// Step 1 slews (or asks the user to centre the object), step 2 waits for
// the goto to settle and runs each plan entry ("#exposures,time seconds,
// filter,purpose"), step 3 asks before the next point when the point says
// so, step 0 moves to the next point. A goto that ended anywhere but at its
// target (the mount's link lost, the mount disconnected, the goto given
// up) stops the sequence at step 2: the point is never imaged where the
// mount stopped.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "telescope/host.h"

class TTeleControl;

// One point as the sequencer reads it.
struct TSequencePoint {
  double ra = 0, dec = 0;  // J2000, radians
  std::string name;
  bool gotoFlag = true;    // slew there (else the user centres it)
  std::string plan;        // "#exposures,time seconds,filter,purpose;..."
  bool confirm = false;    // ask before going on
};

// Where the points come from (the main window's table).
class IPointSource {
 public:
  virtual ~IPointSource() = default;
  virtual int PointCount() = 0;
  // Point 1..PointCount().
  virtual TSequencePoint Point(int index) = 0;
  // Takes what the user typed into the table, a cell still being edited
  // included; Start calls it before the sequence reads any point.
  virtual void TakeEdits() {}
  // Selects and shows the point's row in the grid.
  virtual void ShowPoint(int) {}
  // True while a plate solve runs.
  virtual bool PlateSolveRunning() { return false; }
};

// What the sequencer asks of the imaging console.
class IImagingStep {
 public:
  virtual ~IImagingStep() = default;
  virtual bool CameraSelected() = 0;
  virtual std::vector<std::string> FilterItems() = 0;
  virtual std::vector<std::string> FrameTypeItems() = 0;
  // Prepares the console and starts its sequence.
  virtual void Start(int exposures, double seconds, const std::string& filter, const std::string& frameType) = 0;
  virtual bool Finished() = 0;
  // The console gave up (for example it released its camera).
  virtual bool Failed() = 0;
  // The sequencer was stopped while the console was imaging.
  virtual void Abort() {}
};

// A stand-in console until the imaging windows exist: records every start
// and finishes each after `ticksPerStep` polls.
class TRecordingImaging : public IImagingStep {
 public:
  struct Run {
    int exposures;
    double seconds;
    std::string filter, frameType;
  };
  bool cameraSelected = true;
  std::vector<std::string> filters = {"Luminance", "Red", "Green", "Blue"};
  std::vector<std::string> frameTypes = {"Light", "Dark", "Flat", "Bias"};
  int ticksPerStep = 1;
  bool failNext = false;
  std::vector<Run> runs;
  int aborts = 0;

  bool CameraSelected() override { return cameraSelected; }
  std::vector<std::string> FilterItems() override { return filters; }
  std::vector<std::string> FrameTypeItems() override { return frameTypes; }
  void Start(int exposures, double seconds, const std::string& filter, const std::string& frameType) override;
  bool Finished() override;
  bool Failed() override;
  void Abort() override { ++aborts; }

 private:
  int left_ = 0;
  bool failing_ = false;
};

class TSequencer : public QObject {
  Q_OBJECT
 public:
  TSequencer(IPointSource* points, TTeleControl* tele, IImagingStep* imaging, ITelescopeHost* host,
             QObject* parent = nullptr);

  bool stopOnWarning = false;
  // The longest an imaging entry may take beyond its exposures, ms.
  uint32_t imagingSlackMs = 300000;

  void StartButtonClick();
  void PauseButtonClick();
  void StopButtonClick();
  void Timer1Timer();

  bool Running() const { return running_; }
  bool Paused() const { return paused_; }
  bool CloseEnabled() const { return !running_ || paused_; }
  int SequenceIndex() const { return index_; }
  int SequenceStep() const { return step_; }
  std::string StatusText() const;
  bool TimerActive() const { return timer_.isActive(); }

 signals:
  void changed();

 private:
  void Log(const std::string& s) const;
  void StepLine() const;
  void Stop();
  void Continue();
  void Step1();
  void Step2();
  void Step3();
  // Whether the point's goto arrived; else says how it ended and stops.
  bool GotoArrived();
  // Starts entry `entry_` of the plan or the next valid one; false when the
  // sequence stopped.
  bool StartNextEntry();

  IPointSource* points_;
  TTeleControl* tele_;
  IImagingStep* imaging_;
  ITelescopeHost* host_;
  QTimer timer_;
  bool running_ = false, paused_ = false;
  int index_ = 0, step_ = 0;
  bool gotoSent_ = false;   // the point's goto was taken by the mount
  std::vector<std::string> entries_;
  int entry_ = -1;          // -1: the plan has not started
  int imagingRuns_ = 0;     // imaging runs the point's plan started
  bool imagingBusy_ = false;
  uint32_t imagingStart_ = 0, imagingLimit_ = 0;
};
