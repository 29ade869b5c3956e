// The performance window ("Performance"): switches the simulated twilight
// colours of the chart at sunrise and sunset.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

class TPerformanceForm1 : public QDialog {
 public:
  // Creation sets VisibilityGraphSpan to 2.
  explicit TPerformanceForm1(QWidget* parent = nullptr);

  QCheckBox* GraphicSunRiseSetCheckBox1;
  QPushButton* BitBtn1;  // "OK"

  // Shows the present switch.
  void FormShow();
  // Stores and applies the switch, then closes.
  void BitBtn1Click();

 protected:
  void showEvent(QShowEvent* event) override;
};

extern TPerformanceForm1* PerformanceForm1;
