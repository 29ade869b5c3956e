#include "imaging/forms/camera_settings_forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "astro/text.h"
#include "imaging/camera_setup.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/value_range.h"

namespace imaging {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLineEdit* NumberEdit(double v, bool readOnly = false) {
  auto* e = new QLineEdit(Q(platform::FormatGeneral(v)));
  e->setReadOnly(readOnly);
  return e;
}

// The edit's number when it lies within [lo, hi]; `old` otherwise.
double ReadNumber(const QLineEdit* e, double old, double lo, double hi) {
  double v = old;
  return platform::ParseDouble(e->text().toStdString(), v) && platform::InRange(v, lo, hi) ? v : old;
}

QWidget* g_owner = nullptr;

// A check box showing a Boolean setting and storing each change at once.
QCheckBox* BoolBox(QDialog* owner, const char* text, bool& field) {
  auto* b = new QCheckBox(text);
  b->setChecked(field);
  QObject::connect(b, &QCheckBox::toggled, owner, [&field](bool on) { field = on; });
  return b;
}

// The sensor size and pixel size rows every camera window shows.
void AddSizeRows(QFormLayout* form, QLineEdit* px, QLineEdit* py, QLineEdit* w, QLineEdit* h) {
  form->addRow("Pixels X", px);
  form->addRow("Pixels Y", py);
  form->addRow("Pixel width (µm)", w);
  form->addRow("Pixel height (µm)", h);
}

void AddCloseButton(QDialog* owner, QVBoxLayout* box) {
  auto* close = new QPushButton("Close");
  box->addWidget(close, 0, Qt::AlignRight);
  QObject::connect(close, &QPushButton::clicked, owner, &QDialog::accept);
}

}  // namespace

std::string ByteDigits(uint8_t value) {
  std::string s;
  for (int bit = 7; bit >= 0; --bit) s += (value >> bit) & 1 ? '1' : '0';
  return s;
}

// --- Image file ---------------------------------------------------------------------

TIFFCameraSettingsForm1::TIFFCameraSettingsForm1(TIFFCamera& camera, QWidget* parent)
    : QDialog(parent), camera_(camera) {
  setWindowTitle("Image File, Camera Settings");
  const ImagingSettings& s = camera.Settings;
  PixelsX = NumberEdit(s.PixelsX, true);
  PixelsY = NumberEdit(s.PixelsY, true);
  PxWidth = NumberEdit(s.PixelSizeX);
  PxHeight = NumberEdit(s.PixelSizeY);
  Invert = BoolBox(this, "Invert Image", camera.Settings.Invert);
  Mirror = BoolBox(this, "Mirror Image", camera.Settings.Mirror);
  AutoLoad = BoolBox(this, "Automatically load newest image file from path below", camera.Settings.ModifiedCamera);
  MonoCamera = BoolBox(this, "Force Monochrome", camera.Settings.ForceMono);
  Path = new QLineEdit(Q(s.Name));
  OpenPathDialog = new QPushButton("Path");

  auto* form = new QFormLayout;
  AddSizeRows(form, PixelsX, PixelsY, PxWidth, PxHeight);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(OpenPathDialog);
  pathRow->addWidget(Path, 1);
  auto* box = new QVBoxLayout(this);
  box->addLayout(form);
  box->addWidget(Invert);
  box->addWidget(Mirror);
  box->addWidget(MonoCamera);
  box->addWidget(AutoLoad);
  box->addLayout(pathRow);
  AddCloseButton(this, box);

  connect(OpenPathDialog, &QPushButton::clicked, this, &TIFFCameraSettingsForm1::OpenPathDialogClick);
}

void TIFFCameraSettingsForm1::OpenPathDialogClick() {
  platform::FileDialogOptions o;
  o.title = "Path";
  o.filter = "Image|*.jpg;*.jpeg;*.bmp|Fits Image|*.fts;*.fit;*.fits";
  o.fileName = Path->text().toStdString();
  const platform::FileDialogResult r = platform::Dialogs().FileDialog(o);
  if (!r.accepted) return;
  Path->setText(Q(r.fileName));
  camera_.Settings.Name = r.fileName;
}

void TIFFCameraSettingsForm1::done(int r) {
  camera_.Settings.PixelSizeX = ReadNumber(PxWidth, camera_.Settings.PixelSizeX, kMinPixelSize, kMaxPixelSize);
  camera_.Settings.PixelSizeY = ReadNumber(PxHeight, camera_.Settings.PixelSizeY, kMinPixelSize, kMaxPixelSize);
  QDialog::done(r);
}

// --- Video ----------------------------------------------------------------------------

TVfwCameraSettingsForm1::TVfwCameraSettingsForm1(TVFWCamera& camera, QWidget* parent)
    : QDialog(parent), camera_(camera) {
  setWindowTitle("VFW, Camera Settings");
  ImagingSettings& s = camera.Settings;
  s.ExInterval = 1000;
  CameraName = new QLabel(Q("VFW Camera #" + std::to_string(camera.DeviceIndex + 1)));
  ExStart = new QSpinBox;
  ExWindow = new QSpinBox;
  for (QSpinBox* b : {ExStart, ExWindow}) {
    b->setRange(1, 3999);
    b->setSingleStep(10);
    b->setSuffix(" ms");
  }
  ExStart->setValue(s.ExStart);
  ExWindow->setValue(s.ExWindow);
  DirectMode = BoolBox(this, "Drive DTR and RTS", s.DtrRtsMode);
  SCCheckBox1 = BoolBox(this, "SC LX Modified Camera", s.ModifiedCamera);
  MonoCamera = BoolBox(this, "Force Monochrome", s.ForceMono);
  Invert = BoolBox(this, "Invert Image", s.Invert);
  Mirror = BoolBox(this, "Mirror Image", s.Mirror);
  PixelsX = NumberEdit(s.PixelsX, true);
  PixelsY = NumberEdit(s.PixelsY, true);
  PxWidth = NumberEdit(s.PixelSizeX);
  PxHeight = NumberEdit(s.PixelSizeY);
  LxPortComboBox1 = new QComboBox;
  for (const auto& p : kPortList) LxPortComboBox1->addItem(p.text);
  LxPortComboBox1->setCurrentIndex(s.PortIndex < 7 ? s.PortIndex : 0);
  FormatButton1 = new QPushButton("Video Format...");
  SourceButton1 = new QPushButton("Video Source...");
  CaptureStatus = new QLabel;

  // The three rows of bit digits, highest bit first.
  auto* bits = new QGridLayout;
  const char* rowNames[3] = {"Mask", "On", "Off"};
  uint8_t* fields[3] = {&s.AccMask, &s.AccOnVal, &s.AccOffVal};
  QPushButton** rows[3] = {AMask, AOn, AOff};
  for (int r = 0; r < 3; ++r) {
    bits->addWidget(new QLabel(rowNames[r]), r, 0);
    const std::string digits = ByteDigits(*fields[r]);
    for (int i = 0; i < 8; ++i) {
      auto* b = new QPushButton(QString(QChar(digits[std::size_t(i)])));
      b->setFixedWidth(24);
      rows[r][i] = b;
      bits->addWidget(b, r, i + 1);
      connect(b, &QPushButton::clicked, this, [b, r, rows, fields] {
        b->setText(b->text() == "1" ? "0" : "1");
        std::string text;
        for (int k = 0; k < 8; ++k) text += rows[r][k]->text().toStdString();
        *fields[r] = uint8_t(BinStrToInt(text));
      });
    }
  }

  auto* form = new QFormLayout;
  form->addRow("Camera", CameraName);
  AddSizeRows(form, PixelsX, PixelsY, PxWidth, PxHeight);
  auto* lx = new QFormLayout;
  lx->addRow("Port", LxPortComboBox1);
  lx->addRow("Readout start", ExStart);
  lx->addRow("Readout window", ExWindow);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(FormatButton1);
  buttons->addWidget(SourceButton1);
  auto* box = new QVBoxLayout(this);
  box->addLayout(form);
  box->addWidget(MonoCamera);
  box->addWidget(Invert);
  box->addWidget(Mirror);
  box->addLayout(buttons);
  box->addWidget(SCCheckBox1);
  box->addWidget(DirectMode);
  box->addLayout(lx);
  box->addLayout(bits);
  box->addWidget(CaptureStatus);
  AddCloseButton(this, box);

  connect(ExStart, &QSpinBox::valueChanged, this, [this](int v) { camera_.Settings.ExStart = v; });
  connect(ExWindow, &QSpinBox::valueChanged, this, [this](int v) { camera_.Settings.ExWindow = v; });
  connect(SCCheckBox1, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  connect(LxPortComboBox1, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i < 0 || i >= 7) return;
    camera_.Settings.PortIndex = uint8_t(i);
    camera_.Settings.LxPort = kPortList[i].address;
  });
  connect(FormatButton1, &QPushButton::clicked, this, [this] { ModeButtonClick(false); });
  connect(SourceButton1, &QPushButton::clicked, this, [this] { ModeButtonClick(true); });
  connect(&statusTimer_, &QTimer::timeout, this, [this] { CaptureStatus->setText(Q(camera_.CaptureStatus())); });
  statusTimer_.start(250);
  UpdateEnabling();
}

void TVfwCameraSettingsForm1::UpdateEnabling() {
  const bool lx = SCCheckBox1->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{DirectMode, ExStart, ExWindow, LxPortComboBox1})
    w->setEnabled(lx);
  for (int i = 0; i < 8; ++i)
    for (QPushButton* b : {AMask[i], AOn[i], AOff[i]}) b->setEnabled(lx);
  FormatButton1->setEnabled(!camera_.Connected());
  SourceButton1->setEnabled(!camera_.Connected());
}

// The device's own formats, frame sizes and inputs are offered in a window
// of ours (Video4Linux2 drivers have no dialogs); the choice is kept in the
// camera's settings, and connecting once reads the frame size back.
void TVfwCameraSettingsForm1::ModeButtonClick(bool source) {
  if (camera_.Connected()) return;
  const char* caption = "VFW, Camera Settings";
  TVideoOffer offer;
  std::string text;
  if (!camera_.QueryDevice(offer, text)) {
    platform::ShowMessageBox(text, caption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  if (source ? offer.inputs.empty() : offer.formats.empty()) {
    platform::ShowMessageBox(source ? "The device has no inputs to choose from."
                                    : "The device offers no video format this program reads.",
                             caption, platform::MsgButtons::Ok, platform::MsgIcon::Information);
    return;
  }
  TVideoModeForm mode(offer, camera_.Choice(), source, this);
  if (mode.exec() != QDialog::Accepted) return;
  camera_.SetChoice(mode.Choice());
  try {
    camera_.SetConnected(true);
    camera_.SetConnected(false);
    text = camera_.Settings.Name + ": " + std::to_string(camera_.Settings.PixelsX) + " x " +
           std::to_string(camera_.Settings.PixelsY);
  } catch (const ECameraError& e) {
    text = e.what();
  }
  PixelsX->setText(QString::number(camera_.Settings.PixelsX));
  PixelsY->setText(QString::number(camera_.Settings.PixelsY));
  platform::ShowMessageBox(text, caption, platform::MsgButtons::Ok, platform::MsgIcon::Information);
}

TVideoModeForm::TVideoModeForm(const TVideoOffer& offer, const TVideoChoice& choice, bool source, QWidget* parent)
    : QDialog(parent), offer_(offer), choice_(choice), source_(source) {
  setWindowTitle(source ? "Video Source" : "Video Format");
  Format = new QComboBox;
  FrameSize = new QComboBox;
  Input = new QComboBox;
  for (const TVideoFormatOffer& f : offer_.formats)
    Format->addItem(Q(FourCCText(f.fourcc) + "  " + f.name), f.fourcc);
  const int format = std::max(0, Format->findData(choice.fourcc ? choice.fourcc : kFourccYUYV));
  Format->setCurrentIndex(format);
  FillSizes();
  for (const std::string& name : offer_.inputs) Input->addItem(Q(name));
  Input->setCurrentIndex(std::clamp(choice.input >= 0 ? choice.input : offer_.input, 0, Input->count() - 1));
  auto* form = new QFormLayout;
  if (source) {
    form->addRow("Input", Input);
  } else {
    form->addRow("Pixel format", Format);
    form->addRow("Frame size", FrameSize);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  auto* box = new QVBoxLayout(this);
  box->addLayout(form);
  box->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(Format, &QComboBox::currentIndexChanged, this, [this] { FillSizes(); });
}

// The frame sizes of the chosen format, the kept size chosen where offered.
void TVideoModeForm::FillSizes() {
  FrameSize->clear();
  const int f = Format->currentIndex();
  if (f < 0 || f >= int(offer_.formats.size())) return;
  for (const auto& [w, h] : offer_.formats[std::size_t(f)].sizes) {
    FrameSize->addItem(QString("%1 x %2").arg(w).arg(h), QSize(w, h));
    if (w == choice_.width && h == choice_.height) FrameSize->setCurrentIndex(FrameSize->count() - 1);
  }
}

TVideoChoice TVideoModeForm::Choice() const {
  TVideoChoice c = choice_;
  if (source_) {
    if (Input->currentIndex() >= 0) c.input = Input->currentIndex();
  } else if (FrameSize->currentIndex() >= 0) {
    c.fourcc = Format->currentData().toUInt();
    const QSize size = FrameSize->currentData().toSize();
    c.width = size.width();
    c.height = size.height();
  }
  return c;
}

// --- DSI ------------------------------------------------------------------------------

TDsiCameraSettingsForm1::TDsiCameraSettingsForm1(TDsiCamera& camera, QWidget* parent)
    : QDialog(parent), camera_(camera) {
  setWindowTitle("DSI, Camera Settings");
  ImagingSettings& s = camera.Settings;
  CameraName = new QLabel(Q(s.Name));
  PixelsX = NumberEdit(s.PixelsX, true);
  PixelsY = NumberEdit(s.PixelsY, true);
  PxWidth = NumberEdit(s.PixelSizeX, true);
  PxHeight = NumberEdit(s.PixelSizeY, true);
  OfsX = new QComboBox;
  OfsX->addItems({"0", "1"});
  OfsY = new QComboBox;
  OfsY->addItems({"0", "1", "2", "3"});
  OfsX->setCurrentIndex(std::clamp(s.MosaicXOfs, 0, 1));
  OfsY->setCurrentIndex(std::clamp(s.MosaicYOfs, 0, 3));
  Mirror = BoolBox(this, "Mirror Image", s.Mirror);
  Invert = BoolBox(this, "Invert Image", s.Invert);
  MonoCamera = BoolBox(this, "Force Monochrome", s.ForceMono);
  TarvelCamera = new QCheckBox("Cooled camera (cooler on the filter-wheel port)");
  TarvelCamera->setChecked(s.ModifiedCamera);
  Gain = new QScrollBar(Qt::Horizontal);
  Offset = new QScrollBar(Qt::Horizontal);
  Gain->setRange(0, 100);
  Offset->setRange(0, 100);
  GainLabel = new QLabel;
  OffsetLabel = new QLabel;
  SetPointTemp = new QDoubleSpinBox;
  SetPointTemp->setRange(-99.9, 30.0);
  SetPointTemp->setDecimals(1);
  SetPointTemp->setValue(s.CCDSetTemp);
  pendingSetPoint_ = s.CCDSetTemp;
  Temperature = new QLabel("Temperature: Unknown");
  Power = new QLabel("Power: Unknown");

  auto* form = new QFormLayout;
  form->addRow("Camera", CameraName);
  AddSizeRows(form, PixelsX, PixelsY, PxWidth, PxHeight);
  form->addRow("Mosaic column offset", OfsX);
  form->addRow("Mosaic row offset", OfsY);
  form->addRow(GainLabel, Gain);
  form->addRow(OffsetLabel, Offset);
  auto* box = new QVBoxLayout(this);
  box->addLayout(form);
  box->addWidget(Mirror);
  box->addWidget(Invert);
  box->addWidget(MonoCamera);
  box->addWidget(TarvelCamera);
  auto* cooler = new QFormLayout;
  cooler->addRow("Set point (°C)", SetPointTemp);
  cooler->addRow(Temperature);
  cooler->addRow(Power);
  box->addLayout(cooler);
  AddCloseButton(this, box);

  auto gainChange = [this](int p) {
    GainLabel->setText(QString("Gain %1%:").arg(p));
    camera_.Settings.Gain = p / 100.0;
  };
  auto offsetChange = [this](int p) {
    OffsetLabel->setText(QString("Offset %1:").arg(p));
    camera_.Settings.Offset = p / 100.0;
  };
  connect(Gain, &QScrollBar::valueChanged, this, gainChange);
  connect(Offset, &QScrollBar::valueChanged, this, offsetChange);
  // Positions from the settings, kept in the bar's range.
  Gain->setValue(int(std::lround(std::clamp(s.Gain, 0.0, 1.0) * 100)));
  Offset->setValue(int(std::lround(std::clamp(s.Offset, 0.0, 1.0) * 100)));
  gainChange(Gain->value());
  offsetChange(Offset->value());
  connect(OfsX, &QComboBox::currentIndexChanged, this, [this](int i) { camera_.Settings.MosaicXOfs = i; });
  connect(OfsY, &QComboBox::currentIndexChanged, this, [this](int i) { camera_.Settings.MosaicYOfs = i; });
  auto coolerEnable = [this](bool on) {
    camera_.Settings.ModifiedCamera = on;
    camera_.CanSetCCDTemperature = camera_.CanGetCCDTemperature = camera_.CanGetCoolerPower = on;
    SetPointTemp->setEnabled(on);
    if (!on) {
      Temperature->setText("Temperature: Unknown");
      Power->setText("Power: Unknown");
    }
  };
  connect(TarvelCamera, &QCheckBox::toggled, this, coolerEnable);
  coolerEnable(s.ModifiedCamera);
  connect(SetPointTemp, &QDoubleSpinBox::valueChanged, this, [this](double v) { pendingSetPoint_ = v; });
  connect(&Timer1, &QTimer::timeout, this, &TDsiCameraSettingsForm1::Timer1Timer);
  Timer1.start(1000);
}

void TDsiCameraSettingsForm1::Timer1Timer() {
  if (!TarvelCamera->isChecked()) return;
  // The camera answers from its stored value while it is exposing.
  ShowTemperature(Temperature, camera_.GetCCDTemperature(), lastShown_);
  camera_.SetCCDTemperature(pendingSetPoint_);
  if (camera_.CoolerPowerText != lastPower_) {
    lastPower_ = camera_.CoolerPowerText;
    Power->setText(Q("Power: " + lastPower_));
  }
}

// --- Installation -------------------------------------------------------------------

void ShowTemperature(QLabel* readout, double t, double& last) {
  if (t == last) return;
  last = t;
  readout->setText(t == -999.0 ? QString("Temperature: Unavailable")
                               : QString("Temperature: ") + Q(platform::FormatFixed(t, 0, 1)));
}

void InstallCameraSettingsWindows(QWidget* owner) {
  g_owner = owner;
  TIFFCamera::SettingsWindow = ModalSettingsWindow<TIFFCameraSettingsForm1, TIFFCamera>(g_owner);
  TVFWCamera::SettingsWindow = ModalSettingsWindow<TVfwCameraSettingsForm1, TVFWCamera>(g_owner);
  TDsiCamera::SettingsWindow = ModalSettingsWindow<TDsiCameraSettingsForm1, TDsiCamera>(g_owner);
}

void FillSourceSettingsMenu(QMenu* menu) {
  menu->clear();
  for (const auto& item : Cameras().SourceSettings) {
    TCamera* cam = item.Camera;
    menu->addAction(Q(item.Caption), [cam] { cam->ShowSettings(); });
  }
}

}  // namespace imaging
