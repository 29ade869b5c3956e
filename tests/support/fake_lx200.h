// A fake LX200-family mount for tests: it listens on a pseudo-terminal or
// a local TCP port and answers the LX200 commands on a thread of its own,
// the OnStep firmware's way (yes/no replies without "#", a decimal step
// rate, a zero-padded worm period, a PEC table of 824 signed bytes) or the
// Meade way (goto refusals with a message, two lines after ":SC", the
// LX200GPS's alignment status ":GW#" and its park and wake commands).
// It can be told to answer each command after a delay, to stay silent, to
// answer noise, to send a malformed reply to a command a number of times,
// to garble or cut short chosen replies or replies at a random rate (a noisy
// line), to hold a chosen reply (or the rest of one cut short) back until
// the driver's next command has come (a reply late by however long the
// driver waits, whatever the machine's speed), to cut its next reply short
// and fall silent, to hold a reply until the test's condition holds, or to
// go away (the cable pulled). It can send a reply twice (a network bridge
// or serial adapter repeating a packet) and stop answering until a chosen
// command comes (a board that restarts, a link that stalls), restart as
// its line is opened, and take a goto from its handset.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class TFakeLx200 {
 public:
  enum class Transport { Pty, Tcp };
  enum class Firmware { OnStep, Meade };
  TFakeLx200(Transport transport, Firmware firmware = Firmware::OnStep);
  ~TFakeLx200();
  TFakeLx200(const TFakeLx200&) = delete;
  TFakeLx200& operator=(const TFakeLx200&) = delete;

  // The driver identifier that reaches this mount.
  std::string Id() const { return id_; }

  // Behaviour.
  // Every reply is sent `ms` after its command came (a slow link).
  void SetDelay(int ms) { delayMs_ = ms; }
  // The next reply only comes after `ms` (a handset waking up).
  void DelayNextReply(int ms) { nextDelayMs_ = ms; }
  // The next `times` replies to `command` are `reply` instead. Rules for
  // different commands stand side by side (one set while the fake still
  // answers the command of another is not lost); for one command the
  // earlier rule is used up first.
  void Garble(const std::string& command, const std::string& reply, int times) {
    std::lock_guard lock(mutex_);
    garbles_.push_back({command, reply, times});
  }
  void SetSilent(bool silent) { silent_ = silent; }
  void SetNoise(bool noise) { noise_ = noise; }
  // The next reply is sent only in part; the mount then stays silent.
  void CutNextReply() { cut_ = true; }
  // Ways a noisy line spoils a reply: Garble puts a noise byte (0x80 to
  // 0xDE, or a printable one, SetPrintableNoise) in place of one of its
  // bytes other than its closing "#"; Cut sends its first half only, the
  // rest (with the "#") `lateMs` later, or when the next command has come
  // (kAtNextCommand), or never when negative. A reply without "#" is never
  // cut. Lose spoils the command on its way in: the mount neither acts on
  // it nor answers. Late holds the whole reply back until the next command
  // has come (kAtNextCommand): it goes out then, before that command's
  // reply; or `lateMs` (a spike of the link's latency). Twice sends the
  // reply, then the same again `lateMs` later or when the next command has
  // come (before that command's reply). Stray (SpoilCommandAt only) loses
  // the command and sends a stray "1" in place of its reply (the reply of
  // a set command sent twice, late, or noise).
  enum class Spoil { Garble, Cut, Lose, Late, Twice, Stray };
  static constexpr int kAtNextCommand = -2;
  // The next `times` replies to the commands that begin with `prefix`
  // (":SL" takes every time sent) are spoiled.
  void SpoilReplies(const std::string& prefix, Spoil how, int times, int lateMs = -1) {
    std::lock_guard lock(mutex_);
    spoils_.push_back({prefix, how, times, lateMs});
  }
  // Garbled bytes are printable characters other than "#" (noise a check
  // of the reply's bytes alone lets through).
  void SetPrintableNoise(bool printable) {
    std::lock_guard lock(mutex_);
    printableNoise_ = printable;
  }
  // Each reply is garbled with probability `garbled` (any of its bytes,
  // its "#" too, which leaves it without an end), cut short (the rest
  // never sent) with probability `cut` and sent twice (again when the next
  // command has come) with probability `twice`, and each command is lost
  // with probability `lost`, drawn from a generator seeded with `seed`.
  void SpoilAtRandom(double garbled, double cut, uint32_t seed, double lost = 0, double twice = 0) {
    std::lock_guard lock(mutex_);
    garbleRate_ = garbled, cutRate_ = cut, lostRate_ = lost, twiceRate_ = twice;
    random_.seed(seed);
  }
  // The next reply to a command that begins with `prefix` is held until
  // `release` (called on the mount's thread) returns true, for at most the
  // tests' failure bound; then it goes out. Holds that `release` ended are
  // counted by HoldsReleased, those the bound ended by HoldsTimedOut.
  void HoldReplyUntil(const std::string& prefix, std::function<bool()> release) {
    std::lock_guard lock(mutex_);
    holds_.push_back({prefix, std::move(release)});
  }
  int HoldsReleased() const { return holdsReleased_; }
  int HoldsTimedOut() const { return holdsTimedOut_; }
  // The mount stops answering until a command that begins with `until`
  // comes: the commands before it are lost (a board that restarts, and
  // forgets what Restart says) or, with `held`, answered only then, in
  // order, before its own reply (a link that stalls). Which commands came
  // is seen in Commands. A `banner` goes out as the stall ends, before any
  // reply (a board that says it has started).
  void StallUntil(const std::string& until, bool held, const std::string& banner = {}) {
    std::lock_guard lock(mutex_);
    stall_ = {until, banner, held, true};
    if (!held) ForgetMemory();
  }
  // The board restarts now: it forgets what it holds in memory (the goto
  // under way, the target, the alignment, the PEC play, its clock and
  // site, back to those it starts with; its tracking stops) and loses the
  // next `lost` commands while it starts. The `banner` goes out as it has
  // started: just after the last of those commands came (while its reply
  // is waited for), or, none lost, just before the next reply.
  void Restart(int lost, const std::string& banner = {});
  // The board restarts as its line is next opened (many boards restart
  // when the serial port raises DTR): for a TCP port at the next
  // connection taken, for a pseudo-terminal (whose opening cannot be seen)
  // at the first bytes that come after this call. It forgets its memory as
  // Restart does and loses every command for `ms`; then it sends `banner`
  // (if any) by itself and answers again.
  void StartOnOpen(int ms, const std::string& banner = {}) {
    std::lock_guard lock(mutex_);
    openStart_ = {ms, banner, true};
  }
  // A goto made from the handset or the mount's own app: the target is
  // `raHours`, `decDegrees` and the mount slews there (State::slewMs).
  void HandsetGoto(double raHours, double decDegrees);
  // The reply to the command that comes `index`-th since the last
  // ClearCommands (1 the first) is spoiled `how` (a command lost, a reply
  // sent twice...), whatever the command.
  void SpoilCommandAt(int index, Spoil how, int lateMs = -1) {
    std::lock_guard lock(mutex_);
    spoilsAt_.push_back({index, how, lateMs});
  }
  // The replies spoiled so far.
  int Spoiled() const {
    std::lock_guard lock(mutex_);
    return spoiled_;
  }
  // The line goes away: the terminal or the socket is closed for good.
  void Pull();

  // The mount's state; every access takes the lock.
  struct State {
    double raHours = 6.0, decDegrees = 20.0;        // pointing
    double targetRa = 0, targetDec = 0;             // the last ":Sr", ":Sd"
    bool parked = false, tracking = true;
    bool alignStatus = true;                        // Meade: answers ":GW#"
    bool lowPrecision = false;                      // replies "HH:MM.T", "sDD*MM"
    int slewMs = 300;                               // how long a goto takes
    char pecState = 'I';
    int wormSteps = 9600, stepsPerSecond = 20;      // ":VW#", ":VS#": 480 entries
    int pecIndex = 0;                               // the worm's second (":VR#")
    std::array<int, 824> pec{};                     // one signed byte each
    int alignLeft = 0;
    int trackAdjust = 0;
    int rateStep = -1;
    char coordinateMode = '1';                      // ":GXEE#"
    std::string site[3] = {"+00*00", "000*00", "+00"};  // ":St", ":Sg", ":SG" (hours added to local time: UT)
    // The local time and date as the mount reads them now (Get fills them
    // in; Change leaves them to the clock). The mount keeps UT: ":SL" and
    // ":SC" set the local time and date under the UTC offset it holds,
    // and ":SG" changes the offset, the UT staying (so the local time
    // moves). It starts at 01/01/00 00:00:00 local with an offset of +00.
    std::string time = "00:00:00", date = "01/01/00";
    std::string product;                            // ":GVP#"; empty: the firmware's own
    std::string version;                            // ":GVN#"; empty: the firmware's own
    std::string newFlags;                           // ":GU#" flags of a later firmware
  };
  State Get() const;
  template <class F>
  void Change(F f) {
    std::lock_guard lock(mutex_);
    f(state_);
  }
  // Every command received, in order ("#" included).
  std::vector<std::string> Commands() const;
  // How often `cmd` came.
  int Count(const std::string& cmd) const;
  void ClearCommands();
  // The mount is slewing now.
  bool Slewing() const;

 private:
  void Run();
  void Serve(int fd);
  std::string Answer(const std::string& cmd);
  // How `reply` to `cmd` goes out: spoiled or not (under mutex_).
  struct Outgoing {
    std::string first, rest;  // the rest `lateMs` after the first, at the next command, or never
    int lateMs = -1;
    int delayMs = 0;  // the first goes out this late
  };
  struct SpoilRule;
  // `forced`: the rule to use instead of those set by prefix.
  Outgoing SpoilReply(const std::string& cmd, std::string reply, const SpoilRule* forced = nullptr);
  // True when `cmd` is lost on its way in (under mutex_).
  bool LoseCommand(const std::string& cmd);
  // The first rule of spoils_ left for `cmd` that loses commands (or, with
  // `lose` false, spoils replies), one of its times taken; null for none.
  const SpoilRule* TakeRule(const std::string& cmd, bool lose);
  // Hours or degrees as the mount writes them, in its precision.
  std::string Sexagesimal(double value, bool degrees) const;
  void Settle();
  // What a restart loses (under mutex_).
  void ForgetMemory();
  // The board starts now, for `ms`, saying `banner` then (under mutex_).
  void Boot(int ms, const std::string& banner);

  Transport transport_;
  Firmware firmware_;
  std::string id_;
  int master_ = -1, listen_ = -1, client_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false}, silent_{false}, noise_{false}, cut_{false}, pulled_{false};
  std::atomic<int> delayMs_{0}, nextDelayMs_{0};
  struct GarbleRule {
    std::string command, reply;
    int times = 0;
  };
  std::vector<GarbleRule> garbles_;  // under mutex_
  struct SpoilRule {
    std::string prefix;
    Spoil how;
    int times, lateMs;
  };
  struct Hold {
    std::string prefix;
    std::function<bool()> release;
  };
  std::vector<Hold> holds_;  // under mutex_
  std::atomic<int> holdsReleased_{0}, holdsTimedOut_{0};
  struct {
    std::string until, banner;
    bool held = false, on = false;
  } stall_;                        // under mutex_
  std::vector<SpoilRule> spoils_;  // under mutex_, as the five below
  struct SpoilAt {
    int index;
    Spoil how;
    int lateMs;
  };
  std::vector<SpoilAt> spoilsAt_;
  int restartLost_ = 0;           // commands a restart still loses
  std::string restartBanner_;     // what the board says once it has started
  struct {
    int ms = 0;
    std::string banner;
    bool armed = false;
  } openStart_;                   // StartOnOpen, until the line is opened
  int64_t bootUntilMs_ = 0;       // a board starting: steady ms when it answers again
  std::string bootBanner_;        // what it says then
  // The clock: UT (Unix seconds) at clockSetMs_ (steady milliseconds).
  double clockUt_ = 946684800;
  int64_t clockSetMs_ = 0;
  double UtNow() const;
  double OffsetHours() const;
  double garbleRate_ = 0, cutRate_ = 0, lostRate_ = 0, twiceRate_ = 0;
  bool printableNoise_ = false;
  std::mt19937 random_{1};
  int spoiled_ = 0;
  mutable std::mutex mutex_;
  State state_;
  std::vector<std::string> commands_;
  int64_t slewEnd_ = 0;  // steady milliseconds
};

// "Pty" or "Tcp", for the names of parameterised tests.
inline std::string LinkName(TFakeLx200::Transport t) { return t == TFakeLx200::Transport::Pty ? "Pty" : "Tcp"; }

}  // namespace testing_support
