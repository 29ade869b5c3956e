// The connection part of the telescope window's logic: choosing, the
// connect sequence with its mount detection, the disconnect, a lost link,
// and the 900 ms status poll.
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cmath>

#include "astro/observer.h"
#include "astro/text.h"
#include "platform/lx200_protocol.h"
#include "platform/numfmt.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"
#include "telescope/tele_control.h"

using platform::TVariant;

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
// How far from its target a settled goto may rest and still have arrived:
// far above what a mount's own position differs from the target it went
// to (arcseconds; a few arcminutes on a handset's coarse replies or while
// the sky drifts under a mount that does not track).
constexpr double kArrivalToleranceRad = 1.0 * kRadPerDeg;

// The angle between two directions on the sphere (right ascension and
// declination, radians), by the haversine formula, which keeps its
// precision for small angles.
double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double sd = std::sin((dec2 - dec1) / 2), sr = std::sin((ra2 - ra1) / 2);
  const double h = sd * sd + std::cos(dec1) * std::cos(dec2) * sr * sr;
  return 2 * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

bool HasAny(const std::string& s, const char* letters) { return s.find_first_of(letters) != std::string::npos; }

// The driver as the window's logic calls it: a call that finds the link
// gone tells the logic once, then raises as before; a warning the driver
// (or a fault no call raised) has after a call goes to the logic first;
// `inCall` counts the calls under way (events handled meanwhile come from
// outside them); `faultInCall` is set when a call ends with a fault told,
// cleared as the next begins.
class TLinkWatch : public platform::IAutomationObject {
 public:
  using TTell = std::function<void(const std::string&)>;
  TLinkWatch(platform::TAutomationRef inner, TTell lost, TTell notice, TTell fault, int* inCall, bool* faultInCall)
      : inner_(std::move(inner)),
        lost_(std::move(lost)),
        notice_(std::move(notice)),
        fault_(std::move(fault)),
        inCall_(inCall),
        faultInCall_(faultInCall) {}
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
    struct TCounted {
      int* n;
      explicit TCounted(int* c) : n(c) { ++*n; }
      ~TCounted() { --*n; }
    } counted(inCall_);
    *faultInCall_ = false;
    struct TNoticed {
      TLinkWatch* w;
      ~TNoticed() {
        try {
          const std::string text = w->inner_->TakeNotice();
          if (!text.empty()) w->notice_(text);
          const std::string fault = w->inner_->TakeFault();
          if (!fault.empty()) {
            w->fault_(fault);
            *w->faultInCall_ = true;
          }
        } catch (const std::exception&) {
          // Out of memory for a log line: the warning is dropped.
        }
      }
    };
    try {
      TNoticed noticed{this};
      return call();
    } catch (const platform::EAutomationLinkLost& e) {
      lost_(e.what());
      throw;
    }
  }

  platform::TAutomationRef inner_;
  TTell lost_, notice_, fault_;
  int* inCall_;
  bool* faultInCall_;
};

}  // namespace

// --- A lost link -------------------------------------------------------------------------

TLinkLostText LinkLostText(const std::string& why) {
  if (why.empty()) return {"Error, connection lost", "Connection lost"};
  return {"Error, connection lost: " + why, why};
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
  // The log says what the window says.
  const TLinkLostText text = LinkLostText(why);
  Log(text.log);
  if (gotoInProgress_) EndGoto(TGotoEnd::LinkLost);
  Disconnect();
  ui_.fault = text.fault;
  emit changed();
}

void TTeleControl::OnNotice(const std::string& text) {
  Log("Warning, " + text);
  ui_.notice = text;
  emit changed();
}

void TTeleControl::OnDriverFault(const std::string& text) {
  Log("Warning, " + text);
  // A fault while a goto runs (a mount that restarted) has lost that goto:
  // whoever waits for its end (the sequencer) is told instead of taking
  // the mount's rest for an arrival, and the Goto lamp goes out.
  if (gotoInProgress_) {
    EndGoto(TGotoEnd::GivenUp);
    ui_.gotoShape = TShape::ButtonFace;
  }
  ui_.fault = text;
  if (!ui_.fault.empty()) ui_.fault[0] = char(std::toupper(static_cast<unsigned char>(ui_.fault[0])));
  emit changed();
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
  const std::string worm = ui_.wormRotationTime, notice = ui_.notice;
  ui_ = TTeleControls{};
  ui_.wormRotationTime = worm;
  // What the driver warned of stays until the next connect.
  ui_.notice = notice;
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
  if (connected_ || connecting_) return;
  // An empty Driver box: nothing was chosen yet.
  if (TrimBlanks(name).empty()) {
    Log("Connect failed: no driver is chosen");
    ui_.fault = "No driver is chosen for the telescope: choose one with \"Select\" first.";
    emit changed();
    return;
  }
  TTalk talk(*this);
  // While the mount is reached the window offers Disconnect only, which
  // ends the connect.
  connecting_ = true;
  ui_.fault.clear();
  ui_.notice.clear();
  // Nothing of an earlier mount stays: its PEC copy and the plot's cursor.
  std::fill(pec_.begin(), pec_.end(), int16_t(0));
  lastPecValue_ = 0;
  lastPecIndex_ = -1;
  wormPeriod_ = 0;
  stepsPerSecond_ = 0;
  SetConnectedControls();
  ui_.progress = "Connecting to " + TrimBlanks(name) + "...";
  emit changed();
  // 1. A fresh driver object, connected and read back; a failure says why.
  std::string why;
  bool cancelled = false;
  platform::TAutomationRef raw;
  try {
    raw = platform::CreateOleObject(name);
    pending_ = raw;
    raw->Put("Connected", TVariant(true));
    if (!raw->Get("Connected").AsBool()) why = "the driver stays unconnected";
  } catch (const platform::EAutomationCancelled&) {
    cancelled = true;
  } catch (const std::exception& e) {
    why = e.what();
  }
  cancelled = cancelled || cancelConnect_;
  cancelConnect_ = false;
  pending_.reset();
  connecting_ = false;
  if (cancelled || !why.empty()) {
    ui_.progress.clear();
    if (raw) {
      try {
        raw->Put("Connected", TVariant(false));
      } catch (const std::exception&) {
        // Released in any case.
      }
    }
    SetDisconnectedControls();
    if (cancelled) {
      LogEvent("Connect cancelled");
    } else {
      LogEvent("Connect failed: " + why);
      ui_.fault = "Connect failed: " + why;
      emit changed();
    }
    return;
  }
  linkLost_ = false;
  driver_ = std::make_shared<TLinkWatch>(
      std::move(raw), [this](const std::string& w) { OnLinkLost(w); },
      [this](const std::string& t) { OnNotice(t); }, [this](const std::string& t) { OnDriverFault(t); }, &inCall_,
      &faultInCall_);
  // 2. Connected: the chart runs at real time, its clock menus are locked.
  connected_ = true;
  ++session_;
  talk.Rebase();
  host_->RealTime();
  host_->SetTimeAndLocationMenusEnabled(false);
  host_->SetGotoHereEnabled(true);
  polledPier_ = 0;
  trackingUnknownTold_ = false;
  ConnectSteps();
  if (!talk.Live()) return;
  ui_.progress.clear();
  emit changed();
}

// Steps 3 to 12 of the connect; each ends early when a Disconnect or a
// lost link ended the connection during one of its calls.
void TTeleControl::ConnectSteps() {
  TTalk talk(*this);
  // 3. Mount kind from the driver's description.
  std::string info;
  try {
    info = Drv()->Get("DriverInfo").AsString();
  } catch (const std::exception& e) {
    if (!talk.Live()) return;
    LogFailure("DriverInfo", e);
  }
  if (!talk.Live()) return;
  const std::string upper = UpperCaseStr(info);
  lx200_ = upper.find("AUTOSTAR") != std::string::npos || upper.find("MEADE") != std::string::npos;
  onStep_ = upper.find("ON_STEP") != std::string::npos;
  if (onStep_) lx200_ = true;
  // 4. Probe the LX200 command set. A mount that refuses it is no LX200
  //    mount, and then neither OnStep nor Autostar.
  bool probed = true;
  for (const char* cmd : {":GL#", ":GC#"}) {
    try {
      Drv()->Invoke("CommandString", {TVariant(cmd), TVariant(true)});
    } catch (const std::exception&) {
      probed = false;
      break;
    }
  }
  if (!talk.Live()) return;
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
  if (!talk.Live()) return;
  // 10. Time and site.
  SetSiteAndTime();
  if (!talk.Live()) return;
  // 11. The pointing model starts switched off.
  useAssist = false;
  ui_.useAssistEnabled = true;
  // 12. OnStep: PEC data and the OnStep controls.
  if (onStep_) {
    if (!ReadOnStepPec()) return;
    ui_.polarHome = ui_.align = ui_.trackRate = true;
    ui_.pecClear = ui_.pecBack = ui_.pecFwd = ui_.pecExport = ui_.pecImport = PecUsable();
  }
}

void TTeleControl::SetSiteAndTime() {
  TTalk talk(*this);
  if (setTime) {
    try {
      const double now = platform::SystemClockUnixSeconds();
      Drv()->Put("UTCDate", TVariant(platform::TAutomationDate{now}));
      const platform::SYSTEMTIME st = platform::GetSystemTimeUTC();
      char text[64];
      std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                    st.wMinute, st.wSecond);
      Log(std::string("Set Date/Time: ") + text + " UT");
    } catch (const std::exception& e) {
      if (!talk.Live() || dynamic_cast<const platform::EAutomationCancelled*>(&e)) return;
      // Which value the mount did not take, in the log and the window.
      Log(std::string("Warning, failed to set Date/Time: ") + e.what());
      ShowFailure("Set Date/Time", e);
    }
    if (!talk.Live()) return;
  }
  if (!setLatLong) return;
  // The chart's stand-in place (none chosen yet) would overwrite the
  // mount's own site.
  if (!host_->PlaceChosen()) {
    Log("Set Lat/Long skipped: No observer location chosen");
    ui_.fault = "No observer location chosen: Set Lat/Long skipped";
    emit changed();
    return;
  }
  const TObserverTime& o = Obs();
  // The record holds west-positive longitude in radians; drivers take
  // east-positive degrees in -180..180.
  double east = -o.Longitude / kRadPerDeg;
  east = std::fmod(east, 360.0);
  if (east > 180.0) east -= 360.0;
  if (east <= -180.0) east += 360.0;
  const double lat = o.Latitude / kRadPerDeg;
  try {
    Drv()->Put("SiteLongitude", TVariant(east));
    Drv()->Put("SiteLatitude", TVariant(lat));
    if (talk.Live()) Log("Set Latitude/Longitude");
  } catch (const std::exception& e) {
    if (!talk.Live() || dynamic_cast<const platform::EAutomationCancelled*>(&e)) return;
    LogFailure("Set Latitude/Longitude", e);
    ShowFailure("Set Latitude/Longitude", e);
  }
}

void TTeleControl::ReadCapabilities() {
  TTalk talk(*this);
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
    if (!talk.Live()) return;
    ui_.*c.button = v;
    if (v) Log(c.line);
  }
  try {
    const bool does = Drv()->Get("DoesRefraction").AsBool();
    useRefracted = !does;
    Log(does ? "Does Refraction" : "Doesn't do Refraction");
  } catch (const std::exception&) {
    if (!talk.Live()) return;
    Log("Unknown Refraction");
  }
  ui_.useRefractedEnabled = false;
  int sys = 0;
  try {
    sys = Drv()->Get("EquatorialSystem").AsInt();
  } catch (const std::exception& e) {
    if (!talk.Live()) return;
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
  if (!talk.Live()) return;
  if (canSync_) {
    Log("Can sync. Coordinates");
    host_->SetSyncHereEnabled(true);
  }
}

bool TTeleControl::Disconnect() {
  const bool named = !TrimBlanks(name).empty();
  if (connecting_) {
    // Ends the connect under way: its wait for the mount returns at once.
    cancelConnect_ = true;
    platform::TAutomationRef pending = std::move(pending_);
    if (pending) {
      try {
        pending->Put("Connected", TVariant(false));
      } catch (const std::exception&) {
        // The connect reports its own end.
      }
    }
    return named;
  }
  if (!named || !connected_) return named;
  ui_.wormRotationTime = "240";
  ui_.progress.clear();
  SetDisconnectedControls();
  connected_ = lx200_ = onStep_ = autostarNotOnStep_ = false;
  ++session_;
  if (gotoInProgress_) EndGoto(TGotoEnd::Disconnected);
  pulseBusy_ = false;
  slewTag_ = 0;
  hold_ = alignLeft_ = 0;
  lstValid_ = false;
  timer1_.stop();
  gotoTimer_.stop();
  slewTimer_.stop();
  pulseTimer_.stop();
  // Released here; a call still waiting for the mount holds the object
  // until its wait has ended.
  platform::TAutomationRef driver = std::move(driver_);
  std::string why;
  if (driver) {
    try {
      driver->Put("Connected", TVariant(false));
    } catch (const platform::EAutomationCancelled&) {
    } catch (const std::exception& e) {
      // The object is released in any case; what went wrong (an INDI
      // server that did not answer, whose connection was closed) is told.
      why = e.what();
    }
  }
  host_->SetGotoHereEnabled(false);
  host_->SetSyncHereEnabled(false);
  host_->SetAcceptAlignEnabled(false);
  host_->SetTimeAndLocationMenusEnabled(true);
  Log(why.empty() ? "Disconnect" : "Disconnect: " + why);
  emit changed();
  return named;
}

// --- The 900 ms poll ---------------------------------------------------------------------

void TTeleControl::Timer1Timer() {
  // A poll never starts while another conversation with the mount (the
  // connect, an earlier poll, a goto) waits for its reply.
  if (talking_ > 0) return;
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
  PollStatus();
}

// Steps 3 to 9 of the poll. Each status command goes once. Should another
// conversation run during one of its calls (a click on Goto, say), the
// tick ends there: what it read may be older than what that one did.
void TTeleControl::PollStatus() {
  TTalk talk(*this);
  const uint64_t serial = talkSerial_;
  auto interrupted = [&] { return !talk.Live() || talkSerial_ != serial; };
  ++polls_;
  // 3. The driver reports the link lost: a full disconnect.
  bool linked = false;
  try {
    linked = Drv()->Get("Connected").AsBool();
  } catch (const std::exception& e) {
    if (talk.Live()) LogFailure("Connected", e);
    return;
  }
  if (!talk.Live()) return;
  if (!linked || linkLost_) {
    // The link went away under us (a server or cable lost): told once, as
    // the disconnect that follows stops the poll. A driver that knows why
    // says so when it is asked for the position (an INDI server gone).
    if (!linkLost_) lostReason_ = platform::LinkLostReason(*Drv(), "RightAscension");
    linkLost_ = true;
    HandleLinkLost();
    return;
  }
  // 4. The mount is busy storing PEC data.
  if (uint32_t(platform::TimeGetTime() - lastPecWrite_) < 4000) return;
  // 5. Shapes. OnStep tells its tracking in the status it sends for step 6.
  ui_.connectedShape = TShape::Green;
  std::string status;
  bool tracking = false;
  if (onStep_) {
    Command("CommandString", ":GU#", &status);
    if (interrupted()) return;
    status = std::string(platform::Lx200Unframed(status));
    tracking = !status.empty() && !HasAny(status, "n");
    ui_.trackingShape = tracking ? TShape::Green : TShape::ButtonFace;
    polledPier_ = HasAny(status, "W") ? 1 : HasAny(status, "T") ? -1 : 0;
  } else {
    try {
      tracking = Drv()->Get("Tracking").AsBool();
      ui_.trackingShape = tracking ? TShape::Green : TShape::ButtonFace;
      trackingUnknownTold_ = false;
    } catch (const std::exception& e) {
      if (interrupted()) return;
      // A mount that does not tell: the lamp says so, the log once.
      ui_.trackingShape = TShape::Unknown;
      if (!trackingUnknownTold_) LogFailure("Tracking", e);
      trackingUnknownTold_ = true;
    }
    if (interrupted()) return;
    // A Meade handset's park state, where its driver knows it.
    if (autostarNotOnStep_) {
      try {
        ui_.parkedShape = Drv()->Get("AtPark").AsBool() ? TShape::Green : TShape::ButtonFace;
      } catch (const std::exception&) {
        ui_.parkedShape = TShape::Unknown;
      }
      if (interrupted()) return;
    }
  }
  // 6. OnStep status and PEC.
  if (onStep_) {
    PollOnStep(tracking, status);
    if (interrupted()) return;
  }
  // 7. Position; a move redraws the chart's marker.
  double ra = 0, dec = 0;
  const bool read = ReadPosition(ra, dec);
  if (interrupted()) return;
  if (read) {
    if (ra != ra_[1] || dec != dec_[1]) host_->ChartNeedsRedraw();
    ra_[0] = ra;
    dec_[0] = dec;
  }
  // 8. A goto whose slew has ended starts settling.
  if (gotoInProgress_) {
    bool slewing = true;
    const bool known = GetBool("Slewing", slewing);
    if (interrupted()) return;
    // (A restart told while the question was asked has ended the goto.)
    if (known && !slewing && gotoInProgress_ && !gotoTimer_.isActive()) {
      settleReads_ = reads_;
      gotoTimer_.start();
    }
  }
  ui_.gotoShape = gotoInProgress_ ? TShape::Green : TShape::ButtonFace;
  // The chart's pointing correction reads the sidereal time and pier side
  // found here.
  if (useAssist) {
    LocalSidereal();
    if (interrupted()) return;
    if (!onStep_ && pier == TPierChoice::FromDriver) {
      const int side = PierSide();
      if (interrupted()) return;
      if (side == 0 && polledPier_ != 0) Log("Warning, Pier-Side unknown");
      polledPier_ = side;
    }
  }
  // 9. History.
  for (int i = 3; i >= 1; --i) {
    ra_[size_t(i)] = ra_[size_t(i - 1)];
    dec_[size_t(i)] = dec_[size_t(i - 1)];
  }
  emit changed();
}

void TTeleControl::EndGoto(TGotoEnd how) {
  gotoInProgress_ = false;
  lastGotoEnd_ = how;
  gotoTimer_.stop();
  gotoEnd_ = platform::TimeGetTime();
}

void TTeleControl::GotoTimerTimer() {
  if (!gotoInProgress_) {
    gotoTimer_.stop();
    return;
  }
  // Settled. Where the mount was read at rest since its slew ended, that
  // position says whether it came to its target; a mount that stopped
  // short (its goto aborted, another controller's goto, a restart that
  // left no word) has not arrived.
  TGotoEnd how = TGotoEnd::Arrived;
  if (reads_ > settleReads_ && !gotoMoved_) {
    const double off = Separation(readRa_, readDec_, sentRa_, sentDec_);
    if (off > kArrivalToleranceRad) {
      how = TGotoEnd::GivenUp;
      ui_.fault = "Goto ended " + platform::FormatFixed(off / kRadPerDeg, 0, 1) + " degrees from its target";
      Log("Warning, " + ui_.fault);
    }
  }
  EndGoto(how);
  emit changed();
}
