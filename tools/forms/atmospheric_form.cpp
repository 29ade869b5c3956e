#include "tools/forms/atmospheric_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "astro/observer.h"
#include "platform/dialogs.h"
#include "shell/messages.h"
#include "tools/atmospheric.h"

TAtmosphericForm1* AtmosphericForm1 = nullptr;

TAtmosphericForm1::TAtmosphericForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Atmospheric settings");
  TempEdit1 = new QLineEdit("30");
  TempLabel1 = new QLabel("°C = (86°F)");
  PressEdit1 = new QLineEdit("1000");
  EnableCheckBox1 = new QCheckBox("&Enable atmospheric refraction");
  SaveDefaultBitBtn1 = new QPushButton("&Save as default");
  BitBtn1 = new QPushButton("&OK"), BitBtn2 = new QPushButton("&Cancel");
  auto* t = new QGroupBox("Temperature");
  auto* th = new QHBoxLayout(t);
  th->addWidget(TempEdit1), th->addWidget(TempLabel1);
  auto* p = new QGroupBox("Pressure");
  auto* ph = new QHBoxLayout(p);
  ph->addWidget(PressEdit1), ph->addWidget(new QLabel("(millibars)"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveDefaultBitBtn1), buttons->addStretch(), buttons->addWidget(BitBtn1), buttons->addWidget(BitBtn2);
  auto* v = new QVBoxLayout(this);
  v->addWidget(t), v->addWidget(p), v->addWidget(EnableCheckBox1), v->addLayout(buttons);
  connect(TempEdit1, &QLineEdit::textChanged, this,
          [this](const QString& s) { TempLabel1->setText(QString::fromStdString(TemperatureLabel(s.toStdString()))); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  connect(SaveDefaultBitBtn1, &QPushButton::clicked, this, [this] { SaveDefaultBitBtn1Click(); });
}

void TAtmosphericForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TAtmosphericForm1::FormShow() {
  EnableCheckBox1->setChecked(RefractionInForce() != 0);
  TempEdit1->setText(QString::fromStdString(AtmosphereFieldText(ObserverTime.Temperature)));
  PressEdit1->setText(QString::fromStdString(AtmosphereFieldText(ObserverTime.Pressure)));
}

void TAtmosphericForm1::BitBtn1Click() {
  const std::string rejected = ApplyAtmosphericFields(ObserverTime, EnableCheckBox1->isChecked(),
                                                      TempEdit1->text().toStdString(), PressEdit1->text().toStdString());
  if (rejected.empty()) {
    accept();
    return;
  }
  platform::ShowMessageBox("Using previous value.", rejected, platform::MsgButtons::Ok, platform::MsgIcon::Information);
  FormShow();
}

void TAtmosphericForm1::SaveDefaultBitBtn1Click() {
  WriteRegAtmospheric(EnableCheckBox1->isChecked(), TempEdit1->text().toStdString(), PressEdit1->text().toStdString());
  ShowFlashMessage("Atmospheric defaults saved.", 2);
}

void ShowAtmosphericForm(QWidget* parent) {
  if (!AtmosphericForm1) AtmosphericForm1 = new TAtmosphericForm1(parent);
  AtmosphericForm1->show();
  AtmosphericForm1->raise();
}
