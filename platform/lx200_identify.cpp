// The connect: the line opened, the mount's first reply, and its product
// name, firmware version and coordinate mode, each taken only from
// replies proved in step.
#include <algorithm>
#include <chrono>

#include "platform/lx200_session.h"

namespace platform {

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
  onStep_ = alignStatus_ = parkKnown_ = parked_ = outOfStep_ = slewing_ = slewEnded_ = false;
  lastSent_.clear();
  retries_.Reset();
  {
    std::lock_guard lock(mutex_);
    notice_.clear();
    fault_.clear();
  }
  // Nothing of an earlier connection's mount is known.
  callTarget_ = {};
  clockGiven_.reset();
  latitudeGiven_.reset();
  longitudeGiven_.reset();
  suspect_ = false;
  quietMs_ = 0;
  said_.clear();
  hint_.clear();
  // Every LX200 mount answers ":GR#". A handset that has just woken may
  // take its time with the first answer, and a board that restarts as its
  // port opens loses what it is sent while it starts: the question is
  // asked again while nothing comes, kLx200StartWaitMs in all. A board
  // that first sends something else (its words, a byte of the restart) has
  // its replies found again and is asked again. A low-precision reply
  // ("HH:MM.T") asks for the switch to high precision.
  product_.clear();
  version_.clear();
  const std::string where = line_.Where();
  const Lx200Clock::time_point until = Lx200Clock::now() + std::chrono::milliseconds(kLx200StartWaitMs);
  std::string ra;
  int silent = 0;
  for (int ask = 1;;) {
    lastSent_ = ":GR#";
    // The last ask has the rest of the time (a whole ask's at least, after
    // replies found again past it).
    const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(until - Lx200Clock::now()).count());
    const int limitMs = left < 2 * kLx200StartAskMs ? std::max(left, kLx200StartAskMs) : kLx200StartAskMs;
    const TLx200Heard heard = line_.Transact(":GR#", TLx200Reply::Text, limitMs, kLx200TailMs);
    if (!heard.silent && !heard.garbled && !heard.cut && Lx200ReplyValid(":GR#", heard.text)) {
      ra = heard.text;
      Counted(ask > 1);
      break;
    }
    if (heard.silent) {
      ++silent;
      if (Lx200Clock::now() < until) continue;
      line_.Close();
      throw EAutomationError("No reply from the mount on " + where + " within " + Lx200Seconds(kLx200StartWaitMs));
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
    ++ask;
  }
  // The reply taken may be an earlier question's, late: the later one's
  // is passed over before anything else is asked.
  if (silent > 0) RepliesInStep();
  high_ = ra.find('.') == std::string::npos;
  if (!high_) {
    Ask(":U#");
    high_ = Ask(":GR#").find('.') == std::string::npos;
  }
  // The product, version and coordinate mode: the classic LX200 has none.
  Identify();
  // What the board said as it started on the port's opening is no restart,
  // nor the silence of a probe the mount does not know.
  suspect_ = false;
  quietMs_ = 0;
  said_.clear();
  hint_.clear();
  line_.TakeBanner();
}


}  // namespace platform
