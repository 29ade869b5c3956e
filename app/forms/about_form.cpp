#include "app/forms/about_form.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TAboutNoctraForm1* AboutNoctraForm1 = nullptr;

TAboutNoctraForm1::TAboutNoctraForm1(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("About Noctra Planetarium"));
  auto* layout = new QVBoxLayout(this);
  for (QLabel** l : {&Version, &Notice, &Description, &WebCaption, &Label9a, &Label11}) {
    *l = new QLabel(this);
    (*l)->setAlignment(Qt::AlignCenter);
    layout->addWidget(*l);
  }
  QFont big = Version->font();
  big.setPointSize(big.pointSize() + 4);
  big.setBold(true);
  Version->setFont(big);
  // Links open in the system's browser and mail program.
  for (QLabel* l : {Label9a, Label11}) {
    l->setTextInteractionFlags(Qt::TextBrowserInteraction);
    l->setOpenExternalLinks(false);
    connect(l, &QLabel::linkActivated, this, [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
  }
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignCenter);
  FormShow();
}

void TAboutNoctraForm1::FormShow() {
  Version->setText(QString::fromUtf8(kAboutVersion));
  Notice->setText(QString::fromUtf8(kMakerNotice));
  Description->setText(QStringLiteral("A planetarium and observatory-control program for amateur astronomers."));
  WebCaption->setText(QStringLiteral("On the web at:"));
  Label9a->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromUtf8(kMakerWeb)));
  Label11->setText(QStringLiteral("email: <a href=\"mailto:%1\">%1</a>").arg(QString::fromUtf8(kMakerMail)));
}

void TAboutNoctraForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}
