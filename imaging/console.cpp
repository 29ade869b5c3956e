#include "imaging/console.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "imaging/image_copy.h"
#include "imaging/settings_text.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/timezone.h"
#include "platform/value_range.h"
#include "shell/log_lines.h"
#include "shell/xml_settings.h"

namespace imaging {

namespace {

void Log(const std::string& text) { LogLines().AddLine("[Imaging Console] " + text); }

// A filter wheel or focuser that has not finished after this long stops
// the sequence.
constexpr uint32_t kDeviceTimeoutMs = 120000;
// Exposures of a series that may end without a picture one after another
// before the series stops.
constexpr int kFailedExposuresInARow = 3;

std::string StripSlashes(std::string s, bool leading) {
  while (!s.empty() && (s.back() == '/' || s.back() == '\\')) s.pop_back();
  if (leading)
    while (!s.empty() && (s.front() == '/' || s.front() == '\\')) s.erase(s.begin());
  return s;
}

void ReplaceAll(std::string& text, const std::string& key, const std::string& value) {
  for (std::size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + value.size()))
    text.replace(p, key.size(), value);
}

}  // namespace

std::string ReplaceTemplate(std::string text, const std::string& filt, const std::string& fp,
                            const std::string& seq) {
  ReplaceAll(text, "[filt]", filt);
  ReplaceAll(text, "[fp]", fp);
  ReplaceAll(text, "[seq]", seq);
  return text;
}

std::string SafePathPart(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return "_";
  std::string out = name;
  for (char& c : out)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32) c = '_';
  return out;
}

void FramePath(const std::string& path, const std::string& dirName, const std::string& fileName,
               const std::string& filt, const std::string& fp, int remaining, int frame,
               std::string& folder, std::string& name) {
  const std::string f = SafePathPart(filt), p = SafePathPart(fp);
  std::string dir = StripSlashes(ReplaceTemplate(dirName, f, p, std::to_string(remaining)), true);
  std::replace(dir.begin(), dir.end(), '\\', '/');
  folder = StripSlashes(path, false) + "/" + dir;
  name = SafePathPart(ReplaceTemplate(fileName, f, p, "frame" + std::to_string(frame)));
}

TImagingConsole::TImagingConsole(IConsoleDevices* devices,
                                 std::function<TCamera*(const std::string&)> cameraByName)
    : devices_(devices), cameraByName_(std::move(cameraByName)) {
  for (std::string& e : FilterExposures) e = "1";
  Path = QDir::homePath().toStdString() + "/NoctraImages";
}

TImagingConsole::~TImagingConsole() {
  if (camera_ && token_.Has()) {
    camera_->SetConnected(false);
    token_.Return(*camera_);
  }
}

// --- Settings ----------------------------------------------------------------------------

void TImagingConsole::LoadSettings(const std::string& folder) {
  const platform::XmlElement s = XmlLoadSettings(doc_, folder + kConsoleSettingsFile, "ImagingConsole");
  // Texts that are numbers keep to what their boxes take: an exposure of 0
  // to a day, 1 to 999 frames, a whole focuser step; any other text reads
  // as the default.
  auto whole = [&](const char* name, const char* deflt, int32_t lo, int32_t hi) {
    const std::string text = ReadText(s, name, deflt);
    int32_t v = 0;
    return platform::ParseInt32(text, v) && platform::InRange(v, lo, hi) ? text : std::string(deflt);
  };
  ExposureTime = XmlReadNumberText(s, "Exposure", "1", 0, kMaxExposureSeconds);
  ExposureTimeChange();
  ExposureNum = whole("NumExp", "1", 1, 999);
  ExpNumUpDownPosition = std::stoi(ExposureNum);
  FilterIndex = XmlReadInteger(s, "FilterSel", 0, -1, kFilterSlots - 1);
  FocusMoveAmount = whole("FocusMoveAmount", "0", -kMaxFocuserSteps, kMaxFocuserSteps);
  // A folder typed relative is kept as the folder it named: within the
  // settings' folder (the data folder).
  Path = platform::AbsolutePath(ReadText(s, "Path", Path), folder);
  DirName = ReadText(s, "SubDir", "ObjectName");
  FileName = ReadText(s, "FileName", "Image.[fp].[seq]");
  SaveAsType = TSaveAs(XmlReadInteger(s, "SaveAsSel", 0, 0, 5));
  for (int i = 0; i < kFilterSlots; ++i)
    FilterExposures[i] = XmlReadNumberText(s, "Exposure" + std::to_string(i), "1", 0, kMaxExposureSeconds);
}

void TImagingConsole::SaveSettings(const std::string& folder) {
  if (doc_.IsEmpty()) XmlNewDocument(doc_, "ImagingConsole");
  // "Selections" is written afresh.
  const platform::XmlElement old = doc_.Root().FirstChild("Selections");
  if (!old.IsNull()) doc_.Root().RemoveChild(old);
  const platform::XmlElement s = XmlChild(doc_.Root(), "Selections");
  for (int i = 19; i >= 0; --i) XmlWriteString(s, "Exposure" + std::to_string(i), FilterExposures[i]);
  XmlWriteString(s, "Exposure", ExposureTime);
  // During a series the frame box counts down: the series' length is kept.
  XmlWriteString(s, "NumExp", startDown_ ? std::to_string(sequenceLength_) : ExposureNum);
  XmlWriteInteger(s, "FilterSel", FilterIndex);
  XmlWriteString(s, "FocusMoveAmount", FocusMoveAmount);
  XmlWriteString(s, "Path", Path);
  XmlWriteString(s, "SubDir", DirName);
  XmlWriteString(s, "FileName", FileName);
  XmlWriteInteger(s, "SaveAsSel", int32_t(SaveAsType));
  XmlSaveSettings(doc_, folder + kConsoleSettingsFile);
}

// --- Controls ----------------------------------------------------------------------------

void TImagingConsole::ExposureTimeChange() {
  double v = 0;
  // A text that is no number keeps the last valid exposure; it is refused
  // when a frame starts.
  if (!platform::ParseDouble(ExposureTime, v)) return;
  exposure_ = v;
  if (camera_) {
    if (v < camera_->ExposureMin) {
      exposure_ = camera_->ExposureMin;
      ExposureTime = platform::FormatGeneral(exposure_, 15);
    } else if (v > camera_->ExposureMax) {
      exposure_ = camera_->ExposureMax;
      ExposureTime = platform::FormatGeneral(exposure_, 15);
    }
  }
  if (AdjustExposure && !previewDown_ && !startDown_ && FilterIndex >= 0 && FilterIndex < kFilterSlots)
    FilterExposures[FilterIndex] = ExposureTime;
}

void TImagingConsole::PreviewClick(bool down) {
  previewDown_ = down;
  if (down) {
    error_.clear();
    startEnabled_ = false;
    sourceEnabled_ = false;
    previewTag_ = 1;
  }
}

void TImagingConsole::StartClick(bool down) {
  startDown_ = down;
  if (down) {
    error_.clear();
    previewEnabled_ = false;
    sourceEnabled_ = false;
    int32_t n = 0;
    if (!platform::ParseInt32(ExposureNum, n) || n < 1 || n > 999) {
      ExposureNum = "1";
      n = 1;
    }
    sequenceLength_ = n;
    seriesFailed_ = false;
    failedExposures_ = 0;
    sequenceFilters_ = devices_ && devices_->WheelConnected() ? int(devices_->FilterNames().size()) : 0;
    ExpNumUpDownPosition = n;
    remaining_ = n;
    startTag_ = 1;
  } else {
    ExposureNum = std::to_string(sequenceLength_);
  }
}

std::string TImagingConsole::FilterName() {
  if (!devices_ || !devices_->WheelConnected() || FilterIndex < 0) return "None";
  const std::vector<std::string> names = devices_->FilterNames();
  if (FilterIndex >= int(names.size())) return "None";
  return names[std::size_t(FilterIndex)];
}

void TImagingConsole::FilterChange() {
  if (!devices_ || !devices_->WheelConnected() || FilterIndex < 0) return;
  devices_->SetFilter(FilterIndex);
  filterPhase_ = 1;
  filterDeadline_ = platform::TimeGetTime() + kDeviceTimeoutMs;
}

void TImagingConsole::PollFilterChange() {
  if (int32_t(platform::TimeGetTime() - filterDeadline_) > 0) {
    const std::string error = filterPhase_ == 1 ? "Error: filter wheel did not stop" : "Error: focuser did not stop";
    Log(error);
    TellError(error);
    filterPhase_ = 0;
    if (startDown_) StopSequence();
    return;
  }
  if (filterPhase_ == 1) {
    if (devices_->FilterPosition() == -1) return;
    filterPhase_ = 0;
    const std::vector<int32_t> offsets = devices_->FocusOffsets();
    if (devices_->FocuserConnected() && AdjustFocus && FilterIndex < int(offsets.size())) {
      const int32_t target = offsets[std::size_t(FilterIndex)];
      devices_->MoveFocuser(target);
      Log("Moved focus to " + std::to_string(target));
      filterPhase_ = 2;
      filterDeadline_ = platform::TimeGetTime() + kDeviceTimeoutMs;
    }
    if (AdjustExposure && !(!AllFilters && (startDown_ || previewDown_)) && FilterIndex < kFilterSlots) {
      ExposureTime = FilterExposures[FilterIndex];
      ExposureTimeChange();
    }
  } else if (filterPhase_ == 2) {
    if (!devices_->FocuserMoving()) filterPhase_ = 0;
  }
}

// --- Source ----------------------------------------------------------------------------------

void TImagingConsole::ReleaseSource() {
  if (camera_ && token_.Has()) {
    camera_->SetConnected(false);
    token_.Return(*camera_);
  }
  camera_ = nullptr;
  previewEnabled_ = startEnabled_ = false;
  tempLabel_.clear();
  ImageSource = "None";
  currentSourceName_ = "None";
}

void TImagingConsole::RemoveCamera(const std::string& name, const std::string& reason) {
  // (A camera that found itself lost knows best why.) At the program's
  // end a camera that takes no pictures is let go without a word.
  if (camera_ && currentSourceName_ == name) {
    if (reason == kCameraReleasedAtEnd && !previewDown_ && !startDown_) {
      ReleaseSource();
      sourceChosen_ = false;
    } else {
      CameraLost(camera_->LostReason().empty() ? reason : camera_->LostReason());
    }
  }
  if (ImageSource == name) ImageSource = "None";
  CameraList.Remove(name);
}

void TImagingConsole::SelectSource() {
  currentSourceName_ = ImageSource;
  connectError_.clear();
  error_.clear();
  if (token_.Has()) {
    if (camera_) camera_->SetConnected(false);
    Log("Camera disconnected");
    if (camera_) token_.Return(*camera_);
  }
  sourceChosen_ = ImageSource != "None";
  camera_ = sourceChosen_ ? cameraByName_(ImageSource) : nullptr;
  if (!camera_) {
    ReleaseSource();
    return;
  }
  ExposureTimeChange();
  if (camera_->Connected() || camera_->Settings.CameraToken != 1) {
    camera_ = nullptr;
    ReleaseSource();
    Log("Error: camera in use");
    return;
  }
  if (!ConnectCamera(*camera_, connectError_)) {
    camera_ = nullptr;
    ReleaseSource();
    Log(CameraConnectionError(connectError_));
    return;
  }
  token_.Get(*camera_);
  Log("Connect: " + currentSourceName_);
  previewEnabled_ = startEnabled_ = true;
}

// --- The sequence ----------------------------------------------------------------------------

void TImagingConsole::TellError(const std::string& error) {
  status_ = error_ = error;
}

void TImagingConsole::StopSequence() {
  seriesFailed_ = true;
  EndSequence("Exposure sequence stopped");
}

void TImagingConsole::EndSequence(const std::string& logLine) {
  startDown_ = false;
  ExposureNum = std::to_string(sequenceLength_);
  if (!logLine.empty()) Log(logLine);
}

bool TImagingConsole::StartFrame() {
  double v = 0;
  // 0 s (bias frames) and anything below the camera's shortest exposure
  // are clamped to it.
  if (!platform::ParseDouble(ExposureTime, v) || !std::isfinite(v)) {
    TellError("Error: the exposure is not a number of seconds");
    Log("Error: exposure \"" + ExposureTime + "\" is not a number of seconds");
    return false;
  }
  ExposureTimeChange();
  frameExposure_ = exposure_;
  if (!(startDown_ && sequenceFilters_ > 0 && !devices_->WheelConnected())) frameFilter_ = FilterName();
  // A camera that does not start the exposure: the console says why.
  std::string why;
  try {
    if (camera_->StartExposure(frameExposure_, Purpose != "Dark")) return true;
    why = camera_->LastFailure();
  } catch (const std::exception& e) {
    why = e.what();
  }
  // The start found the camera gone.
  if (!camera_->Connected()) {
    CameraLost(camera_->LostReason());
    return false;
  }
  if (why.empty()) why = "the camera did not start the exposure";
  Log("Error: " + why);
  TellError("Error: " + why);
  return false;
}

void TImagingConsole::SequenceTimer1Timer() {
  // 1. The source.
  if (ImageSource != currentSourceName_) SelectSource();
  // 2. No camera: an error only once a camera was chosen and could not be
  // had (or was lost); before any choice the status says nothing.
  if (!camera_) {
    status_ = !error_.empty() ? error_ : sourceChosen_ ? CameraConnectionError(connectError_) : "";
    ImageSource = "None";
    return;
  }
  // 3. The plate solver's pause, taken between exposures only. While it
  // lasts the camera is the plate solver's: the console leaves it alone
  // (an idle console would otherwise abort the solver's exposure).
  if (PauseRequest == 1 && !token_.Has()) return;
  if (camera_->ExposureState == 0 && !imageWanted_) {
    if ((PauseRequest == 2 || PauseRequest == 3) && !token_.Has()) {
      PauseRequest = 0;
      if (camera_->Settings.CameraToken == 1) {
        token_.Get(*camera_);
        // A camera that does not come back is let go (its token with it),
        // as one that could not be chosen.
        if (!ConnectCamera(*camera_, connectError_)) {
          // Lost while the plate solver had it: told as a camera lost.
          if (!camera_->LostReason().empty()) return CameraLost(camera_->LostReason());
          Log(CameraConnectionError(connectError_));
          // A series the pause held ends; the source list is free again.
          if (startDown_) StopSequence();
          previewDown_ = imageWanted_ = false;
          ReleaseSource();
          sourceEnabled_ = true;
          return;
        }
      }
      previewEnabled_ = savedEnabled_[0];
      startEnabled_ = savedEnabled_[1];
      sourceEnabled_ = savedEnabled_[2];
      return;
    }
    if (PauseRequest == 1) {
      if (token_.Has()) {
        camera_->SetConnected(false);
        token_.Return(*camera_);
        savedEnabled_[0] = previewEnabled_;
        savedEnabled_[1] = startEnabled_;
        savedEnabled_[2] = sourceEnabled_;
        previewEnabled_ = startEnabled_ = sourceEnabled_ = false;
        status_ = "Paused for the plate solver";
      }
      return;
    }
  }
  // A camera that went away while the console held it (its driver lost
  // the device): released, whatever the buttons.
  if (token_.Has() && !camera_->Connected()) return CameraLost(camera_->LostReason());
  // 4. Both buttons up.
  if (!previewDown_ && !startDown_) {
    // A filter chosen while idle: the wheel and focuser are followed here too.
    if (filterPhase_ != 0) PollFilterChange();
    if (!previewEnabled_ || !startEnabled_) previewEnabled_ = startEnabled_ = true;
    if (camera_->CanAbortExposure && (camera_->ExposureState == 1 || camera_->ExposureState == 2)) {
      try {
        camera_->AbortExposure();
      } catch (const std::exception&) {
      }
    }
    if (camera_->ExposureState == 0) {
      sourceEnabled_ = true;
      previewTag_ = startTag_ = 0;
      imageWanted_ = false;
    }
    double t = -999;
    if (camera_->CanSetCCDTemperature) {
      try {
        t = camera_->GetCCDTemperature();
      } catch (const std::exception&) {
      }
    }
    tempLabel_ = t != -999 ? platform::FormatFixed(t, 0, 1) + "\xC2\xB0" "C" : "?";
    status_ = filterPhase_ != 0 ? "Changing filter" : error_.empty() ? "Idle" : error_;
    return;
  }
  // 5. (A button is down without a source: handled by step 2.)
  // A filter change under way: wait for it.
  if (filterPhase_ != 0) {
    PollFilterChange();
    status_ = "Changing filter";
    return;
  }
  // 6. Exposing.
  if (camera_->ExposureState != 0) {
    const double elapsed = (platform::TimeGetTime() - exposureStartTick_) / 1000.0;
    const double left = std::nearbyint((frameExposure_ - elapsed) * 10) / 10;
    if (left > 0)
      status_ = startDown_ ? "Frame: " + std::to_string(remaining_) + ", Exposure Time: " +
                                 platform::FormatFixed(left, 0, 1) + " Seconds."
                           : "Exposure Time Left: " + platform::FormatFixed(left, 0, 1) + " Seconds.";
    else
      status_ = "Reading Image";
    return;
  }
  // 7. Idle camera with a button down.
  if (imageWanted_) {
    // A camera that went away ends its exposure without a picture (and
    // would refuse to be asked for one).
    if (!camera_->Connected()) return CameraLost(camera_->LostReason());
    if (camera_->GetImageReady()) {
      TakeImage();
    } else {
      // The exposure ended without a picture (failed, the camera logging
      // why): the frame is taken again, unless the camera gives none
      // several times in a row.
      imageWanted_ = false;
      if (startDown_ && ++failedExposures_ >= kFailedExposuresInARow) {
        Log("Error: " + std::to_string(kFailedExposuresInARow) + " exposures in a row ended without a picture");
        const std::string& why = camera_->LastFailure();
        TellError("Error: the camera gives no picture" + (why.empty() ? "" : ": " + why));
        StopSequence();
        return;
      }
    }
    if (filterPhase_ != 0 || (!previewDown_ && !startDown_)) return;
    // The plate solver waits for the camera: it gets it before the next frame.
    if (PauseRequest == 1) return;
  }
  if (!camera_->Connected()) return CameraLost(camera_->LostReason());
  if (previewDown_) {
    if (previewTag_ == 1) {
      Log("Exposure " + ExposureTime + " seconds");
      Log("Preview started");
      previewTag_ = 0;
    }
    if (StartFrame()) {
      imageWanted_ = true;
      exposureStartTick_ = platform::TimeGetTime();
    } else {
      previewDown_ = false;
    }
    return;
  }
  if (startDown_) {
    if (startTag_ == 1) {
      Log("Exposure " + ExposureTime + " seconds");
      if (devices_ && devices_->WheelConnected() && AllFilters) {
        FilterIndex = 0;
        startTag_ = 0;
        FilterChange();
        return;  // the first frame starts once the wheel has stopped
      }
    }
    startTag_ = 0;
    if (StartFrame()) {
      imageWanted_ = true;
      exposureStartTick_ = platform::TimeGetTime();
    } else if (camera_) {
      StopSequence();
    }
  }
}

void TImagingConsole::CameraLost(const std::string& reason) {
  const bool running = previewDown_ || startDown_;
  const std::string error = running ? CameraDisconnectedError(reason) : CameraConnectionError(reason);
  Log(running ? error : CameraDisconnected(reason));
  if (startDown_) StopSequence();
  previewDown_ = imageWanted_ = false;
  previewTag_ = startTag_ = 0;
  ReleaseSource();
  sourceEnabled_ = true;
  // No pause is owed to the plate solver for a camera that is gone.
  PauseRequest = 0;
  TellError(error);
}

void TImagingConsole::TakeImage() {
  imageWanted_ = false;
  failedExposures_ = 0;
  status_ = "Image Aquired";
  camera_->AutoRange = AutoLevels;
  camera_->DisplayHigh = uint32_t(std::max(0, MaxLevel));
  camera_->DisplayLow = uint32_t(std::max(0, MinLevel));
  try {
    image_ = CopyFitsImage(camera_->GetImage());
  } catch (const std::exception& e) {
    Log(std::string("Error: ") + e.what());
    TellError(std::string("Error: ") + e.what());
    if (startDown_) StopSequence();
    return;
  }
  if (OnImage) OnImage(*image_);
  if (!startDown_) return;
  if (!SaveFrame()) {
    StopSequence();
    return;
  }
  // Count down; at the end, the next filter or the end of the sequence.
  --remaining_;
  ExposureNum = std::to_string(remaining_);
  if (remaining_ >= 1) return;
  ExposureNum = std::to_string(sequenceLength_);
  if (AllFilters && sequenceFilters_ > 0) {
    if (FilterIndex >= sequenceFilters_ - 1) {
      FilterIndex = 0;
      FilterChange();
      EndSequence("Exposure sequence done");
    } else if (!devices_->WheelConnected()) {
      Log("Error: filter wheel disconnected");
      TellError("Error: filter wheel disconnected");
      StopSequence();
    } else {
      ++FilterIndex;
      FilterChange();
      remaining_ = sequenceLength_;
    }
  } else {
    EndSequence("Exposure sequence done");
  }
}

bool TImagingConsole::SaveFrame() {
  std::string folder, name;
  const int frame = sequenceLength_ + 1 - remaining_;
  FramePath(Path, DirName, FileName, frameFilter_, Purpose, remaining_, frame, folder, name);
  // Made by the path's own bytes: a folder's name need not be UTF-8.
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  if (made || !platform::FolderExists(folder)) {
    Log("Error: folder not created: " + folder);
    TellError("Error: image not saved");
    return false;
  }
  const std::string wanted = platform::JoinPath(folder, name + PictureExtension(SaveAsType));
  TFitsHeader h = image_->Header;
  h.ExposureTime = frameExposure_;
  h.Filter = frameFilter_;
  const platform::Bitmap* shown = nullptr;
  if (SaveAsType == TSaveAs::Bmp || SaveAsType == TSaveAs::Jpg)
    shown = ShownPicture ? ShownPicture() : &image_->Bitmap();
  // Never over an existing picture: a taken name gives the next free one.
  std::string error;
  std::vector<std::string> recovered;
  const std::string file = SavePicture(folder, name, SaveAsType, h, image_->Data(), shown, &error, &recovered);
  for (const std::string& r : recovered) Log("Image of an interrupted save recovered: " + r);
  if (file.empty()) {
    Log("Error: image not saved: " + wanted + (error.empty() ? "" : " (" + error + ")"));
    TellError("Error: image not saved");
    return false;
  }
  if (file != wanted) Log("File exists, not replaced: " + wanted);
  Log("Image saved: " + file);
  return true;
}

}  // namespace imaging
