// The log window: a stay-on-top window with one read-only text holding the
// lines of the program's log (shell/log_lines.h). Closing it only hides
// it; lines are added whether it is shown or not.
#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;

// The characters of a log line the window shows without scrolling.
inline constexpr int kLogLineChars = 80;

class TLogForm : public QWidget {
  Q_OBJECT
 public:
  explicit TLogForm(QWidget* owner = nullptr);
  ~TLogForm() override;

  // Appends a line to the log unless it repeats the previous one. Callers
  // write their own source prefix ("[Ascom.Telescope] ...").
  void AddLine(const std::string& line);

  // Shows the window (centred on the screen the first time) and raises it.
  void ShowLog();

  QPlainTextEdit* Memo1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void AppendToMemo(const std::string& line);
  bool shownOnce_ = false;
};

// The program's log window (created last of the start-up windows).
extern TLogForm* LogForm;
