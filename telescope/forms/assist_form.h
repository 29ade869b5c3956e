// The goto-assist window TAssistForm1 ("Goto Assist"): the terms, offsets,
// the 40-row grid, the fit on a worker with progress and cancel, and the
// before/after plots. The model itself is TAssistModel.
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

#include "telescope/assist_model.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QLabel;
class TTeleControl;

// One residual plot: circles, the camera field and a mark per row.
class TAssistPlot : public QWidget {
 public:
  TAssistPlot(const TAssistModel* model, bool after, QWidget* parent = nullptr);
  // Arcminutes across the box.
  double SpanArcmin() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  const TAssistModel* model_;
  bool after_;
};

class TAssistForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TAssistForm1(TTeleControl* tele, QWidget* parent = nullptr);
  TAssistModel& Model() { return model_; }
  void ModelClick();
  bool Fitting() const { return job_.Running(); }

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  void ToWidgets();
  void FromWidgets();
  void LastGotoClick();
  void FitTick();
  void SaveClick();
  void LoadClick();

  TTeleControl* tele_;
  TAssistModel model_;
  TAssistFitJob job_;
  QTimer fitTimer_;
  std::array<QSpinBox*, kTermCount> lower_{}, upper_{};
  std::array<QLineEdit*, kTermCount> edit_{};
  QLineEdit *hoE_, *doE_, *hoW_, *doW_, *lst_, *mmX_, *mmY_;
  QCheckBox *fine_, *x2_;
  QTableWidget* grid_;
  QPlainTextEdit* memo_;
  QProgressBar* progress_;
  QPushButton *model_btn_, *cancel_;
  TAssistPlot *before_, *after_;
  QLabel *beforeLabel_, *afterLabel_;
};
