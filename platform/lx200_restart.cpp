// A board that restarts loses what it holds in memory: the goto under way,
// and, unless it keeps them, the clock and site it was given. What proves a
// restart: a value this connection set (the UTC offset, date and time, the
// site) that the mount no longer holds, read back twice, each time proved
// in step; the board's words on the line (text lines no reply takes) with
// a silence (a command or marker it never answered); or a silence of three
// markers, or one and words, with nothing of the replies owed among what
// came. A silence, words or a goto seen to end make the driver look; a slow
// or lossy line (a reply late, a command lost) and a goto made from the
// handset (a target moved by another controller) leave the values as they
// were and are never told. The restart is told with the goto it dropped;
// the clock and site this connection set are set again.
#include <algorithm>
#include <cctype>
#include <chrono>

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
  // The board's lines; what follows the last line end and holds a "#" or
  // no letter is a reply that ran into them ("12:00:00#", "1").
  std::string lines = bytes;
  const std::size_t end = lines.find_last_of("\r\n");
  const auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  if (end != std::string::npos) {
    const std::string tail = lines.substr(end);
    if (tail.find('#') != std::string::npos || std::none_of(tail.begin(), tail.end(), letter)) lines.erase(end);
  }
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
  const TCallTarget call = std::exchange(callTarget_, TCallTarget{});
  // A call a disconnect ended, or a line gone: nothing to look at.
  if (!line_.IsOpen() || generation_ != jobGeneration_) return;
  try {
    const std::string words = line_.TakeBanner();
    if (!words.empty()) NoteBanner(words);
    const TRestart found = CheckRestart(call);
    if (!found.told.empty()) {
      const bool open = job.failure == TLx200Job::Failure::None || job.failure == TLx200Job::Failure::OutcomeUnknown;
      // The call's own goto or sync was lost with the restart (its target
      // is gone), or what its command did is known now (the mount lost
      // it): the restart is the call's failure.
      if (open && (found.callLost || (job.failure == TLx200Job::Failure::OutcomeUnknown && !found.callKept))) {
        job.failure = TLx200Job::Failure::Error;
        job.message = found.told;
      } else {
        std::lock_guard lock(mutex_);
        fault_ = found.told;
      }
    }
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

std::vector<TLx200Setting> TLx200Session::GivenValues() const {
  std::vector<TLx200Setting> values;
  if (clockGiven_) values.push_back(ClockSetting(kLx200ClockKeptSeconds));
  if (longitudeGiven_) values.push_back(LongitudeSetting(*longitudeGiven_));
  if (latitudeGiven_) values.push_back(LatitudeSetting(*latitudeGiven_));
  return values;
}

std::optional<std::vector<bool>> TLx200Session::Held(const std::vector<TLx200Setting>& values) {
  std::vector<std::vector<std::string>> sent;
  for (const TLx200Setting& v : values) sent.push_back(v.commands());
  for (int ask = 1; ask <= kLx200Asks; ++ask) {
    line_.TakeStrays();
    outOfStep_ = false;
    std::vector<std::vector<std::string>> back(values.size());
    std::vector<Lx200Clock::time_point> read(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      for (const std::string& g : values[i].gets) back[i].push_back(Ask(g));
      read[i] = Lx200Clock::now();
    }
    // A question the mount never heard, its place taken by another reply
    // sent twice, reads otherwise: only replies in step count.
    if (!RepliesInStep()) continue;
    std::vector<bool> held;
    for (std::size_t i = 0; i < values.size(); ++i) held.push_back(values[i].check(sent[i], back[i], read[i]).empty());
    return held;
  }
  return std::nullopt;
}

TLx200Session::TRestart TLx200Session::CheckRestart(const TCallTarget& call) {
  if (!std::exchange(suspect_, false)) return {};
  const int quietMs = std::exchange(quietMs_, 0);
  const std::string said = std::exchange(said_, std::string()), hint = std::exchange(hint_, std::string());
  const bool underWay = slewing_;
  if (std::exchange(slewEnded_, false)) slewing_ = false;
  // The values this connection set, read back, and again where one reads
  // otherwise: lost only when both reads say so.
  const std::vector<TLx200Setting> given = GivenValues();
  bool clockLost = false, siteLost = false;
  if (!given.empty()) {
    const std::optional<std::vector<bool>> first = Held(given);
    if (first && std::find(first->begin(), first->end(), false) != first->end()) {
      const std::optional<std::vector<bool>> again = Held(given);
      for (std::size_t i = 0; again && i < given.size(); ++i) {
        if ((*first)[i] || (*again)[i]) continue;
        (given[i].name == "Date and time" ? clockLost : siteLost) = true;
      }
    }
  }
  const bool lost = clockLost || siteLost;
  // The board's words, and a command or marker it never answered.
  const bool spoke = quietMs > 0 && std::any_of(said.begin(), said.end(), [](char c) {
                       return std::isalpha(static_cast<unsigned char>(c)) != 0;
                     });
  TRestart found;
  if (lost || spoke || !hint.empty()) {
    // A goto or sync of this call: its target read back tells whether the
    // restart came before it was set (the target held, the call's command
    // went to the started board) or after (the target gone with the
    // command).
    bool gotoLost = underWay;
    if (call.set) {
      const TLx200Setting target = TargetSetting(call.ra, call.dec);
      std::optional<std::vector<bool>> kept = Held({target});
      if (kept && !kept->front()) kept = Held({target});
      found.callKept = kept && kept->front();
      found.callLost = kept && !kept->front();
      gotoLost = call.underWayBefore;
      slewing_ = call.started && !found.callLost;
    } else {
      slewing_ = false;
    }
    std::string told = hint;
    if (lost || spoke) {
      std::vector<std::string> signs;
      if (quietMs > 0) signs.push_back("was silent for " + Lx200Seconds(std::max(100, quietMs / 100 * 100)));
      if (!said.empty()) signs.push_back("said \"" + Lx200Printable(said) + "\"");
      if (lost)
        signs.push_back(std::string("lost the ") +
                        (clockLost && siteLost ? "date, time and site" : clockLost ? "date and time" : "site") +
                        " it was given");
      told = "the mount restarted: it " + Listed(signs);
    }
    if (gotoLost) told += "; the goto under way was lost";
    if (lost) told += SetUpAgain();
    found.told = told;
  }
  // The checks' own questions are no new signs.
  suspect_ = false;
  quietMs_ = 0;
  return found;
}

std::string TLx200Session::SetUpAgain() {
  std::vector<TLx200Setting> settings;
  if (clockGiven_) settings.push_back(ClockSetting());
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
    // The mount does not hold them: they tell no later restart.
    clockGiven_.reset();
    latitudeGiven_.reset();
    longitudeGiven_.reset();
    return "; " + what + " could not be set again (" + e.what() + "): connect again";
  }
}

}  // namespace platform
