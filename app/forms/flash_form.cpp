#include "app/forms/flash_form.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include "platform/gui_thread.h"
#include "shell/flash_rules.h"
#include "shell/globals.h"
#include "shell/messages.h"

TFlashMessageForm1* FlashMessageForm1 = nullptr;

TFlashMessageForm1::TFlashMessageForm1(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setFixedSize(361, 42);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Active, QPalette::Highlight));
  setPalette(pal);

  Label1 = new QLabel(this);
  Label1->setGeometry(4, 4, 353, 18);
  Label1->setAlignment(Qt::AlignCenter);
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  QPalette labelPal = Label1->palette();
  labelPal.setColor(QPalette::WindowText, pal.color(QPalette::Button));
  Label1->setPalette(labelPal);

  Gauge1 = new QProgressBar(this);
  Gauge1->setGeometry(28, 25, 305, 13);
  Gauge1->setRange(0, 100);
  Gauge1->setTextVisible(false);
  Gauge1->setStyleSheet(QStringLiteral(
      "QProgressBar { background: teal; border: none; } QProgressBar::chunk { background: silver; }"));
  Gauge1->hide();

  FlashSink sink;
  sink.message = [this](const std::string& text, int seconds) { ShowMessage(text, seconds); };
  sink.progress = [this](const std::string& text, int value) { ShowProgress(text, value); };
  SetFlashSink(std::move(sink));
}

TFlashMessageForm1::~TFlashMessageForm1() {
  SetFlashSink({});
  if (FlashMessageForm1 == this) FlashMessageForm1 = nullptr;
  FlashProgressOpen = false;
}

void TFlashMessageForm1::ShowCentred(bool modal) {
  // Modality can only change while the window is hidden.
  const Qt::WindowModality wanted = modal ? Qt::ApplicationModal : Qt::NonModal;
  if (windowModality() != wanted) {
    hide();
    setWindowModality(wanted);
  }
  if (!isVisible()) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - rect().center());
    show();
  }
  raise();
}

void TFlashMessageForm1::ShowMessage(const std::string& text, int seconds) {
  if (!platform::IsGuiThread()) {
    platform::RunOnGuiThread([&] { ShowMessage(text, seconds); });
    return;
  }
  const QString previousText = Label1->text();
  Gauge1->hide();
  Label1->setText(QString::fromStdString(text));
  ++modalDepth_;
  ShowCentred(true);

  // Wait, handling events, until this message's time is up (or the
  // program ends). A message shown from inside the wait runs its own time
  // and then hands the window back.
  QEventLoop wait;
  QTimer timer;
  timer.setSingleShot(true);
  connect(&timer, &QTimer::timeout, &wait, &QEventLoop::quit);
  timer.start(FlashIntervalMs(seconds));
  platform::RunWaitLoop(wait);

  if (--modalDepth_ > 0) {
    Label1->setText(previousText);
    return;
  }
  hide();
  if (FlashProgressOpen) {
    Label1->setText(progressText_);
    Gauge1->show();
    ShowCentred(false);
  }
}

void TFlashMessageForm1::ShowProgress(const std::string& text, int value) {
  if (!platform::IsGuiThread()) {
    platform::RunOnGuiThread([&] { ShowProgress(text, value); });
    return;
  }
  switch (FlashProgressAction(FlashProgressOpen, value)) {
    case TFlashProgressAction::None: return;
    case TFlashProgressAction::Open:
      FlashProgressOpen = true;
      progressText_ = QString::fromStdString(text);
      Gauge1->setValue(0);
      // During a flash message the display appears when the message ends.
      if (modalDepth_ == 0) {
        Label1->setText(progressText_);
        Gauge1->show();
        ShowCentred(false);
      }
      return;
    case TFlashProgressAction::SetGauge: Gauge1->setValue(value); return;
    case TFlashProgressAction::Close:
      FlashProgressOpen = false;
      if (modalDepth_ == 0) {
        hide();
        Gauge1->hide();
      }
      return;
  }
}

// Escape does not close the window: its time or the value 101 does.
void TFlashMessageForm1::reject() {}
