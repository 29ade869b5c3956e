#include "telescope/forms/device_forms.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "telescope/forms/tele_form.h"

namespace {

QLabel* Shape() {
  auto* s = new QLabel;
  s->setFixedSize(14, 14);
  return s;
}

void Paint(QLabel* shape, TShape s) {
  shape->setStyleSheet(
      QString("background:%1;border:1px solid gray;border-radius:7px").arg(ShapeColor(s).name()));
}

// The driver row in rows 0 to 2 of `l`, wired to control `c`: the typed
// identifier is taken before Select and Connect.
template <class Control>
TDriverRow AddDriverRow(QWidget* w, QGridLayout* l, Control* c, const char* selectCaption) {
  TDriverRow r;
  r.name = new QLineEdit;
  r.select = new QPushButton(selectCaption);
  r.connect = new QPushButton("Connect");
  r.disconnect = new QPushButton("Disconnect");
  r.shape = Shape();
  l->addWidget(r.name, 0, 0, 1, 3);
  l->addWidget(r.select, 1, 0);
  l->addWidget(r.connect, 1, 1);
  l->addWidget(r.disconnect, 1, 2);
  r.lamps = new QHBoxLayout;
  r.lamps->addWidget(r.shape);
  r.lamps->addWidget(new QLabel("Connected"));
  l->addLayout(r.lamps, 2, 0, 1, 3);
  r.fault = FaultLabel();
  l->addWidget(r.fault, 9, 0, 1, 3);
  QLineEdit* name = r.name;
  auto read = [c, name] { c->name = name->text().toStdString(); };
  QObject::connect(r.select, &QPushButton::clicked, w, [c, read] { read(); c->SelectClick(); });
  QObject::connect(r.connect, &QPushButton::clicked, w, [c, read] { read(); c->ConnectClick(); });
  QObject::connect(r.disconnect, &QPushButton::clicked, w, [c] { c->DisconnectClick(); });
  return r;
}

void RefreshDriverRow(const TDriverRow& r, const TDeviceControls& ui, const std::string& name) {
  if (r.name->text().toStdString() != name) r.name->setText(QString::fromStdString(name));
  r.name->setEnabled(ui.name);
  r.select->setEnabled(ui.select);
  r.connect->setEnabled(ui.connect);
  r.disconnect->setEnabled(ui.disconnect);
  Paint(r.shape, ui.connectedShape);
  ShowFault(r.fault, ui.fault);
}

}  // namespace

// --- Focuser ------------------------------------------------------------------------

TFocuserForm1::TFocuserForm1(TFocuserControl* control, QWidget* parent) : QWidget(parent, Qt::Window), c_(control) {
  setWindowTitle("ASCOM Focuser");
  auto* l = new QGridLayout(this);
  row_ = AddDriverRow(this, l, c_, "Select Focuser");
  row_.lamps->addStretch();
  connect(c_, &TFocuserControl::changed, this, [this] { Refresh(); });
  Refresh();
}

void TFocuserForm1::Refresh() { RefreshDriverRow(row_, c_->Controls(), c_->name); }

void TFocuserForm1::showEvent(QShowEvent*) {
  if (!c_->Connected()) c_->LoadSettings();
  Refresh();
}

void TFocuserForm1::hideEvent(QHideEvent*) {
  c_->name = row_.name->text().toStdString();
  c_->SaveSettings();
}

// --- Filter wheel -----------------------------------------------------------------------

TFilterWheelForm1::TFilterWheelForm1(TFilterWheelControl* control, QWidget* parent)
    : QWidget(parent, Qt::Window), c_(control) {
  setWindowTitle("ASCOM Filter Wheel");
  auto* l = new QGridLayout(this);
  row_ = AddDriverRow(this, l, c_, "Select Filter Wheel");
  makerShape_ = Shape();
  row_.lamps->addWidget(makerShape_);
  row_.lamps->addWidget(new QLabel("Tarvel Filter Wheel"));
  row_.lamps->addStretch();
  auto* adj = new QGroupBox("Adjustments");
  auto* al = new QGridLayout(adj);
  minus_ = new QPushButton("-");
  plus_ = new QPushButton("+");
  cal_ = new QPushButton("Cal.");
  al->addWidget(new QLabel("Fine position:"), 0, 0);
  al->addWidget(minus_, 0, 1);
  al->addWidget(plus_, 0, 2);
  al->addWidget(new QLabel("Perform calibration cycle:"), 1, 0);
  al->addWidget(cal_, 1, 1);
  l->addWidget(adj, 3, 0, 1, 3);
  connect(minus_, &QPushButton::clicked, this, [this] { c_->TweakClick(99); Refresh(); });
  connect(plus_, &QPushButton::clicked, this, [this] { c_->TweakClick(100); Refresh(); });
  connect(cal_, &QPushButton::clicked, this, [this] { c_->TweakClick(101); Refresh(); });
  connect(c_, &TFilterWheelControl::changed, this, [this] { Refresh(); });
  Refresh();
}

void TFilterWheelForm1::Refresh() {
  const TDeviceControls& ui = c_->Controls();
  RefreshDriverRow(row_, ui, c_->name);
  // The adjustment buttons wait while a tweak is under way.
  for (QPushButton* b : {minus_, plus_, cal_}) b->setEnabled(ui.tweak && !c_->TweakWaiting());
  Paint(makerShape_, ui.makerShape);
}

void TFilterWheelForm1::showEvent(QShowEvent*) {
  if (!c_->Connected()) c_->LoadSettings();
  Refresh();
}

void TFilterWheelForm1::hideEvent(QHideEvent*) {
  c_->name = row_.name->text().toStdString();
  c_->SaveSettings();
}
