#include "platform/automation_lx200.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

using Clock = std::chrono::steady_clock;

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
  bool Open() const { return open_; }
  bool Exited() const { return exited_; }
  // What the worker has to tell that no call raised (a noisy line), once.
  std::string TakeNotice() {
    std::lock_guard lock(mutex_);
    return std::exchange(notice_, std::string());
  }
  // A fault no call raised (a mount that restarted), once.
  std::string TakeFault() {
    std::lock_guard lock(mutex_);
    return std::exchange(fault_, std::string());
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
  // `answered`: the command's reply came (a check of the line), so any
  // silence is counted from the first marker on, not from the command.
  std::optional<std::string> FindReplies(const std::string& cmd, bool answered = false);
  // Whether every reply since the last check answered its own command, as
  // far as the line can tell: a marker is sent and its reply found; bytes
  // that no reply took (a reply the link sent twice, a late one) before it
  // or since the last check make it false. A bulk read (a PEC table) asks
  // this at its end: a reply that came twice sets the replies after it one
  // behind, each of them well formed.
  bool RepliesInStep();
  // The same, or the connection ends with `why`; `waitedMs`: how long
  // the command's reply was waited for when nothing came at all (the
  // message then gives the whole time waited), else -1.
  std::string FindRepliesOrLose(const std::string& cmd, const std::string& why, int waitedMs = -1);
  // After markers unanswered in silence, the marker that answered: when
  // the mount lost what it was sent meanwhile (its reply came with nothing
  // of the replies owed before it, after a banner or a long silence), the
  // board has restarted or the link lost the commands: told (TakeFault).
  void NoteRestart(const std::vector<std::string>& owed, const std::string& before, int unanswered,
                   Clock::time_point sent, Clock::time_point asked);
  // The mount's product name, firmware version and coordinate mode,
  // taken only from replies proved in step (Identify in the .cpp).
  void Identify();
  // A probe's reply, or nothing when the mount gave no good one.
  std::optional<std::string> Probe(const std::string& cmd);
  // Asks `cmd` (a goto, a sync) whose reply must be placed before it is
  // believed: the line is proved in step after it; bytes that no reply
  // took are only allowed when they are that reply again (sent twice).
  // Else EAutomationOutcomeUnknown: the reply cannot be told from
  // another's, and what the mount did is unknown.
  std::string AskPlaced(const std::string& cmd);
  std::string Ask(const std::string& cmd, bool soft = false) { return Ask(cmd, Lx200ReplyOf(cmd, onStep_), soft); }
  // A set command answered "1" (the date: a reply that begins with it).
  // Anything else raises with `what`, but only once the line is proved in
  // step after it: a late or repeated "0" of another command read in its
  // place is no refusal, and the command is set again.
  void Set(const std::string& cmd, const std::string& what);
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
  std::string fault_;   // under mutex_
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
  // A goto the mount took and has not been seen to end.
  bool slewing_ = false;
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

// A board's words for a message: line ends and zero bytes left out,
// blanks at the ends too.
std::string Said(const std::string& bytes) {
  std::string out;
  for (char c : bytes)
    if (c != '\r' && c != '\n' && c != '\0') out += c;
  out.erase(0, out.find_first_not_of(' '));
  out.erase(out.find_last_not_of(' ') + 1);
  return out;
}

}  // namespace

std::optional<std::string> TLx200Session::FindReplies(const std::string& cmd, bool answered) {
  std::vector<std::string> owed;
  if (!cmd.empty()) owed.push_back(cmd);
  const Clock::time_point sent = answered ? Clock::now() : line_.LastSend();
  std::string received;
  const int whole = g_findRepliesMs;
  int left = whole;
  int silent = 0;  // markers that got nothing at all, from the first on
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
    const Clock::time_point asked = Clock::now();
    if (line_.FindMarker(marker, limitMs, name, received, start)) {
      std::string before = received.substr(0, start);
      owed.pop_back();
      if (silent > 0 && silent == int(i)) NoteRestart(owed, before, silent, sent, asked);
      return before;
    }
    if (received.empty()) ++silent;
  }
  return std::nullopt;
}

void TLx200Session::NoteRestart(const std::vector<std::string>& owed, const std::string& before, int unanswered,
                                Clock::time_point sent, Clock::time_point asked) {
  // A reply owed before the marker's found among what came (the command's,
  // an earlier marker's): the mount kept what it was sent (a link that
  // stalled, then delivered).
  std::size_t from = 0;
  for (std::size_t end = before.find('#'); end != std::string::npos; end = before.find('#', end + 1)) {
    const std::string upTo = before.substr(0, end + 1);
    for (std::size_t k = 0; k < owed.size(); ++k) {
      std::size_t at = 0;
      const std::string& name = owed[k] == ":GVN#" ? version_ : product_;
      const std::string reply = Lx200Unblanked(upTo.substr(from));
      const bool heard = k == 0 ? Lx200WholeReply(Lx200ReplyOf(owed[0], onStep_), reply) &&
                                      Lx200ReplyValid(owed[0], reply)
                                : Lx200MarkerHeard(owed[k], upTo, name, at);
      if (heard) return;
    }
    from = end + 1;
  }
  // Nothing came but what a board says as it starts (a banner), or nothing
  // at all for three markers and more (two lost in a row are one check in
  // 10,000 on a line that loses 1 % of the commands).
  const bool banner = !Lx200Blank(before);
  if (!banner && unanswered < 3) return;
  const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(asked - sent).count());
  std::string told = "the mount was silent for " + Lx200Seconds(std::max(100, ms / 100 * 100)) +
                     " and lost what it was sent meanwhile (it may have restarted" +
                     (banner ? ": it said \"" + Lx200Printable(Said(before)) + "\"" : std::string()) + ")";
  if (std::exchange(slewing_, false)) told += "; the goto under way was lost";
  std::lock_guard lock(mutex_);
  fault_ = told;
}

bool TLx200Session::RepliesInStep() {
  Require();
  const std::optional<std::string> before = FindReplies(lastSent_, true);
  if (!before) line_.Lost("no reply from the mount within " + Lx200Seconds(g_findRepliesMs));
  const bool strays = line_.TakeStrays() > 0 || !Lx200Blank(*before);
  return !std::exchange(outOfStep_, false) && !strays;
}

std::string TLx200Session::FindRepliesOrLose(const std::string& cmd, const std::string& why, int waitedMs) {
  if (std::optional<std::string> late = FindReplies(cmd)) return *late;
  // Nothing came for the command nor for the markers after it: the whole
  // wait is told.
  std::string lost = waitedMs < 0 ? why
                                  : "no reply from the mount to " + cmd + " within " +
                                        Lx200Seconds(waitedMs + g_findRepliesMs);
  lost += "; the mount's replies could not be told apart again";
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
    const std::string late = FindRepliesOrLose(cmd, why, heard.silent ? limitMs : -1);
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

std::optional<std::string> TLx200Session::Probe(const std::string& cmd) {
  try {
    return std::string(Lx200Unframed(Ask(cmd, true)));
  } catch (const EAutomationLinkLost&) {
    throw;
  } catch (const EAutomationCancelled&) {
    throw;
  } catch (const EAutomationError&) {
    return std::nullopt;
  }
}

// The product name (":GVP#"), the firmware version (":GVN#") and the
// coordinate mode (OnStep's ":GXEE#"; the Autostar II's alignment status
// ":GW#") are asked in passes, each pass proved in step after its last
// reply: a reply sent twice would give the next question its answer (a
// version "2.9c" read as coordinate mode 2). Only a pass in step counts:
// a known name is taken at once, one this driver does not know when two
// passes give it (never on a line whose mount named itself OnStep
// before), no name at all (the classic LX200) when no pass got one. A
// version or mode that two passes in step did not get is left unknown
// (the defaults).
void TLx200Session::Identify() {
  const std::string where = line_.Where();
  const bool wasOnStep = AnsweredAsOnStep(where);
  std::optional<std::string> product, version, mode;
  std::string unknown, why = "no reply";
  int nameless = 0, unsaid = 0;
  for (int pass = 1; pass <= kLx200Asks && !(product && version && mode); ++pass) {
    line_.TakeStrays();
    outOfStep_ = false;
    const std::optional<std::string> name = product ? product : Probe(":GVP#");
    // The version and mode are asked only of a name this pass may take.
    const bool named = name && !name->empty() &&
                       (product || Lx200ProductKnown(*name) || (!wasOnStep && *name == unknown));
    std::optional<std::string> v = version, md = mode;
    if (named && !v) v = Probe(":GVN#");
    if (named && !md) md = Probe(Lx200ProductOnStep(*name) ? ":GXEE#" : ":GW#");
    if (!RepliesInStep()) {
      why = "replies out of step";
      continue;
    }
    if (!product) {
      if (!name) {
        why = "no reply";
        if (!wasOnStep && ++nameless == kLx200Asks) product = "";
      } else if (Lx200ProductKnown(*name) || (!wasOnStep && *name == unknown)) {
        product = *name;
      } else {
        unknown = *name;
        why = "\"" + Lx200Printable(*name) + "\"";
      }
      if (!product) continue;
    }
    if (product->empty()) break;
    if (!version && v) version = *v;
    if (!mode && md) mode = *md;
    // A mount that does not know a probe: two passes in step without it.
    if ((!version || !mode) && ++unsaid == 2) break;
  }
  if (!product) {
    const std::string what = wasOnStep ? ", where an OnStep mount answered before" : "";
    line_.Lost("the mount's product name was not read (" + why + ")" + what);
  }
  product_ = *product;
  version_ = version.value_or("");
  onStep_ = Lx200ProductOnStep(product_);
  if (onStep_) RememberOnStep(where);
  hasMg_ = onStep_ || !product_.empty();
  eqSystem_ = 1;
  refraction_ = false;
  if (onStep_ && mode) {
    // OnStep's coordinate mode: 0 observed place, 1 topocentric (the
    // mount refracts), 2 J2000 (the mount precesses and refracts).
    refraction_ = *mode == "1" || *mode == "2";
    if (*mode == "2") eqSystem_ = 2;
  }
  alignStatus_ = !onStep_ && mode.has_value();
}

void TLx200Session::Connect() {
  line_.Open(addr_, kLx200FirstReplyLimitMs);
  lineGeneration_ = jobGeneration_;
  everOpen_ = true;
  onStep_ = alignStatus_ = parkKnown_ = parked_ = outOfStep_ = slewing_ = false;
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
  // The product, version and coordinate mode: the classic LX200 has none.
  Identify();
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
    if (!bar) slewing_ = false;
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
    Set(std::string(":SC") + date + "#", "Date");
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

void TLx200Session::Set(const std::string& cmd, const std::string& what) {
  for (int ask = 1; ask <= kLx200Asks; ++ask) {
    line_.TakeStrays();
    outOfStep_ = false;
    const std::string r = Ask(cmd);
    if (!r.empty() && r[0] == '1') return;
    if (RepliesInStep()) throw EAutomationError(what + " refused by the mount (" + cmd + ")");
    // A command that is not sent twice (a park): what the mount made of it
    // is unknown.
    if (!Lx200MayAskAgain(cmd))
      throw EAutomationOutcomeUnknown("the reply to " + cmd + " (\"" + Lx200Printable(r) +
                                      "\") could not be told apart from another reply; " + Lx200Consequence(cmd));
  }
  throw EAutomationError(what + " not confirmed: the mount's replies to " + cmd +
                         " kept coming out of step (a reply came twice or late; set " + std::to_string(kLx200Asks) +
                         " times)");
}

// The two target replies are proved in step before anything reads the
// goto's or the sync's: a ":Sr" reply sent twice would be read as the
// ":Sd" reply, and the ":Sd" reply as the goto's ("1": refused). A pair
// out of step is set again; a refusal counts only once in step.
void TLx200Session::Target(double ra, double dec) {
  if (!(ra >= 0 && ra < 24 && dec >= -90 && dec <= 90)) throw EAutomationError("Coordinates out of range");
  const std::string sr = ":Sr" + FormatLx200Hours(ra, high_) + "#", sd = ":Sd" + FormatLx200Degrees(dec, high_) + "#";
  for (int ask = 1; ask <= kLx200Asks; ++ask) {
    line_.TakeStrays();
    outOfStep_ = false;
    const std::string r = Ask(sr), d = Ask(sd);
    if (!RepliesInStep()) continue;
    if (r != "1") throw EAutomationError("Target right ascension refused by the mount (" + sr + ")");
    if (d != "1") throw EAutomationError("Target declination refused by the mount (" + sd + ")");
    return;
  }
  throw EAutomationError("the mount's replies to the target kept coming out of step (a reply came twice or late; "
                         "set " + std::to_string(kLx200Asks) + " times), so nothing was sent to move the mount");
}

std::string TLx200Session::AskPlaced(const std::string& cmd) {
  // What came before the command cannot be its reply.
  line_.DropStale();
  line_.TakeStrays();
  outOfStep_ = false;
  const std::string reply = Ask(cmd);
  const std::string stray = line_.StrayText();
  const bool shifted = std::exchange(outOfStep_, false);
  const std::string before = FindRepliesOrLose(cmd, "no reply to the marker after " + cmd);
  const std::string extra = stray + Lx200Unblanked(before);
  line_.TakeStrays();
  // In step, or its own reply a second time.
  if (!shifted && (extra.empty() || extra == Lx200Unblanked(reply))) return reply;
  throw EAutomationOutcomeUnknown("the reply to " + cmd + " (\"" + Lx200Printable(reply) +
                                  "\") could not be told apart from another reply (\"" + Lx200Printable(extra) +
                                  "\" came besides it); " + Lx200Consequence(cmd));
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
    std::string r;
    try {
      r = AskPlaced(":MS#");
    } catch (const EAutomationOutcomeUnknown&) {
      slewing_ = true;
      throw;
    }
    slewing_ = r == "0";
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
