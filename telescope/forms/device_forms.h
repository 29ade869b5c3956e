// The focuser window TFocuserForm1 ("ASCOM Focuser") and the filter-wheel
// window TFilterWheelForm1 ("ASCOM Filter Wheel"), wired to their logic.
#pragma once

#include <QWidget>

#include "telescope/accessories.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TFocuserForm1 : public QWidget {
 public:
  explicit TFocuserForm1(TFocuserControl* control, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  void Refresh();
  TFocuserControl* c_;
  QLineEdit* name_;
  QPushButton *select_, *connect_, *disconnect_;
  QLabel* shape_;
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
  QLineEdit* name_;
  QPushButton *select_, *connect_, *disconnect_, *minus_, *plus_, *cal_;
  QLabel *shape_, *makerShape_;
};
