// The imaging windows: the imaging console (TIcForm1, "Imaging Console"),
// the autoguider (TAutoGuideForm, "Autoguiding") and plate solving
// (TPlateSolveForm1, "Plate Solving"). Each is a thin form over its logic
// (imaging/console.h, imaging/autoguider.h, imaging/plate_solve_logic.h):
// its timer calls the logic and the controls are copied to and from it.
// The main window creates them once and opens them through the Show
// functions.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "imaging/autoguider.h"
#include "imaging/console.h"
#include "imaging/console_display.h"
#include "imaging/forms/tele_mount.h"
#include "imaging/plate_solve_logic.h"
#include "platform/child_signals.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;

namespace imaging {

// A picture in a scroll area, stretched to the zoom's size; reports mouse
// presses, moves and releases in picture pixels. Only the part in view is
// drawn, from the picture itself: no magnified copy is made, whatever the
// zoom.
class TPictureView : public QWidget {
 public:
  explicit TPictureView(QWidget* parent = nullptr);
  // Shows `bitmap` (shared, not copied) stretched to width x height.
  void SetPicture(const platform::Bitmap& bitmap, int width, int height);
  std::function<void(int x, int y)> OnPress, OnMove, OnRelease;
  // In the control's own pixels: the press, a click (a release that does
  // not end a double click) and a double click.
  std::function<void(int x, int y)> OnControlPress;
  std::function<void()> OnClick;
  std::function<void(int x, int y)> OnDoubleClick;
  int PictureWidth() const { return picW_; }
  int PictureHeight() const { return picH_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  QPoint ToPicture(const QPoint& p) const;
  QImage picture_;
  QImage reduced_;  // the picture smoothed to the control's size, when smaller
  int picW_ = 0, picH_ = 0;
  bool endsDouble_ = false;
};

// A pair of arrows stepping through positions (the windows' up-down
// controls): the value is not shown.
class TUpDown : public QSpinBox {
 public:
  TUpDown(int minimum, int maximum, int step = 1, QWidget* parent = nullptr);

 protected:
  QString textFromValue(int) const override { return {}; }
};

class TIcForm1 : public QWidget {
 public:
  explicit TIcForm1(const std::string& settingsFolder, QWidget* parent = nullptr);
  ~TIcForm1() override;
  // Writes the window's settings to its file now.
  void SaveSettings();
  TImagingConsole Logic;

  QComboBox *ImageSource, *Filter, *Purpose, *SaveAsType, *ImageSize, *CrossHair;
  QLineEdit *ExposureTime, *ExposureNum, *Path, *DirName, *FileName, *FocusMoveAmount;
  QCheckBox *AdjustExposure, *AdjustFocus, *AllFilters, *AutoLevels;
  QPushButton *Preview, *Start, *NorthButton, *SouthButton, *EastButton, *WestButton, *FocusIn, *FocusOut;
  QPushButton *SlewRateSlow, *SlewRateMid, *SlewRateFast, *SyncButton, *CameraSettings;
  QPushButton *OpenPathDialog, *FilterwheelSettings;
  QSlider *MinLevel, *MaxLevel;
  QLineEdit *Low, *High, *FocusCurrentPosition;
  TUpDown *LowUpDown, *HighUpDown, *ExpTimeUpDown;
  QLabel *StatusBar1, *TempLabel2, *Image2, *FocusLabel;
  TPictureView* Image1;
  QScrollArea* ScrollBox1;
  QTimer SequenceTimer1;
  TZoomClick Zoom;

  // A camera goes (the camera window's Disconnect, a lost link): the
  // window lets it go at once, with `reason`, and shows it gone.
  void CameraRemoved(const std::string& name, const std::string& reason);
  void SequenceTimer1Timer();
  void ShowImage();
  void Image1Click();
  void Image1DblClick(int x, int y);
  void OpenPathDialogClick();

 private:
  void ResizePicture();
  void LevelsToCounters();
  void ShowFocuser();
  void ToLogic();
  void FromLogic();
  TConsoleDevices devices_;
  TTeleMount mount_;
  std::string folder_;
  platform::Bitmap shown_;
  double zoomScale_ = 1.0;
  int expStep_ = 10;
  // The focuser panel as last shown: -1 unknown, 0 relative, 1 absolute.
  int focuserShown_ = -1;
  int32_t focusPosition_ = -999999;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

class TAutoGuideForm : public QWidget {
 public:
  explicit TAutoGuideForm(const std::string& settingsFolder, QWidget* parent = nullptr);
  ~TAutoGuideForm() override;
  // Writes the window's settings to its file now.
  void SaveSettings();
  TAutoGuider Logic;

  QComboBox *ImageSource, *GuideRate;
  QLineEdit* ExposureTime;
  QSpinBox *Porportional, *Integral;
  // Threshold and background factor in tenths, shown as 0.1 .. 9.9.
  QDoubleSpinBox *Sd, *Background;
  QCheckBox* BacklashComp;
  QPushButton *SelectAStar, *Calibrate, *Autoguide, *OffButton, *CameraSettings;
  QLabel *FwhmLabel, *StatusBar, *Image2;
  TUpDown* ExpTimeUpDown;
  TPictureView* Image1;
  QScrollArea* ScrollBox1;
  QTimer Sequence;

  // A camera goes (the camera window's Disconnect, a lost link): the
  // window lets it go at once, with `reason`, and shows it gone.
  void CameraRemoved(const std::string& name, const std::string& reason);
  void SequenceTimer();

 private:
  void ToLogic();
  void FromLogic();
  void ShowGuideBox();
  TTeleGuideMount mount_;
  std::string folder_;
  QPoint dragStart_{-1, -1}, dragEnd_{-1, -1};
  QElapsedTimer pressTime_;  // since the press (the monotonic clock)
  bool hadRect_ = false;
  QPoint pressControl_;
  int expStep_ = 10;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

class TPlateSolveForm1 : public QWidget {
 public:
  TPlateSolveForm1(const std::string& settingsFolder, QWidget* parent = nullptr);
  ~TPlateSolveForm1() override;
  // The imaging console whose camera the solver shares (pausing its
  // sequence); null: none.
  void LinkConsole(TImagingConsole* console);
  // Writes the window's settings to its file now.
  void SaveSettings();
  TPlateSolveLogic Logic;

  QComboBox* ImageSource;
  QLineEdit *ExposureTime, *TimeToSolve, *SearchFieldSize, *RaEdit1, *DecEdit1, *RAGain, *DecGain,
      *PythonDirEdit, *XSize, *YSize, *ApiKeyEdit, *DropDirEdit1;
  QRadioButton *Local, *Nova, *SuperNova;
  TUpDown* ExpTimeUpDown;
  QPushButton* DropDirButton;
  QRadioButton *AutoNone, *AutoSolve, *AutoTimed, *AutoSync, *AutoGoto, *AutoSlew;
  QRadioButton *BothParity, *NegParity, *PosParity;
  QCheckBox *ReverseRA, *ReverseDec, *HSS, *SlewTwice;
  QRadioButton *TeleCoords, *MapCoords, *ManualCoords;
  QPushButton *SolveNow, *Abort, *CameraSettings;
  TPictureView* WImage1;
  // The status line: what the solver does, and why a solve failed.
  QLabel* StatusBar1;
  QTimer PlateSolveTimer1;

  // A camera goes (the camera window's Disconnect, a lost link): the
  // window lets it go at once, with `reason`, and shows it gone.
  void CameraRemoved(const std::string& name, const std::string& reason);
  void PlateSolveTimer1Timer();
  void DropDirButtonClick();

 private:
  void ToLogic();
  void FromLogic();
  void ShowServer();
  TTeleMount mount_;
  std::string folder_;
  int expStep_ = 10;
  QFormLayout* form_ = nullptr;
  QLayout* dropRow_ = nullptr;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

// The main chart's centre (J2000 right ascension and declination, radians),
// set by the main window: the console's Sync button and the plate solver's
// "chart" position hints use it. Empty: neither is offered.
extern std::function<bool(double& ra, double& dec)> ChartCentre;
// Shows the filter-wheel window, set by the main window: the console's
// filter-wheel settings button uses it. Empty: the button is disabled.
extern std::function<void()> ShowFilterWheelWindow;

// Each creates its window (hidden, owned by `owner`), which loads its
// settings from `settingsFolder` (ending in "/"; they are saved there by the
// program's end, SaveEveryImagingSetting) and is a camera consumer from
// then on. The program makes them in its windows' order: plate solving
// first (which lets the three windows of an earlier run go), the console
// last (the plate solver shares its camera from then on).
void CreatePlateSolveWindow(QWidget* owner, const std::string& settingsFolder);
void CreateAutoGuideWindow(QWidget* owner, const std::string& settingsFolder);
void CreateImagingConsoleWindow(QWidget* owner, const std::string& settingsFolder);
// The three in that order.
void CreateImagingWindows(QWidget* owner, const std::string& settingsFolder);
// Destroys them. Their settings are written first unless the program's end
// has written them (SaveEveryImagingSetting): each file once.
void FreeImagingWindows();
// Writes every imaging setting to its file, as the program's end does, once:
// the console's, the autoguider's and plate solving's files, and the
// cameras' settings into the camera settings file `imagingSettingsPath`.
// A file that cannot be written is told (platform::ReportSaveFailure).
void SaveEveryImagingSetting(const std::string& imagingSettingsPath);
TIcForm1* IcForm1();
TAutoGuideForm* AutoGuideForm();
TPlateSolveForm1* PlateSolveForm1();
// Show and raise each window (the main window's menu items).
void ShowImagingConsole();
void ShowAutoGuider();
void ShowPlateSolve();
// The sequencer's start of an imaging sequence: the console's Start button
// goes down (TIcForm1.StartClick). False without the console.
bool StartImagingSequence();
// True while the console's sequence runs.
bool ImagingSequenceRunning();

}  // namespace imaging
