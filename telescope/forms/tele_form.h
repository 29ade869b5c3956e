// The telescope window TTeleForm1 ("ASCOM Telescope Control") and the driver
// chooser dialog. The window only wires its controls to TTeleControl.
#pragma once

#include <QDialog>
#include <QWidget>
#include <map>

#include "telescope/tele_control.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TAssistForm1;

// The colour of a status shape on screen.
QColor ShapeColor(TShape s);
// A device window's fault line: red text, shown only while there is a fault.
QLabel* FaultLabel();
void ShowFault(QLabel* label, const std::string& fault);

class TPecPlot : public QWidget {
 public:
  explicit TPecPlot(TTeleControl* tele, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  TTeleControl* tele_;
};

class TTeleForm1 : public QWidget {
  Q_OBJECT
 public:
  TTeleForm1(TTeleControl* control, TAssistForm1* assist, QWidget* parent = nullptr);
  TTeleControl* Control() const { return tele_; }
  // The goto-assist window "Derive Model" opens (made after this one).
  void SetAssistWindow(TAssistForm1* assist) { assist_ = assist; }

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  void Refresh();
  void ReadInputs();
  QPushButton* Button(const QString& text, void (TTeleControl::*slot)());
  // Runs a command of the logic for a button.
  void Act(void (TTeleControl::*slot)());

  TTeleControl* tele_;
  TAssistForm1* assist_;
  QLineEdit* name_;
  QCheckBox *setTime_, *latLong_, *useRefracted_, *useAssist_;
  QLabel *coordinateType_, *wormTime_, *scaleLabel1_, *scaleLabel2_, *fault_, *notice_, *progress_;
  QRadioButton *one_, *two_, *three_, *east_, *west_, *fromDriver_;
  QComboBox* pecScale_;
  TPecPlot* plot_;
  std::map<std::string, QPushButton*> buttons_;
  std::map<std::string, QLabel*> shapes_;
  std::map<std::string, TShape> shown_;
};

// The chooser: the registered drivers of a device type, an INDI device
// given by host, port and device name (a camera in the camera form of the
// identifier), and (for telescopes) an LX200-family mount given by its
// serial port or network address.
class TDriverChooser : public QDialog {
 public:
  TDriverChooser(const std::string& deviceType, const std::string& current,
                 const std::vector<platform::TDriverEntry>& drivers, QWidget* parent = nullptr);
  std::string Choice() const;

 private:
  class QListWidget* list_;
  QLineEdit *host_, *port_, *device_, *lx200_;
  std::vector<std::string> ids_;
  std::string deviceType_;
};

// Installs TDriverChooser as the chooser of the driver layer.
void InstallDriverChooser();
