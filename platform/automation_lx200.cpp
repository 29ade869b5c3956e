#include "platform/automation_lx200.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "platform/gui_thread.h"
#include "platform/lx200_line.h"
#include "platform/lx200_protocol.h"
#include "platform/numfmt.h"

namespace platform {

namespace {

// Sidereal rate, degrees per second (15.041"/s).
constexpr double kSiderealDegPerSec = 15.041067 / 3600.0;
// OnStep's rates of ":R0#".. ":R9#" in multiples of the sidereal rate; the
// last two (half and whole of the fastest slew) depend on the mount.
constexpr double kOnStepRates[10] = {0.25, 0.5, 1, 2, 4, 8, 20, 48, NAN, NAN};
// How long an optional reply tail is waited for (a Meade goto message,
// the rest of a sync reply after its first digit).
constexpr int kTailMs = 150;
// Meade's lines after ":SC" come once the handset has recomputed its
// planetary data; they are waited for this long, within the reply limit
// (later ones are dropped before the next command).
constexpr int kDateTailMs = 400;
// How long each marker that finds the mount's replies again is waited for
// (Lx200Marker), one after the other, and how long they are waited for in
// all: a link that stalls (a network bridge, a busy handset) has about 9 s
// to deliver what it owes, whatever the question, and a board that
// restarts meanwhile (losing what it was sent) answers a marker sent 6.5 s
// on, where four can be used. Where fewer can, the last one has the rest
// of the time.
constexpr int kMarkerLimitMs[] = {1500, 2500, 2500, 2500};
constexpr int kFindRepliesMs = 9000;
// The whole wait as tests shorten it (SetLx200FindRepliesMsForTest).
std::atomic<int> g_findRepliesMs{kFindRepliesMs};

// The lines (identifiers' ports and hosts) whose mount has named itself
// OnStep in this run of the program: a name the driver does not know on
// such a line is noise, asked again and never taken.
std::mutex g_onStepLinesMutex;
std::set<std::string> g_onStepLines;

bool AnsweredAsOnStep(const std::string& where) {
  std::lock_guard lock(g_onStepLinesMutex);
  return g_onStepLines.count(where) > 0;
}

void RememberOnStep(const std::string& where) {
  std::lock_guard lock(g_onStepLinesMutex);
  g_onStepLines.insert(where);
}

// One member call queued to the connection's worker. A failure comes back
// as its kind and text and is raised afresh on the caller's thread (no
// exception object crosses threads).
struct TLx200Job {
  enum class Failure { None, Error, LinkLost, Cancelled, OutcomeUnknown };
  std::function<TVariant()> work;
  uint64_t generation = 0;
  TVariant result;
  Failure failure = Failure::None;
  std::string message;
  TCompletion done;
};

// The connection: its line, the mount's state and the queue of member
// calls. The members below run on the worker thread only; Call, Close and
// Stop are the caller's side.
class TLx200Session {
 public:
  explicit TLx200Session(TLx200Address a)
      : addr_(std::move(a)),
        wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
        line_(wakeFd_, [this] { return generation_.load() != jobGeneration_; }) {}
  ~TLx200Session() {
    line_.Close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
  }

  // --- The caller's side -----------------------------------------------------
  // Queues `work` behind the calls before it and waits for its result.
  TVariant Call(std::function<TVariant()> work) {
    auto job = std::make_shared<TLx200Job>();
    job->work = std::move(work);
    {
      std::lock_guard lock(mutex_);
      job->generation = generation_;
      queue_.push_back(job);
    }
    signal_.notify_one();
    job->done.Wait();
    switch (job->failure) {
      case TLx200Job::Failure::None: return job->result;
      case TLx200Job::Failure::Cancelled: throw EAutomationCancelled(job->message);
      case TLx200Job::Failure::LinkLost: throw EAutomationLinkLost(job->message);
      case TLx200Job::Failure::OutcomeUnknown: throw EAutomationOutcomeUnknown(job->message);
      case TLx200Job::Failure::Error: break;
    }
    throw EAutomationError(job->message);
  }
  bool Open() const { return open_; }
  bool Exited() const { return exited_; }
  // What the worker has to tell that no call raised (a noisy line), once.
  std::string TakeNotice() {
    std::lock_guard lock(mutex_);
    return std::exchange(notice_, std::string());
  }
  // Ends the connection: the call in flight and the queued ones end at
  // once, the worker closes the line.
  void Close() { End(false); }
  // Close, and the worker ends.
  void Stop() { End(true); }

  // --- The worker ----------------------------------------------------------------
  void Run();
  TVariant Get(const std::string& m);
  void Put(const std::string& m, const TVariant& v);
  TVariant Invoke(const std::string& m, const TVariantList& a);

 private:
  void End(bool stop) {
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

  [[noreturn]] static void Unknown(const std::string& m) { throw EAutomationError("Member not implemented: " + m); }
  void Require() const {
    if (!line_.IsOpen()) {
      if (everOpen_) throw EAutomationLinkLost("Not connected");
      throw EAutomationError("Not connected");
    }
  }
  // How long an optional tail of a reply of `shape` is waited for (OnStep
  // sends none after a date).
  int TailMs(TLx200Reply shape) const { return shape == TLx200Reply::Date ? (onStep_ ? 0 : kDateTailMs) : kTailMs; }
  // Sends `cmd` and returns the mount's reply, checked against its form.
  // After a reply late, cut short, malformed or missing, the mount's
  // replies are found again (FindReplies) before anything else is sent; a
  // reply that came whole but late is then taken. Else the command is
  // asked again, kLx200Asks times in all, where sending it again is
  // harmless (Lx200MayAskAgain); a command that is never sent twice raises
  // EAutomationOutcomeUnknown, the link kept. With `soft` a probe the mount
  // may not know raises EAutomationError (no reply at all, or no good one).
  // Replies that cannot be found again, or a query that never gets a good
  // reply, end the connection (EAutomationLinkLost).
  // `accept` checks the reply instead of Lx200ReplyValid where given.
  std::string Ask(const std::string& cmd, TLx200Reply shape, bool soft = false,
                  int limitMs = kLx200ReplyLimitMs, bool (*accept)(std::string_view, std::string_view) = nullptr);
  // Finds the mount's replies again after the irregular reply to `cmd`
  // (lx200_protocol.h): the bytes that came before the marker's reply (a
  // late reply, the rest of a cut one), or nothing when no marker's reply
  // came (the line then stays open).
  std::optional<std::string> FindReplies(const std::string& cmd);
  // Whether every reply since the last check answered its own command, as
  // far as the line can tell: a marker is sent and its reply found; bytes
  // that no reply took (a reply the link sent twice, a late one) before it
  // or since the last check make it false. A bulk read (a PEC table) asks
  // this at its end: a reply that came twice sets the replies after it one
  // behind, each of them well formed.
  bool RepliesInStep();
  // The same, or the connection ends with `why`.
  std::string FindRepliesOrLose(const std::string& cmd, const std::string& why);
  // The mount's product name (":GVP#"): a name this driver does not know
  // is taken only when two asks in a row give it, and never on a line
  // whose mount named itself OnStep before. Empty for a mount without
  // one (the classic LX200).
  std::string AskProduct();
  std::string Ask(const std::string& cmd, bool soft = false) { return Ask(cmd, Lx200ReplyOf(cmd, onStep_), soft); }
  // A set command answered "1"; "0" raises with `what`.
  void Set(const std::string& cmd, const std::string& what) {
    if (Ask(cmd) != "1") throw EAutomationError(what + " refused by the mount (" + cmd + ")");
  }
  double AskSexagesimal(const std::string& cmd) {
    double v = 0;
    ParseLx200Sexagesimal(Ask(cmd), v);  // checked by Ask
    return v;
  }
  // OnStep's status (":GU#"). One with a flag this driver does not know
  // (a newer firmware's) is taken once the line proves in step after it:
  // the reply of another command, sent twice by the link, would not be.
  std::string Status();
  void Connect();
  // Counts a good reply; `again`: it needed a second ask.
  void Counted(bool again);
  void Target(double raHours, double decDegrees);
  std::string Raw(const std::string& kind, const TVariantList& a);
  std::string SyncRefusal();

  TLx200Address addr_;
  int wakeFd_;
  TLx200Line line_;
  // The caller's side and the worker share these.
  std::mutex mutex_;
  std::condition_variable signal_;
  std::deque<std::shared_ptr<TLx200Job>> queue_;
  std::atomic<uint64_t> generation_{1};
  std::atomic<bool> open_{false}, stop_{false}, exited_{false};
  std::string notice_;  // under mutex_
  // The worker's own.
  uint64_t jobGeneration_ = 0, lineGeneration_ = 0;
  bool everOpen_ = false;
  bool onStep_ = false, high_ = true, hasMg_ = false, refraction_ = false;
  bool alignStatus_ = false;  // a Meade handset that answers ":GW#"
  bool parkKnown_ = false, parked_ = false;
  int eqSystem_ = 1;
  int rateStep_ = -1;
  std::string product_, version_;
  TLx200Retries retries_;
  // The last command sent; a reply found out of step since the last check.
  std::string lastSent_;
  bool outOfStep_ = false;
};

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
      if (generation_ != jobGeneration_) line_.Close();
      open_ = line_.IsOpen() && lineGeneration_ == generation_;
    }
    job->done.Complete();
  }
  line_.Close();
  open_ = false;
  exited_ = true;
}

void TLx200Session::Counted(bool again) {
  if (!retries_.Count(again)) return;
  std::lock_guard lock(mutex_);
  notice_ = retries_.Report();
}

namespace {

// Why a reply was no good, for the messages.
std::string Trouble(const std::string& cmd, const TLx200Heard& heard, bool again, int limitMs) {
  if (heard.silent) return "no reply from the mount to " + cmd + " within " + Lx200Seconds(limitMs);
  if (heard.cut) return "reply to " + cmd + " cut short";
  return std::string(again ? "malformed reply to " : "garbled reply to ") + cmd + ": \"" +
         Lx200Printable(heard.text) + "\"";
}

// Whether more came for `cmd` than its own reply, late or spoiled: bytes
// after a reply that was whole (only malformed), a second end of a reply
// in what came late, or a reply as long as two whose first half is a good
// reply of `cmd` but for its "#" (noise took it, and it ran into the next
// reply, spoiled or not). Another reply then came twice or late, and the
// replies read before may have been one behind.
bool MoreThanItsReply(const std::string& cmd, TLx200Reply shape, const TLx200Heard& heard, const std::string& late) {
  const bool complete = !heard.silent && !heard.garbled && !heard.cut;
  if (complete && !Lx200Blank(late)) return true;
  if (shape != TLx200Reply::Text) return false;
  const std::size_t end = late.find('#');
  if (end != std::string::npos && end + 1 < late.size()) return true;
  const std::string text = heard.text + late;
  const std::size_t half = text.size() / 2;
  auto good = [&](const std::string& r) { return Lx200WholeReply(shape, r) && Lx200ReplyValid(cmd, r); };
  return text.size() % 2 == 0 && half >= 2 && good(text.substr(0, half - 1) + "#");
}

}  // namespace

std::optional<std::string> TLx200Session::FindReplies(const std::string& cmd) {
  std::vector<std::string> owed;
  if (!cmd.empty()) owed.push_back(cmd);
  std::string received;
  const int whole = g_findRepliesMs;
  int left = whole;
  for (std::size_t i = 0; i < std::size(kMarkerLimitMs); ++i) {
    const std::string marker = Lx200Marker(owed, product_, version_);
    if (marker.empty()) break;
    // Its reply may come later still: the next marker takes another form.
    owed.push_back(marker);
    const bool last = i + 1 == std::size(kMarkerLimitMs) || Lx200Marker(owed, product_, version_).empty();
    const int limitMs = last ? left : std::min(left, kMarkerLimitMs[i] * whole / kFindRepliesMs);
    left -= limitMs;
    std::size_t start = 0;
    const std::string& name = marker == ":GVN#" ? version_ : product_;
    if (line_.FindMarker(marker, limitMs, name, received, start)) return received.substr(0, start);
  }
  return std::nullopt;
}

bool TLx200Session::RepliesInStep() {
  Require();
  const std::optional<std::string> before = FindReplies(lastSent_);
  if (!before) line_.Lost("no reply from the mount within " + Lx200Seconds(g_findRepliesMs));
  const bool strays = line_.TakeStrays() > 0 || !Lx200Blank(*before);
  return !std::exchange(outOfStep_, false) && !strays;
}

std::string TLx200Session::FindRepliesOrLose(const std::string& cmd, const std::string& why) {
  if (std::optional<std::string> late = FindReplies(cmd)) return *late;
  std::string lost = why + "; the mount's replies could not be told apart again";
  if (!Lx200MayAskAgain(cmd)) lost += "; " + Lx200Consequence(cmd);
  line_.Lost(lost);
}

std::string TLx200Session::Status() {
  const auto shaped = [](std::string_view, std::string_view reply) {
    const std::string_view r = Lx200Unframed(reply);
    return !reply.empty() && reply.back() == '#' && r.find('#') == std::string_view::npos && Lx200StatusShaped(r);
  };
  for (int ask = 1; ask <= kLx200Asks; ++ask) {
    const std::string s(Lx200Unframed(Ask(":GU#", Lx200ReplyOf(":GU#", onStep_), false, kLx200ReplyLimitMs, shaped)));
    if (Lx200StatusValid(s) || RepliesInStep()) return s;
  }
  line_.Lost("OnStep's status never came in step with its question (asked " + std::to_string(kLx200Asks) + " times)");
}

std::string TLx200Session::Ask(const std::string& cmd, TLx200Reply shape, bool soft, int limitMs,
                               bool (*accept)(std::string_view, std::string_view)) {
  Require();
  if (!accept) accept = Lx200ReplyValid;
  const bool again = Lx200MayAskAgain(cmd);
  const int asks = again ? kLx200Asks : 1;
  std::string why;
  for (int ask = 1; ask <= asks; ++ask) {
    lastSent_ = cmd;
    const TLx200Heard heard = line_.Transact(cmd, shape, limitMs, TailMs(shape));
    if (shape == TLx200Reply::None) return {};
    if (!heard.silent && !heard.garbled && !heard.cut && accept(cmd, heard.text)) {
      Counted(ask > 1);
      return heard.text;
    }
    why = Trouble(cmd, heard, again, limitMs);
    // The rest of the reply, or all of it, may still come: nothing is sent
    // before the line knows where it stands.
    const std::string late = FindRepliesOrLose(cmd, why);
    // The reply came whole after all, only late (or the rest of one cut short).
    const std::string whole = heard.garbled ? std::string() : heard.text + late;
    if (Lx200WholeReply(shape, whole) && accept(cmd, whole)) {
      Counted(true);
      return whole;
    }
    if (MoreThanItsReply(cmd, shape, heard, late)) outOfStep_ = true;
    // A probe the mount does not know: nothing came at all.
    if (soft && heard.silent && late.empty()) throw EAutomationError("No reply to " + cmd);
  }
  if (soft) throw EAutomationError("Unexpected reply to " + cmd + ": " + why);
  // A command that is not sent twice: what the mount made of it is unknown.
  if (!again) throw EAutomationOutcomeUnknown(why + "; " + Lx200Consequence(cmd));
  line_.Lost(why + " (asked " + std::to_string(asks) + " times)");
}

std::string TLx200Session::AskProduct() {
  const std::string where = line_.Where();
  const bool wasOnStep = AnsweredAsOnStep(where);
  std::string last;
  std::string why = "no reply";
  for (int ask = 1; ask <= kLx200Asks; ++ask) {
    std::string name;
    try {
      name = std::string(Lx200Unframed(Ask(":GVP#", true)));
    } catch (const EAutomationLinkLost&) {
      throw;
    } catch (const EAutomationCancelled&) {
      throw;
    } catch (const EAutomationError& e) {
      // The classic LX200 has no name; on a line that was OnStep, a name
      // lost to noise.
      if (!wasOnStep) return {};
      why = e.what();
      continue;
    }
    if (Lx200ProductKnown(name)) {
      if (Lx200ProductOnStep(name)) RememberOnStep(where);
      return name;
    }
    // A name the driver does not know: a mount of its own, when it says
    // the same twice; noise on a line whose mount was OnStep.
    if (!wasOnStep && name == last) return name;
    last = name;
    why = "\"" + Lx200Printable(name) + "\"";
  }
  const std::string what = wasOnStep ? ", where an OnStep mount answered before" : "";
  line_.Lost("the mount's product name was not read (" + why + ")" + what);
}

void TLx200Session::Connect() {
  line_.Open(addr_, kLx200FirstReplyLimitMs);
  lineGeneration_ = jobGeneration_;
  everOpen_ = true;
  onStep_ = alignStatus_ = parkKnown_ = parked_ = outOfStep_ = false;
  lastSent_.clear();
  retries_.Reset();
  {
    std::lock_guard lock(mutex_);
    notice_.clear();
  }
  // Every LX200 mount answers ":GR#"; a handset that has just woken may
  // take its time with the first answer, and a board that restarted on the
  // port's opening may first send something else: its replies are found
  // again and it is asked again. A low-precision reply ("HH:MM.T")
  // asks for the switch to high precision.
  product_.clear();
  version_.clear();
  const std::string where = line_.Where();
  std::string ra;
  for (int ask = 1;; ++ask) {
    lastSent_ = ":GR#";
    const TLx200Heard heard = line_.Transact(":GR#", TLx200Reply::Text, kLx200FirstReplyLimitMs, kTailMs);
    if (!heard.silent && !heard.garbled && !heard.cut && Lx200ReplyValid(":GR#", heard.text)) {
      ra = heard.text;
      Counted(ask > 1);
      break;
    }
    if (heard.silent) {
      line_.Close();
      throw EAutomationError("No reply from the mount on " + where + " within " +
                             std::to_string(kLx200FirstReplyLimitMs / 1000) + " s");
    }
    const std::optional<std::string> late = ask < kLx200Asks ? FindReplies(":GR#") : std::nullopt;
    const std::string whole = heard.garbled || !late ? std::string() : heard.text + *late;
    if (Lx200WholeReply(TLx200Reply::Text, whole) && Lx200ReplyValid(":GR#", whole)) {
      ra = whole;
      Counted(true);
      break;
    }
    if (!late) {
      line_.Close();
      throw EAutomationError("No LX200 mount on " + where + " (\":GR#\" answered \"" +
                             Lx200Printable(heard.text) + "\")");
    }
  }
  high_ = ra.find('.') == std::string::npos;
  if (!high_) {
    Ask(":U#");
    high_ = Ask(":GR#").find('.') == std::string::npos;
  }
  // The product and version: the classic LX200 has neither.
  product_ = AskProduct();
  try {
    if (!product_.empty()) version_ = std::string(Lx200Unframed(Ask(":GVN#", true)));
  } catch (const EAutomationLinkLost&) {
    throw;
  } catch (const EAutomationCancelled&) {
    throw;
  } catch (const EAutomationError&) {
  }
  onStep_ = Lx200ProductOnStep(product_);
  hasMg_ = onStep_ || !product_.empty();
  eqSystem_ = 1;
  refraction_ = false;
  try {
    if (onStep_) {
      // OnStep's coordinate mode: 0 observed place, 1 topocentric (the
      // mount refracts), 2 J2000 (the mount precesses and refracts).
      const std::string mode = Ask(":GXEE#", true);
      refraction_ = mode == "1" || mode == "2";
      if (mode == "2") eqSystem_ = 2;
    } else if (!product_.empty()) {
      // The alignment status of the Autostar II family (LX200GPS): mount
      // kind, "T" tracking or "N" not, alignment.
      Ask(":GW#", true);
      alignStatus_ = true;
    }
  } catch (const EAutomationLinkLost&) {
    throw;
  } catch (const EAutomationCancelled&) {
    throw;
  } catch (const EAutomationError&) {
  }
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
    return r.find_first_not_of(' ') != std::string::npos;
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
    // The mount's clock runs on UT with a zero offset (a zero needs no sign
    // convention, which differs between firmwares).
    const double secs = v.AsDate().unixSeconds;
    if (!std::isfinite(secs)) throw EAutomationError("Invalid date");
    const std::time_t t = std::time_t(std::floor(secs));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char time[40], date[40];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year % 100);
    Set(":SG+00#", "UTC offset");
    Set(std::string(":SL") + time + "#", "Time");
    const std::string r = Ask(std::string(":SC") + date + "#");
    if (r.empty() || r[0] != '1') throw EAutomationError("Date refused by the mount");
  } else if (m == "SiteLatitude") {
    const double lat = v.AsDouble();
    if (!(lat >= -90 && lat <= 90)) throw EAutomationError("SiteLatitude out of range");
    Set(":St" + FormatLx200Degrees(lat, false) + "#", "Latitude");
  } else if (m == "SiteLongitude") {
    const double lon = v.AsDouble();
    if (!(lon >= -180 && lon <= 180)) throw EAutomationError("SiteLongitude out of range");
    Set(":Sg" + FormatLx200Longitude(lon) + "#", "Longitude");
  } else if (m == "Tracking") {
    if (!onStep_) Unknown(m);
    Set(v.AsBool() ? ":Te#" : ":Td#", "Tracking");
  } else {
    Unknown(m);
  }
}

void TLx200Session::Target(double ra, double dec) {
  if (!(ra >= 0 && ra < 24 && dec >= -90 && dec <= 90)) throw EAutomationError("Coordinates out of range");
  Set(":Sr" + FormatLx200Hours(ra, high_) + "#", "Target right ascension");
  Set(":Sd" + FormatLx200Degrees(dec, high_) + "#", "Target declination");
}

std::string TLx200Session::Raw(const std::string& kind, const TVariantList& a) {
  if (a.empty()) throw EAutomationError("Missing argument of " + kind);
  const std::string cmd = a[0].AsString();
  if (!IsLx200Command(cmd)) throw EAutomationError("Not an LX200 command: \"" + cmd + "\"");
  Require();
  TLx200Reply shape = Lx200ReplyOf(cmd, onStep_);
  // The Bool form reads one character whatever the command.
  if (kind == "CommandBool" && shape != TLx200Reply::Bool) shape = TLx200Reply::Char;
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
    Target(arg(0).AsDouble(), arg(1).AsDouble());
    const std::string r = Ask(":MS#");
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
    Target(arg(0).AsDouble(), arg(1).AsDouble());
    const std::string r = Ask(":CM#");
    if (r == "0" || r == "1") throw EAutomationError("Sync refused by the mount: " + SyncRefusal());
    const std::string_view body = Lx200Unframed(r);
    if (body.size() == 2 && body[0] == 'E' && body[1] >= '1' && body[1] <= '9')
      throw EAutomationError("Sync refused by the mount: " + Lx200GotoRefusal(body[1]));
    return {};
  }
  if (m == "AbortSlew") {
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

  TVariant Get(const std::string& m) override {
    if (m == "Connected") return worker_.joinable() && session_->Open();
    return Call([&] { return session_->Get(m); });
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
    Call([&] {
      session_->Put(m, v);
      return TVariant();
    });
  }
  TVariant Invoke(const std::string& m, const TVariantList& a) override {
    return Call([&] { return session_->Invoke(m, a); });
  }
  std::string TakeNotice() override { return session_->TakeNotice(); }

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
