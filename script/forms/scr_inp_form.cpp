#include "script/forms/scr_inp_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TScrInpForm1::TScrInpForm1(QWidget* owner) : QDialog(owner) {
  setWindowTitle("Noctra Planetarium");
  setModal(true);
  Label1 = new QLabel(this);
  Label1->setFixedWidth(297);
  Label1->setWordWrap(true);  // long prompts wrap instead of being cut
  Edit1 = new QLineEdit(this);
  Edit1->setFixedWidth(297);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(7, 7, 7, 7);
  layout->addWidget(Label1);
  layout->addWidget(Edit1);
  connect(Edit1, &QLineEdit::returnPressed, this, &QDialog::accept);
  resize(311, 49);
}

bool TScrInpForm1::Ask(const std::string& prompt, std::string& answer) {
  Label1->setText(QString::fromStdString(prompt));
  Edit1->selectAll();
  Edit1->setFocus();
  bool ok = exec() == QDialog::Accepted;
  if (ok) answer = Edit1->text().toStdString();
  return ok;
}
