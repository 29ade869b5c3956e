#include "imaging/forms/ascom_camera_forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "imaging/forms/camera_settings_forms.h"
#include "platform/numfmt.h"

namespace imaging {

namespace {

QWidget* g_owner = nullptr;
// The settings window while it is open (it is modal: one at a time).
TAscomCameraSettingsForm1* g_openSettings = nullptr;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void SetShape(QLabel* l, bool green) {
  l->setStyleSheet(green ? "background:#00c000; border:1px solid gray; border-radius:8px;" : "background:palette(button); border:1px solid gray; border-radius:8px;");
}

// A driver value for showing; the fallback when the driver raises.
platform::TVariant Read(platform::IAutomationObject& d, const char* member, const platform::TVariant& fallback) {
  try {
    return d.Get(member);
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace

TAscomCameraForm1::TAscomCameraForm1(TAscomCameraSlots& logic, QWidget* parent)
    : QWidget(parent, Qt::Window), logic_(logic) {
  setWindowTitle("ASCOM Cameras");
  // FormCreate: the drivers chosen in an earlier run.
  logic_.LoadSettings();
  auto* grid = new QGridLayout(this);
  QLineEdit** names[2] = {&Name1, &Name2};
  QPushButton** selects[2] = {&Select1, &Select2};
  QPushButton** connects[2] = {&Connect1, &Connect2};
  QPushButton** disconnects[2] = {&Disconnect1, &Disconnect2};
  QLabel** shapes[2] = {&ConnectedShape1, &ConnectedShape2};
  for (int n = 1; n <= 2; ++n) {
    const int i = n - 1;
    *names[i] = new QLineEdit;
    (*names[i])->setReadOnly(true);
    (*names[i])->setMinimumWidth(320);  // an INDI camera's identifier reads whole
    *selects[i] = new QPushButton(QString("Select Camera #%1").arg(n));
    *connects[i] = new QPushButton("Connect");
    *disconnects[i] = new QPushButton("Disconnect");
    *shapes[i] = new QLabel;
    (*shapes[i])->setFixedSize(16, 16);
    grid->addWidget(*names[i], i, 0);
    grid->addWidget(*selects[i], i, 1);
    grid->addWidget(*connects[i], i, 2);
    grid->addWidget(*disconnects[i], i, 3);
    grid->addWidget(*shapes[i], i, 4);
    connect(*selects[i], &QPushButton::clicked, this, [this, n] {
      logic_.SelectClick(n);
      Refresh();
    });
    QPushButton* const connectButton = *connects[i];
    QPushButton* const selectButton = *selects[i];
    connect(connectButton, &QPushButton::clicked, this, [this, n, connectButton, selectButton] {
      // The driver is reached with the program running on: the slot's
      // buttons are off meanwhile.
      connectButton->setEnabled(false);
      selectButton->setEnabled(false);
      logic_.ConnectClick(n);
      Refresh();
    });
    QPushButton* const disconnectButton = *disconnects[i];
    connect(disconnectButton, &QPushButton::clicked, this, [this, n, disconnectButton] {
      // Off while the driver is asked to let go (an INDI camera waits for
      // its server with the program running on).
      disconnectButton->setEnabled(false);
      logic_.DisconnectClick(n);
      Refresh();
    });
  }
  connect(&Timer1, &QTimer::timeout, this, [this] {
    logic_.Timer1Timer();
    Refresh();
  });
  Timer1.start(1000);
  Refresh();
}

void TAscomCameraForm1::Refresh() {
  QLineEdit* names[2] = {Name1, Name2};
  QPushButton* selects[2] = {Select1, Select2};
  QPushButton* connects[2] = {Connect1, Connect2};
  QPushButton* disconnects[2] = {Disconnect1, Disconnect2};
  QLabel* shapes[2] = {ConnectedShape1, ConnectedShape2};
  for (int n = 1; n <= 2; ++n) {
    const TAscomCameraSlots::Slot& s = logic_[n];
    names[n - 1]->setText(Q(s.name));
    names[n - 1]->setEnabled(!s.connected);
    selects[n - 1]->setEnabled(s.selectEnabled);
    connects[n - 1]->setEnabled(s.connectEnabled);
    disconnects[n - 1]->setEnabled(s.disconnectEnabled);
    SetShape(shapes[n - 1], s.shapeGreen);
  }
}

void TAscomCameraForm1::hideEvent(QHideEvent* e) {
  logic_.SaveSettings();
  QWidget::hideEvent(e);
}

// --- Settings window -------------------------------------------------------------------

TAscomCameraSettingsForm1::TAscomCameraSettingsForm1(TASCOMCamera& camera, QWidget* parent)
    : QDialog(parent), camera_(camera) {
  g_openSettings = this;
  setWindowTitle("ASCOM, Camera Settings");
  platform::IAutomationObject& d = camera.Driver();
  ImagingSettings& s = camera.Settings;
  CameraName = new QLabel(Q(Read(d, "Name", "").AsString() + " " + Read(d, "SensorName", "").AsString()));
  auto number = [](double v) {
    auto* e = new QLineEdit(Q(platform::FormatGeneral(v)));
    e->setReadOnly(true);
    return e;
  };
  PixelsX = number(s.PixelsX);
  PixelsY = number(s.PixelsY);
  PxWidth = number(s.PixelSizeX);
  PxHeight = number(s.PixelSizeY);
  auto box = [](const char* text, bool on) {
    auto* b = new QCheckBox(text);
    b->setChecked(on);
    return b;
  };
  MonoCamera = box("Monochrome", s.ForceMono);
  MonoCamera->setEnabled(Read(d, "SensorType", 0).AsInt() != 0);
  Invert = box("Invert Image", s.Invert);
  Mirror = box("Mirror Image", s.Mirror);
  FastReadout = box("Fast Readout", s.FastReadout);
  CoolerOn = box("Cooler On", false);
  CoolerActivate = box("Auto-activate Cooler", s.AccOffVal != 0);
  BinX = new QComboBox;
  BinY = new QComboBox;
  for (int i = 1; i <= std::max(1, Read(d, "MaxBinX", 1).AsInt()); ++i) BinX->addItem(QString::number(i));
  for (int i = 1; i <= std::max(1, Read(d, "MaxBinY", 1).AsInt()); ++i) BinY->addItem(QString::number(i));
  BinX->setCurrentIndex(Read(d, "BinX", 1).AsInt() - 1);
  BinY->setCurrentIndex(Read(d, "BinY", 1).AsInt() - 1);
  OfsX = new QComboBox;
  OfsX->addItems({"0", "1"});
  OfsY = new QComboBox;
  OfsY->addItems({"0", "1", "2", "3"});
  OfsX->setCurrentIndex(std::clamp(s.MosaicXOfs, 0, 1));
  OfsY->setCurrentIndex(std::clamp(s.MosaicYOfs, 0, 3));
  Readout = new QComboBox;
  GainSelection = new QComboBox;
  for (int i = 0; i <= 9; ++i) {
    Readout->addItem(QString::number(i));
    GainSelection->addItem(QString::number(i));
  }
  Readout->setCurrentIndex(std::clamp(s.ReadoutMode, 0, 9));
  Gain = new QScrollBar(Qt::Horizontal);
  GainLabel = new QLabel;
  // Drivers with a gain range get the bar, others the list of indices.
  bool range = true;
  double gmin = 0, gmax = 100;
  try {
    gmin = d.Get("GainMin").AsDouble();
    gmax = d.Get("GainMax").AsDouble();
  } catch (const std::exception&) {
    range = false;
  }
  const double gain = Read(d, "Gain", s.Gain).AsDouble();
  if (range) {
    Gain->setRange(int(std::floor(gmin)), int(std::ceil(gmax)));
    Gain->setValue(int(std::lround(gain)));
  } else {
    GainSelection->setCurrentIndex(std::clamp(int(std::lround(gain)), 0, 9));
  }
  Gain->setVisible(range);
  GainSelection->setVisible(!range);
  GainLabel->setText(QString("Gain %1:").arg(range ? Gain->value() : GainSelection->currentIndex()));
  SetPointTemp = new QSpinBox;
  SetPointTemp->setRange(-99, 30);
  SetPointTemp->setValue(int(std::lround(s.CCDSetTemp)));
  SetPointTemp->setEnabled(camera.CanSetCCDTemperature);
  TempReadout = new QLabel("Temperature: Unknown");
  PowerReadout = new QLabel("Power: Unknown");

  auto* form = new QFormLayout;
  form->addRow("Camera", CameraName);
  form->addRow("Pixels X", PixelsX);
  form->addRow("Pixels Y", PixelsY);
  form->addRow("Pixel width (µm)", PxWidth);
  form->addRow("Pixel height (µm)", PxHeight);
  form->addRow("Bin X", BinX);
  form->addRow("Bin Y", BinY);
  form->addRow("Mosaic column offset", OfsX);
  form->addRow("Mosaic row offset", OfsY);
  form->addRow(GainLabel, range ? static_cast<QWidget*>(Gain) : GainSelection);
  form->addRow("Readout mode", Readout);
  form->addRow("Set point (°C)", SetPointTemp);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  for (QWidget* w : std::initializer_list<QWidget*>{MonoCamera, Invert, Mirror, FastReadout, CoolerOn, CoolerActivate,
                                                    TempReadout, PowerReadout})
    layout->addWidget(w);
  auto* close = new QPushButton("Close");
  layout->addWidget(close, 0, Qt::AlignRight);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  connect(MonoCamera, &QCheckBox::toggled, this, [this](bool on) { camera_.Settings.ForceMono = on; });
  connect(Invert, &QCheckBox::toggled, this, [this](bool on) { camera_.Settings.Invert = on; });
  connect(Mirror, &QCheckBox::toggled, this, [this](bool on) { camera_.Settings.Mirror = on; });
  connect(OfsX, &QComboBox::currentIndexChanged, this, [this](int i) { camera_.Settings.MosaicXOfs = i; });
  connect(OfsY, &QComboBox::currentIndexChanged, this, [this](int i) { camera_.Settings.MosaicYOfs = i; });
  connect(Readout, &QComboBox::currentIndexChanged, this, [this](int i) { camera_.Settings.ReadoutMode = i; });
  connect(Gain, &QScrollBar::valueChanged, this, [this](int v) {
    GainLabel->setText(QString("Gain %1:").arg(v));
    camera_.Settings.Gain = v;
  });
  connect(GainSelection, &QComboBox::currentIndexChanged, this, [this](int v) {
    GainLabel->setText(QString("Gain %1:").arg(v));
    camera_.Settings.Gain = v;
  });
  connect(FastReadout, &QCheckBox::toggled, this, [this](bool on) {
    camera_.Settings.FastReadout = on;
    try {
      camera_.Driver().Put("FastReadout", platform::TVariant(on));
    } catch (const std::exception&) {
    }
  });
  connect(SetPointTemp, &QSpinBox::valueChanged, this, [this](int v) { camera_.SetCCDTemperature(v); });
  connect(CoolerOn, &QCheckBox::toggled, this, [this](bool on) {
    try {
      camera_.Driver().Put("CoolerOn", platform::TVariant(on));
    } catch (const std::exception&) {
    }
    if (on) camera_.SetCCDTemperature(SetPointTemp->value());
  });
  connect(CoolerActivate, &QCheckBox::toggled, this, [this](bool on) { camera_.Settings.AccOffVal = on ? 1 : 0; });
  auto binChange = [this](bool x, int index) {
    if (index < 0) return;
    const auto [ix, iy] = camera_.BinChange(x, index);
    const QSignalBlocker bx(BinX), by(BinY);
    BinX->setCurrentIndex(std::min(ix, BinX->count() - 1));
    BinY->setCurrentIndex(std::min(iy, BinY->count() - 1));
    PixelsX->setText(QString::number(camera_.Settings.PixelsX));
    PixelsY->setText(QString::number(camera_.Settings.PixelsY));
  };
  connect(BinX, &QComboBox::currentIndexChanged, this, [binChange](int i) { binChange(true, i); });
  connect(BinY, &QComboBox::currentIndexChanged, this, [binChange](int i) { binChange(false, i); });
  if (camera.CanSetCCDTemperature) camera.SetCCDTemperature(SetPointTemp->value());
  connect(&Timer1, &QTimer::timeout, this, &TAscomCameraSettingsForm1::Timer1Timer);
  Timer1.start(1000);
}

TAscomCameraSettingsForm1::~TAscomCameraSettingsForm1() {
  if (g_openSettings == this) g_openSettings = nullptr;
}

void TAscomCameraSettingsForm1::CameraGone() {
  // Nothing reaches the camera from here on: no tick, no control.
  Timer1.stop();
  for (QObject* child : children())
    if (auto* w = qobject_cast<QWidget*>(child)) w->blockSignals(true);
  reject();
}

void TAscomCameraSettingsForm1::Timer1Timer() {
  ShowTemperature(TempReadout, camera_.GetCCDTemperature(), lastTemp_);
  const bool free = !CameraInUse(camera_.ListName());
  BinX->setEnabled(free);
  BinY->setEnabled(free);
  if (camera_.CanGetCoolerPower) {
    const std::string p = platform::FormatFixed(Read(camera_.Driver(), "CoolerPower", 0.0).AsDouble(), 0, 1);
    if (p != lastPower_) {
      lastPower_ = p;
      camera_.CoolerPowerText = p;
      PowerReadout->setText(Q("Power: " + p));
    }
  }
}

void InstallAscomCameraSettingsWindow(QWidget* owner) {
  g_owner = owner;
  TASCOMCamera::SettingsWindow = ModalSettingsWindow<TAscomCameraSettingsForm1, TASCOMCamera>(g_owner);
  TASCOMCamera::CloseSettingsWindow = [](TASCOMCamera& camera) {
    if (g_openSettings && &g_openSettings->Camera() == &camera) g_openSettings->CameraGone();
  };
}

}  // namespace imaging
