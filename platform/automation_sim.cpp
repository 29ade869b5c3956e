#include "platform/automation_sim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/numfmt.h"
#include "platform/timezone.h"

namespace platform {

// --- Shared part -------------------------------------------------------------

namespace {
std::function<uint32_t()>& SimClock() {
  static std::function<uint32_t()> clock;
  return clock;
}
}  // namespace

void SetSimulatorClockForTest(std::function<uint32_t()> clock) { SimClock() = std::move(clock); }

void TSimDevice::FailMemberForTest(const std::string& member, int times) { failures_[member] = times; }


void TSimDevice::Unknown(const std::string& member) {
  throw EAutomationError("Member not implemented: " + member);
}

void TSimDevice::Enter(const std::string& kind, const std::string& member, const std::string& detail,
                       bool needsLink) {
  calls_.push_back(kind + " " + member + (detail.empty() ? "" : " " + detail));
  // Bring the device's motion up to now before it answers.
  const uint32_t now = SimClock() ? SimClock()() : TimeGetTime();
  if (!clockStarted_) {
    clockStarted_ = true;
    lastTick_ = now;
  }
  const uint32_t elapsed = now - lastTick_;
  lastTick_ = now;
  if (elapsed > 0) Advance(elapsed);
  auto it = failures_.find(member);
  if (it != failures_.end() && it->second != 0) {
    if (it->second > 0) --it->second;
    throw EAutomationError("Simulated failure of " + member);
  }
  if (needsLink && !IsConnected()) throw EAutomationError("Not connected");
}

TVariant TSimDevice::Get(const std::string& member) {
  Enter("Get", member, "", member != "Connected" && member != "DriverInfo");
  if (member == "Connected") return IsConnected();
  if (member == "DriverInfo") return driverInfo_;
  return DoGet(member);
}

void TSimDevice::Put(const std::string& member, const TVariant& value) {
  Enter("Put", member, "", member != "Connected");
  if (member == "Connected") {
    const bool want = value.AsBool();
    if (want) {
      connected_ = true;
      linkDropped_ = false;
    } else if (!refuseDisconnect_) {
      connected_ = false;
    }
    return;
  }
  DoPut(member, value);
}

TVariant TSimDevice::Invoke(const std::string& member, const TVariantList& args) {
  Enter("Invoke", member, args.empty() ? "" : args[0].AsString(), true);
  return DoInvoke(member, args);
}

// --- Mount ---------------------------------------------------------------------

namespace {

double Wrap24(double h) {
  h = std::fmod(h, 24.0);
  return h < 0 ? h + 24.0 : h;
}

// Hours from a to b the short way round, in [-12, 12).
double HoursBetween(double a, double b) {
  double d = std::fmod(b - a + 36.0, 24.0);
  if (d < 0) d += 24.0;
  return d - 12.0;
}

// Guide-rate steps of ":R1#".. ":R9#" in multiples of the sidereal rate.
constexpr double kRateSteps[10] = {0, 0.5, 1, 2, 8, 16, 32, 60, 120, 240};

}  // namespace

TSimTelescope::TSimTelescope(TSimTelescopeConfig config)
    : TSimDevice(config.driverInfo),
      cfg_(std::move(config)),
      guideRateRA_(cfg_.guideRateDegPerSec),
      guideRateDec_(cfg_.guideRateDegPerSec),
      pec_(825, 0) {}

void TSimTelescope::SetPointing(double raHours, double decDegrees) {
  ra_ = Wrap24(raHours);
  dec_ = std::clamp(decDegrees, -90.0, 90.0);
  slewing_ = false;
}

void TSimTelescope::StartSlew(double raHours, double decDegrees) {
  if (atPark_) throw EAutomationError("Mount is parked");
  if (!(decDegrees >= -90 && decDegrees <= 90) || !std::isfinite(raHours) || raHours < 0 || raHours >= 24)
    throw EAutomationError("Coordinates out of range");
  slewFromRa_ = ra_;
  slewFromDec_ = dec_;
  slewToRa_ = raHours;
  slewToDec_ = decDegrees;
  const double dist = std::max(std::fabs(HoursBetween(ra_, raHours)) * 15.0, std::fabs(decDegrees - dec_));
  slewDuration_ = dist / cfg_.slewRateDegPerSec * 1000.0;
  slewElapsed_ = 0;
  slewing_ = true;
}

void TSimTelescope::Nudge(int direction, double degrees) {
  if (direction == 0 || direction == 1) {
    // The motor turns by `degrees`; the axis follows once the play is taken up.
    const double half = cfg_.decPlayDeg / 2;
    const double lead = decLead_ + (direction == 0 ? degrees : -degrees);
    decLead_ = std::clamp(lead, -half, half);
    degrees = std::fabs(lead - decLead_);
  }
  switch (direction) {
    case 0: dec_ = std::min(90.0, dec_ + degrees); break;
    case 1: dec_ = std::max(-90.0, dec_ - degrees); break;
    case 2: ra_ = Wrap24(ra_ + degrees / 15.0); break;
    case 3: ra_ = Wrap24(ra_ - degrees / 15.0); break;
    default: throw EAutomationError("Invalid guide direction");
  }
}

void TSimTelescope::Advance(uint32_t elapsedMs) {
  if (slewing_) {
    slewElapsed_ += elapsedMs;
    const double f = slewDuration_ <= 0 ? 1.0 : std::min(1.0, slewElapsed_ / slewDuration_);
    ra_ = Wrap24(slewFromRa_ + HoursBetween(slewFromRa_, slewToRa_) * f);
    dec_ = slewFromDec_ + (slewToDec_ - slewFromDec_) * f;
    if (f >= 1.0) {
      ra_ = slewToRa_;
      dec_ = slewToDec_;
      slewing_ = false;
      if (parking_) {
        parking_ = false;
        atPark_ = true;
        tracking_ = false;
      }
    }
  }
  // Manual moves run at the selected guide-rate step.
  const double deg = kRateSteps[rateStep_] * cfg_.guideRateDegPerSec * elapsedMs / 1000.0;
  for (int d = 0; d < 4; ++d)
    if (moving_[size_t(d)]) Nudge(d, deg);
}

TVariant TSimTelescope::DoGet(const std::string& m) {
  if (m == "CanSetTracking") return cfg_.canSetTracking;
  if (m == "CanFindHome") return cfg_.canFindHome;
  if (m == "CanPark") return cfg_.canPark;
  if (m == "CanUnpark") return cfg_.canUnpark;
  if (m == "CanSetPark") return cfg_.canSetPark;
  if (m == "CanSync") return cfg_.canSync;
  if (m == "CanSlewAsync") return cfg_.canSlewAsync;
  if (m == "CanSetGuideRates") return cfg_.canSetGuideRates;
  if (m == "CanPulseGuide") return cfg_.canPulseGuide;
  if (m == "DoesRefraction") return cfg_.doesRefraction;
  if (m == "EquatorialSystem") return int32_t(cfg_.equatorialSystem);
  if (m == "RightAscension") return ra_;
  if (m == "Declination") return dec_;
  if (m == "SideOfPier") return int32_t(cfg_.sideOfPier);
  if (m == "Tracking") return tracking_;
  if (m == "Slewing") return slewing_ || std::any_of(moving_.begin(), moving_.end(), [](bool b) { return b; });
  if (m == "AtPark") return atPark_;
  if (m == "GuideRateRightAscension") return guideRateRA_;
  if (m == "GuideRateDeclination") return guideRateDec_;
  if (m == "SiteLongitude") return siteLongitude_;
  if (m == "SiteLatitude") return siteLatitude_;
  Unknown(m);
}

void TSimTelescope::DoPut(const std::string& m, const TVariant& v) {
  if (m == "Tracking") {
    if (!cfg_.canSetTracking) throw EAutomationError("Tracking cannot be set");
    tracking_ = v.AsBool();
  } else if (m == "UTCDate") {
    utcDate_ = v.AsDate().unixSeconds;
  } else if (m == "SiteLongitude") {
    const double lon = v.AsDouble();
    if (!(lon >= -180.0 && lon <= 180.0)) throw EAutomationError("SiteLongitude out of range");
    siteLongitude_ = lon;
  } else if (m == "SiteLatitude") {
    const double lat = v.AsDouble();
    if (!(lat >= -90.0 && lat <= 90.0)) throw EAutomationError("SiteLatitude out of range");
    siteLatitude_ = lat;
  } else if (m == "GuideRateRightAscension" || m == "GuideRateDeclination") {
    if (!cfg_.canSetGuideRates) throw EAutomationError("Guide rates cannot be set");
    const double r = v.AsDouble();
    if (!(r > 0 && std::isfinite(r))) throw EAutomationError("Guide rate out of range");
    (m == "GuideRateRightAscension" ? guideRateRA_ : guideRateDec_) = r;
  } else {
    Unknown(m);
  }
}

TVariant TSimTelescope::DoInvoke(const std::string& m, const TVariantList& a) {
  auto arg = [&](size_t i) -> const TVariant& {
    if (i >= a.size()) throw EAutomationError("Missing argument of " + m);
    return a[i];
  };
  if (m == "SlewToCoordinatesAsync" || m == "SlewToCoordinates") {
    if (m == "SlewToCoordinatesAsync" && !cfg_.canSlewAsync) Unknown(m);
    StartSlew(arg(0).AsDouble(), arg(1).AsDouble());
    if (m == "SlewToCoordinates") Advance(uint32_t(std::ceil(slewDuration_)));
    return {};
  }
  if (m == "SyncToCoordinates") {
    if (!cfg_.canSync) Unknown(m);
    const double r = arg(0).AsDouble(), d = arg(1).AsDouble();
    if (!(r >= 0 && r < 24 && d >= -90 && d <= 90)) throw EAutomationError("Coordinates out of range");
    SetPointing(r, d);
    return {};
  }
  if (m == "Park") {
    if (!cfg_.canPark) Unknown(m);
    if (!atPark_) {
      StartSlew(parkRa_, parkDec_);
      parking_ = true;
    }
    return {};
  }
  if (m == "UnPark") {
    if (!cfg_.canUnpark) Unknown(m);
    atPark_ = false;
    tracking_ = true;
    return {};
  }
  if (m == "SetPark") {
    if (!cfg_.canSetPark) Unknown(m);
    parkRa_ = ra_;
    parkDec_ = dec_;
    return {};
  }
  if (m == "FindHome") {
    if (!cfg_.canFindHome) Unknown(m);
    StartSlew(ra_, 90.0);
    return {};
  }
  if (m == "PulseGuide") {
    if (!cfg_.canPulseGuide) Unknown(m);
    const int dir = arg(0).AsInt();
    const int ms = arg(1).AsInt();
    if (ms < 0) throw EAutomationError("Negative pulse");
    Nudge(dir, (dir < 2 ? guideRateDec_ : guideRateRA_) * ms / 1000.0);
    return {};
  }
  if (m == "CommandString" || m == "CommandBlind" || m == "CommandBool") {
    if (cfg_.protocol == TSimProtocol::None) Unknown(m);
    const std::string reply = Command(arg(0).AsString());
    if (m == "CommandBool") return reply == "1" || reply == "1#";
    if (m == "CommandString") return reply;
    return {};
  }
  Unknown(m);
}

std::string TSimTelescope::Command(const std::string& c) {
  const bool onStep = cfg_.protocol == TSimProtocol::OnStep;
  if (c == ":GL#") return "20:15:00#";
  if (c == ":GC#") return "01/15/26#";
  if (c.size() == 4 && c.compare(0, 2, ":R") == 0 && c[2] >= '1' && c[2] <= '9' && c[3] == '#') {
    rateStep_ = c[2] - '0';
    return "";
  }
  static const std::string dirs = "nsew";
  if (c.size() == 4 && c[0] == ':' && (c[1] == 'M' || c[1] == 'Q') && dirs.find(c[2]) != std::string::npos &&
      c[3] == '#') {
    moving_[dirs.find(c[2])] = c[1] == 'M';
    return "";
  }
  if (c == ":Q#") {
    moving_ = {};
    slewing_ = false;
    return "";
  }
  if (!onStep) throw EAutomationError("Unknown command " + c);
  if (c == ":GS#") return gsReply_;
  if (c == ":GU#") {
    std::string s;
    if (!tracking_) s += 'n';
    if (!slewing_) s += 'N';
    s += atPark_ ? "P" : parking_ ? "I" : "p";
    if (std::any_of(pec_.begin(), pec_.end(), [](int v) { return v != 0; })) s += 'R';
    return s + "#";
  }
  if (c == ":$QZ?#") return std::string(1, pecState_) + "#";
  if (c == ":$QZZ#") {
    std::fill(pec_.begin(), pec_.end(), 0);
    pecState_ = 'I';
    return "";
  }
  if (c == ":$QZ/#") { pecState_ = 'r'; return ""; }
  if (c == ":$QZ+#") { pecState_ = 'p'; return ""; }
  if (c == ":$QZ-#") { pecState_ = 'I'; return ""; }
  if (c == ":$QZ!#") return "";
  if (c == ":VW#") return std::to_string(cfg_.wormPeriodSteps) + "#";
  if (c == ":VS#") return std::to_string(cfg_.stepsPerSecond) + "#";
  const int n = cfg_.stepsPerSecond > 0 ? cfg_.wormPeriodSteps / cfg_.stepsPerSecond : 0;
  if (c == ":VR#") {
    const int i = pecIndex_;
    return std::to_string(i >= 0 && i < int(pec_.size()) ? pec_[size_t(i)] : 0) + "," + std::to_string(i) + "#";
  }
  if (c.size() > 4 && c.compare(0, 3, ":VR") == 0 && c.back() == '#') {
    int64_t i = 0;
    if (!ParseInt(c.substr(3, c.size() - 4), i) || i < 0 || i >= n || i >= int64_t(pec_.size()))
      throw EAutomationError("Bad PEC index");
    return std::to_string(pec_[size_t(i)]) + "#";
  }
  if (c == ":WR+#" || c == ":WR-#") {
    if (n >= 1 && n <= int(pec_.size())) {
      if (c == ":WR+#") std::rotate(pec_.begin(), pec_.begin() + (n - 1), pec_.begin() + n);
      else std::rotate(pec_.begin(), pec_.begin() + 1, pec_.begin() + n);
    }
    return "1";
  }
  if (c.size() == 13 && c.compare(0, 3, ":WR") == 0 && c[7] == ',' && c.back() == '#') {
    int64_t i = 0, v = 0;
    if (!ParseInt(c.substr(3, 4), i) || !ParseInt(c.substr(9, 3), v) || (c[8] != '+' && c[8] != '-') || i < 0 ||
        i >= n || i >= int64_t(pec_.size()))
      throw EAutomationError("Bad PEC write " + c);
    pec_[size_t(i)] = int(c[8] == '-' ? -v : v);
    return "";
  }
  if (c == ":A1#" || c == ":A2#" || c == ":A3#") {
    alignLeft_ = c[2] - '0';
    return "1#";
  }
  if (c == ":A+#") {
    if (alignLeft_ < 1) return "0";
    --alignLeft_;
    return "1";
  }
  if (c == ":hF#") {
    SetPointing(ra_, 90.0);
    return "";
  }
  if (c == ":T+#") { ++trackAdjust_; return ""; }
  if (c == ":T-#") { --trackAdjust_; return ""; }
  throw EAutomationError("Unknown command " + c);
}

// --- Focuser ---------------------------------------------------------------------

TSimFocuser::TSimFocuser(TSimFocuserConfig config)
    : TSimDevice(config.driverInfo), cfg_(std::move(config)), position_(cfg_.startPosition), target_(position_) {}

void TSimFocuser::Advance(uint32_t elapsedMs) {
  if (position_ == target_) return;
  carry_ += double(cfg_.stepsPerSecond) * elapsedMs / 1000.0;
  const int steps = int(carry_);
  carry_ -= steps;
  if (target_ > position_) position_ = std::min(target_, position_ + steps);
  else position_ = std::max(target_, position_ - steps);
  if (position_ == target_) carry_ = 0;
}

TVariant TSimFocuser::DoGet(const std::string& m) {
  if (m == "Absolute") return cfg_.absolute;
  if (m == "Position") {
    if (!cfg_.absolute) Unknown(m);
    return int32_t(position_);
  }
  if (m == "MaxIncrement") return int32_t(cfg_.maxIncrement);
  if (m == "MaxStep") return int32_t(cfg_.maxStep);
  if (m == "IsMoving") return position_ != target_;
  Unknown(m);
}

void TSimFocuser::DoPut(const std::string& m, const TVariant&) { Unknown(m); }

TVariant TSimFocuser::DoInvoke(const std::string& m, const TVariantList& a) {
  if (m == "Move") {
    if (a.empty()) throw EAutomationError("Missing argument of Move");
    const int n = a[0].AsInt();
    const int to = cfg_.absolute ? n : position_ + n;
    if (std::abs(to - position_) > cfg_.maxIncrement) throw EAutomationError("Move exceeds MaxIncrement");
    target_ = std::clamp(to, 0, cfg_.maxStep);
    return {};
  }
  if (m == "Halt") {
    target_ = position_;
    return {};
  }
  Unknown(m);
}

// --- Filter wheel ------------------------------------------------------------------

TSimFilterWheel::TSimFilterWheel(TSimFilterWheelConfig config)
    : TSimDevice(config.driverInfo), cfg_(std::move(config)) {}

void TSimFilterWheel::Advance(uint32_t elapsedMs) {
  if (cfg_.coolerRate > 0) {
    const double step = cfg_.coolerRate * 10.0 * elapsedMs / 1000.0;
    temperature_ = temperature_ < setPoint_ ? std::min(double(setPoint_), temperature_ + step)
                                            : std::max(double(setPoint_), temperature_ - step);
  }
  if (stuck_ || busyMs_ <= 0) return;
  busyMs_ = std::max(0.0, busyMs_ - elapsedMs);
  if (busyMs_ == 0) slot_ = target_;
}

TVariant TSimFilterWheel::DoGet(const std::string& m) {
  if (m == "Names") return cfg_.names;
  if (m == "FocusOffsets") return cfg_.focusOffsets;
  if (m == "Position") {
    if (cfg_.makerWheel && temperatureNext_) {
      temperatureNext_ = false;
      return int32_t(std::lround(temperature_));
    }
    return int32_t(stuck_ || busyMs_ > 0 ? -1 : slot_);
  }
  Unknown(m);
}

void TSimFilterWheel::DoPut(const std::string& m, const TVariant& v) {
  if (m != "Position") Unknown(m);
  const int p = v.AsInt();
  if (cfg_.makerWheel) {
    if (temperatureNext_) {
      temperatureNext_ = false;
      setPoint_ = p;
      if (cfg_.coolerRate <= 0) temperature_ = p;
      return;
    }
    if (p == 999) {
      temperatureNext_ = true;
      return;
    }
    if (p == 99 || p == 100 || p == 101) {
      if (p == 101) ++calibrations_;
      else fine_ += p == 100 ? 1 : -1;
      target_ = slot_;
      busyMs_ = p == 101 ? cfg_.calibrationMs : cfg_.tweakMs;
      return;
    }
  }
  const int n = int(cfg_.names.size());
  if (p < 0 || p >= n) throw EAutomationError("Invalid filter position");
  const int d = std::abs(p - slot_);
  target_ = p;
  busyMs_ = double(std::min(d, n - d)) * cfg_.msPerSlot;
  if (busyMs_ == 0) slot_ = p;
}

TVariant TSimFilterWheel::DoInvoke(const std::string& m, const TVariantList&) { Unknown(m); }

// --- Registration --------------------------------------------------------------------

void RegisterSimulatorDrivers() {
  RegisterDriver({"Noctra.Simulator.Telescope", "Telescope", "Telescope simulator",
                  [] { return std::make_shared<TSimTelescope>(); }});
  RegisterDriver({"Noctra.Simulator.Telescope.Meade", "Telescope", "Telescope simulator (Meade Autostar)", [] {
                    TSimTelescopeConfig c;
                    c.driverInfo = "Meade Autostar simulator";
                    c.protocol = TSimProtocol::Meade;
                    c.canSetGuideRates = false;
                    return std::make_shared<TSimTelescope>(c);
                  }});
  RegisterDriver({"Noctra.Simulator.Telescope.OnStep", "Telescope", "Telescope simulator (OnStep)", [] {
                    TSimTelescopeConfig c;
                    c.driverInfo = "ON_STEP simulator";
                    c.protocol = TSimProtocol::OnStep;
                    c.equatorialSystem = 1;
                    return std::make_shared<TSimTelescope>(c);
                  }});
  RegisterDriver({"Noctra.Simulator.Focuser", "Focuser", "Focuser simulator",
                  [] { return std::make_shared<TSimFocuser>(); }});
  RegisterDriver({"Noctra.Simulator.Focuser.Relative", "Focuser", "Focuser simulator (relative)", [] {
                    TSimFocuserConfig c;
                    c.absolute = false;
                    return std::make_shared<TSimFocuser>(c);
                  }});
  RegisterDriver({"Noctra.Simulator.FilterWheel", "FilterWheel", "Filter wheel simulator",
                  [] { return std::make_shared<TSimFilterWheel>(); }});
  RegisterDriver({"Noctra.Simulator.Tar_vel.FilterWheel", "FilterWheel", "Tarvel filter wheel simulator", [] {
                    TSimFilterWheelConfig c;
                    c.makerWheel = true;
                    c.coolerRate = 0.2;
                    c.driverInfo = "Tarvel filter wheel simulator";
                    return std::make_shared<TSimFilterWheel>(c);
                  }});
}

}  // namespace platform
