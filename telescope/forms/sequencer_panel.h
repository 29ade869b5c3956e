// The sequencer's part of the points-of-interest window TPOIForm: "Stop on
// warning", Start, Pause, Stop and the status label ("Playing", "Paused",
// "Stopped", refreshed each second while shown). The window that holds the
// points embeds it and asks CanClose before closing.
#pragma once

#include <QTimer>
#include <QWidget>

#include "telescope/sequencer.h"

class QCheckBox;
class QLabel;
class QPushButton;

class TSequencerPanel : public QWidget {
 public:
  explicit TSequencerPanel(TSequencer* sequencer, QWidget* parent = nullptr);
  // The window refuses to close while the sequence runs and is not paused.
  bool CanClose() const { return seq_->CloseEnabled(); }

 private:
  void Refresh();
  TSequencer* seq_;
  QCheckBox* stopOnWarning_;
  QPushButton *start_, *pause_, *stop_;
  QLabel* status_;
  QTimer timer2_;
};
