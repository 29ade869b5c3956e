// The main window: menus, the status bar with its five panels and the scroll
// box holding the chart paint box. For now it carries the file commands and
// the log; the chart, the heartbeat and the other menus join it later.
#pragma once

#include <QMainWindow>
#include <array>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QScrollArea;

// The chart's paint box. Painting copies from the back buffer, so the
// background is never erased first.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TMainForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm1(QWidget* parent = nullptr);
  ~TMainForm1() override;

  // Start-up of the running program: installs the Qt message boxes and file
  // dialogs and takes the current folder as data and program folder. Tests
  // build the window without it, keeping their dialog double.
  void FormCreate();

  // Menu commands.
  void Open1Click();
  void Save1Click();
  void Save2Click();
  void Exit1Click();
  void Log1Click();

  // Text of status panel 0..4.
  void SetStatusText(int panel, const std::string& text);
  std::string StatusText(int panel) const;

  QMenu* File1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* Save2 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Edit1 = nullptr;
  QAction* Log1 = nullptr;
  std::array<QLabel*, 5> StatusPanels{};
  QScrollArea* ScrollBox1 = nullptr;
  TPaintBox* PaintBox1 = nullptr;
};

extern TMainForm1* MainForm1;

// Widths of the status bar's panels in pixels.
inline constexpr std::array<int, 5> kStatusPanelWidths = {500, 175, 80, 300, 300};
