// The logic of the telescope window TTeleForm1: connecting a mount driver
// (with LX200 and OnStep detection), the 900 ms status poll, goto with its
// settling, sync, park and home, OnStep alignment, guide rates, moves,
// pulse guiding and the OnStep periodic-error-correction table.
//
// Every driver call is guarded: a failure logs its line (prefix
// "[Ascom.Telescope] ") and the operation goes on with a neutral value.
// All calls run on the GUI thread. The four timers are QTimers owned here;
// tests call the tick handlers directly.
//
// A call to a mount on a real line waits for its reply while the GUI thread
// handles its events (platform/automation.h), so a timer, a click or a
// Disconnect can come in the middle of any operation here. The logic keeps
// itself sound through that: a poll never starts while another conversation
// with the mount is unanswered and gives up its tick when another one ran
// meanwhile; an operation stops quietly once its connection has ended; the
// driver object stays alive across each call; the chart's pointing
// correction talks to no mount (it uses what the poll last read).
#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation.h"
#include "telescope/host.h"

class TAssistModel;

// Colours of the window's status shapes.
// Unknown: the mount does not tell (drawn grey with a question mark).
enum class TShape : uint8_t { ButtonFace, Green, Yellow, Red, Maroon, Unknown };

// A device's link found lost, as the log line and the window's red line
// say it: with the driver's reason where it gives one ("Error, connection
// lost: INDI server connection lost"; else "Connection lost").
struct TLinkLostText {
  std::string log, fault;
};
TLinkLostText LinkLostText(const std::string& why);

// The enabled and checked states of the window's controls, mirrored by the form.
struct TTeleControls {
  bool connect = true, disconnect = false, select = true, name = true;
  bool setTimeBox = true, latLongBox = true;
  bool track = false, park = false, unpark = false, setPark = false, findHome = false;
  bool polarHome = false, align = false, trackRate = false, acceptStar = false;
  bool pecClear = false, pecBack = false, pecFwd = false, pecExport = false, pecImport = false;
  bool pecPlay = false, pecStop = false, pecRec = false, pecSave = false;
  bool useAssistEnabled = false, useRefractedEnabled = false;
  std::string coordinateType, coordinateHint;
  // A fault of the mount told in the window in red (a failed connect, a
  // refused goto or sync, a lost connection); empty when there is none.
  std::string fault;
  // A warning of the driver (a noisy line), told in the window until the
  // next connect; empty when there is none.
  std::string notice;
  // What a long conversation is doing ("Reading the PEC table: 120 of
  // 480"); empty when none runs.
  std::string progress;
  std::string wormRotationTime = "240";
  TShape connectedShape = TShape::ButtonFace, trackingShape = TShape::ButtonFace,
         gotoShape = TShape::ButtonFace, parkedShape = TShape::ButtonFace,
         parkingShape = TShape::ButtonFace, parkFailedShape = TShape::ButtonFace,
         pecShape = TShape::ButtonFace;
};

// How the last goto ended. A goto is under way from the mount's taking it
// until it has settled (or ended otherwise).
enum class TGotoEnd : uint8_t {
  None,          // no goto since the program started
  Underway,      // slewing or settling
  Arrived,       // settled at its target
  GivenUp,       // ended short of its target: the mount dropped it (a
                 // restart) or came to rest away from it
  LinkLost,      // the mount's link was lost under it
  Disconnected,  // the mount was disconnected under it
};

// Pier side choice of the "GoTo Assist" tab.
enum class TPierChoice { FromDriver, East, West };

// The PEC table's capacity: one entry per second of the worm's turn.
inline constexpr int kPecEntries = 825;
// The entries an OnStep mount keeps (one signed byte each, -128..127).
inline constexpr int kMountPecEntries = 824;

class TTeleControl : public QObject {
  Q_OBJECT
 public:
  explicit TTeleControl(ITelescopeHost* host = nullptr, QObject* parent = nullptr);
  ~TTeleControl() override;

  // --- The window's inputs --------------------------------------------------
  std::string name;            // driver identifier (`Name`)
  bool setTime = false;        // `SetTimeCheckBox1`
  bool setLatLong = false;     // `LatLongCheckBox1`
  bool useRefracted = false;   // `UseRefracted`
  bool useAssist = false;      // `UseAssist`
  TPierChoice pier = TPierChoice::FromDriver;
  int alignStars = 1;          // `OneStar`, `TwoStar`, `ThreeStar`
  int pecScale = 15;           // `PECScale`, arcseconds

  const TTeleControls& Controls() const { return ui_; }
  void SetAssist(TAssistModel* model) { assist_ = model; }

  // --- Connection ------------------------------------------------------------
  void SelectClick();
  void ConnectClick();
  // Disconnects; true when an identifier is set. During a connect it ends
  // the connect.
  bool Disconnect();
  void DisconnectClick() { Disconnect(); }
  bool Connecting() const { return connecting_; }

  // --- Service operations (no-ops with neutral results while disconnected) -----
  // Slews to (ra, dec), radians in the chart's epoch; false when the mount
  // is not connected or refused the slew.
  bool GotoRaDec(double ra, double dec);
  bool SyncRaDec(double ra, double dec);
  bool CanSync();
  void GetGotoTarget(double& ra, double& dec) const;
  uint32_t MsSinceGotoDone() const;
  // Hour-angle and declination corrections (radians) of the pointing model
  // for (ra, dec); zero without a model or pier side.
  void GetPointingCorrection(double ra, double dec, double& dHa, double& dDec);
  // The same for the chart, which draws often: from the sidereal time and
  // pier side the poll last read, without asking the mount.
  void ChartPointingCorrection(double ra, double dec, double& dHa, double& dDec);
  void AcceptStarButton1Click();

  // Parking, homing, tracking, alignment.
  void SetParkButton1Click();
  void ParkButton1Click();
  void UnParkButton1Click();
  void PolarHomeButton1Click();
  void FindHomeButton1Click();
  void TrackButton1Click();
  void AlignStartClick();
  void TrackFasterClick();
  void TrackSlowerClick();

  // Guiding.
  bool CanSetGuideRates();
  bool SetGuideRate(int step);
  void StartMove(char direction);
  void StopMove(char direction);
  bool CanPulseGuide();
  void PulseGuide(char direction, int milliseconds);

  // Periodic error correction (OnStep).
  void PECClearClick();
  void PECRecClick();
  void PECPlayClick();
  void PECStopClick();
  void PECSaveClick();
  void PECfwdClick();
  void PECbackClick();
  // Asks for a file and writes the table; reads it fresh from the mount.
  void PECExportClick();
  void PECImportClick();
  // The export text (header and one line per entry, each ended by "\r\n"),
  // the table read fresh while connected; empty when it could not be read
  // (the window says why).
  std::string PecExportText();
  // Imports a file's text (CSV export or EQMOD PECPrep); the number of
  // entries written, -1 when the first line is neither format.
  int PecImportText(const std::string& text);
  // Polyline of the PEC plot in a box of width x height pixels (empty when
  // there is nothing to draw), and the x of the last index read (-1: none).
  std::vector<std::pair<int, int>> PecPlot(int width, int height, int& markerX) const;
  const std::vector<int16_t>& PecTable() const { return pec_; }
  int PecLength() const { return pecLength_; }
  bool PecUsable() const;

  // --- State read by the chart, the main window and the other windows ---------
  bool Connected() const { return connected_; }
  bool Lx200() const { return lx200_; }
  bool OnStep() const { return onStep_; }
  bool AutostarNotOnStep() const { return autostarNotOnStep_; }
  bool GotoInProgress() const { return gotoInProgress_; }
  // How the last goto ended (the sequencer images only after one that
  // arrived).
  TGotoEnd LastGotoEnd() const { return lastGotoEnd_; }
  int EquatorialSystem() const { return eqSystem_; }
  // The mount's position, radians in the chart's epoch, as last polled.
  double RightAscension() const { return ra_[0]; }
  double Declination() const { return dec_[0]; }
  int HoldCounter() const { return hold_; }
  // Status polls that ran (ticks that talked to the mount).
  int PollCount() const { return polls_; }
  int AlignStarsLeft() const { return alignLeft_; }
  double GuideRateUnit() const { return guideUnit_; }
  // The pier side of the driver or of the radio buttons: -1 east, +1 west, 0 unknown.
  int PierSide();
  // The local sidereal time used by the pointing model, radians.
  double LocalSidereal();
  // The observer's latitude, radians.
  double SiteLatitude();

  // --- Timers ------------------------------------------------------------------
  void Timer1Timer();
  void GotoTimerTimer();
  void SlewTimerTimer();
  void PulseTimerTimer();
  bool Timer1Enabled() const { return timer1_.isActive(); }
  bool GotoTimerEnabled() const { return gotoTimer_.isActive(); }
  bool SlewTimerEnabled() const { return slewTimer_.isActive(); }
  bool PulseBusy() const { return pulseBusy_; }
  int SlewTag() const { return slewTag_; }

  // Registry section "ASCOM".
  void LoadSettings();
  void SaveSettings() const;

 signals:
  // The controls, shapes or the PEC plot changed.
  void changed();

 private:
  void Log(const std::string& text) const;
  // A line for an event of the user's (a connect that failed, a star
  // accepted): logged even when it reads as the line before.
  void LogEvent(const std::string& text) const;
  void LogFailure(const std::string& member, const std::exception& e) const;
  // The driver, kept alive by the caller across a call; raises
  // EAutomationCancelled when none is connected.
  platform::TAutomationRef Drv() const;
  bool GetBool(const std::string& member, bool& out);
  // Sends `cmd` through the driver's `kind` member; false when it failed.
  // A command whose reply was lost (the mount may have acted on it) is said
  // in the window and the log as unconfirmed under `label` (the command
  // when null), and `unknown` (when given) is set.
  bool Command(const char* kind, const std::string& cmd, std::string* reply = nullptr, const char* label = nullptr,
               bool* unknown = nullptr);
  // A user's command went through: a fault told before goes.
  void Succeeded();
  // The window's red line for operation `what` that raised `e`: "Goto
  // failed: ...", or "Goto unconfirmed: ..." when the mount's reply was lost
  // and what it did is unknown.
  void ShowFailure(const std::string& what, const std::exception& e);
  // A user's command through driver member `member`, when capability `can`
  // (if given) allows it; logs `done`, or `failed` (else the failure).
  bool Act(const char* can, const char* member, const char* done, const char* failed);
  void ConnectSteps();
  void SetSiteAndTime();
  void PollStatus();
  void SetConnectedControls();
  void SetDisconnectedControls();
  void ReadCapabilities();
  // Reads the mount's PEC table; false when the connection ended meanwhile.
  bool ReadOnStepPec();
  void PollOnStep(bool tracking, const std::string& status);
  bool ReadPosition(double& ra, double& dec);
  void ToDriver(double& ra, double& dec);
  // The mount took a goto to (ra, dec), radians in the driver's frame (or
  // may have: its reply was lost): it is under way.
  void StartGoto(double ra, double dec);
  // The goto under way has ended as `how`: its end is now.
  void EndGoto(TGotoEnd how);
  double DriverEpochJD() const;
  void AfterAlign();
  // An alignment step's command: "1", another reply or a failure, or a
  // reply lost (said in the window and the log as unconfirmed).
  enum class TAnswer { Yes, No, Unknown };
  TAnswer AlignCommand(const std::string& cmd);
  void PecWrite(int index, int entry);
  // ":WR+#" or ":WR-#", and the copy here turned with the mount's table.
  void ShiftPec(bool forward);
  // Entry `index` of the mount's table read into the copy here (kept as it
  // was when the reply holds no entry).
  void ReadPecEntry(int index);
  // A PEC failure, in the log and in red in the window.
  void TellPecFault(const std::string& what);
  // Shows "what: i of n" in the window, at most every 100 ms.
  void ShowProgress(const std::string& what, int i, int n);
  // The driver found its link gone: told once, then a full disconnect.
  void OnLinkLost(const std::string& why);
  void HandleLinkLost();
  // The driver warns of something (a noisy line): logged and shown.
  void OnNotice(const std::string& text);
  // A fault the driver found outside any call's result (a mount that
  // restarted): the log and the window's red line say it.
  void OnDriverFault(const std::string& text);
  TObserverTime& Obs();

  // One conversation with the mount (an operation that calls the driver):
  // while one runs no poll starts. Live() says whether the connection it
  // began on is still there. One begun while a driver call waits came from
  // an event handled during the wait: it is counted in talkSerial_.
  class TTalk {
   public:
    explicit TTalk(TTeleControl& t) : t_(t), session_(t.session_) {
      ++t_.talking_;
      if (t_.inCall_ > 0) ++t_.talkSerial_;
    }
    ~TTalk() { --t_.talking_; }
    TTalk(const TTalk&) = delete;
    TTalk& operator=(const TTalk&) = delete;
    bool Live() const { return t_.connected_ && t_.session_ == session_; }
    void Rebase() { session_ = t_.session_; }

   private:
    TTeleControl& t_;
    uint64_t session_;
  };

  // The conversation `talk` goes on: its connection is there, and no call
  // found the link lost.
  bool Talking(const TTalk& talk) const;
  // Whether the driver's replies since the last asking each answered their
  // own command (a reply sent twice by the link sets the ones after it one
  // behind); true for a driver that cannot tell.
  bool RepliesInStep();
  // Runs `read` (questions to the mount) and runs it again while the
  // replies came out of step, a few times at most; false when they never
  // came in step or the conversation `talk` ended.
  bool ReadInStep(const TTalk& talk, const std::function<void()>& read);
  // Reads the mount's whole table into the copy here, entry by entry, each
  // proved in step; false when the conversation ended or an entry never
  // came in step (`why` then says which).
  bool ReadPecTable(const TTalk& talk, std::string& why);

  ITelescopeHost* host_;
  std::unique_ptr<ITelescopeHost> defaultHost_;
  std::unique_ptr<TObserverTime> obs_;
  TAssistModel* assist_ = nullptr;
  platform::TAutomationRef driver_;
  // The driver of a connect under way (a Disconnect ends it).
  platform::TAutomationRef pending_;
  TTeleControls ui_;
  bool connected_ = false, lx200_ = false, onStep_ = false, autostarNotOnStep_ = false;
  bool connecting_ = false, cancelConnect_ = false;
  bool canSync_ = false;
  // Conversations running now, those begun during a driver call's wait,
  // driver calls under way; connections made and ended.
  int talking_ = 0, inCall_ = 0;
  // The driver told a fault after the call just made (a mount that
  // restarted): the call's success does not clear it from the window.
  bool faultInCall_ = false;
  uint64_t talkSerial_ = 0, session_ = 0;
  int polls_ = 0;
  uint32_t progressTick_ = 0;
  // Told once until it changes: the mount does not tell its tracking.
  bool trackingUnknownTold_ = false;
  // The pier side the poll last read (-1 east, +1 west, 0 unknown).
  int polledPier_ = 0;
  bool gotoInProgress_ = false;
  TGotoEnd lastGotoEnd_ = TGotoEnd::None;
  // The goto's target as sent to the mount and the mount's position as
  // the poll last read it, both radians in the driver's frame; reads_
  // counts those reads, settleReads_ is the count when the slew was seen
  // to end. A sync or a manual move during the goto changes what the mount
  // reports: where it rests then proves nothing.
  double sentRa_ = 0, sentDec_ = 0, readRa_ = 0, readDec_ = 0;
  uint64_t reads_ = 0, settleReads_ = 0;
  bool gotoMoved_ = false;
  uint32_t gotoEnd_ = 0, lastPecWrite_ = 0;
  int eqSystem_ = 1;
  std::array<double, 4> ra_{}, dec_{};
  double targetRa_ = 0, targetDec_ = 0;
  int hold_ = 0, alignLeft_ = 0;
  double guideUnit_ = -1;
  int slewTag_ = 0;
  bool pulseBusy_ = false;
  char pulseLetter_ = 0;
  int64_t wormPeriod_ = 0;
  double stepsPerSecond_ = 0;
  int pecLength_ = 240;
  bool linkLost_ = false;
  std::string lostReason_;
  std::vector<int16_t> pec_;
  int lastPecValue_ = 0, lastPecIndex_ = -1;
  double lst_ = 0;
  uint32_t lstTick_ = 0;
  bool lstValid_ = false;
  QTimer timer1_, gotoTimer_, slewTimer_, pulseTimer_;
};

// Registers the driver families the device windows offer besides the
// built-in simulators: LX200-family mounts on a serial line or network port,
// and INDI devices when the program has the INDI client.
void RegisterDeviceDrivers();

// The telescope window's logic, created by the program at start.
TTeleControl* TeleControl();
void SetTeleControl(TTeleControl* control);
