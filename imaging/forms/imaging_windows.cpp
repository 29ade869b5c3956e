#include "imaging/forms/imaging_windows.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
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

#include "imaging/ascom_camera.h"
#include "imaging/camera_setup.h"
#include "imaging/camera_sim.h"
#include "imaging/fits_image.h"
#include "imaging/plate_solve.h"
#include "imaging/forms/form_support.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/timezone.h"
#include "telescope/accessories.h"
#include "telescope/tele_control.h"

namespace imaging {

using namespace form_support;

std::function<bool(double&, double&)> ChartCentre;
std::function<void()> ShowFilterWheelWindow;

namespace {

// Owned by the owner window when there is one (it may delete them first).
QPointer<TIcForm1> g_ic;
QPointer<TAutoGuideForm> g_guide;
QPointer<TPlateSolveForm1> g_solve;
// The program's end has written the windows' settings: letting the windows
// go writes nothing more.
bool g_savedAtEnd = false;

}  // namespace

// --- The picture ------------------------------------------------------------------------

TPictureView::TPictureView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(false);
  // Every pixel is painted: the picture covers the whole control.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPictureView::SetPicture(const platform::Bitmap& bitmap, int width, int height) {
  picW_ = bitmap.Width();
  picH_ = bitmap.Height();
  picture_ = bitmap.Image();
  reduced_ = QImage();
  setFixedSize(std::max(width, 1), std::max(height, 1));
  update();
}

void TPictureView::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  const QRect r = e->rect();
  if (picture_.isNull()) {
    p.fillRect(r, QColor(50, 50, 150));
    return;
  }
  if (width() <= picW_ && height() <= picH_) {
    // Shown at or below its own size: one smoothed copy at the shown size.
    if (reduced_.size() != size())
      reduced_ = picture_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.drawImage(r.topLeft(), reduced_, r);
    return;
  }
  // Magnified: the picture's pixels behind the part in view, each drawn as
  // a block of the magnified size.
  const double sx = double(width()) / picW_, sy = double(height()) / picH_;
  const int x0 = std::clamp(int(std::floor(r.left() / sx)), 0, picW_ - 1);
  const int y0 = std::clamp(int(std::floor(r.top() / sy)), 0, picH_ - 1);
  const int x1 = std::clamp(int(std::ceil((r.right() + 1) / sx)), x0 + 1, picW_);
  const int y1 = std::clamp(int(std::ceil((r.bottom() + 1) / sy)), y0 + 1, picH_);
  p.drawImage(QRectF(x0 * sx, y0 * sy, (x1 - x0) * sx, (y1 - y0) * sy), picture_,
              QRectF(x0, y0, x1 - x0, y1 - y0));
}

QPoint TPictureView::ToPicture(const QPoint& p) const {
  if (width() <= 0 || height() <= 0) return p;
  return {p.x() * picW_ / width(), p.y() * picH_ / height()};
}

void TPictureView::mousePressEvent(QMouseEvent* e) {
  endsDouble_ = false;
  if (OnControlPress) OnControlPress(e->position().toPoint().x(), e->position().toPoint().y());
  const QPoint p = ToPicture(e->position().toPoint());
  if (OnPress) OnPress(p.x(), p.y());
}

void TPictureView::mouseDoubleClickEvent(QMouseEvent* e) {
  // The release that follows belongs to the double click, not to a click.
  endsDouble_ = true;
  if (OnDoubleClick) OnDoubleClick(e->position().toPoint().x(), e->position().toPoint().y());
}

void TPictureView::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = ToPicture(e->position().toPoint());
  if (OnMove) OnMove(p.x(), p.y());
}

void TPictureView::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = ToPicture(e->position().toPoint());
  if (OnRelease) OnRelease(p.x(), p.y());
  if (!endsDouble_ && OnClick) OnClick();
  endsDouble_ = false;
}

TUpDown::TUpDown(int minimum, int maximum, int step, QWidget* parent) : QSpinBox(parent) {
  setRange(minimum, maximum);
  setSingleStep(step);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  lineEdit()->setReadOnly(true);
  setFixedWidth(22);
}


// --- Imaging console -------------------------------------------------------------------------

TIcForm1::TIcForm1(const std::string& settingsFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), Logic(&devices_, FindCamera), folder_(settingsFolder) {
  setWindowTitle("Imaging Console");
  Logic.LoadSettings(folder_);
  AddExistingCameras(Logic.CameraList);

  ImageSource = new QComboBox;
  ExposureTime = new QLineEdit;
  ExposureNum = new QLineEdit;
  Filter = new QComboBox;
  Filter->addItem("None");
  AllFilters = new QCheckBox("All filters");
  AdjustExposure = new QCheckBox("Exposure per filter");
  AdjustFocus = new QCheckBox("Focus per filter");
  Purpose = new QComboBox;
  Purpose->addItems({"Bright", "Dark", "Flat", "Bias"});
  Preview = new QPushButton("Preview");
  Preview->setCheckable(true);
  Start = new QPushButton("Start");
  Start->setCheckable(true);
  Path = new QLineEdit;
  DirName = new QLineEdit;
  FileName = new QLineEdit;
  SaveAsType = new QComboBox;
  SaveAsType->addItems({"FITS (16 Bit Int, compatibility)", "FITS (16 Bit Int)", "FITS (32 Bit Int)",
                        "FITS (32 Bit Float)", "BMP", "JPG"});
  ImageSize = new QComboBox;
  ImageSize->addItems({"Normal", "25%", "50%", "75%", "Best Fit"});
  CrossHair = new QComboBox;
  CrossHair->addItems({"None", "Single", "Dual", "Bullseye"});
  MinLevel = new QSlider(Qt::Horizontal);
  MaxLevel = new QSlider(Qt::Horizontal);
  MinLevel->setRange(0, 65535);
  MaxLevel->setRange(0, 65535);
  MaxLevel->setValue(65535);
  AutoLevels = new QCheckBox("Auto levels");
  AutoLevels->setChecked(true);
  Low = new QLineEdit;
  High = new QLineEdit;
  for (QLineEdit* e : {Low, High}) {
    e->setReadOnly(true);
    e->setMaximumWidth(60);
  }
  LowUpDown = new TUpDown(kLevelCounterMin, 32767, 10);
  HighUpDown = new TUpDown(kLevelCounterMin, 32767, 10);
  ExpTimeUpDown = new TUpDown(1, 20);
  OpenPathDialog = new QPushButton("...");
  OpenPathDialog->setMaximumWidth(30);
  FilterwheelSettings = new QPushButton("Filter wheel settings");
  FocusLabel = new QLabel("Step:");
  FocusCurrentPosition = new QLineEdit("N/A");
  FocusCurrentPosition->setReadOnly(true);
  FocusCurrentPosition->hide();
  Image2 = new QLabel;
  Image2->setFixedSize(256, 64);
  Image2->setStyleSheet("background: black");
  NorthButton = new QPushButton("N");
  SouthButton = new QPushButton("S");
  EastButton = new QPushButton("E");
  WestButton = new QPushButton("W");
  SyncButton = new QPushButton("Sync");
  CameraSettings = new QPushButton("Camera settings");
  SlewRateSlow = new QPushButton("Slow");
  SlewRateMid = new QPushButton("Mid");
  SlewRateFast = new QPushButton("Fast");
  FocusIn = new QPushButton("In");
  FocusOut = new QPushButton("Out");
  FocusMoveAmount = new QLineEdit;
  StatusBar1 = new QLabel;
  StatusBar1->setWordWrap(true);  // a long reason wraps, the window keeps its width
  TempLabel2 = new QLabel("?");
  Image1 = new TPictureView;
  ScrollBox1 = new QScrollArea;
  ScrollBox1->setWidget(Image1);
  ScrollBox1->setMinimumSize(420, 320);

  auto* settings = new QFormLayout;
  settings->addRow("Source", ImageSource);
  settings->addRow(CameraSettings);
  auto* exposure = new QHBoxLayout;
  exposure->addWidget(ExposureTime);
  exposure->addWidget(ExpTimeUpDown);
  settings->addRow("Exposure (s)", exposure);
  settings->addRow("Frames", ExposureNum);
  settings->addRow("Filter", Filter);
  settings->addRow(AllFilters);
  settings->addRow(AdjustExposure);
  settings->addRow(AdjustFocus);
  settings->addRow(FilterwheelSettings);
  settings->addRow("Purpose", Purpose);
  auto* path = new QHBoxLayout;
  path->addWidget(Path);
  path->addWidget(OpenPathDialog);
  settings->addRow("Folder", path);
  settings->addRow("Sub-folder", DirName);
  settings->addRow("File name", FileName);
  settings->addRow("Save as", SaveAsType);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Preview);
  buttons->addWidget(Start);
  settings->addRow(buttons);
  settings->addRow("CCD", TempLabel2);
  auto* display = new QFormLayout;
  display->addRow("Size", ImageSize);
  display->addRow("Cross hair", CrossHair);
  auto levelRow = [](QSlider* bar, QLineEdit* text, TUpDown* upDown) {
    auto* row = new QHBoxLayout;
    row->addWidget(bar, 1);
    row->addWidget(text);
    row->addWidget(upDown);
    return row;
  };
  display->addRow("Low", levelRow(MinLevel, Low, LowUpDown));
  display->addRow("High", levelRow(MaxLevel, High, HighUpDown));
  display->addRow(AutoLevels);
  display->addRow(Image2);
  auto* mount = new QGridLayout;
  mount->addWidget(NorthButton, 0, 1);
  mount->addWidget(WestButton, 1, 0);
  mount->addWidget(EastButton, 1, 2);
  mount->addWidget(SouthButton, 2, 1);
  mount->addWidget(SyncButton, 1, 1);
  mount->addWidget(SlewRateSlow, 3, 0);
  mount->addWidget(SlewRateMid, 3, 1);
  mount->addWidget(SlewRateFast, 3, 2);
  mount->addWidget(new QLabel("Focus"), 4, 0);
  mount->addWidget(FocusIn, 4, 1);
  mount->addWidget(FocusOut, 4, 2);
  // An absolute focuser's position shows where "In" would be.
  mount->addWidget(FocusCurrentPosition, 4, 1);
  mount->addWidget(FocusLabel, 5, 0);
  mount->addWidget(FocusMoveAmount, 5, 1, 1, 2);
  auto* left = new QVBoxLayout;
  left->addLayout(settings);
  left->addLayout(display);
  left->addLayout(mount);
  left->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addWidget(ScrollBox1, 1);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addWidget(StatusBar1);

  SetText(ExposureTime, Logic.ExposureTime);
  SetText(ExposureNum, Logic.ExposureNum);
  SetText(Path, Logic.Path);
  SetText(DirName, Logic.DirName);
  SetText(FileName, Logic.FileName);
  SetText(FocusMoveAmount, Logic.FocusMoveAmount);
  SaveAsType->setCurrentIndex(int(Logic.SaveAsType));
  platform::Bitmap empty(320, 240);
  empty.Fill((50u << 16) | (50u << 8) | 150u);
  Image1->SetPicture(empty, 320, 240);

  connect(Preview, &QPushButton::toggled, this, [this](bool down) {
    ToLogic();
    Logic.PreviewClick(down);
  });
  connect(Start, &QPushButton::toggled, this, [this](bool down) {
    ToLogic();
    Logic.StartClick(down);
  });
  connect(ExposureTime, &QLineEdit::editingFinished, this, [this] {
    Logic.ExposureTime = Text(ExposureTime);
    Logic.ExposureTimeChange();
    ExposureTime->setText(QString::fromStdString(Logic.ExposureTime));
  });
  connect(Filter, &QComboBox::activated, this, [this](int i) {
    Logic.FilterIndex = i;
    Logic.FilterChange();
  });
  connect(ImageSize, &QComboBox::currentIndexChanged, this, [this] { ShowImage(); });
  connect(CrossHair, &QComboBox::currentIndexChanged, this, [this] { ShowImage(); });
  // Moving a level drags the other along; the counters follow. Entering
  // a track bar or clicking a counter unticks the automatic levels.
  connect(MinLevel, &QSlider::valueChanged, this, [this](int v) {
    if (v > MaxLevel->value()) MaxLevel->setValue(v);
    LevelsToCounters();
    ShowImage();
  });
  connect(MaxLevel, &QSlider::valueChanged, this, [this](int v) {
    if (v < MinLevel->value()) MinLevel->setValue(v);
    LevelsToCounters();
    ShowImage();
  });
  for (QSlider* bar : {MinLevel, MaxLevel})
    connect(bar, &QSlider::actionTriggered, this, [this] { AutoLevels->setChecked(false); });
  const std::pair<TUpDown*, QSlider*> counters[] = {{LowUpDown, MinLevel}, {HighUpDown, MaxLevel}};
  for (const auto& [c, b] : counters) {
    TUpDown* counter = c;
    QSlider* bar = b;
    connect(counter, &QSpinBox::valueChanged, this, [this, counter, bar](int position) {
      if (counter->signalsBlocked()) return;
      AutoLevels->setChecked(false);
      bar->setValue(LevelFromCounter(position, counter->maximum()));
    });
  }
  WireExposureUpDown(this, ExpTimeUpDown, ExposureTime, expStep_, [this] { return Logic.Camera(); }, true, [this] {
    Logic.ExposureTime = Text(ExposureTime);
    Logic.ExposureTimeChange();
    ExposureTime->setText(QString::fromStdString(Logic.ExposureTime));
  });
  connect(OpenPathDialog, &QPushButton::clicked, this, [this] { OpenPathDialogClick(); });
  // A folder typed relative means the folder within the data folder: it is
  // kept (and saved) as that absolute folder.
  connect(Path, &QLineEdit::editingFinished, this, [this] {
    const std::string typed = Text(Path);
    const std::string absolute = platform::AbsolutePath(typed, folder_);
    if (absolute != typed) Path->setText(QString::fromStdString(absolute));
  });
  connect(FilterwheelSettings, &QPushButton::clicked, this, [] {
    if (ShowFilterWheelWindow) ShowFilterWheelWindow();
  });
  Image1->OnControlPress = [this](int x, int y) { Zoom.MouseDown(x, y, platform::TimeGetTime()); };
  Image1->OnClick = [this] { Image1Click(); };
  Image1->OnDoubleClick = [this](int x, int y) { Image1DblClick(x, y); };
  connect(AutoLevels, &QCheckBox::toggled, this, [this] { ShowImage(); });
  const std::pair<QPushButton*, char> moves[] = {
      {NorthButton, 'N'}, {SouthButton, 'S'}, {EastButton, 'E'}, {WestButton, 'W'}};
  for (const auto& [button, d] : moves) {
    const char dir = d;
    connect(button, &QPushButton::pressed, this, [dir] {
      if (TeleControl()) TeleControl()->StartMove(dir);
    });
    connect(button, &QPushButton::released, this, [dir] {
      if (TeleControl()) TeleControl()->StopMove(dir);
    });
  }
  connect(CameraSettings, &QPushButton::clicked, this, [this] { ShowCameraSettings(ImageSource); });
  // Sync on the chart's centre.
  connect(SyncButton, &QPushButton::clicked, this, [] {
    double ra = 0, dec = 0;
    if (ChartCentre && TeleControl() && ChartCentre(ra, dec)) TeleControl()->SyncRaDec(ra, dec);
  });
  // Guide-rate steps 2, 4 and 6 for the direction buttons.
  const std::pair<QPushButton*, int> rates[] = {{SlewRateSlow, 2}, {SlewRateMid, 4}, {SlewRateFast, 6}};
  for (const auto& [button, r] : rates) {
    const int step = r;
    connect(button, &QPushButton::clicked, this, [step] {
      if (TeleControl()) TeleControl()->SetGuideRate(step);
    });
  }
  auto focus = [this](int sign) {
    int32_t amount = 0;
    if (!FocuserControl() || !FocuserControl()->Connected() || !platform::ParseInt32(Text(FocusMoveAmount), amount))
      return;
    TFocuserControl* f = FocuserControl();
    const int32_t maxInc = f->GetMaxIncrement();
    if (!f->GetAbsolute()) {
      if (maxInc > 0) amount = std::clamp(amount, -maxInc, maxInc);
      f->Move(sign * amount);
      return;
    }
    // "Go": the amount is the target position; the move towards it is
    // limited to the maximum increment (a step-sized limit on the position
    // itself would send the focuser somewhere else).
    const int32_t now = f->GetPosition();
    if (maxInc > 0 && now != -999999)
      amount = int32_t(std::clamp<int64_t>(amount, int64_t(now) - maxInc, int64_t(now) + maxInc));
    f->Move(amount);
  };
  LevelsToCounters();
  connect(FocusIn, &QPushButton::clicked, this, [focus] { focus(-1); });
  connect(FocusOut, &QPushButton::clicked, this, [focus] { focus(1); });
  Logic.OnImage = [this](const TFitsBitmap&) { ShowImage(); };
  Logic.ShownPicture = [this]() -> const platform::Bitmap* { return &shown_; };
  connect(&SequenceTimer1, &QTimer::timeout, this, [this] { SequenceTimer1Timer(); });
  SequenceTimer1.start(500);
  FromLogic();
}

TIcForm1::~TIcForm1() { SequenceTimer1.stop(); }

void TIcForm1::SaveSettings() {
  ToLogic();
  Logic.SaveSettings(folder_);
}

void TIcForm1::ToLogic() {
  Logic.ImageSource = ImageSource->currentText().isEmpty() ? "None" : ImageSource->currentText().toStdString();
  Logic.ExposureTime = Text(ExposureTime);
  Logic.ExposureNum = Text(ExposureNum);
  Logic.Path = Text(Path);
  Logic.DirName = Text(DirName);
  Logic.FileName = Text(FileName);
  Logic.FocusMoveAmount = Text(FocusMoveAmount);
  Logic.SaveAsType = TSaveAs(std::max(0, SaveAsType->currentIndex()));
  Logic.Purpose = Purpose->currentText().toStdString();
  Logic.AllFilters = AllFilters->isChecked();
  Logic.AdjustExposure = AdjustExposure->isChecked();
  Logic.AdjustFocus = AdjustFocus->isChecked();
  Logic.AutoLevels = AutoLevels->isChecked();
  Logic.MinLevel = MinLevel->value();
  Logic.MaxLevel = MaxLevel->value();
}

void TIcForm1::FromLogic() {
  FillSources(ImageSource, Logic.CameraList, Logic.ImageSource);
  SetText(ExposureTime, Logic.ExposureTime);
  SetText(ExposureNum, Logic.ExposureNum);
  StatusBar1->setText(QString::fromStdString(Logic.Status()));
  // An error reads in red (restyled only when that changes).
  const bool error = Logic.StatusIsError();
  if (StatusBar1->property("error").toBool() != error) {
    StatusBar1->setProperty("error", error);
    StatusBar1->setStyleSheet(error ? "color:#c00000;font-weight:bold" : "");
  }
  TempLabel2->setText(QString::fromStdString(Logic.TempLabel()));
  {
    const QSignalBlocker b1(Preview), b2(Start);
    Preview->setChecked(Logic.PreviewDown());
    Start->setChecked(Logic.StartDown());
  }
  Preview->setEnabled(Logic.PreviewEnabled() || Logic.PreviewDown());
  Start->setEnabled(Logic.StartEnabled() || Logic.StartDown());
  ImageSource->setEnabled(Logic.SourceEnabled());
  const bool idle = !Logic.PreviewDown() && !Logic.StartDown();
  const bool wheel = devices_.WheelConnected();
  Filter->setEnabled(idle && wheel && !AllFilters->isChecked());
  AllFilters->setEnabled(wheel);
  AdjustExposure->setEnabled(wheel);
  AdjustFocus->setEnabled(wheel && devices_.FocuserConnected());
  ExposureTime->setEnabled(idle);
  if (wheel) {
    QStringList names;
    for (const std::string& n : devices_.FilterNames()) names << QString::fromStdString(n);
    if (names.size() > 20) names = names.mid(0, 20);
    QStringList have;
    for (int i = 0; i < Filter->count(); ++i) have << Filter->itemText(i);
    if (!names.isEmpty() && names != have) {
      Filter->clear();
      Filter->addItems(names);
    }
  }
  if (Logic.FilterIndex >= 0 && Logic.FilterIndex < Filter->count()) Filter->setCurrentIndex(Logic.FilterIndex);
  const bool mount = mount_.Connected();
  // The direction buttons move the mount by guide pulses.
  const bool pulses = mount && TeleControl() && TeleControl()->CanPulseGuide();
  for (QPushButton* b : {NorthButton, SouthButton, EastButton, WestButton}) b->setEnabled(pulses);
  SyncButton->setEnabled(pulses && ChartCentre != nullptr);
  CameraSettings->setEnabled(ImageSource->currentText() != "None");
  const bool rates = mount && TeleControl() && TeleControl()->CanSetGuideRates();
  for (QPushButton* b : {SlewRateSlow, SlewRateMid, SlewRateFast}) b->setEnabled(rates);
  const bool focuser = devices_.FocuserConnected();
  FocusIn->setEnabled(focuser);
  FocusOut->setEnabled(focuser);
  FocusMoveAmount->setEnabled(focuser);
  ShowFocuser();
  ExpTimeUpDown->setEnabled(idle && (!Logic.Camera() || Logic.Camera()->CanSetExposure));
  FilterwheelSettings->setEnabled(ShowFilterWheelWindow != nullptr);
  const bool acquire = Logic.SourceEnabled();
  for (QWidget* w : std::initializer_list<QWidget*>{OpenPathDialog, Path, DirName, FileName, SaveAsType})
    w->setEnabled(acquire);
}

// An absolute focuser goes to the typed position with "Go" and shows where
// it is; a relative one steps "In" and "Out".
void TIcForm1::ShowFocuser() {
  TFocuserControl* f = FocuserControl();
  const bool connected = f && f->Connected() && devices_.FocuserConnected();
  const int absolute = connected && f->GetAbsolute() ? 1 : 0;
  if (absolute != focuserShown_) {
    focuserShown_ = absolute;
    focusPosition_ = -999999;
    FocusLabel->setText(absolute ? "Position:" : "Step:");
    FocusOut->setText(absolute ? "Go" : "Out");
    FocusIn->setVisible(!absolute);
    FocusCurrentPosition->setVisible(absolute);
    if (!absolute) FocusCurrentPosition->setText("N/A");
  }
  if (absolute) {
    const int32_t p = f->GetPosition();
    if (p != focusPosition_) {
      focusPosition_ = p;
      FocusCurrentPosition->setText(p == -999999 ? "N/A" : QString::number(p));
    }
  }
}

void TIcForm1::LevelsToCounters() {
  const QSignalBlocker b1(LowUpDown), b2(HighUpDown);
  LowUpDown->setValue(CounterFromLevel(MinLevel->value()));
  HighUpDown->setValue(CounterFromLevel(MaxLevel->value()));
  Low->setText(QString::number(MinLevel->value()));
  High->setText(QString::number(MaxLevel->value()));
}

void TIcForm1::OpenPathDialogClick() {
  std::string chosen;
  if (!ChooseFolder(Text(Path), chosen)) return;
  Path->setText(QString::fromStdString(chosen));
  Logic.Path = chosen;
}

void TIcForm1::Image1Click() {
  int x = 0, y = 0;
  Zoom.Click(ScrollBox1->viewport()->width(), ScrollBox1->viewport()->height(), x, y);
  ScrollTo(ScrollBox1, x, y);
}

void TIcForm1::Image1DblClick(int atX, int atY) {
  // The point is the double click's own (its first press, unless that came
  // too soon after the last double click).
  Zoom.MouseDown(atX, atY, platform::TimeGetTime());
  int x = 0, y = 0;
  Zoom.DoubleClick(platform::TimeGetTime(), TZoom(ImageSize->currentIndex()), ScrollBox1->viewport()->width(),
                   ScrollBox1->viewport()->height(), x, y);
  ImageSize->setEnabled(!Zoom.ZoomedIn());
  ResizePicture();
  ScrollTo(ScrollBox1, x, y);
}

void TIcForm1::ResizePicture() {
  if (shown_.Width() <= 0) return;
  int w = 0, h = 0;
  const TZoom zoom = TZoom(ImageSize->currentIndex());
  ZoomedSize(zoom, Zoom.ZoomedIn(), shown_.Width(), shown_.Height(), ScrollBox1->viewport()->width(),
             ScrollBox1->viewport()->height(), w, h, zoomScale_);
  Image1->SetPicture(shown_, w, h);
}

void TIcForm1::SequenceTimer1Timer() {
  ToLogic();
  Logic.SequenceTimer1Timer();
  FromLogic();
}

void TIcForm1::CameraRemoved(const std::string& name, const std::string& reason) {
  ToLogic();
  Logic.RemoveCamera(name, reason);
  FromLogic();
}

void TIcForm1::ShowImage() {
  const TFitsBitmap* img = Logic.Image();
  if (!img || !img->HasData()) return;
  int lo = MinLevel->value(), hi = MaxLevel->value();
  auto& image = const_cast<TFitsBitmap&>(*img);
  ApplyLevels(image, AutoLevels->isChecked(), lo, hi);
  if (AutoLevels->isChecked()) {
    const QSignalBlocker b1(MinLevel), b2(MaxLevel);
    MinLevel->setValue(lo);
    MaxLevel->setValue(hi);
  }
  shown_ = platform::Bitmap(image.Width(), image.Height());
  shown_.Image() = image.Bitmap().Image().copy();
  int w = 0, h = 0;
  const TZoom zoom = TZoom(ImageSize->currentIndex());
  ZoomedSize(zoom, Zoom.ZoomedIn(), shown_.Width(), shown_.Height(), ScrollBox1->viewport()->width(),
             ScrollBox1->viewport()->height(), w, h, zoomScale_);
  DrawCrossHair(shown_, TCrossHair(CrossHair->currentIndex()), zoom, zoomScale_);
  Image1->SetPicture(shown_, w, h);
  if (image.Header.Simple) {
    // The levels' range follows the image's bits per pixel.
    const int top = LevelMaximum(image.Header.BitPix);
    {
      const QSignalBlocker b1(MinLevel), b2(MaxLevel), b3(LowUpDown), b4(HighUpDown);
      MinLevel->setMaximum(top);
      MaxLevel->setMaximum(top);
      LowUpDown->setMaximum(CounterFromLevel(top));
      HighUpDown->setMaximum(CounterFromLevel(top));
    }
    LevelsToCounters();
    platform::Bitmap hist(256, 64);
    int64_t mn = 0, mx = 0;
    TFitsHeader hh = image.Header;
    FitsHistogram(hh, image.Data(), hist, mn, mx);
    Image2->setPixmap(QPixmap::fromImage(hist.Image()));
  }
}

// --- Autoguider ------------------------------------------------------------------------------

TAutoGuideForm::TAutoGuideForm(const std::string& settingsFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), Logic(&mount_, FindCamera), folder_(settingsFolder) {
  setWindowTitle("Autoguiding");
  Logic.LoadSettings(folder_);
  AddExistingCameras(Logic.CameraList);
  ImageSource = new QComboBox;
  ImageSource->setMinimumWidth(160);
  GuideRate = new QComboBox;
  GuideRate->addItems({"R1", "R2", "R3"});
  ExposureTime = new QLineEdit;
  auto spin = [](int lo, int hi, int v) {
    auto* s = new QSpinBox;
    s->setRange(lo, hi);
    s->setValue(v);
    return s;
  };
  Porportional = spin(1, 99, Logic.Set.Porportional);
  Integral = spin(0, 60, Logic.Set.Integral);
  auto tenths = [](int v) {
    auto* s = new QDoubleSpinBox;
    s->setDecimals(1);
    s->setRange(0.1, 9.9);
    s->setSingleStep(0.1);
    s->setValue(v / 10.0);
    return s;
  };
  Sd = tenths(Logic.Set.StandardDeviation);
  Background = tenths(Logic.Set.Background);
  BacklashComp = new QCheckBox("Dec backlash comp.");
  BacklashComp->setChecked(Logic.Set.BacklashComp);
  SelectAStar = new QPushButton("&Preview/Select a Star");
  Calibrate = new QPushButton("Calibrate");
  Autoguide = new QPushButton("Guide");
  OffButton = new QPushButton("&Off");
  CameraSettings = new QPushButton("Camera settings");
  auto* group = new QButtonGroup(this);
  for (QPushButton* b : {SelectAStar, Calibrate, Autoguide, OffButton}) {
    b->setCheckable(true);
    group->addButton(b);
  }
  OffButton->setChecked(true);
  FwhmLabel = new QLabel("-");
  StatusBar = new QLabel;
  // Room for a reason of two lines below the settings, which cannot shrink.
  StatusBar->setWordWrap(true);
  StatusBar->setMinimumHeight(2 * StatusBar->fontMetrics().lineSpacing());
  Image1 = new TPictureView;
  ScrollBox1 = new QScrollArea;
  ScrollBox1->setWidget(Image1);
  ScrollBox1->setMinimumSize(420, 320);
  Image2 = new QLabel;
  Image2->setFixedSize(120, 120);
  Image2->setScaledContents(true);
  Image2->setStyleSheet("background: black");
  ExpTimeUpDown = new TUpDown(1, 20);
  ExposureTime->setText(QString::fromStdString(Logic.Set.Exposure));
  GuideRate->setCurrentIndex(Logic.Set.GuideRate);

  auto* form = new QFormLayout;
  form->addRow("Source", ImageSource);
  form->addRow(CameraSettings);
  auto* exposure = new QHBoxLayout;
  exposure->addWidget(ExposureTime);
  exposure->addWidget(ExpTimeUpDown);
  form->addRow("Exposure (s)", exposure);
  form->addRow("Guide rate", GuideRate);
  form->addRow("Proportional %", Porportional);
  form->addRow("Integral x/min.", Integral);
  form->addRow("Std. dev.", Sd);
  form->addRow("Background", Background);
  form->addRow(BacklashComp);
  for (QPushButton* b : {SelectAStar, Calibrate, Autoguide, OffButton}) form->addRow(b);
  form->addRow(FwhmLabel);
  form->addRow(Image2);
  auto* top = new QHBoxLayout;
  top->addLayout(form);
  top->addWidget(ScrollBox1, 1);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addWidget(StatusBar);
  platform::Bitmap empty(320, 240);
  empty.Fill((50u << 16) | (50u << 8) | 150u);
  Image1->SetPicture(empty, 320, 240);

  const std::pair<QPushButton*, TGuideMode> modes[] = {{SelectAStar, TGuideMode::Select},
                                                       {Calibrate, TGuideMode::Calibrate},
                                                       {Autoguide, TGuideMode::Guide},
                                                       {OffButton, TGuideMode::Off}};
  for (const auto& [button, m] : modes) {
    const TGuideMode mode = m;
    connect(button, &QPushButton::clicked, this, [this, mode] {
      ToLogic();
      Logic.Press(mode);
      FromLogic();
    });
  }
  connect(GuideRate, &QComboBox::activated, this, [this](int i) { Logic.GuideRateChange(i); });
  connect(CameraSettings, &QPushButton::clicked, this, [this] { ShowCameraSettings(ImageSource); });
  WireExposureUpDown(this, ExpTimeUpDown, ExposureTime, expStep_, [this] { return Logic.Camera(); }, true,
                     [this] { Logic.Set.Exposure = Text(ExposureTime); });
  // While selecting a star: a drag of 200 ms or more makes the guide box;
  // a shorter click clears it and, when there was none, scrolls the
  // clicked point to the centre.
  Image1->OnControlPress = [this](int x, int y) { pressControl_ = QPoint(x, y); };
  Image1->OnPress = [this](int x, int y) {
    if (Logic.Mode() != TGuideMode::Select) return;
    hadRect_ = Logic.BoxSize() > 0;
    dragStart_ = dragEnd_ = QPoint(x, y);
    pressTime_.start();
  };
  Image1->OnMove = [this](int x, int y) {
    if (dragStart_.x() >= 0) dragEnd_ = QPoint(x, y);
  };
  Image1->OnRelease = [this](int x, int y) {
    if (dragStart_.x() < 0) return;
    const QPoint start = dragStart_;
    dragStart_ = QPoint(-1, -1);
    if (pressTime_.elapsed() >= 200) {
      Logic.SetGuideBox(start.x(), start.y(), x, y);
    } else {
      Logic.ClearGuideBox();
      if (!hadRect_)
        ScrollTo(ScrollBox1, pressControl_.x() - int(std::nearbyint(ScrollBox1->viewport()->width() / 2.0)),
                 pressControl_.y() - int(std::nearbyint(ScrollBox1->viewport()->height() / 2.0)));
    }
    ShowGuideBox();
  };
  connect(&Sequence, &QTimer::timeout, this, [this] { SequenceTimer(); });
  Sequence.start(100);
  FromLogic();
}

TAutoGuideForm::~TAutoGuideForm() { Sequence.stop(); }

void TAutoGuideForm::SaveSettings() {
  ToLogic();
  Logic.SaveSettings(folder_);
}

void TAutoGuideForm::ToLogic() {
  Logic.ImageSource = ImageSource->currentText().isEmpty() ? "None" : ImageSource->currentText().toStdString();
  Logic.Set.Exposure = Text(ExposureTime);
  Logic.Set.Porportional = Porportional->value();
  Logic.Set.Integral = Integral->value();
  Logic.Set.StandardDeviation = int(std::lround(Sd->value() * 10));
  Logic.Set.Background = int(std::lround(Background->value() * 10));
  Logic.Set.BacklashComp = BacklashComp->isChecked();
}

void TAutoGuideForm::FromLogic() {
  FillSources(ImageSource, Logic.CameraList, Logic.ImageSource);
  ImageSource->setEnabled(Logic.Mode() == TGuideMode::Off);
  SelectAStar->setEnabled(Logic.Camera() != nullptr);
  Calibrate->setEnabled(Logic.Camera() && Logic.StarSelected());
  Autoguide->setEnabled(Logic.Camera() && Logic.Calibrated());
  QPushButton* down = Logic.Mode() == TGuideMode::Select      ? SelectAStar
                      : Logic.Mode() == TGuideMode::Calibrate ? Calibrate
                      : Logic.Mode() == TGuideMode::Guide     ? Autoguide
                                                              : OffButton;
  if (!down->isChecked()) down->setChecked(true);
  FwhmLabel->setText(QString::fromStdString(Logic.FwhmLabel()));
  StatusBar->setText(QString::fromStdString(Logic.Status()));
}

void TAutoGuideForm::SequenceTimer() {
  ToLogic();
  const TFitsBitmap* before = Logic.Image();
  Logic.Sequence();
  if (Logic.Image() && Logic.Image() != before) ShowGuideBox();
  FromLogic();
}

void TAutoGuideForm::CameraRemoved(const std::string& name, const std::string& reason) {
  ToLogic();
  Logic.RemoveCamera(name, reason);
  FromLogic();
}

// The camera's picture with the drag rectangle (red), the guide box and
// the star (yellow) and the lock position (green cross); `Image2` shows
// the guide box stretched to its size with the star's cross hair.
void TAutoGuideForm::ShowGuideBox() {
  const TFitsBitmap* img = Logic.Image();
  if (!img || !img->HasData()) return;
  platform::Bitmap pic(img->Width(), img->Height());
  pic.Image() = img->Bitmap().Image().copy();
  QPainter p(&pic.Image());
  if (dragStart_.x() >= 0) {
    p.setPen(QColor(255, 0, 0));
    p.drawRect(QRect(dragStart_, dragEnd_).normalized());
  }
  const QRect box(Logic.BoxLeft(), Logic.BoxTop(), Logic.BoxSize(), Logic.BoxSize());
  if (Logic.BoxSize() > 0) {
    p.setPen(QColor(255, 255, 0));
    p.drawRect(box);
  }
  if (Logic.LockX() >= 0) {
    p.setPen(QColor(0, 255, 0));
    p.drawLine(Logic.LockX() - 15, Logic.LockY(), Logic.LockX() + 15, Logic.LockY());
    p.drawLine(Logic.LockX(), Logic.LockY() - 15, Logic.LockX(), Logic.LockY() + 15);
  }
  if (Logic.StarX() >= 0) {
    p.setPen(QColor(255, 255, 0));
    p.drawEllipse(QPointF(Logic.StarX(), Logic.StarY()), 6, 6);
  }
  p.end();
  Image1->SetPicture(pic, pic.Width(), pic.Height());

  if (Logic.BoxSize() <= 0) {
    QPixmap black(Image2->size());
    black.fill(Qt::black);
    Image2->setPixmap(black);
    return;
  }
  // The box from the camera's picture (without the overlays), stretched.
  QImage zoomed = img->Bitmap().Image().copy(box).scaled(Image2->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  if (Logic.StarX() >= 0) {
    QPainter z(&zoomed);
    z.setPen(QColor(255, 255, 0));
    const double sx = double(zoomed.width()) / box.width(), sy = double(zoomed.height()) / box.height();
    const QPointF c((Logic.StarX() - box.left() + 0.5) * sx, (Logic.StarY() - box.top() + 0.5) * sy);
    z.drawLine(QPointF(0, c.y()), QPointF(zoomed.width(), c.y()));
    z.drawLine(QPointF(c.x(), 0), QPointF(c.x(), zoomed.height()));
  }
  Image2->setPixmap(QPixmap::fromImage(zoomed));
}

// --- The program's instances --------------------------------------------------------------------

namespace {

// What the first of the three windows made sets up for all of them: the
// camera simulator's pointing and the camera consumers (each asks for its
// window as it is, none while it does not exist).
void InstallImagingWindowServices() {
  // The camera simulator looks where the connected mount points. The mount
  // reports the chart's epoch (of date); the simulator draws J2000 stars.
  if (!SimCameraPointing)
    SimCameraPointing = [](double& ra, double& dec) {
      TTeleControl* tele = TeleControl();
      if (!tele || !tele->Connected()) return false;
      ra = tele->RightAscension();
      dec = tele->Declination();
      ChartToJ2000(ra, dec);
      return true;
    };
  // Driver cameras come and go through the ASCOM camera window.
  static bool registered = false;
  if (registered) return;
  registered = true;
  using Text = const std::string&;
  CameraConsumers().push_back({[](Text n) { if (g_ic) g_ic->Logic.AddCamera(n); },
                               [](Text n, Text why) { if (g_ic) g_ic->CameraRemoved(n, why); },
                               [](Text n) { return g_ic && g_ic->Logic.IsCameraSelected(n); }});
  CameraConsumers().push_back({[](Text n) { if (g_guide) g_guide->Logic.AddCamera(n); },
                               [](Text n, Text why) { if (g_guide) g_guide->CameraRemoved(n, why); },
                               [](Text n) { return g_guide && g_guide->Logic.IsCameraSelected(n); }});
  CameraConsumers().push_back({[](Text n) { if (g_solve) g_solve->Logic.AddCamera(n); },
                               [](Text n, Text why) { if (g_solve) g_solve->CameraRemoved(n, why); },
                               [](Text n) { return g_solve && g_solve->Logic.IsCameraSelected(n); }});
}

// Lets one window go, its settings written first unless the program's end
// has written them.
template <class Form>
void LetGo(QPointer<Form>& form) {
  if (form && !g_savedAtEnd) form->SaveSettings();
  delete form.data();
}

}  // namespace

void CreatePlateSolveWindow(QWidget* owner, const std::string& settingsFolder) {
  // The first of the three: the windows of an earlier run go.
  FreeImagingWindows();
  g_savedAtEnd = false;
  InstallImagingWindowServices();
  g_solve = new TPlateSolveForm1(settingsFolder, owner);
}

void CreateAutoGuideWindow(QWidget* owner, const std::string& settingsFolder) {
  LetGo(g_guide);
  InstallImagingWindowServices();
  g_guide = new TAutoGuideForm(settingsFolder, owner);
}

void CreateImagingConsoleWindow(QWidget* owner, const std::string& settingsFolder) {
  // The plate solver refers to the console: it lets go first.
  if (g_solve) g_solve->LinkConsole(nullptr);
  LetGo(g_ic);
  InstallImagingWindowServices();
  g_ic = new TIcForm1(settingsFolder, owner);
  if (g_solve) g_solve->LinkConsole(&g_ic->Logic);
}

void CreateImagingWindows(QWidget* owner, const std::string& settingsFolder) {
  CreatePlateSolveWindow(owner, settingsFolder);
  CreateAutoGuideWindow(owner, settingsFolder);
  CreateImagingConsoleWindow(owner, settingsFolder);
}

void FreeImagingWindows() {
  // Windows let go without the end's save (a main window destroyed without
  // its close) write their settings here, once. The plate solver refers to
  // the console: it goes first.
  LetGo(g_solve);
  LetGo(g_guide);
  LetGo(g_ic);
}

void SaveEveryImagingSetting(const std::string& imagingSettingsPath) {
  if (g_ic) g_ic->SaveSettings();
  if (g_guide) g_guide->SaveSettings();
  if (g_solve) g_solve->SaveSettings();
  g_savedAtEnd = true;
  StoreCameraSettings();
  SaveImagingSettings(imagingSettingsPath);
}

TIcForm1* IcForm1() { return g_ic.data(); }
TAutoGuideForm* AutoGuideForm() { return g_guide.data(); }
TPlateSolveForm1* PlateSolveForm1() { return g_solve.data(); }

namespace {
void ShowWindow(QWidget* w) {
  if (!w) return;
  w->show();
  w->raise();
  w->activateWindow();
}
}  // namespace

void ShowImagingConsole() { ShowWindow(g_ic.data()); }
void ShowAutoGuider() { ShowWindow(g_guide.data()); }
void ShowPlateSolve() { ShowWindow(g_solve.data()); }

bool StartImagingSequence() {
  if (!g_ic) return false;
  g_ic->Start->setChecked(true);  // runs StartClick through the button's handler
  return g_ic->Logic.StartDown();
}

bool ImagingSequenceRunning() { return g_ic && g_ic->Logic.StartDown(); }

}  // namespace imaging
