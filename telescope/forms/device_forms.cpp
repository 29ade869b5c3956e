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

}  // namespace

// --- Focuser ------------------------------------------------------------------------

TFocuserForm1::TFocuserForm1(TFocuserControl* control, QWidget* parent) : QWidget(parent, Qt::Window), c_(control) {
  setWindowTitle("ASCOM Focuser");
  auto* l = new QGridLayout(this);
  name_ = new QLineEdit;
  select_ = new QPushButton("Select Focuser");
  connect_ = new QPushButton("Connect");
  disconnect_ = new QPushButton("Disconnect");
  shape_ = Shape();
  l->addWidget(name_, 0, 0, 1, 3);
  l->addWidget(select_, 1, 0);
  l->addWidget(connect_, 1, 1);
  l->addWidget(disconnect_, 1, 2);
  auto* st = new QHBoxLayout;
  st->addWidget(shape_);
  st->addWidget(new QLabel("Connected"));
  st->addStretch();
  l->addLayout(st, 2, 0, 1, 3);
  auto read = [this] { c_->name = name_->text().toStdString(); };
  connect(select_, &QPushButton::clicked, this, [this, read] { read(); c_->SelectClick(); });
  connect(connect_, &QPushButton::clicked, this, [this, read] { read(); c_->ConnectClick(); });
  connect(disconnect_, &QPushButton::clicked, this, [this] { c_->DisconnectClick(); });
  connect(c_, &TFocuserControl::changed, this, [this] { Refresh(); });
  Refresh();
}

void TFocuserForm1::Refresh() {
  const TDeviceControls& ui = c_->Controls();
  if (name_->text().toStdString() != c_->name) name_->setText(QString::fromStdString(c_->name));
  name_->setEnabled(ui.name);
  select_->setEnabled(ui.select);
  connect_->setEnabled(ui.connect);
  disconnect_->setEnabled(ui.disconnect);
  Paint(shape_, ui.connectedShape);
}

void TFocuserForm1::showEvent(QShowEvent*) {
  if (!c_->Connected()) c_->LoadSettings();
  Refresh();
}

void TFocuserForm1::hideEvent(QHideEvent*) {
  c_->name = name_->text().toStdString();
  c_->SaveSettings();
}

// --- Filter wheel -----------------------------------------------------------------------

TFilterWheelForm1::TFilterWheelForm1(TFilterWheelControl* control, QWidget* parent)
    : QWidget(parent, Qt::Window), c_(control) {
  setWindowTitle("ASCOM Filter Wheel");
  auto* l = new QGridLayout(this);
  name_ = new QLineEdit;
  select_ = new QPushButton("Select Filter Wheel");
  connect_ = new QPushButton("Connect");
  disconnect_ = new QPushButton("Disconnect");
  shape_ = Shape();
  makerShape_ = Shape();
  l->addWidget(name_, 0, 0, 1, 3);
  l->addWidget(select_, 1, 0);
  l->addWidget(connect_, 1, 1);
  l->addWidget(disconnect_, 1, 2);
  auto* st = new QHBoxLayout;
  st->addWidget(shape_);
  st->addWidget(new QLabel("Connected"));
  st->addWidget(makerShape_);
  st->addWidget(new QLabel("Tarvel Filter Wheel"));
  st->addStretch();
  l->addLayout(st, 2, 0, 1, 3);
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
  auto read = [this] { c_->name = name_->text().toStdString(); };
  connect(select_, &QPushButton::clicked, this, [this, read] { read(); c_->SelectClick(); });
  connect(connect_, &QPushButton::clicked, this, [this, read] { read(); c_->ConnectClick(); });
  connect(disconnect_, &QPushButton::clicked, this, [this] { c_->DisconnectClick(); });
  connect(minus_, &QPushButton::clicked, this, [this] { c_->TweakClick(99); Refresh(); });
  connect(plus_, &QPushButton::clicked, this, [this] { c_->TweakClick(100); Refresh(); });
  connect(cal_, &QPushButton::clicked, this, [this] { c_->TweakClick(101); Refresh(); });
  connect(c_, &TFilterWheelControl::changed, this, [this] { Refresh(); });
  Refresh();
}

void TFilterWheelForm1::Refresh() {
  const TDeviceControls& ui = c_->Controls();
  if (name_->text().toStdString() != c_->name) name_->setText(QString::fromStdString(c_->name));
  name_->setEnabled(ui.name);
  select_->setEnabled(ui.select);
  connect_->setEnabled(ui.connect);
  disconnect_->setEnabled(ui.disconnect);
  // The adjustment buttons wait while a tweak is under way.
  for (QPushButton* b : {minus_, plus_, cal_}) b->setEnabled(ui.tweak && !c_->TweakWaiting());
  Paint(shape_, ui.connectedShape);
  Paint(makerShape_, ui.makerShape);
}

void TFilterWheelForm1::showEvent(QShowEvent*) {
  if (!c_->Connected()) c_->LoadSettings();
  Refresh();
}

void TFilterWheelForm1::hideEvent(QHideEvent*) {
  c_->name = name_->text().toStdString();
  c_->SaveSettings();
}
