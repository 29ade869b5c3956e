// Asking the mount and finding its replies again: the reply to each
// command read and checked, the markers after an irregular one, and the
// check in step that the goto, the sync, the set commands and the bulk
// reads (the PEC table, entry by entry) rest on.
#include <algorithm>
#include <chrono>
#include <iterator>

#include "platform/lx200_session.h"

namespace platform {

namespace {

// How long each marker that finds the mount's replies again is waited for
// (Lx200Marker), one after the other, out of Lx200FindRepliesMs in all: a
// link that stalls (a network bridge, a busy handset) has about 9 s to
// deliver what it owes, whatever the question, and a board that restarts
// meanwhile (losing what it was sent) answers a marker sent 6.5 s on, where
// four can be used. Where fewer can, the last one has the rest of the time.
constexpr int kMarkerLimitMs[] = {1500, 2500, 2500, 2500};
constexpr int kMarkerWholeMs = 9000;

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

int Ms(Lx200Clock::duration d) { return int(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); }

}  // namespace

void TLx200Session::Counted(bool again) {
  if (!retries_.Count(again)) return;
  std::lock_guard lock(mutex_);
  notice_ = retries_.Report();
}

std::optional<std::string> TLx200Session::FindReplies(const std::string& cmd, bool answered, bool silentCmd) {
  std::vector<std::string> owed;
  if (!cmd.empty()) owed.push_back(cmd);
  const Lx200Clock::time_point sent = answered ? Lx200Clock::now() : line_.LastSend();
  std::string received;
  const int whole = Lx200FindRepliesMs();
  int left = whole;
  int silent = 0;  // markers that got nothing at all, from the first on
  for (std::size_t i = 0; i < std::size(kMarkerLimitMs); ++i) {
    const std::string marker = Lx200Marker(owed, product_, version_);
    if (marker.empty()) break;
    // Its reply may come later still: the next marker takes another form.
    owed.push_back(marker);
    const bool last = i + 1 == std::size(kMarkerLimitMs) || Lx200Marker(owed, product_, version_).empty();
    const int limitMs = last ? left : std::min(left, kMarkerLimitMs[i] * whole / kMarkerWholeMs);
    left -= limitMs;
    std::size_t start = 0;
    const std::string& name = marker == ":GVN#" ? version_ : product_;
    const Lx200Clock::time_point asked = Lx200Clock::now();
    if (line_.FindMarker(marker, limitMs, name, received, start)) {
      std::string before = received.substr(0, start);
      owed.pop_back();
      // Nothing came for the command, or for a marker: the mount may have
      // restarted meanwhile (looked for once the call is done).
      if (silentCmd || i > 0) {
        suspect_ = true;
        quietMs_ = std::max(quietMs_, Ms(asked - sent));
      }
      if (Lx200Banner(before)) NoteBanner(before);
      if (silent > 0 && silent == int(i)) NoteRestart(owed, before, silent, sent, asked);
      return before;
    }
    if (received.empty()) ++silent;
  }
  return std::nullopt;
}

bool TLx200Session::RepliesInStep() {
  Require();
  const std::optional<std::string> before = FindReplies(lastSent_, true);
  if (!before) line_.Lost("no reply from the mount within " + Lx200Seconds(Lx200FindRepliesMs()));
  const bool strays = line_.TakeStrays() > 0 || !Lx200Blank(*before);
  return !std::exchange(outOfStep_, false) && !strays;
}

std::string TLx200Session::FindRepliesOrLose(const std::string& cmd, const std::string& why, int waitedMs,
                                             bool unanswered) {
  if (std::optional<std::string> late = FindReplies(cmd, false, unanswered || waitedMs >= 0)) return *late;
  // Nothing came for the command nor for the markers after it: the whole
  // wait is told.
  std::string lost = waitedMs < 0 ? why
                                  : "no reply from the mount to " + cmd + " within " +
                                        Lx200Seconds(waitedMs + Lx200FindRepliesMs());
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
    // A board's words where the reply was waited for. Only words until the
    // wait ran out: the mount was silent to the command; words and a reply
    // after them at once are no silence, however long the line took.
    const bool words = Lx200Banner(heard.text);
    if (words) NoteBanner(heard.text);
    why = Trouble(cmd, heard, again, limitMs);
    // The rest of the reply, or all of it, may still come: nothing is sent
    // before the line knows where it stands.
    const std::string late = FindRepliesOrLose(cmd, why, heard.silent ? limitMs : -1, words && heard.cut);
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

}  // namespace platform
