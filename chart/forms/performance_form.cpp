#include "chart/forms/performance_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "chart/screen_layout.h"

TPerformanceForm1* PerformanceForm1 = nullptr;

TPerformanceForm1::TPerformanceForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Performance");
  VisibilityGraphSpan = 2;
  auto* line1 = new QLabel("The simulated twilight colours at sunrise and sunset", this);
  auto* line2 = new QLabel("may slow down the chart on older computers.", this);
  GraphicSunRiseSetCheckBox1 = new QCheckBox("Simulate twilight colours", this);
  BitBtn1 = new QPushButton("OK", this);
  auto* cancel = new QPushButton("Cancel", this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(line1);
  layout->addWidget(line2);
  layout->addWidget(GraphicSunRiseSetCheckBox1);
  layout->addLayout(buttons);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TPerformanceForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TPerformanceForm1::FormShow() { GraphicSunRiseSetCheckBox1->setChecked(GraphicSunRiseSet); }

void TPerformanceForm1::BitBtn1Click() {
  WriteRegPerformance(GraphicSunRiseSetCheckBox1->isChecked());
  accept();
}
