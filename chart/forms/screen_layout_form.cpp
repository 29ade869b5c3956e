#include "chart/forms/screen_layout_form.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "chart/screen_layout.h"

TScreenLayoutForm1* ScreenLayoutForm1 = nullptr;

namespace {

QComboBox* SizeList(QWidget* parent, bool huge) {
  auto* box = new QComboBox(parent);
  box->addItems({"Hide", "Small", "Normal", "Large"});
  if (huge) box->addItem("Hugh");
  return box;
}

}  // namespace

TScreenLayoutForm1::TScreenLayoutForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Screen layout");
  OvalMaskComboBox1 = new QComboBox(this);
  OvalMaskComboBox1->addItems({"No mask", "Small mask", "Medium mask", "Large mask", "Very large mask"});
  ComboBox1 = SizeList(this, false);
  ComboBox2 = SizeList(this, false);
  ComboBox3 = SizeList(this, true);
  ComboBox4 = SizeList(this, false);
  AspectTrackBar1 = new QSlider(Qt::Horizontal, this);
  AspectTrackBar1->setRange(-kMaxAspectAdjust, kMaxAspectAdjust);
  AspectTrackBar1->setTickPosition(QSlider::TicksBelow);
  AspectTrackBar1->setTickInterval(1);
  BitBtn1 = new QPushButton("Ok", this);
  CancelButton = new QPushButton("Cancel", this);

  auto* form = new QFormLayout;
  form->addRow("Star guide", ComboBox1);
  form->addRow("Globe", ComboBox2);
  form->addRow("Magnifier", ComboBox3);
  form->addRow("Clock", ComboBox4);
  form->addRow("Chart mask", OvalMaskComboBox1);
  form->addRow("Aspect adjust", AspectTrackBar1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);

  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TScreenLayoutForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TScreenLayoutForm1::FormShow() {
  const TScreenLayoutChoice c = CurrentScreenLayoutChoice();
  OvalMaskComboBox1->setCurrentIndex(c.mask);
  ComboBox1->setCurrentIndex(c.guide);
  ComboBox2->setCurrentIndex(c.globe);
  ComboBox3->setCurrentIndex(c.magnifier);
  ComboBox4->setCurrentIndex(c.clock);
  AspectTrackBar1->setValue(c.aspect);
}

void TScreenLayoutForm1::BitBtn1Click() {
  TScreenLayoutChoice c;
  c.mask = OvalMaskComboBox1->currentIndex();
  c.guide = ComboBox1->currentIndex();
  c.globe = ComboBox2->currentIndex();
  c.magnifier = ComboBox3->currentIndex();
  c.clock = ComboBox4->currentIndex();
  c.aspect = AspectTrackBar1->value();
  ApplyScreenLayoutChoice(c);
  accept();
}

void TScreenLayoutForm1::RefreshScreen() { ::RefreshScreen(); }
