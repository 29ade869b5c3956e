#include "app/forms/log_form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <QVBoxLayout>

#include "platform/gui_thread.h"
#include "shell/globals.h"
#include "shell/log_lines.h"

TLogForm* LogForm = nullptr;

TLogForm::TLogForm(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Log"));
  Memo1 = new QPlainTextEdit(this);
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setMaximumBlockCount(int(kLogCapacity));
  // Wide enough for a line of the log ("[Ascom.Telescope] " and its event,
  // about 80 characters) with the vertical scroll bar, within the screen.
  int width = Memo1->fontMetrics().horizontalAdvance(QString(kLogLineChars, QLatin1Char('x'))) +
              2 * Memo1->frameWidth() + Memo1->verticalScrollBar()->sizeHint().width() + 8;
  if (QScreen* screen = QGuiApplication::primaryScreen())
    width = std::min(width, screen->availableGeometry().width() * 9 / 10);
  resize(width, 371);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);

  // Lines logged before the window existed are shown too.
  for (const std::string& line : LogLines().Lines()) AppendToMemo(line);
  QPointer<TLogForm> self(this);
  LogLines().SetListener([self](const std::string& line) {
    const auto append = [self, line] {
      if (self) self->AppendToMemo(line);
    };
    // Lines from worker threads reach the text in the order they were added.
    if (platform::IsGuiThread())
      append();
    else
      platform::PostToGuiThread(append);
  });
}

TLogForm::~TLogForm() {
  LogLines().SetListener({});
  if (LogForm == this) LogForm = nullptr;
  LogFormActive = false;
}

void TLogForm::AddLine(const std::string& line) { LogLines().AddLine(line); }

void TLogForm::AppendToMemo(const std::string& line) { Memo1->appendPlainText(QString::fromStdString(line)); }

void TLogForm::ShowLog() {
  if (!shownOnce_) {
    shownOnce_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - rect().center());
  }
  show();
  raise();
}

void TLogForm::closeEvent(QCloseEvent* event) {
  hide();
  event->ignore();
}

void TLogForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) LogFormActive = isActiveWindow();
  QWidget::changeEvent(event);
}
