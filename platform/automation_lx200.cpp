#include "platform/automation_lx200.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "platform/lx200_session.h"
#include "platform/numfmt.h"

namespace platform {

namespace {

// Sidereal rate, degrees per second (15.041"/s).
constexpr double kSiderealDegPerSec = 15.041067 / 3600.0;
// OnStep's rates of ":R0#".. ":R9#" in multiples of the sidereal rate; the
// last two (half and whole of the fastest slew) depend on the mount.
constexpr double kOnStepRates[10] = {0.25, 0.5, 1, 2, 4, 8, 20, 48, NAN, NAN};
// How long the markers that find a mount's replies again are waited for
// in all, as tests shorten it (SetLx200FindRepliesMsForTest).
constexpr int kFindRepliesMs = 9000;
std::atomic<int> g_findRepliesMs{kFindRepliesMs};

// The lines (identifiers' ports and hosts) whose mount has named itself
// OnStep in this run of the program: a name the driver does not know on
// such a line is noise, asked again and never taken.
std::mutex g_onStepLinesMutex;
std::set<std::string> g_onStepLines;

}  // namespace

int Lx200FindRepliesMs() { return g_findRepliesMs; }

bool AnsweredAsOnStep(const std::string& where) {
  std::lock_guard lock(g_onStepLinesMutex);
  return g_onStepLines.count(where) > 0;
}

void RememberOnStep(const std::string& where) {
  std::lock_guard lock(g_onStepLinesMutex);
  g_onStepLines.insert(where);
}

TVariant TLx200Session::Call(std::function<TVariant()> work) {
  auto job = std::make_shared<TLx200Job>();
  job->work = std::move(work);
  {
    std::lock_guard lock(mutex_);
    job->generation = generation_;
    queue_.push_back(job);
  }
  signal_.notify_one();
  if (!job->done.Wait()) {
    // The program ends without the mount's answer: a call not yet under
    // way is never sent. (A job holds nothing of its caller's.)
    {
      std::lock_guard lock(mutex_);
      std::erase(queue_, job);
    }
    throw EAutomationCancelled("the program ends: the mount's answer was not waited for");
  }
  switch (job->failure) {
    case TLx200Job::Failure::None: return job->result;
    case TLx200Job::Failure::Cancelled: throw EAutomationCancelled(job->message);
    case TLx200Job::Failure::LinkLost: throw EAutomationLinkLost(job->message);
    case TLx200Job::Failure::OutcomeUnknown: throw EAutomationOutcomeUnknown(job->message);
    case TLx200Job::Failure::Error: break;
  }
  throw EAutomationError(job->message);
}

void TLx200Session::End(bool stop) {
  {
    std::lock_guard lock(mutex_);
    ++generation_;
    open_ = false;
    if (stop) stop_ = true;
  }
  signal_.notify_one();
  const uint64_t one = 1;
  if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) < 0) {
    // The descriptor's count is full: the worker wakes all the same.
  }
}

void TLx200Session::Run() {
  for (;;) {
    std::shared_ptr<TLx200Job> job;
    {
      std::unique_lock lock(mutex_);
      signal_.wait(lock, [&] {
        return stop_ || !queue_.empty() || (line_.IsOpen() && lineGeneration_ != generation_);
      });
      if (!queue_.empty()) {
        job = queue_.front();
        queue_.pop_front();
      }
    }
    // A disconnect closes the line even when no call is waiting.
    if (line_.IsOpen() && lineGeneration_ != generation_) line_.Close();
    if (!job) {
      if (stop_) break;
      continue;
    }
    if (job->generation != generation_) {
      job->failure = TLx200Job::Failure::Cancelled;
      job->message = "Disconnected";
    } else {
      jobGeneration_ = job->generation;
      try {
        job->result = job->work();
      } catch (const EAutomationCancelled& e) {
        job->failure = TLx200Job::Failure::Cancelled;
        job->message = e.what();
      } catch (const EAutomationLinkLost& e) {
        job->failure = TLx200Job::Failure::LinkLost;
        job->message = e.what();
      } catch (const EAutomationOutcomeUnknown& e) {
        job->failure = TLx200Job::Failure::OutcomeUnknown;
        job->message = e.what();
      } catch (const std::exception& e) {
        job->failure = TLx200Job::Failure::Error;
        job->message = e.what();
      }
      AfterCall(*job);
      if (generation_ != jobGeneration_) line_.Close();
      open_ = line_.IsOpen() && lineGeneration_ == generation_;
    }
    job->done.Complete();
  }
  line_.Close();
  open_ = false;
  exited_ = true;
}

TVariant TLx200Session::Get(const std::string& m) {
  if (m == "Connected") return line_.IsOpen();
  if (m == "DriverInfo") {
    std::string where = addr_.serial ? addr_.path : addr_.path + ":" + std::to_string(addr_.port);
    std::string kind = onStep_ ? "ON_STEP" : "Meade";
    std::string what = product_.empty() ? std::string("LX200") : product_ + (version_.empty() ? "" : " " + version_);
    return "LX200 mount (" + kind + " command set): " + what + " on " + where;
  }
  if (m == "CanSlewAsync" || m == "CanSync") return true;
  if (m == "CanFindHome" || m == "CanSetTracking") return onStep_;
  // Meade's park: the handsets with a product name (not the classic LX200,
  // whose ":hP#" only seeks home); wake and set-park on the Autostar II.
  if (m == "CanPark") return onStep_ || !product_.empty();
  if (m == "CanUnpark" || m == "CanSetPark") return onStep_ || alignStatus_;
  if (m == "CanPulseGuide") return true;
  if (m == "CanSetGuideRates") return false;
  if (m == "DoesRefraction") return refraction_;
  if (m == "EquatorialSystem") return int32_t(eqSystem_);
  Require();
  if (m == "RepliesInStep") return RepliesInStep();
  if (m == "RightAscension") return AskSexagesimal(":GR#");
  if (m == "Declination") return AskSexagesimal(":GD#");
  if (m == "Slewing") {
    const std::string r(Lx200Unframed(Ask(":D#")));
    const bool bar = r.find_first_not_of(' ') != std::string::npos;
    // The goto's end: the mount is looked at once the call is done (one
    // that restarted has stopped too).
    if (!bar && slewing_) slewEnded_ = suspect_ = true;
    return bar;
  }
  if (m == "Tracking") {
    if (onStep_) return Status().find('n') == std::string::npos;
    if (alignStatus_) return Ask(":GW#")[1] == 'T';
    throw EAutomationError("The handset does not tell whether it tracks");
  }
  if (m == "AtPark") {
    if (onStep_) return Status().find('P') != std::string::npos;
    if (parkKnown_) return parked_;
    throw EAutomationError("The handset does not tell whether it is parked");
  }
  if (m == "SideOfPier") {
    if (!onStep_) Unknown(m);
    const std::string s = Status();
    if (s.find('W') != std::string::npos) return int32_t(1);
    if (s.find('T') != std::string::npos) return int32_t(0);
    throw EAutomationError("Pier side unknown");
  }
  if (m == "SiteLatitude") return AskSexagesimal(":Gt#");
  if (m == "SiteLongitude") {
    // West positive on the line (OnStep may also send east as negative).
    double east = -AskSexagesimal(":Gg#");
    east = std::fmod(east, 360.0);
    if (east > 180) east -= 360;
    if (east <= -180) east += 360;
    return east;
  }
  if (m == "GuideRateRightAscension" || m == "GuideRateDeclination") {
    double x = 1;
    if (onStep_ && rateStep_ >= 0 && std::isfinite(kOnStepRates[rateStep_])) x = kOnStepRates[rateStep_];
    return x * kSiderealDegPerSec;
  }
  Unknown(m);
}

void TLx200Session::Put(const std::string& m, const TVariant& v) {
  if (m == "Connected") {
    if (v.AsBool()) Connect();
    else line_.Close();
    return;
  }
  Require();
  if (m == "UTCDate") {
    PutClock(v.AsDate().unixSeconds);
  } else if (m == "SiteLatitude") {
    PutLatitude(v.AsDouble());
  } else if (m == "SiteLongitude") {
    PutLongitude(v.AsDouble());
  } else if (m == "Tracking") {
    if (!onStep_) Unknown(m);
    Set(v.AsBool() ? ":Te#" : ":Td#", "Tracking");
  } else {
    Unknown(m);
  }
}

std::string TLx200Session::Raw(const std::string& kind, const TVariantList& a) {
  if (a.empty()) throw EAutomationError("Missing argument of " + kind);
  const std::string cmd = a[0].AsString();
  if (!IsLx200Command(cmd)) throw EAutomationError("Not an LX200 command: \"" + cmd + "\"");
  Require();
  TLx200Reply shape = Lx200ReplyOf(cmd, onStep_);
  // The Bool form reads one character whatever the command.
  if (kind == "CommandBool" && shape != TLx200Reply::Bool) shape = TLx200Reply::Char;
  // A raw set of a value this connection set: the mount holds another
  // one now, which tells no restart.
  if (cmd.rfind(":SG", 0) == 0 || cmd.rfind(":SL", 0) == 0 || cmd.rfind(":SC", 0) == 0) clockGiven_.reset();
  if (cmd.rfind(":St", 0) == 0) latitudeGiven_.reset();
  if (cmd.rfind(":Sg", 0) == 0) longitudeGiven_.reset();
  const std::string reply = Ask(cmd, shape);
  // The guide-rate step, for the rates read back.
  if (cmd.size() == 4 && cmd[1] == 'R' && cmd[2] >= '0' && cmd[2] <= '9') rateStep_ = cmd[2] - '0';
  return reply;
}

// Why OnStep answered ":CM#" with its bare refusal: its status tells a
// parked or a slewing mount.
std::string TLx200Session::SyncRefusal() {
  if (!onStep_) return "unspecified error";
  const std::string s = Status();
  if (s.find('P') != std::string::npos) return "mount is parked";
  if (s.find('N') == std::string::npos) return "mount is slewing";
  return "unspecified error";
}

TVariant TLx200Session::Invoke(const std::string& m, const TVariantList& a) {
  auto arg = [&](size_t i) -> const TVariant& {
    if (i >= a.size()) throw EAutomationError("Missing argument of " + m);
    return a[i];
  };
  if (m == "CommandString") return Raw(m, a);
  if (m == "CommandBlind") {
    Raw(m, a);
    return {};
  }
  if (m == "CommandBool") return Raw(m, a) == "1";
  Require();
  if (m == "SlewToCoordinatesAsync") {
    Target(arg(0).AsDouble(), arg(1).AsDouble(), "; nothing was sent to move the mount");
    std::string r;
    try {
      r = AskPlaced(":MS#");
    } catch (const EAutomationOutcomeUnknown&) {
      slewing_ = callTarget_.started = true;
      throw;
    }
    slewing_ = callTarget_.started = r == "0";
    if (r != "0") {
      const char code = r.empty() ? '9' : r[0];
      std::string said(Lx200Unframed(r.substr(std::min<size_t>(1, r.size()))));
      said.erase(0, said.find_first_not_of(' '));
      throw EAutomationError("Goto refused by the mount: " + (said.empty() ? Lx200GotoRefusal(code) : said) + " (" +
                             code + ")");
    }
    return {};
  }
  if (m == "SyncToCoordinates") {
    Target(arg(0).AsDouble(), arg(1).AsDouble(), "; the mount was not synced");
    const std::string r = AskPlaced(":CM#");
    if (r == "0" || r == "1") throw EAutomationError("Sync refused by the mount: " + SyncRefusal());
    const std::string_view body = Lx200Unframed(r);
    if (body.size() == 2 && body[0] == 'E' && body[1] >= '1' && body[1] <= '9')
      throw EAutomationError("Sync refused by the mount: " + Lx200GotoRefusal(body[1]));
    return {};
  }
  if (m == "AbortSlew") {
    slewing_ = false;
    Ask(":Q#");
    return {};
  }
  if (m == "PulseGuide") {
    if (!hasMg_) Unknown(m);
    const int dir = arg(0).AsInt(), ms = arg(1).AsInt();
    if (dir < 0 || dir > 3) throw EAutomationError("Invalid guide direction");
    if (ms < 0) throw EAutomationError("Negative pulse");
    // OnStep takes up to 16399 ms, the Meade handsets four digits.
    const int limited = std::min(ms, onStep_ ? 16399 : 9999);
    char cmd[16];
    std::snprintf(cmd, sizeof cmd, ":Mg%c%04d#", "nsew"[dir], limited);
    Ask(cmd);
    return {};
  }
  if (onStep_) {
    if (m == "Park") return Set(":hP#", "Park"), TVariant();
    if (m == "UnPark") return Set(":hR#", "Un-park"), TVariant();
    if (m == "SetPark") return Set(":hQ#", "Set park"), TVariant();
    if (m == "FindHome") return Ask(":hC#"), TVariant();
  } else {
    // Meade's park, wake and set-park answer nothing.
    if (m == "Park" && !product_.empty()) {
      Ask(":hP#");
      parkKnown_ = parked_ = true;
      return {};
    }
    if (m == "UnPark" && alignStatus_) {
      Ask(":hW#");
      parkKnown_ = true;
      parked_ = false;
      return {};
    }
    if (m == "SetPark" && alignStatus_) return Ask(":hS#"), TVariant();
  }
  Unknown(m);
}

namespace {

// The driver object: each member is a call queued to the connection's
// worker, started with the first connect.
class TLx200Mount : public IAutomationObject {
 public:
  explicit TLx200Mount(TLx200Address a) : session_(std::make_shared<TLx200Session>(std::move(a))) {}
  ~TLx200Mount() override {
    session_->Stop();
    if (!worker_.joinable()) return;
    // The worker holds the session: one that is still inside a system call
    // (a name lookup) ends on its own.
    if (session_->Exited()) worker_.join();
    else worker_.detach();
  }

  // Each member's work holds the session and its own copies of the
  // arguments: it may run after its caller has stopped waiting for it.
  TVariant Get(const std::string& m) override {
    if (m == "Connected") return worker_.joinable() && session_->Open();
    return Call([s = session_, m] { return s->Get(m); });
  }
  void Put(const std::string& m, const TVariant& v) override {
    if (m == "Connected" && !v.AsBool()) {
      session_->Close();
      return;
    }
    if (m == "Connected" && !worker_.joinable()) {
      std::shared_ptr<TLx200Session> s = session_;
      worker_ = std::thread([s] { s->Run(); });
    }
    Call([s = session_, m, v] {
      s->Put(m, v);
      return TVariant();
    });
  }
  TVariant Invoke(const std::string& m, const TVariantList& a) override {
    return Call([s = session_, m, a] { return s->Invoke(m, a); });
  }
  std::string TakeNotice() override { return session_->TakeNotice(); }
  std::string TakeFault() override { return session_->TakeFault(); }

 private:
  // Before the first connect nothing talks to the line: the member runs here.
  TVariant Call(std::function<TVariant()> work) {
    if (!worker_.joinable()) return work();
    return session_->Call(std::move(work));
  }

  std::shared_ptr<TLx200Session> session_;
  std::thread worker_;
};

}  // namespace

TLx200Address ParseLx200Id(const std::string& id) {
  if (id.rfind("LX200:", 0) != 0) throw EAutomationError("Not an LX200 identifier: " + id);
  std::string rest = id.substr(6);
  TLx200Address a;
  a.serial = !rest.empty() && rest[0] == '/';
  const auto colon = rest.rfind(':');
  std::string number;
  if (colon != std::string::npos) {
    number = rest.substr(colon + 1);
    rest.erase(colon);
  }
  if (rest.empty()) throw EAutomationError("No port or host in " + id);
  a.path = rest;
  if (!number.empty()) {
    int32_t n = 0;
    const char* what = a.serial ? "speed" : "port";
    if (!ParseInt32(number, n) || n <= 0)
      throw EAutomationError("The " + std::string(what) + " \"" + number + "\" in " + id + " is not a number");
    if (a.serial) a.baud = n;
    else if (n > 65535) throw EAutomationError("The port " + number + " in " + id + " is above 65535");
    else a.port = n;
  }
  if (a.serial && !Lx200SpeedSupported(a.baud))
    throw EAutomationError("Unsupported speed " + std::to_string(a.baud) + " in " + id +
                           " (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 or 230400)");
  return a;
}

void SetLx200FindRepliesMsForTest(int ms) { g_findRepliesMs = ms > 0 ? ms : kFindRepliesMs; }

void ForgetLx200LinesForTest() {
  std::lock_guard lock(g_onStepLinesMutex);
  g_onStepLines.clear();
}

void RegisterLx200Drivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDriverScheme("LX200:", [](const std::string& id) -> TAutomationRef {
      return std::make_shared<TLx200Mount>(ParseLx200Id(id));
    });
  });
}

}  // namespace platform
