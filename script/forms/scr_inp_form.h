// The script's INPUT dialog: a prompt and an edit field whose text is kept
// between uses. Enter confirms; Escape cancels, which stops the script.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;

class TScrInpForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TScrInpForm1(QWidget* owner = nullptr);
  // Shows the dialog modally with `prompt`; true and the answer on OK.
  bool Ask(const std::string& prompt, std::string& answer);

  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
};
