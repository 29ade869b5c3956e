// The coordinate-grid window ("Coordinate Grid settings"): edits the grid
// block of the main plotter (chart/grid_options.h). OK copies the controls
// into the block and redraws; any other way of closing changes nothing.
#pragma once

#include <QDialog>

#include "chart/grid_options.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

class TCoordinateGridForm1 : public QDialog {
 public:
  explicit TCoordinateGridForm1(QWidget* parent = nullptr);

  QCheckBox* EnableCheckBox1;
  QCheckBox* CenterHorzCheckBox1;
  QRadioButton* EquGridRadioButton1;
  QRadioButton* HorGridRadioButton1;
  QCheckBox* LabelGridCheckBox1;
  QCheckBox* DirectionCheckBox1;
  QCheckBox* AutoGridCheckBox1;
  QSlider* TrackBar1;
  QLabel* SpacingLabel1;
  QPushButton* BitBtn1;  // OK
  QPushButton* CancelButton;
  QPushButton* SaveDefaultBitBtn1;

  void FormShow();
  void BitBtn1Click();
  void SaveDefaultBitBtn1Click();
  // The block the controls show.
  TGridBlock Shown() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateCaption();
};

extern TCoordinateGridForm1* CoordinateGridForm1;
