// The "ASCOM Cameras" window (TAscomCameraForm1: two driver slots with
// select, connect and disconnect) and the "ASCOM, Camera Settings" window
// (TAscomCameraSettingsForm1) of a connected camera.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include "imaging/ascom_camera.h"
#include "platform/child_signals.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QSpinBox;

namespace imaging {

class TAscomCameraForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TAscomCameraForm1(TAscomCameraSlots& logic, QWidget* parent = nullptr);

  QLineEdit *Name1, *Name2;
  QPushButton *Select1, *Select2, *Connect1, *Connect2, *Disconnect1, *Disconnect2;
  QLabel *ConnectedShape1, *ConnectedShape2;
  QTimer Timer1;

  // Shows the slots' state in the controls.
  void Refresh();

 protected:
  void hideEvent(QHideEvent* e) override;  // FormDeactivate: registry

 private:
  TAscomCameraSlots& logic_;
};

class TAscomCameraSettingsForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TAscomCameraSettingsForm1(TASCOMCamera& camera, QWidget* parent = nullptr);

  QLabel *CameraName, *GainLabel, *TempReadout, *PowerReadout;
  QLineEdit *PixelsX, *PixelsY, *PxWidth, *PxHeight;
  QCheckBox *MonoCamera, *Invert, *Mirror, *FastReadout, *CoolerOn, *CoolerActivate;
  QComboBox *BinX, *BinY, *OfsX, *OfsY, *GainSelection, *Readout;
  QScrollBar* Gain;
  QSpinBox* SetPointTemp;
  QTimer Timer1;

  void Timer1Timer();
  const TASCOMCamera& Camera() const { return camera_; }
  // The camera is going (its slot disconnected): the window lets go of it
  // and closes.
  void CameraGone();
  ~TAscomCameraSettingsForm1() override;

 private:
  TASCOMCamera& camera_;
  double lastTemp_ = -998.0;
  std::string lastPower_;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

// Installs the settings window as the ASCOM cameras' ShowSettings target.
void InstallAscomCameraSettingsWindow(QWidget* owner);

}  // namespace imaging
