// The colours-and-fonts window ("Colors and Fonts"): edits the named chart
// styles and the night-vision colour mode, with a live 400 x 400 preview
// drawn by a private plotter. Edits change the styles at once; OK saves
// them, Cancel gives back the styles of the moment the window was shown,
// Revert restores and saves the defaults (chart/style_snapshot.h).
#pragma once

#include <QDialog>
#include <memory>

#include "chart/style_snapshot.h"
#include "platform/bitmap.h"
#include "platform/child_signals.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class QWidget;
class tPlotter;

class TColorsAndFontsForm1 : public QDialog {
 public:
  // Program start: builds the style fonts (defaults, then the stored ones)
  // and the drawing colours.
  explicit TColorsAndFontsForm1(QWidget* parent = nullptr);
  ~TColorsAndFontsForm1() override;

  QWidget* PaintBox1;
  QComboBox* ItemComboBox1;
  QPushButton* ItemColorBitBtn1;
  QComboBox* FontComboBox1;
  QPushButton* FontColorBitBtn1;
  QLineEdit* FontSizeEdit1;
  QSpinBox* FontSizeUpDown1;
  QToolButton* FontBoldButton1;
  QToolButton* FontItalButton1;
  QCheckBox* NightVisionCheckBox1;
  QPushButton* BitBtn1;  // OK
  QPushButton* BitBtn2;  // Cancel
  QPushButton* BitBtn3;  // Revert

  platform::Bitmap PreviewBitmap{400, 400};
  std::unique_ptr<tPlotter> PreviewPlotter;
  int CurrentStyleIndex = 0;

  void FormShow();
  void FormHide();
  void ItemComboBox1Change();
  void FontComboBox1Change();
  void FontSizeEdit1Change();
  void FontSizeEdit1Exit();
  void FontColorBitBtn1Click();
  void ItemColorBitBtn1Click();
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  // Renders the preview chart into PreviewBitmap.
  void RenderPreview();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void RemakeFont();
  void ShowSwatches();
  std::unique_ptr<TStyleTable> snapshot_;
  bool formShowing_ = false;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

extern TColorsAndFontsForm1* ColorsAndFontsForm1;
