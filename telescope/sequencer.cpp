#include "telescope/sequencer.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/text.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/timezone.h"
#include "shell/log_lines.h"
#include "telescope/tele_control.h"

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (true) {
    const size_t c = s.find(sep, pos);
    out.push_back(s.substr(pos, c == std::string::npos ? std::string::npos : c - pos));
    if (c == std::string::npos) break;
    pos = c + 1;
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The list item equal to `word` ignoring case; empty when none is.
std::string FindItem(const std::vector<std::string>& items, const std::string& word) {
  for (const auto& i : items)
    if (Lower(i) == Lower(word)) return i;
  return {};
}

}  // namespace

// --- Recording console -----------------------------------------------------------

void TRecordingImaging::Start(int exposures, double seconds, const std::string& filter,
                              const std::string& frameType) {
  runs.push_back({exposures, seconds, filter, frameType});
  left_ = ticksPerStep;
  failing_ = failNext;
  failNext = false;
}

bool TRecordingImaging::Finished() {
  if (failing_) return false;
  if (left_ > 0) --left_;
  return left_ == 0;
}

bool TRecordingImaging::Failed() { return failing_; }

// --- Sequencer -----------------------------------------------------------------------

TSequencer::TSequencer(IPointSource* points, TTeleControl* tele, IImagingStep* imaging, ITelescopeHost* host,
                       QObject* parent)
    : QObject(parent), points_(points), tele_(tele), imaging_(imaging), host_(host) {
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &TSequencer::Timer1Timer);
}

void TSequencer::Log(const std::string& s) const { LogLines().AddLine("[Sequencer] " + s); }

void TSequencer::StepLine() const {
  Log("Working on POI #" + std::to_string(index_) + " Step #" + std::to_string(step_));
}

std::string TSequencer::StatusText() const {
  if (paused_) return "Paused";
  return running_ ? "Playing" : "Stopped";
}

void TSequencer::StartButtonClick() {
  if (running_ && !paused_) return;
  points_->TakeEdits();
  if (!paused_) {
    index_ = 1;
    step_ = 1;
    entry_ = -1;
    imagingBusy_ = false;
  }
  running_ = true;
  paused_ = false;
  timer_.start();
  emit changed();
}

void TSequencer::PauseButtonClick() {
  if (!running_) return;
  timer_.stop();
  paused_ = true;
  emit changed();
}

void TSequencer::StopButtonClick() {
  if (imagingBusy_ && imaging_) imaging_->Abort();
  imagingBusy_ = false;
  timer_.stop();
  running_ = paused_ = false;
  emit changed();
}

void TSequencer::Stop() {
  if (imagingBusy_ && imaging_) imaging_->Abort();
  imagingBusy_ = false;
  running_ = false;
  paused_ = false;
  timer_.stop();
  emit changed();
}

void TSequencer::Continue() {
  if (running_ && !paused_) timer_.start();
}

void TSequencer::Timer1Timer() {
  timer_.stop();
  if (!running_ || paused_) return;
  if (step_ == 0) {
    ++index_;
    step_ = 1;
    entry_ = -1;
    emit changed();
    if (index_ > points_->PointCount()) {
      Stop();
      return;
    }
    points_->ShowPoint(index_);
  }
  switch (step_) {
    case 1: Step1(); break;
    case 2: Step2(); break;
    case 3: Step3(); break;
    default: Stop(); break;
  }
}

void TSequencer::Step1() {
  // The index is checked against the table before anything is done with it.
  if (index_ < 1 || index_ > points_->PointCount()) {
    Stop();
    return;
  }
  StepLine();
  const TSequencePoint p = points_->Point(index_);
  gotoSent_ = false;
  if (!p.gotoFlag) {
    if (platform::ShowMessageBox("Sequencer, center object in telescope and press Ok:", "Noctra Planetarium",
                                 platform::MsgButtons::OkCancel, platform::MsgIcon::None) != platform::IDOK) {
      Stop();
      return;
    }
    step_ = 2;
    Continue();
    return;
  }
  if (!tele_ || !tele_->Connected()) {
    Log("Error, telescope not connected");
    Stop();
    return;
  }
  // J2000 to the chart's epoch on a private copy of the observer record.
  auto obs = std::make_unique<TObserverTime>();
  host_->CopyObserver(*obs);
  double ra = p.ra, dec = p.dec;
  SetPrecession(*obs, 2451545.0, host_->ChartEpochJD());
  Precess(*obs, ra, dec);
  if (!tele_->GotoRaDec(ra, dec)) {
    Log("Error, telescope goto failed");
    Stop();
    return;
  }
  gotoSent_ = true;
  step_ = 2;
  Continue();
}

void TSequencer::Step2() {
  if (imagingBusy_) {
    if (imaging_->Failed()) {
      Log("Error, imaging failed");
      Stop();
      return;
    }
    if (!imaging_->Finished()) {
      if (uint32_t(platform::TimeGetTime() - imagingStart_) > imagingLimit_) {
        Log("Error, imaging timed out");
        Stop();
        return;
      }
      Continue();
      return;
    }
    imagingBusy_ = false;
    ++entry_;
  } else if (entry_ < 0) {
    // Wait (restart) while the goto runs or settles and while a plate solve runs.
    if (tele_ && tele_->GotoInProgress()) {
      Log("Waiting for GoTo to complete");
      Continue();
      return;
    }
    if (gotoSent_ && !GotoArrived()) return;
    if ((tele_ && tele_->Connected() && tele_->MsSinceGotoDone() <= 10000) || points_->PlateSolveRunning()) {
      Continue();
      return;
    }
    StepLine();
    entries_.clear();
    for (const std::string& e : Split(points_->Point(index_).plan, ';'))
      if (!TrimBlanks(e).empty()) entries_.push_back(e);
    entry_ = 0;
    imagingRuns_ = 0;
  }
  if (!StartNextEntry()) return;
  if (imagingBusy_) {
    Continue();
    return;
  }
  // A point that took no picture says so.
  if (imagingRuns_ == 0)
    Log(entries_.empty() ? "Warning, POI #" + std::to_string(index_) + " has no imaging plan, no picture taken"
                         : "Warning, no valid imaging entry for POI #" + std::to_string(index_) +
                               ", no picture taken");
  step_ = 3;
  Continue();
}

bool TSequencer::GotoArrived() {
  // A goto that ended without arriving never has the point imaged where
  // the mount stopped.
  switch (tele_->LastGotoEnd()) {
    case TGotoEnd::Arrived:
      return true;
    case TGotoEnd::LinkLost:
    case TGotoEnd::Disconnected:
      Log("Error, telescope not connected");
      break;
    default:
      Log("Error, telescope goto failed");
      break;
  }
  Stop();
  return false;
}

bool TSequencer::StartNextEntry() {
  const TSequencePoint p = points_->Point(index_);
  while (entry_ < int(entries_.size())) {
    if (!imaging_ || !imaging_->CameraSelected()) {
      Log("Error, no camera is selected for imaging");
      Stop();
      return false;
    }
    const std::vector<std::string> parts = Split(entries_[size_t(entry_)], ',');
    if (parts.size() != 4) {
      Log("Warning, incorrect number of parameters for imaging");
      if (stopOnWarning) {
        Stop();
        return false;
      }
      ++entry_;
      continue;
    }
    int64_t exposures = -1;
    if (!platform::ParseInt(TrimBlanks(parts[0]), exposures)) exposures = -1;
    double seconds = -1;
    if (!platform::ParseDouble(TrimBlanks(parts[1]), seconds) || !std::isfinite(seconds)) seconds = -1;
    const std::string filter = FindItem(imaging_->FilterItems(), TrimBlanks(parts[2]));
    const std::string frame = FindItem(imaging_->FrameTypeItems(), TrimBlanks(parts[3]));
    std::string reason;
    if (!IsValidFileName(p.name)) reason = "Name";
    if (exposures < 1 || exposures > 99) reason = "exposures";
    if (seconds < 0 || seconds > 9999) reason = "time Seconds";
    if (filter.empty()) reason = "filter";
    if (frame.empty()) reason = "purpose";
    if (!reason.empty()) {
      Log("Warning, imaging parameter validation failed (" + reason + ")");
      if (stopOnWarning) {
        Stop();
        return false;
      }
      ++entry_;
      continue;
    }
    Log("Imaging console prepared, acquiring an image");
    imaging_->Start(int(exposures), seconds, filter, frame);
    ++imagingRuns_;
    imagingBusy_ = true;
    imagingStart_ = platform::TimeGetTime();
    imagingLimit_ = uint32_t(std::min(4.0e9, exposures * (seconds + 60.0) * 1000.0 + imagingSlackMs));
    return true;
  }
  return true;
}

void TSequencer::Step3() {
  StepLine();
  if (points_->Point(index_).confirm &&
      platform::ShowMessageBox("Sequencer, press Ok for next object?", "Noctra Planetarium",
                               platform::MsgButtons::OkCancel, platform::MsgIcon::None) != platform::IDOK) {
    Stop();
    return;
  }
  step_ = 0;
  Continue();
}
