// TVFWCamera: a video-capture device ("VFW Camera #1".."#3", capture
// device 0..2) as a camera. A plain camera delivers frames of a fraction of
// a second; a camera modified for long exposures has a switching line that
// stops the sensor's readout while it holds the "accumulate on" value. The
// camera sets the line for the exposure, switches it back, grabs frames in
// a short readout window and keeps the brightest one.
#pragma once

#include <functional>
#include <memory>

#include "imaging/camera.h"
#include "imaging/port_output.h"
#include "imaging/video_capture.h"

namespace imaging {

class TVFWCamera : public TCamera {
 public:
  explicit TVFWCamera(int index);
  ~TVFWCamera() override;

  bool DoConnect() override;
  void DoDisconnect() override;
  void Poll() override;
  void ShowSettings() override;

  // Sets the exposure limits and CanSetExposure from ModifiedCamera.
  void ApplyLimits();
  // What the capture device offers, read with the device opened briefly
  // (only while disconnected); false with the reason in `error`.
  bool QueryDevice(TVideoOffer& offer, std::string& error);
  // The format, frame size and input kept in the settings, which the next
  // connection asks the device for.
  TVideoChoice Choice() const;
  void SetChoice(const TVideoChoice& choice);
  // Sets the switching line of a modified camera's open port to `value`;
  // the result says why when it could not.
  TPortResult SetLine(uint8_t value);

  // The frame selection of the current exposure.
  struct FrameSelection {
    bool found = false;
    double bestStep = -1.0;
    double runningMean = 0.0;
    int frameCounter = 0;
    uint64_t readoutStartTick = 0;
    std::string bestTime = "?", bestStepText = "?";
  };
  const FrameSelection& Selection() const { return selection_; }
  std::string CaptureStatus() const { return status_; }
  // Handles one captured frame (the frame callback).
  void OnFrame(const std::vector<uint8_t>& frame);

  // The settings window, installed by the forms library: it shows this
  // camera, and forgets it when the camera goes.
  static std::function<void(TVFWCamera&)> SettingsWindow;
  static std::function<void(TVFWCamera&)> CloseSettingsWindow;

 protected:
  // Restores the switching line and the normal timer.
  void DriverAbort() override;

 private:
  void Cleanup();
  // SetLine, ending the exposure with the reason when the line could not
  // be set.
  bool LineSet(uint8_t value);

  std::unique_ptr<IVideoDevice> device_;
  SerialLine serial_;
  uint16_t parallelPort_ = 0;  // the parallel port this camera has claimed, while connected
  bool portDriverLoaded_ = false;
  VideoFormat format_;
  FrameSelection selection_;
  bool haveFrame_ = false;
  bool formatError_ = false;
  std::string status_;
  std::vector<uint8_t> frame_;
};

}  // namespace imaging
