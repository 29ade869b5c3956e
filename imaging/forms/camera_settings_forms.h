// The camera settings windows: "Image File, Camera Settings"
// (TIFFCameraSettingsForm1), "VFW, Camera Settings"
// (TVfwCameraSettingsForm1) and the DSI camera's (TDsiCameraSettingsForm1),
// one instance each, made at start and shown modally with the camera whose
// settings are opened, and the "&Source Settings" submenu that opens them.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "imaging/dsi_camera.h"
#include "imaging/file_camera.h"
#include "imaging/video_camera.h"
#include "platform/child_signals.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QSpinBox;

namespace imaging {

// A settings window that shows one camera at a time: none at start, the
// camera it was opened with since, and none again once that camera goes.
// Every handler acts on the camera shown.
template <class Camera>
class TCameraSettingsWindow : public QDialog {
 public:
  using QDialog::QDialog;
  // The camera shown; nullptr before the first opening and once it went.
  Camera* ShownCamera() const { return camera_; }
  // Takes `camera` and fills the controls from its settings.
  void TakeCamera(Camera& camera) {
    camera_ = &camera;
    Fill(camera);
  }
  // Opens the window modally with `camera`, returning once it is hidden.
  // A window open already (with whichever camera) is brought forward.
  void OpenWith(Camera& camera) {
    if (isVisible()) {
      raise();
      activateWindow();
      return;
    }
    TakeCamera(camera);
    exec();
  }
  // Forgets `camera` when it is the one shown, closing the window when it
  // is open: nothing reaches the camera from here on.
  void ForgetCamera(const Camera& camera) {
    if (camera_ != &camera) return;
    camera_ = nullptr;
    if (isVisible()) reject();
  }

 protected:
  virtual void Fill(Camera& camera) = 0;
  // `timer` (the readouts') runs only while the window is shown.
  void RunWhileShown(QTimer& timer) { whileShown_ = &timer; }
  void showEvent(QShowEvent* e) override {
    if (whileShown_) whileShown_->start();
    QDialog::showEvent(e);
  }
  void hideEvent(QHideEvent* e) override {
    if (whileShown_) whileShown_->stop();
    QDialog::hideEvent(e);
  }
  Camera* camera_ = nullptr;

 private:
  QTimer* whileShown_ = nullptr;
};

class TIFFCameraSettingsForm1 : public TCameraSettingsWindow<TIFFCamera> {
  Q_OBJECT
 public:
  explicit TIFFCameraSettingsForm1(QWidget* parent = nullptr);
  // Reads the pixel sizes back (invariant number format) when hidden.
  void done(int r) override;

  QLineEdit *PixelsX, *PixelsY, *PxWidth, *PxHeight, *Path;
  QCheckBox *Invert, *Mirror, *AutoLoad, *MonoCamera;
  QPushButton* OpenPathDialog;

 protected:
  void Fill(TIFFCamera& camera) override;

 private:
  void OpenPathDialogClick();
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

// The "Video Format" window (the formats a capture device offers, each
// with its frame sizes) or the "Video Source" window (its inputs), opened
// with the camera's current choice.
class TVideoModeForm : public QDialog {
  Q_OBJECT
 public:
  TVideoModeForm(const TVideoOffer& offer, const TVideoChoice& choice, bool source, QWidget* parent = nullptr);
  // The choice as the window shows it.
  TVideoChoice Choice() const;

  QComboBox *Format, *FrameSize, *Input;

 private:
  void FillSizes();
  TVideoOffer offer_;
  TVideoChoice choice_;
  bool source_;
};

class TVfwCameraSettingsForm1 : public TCameraSettingsWindow<TVFWCamera> {
  Q_OBJECT
 public:
  explicit TVfwCameraSettingsForm1(QWidget* parent = nullptr);
  // Applies the camera's exposure limits (from ModifiedCamera) when hidden.
  void done(int r) override;

  QLabel* CameraName;
  QSpinBox *ExStart, *ExWindow;
  QPushButton *AMask[8], *AOn[8], *AOff[8];
  QCheckBox *DirectMode, *SCCheckBox1, *MonoCamera, *Invert, *Mirror;
  QLineEdit *PixelsX, *PixelsY, *PxWidth, *PxHeight;
  QComboBox* LxPortComboBox1;
  QPushButton *FormatButton1, *SourceButton1;
  QLabel* CaptureStatus;
  // Shows the camera's capture status while the window is shown.
  QTimer StatusTimer;

 protected:
  // Sets the camera's exposure length to 1000 ms and shows its settings.
  void Fill(TVFWCamera& camera) override;

 private:
  void UpdateEnabling();
  // The "Video Format..." (source false) and "Video Source..." buttons.
  void ModeButtonClick(bool source);
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

class TDsiCameraSettingsForm1 : public TCameraSettingsWindow<TDsiCamera> {
  Q_OBJECT
 public:
  explicit TDsiCameraSettingsForm1(QWidget* parent = nullptr);

  QLabel *CameraName, *GainLabel, *OffsetLabel, *Temperature, *Power;
  QLineEdit *PixelsX, *PixelsY, *PxWidth, *PxHeight;
  QComboBox *OfsX, *OfsY;
  QCheckBox *Mirror, *Invert, *MonoCamera, *TarvelCamera;
  QScrollBar *Gain, *Offset;
  QDoubleSpinBox* SetPointTemp;
  // Runs while the window is shown.
  QTimer Timer1;

  void Timer1Timer();

 protected:
  void Fill(TDsiCamera& camera) override;

 private:
  void GainChange(int position);
  void OffsetChange(int position);
  void CoolerEnable(bool on);
  double pendingSetPoint_ = 0;
  double lastShown_ = -12345;
  std::string lastPower_;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

// The program's single instances, made hidden at start by the main window
// (emptied when they go with it).
extern TVfwCameraSettingsForm1* VfwCameraSettingsForm1;
extern TDsiCameraSettingsForm1* DsiCameraSettingsForm1;
extern TIFFCameraSettingsForm1* IFFCameraSettingsForm1;

// Routes the cameras' ShowSettings to the program's windows above (opened
// with the camera), and a camera that goes to its window, which forgets it;
// false takes both routes away.
void InstallCameraSettingsWindows(bool installed);

// Fills a menu with one item per camera of CreateCameras, each opening the
// camera's settings window.
void FillSourceSettingsMenu(QMenu* menu);

// The eight digits of a byte, highest bit first ("00000101").
std::string ByteDigits(uint8_t value);

// Shows a sensor temperature in a readout when it changed since `last`:
// "Temperature: Unavailable" for -999, else one decimal.
void ShowTemperature(QLabel* readout, double t, double& last);

// Opens a settings window of type Form modally for a camera.
template <class Form, class Camera>
std::function<void(Camera&)> ModalSettingsWindow(QWidget* const& owner) {
  return [&owner](Camera& c) {
    Form f(c, owner);
    f.exec();
  };
}

}  // namespace imaging
