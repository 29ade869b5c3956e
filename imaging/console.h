// The logic of the imaging console (TIcForm1) without widgets: the chosen
// camera and its token, previews and numbered sequences driven by
// SequenceTimer1Timer (every 500 ms), frames saved as FITS, BMP or JPG
// under the [filt]/[fp]/[seq] name template, filter cycling with per-filter
// exposure and focus, the plate solver's pause and resume, and the settings
// file "ImagingConsoleSettings.xml". Log lines carry "[Imaging Console] ".
//
// The filter wheel and the focuser are reached through IConsoleDevices.
// Their moves are a state machine polled by the console's tick (with a
// time-out), so the window never blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/camera.h"
#include "imaging/fits_bitmap.h"
#include "imaging/picture_file.h"
#include "platform/xml.h"

namespace imaging {

inline constexpr const char* kConsoleSettingsFile = "ImagingConsoleSettings.xml";
// Filter slots with an exposure each; the focuser step box's largest amount.
inline constexpr int kFilterSlots = 20;
inline constexpr int32_t kMaxFocuserSteps = 10000000;

class IConsoleDevices {
 public:
  virtual ~IConsoleDevices() = default;
  virtual bool WheelConnected() = 0;
  virtual std::vector<std::string> FilterNames() = 0;
  virtual std::vector<int32_t> FocusOffsets() = 0;
  virtual void SetFilter(int32_t slot) = 0;
  // -1 while the wheel turns.
  virtual int32_t FilterPosition() = 0;
  virtual bool FocuserConnected() = 0;
  virtual void MoveFocuser(int32_t position) = 0;
  virtual bool FocuserMoving() = 0;
};

// The template replacements: "[filt]", "[fp]" and "[seq]", every occurrence.
std::string ReplaceTemplate(std::string text, const std::string& filt, const std::string& fp,
                            const std::string& seq);
// A filter or purpose name made safe as a part of a path: separators,
// control characters and the names "." and ".." become "_".
std::string SafePathPart(const std::string& name);
// Folder and file (without extension) of a sequence frame: `path` without
// its final "/", then `dirName` without leading or final "/" (template
// replaced, [seq] by `remaining`), and `fileName` with [seq] by "frame" + n.
void FramePath(const std::string& path, const std::string& dirName, const std::string& fileName,
               const std::string& filt, const std::string& fp, int remaining, int frame,
               std::string& folder, std::string& name);

class TImagingConsole {
 public:
  TImagingConsole(IConsoleDevices* devices, std::function<TCamera*(const std::string&)> cameraByName);
  ~TImagingConsole();

  void LoadSettings(const std::string& folder);
  void SaveSettings(const std::string& folder);

  // --- Controls ---------------------------------------------------------------
  TCameraList CameraList;
  std::string ImageSource = "None";
  std::string ExposureTime = "1";
  std::string ExposureNum = "1";
  int ExpNumUpDownPosition = 1;
  int FilterIndex = -1;  // selected filter slot, -1 none, up to kFilterSlots - 1
  bool AdjustExposure = false, AdjustFocus = false, AllFilters = false;
  std::string Purpose = "Bright";
  std::string FocusMoveAmount = "0";
  std::string Path;
  std::string DirName = "ObjectName";
  std::string FileName = "Image.[fp].[seq]";
  TSaveAs SaveAsType = TSaveAs::Fits16Compat;
  std::string FilterExposures[kFilterSlots];
  bool AutoLevels = true;
  int MinLevel = 0, MaxLevel = 65535;
  // Set by the plate solver: 1 pause, 2 resume (3: its camera went away).
  int PauseRequest = 0;

  // The camera list (called by the camera drivers). RemoveCamera lets the
  // camera go at once when it is the chosen one, before it is destroyed,
  // and says so with `reason` (why it goes) as a camera lost.
  bool AddCamera(const std::string& name) { return CameraList.Add(name); }
  void RemoveCamera(const std::string& name, const std::string& reason = "");
  bool IsCameraSelected(const std::string& name) const { return ImageSource == name; }

  // The buttons. StartClick is also the sequencer's entry.
  void PreviewClick(bool down);
  void StartClick(bool down = true);
  bool PreviewDown() const { return previewDown_; }
  bool StartDown() const { return startDown_; }
  // The last series stopped on an error (a frame not taken or not saved).
  bool SeriesFailed() const { return seriesFailed_; }
  bool PreviewEnabled() const { return previewEnabled_; }
  bool StartEnabled() const { return startEnabled_; }
  bool SourceEnabled() const { return sourceEnabled_; }
  // ExposureTimeChange: the exposure text read and clamped to the camera.
  void ExposureTimeChange();
  // FilterChange: moves the wheel (and focuser) to FilterIndex.
  void FilterChange();
  bool FilterChanging() const { return filterPhase_ != 0; }
  // Whether the status tells of an error.
  bool StatusIsError() const { return status_.rfind("Error", 0) == 0; }

  // SequenceTimer1Timer: one step (every 500 ms).
  void SequenceTimer1Timer();

  TCamera* Camera() const { return camera_; }
  bool HasCameraToken() const { return token_.Has(); }
  const std::string& Status() const { return status_; }
  const std::string& TempLabel() const { return tempLabel_; }
  const TFitsBitmap* Image() const { return image_.get(); }
  int Remaining() const { return remaining_; }
  // Called with each new image (the window shows it).
  std::function<void(const TFitsBitmap&)> OnImage;
  // The picture as shown (levels and cross hair), for BMP and JPG saving;
  // by default the image's own rendering.
  std::function<const platform::Bitmap*()> ShownPicture;

 private:
  void SelectSource();
  void ReleaseSource();
  void TakeImage();
  // The chosen camera went away (`reason`: why, where known): the running
  // button goes up, a series stops (its saved frames stay), the source is
  // released and the source list is free again. Under a running button the
  // status and the log say "Error: Camera disconnected"; at rest the log
  // says "Camera disconnected" and the status "Error: camera connection",
  // as for a source given up (each with the reason).
  void CameraLost(const std::string& reason);
  bool SaveFrame();
  void EndSequence(const std::string& logLine);
  void StopSequence();
  // Shows `error` as the status, kept while the console is idle until the
  // next preview, series or source.
  void TellError(const std::string& error);
  void PollFilterChange();
  std::string FilterName();
  bool StartFrame();

  IConsoleDevices* devices_;
  std::function<TCamera*(const std::string&)> cameraByName_;
  platform::XmlDocument doc_;
  std::string currentSourceName_;
  // A camera was chosen (not "None") since the console opened or the user
  // last chose "None": without one, the status reports the failed
  // connection, else it says nothing.
  bool sourceChosen_ = false;
  std::string connectError_;  // why the chosen camera did not connect
  TCamera* camera_ = nullptr;
  TCameraToken token_;
  std::unique_ptr<TFitsBitmap> image_;
  bool imageWanted_ = false;
  double exposure_ = 1.0, frameExposure_ = 1.0;
  bool previewDown_ = false, startDown_ = false, seriesFailed_ = false;
  int previewTag_ = 0, startTag_ = 0;
  int remaining_ = 0, sequenceLength_ = 1, failedExposures_ = 0;
  // The wheel's filter count when the series started (0 without a wheel),
  // and the filter of the frame under way: a wheel lost during the series
  // has left its filter where it was.
  int sequenceFilters_ = 0;
  std::string frameFilter_ = "None";
  bool previewEnabled_ = false, startEnabled_ = false, sourceEnabled_ = true;
  bool savedEnabled_[3] = {false, false, true};
  std::string status_, tempLabel_;
  // The error that ended the last preview or series (see TellError).
  std::string error_;
  // The filter change: 0 none, 1 wheel turning, 2 focuser moving.
  int filterPhase_ = 0;
  uint32_t filterDeadline_ = 0;
  uint32_t exposureStartTick_ = 0;
};

}  // namespace imaging
