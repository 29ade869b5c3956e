// The focuser window TFocuserForm1 ("ASCOM Focuser") and the filter-wheel
// window TFilterWheelForm1 ("ASCOM Filter Wheel"), wired to their logic.
#pragma once

#include <QWidget>

#include "telescope/accessories.h"

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The driver rows of the focuser and filter-wheel windows: the driver's
// identifier, Select, Connect and Disconnect, and the "Connected" lamp in
// a row of lamps.
struct TDriverRow {
  QLineEdit* name = nullptr;
  QPushButton *select = nullptr, *connect = nullptr, *disconnect = nullptr;
  QLabel* shape = nullptr;
  QLabel* fault = nullptr;  // the device's fault, in red below the window's controls
  QHBoxLayout* lamps = nullptr;
};

class TFocuserForm1 : public QWidget {
 public:
  explicit TFocuserForm1(TFocuserControl* control, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  void Refresh();
  TFocuserControl* c_;
  TDriverRow row_;
};

class TFilterWheelForm1 : public QWidget {
 public:
  explicit TFilterWheelForm1(TFilterWheelControl* control, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  void Refresh();
  TFilterWheelControl* c_;
  TDriverRow row_;
  QPushButton *minus_, *plus_, *cal_;
  QLabel* makerShape_;
};
