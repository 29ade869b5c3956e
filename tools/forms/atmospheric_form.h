// The atmospheric settings window ("Atmospheric settings"): the refraction
// switch, temperature (°C, or °F with a trailing "F") and pressure.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TAtmosphericForm1 : public QDialog {
 public:
  explicit TAtmosphericForm1(QWidget* parent = nullptr);

  QLineEdit* TempEdit1;
  QLabel* TempLabel1;
  QLineEdit* PressEdit1;
  QCheckBox* EnableCheckBox1;
  QPushButton* SaveDefaultBitBtn1;
  QPushButton *BitBtn1, *BitBtn2;

  // Shows the values in force.
  void FormShow();
  // OK: applies the fields; a rejected one is reported, the value in force
  // put back and the window stays open.
  void BitBtn1Click();
  void SaveDefaultBitBtn1Click();

 protected:
  void showEvent(QShowEvent* event) override;
};

extern TAtmosphericForm1* AtmosphericForm1;
void ShowAtmosphericForm(QWidget* parent = nullptr);
