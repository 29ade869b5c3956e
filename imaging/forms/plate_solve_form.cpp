// The plate-solving window: the solver's settings, its camera and the
// correction of the mount by the solved place.
#include "imaging/forms/imaging_windows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "astro/observer.h"
#include "astro/precession.h"
#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/camera_sim.h"
#include "imaging/fits_image.h"
#include "imaging/forms/form_support.h"
#include "imaging/settings_text.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/timezone.h"
#include "telescope/accessories.h"
#include "telescope/tele_control.h"

namespace imaging {

using namespace form_support;

// --- Plate solving ------------------------------------------------------------------------------

TPlateSolveForm1::TPlateSolveForm1(const std::string& settingsFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Logic(&mount_, TConsoleLink{}, FindCamera),
      folder_(settingsFolder) {
  setWindowTitle("Plate Solving");
  Logic.LoadSettings(folder_);
  Logic.ClientFolder = folder_ + "PlateSolve/";
  AddExistingCameras(Logic.CameraList);
  ImageSource = new QComboBox;
  auto edit = [](const std::string& s) { return new QLineEdit(QString::fromStdString(s)); };
  ExposureTime = edit(platform::FormatGeneral(Logic.Sel.Exposure, 6));
  TimeToSolve = edit(std::to_string(Logic.Sel.TimeToSolve));
  SearchFieldSize = edit(platform::FormatGeneral(Logic.Sel.FieldSize, 6));
  RaEdit1 = edit(platform::FormatFixed(Logic.Sel.PositionRA, 0, 4));
  DecEdit1 = edit(platform::FormatFixed(Logic.Sel.PositionDEC, 0, 4));
  RAGain = edit(Logic.Sel.SlewRAGain);
  DecGain = edit(Logic.Sel.SlewDECGain);
  PythonDirEdit = edit(Logic.Sel.Python);
  XSize = edit(std::to_string(Logic.Sel.FieldSizeX));
  YSize = edit(std::to_string(Logic.Sel.FieldSizeY));
  ApiKeyEdit = edit(Logic.Sel.ApiKey);
  ApiKeyEdit->setMaxLength(255);
  DropDirEdit1 = edit(Logic.Sel.DropLocation);
  DropDirButton = new QPushButton("...");
  DropDirButton->setMaximumWidth(30);
  Local = new QRadioButton("Local");
  Nova = new QRadioButton("Nova");
  SuperNova = new QRadioButton("SuperNova");
  (Logic.Sel.Local ? Local : Logic.Sel.SuperNova ? SuperNova : Nova)->setChecked(true);
  ExpTimeUpDown = new TUpDown(1, 20);
  AutoNone = new QRadioButton("None");
  AutoSolve = new QRadioButton("Solve after goto");
  AutoTimed = new QRadioButton("Timed, every 5 minutes");
  AutoSync = new QRadioButton("Sync and goto again");
  AutoGoto = new QRadioButton("Goto corrected location");
  AutoSlew = new QRadioButton("Guide to corrected location");
  AutoNone->setChecked(true);
  BothParity = new QRadioButton("Both");
  NegParity = new QRadioButton("Negative");
  PosParity = new QRadioButton("Positive");
  (Logic.Sel.Parity() == 1 ? NegParity : Logic.Sel.Parity() == 2 ? PosParity : BothParity)->setChecked(true);
  ReverseRA = new QCheckBox("Reverse RA");
  ReverseDec = new QCheckBox("Reverse Dec");
  HSS = new QCheckBox("High Speed  (Speed 6)");
  SlewTwice = new QCheckBox("Refine (solve/guide twice)");
  TeleCoords = new QRadioButton("Telescope");
  MapCoords = new QRadioButton("Chart");
  ManualCoords = new QRadioButton("Manual");
  TeleCoords->setChecked(true);
  CameraSettings = new QPushButton("Camera settings");
  ReverseRA->setChecked(Logic.Sel.SlewRAReverse);
  ReverseDec->setChecked(Logic.Sel.SlewDecReverse);
  HSS->setChecked(Logic.Sel.SlewHSS);
  SlewTwice->setChecked(Logic.Sel.SlewTwice);
  SolveNow = new QPushButton("&Solve Now");
  Abort = new QPushButton("Abort/Reset");
  WImage1 = new TPictureView;
  auto* scroll = new QScrollArea;
  scroll->setWidget(WImage1);
  scroll->setMinimumSize(340, 260);

  auto* form = form_ = new QFormLayout;
  form->addRow("Camera", ImageSource);
  form->addRow(CameraSettings);
  auto* exposure = new QHBoxLayout;
  exposure->addWidget(ExposureTime);
  exposure->addWidget(ExpTimeUpDown);
  form->addRow("Exposure (s)", exposure);
  form->addRow("Frame width (px)", XSize);
  form->addRow("Frame height (px)", YSize);
  form->addRow("Timeout for Solve (s)", TimeToSolve);
  form->addRow("Search radius (deg)", SearchFieldSize);
  auto* hints = new QHBoxLayout;
  for (QRadioButton* b : {TeleCoords, MapCoords, ManualCoords}) hints->addWidget(b);
  auto* hintBox = new QGroupBox("Position hints");
  hintBox->setLayout(hints);
  form->addRow(hintBox);
  form->addRow("RA (deg)", RaEdit1);
  form->addRow("Dec (deg)", DecEdit1);
  auto* servers = new QHBoxLayout;
  for (QRadioButton* b : {Local, Nova, SuperNova}) servers->addWidget(b);
  auto* serverBox = new QGroupBox("Solver");
  serverBox->setLayout(servers);
  form->addRow(serverBox);
  auto* drop = new QHBoxLayout;
  drop->addWidget(DropDirEdit1);
  drop->addWidget(DropDirButton);
  form->addRow("Drop folder", drop);
  dropRow_ = drop;
  form->addRow("API key", ApiKeyEdit);
  form->addRow("Python", PythonDirEdit);
  auto* parity = new QHBoxLayout;
  for (QRadioButton* b : {BothParity, NegParity, PosParity}) parity->addWidget(b);
  auto* parityBox = new QGroupBox("Parity");
  parityBox->setLayout(parity);
  form->addRow(parityBox);
  auto* autoBox = new QGroupBox("Automatic");
  auto* autoLayout = new QVBoxLayout(autoBox);
  for (QWidget* w : std::initializer_list<QWidget*>{AutoNone, AutoSolve, AutoTimed, AutoSync, AutoGoto, AutoSlew,
                                                    ReverseRA, ReverseDec, HSS, SlewTwice})
    autoLayout->addWidget(w);
  auto* gains = new QFormLayout;
  gains->addRow("RA gain", RAGain);
  gains->addRow("Dec gain", DecGain);
  autoLayout->addLayout(gains);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SolveNow);
  buttons->addWidget(Abort);
  auto* left = new QVBoxLayout;
  left->addLayout(form);
  left->addWidget(autoBox);
  left->addLayout(buttons);
  StatusBar1 = new QLabel;
  StatusBar1->setFrameShape(QFrame::StyledPanel);
  StatusBar1->setWordWrap(true);
  StatusBar1->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addWidget(scroll, 1);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top, 1);
  all->addWidget(StatusBar1);

  connect(SolveNow, &QPushButton::clicked, this, [this] {
    SolveNow->setEnabled(false);
    Logic.SolveNowClick();
  });
  connect(Abort, &QPushButton::clicked, this, [this] { Logic.AbortClick(); });
  // The frame size: at least 320 x 240, at most 10,000, whole multiples of 8.
  const std::pair<QLineEdit*, int> sizes[] = {{XSize, kMinFieldSizeX}, {YSize, kMinFieldSizeY}};
  for (const auto& [e, m] : sizes) {
    QLineEdit* edit = e;
    const int minimum = m;
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, minimum] {
      int32_t v = 0;
      int32_t& field = minimum == kMinFieldSizeX ? Logic.Sel.FieldSizeX : Logic.Sel.FieldSizeY;
      if (platform::ParseInt32(Text(edit), v)) field = PlateSolveFrameSize(v, minimum);
      edit->setText(QString::number(field));
    });
  }
  for (QRadioButton* b : {Local, Nova, SuperNova}) connect(b, &QRadioButton::toggled, this, [this] { ShowServer(); });
  connect(DropDirButton, &QPushButton::clicked, this, [this] { DropDirButtonClick(); });
  // Never without a camera: the steps must lie within its limits.
  WireExposureUpDown(this, ExpTimeUpDown, ExposureTime, expStep_, [this] { return Logic.Camera(); }, false,
                     [this] { ToLogic(); });
  ShowServer();
  connect(CameraSettings, &QPushButton::clicked, this, [this] { ShowCameraSettings(ImageSource); });
  connect(&PlateSolveTimer1, &QTimer::timeout, this, [this] { PlateSolveTimer1Timer(); });
  PlateSolveTimer1.start(1000);
  Logic.OnJobDone = [this] { PlateSolveTimer1Timer(); };
  FromLogic();
}

TPlateSolveForm1::~TPlateSolveForm1() { PlateSolveTimer1.stop(); }

void TPlateSolveForm1::LinkConsole(TImagingConsole* console) {
  Logic.SetConsole(console ? TConsoleLink{[console] { return console->Camera(); }, &console->PauseRequest}
                           : TConsoleLink{});
}

void TPlateSolveForm1::SaveSettings() {
  ToLogic();
  Logic.SaveSettings(folder_);
}

void TPlateSolveForm1::ToLogic() {
  Logic.ImageSource = ImageSource->currentText().isEmpty() ? "None" : ImageSource->currentText().toStdString();
  // Fields are checked when used: text that is no number keeps the value.
  double v = 0;
  int32_t n = 0;
  if (platform::ParseDouble(Text(ExposureTime), v) && v > 0 && v <= kMaxExposureSeconds) {
    // Kept within the camera's limits, the text corrected.
    if (const TCamera* cam = Logic.Camera()) {
      const double limited = std::clamp(v, cam->ExposureMin, cam->ExposureMax);
      if (limited != v && !ExposureTime->hasFocus())
        ExposureTime->setText(QString::fromStdString(platform::FormatGeneral(limited, 6)));
      v = limited;
    }
    Logic.Sel.Exposure = v;
  }
  if (platform::ParseInt32(Text(TimeToSolve), n)) Logic.Sel.TimeToSolve = PlateSolveTimeToSolve(n);
  if (platform::ParseDouble(Text(SearchFieldSize), v))
    Logic.Sel.FieldSize = std::clamp(v, kMinSearchRadius, kMaxSearchRadius);
  Logic.TeleCoords = TeleCoords->isChecked();
  double ra = 0, dec = 0;
  if (MapCoords->isChecked() && ChartCentre && ChartCentre(ra, dec)) {
    ChartToJ2000(ra, dec);  // the solver's hints are J2000
    Logic.Sel.PositionRA = ra * 180.0 / M_PI;
    Logic.Sel.PositionDEC = dec * 180.0 / M_PI;
    SetText(RaEdit1, platform::FormatFixed(Logic.Sel.PositionRA, 0, 4));
    SetText(DecEdit1, platform::FormatFixed(Logic.Sel.PositionDEC, 0, 4));
  } else if (ManualCoords->isChecked()) {
    if (platform::ParseDouble(Text(RaEdit1), v)) Logic.Sel.PositionRA = std::clamp(v, 0.0, 360.0);
    if (platform::ParseDouble(Text(DecEdit1), v)) Logic.Sel.PositionDEC = std::clamp(v, -90.0, 90.0);
  }
  Logic.Sel.SlewRAGain = Text(RAGain);
  Logic.Sel.SlewDECGain = Text(DecGain);
  Logic.Sel.Python = Text(PythonDirEdit);
  Logic.Sel.ApiKey = Text(ApiKeyEdit).substr(0, 255);
  Logic.Sel.Local = Local->isChecked();
  Logic.Sel.Nova = Nova->isChecked();
  Logic.Sel.SuperNova = SuperNova->isChecked();
  std::string drop = Text(DropDirEdit1);
  if (!drop.empty() && drop.back() != '/') drop += '/';
  Logic.Sel.DropLocation = drop;
  Logic.Sel.Options = NegParity->isChecked() ? " --parity 1" : PosParity->isChecked() ? " --parity 0" : "";
  Logic.Sel.SlewRAReverse = ReverseRA->isChecked();
  Logic.Sel.SlewDecReverse = ReverseDec->isChecked();
  Logic.Sel.SlewHSS = HSS->isChecked();
  Logic.Sel.SlewTwice = SlewTwice->isChecked();
  Logic.Mode = AutoSolve->isChecked()   ? TAutoMode::Solve
               : AutoTimed->isChecked() ? TAutoMode::Timed
               : AutoSync->isChecked()  ? TAutoMode::Sync
               : AutoGoto->isChecked()  ? TAutoMode::Goto
               : AutoSlew->isChecked()  ? TAutoMode::Slew
                                        : TAutoMode::None;
}

void TPlateSolveForm1::FromLogic() {
  FillSources(ImageSource, Logic.CameraList, Logic.ImageSource);
  ImageSource->setEnabled(Logic.CameraListEnabled());
  SolveNow->setEnabled(Logic.SolveButtonEnabled() && Logic.Camera());
  setWindowTitle(QString::fromStdString(Logic.Caption()));
  if (StatusBar1->text().toStdString() != Logic.Status()) StatusBar1->setText(QString::fromStdString(Logic.Status()));
  SetText(RAGain, Logic.Sel.SlewRAGain);
  SetText(DecGain, Logic.Sel.SlewDECGain);
  if (Logic.TeleCoords) {
    SetText(RaEdit1, platform::FormatFixed(Logic.Sel.PositionRA, 0, 4));
    SetText(DecEdit1, platform::FormatFixed(Logic.Sel.PositionDEC, 0, 4));
  }
  if (Logic.Mode == TAutoMode::None && !AutoNone->isChecked()) AutoNone->setChecked(true);
  RaEdit1->setEnabled(ManualCoords->isChecked());
  DecEdit1->setEnabled(ManualCoords->isChecked());
  MapCoords->setEnabled(ChartCentre != nullptr);
  CameraSettings->setEnabled(ImageSource->currentText() != "None");
  WImage1->SetPicture(Logic.LastImage(), Logic.LastImage().Width(), Logic.LastImage().Height());
}

// "Local" shows the drop-off folder; "Nova" and "SuperNova" the API key
// and the interpreter.
void TPlateSolveForm1::ShowServer() {
  const bool local = Local->isChecked();
  form_->setRowVisible(dropRow_, local);
  form_->setRowVisible(ApiKeyEdit, !local);
  form_->setRowVisible(PythonDirEdit, !local);
}

void TPlateSolveForm1::DropDirButtonClick() {
  std::string chosen;
  if (!ChooseFolder(Text(DropDirEdit1), chosen)) return;
  DropDirEdit1->setText(QString::fromStdString(chosen));
  Logic.Sel.DropLocation = chosen;
}

void TPlateSolveForm1::CameraRemoved(const std::string& name, const std::string& reason) {
  ToLogic();
  Logic.RemoveCamera(name, reason);
  FromLogic();
}

void TPlateSolveForm1::PlateSolveTimer1Timer() {
  ToLogic();
  Logic.PlateSolveTimer1Timer();
  FromLogic();
}

}  // namespace imaging
