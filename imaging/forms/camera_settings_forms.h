// The camera settings windows: "Image File, Camera Settings"
// (TIFFCameraSettingsForm1), "VFW, Camera Settings"
// (TVfwCameraSettingsForm1) and the DSI camera's (TDsiCameraSettingsForm1),
// each shown modally for one camera, and the "&Source Settings" submenu
// that opens them.
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

class TIFFCameraSettingsForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TIFFCameraSettingsForm1(TIFFCamera& camera, QWidget* parent = nullptr);
  // Reads the pixel sizes back (invariant number format) when hidden.
  void done(int r) override;

  QLineEdit *PixelsX, *PixelsY, *PxWidth, *PxHeight, *Path;
  QCheckBox *Invert, *Mirror, *AutoLoad, *MonoCamera;
  QPushButton* OpenPathDialog;

 private:
  void OpenPathDialogClick();
  TIFFCamera& camera_;
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

class TVfwCameraSettingsForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TVfwCameraSettingsForm1(TVFWCamera& camera, QWidget* parent = nullptr);

  QLabel* CameraName;
  QSpinBox *ExStart, *ExWindow;
  QPushButton *AMask[8], *AOn[8], *AOff[8];
  QCheckBox *DirectMode, *SCCheckBox1, *MonoCamera, *Invert, *Mirror;
  QLineEdit *PixelsX, *PixelsY, *PxWidth, *PxHeight;
  QComboBox* LxPortComboBox1;
  QPushButton *FormatButton1, *SourceButton1;
  QLabel* CaptureStatus;

 private:
  void Refresh();
  void UpdateEnabling();
  // The "Video Format..." (source false) and "Video Source..." buttons.
  void ModeButtonClick(bool source);
  TVFWCamera& camera_;
  QTimer statusTimer_;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

class TDsiCameraSettingsForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TDsiCameraSettingsForm1(TDsiCamera& camera, QWidget* parent = nullptr);

  QLabel *CameraName, *GainLabel, *OffsetLabel, *Temperature, *Power;
  QLineEdit *PixelsX, *PixelsY, *PxWidth, *PxHeight;
  QComboBox *OfsX, *OfsY;
  QCheckBox *Mirror, *Invert, *MonoCamera, *TarvelCamera;
  QScrollBar *Gain, *Offset;
  QDoubleSpinBox* SetPointTemp;
  QTimer Timer1;

  void Timer1Timer();

 private:
  TDsiCamera& camera_;
  double pendingSetPoint_ = 0;
  double lastShown_ = -12345;
  std::string lastPower_;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

// Installs the settings windows as the cameras' ShowSettings targets.
void InstallCameraSettingsWindows(QWidget* owner);
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
