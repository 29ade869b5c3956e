// The main window: its global, the chart's paint box, construction and
// destruction, and the status bar's panels.
#include "app/forms/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolButton>

#include "app/core/points_of_interest.h"
#include "app/forms/main_form_parts.h"
#include "app/forms/poi_form.h"
#include "app/forms/print_job.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/cursor_watch.h"
#include "chart/inset_host.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "chart/screen_layout.h"
#include "imaging/ascom_camera.h"
#include "platform/gui_thread.h"
#include "platform/paths.h"
#include "script/forms/scr_edit_form.h"
#include "shell/file_commands.h"
#include "shell/globals.h"
#include "telescope/accessories.h"
#include "tools/find.h"
#include "tools/forms/information_forms.h"
#include "tools/location.h"

using namespace mainform;

TMainForm1* MainForm1 = nullptr;

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void TPaintBox::paintEvent(QPaintEvent* event) {
  if (MainForm1 && MainForm1->PaintBox1 == this) {
    MainForm1->PaintBox1Paint(event->rect());
    return;
  }
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
  if (MainForm1 && MainForm1->PaintBox1 == this)
    MainForm1->PaintBox1MouseDown(event->button() == Qt::RightButton ? 1 : 0, int(event->position().x()),
                                  int(event->position().y()));
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  if (MainForm1 && MainForm1->PaintBox1 == this)
    MainForm1->PaintBox1MouseMove(int(event->position().x()), int(event->position().y()));
}

TMainForm1::TMainForm1(QWidget* parent) : QMainWindow(parent), chart_(std::make_unique<TPendingChartView>()) {
  setWindowTitle(QStringLiteral("Noctra Planetarium"));
  MainForm1 = this;
  // Waits for devices run in full until this window's end gives them up.
  platform::ResumeWaits();
  MsCounter = [] { return platform::TimeGetTime(); };
  SystemClock = [] { return CurrentJulianDay(); };
  insets_ = ChartInsetHooks();
  ScreenSize = [] {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry().size() : QSize(1024, 768);
  };
  // A change of the screen's size or mode rebuilds the back buffer.
  if (QScreen* s = QGuiApplication::primaryScreen())
    connect(s, &QScreen::availableGeometryChanged, this, [this] { FormResize(); });

  BuildMenus();
  BuildPopups();

  // The panels keep their widths on a window wide enough for all five; on
  // a narrower one they share the bar in proportion to those widths and
  // clip their texts, instead of running over each other and off the bar.
  for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
    StatusPanels[i] = new QLabel(this);
    StatusPanels[i]->setMaximumWidth(kStatusPanelWidths[i]);
    StatusPanels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(StatusPanels[i], kStatusPanelWidths[i]);
  }

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setFrameShape(QFrame::NoFrame);
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setFocusPolicy(Qt::StrongFocus);
  PaintBox1 = new TPaintBox;
  ScrollBox1->setWidget(PaintBox1);
  setCentralWidget(ScrollBox1);

  const char* const tips[4] = {"Day back", "Hour back", "Hour fwd", "Day fwd"};
  const char* const arrows[4] = {"\u00ab", "\u2039", "\u203a", "\u00bb"};
  const double shifts[4] = {-1.0, -1.0 / 24.0, 1.0 / 24.0, 1.0};
  for (int i = 0; i < 4; ++i) {
    TimeButtons[i] = new QToolButton(PaintBox1);
    TimeButtons[i]->setAutoRaise(true);
    TimeButtons[i]->setFixedSize(17, 17);
    TimeButtons[i]->setToolTip(QString::fromUtf8(tips[i]));
    TimeButtons[i]->setText(QString::fromUtf8(arrows[i]));
    TimeButtons[i]->setFocusPolicy(Qt::NoFocus);
    TimeButtons[i]->move(-1000, -1000);
    connect(TimeButtons[i], &QToolButton::clicked, this, [this, d = shifts[i]] {
      if (!Keys.TelescopeConnected) ShiftTime(d);
    });
  }

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TMainForm1::Timer1Timer);
  Timer2 = new QTimer(this);
  Timer2->setInterval(2000);
  Timer2->setSingleShot(true);
  connect(Timer2, &QTimer::timeout, this, &TMainForm1::Timer2Timer);
  POIKeysTimer1 = new QTimer(this);
  POIKeysTimer1->setInterval(1500);
  POIKeysTimer1->setSingleShot(true);
  connect(POIKeysTimer1, &QTimer::timeout, this, &TMainForm1::POIKeysTimer1Timer);

  SetPOIHooks({[this](int n) { ShowPOIMenuSlot(n); }, [this](int n) { HidePOIMenuSlot(n); },
               [] {
                 if (POIForm) POIForm->RefreshGrid();
               },
               [this] {
                 Clearpointsofinterestlist1->setEnabled(POICount > 0);
                 Editpointsofinterest1->setEnabled(true);
               },
               // "Automatic" keeps the fixed field the magnifier shows now.
               [] {
                 double half = 0;
                 std::string caption;
                 MagnifierFieldCaption(kAutomaticFieldMode, half, caption);
                 return MagnifierZoomStep(half);
               }});

  MainWindowHandle = this;
  InstallInsetHosts();
}

TMainForm1::~TMainForm1() {
  FormDestroy();
  platform::SetSaveFailureSink(nullptr);  // an unattended end's log
  SetPOIHooks({});
  TheInsetHost = {};
  TheScreenLayoutHost = {};
  ClockButtonsMoved = nullptr;
  MagnifierHooks = {};
  SetChartClickHooks({});
  SetCursorHintSink(nullptr);
  MagnifierFieldModeChanged = nullptr;
  TScrEditForm1::OnDestroyed = nullptr;
  // Scripts fall back to the default host; the editor hooks go too.
  SetScriptHost(nullptr);
  SetScriptEditorHooks({});
  GlobalLocation.PickListChanged = nullptr;
  FindActions = {};
  OpenBrowserWindow = nullptr;
  AddPointOfInterestHook = nullptr;
  TelescopeGotoHook = nullptr;
  TelescopeSyncHook = nullptr;
  TelescopeConnected = nullptr;
  // The device controls go with this window's children.
  if (Devices.FocuserForm1) SetFocuserControl(nullptr);
  if (Devices.FilterWheelForm1) SetFilterWheelControl(nullptr);
  if (MainWindowHandle == this) MainWindowHandle = nullptr;
  if (MainForm1 == this) MainForm1 = nullptr;
}

void TMainForm1::SetStatusText(int panel, const std::string& text) {
  if (panel >= 0 && panel < int(StatusPanels.size())) StatusPanels[panel]->setText(QString::fromStdString(text));
}

std::string TMainForm1::StatusText(int panel) const {
  if (panel < 0 || panel >= int(StatusPanels.size())) return {};
  return StatusPanels[panel]->text().toStdString();
}
