#include "app/forms/sequencer_wiring.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <string>
#include <vector>

#include "app/core/points_of_interest.h"
#include "app/forms/poi_form.h"
#include "imaging/forms/imaging_windows.h"
#include "telescope/forms/sequencer_panel.h"
#include "telescope/host.h"
#include "telescope/sequencer.h"
#include "telescope/tele_control.h"

namespace {

// The sequencer's points: the main window's point table (J2000).
class TPointTable : public IPointSource {
 public:
  explicit TPointTable(TPOIForm& window) : window_(window) {}
  int PointCount() override { return POICount; }
  TSequencePoint Point(int i) override {
    if (i < 1 || i > POICount) return {};
    const TPointOfInterest& p = POITable[size_t(i)];
    return {p.RA, p.Dec, p.Name, p.Goto == 1, p.Plan, p.Confirm == 1};
  }
  void TakeEdits() override { window_.CommitEdit(); }
  void ShowPoint(int i) override {
    if (window_.POIGrid && i >= 1 && i <= window_.POIGrid->rowCount()) window_.POIGrid->selectRow(i - 1);
  }

 private:
  TPOIForm& window_;
};

// The sequencer's imaging step: the imaging console's controls and its
// Start button.
class TConsoleImaging : public IImagingStep {
 public:
  bool CameraSelected() override {
    const imaging::TIcForm1* f = imaging::IcForm1();
    return f && !f->Logic.ImageSource.empty() && f->Logic.ImageSource != "None";
  }
  std::vector<std::string> FilterItems() override {
    return Items(imaging::IcForm1() ? imaging::IcForm1()->Filter : nullptr);
  }
  std::vector<std::string> FrameTypeItems() override {
    return Items(imaging::IcForm1() ? imaging::IcForm1()->Purpose : nullptr);
  }
  void Start(int exposures, double seconds, const std::string& filter, const std::string& frameType) override {
    started_ = false;
    imaging::TIcForm1* f = imaging::IcForm1();
    if (!f) return;
    f->ExposureNum->setText(QString::number(exposures));
    f->ExposureTime->setText(QString::number(seconds));
    if (const int i = f->Filter->findText(QString::fromStdString(filter)); i >= 0 && i != f->Filter->currentIndex()) {
      f->Filter->setCurrentIndex(i);
      f->Logic.FilterIndex = i;
      f->Logic.FilterChange();
    }
    if (const int i = f->Purpose->findText(QString::fromStdString(frameType)); i >= 0) f->Purpose->setCurrentIndex(i);
    started_ = imaging::StartImagingSequence();
  }
  bool Finished() override { return started_ && !imaging::ImagingSequenceRunning(); }
  // The console gave up: no console, no camera, the start was refused, or
  // its series stopped on an error (a frame not taken or not saved).
  bool Failed() override {
    const imaging::TIcForm1* f = imaging::IcForm1();
    return !started_ || !CameraSelected() || (f && f->Logic.SeriesFailed());
  }
  void Abort() override {
    imaging::TIcForm1* f = imaging::IcForm1();
    if (f && f->Logic.StartDown()) f->Start->setChecked(false);
  }

 private:
  static std::vector<std::string> Items(const QComboBox* box) {
    std::vector<std::string> out;
    if (box)
      for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
    return out;
  }
  bool started_ = false;
};

// The sequencer with its sources; refuses the window's close while a
// sequence runs unpaused.
class TSequencerHolder : public QObject {
 public:
  explicit TSequencerHolder(TPOIForm& window, TTeleControl* tele)
      : QObject(&window), points_(window), sequencer_(&points_, tele, &imaging_, &host_) {}
  TSequencer* Sequencer() { return &sequencer_; }
  QPointer<TSequencerPanel> panel;

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Close && panel && !panel->CanClose()) {
      e->ignore();
      return true;
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  TPointTable points_;
  TConsoleImaging imaging_;
  TDefaultTelescopeHost host_;
  TSequencer sequencer_;
};

}  // namespace

void AttachSequencer(TPOIForm& window) {
  TTeleControl* tele = TeleControl();
  if (!tele) return;
  auto* holder = new TSequencerHolder(window, tele);
  holder->panel = new TSequencerPanel(holder->Sequencer(), &window);
  // The panel carries its own "Stop on warning" and status.
  if (window.StopOnWarning) window.StopOnWarning->hide();
  if (window.StatusLabel) window.StatusLabel->hide();
  if (window.layout()) window.layout()->addWidget(holder->panel);
  window.installEventFilter(holder);
  // The sequencer drives the telescope control: it goes first.
  QObject::connect(tele, &QObject::destroyed, holder, [holder] {
    delete holder->panel.data();
    delete holder;
  });
}
