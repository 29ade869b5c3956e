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
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "astro/text.h"
#include "imaging/camera_setup.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/value_range.h"

namespace imaging {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLineEdit* NumberEdit(bool readOnly = false) {
  auto* e = new QLineEdit;
  e->setReadOnly(readOnly);
  return e;
}

// The edit's number when it lies within [lo, hi]; `old` otherwise.
double ReadNumber(const QLineEdit* e, double old, double lo, double hi) {
  double v = old;
  return platform::ParseDouble(e->text().toStdString(), v) && platform::InRange(v, lo, hi) ? v : old;
}

// A check box storing each change in the shown camera's setting `field`.
template <class Camera>
QCheckBox* BoolBox(TCameraSettingsWindow<Camera>* owner, const char* text, bool ImagingSettings::*field) {
  auto* b = new QCheckBox(text);
  QObject::connect(b, &QCheckBox::toggled, owner, [owner, field](bool on) {
    if (Camera* c = owner->ShownCamera()) c->Settings.*field = on;
  });
  return b;
}

// Holds the signals of a window's controls while they are filled from a
// camera, so that filling them stores nothing back.
class TFilling {
 public:
  explicit TFilling(QWidget& window) {
    for (QWidget* w : window.findChildren<QWidget*>()) held_.emplace_back(w);
  }

 private:
  std::vector<QSignalBlocker> held_;
};

void ShowNumber(QLineEdit* e, double v) { e->setText(Q(platform::FormatGeneral(v))); }

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

TIFFCameraSettingsForm1::TIFFCameraSettingsForm1(QWidget* parent) : TCameraSettingsWindow(parent) {
  setWindowTitle("Image File, Camera Settings");
  PixelsX = NumberEdit(true);
  PixelsY = NumberEdit(true);
  PxWidth = NumberEdit();
  PxHeight = NumberEdit();
  Invert = BoolBox(this, "Invert Image", &ImagingSettings::Invert);
  Mirror = BoolBox(this, "Mirror Image", &ImagingSettings::Mirror);
  AutoLoad = BoolBox(this, "Automatically load newest image file from path below", &ImagingSettings::ModifiedCamera);
  MonoCamera = BoolBox(this, "Force Monochrome", &ImagingSettings::ForceMono);
  Path = new QLineEdit;
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

void TIFFCameraSettingsForm1::Fill(TIFFCamera& camera) {
  const ImagingSettings& s = camera.Settings;
  TFilling filling(*this);
  ShowNumber(PixelsX, s.PixelsX);
  ShowNumber(PixelsY, s.PixelsY);
  ShowNumber(PxWidth, s.PixelSizeX);
  ShowNumber(PxHeight, s.PixelSizeY);
  Invert->setChecked(s.Invert);
  Mirror->setChecked(s.Mirror);
  AutoLoad->setChecked(s.ModifiedCamera);
  MonoCamera->setChecked(s.ForceMono);
  Path->setText(Q(s.Name));
}

void TIFFCameraSettingsForm1::OpenPathDialogClick() {
  if (!camera_) return;
  platform::FileDialogOptions o;
  o.title = "Path";
  o.filter = "Image|*.jpg;*.jpeg;*.bmp|Fits Image|*.fts;*.fit;*.fits";
  o.fileName = Path->text().toStdString();
  const platform::FileDialogResult r = platform::Dialogs().FileDialog(o);
  // The camera may have gone while the dialog was open.
  if (!r.accepted || !camera_) return;
  Path->setText(Q(r.fileName));
  camera_->Settings.Name = r.fileName;
}

void TIFFCameraSettingsForm1::done(int r) {
  if (camera_) {
    ImagingSettings& s = camera_->Settings;
    s.PixelSizeX = ReadNumber(PxWidth, s.PixelSizeX, kMinPixelSize, kMaxPixelSize);
    s.PixelSizeY = ReadNumber(PxHeight, s.PixelSizeY, kMinPixelSize, kMaxPixelSize);
  }
  QDialog::done(r);
}

// --- Video ----------------------------------------------------------------------------

namespace {

// The three rows of digit boxes and the bytes they show.
constexpr const char* kBitRowNames[3] = {"Mask", "On", "Off"};
constexpr uint8_t ImagingSettings::*kBitRowFields[3] = {&ImagingSettings::AccMask, &ImagingSettings::AccOnVal,
                                                        &ImagingSettings::AccOffVal};

}  // namespace

TVfwCameraSettingsForm1::TVfwCameraSettingsForm1(QWidget* parent) : TCameraSettingsWindow(parent) {
  setWindowTitle("VFW, Camera Settings");
  CameraName = new QLabel;
  ExStart = new QSpinBox;
  ExWindow = new QSpinBox;
  for (QSpinBox* b : {ExStart, ExWindow}) {
    b->setRange(1, 3999);
    b->setSingleStep(10);
    b->setSuffix(" ms");
  }
  DirectMode = BoolBox(this, "Drive DTR and RTS", &ImagingSettings::DtrRtsMode);
  SCCheckBox1 = BoolBox(this, "SC LX Modified Camera", &ImagingSettings::ModifiedCamera);
  MonoCamera = BoolBox(this, "Force Monochrome", &ImagingSettings::ForceMono);
  Invert = BoolBox(this, "Invert Image", &ImagingSettings::Invert);
  Mirror = BoolBox(this, "Mirror Image", &ImagingSettings::Mirror);
  PixelsX = NumberEdit(true);
  PixelsY = NumberEdit(true);
  PxWidth = NumberEdit();
  PxHeight = NumberEdit();
  LxPortComboBox1 = new QComboBox;
  for (const auto& p : kPortList) LxPortComboBox1->addItem(p.text);
  FormatButton1 = new QPushButton("Video Format...");
  SourceButton1 = new QPushButton("Video Source...");
  CaptureStatus = new QLabel;

  // The three rows of bit digits, highest bit first.
  auto* bits = new QGridLayout;
  QPushButton** rows[3] = {AMask, AOn, AOff};
  for (int r = 0; r < 3; ++r) {
    bits->addWidget(new QLabel(kBitRowNames[r]), r, 0);
    for (int i = 0; i < 8; ++i) {
      auto* b = new QPushButton("0");
      b->setFixedWidth(24);
      rows[r][i] = b;
      bits->addWidget(b, r, i + 1);
      connect(b, &QPushButton::clicked, this, [this, b, r, rows] {
        if (!camera_) return;
        b->setText(b->text() == "1" ? "0" : "1");
        std::string text;
        for (int k = 0; k < 8; ++k) text += rows[r][k]->text().toStdString();
        camera_->Settings.*kBitRowFields[r] = uint8_t(BinStrToInt(text));
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

  connect(ExStart, &QSpinBox::valueChanged, this, [this](int v) {
    if (camera_) camera_->Settings.ExStart = v;
  });
  connect(ExWindow, &QSpinBox::valueChanged, this, [this](int v) {
    if (camera_) camera_->Settings.ExWindow = v;
  });
  connect(SCCheckBox1, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  connect(LxPortComboBox1, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!camera_ || i < 0 || i >= 7) return;
    camera_->Settings.PortIndex = uint8_t(i);
    camera_->Settings.LxPort = kPortList[i].address;
  });
  connect(FormatButton1, &QPushButton::clicked, this, [this] { ModeButtonClick(false); });
  connect(SourceButton1, &QPushButton::clicked, this, [this] { ModeButtonClick(true); });
  connect(&StatusTimer, &QTimer::timeout, this, [this] {
    if (camera_) CaptureStatus->setText(Q(camera_->CaptureStatus()));
  });
  StatusTimer.setInterval(250);
  RunWhileShown(StatusTimer);
  UpdateEnabling();
}

void TVfwCameraSettingsForm1::Fill(TVFWCamera& camera) {
  ImagingSettings& s = camera.Settings;
  s.ExInterval = 1000;
  {
    TFilling filling(*this);
    CameraName->setText(Q("VFW Camera #" + std::to_string(camera.DeviceIndex + 1)));
    ExStart->setValue(s.ExStart);
    ExWindow->setValue(s.ExWindow);
    DirectMode->setChecked(s.DtrRtsMode);
    SCCheckBox1->setChecked(s.ModifiedCamera);
    MonoCamera->setChecked(s.ForceMono);
    Invert->setChecked(s.Invert);
    Mirror->setChecked(s.Mirror);
    ShowNumber(PixelsX, s.PixelsX);
    ShowNumber(PixelsY, s.PixelsY);
    ShowNumber(PxWidth, s.PixelSizeX);
    ShowNumber(PxHeight, s.PixelSizeY);
    LxPortComboBox1->setCurrentIndex(s.PortIndex < 7 ? s.PortIndex : 0);
    QPushButton* const* rows[3] = {AMask, AOn, AOff};
    for (int r = 0; r < 3; ++r) {
      const std::string digits = ByteDigits(s.*kBitRowFields[r]);
      for (int i = 0; i < 8; ++i) rows[r][i]->setText(QString(QChar(digits[std::size_t(i)])));
    }
    CaptureStatus->setText(Q(camera.CaptureStatus()));
  }
  UpdateEnabling();
}

void TVfwCameraSettingsForm1::done(int r) {
  if (camera_) camera_->ApplyLimits();
  QDialog::done(r);
}

void TVfwCameraSettingsForm1::UpdateEnabling() {
  const bool lx = SCCheckBox1->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{DirectMode, ExStart, ExWindow, LxPortComboBox1})
    w->setEnabled(lx);
  for (int i = 0; i < 8; ++i)
    for (QPushButton* b : {AMask[i], AOn[i], AOff[i]}) b->setEnabled(lx);
  const bool free = camera_ && !camera_->Connected();
  FormatButton1->setEnabled(free);
  SourceButton1->setEnabled(free);
}

// The device's own formats, frame sizes and inputs are offered in a window
// of ours (Video4Linux2 drivers have no dialogs); the choice is kept in the
// camera's settings, and connecting once reads the frame size back.
void TVfwCameraSettingsForm1::ModeButtonClick(bool source) {
  if (!camera_ || camera_->Connected()) return;
  TVFWCamera& camera = *camera_;
  const char* caption = "VFW, Camera Settings";
  TVideoOffer offer;
  std::string text;
  if (!camera.QueryDevice(offer, text)) {
    platform::ShowMessageBox(text, caption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  if (source ? offer.inputs.empty() : offer.formats.empty()) {
    platform::ShowMessageBox(source ? "The device has no inputs to choose from."
                                    : "The device offers no video format this program reads.",
                             caption, platform::MsgButtons::Ok, platform::MsgIcon::Information);
    return;
  }
  TVideoModeForm mode(offer, camera.Choice(), source, this);
  // The camera may go while the choice is open: nothing is stored then.
  if (mode.exec() != QDialog::Accepted || camera_ != &camera) return;
  camera.SetChoice(mode.Choice());
  try {
    camera.SetConnected(true);
    camera.SetConnected(false);
    text = camera.Settings.Name + ": " + std::to_string(camera.Settings.PixelsX) + " x " +
           std::to_string(camera.Settings.PixelsY);
  } catch (const ECameraError& e) {
    text = e.what();
  }
  PixelsX->setText(QString::number(camera.Settings.PixelsX));
  PixelsY->setText(QString::number(camera.Settings.PixelsY));
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

TDsiCameraSettingsForm1::TDsiCameraSettingsForm1(QWidget* parent) : TCameraSettingsWindow(parent) {
  setWindowTitle("DSI, Camera Settings");
  CameraName = new QLabel;
  PixelsX = NumberEdit(true);
  PixelsY = NumberEdit(true);
  PxWidth = NumberEdit(true);
  PxHeight = NumberEdit(true);
  OfsX = new QComboBox;
  OfsX->addItems({"0", "1"});
  OfsY = new QComboBox;
  OfsY->addItems({"0", "1", "2", "3"});
  Mirror = BoolBox(this, "Mirror Image", &ImagingSettings::Mirror);
  Invert = BoolBox(this, "Invert Image", &ImagingSettings::Invert);
  MonoCamera = BoolBox(this, "Force Monochrome", &ImagingSettings::ForceMono);
  TarvelCamera = new QCheckBox("Cooled camera (cooler on the filter-wheel port)");
  Gain = new QScrollBar(Qt::Horizontal);
  Offset = new QScrollBar(Qt::Horizontal);
  Gain->setRange(0, 100);
  Offset->setRange(0, 100);
  GainLabel = new QLabel;
  OffsetLabel = new QLabel;
  SetPointTemp = new QDoubleSpinBox;
  SetPointTemp->setRange(-99.9, 30.0);
  SetPointTemp->setDecimals(1);
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

  connect(Gain, &QScrollBar::valueChanged, this, &TDsiCameraSettingsForm1::GainChange);
  connect(Offset, &QScrollBar::valueChanged, this, &TDsiCameraSettingsForm1::OffsetChange);
  connect(OfsX, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (camera_) camera_->Settings.MosaicXOfs = i;
  });
  connect(OfsY, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (camera_) camera_->Settings.MosaicYOfs = i;
  });
  connect(TarvelCamera, &QCheckBox::toggled, this, &TDsiCameraSettingsForm1::CoolerEnable);
  connect(SetPointTemp, &QDoubleSpinBox::valueChanged, this, [this](double v) { pendingSetPoint_ = v; });
  connect(&Timer1, &QTimer::timeout, this, &TDsiCameraSettingsForm1::Timer1Timer);
  Timer1.setInterval(1000);
  RunWhileShown(Timer1);
}

void TDsiCameraSettingsForm1::GainChange(int position) {
  GainLabel->setText(QString("Gain %1%:").arg(position));
  if (camera_) camera_->Settings.Gain = position / 100.0;
}

void TDsiCameraSettingsForm1::OffsetChange(int position) {
  OffsetLabel->setText(QString("Offset %1:").arg(position));
  if (camera_) camera_->Settings.Offset = position / 100.0;
}

void TDsiCameraSettingsForm1::CoolerEnable(bool on) {
  SetPointTemp->setEnabled(on);
  if (!on) {
    Temperature->setText("Temperature: Unknown");
    Power->setText("Power: Unknown");
  }
  if (!camera_) return;
  camera_->Settings.ModifiedCamera = on;
  camera_->CanSetCCDTemperature = camera_->CanGetCCDTemperature = camera_->CanGetCoolerPower = on;
}

void TDsiCameraSettingsForm1::Fill(TDsiCamera& camera) {
  const ImagingSettings& s = camera.Settings;
  {
    TFilling filling(*this);
    CameraName->setText(Q(s.Name));
    ShowNumber(PixelsX, s.PixelsX);
    ShowNumber(PixelsY, s.PixelsY);
    ShowNumber(PxWidth, s.PixelSizeX);
    ShowNumber(PxHeight, s.PixelSizeY);
    OfsX->setCurrentIndex(std::clamp(s.MosaicXOfs, 0, 1));
    OfsY->setCurrentIndex(std::clamp(s.MosaicYOfs, 0, 3));
    Mirror->setChecked(s.Mirror);
    Invert->setChecked(s.Invert);
    MonoCamera->setChecked(s.ForceMono);
    TarvelCamera->setChecked(s.ModifiedCamera);
    // Positions from the settings, kept in the bar's range.
    Gain->setValue(int(std::lround(std::clamp(s.Gain, 0.0, 1.0) * 100)));
    Offset->setValue(int(std::lround(std::clamp(s.Offset, 0.0, 1.0) * 100)));
    SetPointTemp->setValue(s.CCDSetTemp);
  }
  pendingSetPoint_ = s.CCDSetTemp;
  // The readouts are this camera's from the first tick on.
  lastShown_ = -12345;
  lastPower_.clear();
  Temperature->setText("Temperature: Unknown");
  Power->setText("Power: Unknown");
  GainChange(Gain->value());
  OffsetChange(Offset->value());
  CoolerEnable(s.ModifiedCamera);
}

void TDsiCameraSettingsForm1::Timer1Timer() {
  if (!camera_ || !TarvelCamera->isChecked()) return;
  // The camera answers from its stored value while it is exposing.
  ShowTemperature(Temperature, camera_->GetCCDTemperature(), lastShown_);
  camera_->SetCCDTemperature(pendingSetPoint_);
  if (camera_->CoolerPowerText != lastPower_) {
    lastPower_ = camera_->CoolerPowerText;
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

TVfwCameraSettingsForm1* VfwCameraSettingsForm1 = nullptr;
TDsiCameraSettingsForm1* DsiCameraSettingsForm1 = nullptr;
TIFFCameraSettingsForm1* IFFCameraSettingsForm1 = nullptr;

namespace {

// A camera kind's settings reach the program's window of `window` (when it
// exists), or nothing.
template <class Camera, class Form>
void RouteSettings(Form*& window, bool installed) {
  if (!installed) {
    Camera::SettingsWindow = nullptr;
    Camera::CloseSettingsWindow = nullptr;
    return;
  }
  Camera::SettingsWindow = [&window](Camera& c) {
    if (window) window->OpenWith(c);
  };
  Camera::CloseSettingsWindow = [&window](Camera& c) {
    if (window) window->ForgetCamera(c);
  };
}

}  // namespace

void InstallCameraSettingsWindows(bool installed) {
  RouteSettings<TIFFCamera>(IFFCameraSettingsForm1, installed);
  RouteSettings<TVFWCamera>(VfwCameraSettingsForm1, installed);
  RouteSettings<TDsiCamera>(DsiCameraSettingsForm1, installed);
}

void FillSourceSettingsMenu(QMenu* menu) {
  menu->clear();
  for (const auto& item : Cameras().SourceSettings) {
    TCamera* cam = item.Camera;
    menu->addAction(Q(item.Caption), [cam] { cam->ShowSettings(); });
  }
}

}  // namespace imaging
