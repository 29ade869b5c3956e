// A board that restarts loses what it holds in memory: the goto under way
// and the target it was given. The connect gives it one as a mark (where it
// points), and every goto or sync the next. After a silence (a command or
// a marker without a reply), a board's words on the line (text lines no
// reply takes), or a goto seen to end, the mark is read back, twice where
// it reads otherwise, each time proved in step. Only a mark gone tells a
// restart: a slow or lossy line (a reply late, a command lost) leaves the
// mount's memory as it was. The restart is told with the goto it dropped;
// the clock and site this connection set are set again and the mark with
// them. A mount with no mark (it would not take one) is told restarted only
// after a silence of three markers or words of its own, with nothing of the
// replies owed among what came.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/lx200_session.h"

namespace platform {

namespace {

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

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i)
    out += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return out;
}

}  // namespace

void TLx200Session::NoteBanner(const std::string& bytes) {
  suspect_ = true;
  // The board's lines; what follows the last line end and holds a "#" is
  // a reply that ran into them.
  std::string lines = bytes;
  const std::size_t end = lines.find_last_of("\r\n");
  if (end != std::string::npos && lines.find('#', end) != std::string::npos) lines.erase(end);
  const std::string words = Said(lines);
  if (words.empty() || said_.size() > 80) return;
  said_ += (said_.empty() ? "" : " ") + words;
}

void TLx200Session::NoteRestart(const std::vector<std::string>& owed, const std::string& before, int unanswered,
                                Lx200Clock::time_point sent, Lx200Clock::time_point asked) {
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
  hint_ = "the mount was silent for " + Lx200Seconds(std::max(100, ms / 100 * 100)) +
          " and lost what it was sent meanwhile (it may have restarted" +
          (banner ? ": it said \"" + Lx200Printable(Said(before)) + "\"" : std::string()) + ")";
  suspect_ = true;
}

void TLx200Session::AfterCall(TLx200Job& job) {
  // A call a disconnect ended, or a line gone: nothing to look at.
  if (!line_.IsOpen() || generation_ != jobGeneration_) return;
  try {
    const std::string words = line_.TakeBanner();
    if (!words.empty()) NoteBanner(words);
    const std::string told = CheckRestart();
    if (!told.empty()) {
      if (job.failure == TLx200Job::Failure::OutcomeUnknown) {
        // What the call's command did is known now: the mount lost it.
        job.failure = TLx200Job::Failure::Error;
        job.message = told;
      } else {
        std::lock_guard lock(mutex_);
        fault_ = told;
      }
    }
    if (markWanted_) Mark();
  } catch (const EAutomationCancelled& e) {
    if (job.failure == TLx200Job::Failure::None) {
      job.failure = TLx200Job::Failure::Cancelled;
      job.message = e.what();
    }
  } catch (const EAutomationLinkLost& e) {
    job.failure = TLx200Job::Failure::LinkLost;
    job.message = e.what();
  } catch (const std::exception&) {
    // A check that could not be made leaves the call's own result.
  }
}

std::string TLx200Session::CheckRestart() {
  const TRemarked remarked = std::exchange(remarked_, TRemarked{});
  if (!std::exchange(suspect_, false)) return {};
  const int quietMs = std::exchange(quietMs_, 0);
  const std::string said = std::exchange(said_, std::string()), hint = std::exchange(hint_, std::string());
  bool underWay = slewing_;
  if (std::exchange(slewEnded_, false)) slewing_ = false;
  // Where the call's own target replaced the mark after the signs, a value
  // the connection set tells instead (the site, else the clock), read back
  // the same way; a mount given none keeps the rule for a mount with no
  // mark.
  std::optional<TLx200Setting> given;
  std::string lost = "the target it was given";
  if (remarked.on) {
    if (latitudeGiven_) {
      given = LatitudeSetting(*latitudeGiven_);
    } else if (longitudeGiven_) {
      given = LongitudeSetting(*longitudeGiven_);
    } else if (clockGiven_) {
      given = ClockSettings().back();
    }
    lost = clockGiven_ && !latitudeGiven_ && !longitudeGiven_ ? "the date and time it was given"
                                                               : "the site it was given";
    // The goto this call started came after the restart; only one under
    // way before it was lost.
    underWay = remarked.underWay;
  }
  bool restarted = false;
  if (mark_.known && (!remarked.on || given)) {
    const TLx200Setting mark = given ? *given : TargetSetting(mark_.ra, mark_.dec);
    std::optional<bool> kept = MarkKept(mark);
    // Read again before it is believed: a question the mount never heard,
    // its place taken by another reply sent twice, reads otherwise once.
    if (kept == false) kept = MarkKept(mark);
    restarted = kept == false;
  } else {
    restarted = !hint.empty();
  }
  // The checks' own questions are no new signs.
  suspect_ = false;
  quietMs_ = 0;
  if (!restarted) return {};
  std::string told = hint;
  if (mark_.known && (!remarked.on || given)) {
    std::vector<std::string> signs;
    if (quietMs > 0) signs.push_back("was silent for " + Lx200Seconds(std::max(100, quietMs / 100 * 100)));
    if (!said.empty()) signs.push_back("said \"" + Lx200Printable(said) + "\"");
    signs.push_back("lost " + lost);
    told = "the mount restarted: it " + Listed(signs);
  }
  if (underWay) told += "; the goto under way was lost";
  if (remarked.on) {
    // The target proved after the restart stays the mark, with the goto
    // this call started on it.
    slewing_ = remarked.started;
  } else {
    slewing_ = false;
    mark_ = TMark{};
    markWanted_ = true;
  }
  return told + SetUpAgain();
}

std::optional<bool> TLx200Session::MarkKept(const TLx200Setting& mark) {
  const std::vector<std::string> set = mark.commands();
  for (int ask = 1; ask <= kLx200Asks; ++ask) {
    line_.TakeStrays();
    outOfStep_ = false;
    std::vector<std::string> back;
    for (const std::string& g : mark.gets) back.push_back(Ask(g));
    const Lx200Clock::time_point read = Lx200Clock::now();
    if (!RepliesInStep()) continue;
    return mark.check(set, back, read).empty();
  }
  return std::nullopt;
}

void TLx200Session::Mark() {
  try {
    const double ra = AskSexagesimal(":GR#"), dec = AskSexagesimal(":GD#");
    Target(std::fmod(ra, 24.0), std::clamp(dec, -90.0, 90.0), {});
  } catch (const EAutomationLinkLost&) {
    throw;
  } catch (const EAutomationCancelled&) {
    throw;
  } catch (const EAutomationError&) {
    // A mount that will not take a target now: restarts are told by the
    // rule for a mount with no mark (tried again after the next restart).
    mark_ = TMark{};
  }
  markWanted_ = false;
}

std::string TLx200Session::SetUpAgain() {
  std::vector<TLx200Setting> settings;
  if (clockGiven_) settings = ClockSettings();
  if (longitudeGiven_) settings.push_back(LongitudeSetting(*longitudeGiven_));
  if (latitudeGiven_) settings.push_back(LatitudeSetting(*latitudeGiven_));
  if (settings.empty()) return {};
  const bool site = latitudeGiven_ || longitudeGiven_;
  const std::string what = clockGiven_ && site ? "its date, time and site" : clockGiven_ ? "its date and time"
                                                                                         : "its site";
  try {
    SetChecked(settings);
    return "; " + what + (clockGiven_ ? " were" : " was") + " set again";
  } catch (const EAutomationLinkLost&) {
    throw;
  } catch (const EAutomationCancelled&) {
    throw;
  } catch (const EAutomationError& e) {
    return "; " + what + " could not be set again (" + e.what() + "): connect again";
  }
}

}  // namespace platform
