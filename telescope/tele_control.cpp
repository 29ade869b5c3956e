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

std::string Trim(const std::string& s) { return TrimBlanks(s); }

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

// The driver as the window's logic calls it: a call that finds the link
// gone tells the logic once, then raises as before.
class TLinkWatch : public platform::IAutomationObject {
 public:
  TLinkWatch(platform::TAutomationRef inner, std::function<void(const std::string&)> lost)
      : inner_(std::move(inner)), lost_(std::move(lost)) {}
  TVariant Get(const std::string& m) override {
    return Watched([&] { return inner_->Get(m); });
  }
  void Put(const std::string& m, const TVariant& v) override {
    Watched([&] { inner_->Put(m, v); });
  }
  TVariant Invoke(const std::string& m, const platform::TVariantList& a) override {
    return Watched([&] { return inner_->Invoke(m, a); });
  }

 private:
  template <class F>
  auto Watched(F call) -> decltype(call()) {
    try {
      return call();
    } catch (const platform::EAutomationLinkLost& e) {
      lost_(e.what());
      throw;
    }
  }

  platform::TAutomationRef inner_;
  std::function<void(const std::string&)> lost_;
};

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

void TTeleControl::SetHost(ITelescopeHost* host) {
  if (host) host_ = host;
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

void TTeleControl::OnLinkLost(const std::string& why) {
  if (linkLost_) return;
  linkLost_ = true;
  lostReason_ = why;
  // Handled once the operation that met the loss has returned.
  QTimer::singleShot(0, this, [this] { HandleLinkLost(); });
}

void TTeleControl::HandleLinkLost() {
  const std::string why = lostReason_;
  linkLost_ = false;
  lostReason_.clear();
  if (!connected_) return;
  Log("Error, connection lost");
  Disconnect();
  ui_.fault = why.empty() ? "Connection lost" : why;
  emit changed();
}

void TTeleControl::LogFailure(const std::string& member, const std::exception& e) const {
  Log("Warning, " + member + " failed: " + e.what());
}

bool TTeleControl::GetBool(const std::string& member, bool& out) {
  out = false;
  if (!driver_) return false;
  try {
    out = driver_->Get(member).AsBool();
    return true;
  } catch (const std::exception& e) {
    LogFailure(member, e);
    return false;
  }
}

bool TTeleControl::Command(const char* kind, const std::string& cmd, std::string* reply) {
  if (!driver_) return false;
  try {
    TVariant r = driver_->Invoke(kind, {TVariant(cmd), TVariant(true)});
    if (reply) *reply = r.AsString();
    return true;
  } catch (const std::exception& e) {
    LogFailure(std::string(kind) + " " + cmd, e);
    return false;
  }
}

// --- Controls -------------------------------------------------------------------------

void TTeleControl::SetConnectedControls() {
  ui_.connect = false;
  ui_.disconnect = true;
  ui_.select = ui_.name = ui_.setTimeBox = ui_.latLongBox = false;
  ui_.track = ui_.park = ui_.unpark = false;
  emit changed();
}

void TTeleControl::SetDisconnectedControls() {
  const std::string worm = ui_.wormRotationTime;
  ui_ = TTeleControls{};
  ui_.wormRotationTime = worm;
  useAssist = false;
  useRefracted = false;
  emit changed();
}

// --- Connection ---------------------------------------------------------------------------

void TTeleControl::SelectClick() {
  name = platform::ChooseDriver("Telescope", name);
  emit changed();
}

void TTeleControl::ConnectClick() {
  if (connected_ || Trim(name).empty()) return;
  ui_.fault.clear();
  // 1. A fresh driver object, connected and read back.
  platform::TAutomationRef raw = platform::ConnectDriver(name);
  if (!raw) {
    Log("Connect failed");
    return;
  }
  linkLost_ = false;
  driver_ = std::make_shared<TLinkWatch>(std::move(raw), [this](const std::string& why) { OnLinkLost(why); });
  // 2. Connected: the chart runs at real time, its clock menus are locked.
  connected_ = true;
  host_->RealTime();
  host_->SetTimeAndLocationMenusEnabled(false);
  host_->SetGotoHereEnabled(true);
  // 3. Mount kind from the driver's description.
  std::string info;
  try {
    info = driver_->Get("DriverInfo").AsString();
  } catch (const std::exception& e) {
    LogFailure("DriverInfo", e);
  }
  const std::string upper = UpperCaseStr(info);
  lx200_ = upper.find("AUTOSTAR") != std::string::npos || upper.find("MEADE") != std::string::npos;
  onStep_ = upper.find("ON_STEP") != std::string::npos;
  if (onStep_) lx200_ = true;
  // 4. Probe the LX200 command set. A mount that refuses it is no LX200
  //    mount, and then neither OnStep nor Autostar.
  bool probed = true;
  for (const char* cmd : {":GL#", ":GC#"}) {
    try {
      driver_->Invoke("CommandString", {TVariant(cmd), TVariant(true)});
    } catch (const std::exception&) {
      probed = false;
      break;
    }
  }
  if (probed) {
    Log("Connect, Autostar compatible: (" + info + ")");
  } else {
    lx200_ = false;
    Log("Connect: " + info);
  }
  onStep_ = onStep_ && lx200_;
  autostarNotOnStep_ = lx200_ && !onStep_;
  // 5. Poll and goto state.
  timer1_.start();
  gotoInProgress_ = false;
  gotoEnd_ = platform::TimeGetTime();
  SetConnectedControls();
  // 6.-9. Capabilities, refraction, equatorial system, sync.
  ReadCapabilities();
  // 10. Time and site.
  if (setTime) {
    try {
      const double now = platform::SystemClockUnixSeconds();
      driver_->Put("UTCDate", TVariant(platform::TAutomationDate{now}));
      const platform::SYSTEMTIME st = platform::GetSystemTimeUTC();
      char text[64];
      std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                    st.wMinute, st.wSecond);
      Log(std::string("Set Date/Time: ") + text + " UT");
    } catch (const std::exception&) {
      Log("Warning, failed to set Date/Time");
    }
  }
  if (setLatLong) {
    const TObserverTime& o = Obs();
    // The record holds west-positive longitude in radians; drivers take
    // east-positive degrees in -180..180.
    double east = -o.Longitude / kRadPerDeg;
    east = std::fmod(east, 360.0);
    if (east > 180.0) east -= 360.0;
    if (east <= -180.0) east += 360.0;
    try {
      driver_->Put("SiteLongitude", TVariant(east));
      driver_->Put("SiteLatitude", TVariant(o.Latitude / kRadPerDeg));
      Log("Set Latitude/Longitude");
    } catch (const std::exception& e) {
      LogFailure("Set Latitude/Longitude", e);
    }
  }
  // 11. The pointing model starts switched off.
  useAssist = false;
  ui_.useAssistEnabled = true;
  // 12. OnStep: PEC data and the OnStep controls.
  if (onStep_) {
    ReadOnStepPec();
    if (!connected_) return;
    ui_.polarHome = ui_.align = ui_.trackRate = true;
    ui_.pecClear = ui_.pecBack = ui_.pecFwd = ui_.pecExport = ui_.pecImport = PecUsable();
  }
  emit changed();
}

void TTeleControl::ReadCapabilities() {
  struct Cap {
    const char* member;
    bool TTeleControls::*button;
    const char* line;
  };
  static const Cap caps[] = {{"CanSetTracking", &TTeleControls::track, "Can set Tracking"},
                             {"CanFindHome", &TTeleControls::findHome, "Can find Home"},
                             {"CanPark", &TTeleControls::park, "Can Park"},
                             {"CanUnpark", &TTeleControls::unpark, "Can Un-Park"},
                             {"CanSetPark", &TTeleControls::setPark, "Can set Park"}};
  for (const Cap& c : caps) {
    bool v = false;
    GetBool(c.member, v);
    ui_.*c.button = v;
    if (v) Log(c.line);
  }
  try {
    const bool does = driver_->Get("DoesRefraction").AsBool();
    useRefracted = !does;
    Log(does ? "Does Refraction" : "Doesn't do Refraction");
  } catch (const std::exception&) {
    Log("Unknown Refraction");
  }
  ui_.useRefractedEnabled = false;
  int sys = 0;
  try {
    sys = driver_->Get("EquatorialSystem").AsInt();
  } catch (const std::exception& e) {
    LogFailure("EquatorialSystem", e);
  }
  if (sys < 0 || sys > 4) sys = 0;
  static const char* labels[] = {"(Unknown, assuming LocalTopocentric)", "(Local Topocentric)", "(J2000.0)",
                                 "(J2050.0", "(B1950)"};
  static const char* hints[] = {"", "", "Local Topocentric, precessed to J2000.0",
                                "Local Topocentric, precessed to J2050.0", "Local Topocentric, precessed to B1950"};
  ui_.coordinateType = labels[sys];
  ui_.coordinateHint = hints[sys];
  eqSystem_ = sys == 0 ? 1 : sys;
  GetBool("CanSync", canSync_);
  if (canSync_) {
    Log("Can sync. Coordinates");
    host_->SetSyncHereEnabled(true);
  }
}

bool TTeleControl::Disconnect() {
  const bool named = !Trim(name).empty();
  if (!named || !connected_) return named;
  ui_.wormRotationTime = "240";
  SetDisconnectedControls();
  connected_ = lx200_ = onStep_ = autostarNotOnStep_ = false;
  gotoInProgress_ = false;
  pulseBusy_ = false;
  slewTag_ = 0;
  hold_ = alignLeft_ = 0;
  lstValid_ = false;
  timer1_.stop();
  gotoTimer_.stop();
  slewTimer_.stop();
  pulseTimer_.stop();
  if (driver_) {
    try {
      driver_->Put("Connected", TVariant(false));
    } catch (const std::exception&) {
      // The link may already be gone; the object is released in any case.
    }
  }
  driver_.reset();
  host_->SetGotoHereEnabled(false);
  host_->SetSyncHereEnabled(false);
  host_->SetAcceptAlignEnabled(false);
  host_->SetTimeAndLocationMenusEnabled(true);
  Log("Disconnect");
  emit changed();
  return named;
}

// --- The 900 ms poll ---------------------------------------------------------------------

void TTeleControl::Timer1Timer() {
  // 1. Held after sync, park and alignment commands.
  if (hold_ >= 1) {
    hold_ -= 2;
    return;
  }
  // A link found lost by the last operation.
  if (linkLost_) {
    HandleLinkLost();
    return;
  }
  // 2. Nothing connected.
  if (!connected_) {
    timer1_.stop();
    ui_.connectedShape = ui_.trackingShape = ui_.gotoShape = ui_.parkedShape = ui_.parkingShape =
        ui_.parkFailedShape = ui_.pecShape = TShape::ButtonFace;
    emit changed();
    return;
  }
  // 3. The driver reports the link lost: a full disconnect.
  bool linked = false;
  try {
    linked = driver_->Get("Connected").AsBool();
  } catch (const std::exception& e) {
    LogFailure("Connected", e);
    return;
  }
  if (!linked || linkLost_) {
    // The link went away under us (a server or cable lost): told once, as
    // the disconnect that follows stops the poll.
    linkLost_ = true;
    HandleLinkLost();
    return;
  }
  // 4. The mount is busy storing PEC data.
  if (uint32_t(platform::TimeGetTime() - lastPecWrite_) < 4000) return;
  // 5. Shapes.
  ui_.connectedShape = TShape::Green;
  bool tracking = false;
  GetBool("Tracking", tracking);
  ui_.trackingShape = tracking ? TShape::Green : TShape::ButtonFace;
  // 6. OnStep status and PEC.
  if (onStep_) PollOnStep(tracking);
  // 7. Position; a move redraws the chart's marker.
  double ra = 0, dec = 0;
  if (ReadPosition(ra, dec)) {
    if (ra != ra_[1] || dec != dec_[1]) host_->ChartNeedsRedraw();
    ra_[0] = ra;
    dec_[0] = dec;
  }
  // 8. A goto whose slew has ended starts settling.
  if (gotoInProgress_) {
    bool slewing = true;
    if (GetBool("Slewing", slewing) && !slewing && !gotoTimer_.isActive()) gotoTimer_.start();
  }
  ui_.gotoShape = gotoInProgress_ ? TShape::Green : TShape::ButtonFace;
  // 9. History.
  for (int i = 3; i >= 1; --i) {
    ra_[size_t(i)] = ra_[size_t(i - 1)];
    dec_[size_t(i)] = dec_[size_t(i - 1)];
  }
  emit changed();
}

void TTeleControl::GotoTimerTimer() {
  gotoInProgress_ = false;
  gotoEnd_ = platform::TimeGetTime();
  gotoTimer_.stop();
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
  try {
    ra = driver_->Get("RightAscension").AsDouble() * 15.0 * kRadPerDeg;
    dec = driver_->Get("Declination").AsDouble() * kRadPerDeg;
  } catch (const std::exception&) {
    Log("Get telescope Coordinates failed");
    return false;
  }
  if (!std::isfinite(ra) || !std::isfinite(dec)) {
    Log("Get telescope Coordinates failed");
    return false;
  }
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
  targetRa_ = ra;
  targetDec_ = dec;
  ToDriver(ra, dec);
  bool async = false;
  GetBool("CanSlewAsync", async);
  try {
    driver_->Invoke(async ? "SlewToCoordinatesAsync" : "SlewToCoordinates",
                    {TVariant(ra / kRadPerDeg / 15.0), TVariant(dec / kRadPerDeg)});
  } catch (const std::exception& e) {
    // A refused goto (a parked mount, a target the mount will not take).
    LogFailure("Goto", e);
    ui_.fault = std::string("Goto failed: ") + e.what();
    emit changed();
    return false;
  }
  ui_.fault.clear();
  gotoInProgress_ = true;
  gotoTimer_.stop();
  emit changed();
  return true;
}

bool TTeleControl::SyncRaDec(double ra, double dec) {
  ToDriver(ra, dec);
  if (!connected_) return false;
  hold_ = 10;
  try {
    driver_->Invoke("SyncToCoordinates", {TVariant(ra / kRadPerDeg / 15.0), TVariant(dec / kRadPerDeg)});
    Log("Syncing to Coordinates");
    return true;
  } catch (const std::exception&) {
    Log("Warning, Syncing to Coordinates?");
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
    // The chart asks on every redraw: a reading less than a second old is
    // carried forward at the sidereal rate instead of asking the mount again.
    const uint32_t now = platform::TimeGetTime();
    const uint32_t age = now - lstTick_;
    if (lstValid_ && age < 1000) return Wrap2Pi(lst_ + age * (kTwoPi * 1.00273790935 / 86400000.0));
    std::string reply;
    double lst = 0;
    if (Command("CommandString", ":GS#", &reply) && ParseSidereal(reply, lst)) {
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
      const int side = driver_->Get("SideOfPier").AsInt();
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
  const double ha = WrapPi(LocalSidereal() - ra);
  const int side = PierSide();
  if (side == 0) {
    Log("Warning, Pier-Side unknown");
    return;
  }
  assist_->latitude = SiteLatitude();
  assist_->ApplyModel(side, ha, dec, dHa, dDec);
}

// --- Parking, homing, tracking, alignment ---------------------------------------------------

void TTeleControl::SetParkButton1Click() {
  if (!connected_) return;
  bool can = false;
  GetBool("CanSetPark", can);
  if (!can) return;
  hold_ = 6;
  try {
    driver_->Invoke("SetPark", {});
    Log("Setting Park position");
  } catch (const std::exception&) {
    Log("Setting Park position failed");
  }
}

void TTeleControl::ParkButton1Click() {
  if (!connected_) return;
  bool can = false;
  GetBool("CanPark", can);
  if (!can) return;
  hold_ = 6;
  try {
    driver_->Invoke("Park", {});
    Log("Moving to Park position");
  } catch (const std::exception&) {
    Log("Park command timed-out waiting for response");
  }
}

void TTeleControl::UnParkButton1Click() {
  if (!connected_) return;
  bool can = false;
  GetBool("CanUnpark", can);
  if (!can) return;
  hold_ = 6;
  try {
    driver_->Invoke("UnPark", {});
    Log("Returning to operation from Park position");
  } catch (const std::exception& e) {
    LogFailure("UnPark", e);
  }
}

void TTeleControl::PolarHomeButton1Click() {
  if (!connected_) return;
  if (Command("CommandBlind", ":hF#")) Log("Reset mount to CWD Home position");
}

void TTeleControl::FindHomeButton1Click() {
  if (!connected_) return;
  try {
    driver_->Invoke("FindHome", {});
    Log("Finding the Home position");
  } catch (const std::exception& e) {
    LogFailure("FindHome", e);
  }
}

void TTeleControl::TrackButton1Click() {
  if (!connected_) return;
  bool t = false;
  if (!GetBool("Tracking", t)) return;
  try {
    driver_->Put("Tracking", TVariant(!t));
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

void TTeleControl::AlignStartClick() {
  if (!connected_ || !onStep_) return;
  const int stars = std::clamp(alignStars, 1, 3);
  std::string reply;
  if (Command("CommandString", ":A" + std::to_string(stars) + "#", &reply) && Yes(reply)) {
    alignLeft_ = stars;
    hold_ = 2;
    Log("Align started");
  } else {
    Log("Align failed");
  }
  AfterAlign();
}

void TTeleControl::AcceptStarButton1Click() {
  if (!connected_ || !onStep_ || alignLeft_ < 1) return;
  --alignLeft_;
  std::string reply;
  if (Command("CommandString", ":A+#", &reply) && Yes(reply)) {
    hold_ = 2;
    Log("Align star accepted");
    if (alignLeft_ == 0) {
      Log("Align, Done.");
      ShowFlashMessage("Align done", 2);
    }
  } else {
    alignLeft_ = 0;
    Log("Align failed");
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
  bool can = false;
  GetBool("CanSetGuideRates", can);
  if (can) {
    double r = 0;
    try {
      r = driver_->Get("GuideRateRightAscension").AsDouble();
    } catch (const std::exception&) {
      Log("Setting Guide-Rate, value error");
      return false;
    }
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
      driver_->Put("GuideRateRightAscension", TVariant(kRateSteps[step] * guideUnit_));
      driver_->Put("GuideRateDeclination", TVariant(kRateSteps[step] * guideUnit_));
    } catch (const std::exception&) {
      Log("Setting Guide-Rate, error unexpected value");
      return false;
    }
    return true;
  }
  if (lx200_) {
    if (!Command("CommandBlind", ":R" + std::to_string(step) + "#")) {
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
  const char u = char(std::toupper(static_cast<unsigned char>(direction)));
  const int code = DirectionCode(u);
  if (code < 0) return;
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
    driver_->Invoke("PulseGuide", {TVariant(int32_t(code)), TVariant(int32_t(45))});
  } catch (const std::exception& e) {
    LogFailure("PulseGuide", e);
  }
}

void TTeleControl::SlewTimerTimer() {
  if (!connected_) {
    slewTimer_.stop();
    return;
  }
  auto pulse = [&](int code) {
    try {
      driver_->Invoke("PulseGuide", {TVariant(int32_t(code)), TVariant(int32_t(45))});
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
  bool can = false;
  GetBool("CanPulseGuide", can);
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
      driver_->Invoke("PulseGuide", {TVariant(int32_t(code)), TVariant(int32_t(ms))});
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
  pulseTimer_.start(ms);
}

void TTeleControl::PulseTimerTimer() {
  pulseTimer_.stop();
  if (connected_ && pulseLetter_) Command("CommandBlind", std::string(":Q") + pulseLetter_ + "#");
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
