// The star options window ("Star Catalog settings"): five pages over the
// star options. Filter changes reload the star arrays; appearance changes
// go to the main plotter's star switches and redraw the chart. The
// magnitude key is drawn with the plotter's own star discs.
#pragma once

#include <QDialog>
#include <memory>

#include "catalog/star_options.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QWidget;
class tPlotter;
namespace platform {
class DrawingContext;
}

class TOptionsForm1 : public QDialog {
 public:
  explicit TOptionsForm1(QWidget* parent = nullptr);
  ~TOptionsForm1() override;

  QTabWidget* PageControl1;
  QCheckBox* TychoCheckBox1;
  QSlider* TrackBarMagn1;  // low (bright) limit × 10
  QSlider* TrackBarMagn2;  // high (faint) limit × 10
  QLabel* MagnLabel1;
  QLabel* MagnLabel2;
  QCheckBox* AutoLimitCheckBox1;
  QRadioButton* SelectVar[4];  // modes 0..3
  QListWidget* SpectralListBox1;
  QCheckBox* LumCheckBox[5];
  QSlider* TrackBarProper1;  // low limit × 100
  QSlider* TrackBarProper2;  // high limit × 100
  QLabel* ProperLabel1;
  QLabel* ProperLabel2;
  QCheckBox* ColorCheckBox1;
  QCheckBox* StarNamesCheckBox1;
  QCheckBox* StarLettersCheckBox1;
  QRadioButton* BrightMagRadioButton1;
  QRadioButton* SizeMagRadioButton1;
  QSlider* StarSizeTrackBar1;
  QWidget* MagKeyPaintBox1;
  QPushButton* Defaults[4];  // magnitude, spectral, proper motion, appearance
  QPushButton* OkBitBtn1;
  QPushButton* CancelButton;
  QPushButton* SaveDefaultBitBtn1;

  // The window's own defaults (its Revert buttons).
  static TStarOptions WindowDefaults();

  void FormShow();
  void OkBitBtn1Click();
  void DefaultsClick(int page);  // 0..3 as Defaults[]
  void SaveDefaultBitBtn1Click();
  // The options the controls show.
  TStarOptions Shown() const;
  // Draws the magnitude key on `dc`, `width` pixels wide.
  void MagKeyPaintBox1Paint(platform::DrawingContext& dc, int width, int height);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowOptions(const TStarOptions& o, int page);
  void UpdateLabels();
  TStarOptions working_;
  TStarOptions atShow_;
  std::unique_ptr<tPlotter> keyPlotter_;
};

extern TOptionsForm1* OptionsForm1;
