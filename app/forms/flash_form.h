// The flash window: a borderless strip in the middle of the screen that shows
// a short text for some seconds (modal: the call returns when the time is up,
// and the program's other windows ignore input meanwhile while their timers
// keep running), or a progress display with a gauge that stays until it is
// closed with the value 101. Creating the window makes it the target of
// ShowFlashMessage and ShowFlashProgress (shell/messages.h).
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QProgressBar;

class TFlashMessageForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TFlashMessageForm1(QWidget* owner = nullptr);
  ~TFlashMessageForm1() override;

  // Shows `text` for `seconds` seconds and returns then. A progress display
  // that is open meanwhile comes back afterwards. Callable from any thread
  // (the caller waits).
  void ShowMessage(const std::string& text, int seconds);
  // -1 opens a progress display with `text`, 0..100 moves its gauge, 101
  // closes it; other combinations do nothing. The display never closes by
  // itself.
  void ShowProgress(const std::string& text, int value);

  // True while ShowMessage waits.
  bool MessageShowing() const { return modalDepth_ > 0; }

  QLabel* Label1 = nullptr;
  QProgressBar* Gauge1 = nullptr;

 protected:
  void reject() override;

 private:
  void ShowCentred(bool modal);
  int modalDepth_ = 0;
  QString progressText_;
};

extern TFlashMessageForm1* FlashMessageForm1;
