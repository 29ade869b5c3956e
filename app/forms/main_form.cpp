#include "app/forms/main_form.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QStatusBar>

#include "app/core/file_commands.h"
#include "app/forms/log_form.h"
#include "app/globals.h"
#include "platform/paths.h"
#include "platform/qt_dialogs.h"

TMainForm1* MainForm1 = nullptr;

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void TPaintBox::paintEvent(QPaintEvent*) {
  // Until the chart draws into the back buffer the area stays black.
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
}

TMainForm1::TMainForm1(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Noctra Planetarium"));

  File1 = menuBar()->addMenu(QStringLiteral("&File"));
  Open1 = File1->addAction(QStringLiteral("&Open..."), this, &TMainForm1::Open1Click);
  Open1->setShortcut(QKeySequence(Qt::Key_F3));
  Save1 = File1->addAction(QStringLiteral("&Save"), this, &TMainForm1::Save1Click);
  Save1->setShortcut(QKeySequence(Qt::Key_F2));
  Save2 = File1->addAction(QStringLiteral("Save &As..."), this, &TMainForm1::Save2Click);
  File1->addSeparator();
  Exit1 = File1->addAction(QStringLiteral("E&xit"), this, &TMainForm1::Exit1Click);

  Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
  Log1 = Edit1->addAction(QStringLiteral("&Log..."), this, &TMainForm1::Log1Click);

  for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
    StatusPanels[i] = new QLabel(this);
    StatusPanels[i]->setFixedWidth(kStatusPanelWidths[i]);
    StatusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(StatusPanels[i]);
  }

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setFrameShape(QFrame::NoFrame);
  ScrollBox1->setWidgetResizable(true);
  ScrollBox1->setFocusPolicy(Qt::StrongFocus);
  PaintBox1 = new TPaintBox;
  ScrollBox1->setWidget(PaintBox1);
  setCentralWidget(ScrollBox1);

  MainWindowHandle = this;
}

TMainForm1::~TMainForm1() {
  if (MainWindowHandle == this) MainWindowHandle = nullptr;
  if (MainForm1 == this) MainForm1 = nullptr;
}

void TMainForm1::FormCreate() {
  platform::InstallQtDialogs();
  DataFolder = platform::CurrentFolder();
  ProgramFolder = DataFolder;
}

void TMainForm1::Open1Click() { OpenCommand(); }
void TMainForm1::Save1Click() { SaveCommand(); }
void TMainForm1::Save2Click() { SaveAsCommand(); }
void TMainForm1::Exit1Click() { close(); }

void TMainForm1::Log1Click() {
  if (LogForm) LogForm->ShowLog();
}

void TMainForm1::SetStatusText(int panel, const std::string& text) {
  if (panel >= 0 && panel < int(StatusPanels.size())) StatusPanels[panel]->setText(QString::fromStdString(text));
}

std::string TMainForm1::StatusText(int panel) const {
  if (panel < 0 || panel >= int(StatusPanels.size())) return {};
  return StatusPanels[panel]->text().toStdString();
}
