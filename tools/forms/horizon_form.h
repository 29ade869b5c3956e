// The horizon editor ("Define Horizon for This Location"): shows the
// working profile as a picture and replaces it from a picture file or the
// clipboard. OK and Cancel only close it; the caller compares the working
// profile with its own.
#pragma once

#include <QDialog>

#include "chart/horizon_array.h"

class QLabel;
class QPushButton;

class THorizonForm1 : public QDialog {
 public:
  explicit THorizonForm1(QWidget* parent = nullptr);

  THorizonArray HorizonEditArray{};
  QLabel* PaintBox1;
  QPushButton* Button1;  // "Paste Image from Clipboard"
  QPushButton* Button2;  // "Load Image from File"
  QPushButton* BitBtn1;  // OK
  QPushButton* BitBtn2;  // Cancel

  // Draws the working profile into the picture area.
  void FormShow();
  void Button1Click();
  void Button2Click();
  // Takes a loaded or pasted picture: shown and sampled into the profile.
  void TakePicture(const QImage& picture);

 protected:
  void showEvent(QShowEvent* event) override;
};

extern THorizonForm1* HorizonForm1;
