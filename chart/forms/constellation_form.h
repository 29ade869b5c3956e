// The constellation window ("Constellation settings"): which constellations
// get figure lines, boundaries and names (chart/constellation_options.h).
// OK copies the lists into the main plotter's block and redraws; Cancel
// changes nothing.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;
class QRadioButton;

class TConstellationForm1 : public QDialog {
 public:
  explicit TConstellationForm1(QWidget* parent = nullptr);

  QListWidget* ListBox1;  // "Draw lines for:"
  QListWidget* ListBox2;  // "Draw Boundries for:"
  QRadioButton* DontShowRadioButton1;
  QRadioButton* ShowConstRadioButton1;
  QRadioButton* ShowNamesRadioButton1;
  QPushButton* AllLinesBitBtn1;
  QPushButton* AllBoundsBitBtn1;
  QPushButton* BitBtn1;  // OK
  QPushButton* CancelButton;
  QPushButton* SaveDefaultBitBtn1;

  void FormShow();
  void BitBtn1Click();
  void SaveDefaultBitBtn1Click();
  static void SelectAll(QListWidget* list);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Selections(uint8_t lines[89], uint8_t bounds[89]) const;
  int NameMode() const;
};

extern TConstellationForm1* ConstellationForm1;
