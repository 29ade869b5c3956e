// The screen-layout window ("Screen layout"): the size of each chart inset,
// the shape of the chart mask and the aspect correction of the circular
// insets. Its logic is in chart/screen_layout.h; the window only shows the
// values and hands the choice over on OK.
#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;
class QSlider;

class TScreenLayoutForm1 : public QDialog {
 public:
  explicit TScreenLayoutForm1(QWidget* parent = nullptr);

  QComboBox* OvalMaskComboBox1;
  QComboBox* ComboBox1;  // star guide
  QComboBox* ComboBox2;  // globe
  QComboBox* ComboBox3;  // magnifier
  QComboBox* ComboBox4;  // clock
  QSlider* AspectTrackBar1;
  QPushButton* BitBtn1;  // "Ok"
  QPushButton* CancelButton;

  // Shows the present layout.
  void FormShow();
  // Applies and stores the choice, then closes.
  void BitBtn1Click();
  // Rebuilds the insets after the aspect changed.
  static void RefreshScreen();

 protected:
  void showEvent(QShowEvent* event) override;
};

extern TScreenLayoutForm1* ScreenLayoutForm1;
