#include "telescope/forms/sequencer_panel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TSequencerPanel::TSequencerPanel(TSequencer* sequencer, QWidget* parent) : QWidget(parent), seq_(sequencer) {
  auto* l = new QHBoxLayout(this);
  stopOnWarning_ = new QCheckBox("Stop on warning");
  start_ = new QPushButton("Start");
  pause_ = new QPushButton("Pause");
  stop_ = new QPushButton("Stop");
  status_ = new QLabel;
  for (QWidget* w : std::initializer_list<QWidget*>{stopOnWarning_, start_, pause_, stop_, status_}) l->addWidget(w);
  connect(stopOnWarning_, &QCheckBox::toggled, this, [this](bool on) { seq_->stopOnWarning = on; });
  connect(start_, &QPushButton::clicked, this, [this] { seq_->StartButtonClick(); });
  connect(pause_, &QPushButton::clicked, this, [this] { seq_->PauseButtonClick(); });
  connect(stop_, &QPushButton::clicked, this, [this] { seq_->StopButtonClick(); });
  connect(seq_, &TSequencer::changed, this, [this] { Refresh(); });
  timer2_.setInterval(1000);
  connect(&timer2_, &QTimer::timeout, this, [this] {
    if (isVisible()) Refresh();
  });
  timer2_.start();
  Refresh();
}

void TSequencerPanel::Refresh() {
  status_->setText(QString::fromStdString(seq_->StatusText()));
  stopOnWarning_->setChecked(seq_->stopOnWarning);
}
