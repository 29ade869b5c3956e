// The OnStep periodic-error-correction part of the telescope window's
// logic: the table read from the mount, the status poll's PEC reading, the
// plot, rotation, and the two file formats.
#include <algorithm>
#include <cmath>

#include "platform/dialogs.h"
#include "platform/lx200_protocol.h"
#include "platform/numfmt.h"
#include "platform/timezone.h"
#include "shell/messages.h"
#include "telescope/tele_control.h"
#include "telescope/text_files.h"

namespace {

bool HasAny(const std::string& s, const char* letters) { return s.find_first_of(letters) != std::string::npos; }

// A reply quoted in a log line.
std::string Printable(const std::string& reply) { return "\"" + platform::Lx200Printable(reply) + "\""; }

// An entry the mount sent: "+012", "-5#", "7" (16-bit range). Replies are
// read with or without their closing "#": OnStep's yes/no answers carry
// none, and a reply less its last character would lose a digit there.
bool ReplyEntry(const std::string& reply, int16_t& entry) {
  double v = 0;
  if (!platform::ParseLx200Number(reply, v) || v != std::floor(v)) return false;
  entry = int16_t(std::clamp(v, -32768.0, 32767.0));
  return true;
}

// Each entry of the table is checked for the mount's replies coming in
// step after it is read, and read again, up to kPecPasses times in all,
// when they did not. (A check after a block of entries misses a reply sent
// twice and a command lost later in the same block: they cancel out, the
// entries between them one behind.)
constexpr int kPecPasses = 4;

}  // namespace

// --- Periodic error correction -----------------------------------------------------------------

bool TTeleControl::PecUsable() const {
  return stepsPerSecond_ >= 1 && pecLength_ >= 1 && pecLength_ <= kPecEntries;
}

void TTeleControl::ReadPecEntry(int index) {
  std::string r;
  int16_t v = 0;
  if (Command("CommandString", ":VR" + std::to_string(index) + "#", &r) && ReplyEntry(r, v))
    pec_[size_t(index)] = v;
}

bool TTeleControl::RepliesInStep() {
  try {
    return Drv()->Get("RepliesInStep").AsBool();
  } catch (const platform::EAutomationCancelled&) {
    return false;
  } catch (const platform::EAutomationLinkLost&) {
    return false;
  } catch (const std::exception&) {
    // A driver without a line of its own to check (a simulator).
    return true;
  }
}

bool TTeleControl::Talking(const TTalk& talk) const { return talk.Live() && !linkLost_; }

bool TTeleControl::ReadInStep(const TTalk& talk, const std::function<void()>& read) {
  for (int pass = 0; pass < kPecPasses; ++pass) {
    read();
    if (!Talking(talk)) return false;
    const bool steady = RepliesInStep();
    if (!Talking(talk)) return false;
    if (steady) return true;
  }
  return false;
}

bool TTeleControl::ReadPecTable(const TTalk& talk, std::string& why) {
  // Where the line stands before the first entry: what came before is no
  // concern of the table's.
  RepliesInStep();
  if (!Talking(talk)) return false;
  for (int i = 0; i < pecLength_; ++i) {
    ShowProgress("Reading the PEC table", i, pecLength_);
    const bool steady = ReadInStep(talk, [&] { ReadPecEntry(i); });
    if (!Talking(talk)) return false;
    if (!steady) {
      why = "the mount's replies to entry " + std::to_string(i) +
            " kept coming out of step (a reply came twice or late) in " + std::to_string(kPecPasses) + " reads";
      ShowProgress("Reading the PEC table", pecLength_, pecLength_);
      return false;
    }
  }
  ShowProgress("Reading the PEC table", pecLength_, pecLength_);
  return true;
}

void TTeleControl::TellPecFault(const std::string& what) {
  Log("Warning, " + what);
  ui_.fault = what;
  emit changed();
}

void TTeleControl::ShowProgress(const std::string& what, int i, int n) {
  const uint32_t now = platform::TimeGetTime();
  if (i > 0 && i < n && uint32_t(now - progressTick_) < 100) return;
  progressTick_ = now;
  ui_.progress = i < n ? what + ": " + std::to_string(i) + " of " + std::to_string(n) : std::string();
  emit changed();
}

bool TTeleControl::ReadOnStepPec() {
  TTalk talk(*this);
  std::string w, s;
  double worm = 0, sps = 0;
  bool gotWorm = false, gotRate = false;
  // The worm period is a long ("009600#"), the step rate a decimal
  // ("80.000000#") on the firmware; both are read either way. A reply that
  // came twice would give the rate the period's value: they are read again
  // until the replies come in step.
  RepliesInStep();
  if (!Talking(talk)) return false;
  const bool steady = ReadInStep(talk, [&] {
    w.clear(), s.clear();
    gotWorm = Command("CommandString", ":VW#", &w) && platform::ParseLx200Number(w, worm);
    if (!Talking(talk)) return;
    gotRate = Command("CommandString", ":VS#", &s) && platform::ParseLx200Number(s, sps);
  });
  if (!Talking(talk)) return false;
  if (!steady) worm = sps = 0;
  wormPeriod_ = int64_t(std::clamp(worm, 0.0, 2147483647.0));
  stepsPerSecond_ = std::clamp(sps, 0.0, 1e6);
  pecLength_ = stepsPerSecond_ > 0 ? int(std::min(std::floor(double(wormPeriod_) / stepsPerSecond_), 1e6)) : 0;
  ui_.wormRotationTime = std::to_string(pecLength_);
  if (!steady) {
    stepsPerSecond_ = 0;
    TellPecFault("PEC unavailable: the mount's replies to \":VW#\" and \":VS#\" kept coming out of step (a reply "
                 "came twice or late) in " + std::to_string(kPecPasses) + " reads");
    return true;
  }
  if (!gotWorm || !gotRate) {
    // Not a mount without PEC: one that did not say.
    stepsPerSecond_ = 0;
    Log("PEC unavailable: no worm period or step rate from the mount (\":VW#\" " + Printable(w) + ", \":VS#\" " +
        Printable(s) + ")");
    return true;
  }
  if (!PecUsable()) {
    // No sound table can be kept: a step rate below one, or a worm turn
    // longer than the table.
    Log("PEC unavailable (worm period " + std::to_string(wormPeriod_) + " steps, " +
        platform::FormatGeneral(stepsPerSecond_) + " steps per second)");
    return true;
  }
  std::string why;
  if (!ReadPecTable(talk, why)) {
    if (!Talking(talk)) return false;
    TellPecFault("PEC table not read whole: " + why);
  }
  return true;
}

void TTeleControl::PollOnStep(bool t, const std::string& gu) {
  TTalk talk(*this);
  std::string qz;
  ui_.parkedShape = HasAny(gu, "P") ? TShape::Green : HasAny(gu, "p") ? TShape::ButtonFace : TShape::Yellow;
  ui_.parkingShape = HasAny(gu, "I") ? TShape::Green : TShape::ButtonFace;
  ui_.parkFailedShape = HasAny(gu, "F") ? TShape::Red : TShape::ButtonFace;
  const bool recorded = HasAny(gu, "R");
  Command("CommandString", ":$QZ?#", &qz);
  if (!talk.Live()) return;
  const bool I = HasAny(qz, "Ii"), P = HasAny(qz, "Pp"), R = HasAny(qz, "Rr");
  if (recorded) {
    ui_.pecPlay = t && !P;
    ui_.pecStop = t && (P || R);
  } else {
    ui_.pecPlay = false;
    ui_.pecStop = t && R;
  }
  ui_.pecRec = t && !R;
  ui_.pecSave = !t;
  if (!HasAny(gu, "I") && (P || R) && PecUsable()) {
    std::string vr;
    if (Command("CommandString", ":VR#", &vr) && talk.Live()) {
      const std::string body(platform::Lx200Unframed(vr));
      const auto comma = body.find(',');
      int16_t value = 0;
      double index = -1;
      // The index comes from the mount: only entries of the table are taken.
      if (comma != std::string::npos && ReplyEntry(body.substr(0, comma), value) &&
          platform::ParseLx200Number(body.substr(comma + 1), index) && index >= 0 && index < pecLength_ &&
          index == std::floor(index)) {
        pec_[size_t(index)] = value;
        lastPecValue_ = value;
        lastPecIndex_ = int(index);
      }
    }
  }
  ui_.pecShape = I ? TShape::Yellow : P ? TShape::Green : HasAny(qz, "r") ? TShape::Maroon
                 : HasAny(qz, "R") ? TShape::Red : TShape::ButtonFace;
}

std::vector<std::pair<int, int>> TTeleControl::PecPlot(int width, int height, int& markerX) const {
  std::vector<std::pair<int, int>> pts;
  markerX = -1;
  const int n = pecLength_;
  if (stepsPerSecond_ < 1 || n <= 1 || n > kPecEntries || width < 1 || height < 1) return pts;
  const double fullScale = std::nearbyint(pecScale * stepsPerSecond_ / 15.0);
  if (fullScale <= 0) return pts;
  const int centre = height / 2;
  pts.emplace_back(0, centre);
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    sum += pec_[size_t(i)];
    const int x = int(std::nearbyint(double(i) / (n - 1) * width));
    const int y = int(std::nearbyint(centre - sum / fullScale * height / 2.0));
    pts.emplace_back(x, y);
  }
  if (lastPecIndex_ >= 0) markerX = int(std::nearbyint(double(lastPecIndex_) / (n - 1) * width)) + 1;
  return pts;
}

void TTeleControl::PECClearClick() {
  if (connected_) Command("CommandBlind", ":$QZZ#");
}
void TTeleControl::PECRecClick() {
  if (connected_) Command("CommandBlind", ":$QZ/#");
}
void TTeleControl::PECPlayClick() {
  if (connected_) Command("CommandBlind", ":$QZ+#");
}
void TTeleControl::PECStopClick() {
  if (connected_) Command("CommandBlind", ":$QZ-#");
}
void TTeleControl::PECSaveClick() {
  if (connected_) Command("CommandBlind", ":$QZ!#");
}

// The firmware shifts its table and answers "0" all the same, so the copy
// here turns with it whenever the command went through. One whose reply
// was lost may have shifted the mount's table or not: the window says so.
void TTeleControl::ShiftPec(bool forward) {
  if (!connected_ || !PecUsable()) return;
  TTalk talk(*this);
  const std::string cmd = forward ? ":WR+#" : ":WR-#";
  try {
    Drv()->Invoke("CommandBool", {platform::TVariant(cmd), platform::TVariant(true)});
  } catch (const std::exception& e) {
    if (!talk.Live() || dynamic_cast<const platform::EAutomationCancelled*>(&e)) return;
    LogFailure("CommandBool " + cmd, e);
    ShowFailure("PEC shift", e);
    return;
  }
  if (!talk.Live()) return;
  if (forward) std::rotate(pec_.begin(), pec_.begin() + (pecLength_ - 1), pec_.begin() + pecLength_);
  else std::rotate(pec_.begin(), pec_.begin() + 1, pec_.begin() + pecLength_);
  Succeeded();
  emit changed();
}

void TTeleControl::PECfwdClick() { ShiftPec(true); }
void TTeleControl::PECbackClick() { ShiftPec(false); }

std::string TTeleControl::PecExportText() {
  std::string out = "\"Frame\";\"Time\";\"RA\";\"DEC\"\r\n";
  if (!PecUsable()) return out;
  TTalk talk(*this);
  if (connected_) {
    // A table half read fresh, or read out of step, is no export: the
    // caller writes nothing.
    std::string why;
    if (!ReadPecTable(talk, why)) {
      if (Talking(talk)) TellPecFault("PEC export failed: " + why);
      return {};
    }
  }
  for (int i = 0; i < pecLength_; ++i) {
    const double arcsec = pec_[size_t(i)] * 15.0 / stepsPerSecond_;
    out += "\"" + platform::FormatInt(i, 4, true) + "\";\"" + platform::FormatFixed(i, 4, 3) + "\";\"" +
           platform::FormatFixed(arcsec, 2, 1) + "\";\"" + platform::FormatFixed(0.0, 2, 1) + "\"\r\n";
  }
  return out;
}

void TTeleControl::PecWrite(int index, int entry) {
  // The firmware keeps one signed byte per second in a table of
  // kMountPecEntries and ignores what lies outside: the entry is clamped to
  // what it takes (and kept so here), an index past its table not sent.
  entry = std::clamp(entry, -128, 127);
  pec_[size_t(index)] = int16_t(entry);
  if (index >= kMountPecEntries) return;
  Command("CommandBlind", ":WR" + platform::FormatInt(index, 4, true) + "," + (entry < 0 ? "-" : "+") +
                              platform::FormatInt(std::abs(entry), 3, true) + "#");
  lastPecWrite_ = platform::TimeGetTime();
}

int TTeleControl::PecImportText(const std::string& text) {
  if (!PecUsable()) {
    Log("PEC import refused: no PEC table");
    return -1;
  }
  const std::vector<TPecFileEntry> entries = ParsePecFile(text, stepsPerSecond_, pecLength_);
  if (entries.empty() && !IsPecFile(text)) return -1;
  TTalk talk(*this);
  const bool toMount = connected_;
  int written = 0;
  for (const TPecFileEntry& e : entries) {
    if (toMount) {
      ShowProgress("Writing the PEC table", written, int(entries.size()));
      PecWrite(e.index, e.entry);
      if (!talk.Live()) break;
    } else {
      pec_[size_t(e.index)] = int16_t(e.entry);
    }
    ++written;
  }
  if (toMount) ShowProgress("Writing the PEC table", int(entries.size()), int(entries.size()));
  emit changed();
  return written;
}

void TTeleControl::PECExportClick() {
  if (!connected_ || !PecUsable()) return;
  platform::FileDialogOptions o;
  o.save = true;
  o.title = "Save Periodic Error Correction Data File";
  o.filter = "PEC data file|*.csv";
  o.defaultExt = "csv";
  const platform::FileDialogResult r = platform::Dialogs().FileDialog(o);
  if (!r.accepted) {
    platform::ShowMessageBox("Save file was cancelled", "Noctra Planetarium", platform::MsgButtons::Ok,
                             platform::MsgIcon::Information);
    return;
  }
  if (FileExists(r.fileName) &&
      platform::ShowMessageBox("This will overwrite the current file,\r\nis this ok (Y/N)?", "Noctra Planetarium",
                               platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                               platform::IDNO) != platform::IDYES)
    return;
  const std::string text = PecExportText();
  if (!connected_) {
    Log("PEC export ended: the mount was disconnected");
    return;
  }
  // The table could not be read (the window says why).
  if (text.empty()) return;
  if (!WriteTextFile(r.fileName, text)) Log("PEC export failed: " + r.fileName);
}

void TTeleControl::PECImportClick() {
  if (!connected_ || !PecUsable()) return;
  platform::FileDialogOptions o;
  o.title = "Open Periodic Error Correction Data File";
  o.filter = "PEC data file|*.csv|Text data file|*.txt";
  o.defaultExt = "csv";
  const platform::FileDialogResult r = platform::Dialogs().FileDialog(o);
  if (!r.accepted) {
    platform::ShowMessageBox("Open file was cancelled", "Noctra Planetarium", platform::MsgButtons::Ok,
                             platform::MsgIcon::Information);
    return;
  }
  std::string text, why;
  if (!ReadTextFile(r.fileName, text, &why)) {
    Log("PEC import failed: " + r.fileName + ": " + why);
    return;
  }
  PecImportText(text);
}

