// Built-in simulator drivers for a mount, a focuser and a filter wheel. They
// behave like real devices in time (slews run at a set rate, the focuser
// moves in steps per second, the wheel turns slot by slot, all read from a
// millisecond clock that tests may replace), answer the
// LX200 and OnStep command strings the telescope window sends, and can be
// told to fail any call, for the failure paths of the device windows.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation.h"

namespace platform {

// What every simulator shares: the connection, the failure switch and a
// record of the calls made.
class TSimDevice : public IAutomationObject {
 public:
  TVariant Get(const std::string& member) final;
  void Put(const std::string& member, const TVariant& value) final;
  TVariant Invoke(const std::string& member, const TVariantList& args) final;

  // The next `times` calls of `member` (get, put or invoke) raise; -1 makes
  // every call raise.
  void FailMemberForTest(const std::string& member, int times = 1);
  // The device drops its link: Connected reads false from now on.
  void DropLink() { linkDropped_ = true; }
  // A fault no call raised (a mount that restarted), told after the next
  // call as a real driver tells it.
  void FaultForTest(std::string text) { fault_ = std::move(text); }
  std::string TakeFault() override { return std::exchange(fault_, std::string()); }
  // Every call in order: "Get Connected", "Put Tracking", "Invoke CommandBlind :Q#".
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  bool IsConnected() const { return connected_ && !linkDropped_; }

 protected:
  explicit TSimDevice(std::string driverInfo) : driverInfo_(std::move(driverInfo)) {}
  virtual TVariant DoGet(const std::string& member) = 0;
  virtual void DoPut(const std::string& member, const TVariant& value) = 0;
  virtual TVariant DoInvoke(const std::string& member, const TVariantList& args) = 0;
  // Moves the simulated state on to the current millisecond count.
  virtual void Advance(uint32_t /*elapsedMs*/) {}
  [[noreturn]] static void Unknown(const std::string& member);
  std::string driverInfo_;
  bool connected_ = false;
  bool refuseDisconnect_ = false;

 private:
  void Enter(const std::string& kind, const std::string& member, const std::string& detail,
             bool needsLink);
  std::map<std::string, int> failures_;
  std::vector<std::string> calls_;
  bool linkDropped_ = false;
  std::string fault_;
  bool clockStarted_ = false;
  uint32_t lastTick_ = 0;
};

// --- Mount ------------------------------------------------------------------

enum class TSimProtocol { None, Meade, OnStep };

struct TSimTelescopeConfig {
  std::string driverInfo = "Noctra telescope simulator";
  TSimProtocol protocol = TSimProtocol::None;
  int equatorialSystem = 2;  // 0 unknown, 1 topocentric, 2 J2000, 3 J2050, 4 B1950
  bool doesRefraction = false;
  bool canSlewAsync = true, canSync = true, canPark = true, canUnpark = true, canSetPark = true;
  bool canFindHome = true, canSetTracking = true, canPulseGuide = true, canSetGuideRates = true;
  double slewRateDegPerSec = 4.0;
  // 1x sidereal, degrees per second: 15.041"/s.
  double guideRateDegPerSec = 15.041067 / 3600.0;
  int sideOfPier = 0;  // 0 east, 1 west
  // Play in the declination gears (degrees): after a reversal, guide
  // pulses and manual moves turn the motor this far before the axis moves.
  double decPlayDeg = 0;
  // OnStep periodic-error data: worm period in steps, steps per second.
  int wormPeriodSteps = 9600;
  int stepsPerSecond = 20;
};

class TSimTelescope : public TSimDevice {
 public:
  explicit TSimTelescope(TSimTelescopeConfig config = {});
  const TSimTelescopeConfig& Config() const { return cfg_; }
  TSimTelescopeConfig& MutableConfig() { return cfg_; }

  // The pointing, right ascension in hours [0, 24) and declination in degrees.
  double RaHours() const { return ra_; }
  double DecDegrees() const { return dec_; }
  void SetPointing(double raHours, double decDegrees);
  bool IsSlewing() const { return slewing_; }
  bool AtPark() const { return atPark_; }
  bool Tracking() const { return tracking_; }
  // Site and time as last put by the client.
  double SiteLongitude() const { return siteLongitude_; }
  double SiteLatitude() const { return siteLatitude_; }
  double UtcDateSeconds() const { return utcDate_; }
  double GuideRateRA() const { return guideRateRA_; }
  double GuideRateDec() const { return guideRateDec_; }
  int GuideRateStep() const { return rateStep_; }
  // The OnStep PEC table (one entry per second of the worm's turn) and its
  // state letter: 'I' idle, 'p'/'P' ready to play/playing, 'r'/'R' ready to
  // record/recording.
  std::vector<int>& PecTable() { return pec_; }
  char PecState() const { return pecState_; }
  void SetPecState(char s) { pecState_ = s; }
  // The index ":VR#" reports next (the worm's current second).
  void SetPecIndex(int index) { pecIndex_ = index; }
  // The reply of ":GS#" ("HH:MM:SS#").
  void SetSiderealReply(std::string reply) { gsReply_ = std::move(reply); }

 protected:
  TVariant DoGet(const std::string& member) override;
  void DoPut(const std::string& member, const TVariant& value) override;
  TVariant DoInvoke(const std::string& member, const TVariantList& args) override;
  void Advance(uint32_t elapsedMs) override;

 private:
  void StartSlew(double raHours, double decDegrees);
  void Nudge(int direction, double degrees);
  std::string Command(const std::string& cmd);
  TSimTelescopeConfig cfg_;
  double ra_ = 0, dec_ = 0;
  bool slewing_ = false, parking_ = false, atPark_ = false, tracking_ = true;
  double slewFromRa_ = 0, slewFromDec_ = 0, slewToRa_ = 0, slewToDec_ = 0;
  double slewElapsed_ = 0, slewDuration_ = 0;
  double parkRa_ = 0, parkDec_ = 90;
  double siteLongitude_ = 0, siteLatitude_ = 0, utcDate_ = 0;
  double guideRateRA_, guideRateDec_;
  int rateStep_ = 1;
  std::array<bool, 4> moving_{};  // N, S, E, W
  // The declination motor's lead over the axis, within +-decPlayDeg / 2.
  double decLead_ = 0;
  std::vector<int> pec_;
  char pecState_ = 'I';
  int pecIndex_ = 0;
  int trackAdjust_ = 0;
  int alignLeft_ = 0;
  std::string gsReply_ = "12:00:00#";
};

// --- Focuser ----------------------------------------------------------------

struct TSimFocuserConfig {
  std::string driverInfo = "Noctra focuser simulator";
  bool absolute = true;
  int maxStep = 50000;
  int maxIncrement = 10000;
  int stepsPerSecond = 1000;
  int startPosition = 25000;
};

class TSimFocuser : public TSimDevice {
 public:
  explicit TSimFocuser(TSimFocuserConfig config = {});
  int PositionSteps() const { return position_; }
  bool Moving() const { return position_ != target_; }
  // The focuser keeps its link when told to disconnect.
  void SetRefuseDisconnect(bool refuse) { refuseDisconnect_ = refuse; }

 protected:
  TVariant DoGet(const std::string& member) override;
  void DoPut(const std::string& member, const TVariant& value) override;
  TVariant DoInvoke(const std::string& member, const TVariantList& args) override;
  void Advance(uint32_t elapsedMs) override;

 private:
  TSimFocuserConfig cfg_;
  int position_, target_;
  double carry_ = 0;
};

// --- Filter wheel -------------------------------------------------------------

struct TSimFilterWheelConfig {
  std::string driverInfo = "Noctra filter wheel simulator";
  std::vector<std::string> names = {"Luminance", "Red", "Green", "Blue", "H-alpha"};
  std::vector<int32_t> focusOffsets = {0, 12, 8, -6, 40};
  int msPerSlot = 400;
  // The maker's wheel: accepts fine steps (99, 100), calibration (101) and
  // the temperature channel (999 then tenths of a degree).
  bool makerWheel = false;
  int tweakMs = 300, calibrationMs = 1500;
  // The maker wheel's cooler: degrees Celsius per second it moves from the
  // room's 20 degrees toward its set-point; 0: it reads its set-point at once.
  double coolerRate = 0;
};

class TSimFilterWheel : public TSimDevice {
 public:
  explicit TSimFilterWheel(TSimFilterWheelConfig config = {});
  int Slot() const { return slot_; }
  int FinePosition() const { return fine_; }
  // The cooler's temperature and set-point, tenths of a degree.
  int TemperatureTenths() const { return int(std::lround(temperature_)); }
  int SetPointTenths() const { return setPoint_; }
  int Calibrations() const { return calibrations_; }
  // The wheel never finishes its current move (Position reads -1 for ever).
  void SetStuck(bool stuck) { stuck_ = stuck; }

 protected:
  TVariant DoGet(const std::string& member) override;
  void DoPut(const std::string& member, const TVariant& value) override;
  TVariant DoInvoke(const std::string& member, const TVariantList& args) override;
  void Advance(uint32_t elapsedMs) override;

 private:
  TSimFilterWheelConfig cfg_;
  int slot_ = 0, target_ = 0;
  double busyMs_ = 0;
  bool temperatureNext_ = false, stuck_ = false;
  int fine_ = 0, setPoint_ = 200, calibrations_ = 0;
  double temperature_ = 200;
};

// The millisecond clock the simulators run on: platform::TimeGetTime
// unless a test installs its own (an empty function restores it).
void SetSimulatorClockForTest(std::function<uint32_t()> clock);

// Registers the simulators under their identifiers:
// "Noctra.Simulator.Telescope" (no command strings),
// "Noctra.Simulator.Telescope.Meade" (driver info names a Meade Autostar),
// "Noctra.Simulator.Telescope.OnStep", "Noctra.Simulator.Focuser",
// "Noctra.Simulator.Focuser.Relative", "Noctra.Simulator.FilterWheel" and
// "Noctra.Simulator.Tar_vel.FilterWheel" (the maker's wheel, whose cooler
// moves 0.2 degrees a second toward its set-point).
void RegisterSimulatorDrivers();

}  // namespace platform
