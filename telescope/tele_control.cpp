#include "telescope/tele_control.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "platform/dialogs.h"
#include "shell/log_lines.h"
#include "shell/messages.h"
#ifdef NOCTRA_HAVE_INDI
#include "platform/automation_indi.h"
#endif
#include "platform/automation_lx200.h"
#include "platform/numfmt.h"
#include "platform/registry.h"
#include "platform/timezone.h"
#include "telescope/assist_model.h"
#include "telescope/text_files.h"

using platform::TVariant;

namespace {

const std::string kPrefix = "[Ascom.Telescope] ";
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kRadPerDeg = kPi / 180.0;
// Guide-rate steps in multiples of the sidereal rate (entry 0 is the unit).
constexpr double kRateSteps[10] = {0, 0.5, 1, 2, 8, 16, 32, 60, 120, 240};

TTeleControl* g_control = nullptr;

// An angle brought into (-π, π].
double WrapPi(double a) {
  a = std::fmod(a, kTwoPi);
  if (a <= -kPi) a += kTwoPi;
  if (a > kPi) a -= kTwoPi;
  return a;
}

double Wrap2Pi(double a) {
  a = std::fmod(a, kTwoPi);
  return a < 0 ? a + kTwoPi : a;
}

// "HH:MM:SS" (a trailing "#" allowed) to radians; false when a field is out
// of range or not a number.
bool ParseSidereal(std::string s, double& out) {
  if (!s.empty() && s.back() == '#') s.pop_back();
  int h = 0, m = 0, sec = 0;
  char c1 = 0, c2 = 0;
  std::istringstream in(s);
  if (!(in >> h >> c1 >> m >> c2 >> sec) || c1 != ':' || c2 != ':') return false;
  std::string rest;
  if (in >> rest) return false;
  if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59) return false;
  out = (h + m / 60.0 + sec / 3600.0) * 15.0 * kRadPerDeg;
  return true;
}

// A yes from the mount: "1" as the firmware sends it, or "1#".
bool Yes(const std::string& reply) { return reply == "1" || reply == "1#"; }

}  // namespace

// --- Default host ---------------------------------------------------------------

void TDefaultTelescopeHost::CopyObserver(TObserverTime& out) { out = ObserverTime; }

double TDefaultTelescopeHost::ChartEpochJD() {
  return ObserverTime.EpochTo > 0 ? ObserverTime.EpochTo : 2451545.0;
}

void RegisterDeviceDrivers() {
  platform::RegisterLx200Drivers();
#ifdef NOCTRA_HAVE_INDI
  platform::RegisterIndiDrivers();
#endif
}

TTeleControl* TeleControl() { return g_control; }
void SetTeleControl(TTeleControl* control) { g_control = control; }

// --- Construction ---------------------------------------------------------------

TTeleControl::TTeleControl(ITelescopeHost* host, QObject* parent)
    : QObject(parent), host_(host), obs_(std::make_unique<TObserverTime>()), pec_(kPecEntries, 0) {
  RegisterDeviceDrivers();
  if (!host_) {
    defaultHost_ = std::make_unique<TDefaultTelescopeHost>();
    host_ = defaultHost_.get();
  }
  lastPecWrite_ = platform::TimeGetTime();
  timer1_.setInterval(900);
  gotoTimer_.setInterval(5000);
  slewTimer_.setInterval(50);
  pulseTimer_.setSingleShot(true);
  pulseTimer_.setTimerType(Qt::PreciseTimer);
  connect(&timer1_, &QTimer::timeout, this, &TTeleControl::Timer1Timer);
  connect(&gotoTimer_, &QTimer::timeout, this, &TTeleControl::GotoTimerTimer);
  connect(&slewTimer_, &QTimer::timeout, this, &TTeleControl::SlewTimerTimer);
  connect(&pulseTimer_, &QTimer::timeout, this, &TTeleControl::PulseTimerTimer);
  SetDisconnectedControls();
}

TTeleControl::~TTeleControl() {
  if (g_control == this) g_control = nullptr;
}

TObserverTime& TTeleControl::Obs() {
  host_->CopyObserver(*obs_);
  obs_->ClipBelowHorizon = 0;
  return *obs_;
}

void TTeleControl::Log(const std::string& text) const {
  // Once the link is gone, the calls still running fail one after another;
  // the loss is told by one line of its own instead.
  if (linkLost_) return;
  LogLines().AddLine(kPrefix + text);
}

void TTeleControl::LogEvent(const std::string& text) const {
  if (!linkLost_) LogLines().AddEvent(kPrefix + text);
}

void TTeleControl::LogFailure(const std::string& member, const std::exception& e) const {
  // A call that a disconnect ended, or one of a connection already gone,
  // has nothing to report.
  if (!connected_ || dynamic_cast<const platform::EAutomationCancelled*>(&e)) return;
  Log("Warning, " + member + " failed: " + e.what());
}

platform::TAutomationRef TTeleControl::Drv() const {
  if (!driver_) throw platform::EAutomationCancelled("Not connected");
  return driver_;
}

bool TTeleControl::GetBool(const std::string& member, bool& out) {
  out = false;
  try {
    out = Drv()->Get(member).AsBool();
    return true;
  } catch (const std::exception& e) {
    LogFailure(member, e);
    return false;
  }
}

bool TTeleControl::Command(const char* kind, const std::string& cmd, std::string* reply, const char* label,
                           bool* unknown) {
  if (unknown) *unknown = false;
  try {
    TVariant r = Drv()->Invoke(kind, {TVariant(cmd), TVariant(true)});
    if (reply) *reply = r.AsString();
    return true;
  } catch (const std::exception& e) {
    if (connected_ && dynamic_cast<const platform::EAutomationOutcomeUnknown*>(&e)) {
      // The reply was lost: the window and the log say what the mount may
      // have done, not that the command failed.
      ShowFailure(label ? label : cmd, e);
      LogEvent("Warning, " + ui_.fault);
      if (unknown) *unknown = true;
    } else {
      LogFailure(std::string(kind) + " " + cmd, e);
    }
    return false;
  }
}

void TTeleControl::ShowFailure(const std::string& what, const std::exception& e) {
  const bool unknown = dynamic_cast<const platform::EAutomationOutcomeUnknown*>(&e) != nullptr;
  ui_.fault = what + (unknown ? " unconfirmed: " : " failed: ") + e.what();
  emit changed();
}

void TTeleControl::Succeeded() {
  if (ui_.fault.empty() || faultInCall_) return;
  ui_.fault.clear();
  emit changed();
}

double TTeleControl::DriverEpochJD() const {
  switch (eqSystem_) {
    case 3: return 2469807.5;    // J2050
    case 4: return 2433282.423;  // B1950
    default: return 2451545.0;   // J2000
  }
}

bool TTeleControl::ReadPosition(double& ra, double& dec) {
  TTalk talk(*this);
  try {
    ra = Drv()->Get("RightAscension").AsDouble() * 15.0 * kRadPerDeg;
    dec = Drv()->Get("Declination").AsDouble() * kRadPerDeg;
  } catch (const std::exception&) {
    if (talk.Live()) Log("Get telescope Coordinates failed");
    return false;
  }
  if (!std::isfinite(ra) || !std::isfinite(dec)) {
    Log("Get telescope Coordinates failed");
    return false;
  }
  readRa_ = ra;
  readDec_ = dec;
  ++reads_;
  TObserverTime& o = Obs();
  if (eqSystem_ != 1) {
    SetPrecession(o, DriverEpochJD(), host_->ChartEpochJD());
    Precess(o, ra, dec);
  }
  if (useRefracted) {
    double alt = 0, az = 0;
    EquatorialToHorizontal(o, alt, az, ra, dec);
    Unrefract(o, alt);
    HorizontalToEquatorial(o, ra, dec, az, alt);
  }
  ra = Wrap2Pi(ra);
  return true;
}

// Steps 2-5 of goto: refraction, the pointing model, precession to the
// driver's epoch, right ascension into [0, 2π).
void TTeleControl::ToDriver(double& ra, double& dec) {
  TObserverTime& o = Obs();
  if (useRefracted) {
    double alt = 0, az = 0;
    EquatorialToHorizontal(o, alt, az, ra, dec);
    Refract(o, alt);
    HorizontalToEquatorial(o, ra, dec, az, alt);
  }
  if (useAssist) {
    double dHa = 0, dDec = 0;
    GetPointingCorrection(ra, dec, dHa, dDec);
    ra -= dHa;
    dec -= dDec;
    host_->CopyObserver(o);
    o.ClipBelowHorizon = 0;
  }
  if (eqSystem_ != 1) {
    SetPrecession(o, host_->ChartEpochJD(), DriverEpochJD());
    Precess(o, ra, dec);
  }
  ra = Wrap2Pi(ra);
}

bool TTeleControl::GotoRaDec(double ra, double dec) {
  if (!connected_) return false;
  TTalk talk(*this);
  targetRa_ = ra;
  targetDec_ = dec;
  ToDriver(ra, dec);
  if (!talk.Live()) return false;
  bool async = false;
  GetBool("CanSlewAsync", async);
  if (!talk.Live()) return false;
  try {
    Drv()->Invoke(async ? "SlewToCoordinatesAsync" : "SlewToCoordinates",
                  {TVariant(ra / kRadPerDeg / 15.0), TVariant(dec / kRadPerDeg)});
  } catch (const platform::EAutomationOutcomeUnknown& e) {
    if (!talk.Live()) return false;
    // The mount's reply was lost: it may be slewing. The poll follows it
    // as it follows a goto, until it is seen at rest.
    ShowFailure("Goto", e);
    Log("Warning, " + ui_.fault);
    StartGoto(ra, dec);
    return false;
  } catch (const std::exception& e) {
    if (!talk.Live()) return false;
    // A refused goto (a parked mount, a target the mount will not take).
    LogFailure("Goto", e);
    ShowFailure("Goto", e);
    return false;
  }
  if (!talk.Live()) return false;
  Succeeded();
  StartGoto(ra, dec);
  return true;
}

void TTeleControl::StartGoto(double ra, double dec) {
  gotoInProgress_ = true;
  lastGotoEnd_ = TGotoEnd::Underway;
  sentRa_ = ra;
  sentDec_ = dec;
  gotoMoved_ = false;
  gotoTimer_.stop();
  emit changed();
}

bool TTeleControl::SyncRaDec(double ra, double dec) {
  TTalk talk(*this);
  ToDriver(ra, dec);
  if (!connected_ || !talk.Live()) return false;
  hold_ = 10;
  try {
    Drv()->Invoke("SyncToCoordinates", {TVariant(ra / kRadPerDeg / 15.0), TVariant(dec / kRadPerDeg)});
    if (!talk.Live()) return false;
    gotoMoved_ = true;
    Log("Syncing to Coordinates");
    Succeeded();
    return true;
  } catch (const std::exception& e) {
    if (!talk.Live() || dynamic_cast<const platform::EAutomationCancelled*>(&e)) return false;
    // A sync the mount refuses (a parked or slewing mount): the line says
    // why, the window too; the mount keeps its position.
    Log(std::string("Warning, Syncing to Coordinates? ") + e.what());
    ShowFailure("Sync", e);
    return false;
  }
}

bool TTeleControl::CanSync() {
  if (!connected_) return false;
  bool v = false;
  GetBool("CanSync", v);
  return v;
}

void TTeleControl::GetGotoTarget(double& ra, double& dec) const {
  ra = targetRa_;
  dec = targetDec_;
}

uint32_t TTeleControl::MsSinceGotoDone() const {
  if (gotoInProgress_) return 0;
  return platform::TimeGetTime() - gotoEnd_;
}

double TTeleControl::LocalSidereal() {
  if (onStep_ && connected_) {
    // A reading less than a second old is carried forward at the sidereal
    // rate instead of asking the mount again.
    const uint32_t now = platform::TimeGetTime();
    const uint32_t age = now - lstTick_;
    if (lstValid_ && age < 1000) return Wrap2Pi(lst_ + age * (kTwoPi * 1.00273790935 / 86400000.0));
    TTalk talk(*this);
    std::string reply;
    double lst = 0;
    const bool read = Command("CommandString", ":GS#", &reply) && ParseSidereal(reply, lst);
    if (!talk.Live()) return Obs().LocalSidereal;
    if (read) {
      lst_ = lst;
      lstTick_ = now;
      lstValid_ = true;
      return lst;
    }
    lstValid_ = false;
    Log("Fallback to internal LST");
  }
  return Obs().LocalSidereal;
}

double TTeleControl::SiteLatitude() { return Obs().Latitude; }

int TTeleControl::PierSide() {
  if (pier == TPierChoice::FromDriver) {
    if (!connected_) return 0;
    try {
      const int side = Drv()->Get("SideOfPier").AsInt();
      return side == 0 ? -1 : side == 1 ? 1 : 0;
    } catch (const std::exception& e) {
      LogFailure("SideOfPier", e);
      return 0;
    }
  }
  return pier == TPierChoice::East ? -1 : 1;
}

void TTeleControl::GetPointingCorrection(double ra, double dec, double& dHa, double& dDec) {
  dHa = dDec = 0;
  if (!assist_) return;
  TTalk talk(*this);
  const double ha = WrapPi(LocalSidereal() - ra);
  const int side = PierSide();
  if (!talk.Live() && connected_) return;
  if (side == 0) {
    Log("Warning, Pier-Side unknown");
    return;
  }
  assist_->latitude = SiteLatitude();
  assist_->ApplyModel(side, ha, dec, dHa, dDec);
}

void TTeleControl::ChartPointingCorrection(double ra, double dec, double& dHa, double& dDec) {
  dHa = dDec = 0;
  if (!assist_ || !connected_) return;
  // The mount's sidereal time as last read, carried forward; else the chart's.
  const double now = lstValid_ && onStep_
                         ? Wrap2Pi(lst_ + uint32_t(platform::TimeGetTime() - lstTick_) *
                                              (kTwoPi * 1.00273790935 / 86400000.0))
                         : Obs().LocalSidereal;
  const int side = pier == TPierChoice::FromDriver ? polledPier_ : pier == TPierChoice::East ? -1 : 1;
  if (side == 0) return;  // the poll has told the log
  assist_->latitude = SiteLatitude();
  assist_->ApplyModel(side, WrapPi(now - ra), dec, dHa, dDec);
}

// --- Parking, homing, tracking, alignment ---------------------------------------------------

bool TTeleControl::Act(const char* can, const char* member, const char* done, const char* failed) {
  if (!connected_) return false;
  TTalk talk(*this);
  if (can) {
    bool allowed = false;
    GetBool(can, allowed);
    if (!allowed || !talk.Live()) return false;
  }
  if (can) hold_ = 6;
  try {
    Drv()->Invoke(member, {});
    if (!talk.Live()) return false;
    Log(done);
    Succeeded();
    return true;
  } catch (const std::exception& e) {
    if (!talk.Live() || dynamic_cast<const platform::EAutomationCancelled*>(&e)) return false;
    // Said in the window too: a park whose reply was lost may be under way.
    ShowFailure(member, e);
    // The log says what the window says: a lost reply leaves the command
    // unconfirmed, not failed.
    if (dynamic_cast<const platform::EAutomationOutcomeUnknown*>(&e)) LogEvent("Warning, " + ui_.fault);
    else if (failed) Log(failed);
    else LogFailure(member, e);
    return false;
  }
}

void TTeleControl::SetParkButton1Click() {
  Act("CanSetPark", "SetPark", "Setting Park position", "Setting Park position failed");
}

void TTeleControl::ParkButton1Click() {
  Act("CanPark", "Park", "Moving to Park position", "Park command timed-out waiting for response");
}

void TTeleControl::UnParkButton1Click() {
  Act("CanUnpark", "UnPark", "Returning to operation from Park position", nullptr);
}

void TTeleControl::PolarHomeButton1Click() {
  if (!connected_) return;
  TTalk talk(*this);
  if (Command("CommandBlind", ":hF#") && talk.Live()) {
    Log("Reset mount to CWD Home position");
    Succeeded();
  }
}

void TTeleControl::FindHomeButton1Click() { Act(nullptr, "FindHome", "Finding the Home position", nullptr); }

void TTeleControl::TrackButton1Click() {
  if (!connected_) return;
  TTalk talk(*this);
  bool t = false;
  if (!GetBool("Tracking", t) || !talk.Live()) return;
  try {
    Drv()->Put("Tracking", TVariant(!t));
    if (talk.Live()) Succeeded();
  } catch (const std::exception& e) {
    LogFailure("Tracking", e);
  }
}

void TTeleControl::TrackFasterClick() {
  if (connected_) Command("CommandBlind", ":T+#");
}

void TTeleControl::TrackSlowerClick() {
  if (connected_) Command("CommandBlind", ":T-#");
}

TTeleControl::TAnswer TTeleControl::AlignCommand(const std::string& cmd) {
  std::string reply;
  bool unknown = false;
  if (Command("CommandString", cmd, &reply, "Align", &unknown)) return Yes(reply) ? TAnswer::Yes : TAnswer::No;
  return unknown ? TAnswer::Unknown : TAnswer::No;
}

void TTeleControl::AlignStartClick() {
  if (!connected_ || !onStep_) return;
  TTalk talk(*this);
  const int stars = std::clamp(alignStars, 1, 3);
  const TAnswer answer = AlignCommand(":A" + std::to_string(stars) + "#");
  if (!talk.Live()) return;
  if (answer == TAnswer::Yes) {
    alignLeft_ = stars;
    hold_ = 2;
    LogEvent("Align started");
    Succeeded();
  } else if (answer == TAnswer::No) {
    LogEvent("Align failed");
  }
  AfterAlign();
}

void TTeleControl::AcceptStarButton1Click() {
  if (!connected_ || !onStep_ || alignLeft_ < 1) return;
  TTalk talk(*this);
  --alignLeft_;
  const TAnswer answer = AlignCommand(":A+#");
  if (!talk.Live()) return;
  if (answer == TAnswer::Yes) {
    Succeeded();
    hold_ = 2;
    LogEvent("Align star accepted");
    if (alignLeft_ == 0) {
      Log("Align, Done.");
      ShowFlashMessage("Align done", 2);
    }
  } else {
    // Not answered "1": the alignment ends. A reply that was lost has been
    // said as unconfirmed (the star may have been accepted), not as failed.
    alignLeft_ = 0;
    if (answer == TAnswer::No) LogEvent("Align failed");
  }
  AfterAlign();
}

void TTeleControl::AfterAlign() {
  ui_.acceptStar = alignLeft_ >= 1;
  if (alignLeft_ >= 1) {
    host_->SetSyncHereEnabled(false);
    host_->SetAcceptAlignEnabled(true);
  } else {
    host_->SetSyncHereEnabled(canSync_);
    host_->SetAcceptAlignEnabled(false);
  }
  emit changed();
}

// --- Guiding --------------------------------------------------------------------------------

bool TTeleControl::CanSetGuideRates() {
  if (!connected_) return false;
  bool v = false;
  GetBool("CanSetGuideRates", v);
  return v || lx200_;
}

bool TTeleControl::SetGuideRate(int step) {
  if (!connected_ || step < 1 || step > 9) return false;
  TTalk talk(*this);
  bool can = false;
  GetBool("CanSetGuideRates", can);
  if (!talk.Live()) return false;
  if (can) {
    double r = 0;
    try {
      r = Drv()->Get("GuideRateRightAscension").AsDouble();
    } catch (const std::exception&) {
      if (talk.Live()) Log("Setting Guide-Rate, value error");
      return false;
    }
    if (!talk.Live()) return false;
    if (guideUnit_ == -1) {
      // The driver's current rate taken as 1x sidereal names its unit.
      if (std::fabs(r - 60) < 3) guideUnit_ = 60;
      else if (std::fabs(r - 1) <= 0.05) guideUnit_ = 1;
      else if (std::fabs(r - 15) <= 0.075) guideUnit_ = 15;
      else if (std::fabs(r - 0.004166) <= 0.00020083) guideUnit_ = 0.004166;
      else {
        Log("Unable to determine Guide-Rate");
        return false;
      }
    }
    try {
      Drv()->Put("GuideRateRightAscension", TVariant(kRateSteps[step] * guideUnit_));
      Drv()->Put("GuideRateDeclination", TVariant(kRateSteps[step] * guideUnit_));
    } catch (const std::exception&) {
      if (talk.Live()) Log("Setting Guide-Rate, error unexpected value");
      return false;
    }
    return talk.Live();
  }
  if (lx200_) {
    const bool sent = Command("CommandBlind", ":R" + std::to_string(step) + "#");
    if (!talk.Live()) return false;
    if (!sent) {
      Log("Setting Guide-Rate, value error");
      return false;
    }
    Log("Setting Guide-Rate, R" + std::to_string(step) + ".");
    return true;
  }
  return false;
}

namespace {
int DirectionCode(char u) {
  switch (u) {
    case 'N': return 0;
    case 'S': return 1;
    case 'E': return 2;
    case 'W': return 3;
    default: return -1;
  }
}
}  // namespace

void TTeleControl::StartMove(char direction) {
  if (!connected_) return;
  TTalk talk(*this);
  const char u = char(std::toupper(static_cast<unsigned char>(direction)));
  const int code = DirectionCode(u);
  if (code < 0) return;
  gotoMoved_ = true;
  Log(std::string("Start Guiding (") + u + ").");
  if (lx200_) {
    Command("CommandBlind", std::string(":M") + char(std::tolower(u)) + "#");
    return;
  }
  switch (u) {
    case 'N': slewTag_ = (slewTag_ & ~3) | 3; break;
    case 'S': slewTag_ = (slewTag_ & ~3) | 1; break;
    case 'E': slewTag_ = (slewTag_ & ~12) | 12; break;
    case 'W': slewTag_ = (slewTag_ & ~12) | 4; break;
  }
  slewTimer_.start(50);
  try {
    Drv()->Invoke("PulseGuide", {TVariant(int32_t(code)), TVariant(int32_t(45))});
  } catch (const std::exception& e) {
    LogFailure("PulseGuide", e);
  }
}

void TTeleControl::SlewTimerTimer() {
  if (!connected_) {
    slewTimer_.stop();
    return;
  }
  TTalk talk(*this);
  auto pulse = [&](int code) {
    if (!talk.Live()) return;
    try {
      Drv()->Invoke("PulseGuide", {TVariant(int32_t(code)), TVariant(int32_t(45))});
    } catch (const std::exception& e) {
      LogFailure("PulseGuide", e);
    }
  };
  if ((slewTag_ & 3) == 3) pulse(0);
  if ((slewTag_ & 3) == 1) pulse(1);
  if ((slewTag_ & 12) == 12) pulse(2);
  if ((slewTag_ & 12) == 4) pulse(3);
}

void TTeleControl::StopMove(char direction) {
  if (!connected_) return;
  TTalk talk(*this);
  const char u = char(std::toupper(static_cast<unsigned char>(direction)));
  const char* word = u == 'E' ? "East" : u == 'N' ? "North" : u == 'S' ? "South" : u == 'W' ? "West"
                     : u == '?' ? "All Directions" : nullptr;
  if (!word) return;
  Log(std::string("Quit Guiding (") + word + ")");
  if (lx200_) {
    Command("CommandBlind", u == '?' ? std::string(":Q#") : std::string(":Q") + char(std::tolower(u)) + "#");
    return;
  }
  if (u == '?') slewTag_ = 0;
  else if (u == 'E' || u == 'W') slewTag_ &= ~4;
  else slewTag_ &= ~1;
  slewTimer_.stop();
}

bool TTeleControl::CanPulseGuide() {
  if (!connected_) return false;
  bool v = false;
  GetBool("CanPulseGuide", v);
  return v;
}

void TTeleControl::PulseGuide(char direction, int ms) {
  if (!connected_) return;
  TTalk talk(*this);
  bool can = false;
  GetBool("CanPulseGuide", can);
  if (!talk.Live()) return;
  if (!can) {
    Log("Pulse Guiding, error not supported");
    return;
  }
  if (ms < 1 || ms > 16299) {
    Log("Pulse Guiding, warning invalid duration");
    return;
  }
  const char u = char(std::toupper(static_cast<unsigned char>(direction)));
  const int code = DirectionCode(u);
  if (code >= 0) Log(std::string("Pulse Guiding (") + u + " for " + std::to_string(ms) + "mS)");
  if (!autostarNotOnStep_) {
    if (code < 0) {
      Log("Pulse Guiding, warning direction unknown");
      return;
    }
    try {
      Drv()->Invoke("PulseGuide", {TVariant(int32_t(code)), TVariant(int32_t(ms))});
    } catch (const std::exception& e) {
      LogFailure("PulseGuide", e);
    }
    return;
  }
  if (code < 0) {
    Log("Pulse Guiding, warning direction unknown");
    return;
  }
  if (pulseBusy_) {
    Log("Pulse Guiding, warning thread is busy");
    return;
  }
  pulseBusy_ = true;
  pulseLetter_ = char(std::tolower(u));
  Command("CommandBlind", std::string(":M") + pulseLetter_ + "#");
  if (!talk.Live()) return;
  pulseTimer_.start(ms);
}

void TTeleControl::PulseTimerTimer() {
  pulseTimer_.stop();
  if (connected_ && pulseLetter_) {
    TTalk talk(*this);
    Command("CommandBlind", std::string(":Q") + pulseLetter_ + "#");
  }
  pulseBusy_ = false;
}

// --- Settings ------------------------------------------------------------------------------------

void TTeleControl::LoadSettings() {
  platform::TRegIniFile reg;
  setTime = reg.ReadInteger("ASCOM", "SET_TIME", 0) == 1;
  setLatLong = reg.ReadInteger("ASCOM", "SET_LOCATION", 0) == 1;
  name = reg.ReadString("ASCOM", "SCOPE_NAME", name);
  emit changed();
}

void TTeleControl::SaveSettings() const {
  platform::TRegIniFile reg;
  reg.WriteInteger("ASCOM", "SET_TIME", setTime ? 1 : 0);
  reg.WriteInteger("ASCOM", "SET_LOCATION", setLatLong ? 1 : 0);
  reg.WriteString("ASCOM", "SCOPE_NAME", name);
}
