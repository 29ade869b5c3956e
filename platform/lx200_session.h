// The connection to one LX200-family mount behind the driver
// (platform/automation_lx200.h): its worker's queue of member calls, its
// line, and what it knows of the mount. Internal to the driver; its parts
// stand in files of their own:
//   automation_lx200.cpp   the queue, the members, the driver object
//   lx200_ask.cpp          asking, finding the replies again, the check in step
//   lx200_identify.cpp     the connect and the mount's kind, version and mode
//   lx200_settings.cpp     the set commands, each value read back
//   lx200_restart.cpp      a board that restarted: told, and set up again
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation.h"
#include "platform/automation_lx200.h"
#include "platform/gui_thread.h"
#include "platform/lx200_line.h"
#include "platform/lx200_protocol.h"

namespace platform {

using Lx200Clock = std::chrono::steady_clock;

// How long an optional reply tail is waited for (a Meade goto message,
// the rest of a sync reply after its first digit).
inline constexpr int kLx200TailMs = 150;
// Meade's lines after ":SC" come once the handset has recomputed its
// planetary data; they are waited for this long, within the reply limit
// (later ones are dropped before the next command).
inline constexpr int kLx200DateTailMs = 400;
// How far a clock read back may be from the one set (the mount's own
// seconds, the questions between).
inline constexpr double kLx200ClockSlackSeconds = 3;
// How far the mount's clock may have run from the one this connection set
// and still be that clock (a mount's own clock drifts, seconds an hour on
// a cheap resonator): a board that restarted starts from its own date,
// hours or years away.
inline constexpr double kLx200ClockKeptSeconds = 600;
// How long the first reply of a connect is waited for before the question
// is asked again: a board that restarts as its port opens (DTR) loses what
// it is sent while it starts (kLx200StartWaitMs in all).
inline constexpr int kLx200StartAskMs = 1500;

// How long the markers that find a mount's replies again are waited for
// in all (SetLx200FindRepliesMsForTest).
int Lx200FindRepliesMs();
// The lines whose mount has named itself OnStep in this run.
bool AnsweredAsOnStep(const std::string& where);
void RememberOnStep(const std::string& where);

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

// Values a set command stores on the mount, proved by reading them back
// (TLx200Session::SetChecked): the commands of one value are set and read
// back together (a date with its time, a target's two coordinates).
struct TLx200Setting {
  std::string name;                                    // "Latitude", "Date and time": for messages
  std::vector<std::string> what;                       // each command's own name ("Time", "Date")
  std::function<std::vector<std::string>()> commands;  // made afresh at each set (a clock runs on)
  std::vector<std::string> gets;                       // the questions that read them back
  // Empty when the replies read back (`back`, the last of them come at
  // `read`) hold what `sent` set; else why not ("Time not taken by the
  // mount: it reads ...").
  std::function<std::string(const std::vector<std::string>& sent, const std::vector<std::string>& back,
                            Lx200Clock::time_point read)>
      check;
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
  TVariant Call(std::function<TVariant()> work);
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
  void End(bool stop);

  [[noreturn]] static void Unknown(const std::string& m) { throw EAutomationError("Member not implemented: " + m); }
  void Require() const {
    if (!line_.IsOpen()) {
      if (everOpen_) throw EAutomationLinkLost("Not connected");
      throw EAutomationError("Not connected");
    }
  }
  // How long an optional tail of a reply of `shape` is waited for (OnStep
  // sends none after a date).
  int TailMs(TLx200Reply shape) const {
    return shape == TLx200Reply::Date ? (onStep_ ? 0 : kLx200DateTailMs) : kLx200TailMs;
  }

  // --- Asking (lx200_ask.cpp) -----------------------------------------------------
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
  std::string Ask(const std::string& cmd, bool soft = false) { return Ask(cmd, Lx200ReplyOf(cmd, onStep_), soft); }
  // Finds the mount's replies again after the irregular reply to `cmd`
  // (lx200_protocol.h): the bytes that came before the marker's reply (a
  // late reply, the rest of a cut one), or nothing when no marker's reply
  // came (the line then stays open).
  // `answered`: the command's reply came (a check of the line), so any
  // silence is counted from the first marker on, not from the command;
  // `silentCmd`: the command got no reply at all (a silence from it on).
  std::optional<std::string> FindReplies(const std::string& cmd, bool answered = false, bool silentCmd = false);
  // Whether every reply since the last check answered its own command, as
  // far as the line can tell: a marker is sent and its reply found; bytes
  // that no reply took (a reply the link sent twice, a late one) before it
  // or since the last check make it false. A bulk read (a PEC table) asks
  // this after each entry: a reply that came twice sets the replies after
  // it one behind, each of them well formed.
  bool RepliesInStep();
  // The same, or the connection ends with `why`; `waitedMs`: how long
  // the command's reply was waited for when nothing came at all (the
  // message then gives the whole time waited), else -1; `unanswered`: no
  // reply came for it within its wait (nothing, or only a board's words).
  std::string FindRepliesOrLose(const std::string& cmd, const std::string& why, int waitedMs = -1,
                                bool unanswered = false);
  // Asks `cmd` (a goto, a sync) whose reply must be placed before it is
  // believed: the line is proved in step after it; bytes that no reply
  // took are only allowed when they are that reply again (sent twice).
  // Else EAutomationOutcomeUnknown: the reply cannot be told from
  // another's, and what the mount did is unknown.
  std::string AskPlaced(const std::string& cmd);
  double AskSexagesimal(const std::string& cmd) {
    double v = 0;
    ParseLx200Sexagesimal(Ask(cmd), v);  // checked by Ask
    return v;
  }
  // OnStep's status (":GU#"). One with a flag this driver does not know
  // (a newer firmware's) is taken once the line proves in step after it:
  // the reply of another command, sent twice by the link, would not be.
  std::string Status();
  // Counts a good reply; `again`: it needed a second ask.
  void Counted(bool again);

  // --- The connect (lx200_identify.cpp) ------------------------------------------
  void Connect();
  // The mount's product name, firmware version and coordinate mode,
  // taken only from replies proved in step.
  void Identify();
  // A probe's reply, or nothing when the mount gave no good one.
  std::optional<std::string> Probe(const std::string& cmd);

  // --- Set commands (lx200_settings.cpp) ------------------------------------------
  // A set command answered "1" (the date: a reply that begins with it).
  // Anything else raises with `what`, but only once the line is proved in
  // step after it: a late or repeated "0" of another command read in its
  // place is no refusal, and the command is set again.
  void Set(const std::string& cmd, const std::string& what);
  // Sets each of `settings` and reads each back, then proves the line in
  // step: a "1" of the command before, sent twice by the link into the
  // place of a set command the mount never heard, reads as that command's
  // "1", but the value read back is the old one. Out of step, all are set
  // again; a value read back otherwise is set again; kLx200Asks rounds at
  // most. A reply other than "1" in step is the mount's refusal. Raises
  // EAutomationError naming the first value refused or never proved (with
  // `after` appended), the values proved staying set.
  void SetChecked(const std::vector<TLx200Setting>& settings, const std::string& after = {});
  // The goto's or sync's target, proved so (remembered for the call's
  // restart check).
  void Target(double raHours, double decDegrees, const std::string& after);
  TLx200Setting TargetSetting(double raHours, double decDegrees) const;
  // The UTC clock (offset, time and date, set and proved as one: an offset
  // set again moves the mount's local time), the latitude, the longitude,
  // each proved so and kept to be set again after a restart (a value never
  // proved is not kept).
  void PutClock(double unixSeconds);
  void PutLatitude(double degrees);
  void PutLongitude(double eastDegrees);
  // The clock given, run on; a clock read back within `slackSeconds` of it
  // holds it.
  TLx200Setting ClockSetting(double slackSeconds = kLx200ClockSlackSeconds) const;
  TLx200Setting LatitudeSetting(double degrees) const;
  TLx200Setting LongitudeSetting(double eastDegrees) const;

  // --- Restarts (lx200_restart.cpp) --------------------------------------------------
  // After a call: a silence, a board's words or a goto's end met during it
  // may mean the board restarted. Checked (CheckRestart); a restart is told
  // (TakeFault, or as the call's failure where the call's own command was
  // lost or its outcome unknown).
  void AfterCall(TLx200Job& job);
  // The goto's or sync's target this call set and proved, the goto under
  // way before it, and whether this call started one.
  struct TCallTarget {
    bool set = false;
    double ra = 0, dec = 0;
    bool underWayBefore = false, started = false;
  };
  // What a check found: the text that tells a restart (the goto it
  // dropped, what was set up again), empty when the mount did not restart;
  // whether the call's own target was lost to it (the call's command then
  // came before the restart and was lost).
  struct TRestart {
    std::string told;
    bool callLost = false, callKept = false;
  };
  TRestart CheckRestart(const TCallTarget& call);
  // Which of `values` the mount still holds: read back together and
  // proved in step (kLx200Asks tries); nothing when never in step.
  std::optional<std::vector<bool>> Held(const std::vector<TLx200Setting>& values);
  // The values this connection set and proved, as a restart's proof (the
  // clock within kLx200ClockKeptSeconds).
  std::vector<TLx200Setting> GivenValues() const;
  // Sets the clock and site this connection set once more; the text that
  // says so (or that they could not be, and to connect again: they are
  // then no longer kept).
  std::string SetUpAgain();
  // After markers unanswered in silence, the marker that answered: a
  // restart told without a value read back, kept in hint_ (nothing of the
  // replies owed came, after a banner or three markers unanswered).
  void NoteRestart(const std::vector<std::string>& owed, const std::string& before, int unanswered,
                   Lx200Clock::time_point sent, Lx200Clock::time_point asked);
  // Bytes no reply took that read as a board's words (Lx200Banner): kept
  // for the message, and a restart is looked for.
  void NoteBanner(const std::string& bytes);

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
  // A goto the mount took and has not been seen to end; one seen to end
  // since the last check.
  bool slewing_ = false, slewEnded_ = false;
  // This call's target (Target), for its restart check.
  TCallTarget callTarget_;
  // What this connection set and the mount was proved to hold, to tell a
  // restart by and set again after one: the clock (the instant given and
  // when), the site. A raw set command of one of them forgets it.
  std::optional<double> clockGiven_, latitudeGiven_, longitudeGiven_;
  Lx200Clock::time_point clockAt_{};
  // Signs of a restart since the last check: a silence (and the longest,
  // in milliseconds), the board's words, a silence that lost what the
  // mount was sent (NoteRestart).
  bool suspect_ = false;
  int quietMs_ = 0;
  std::string said_, hint_;
};

}  // namespace platform
