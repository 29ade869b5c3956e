#include "tools/forms/horizon_form.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/dialogs.h"
#include "tools/horizon.h"

THorizonForm1* HorizonForm1 = nullptr;

namespace {
constexpr int kPictureWidth = 720, kPictureHeight = 180;
}

THorizonForm1::THorizonForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Define Horizon for This Location");
  PaintBox1 = new QLabel(this);
  PaintBox1->setFixedSize(kPictureWidth, kPictureHeight);
  PaintBox1->setStyleSheet("border: 3px solid black");
  PaintBox1->setScaledContents(true);
  Button1 = new QPushButton("Paste Image from Clipboard", this);
  Button2 = new QPushButton("Load Image from File", this);
  BitBtn1 = new QPushButton("OK", this);
  BitBtn2 = new QPushButton("Cancel", this);

  auto* grid = new QGridLayout;
  auto* altitudes = new QVBoxLayout;
  for (int a = 90; a >= 0; a -= 10) {
    altitudes->addWidget(new QLabel(QString::number(a) + "°-", this), 0, Qt::AlignRight);
    if (a > 0) altitudes->addStretch();
  }
  auto* azimuths = new QHBoxLayout;
  const char* const kAz[5] = {"0° North", "90° East", "180° South", "270° West", "360° North"};
  for (int i = 0; i < 5; ++i) {
    azimuths->addWidget(new QLabel(kAz[i], this));
    if (i < 4) azimuths->addStretch();
  }
  grid->addLayout(altitudes, 0, 0);
  grid->addWidget(PaintBox1, 0, 1);
  grid->addLayout(azimuths, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void THorizonForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void THorizonForm1::FormShow() {
  PaintBox1->setPixmap(QPixmap::fromImage(ProfileToPicture(HorizonEditArray, kPictureWidth, kPictureHeight)));
}

void THorizonForm1::TakePicture(const QImage& picture) {
  if (picture.isNull()) return;
  PaintBox1->setPixmap(QPixmap::fromImage(picture));
  PictureToProfile(picture, HorizonEditArray);
}

void THorizonForm1::Button1Click() { TakePicture(QApplication::clipboard()->image()); }

void THorizonForm1::Button2Click() {
  platform::FileDialogOptions o;
  o.filter = "*.bmp|*.BMP|*.gif|*.GIF|*.jpg|*.JPG|*.jpeg|*.JPEG|*.tif|*.TIF";
  const platform::FileDialogResult r = platform::Dialogs().FileDialog(o);
  if (!r.accepted) return;
  std::string why;
  const QImage picture = LoadHorizonPicture(r.fileName, &why);
  if (picture.isNull())
    platform::ShowMessageBox("Could not read the picture " + r.fileName + (why.empty() ? "." : ": " + why + "."),
                             "Noctra Planetarium", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
  TakePicture(picture);
}
