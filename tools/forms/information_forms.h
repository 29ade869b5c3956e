// The information tools' windows: star, deep-sky and solar-system
// information, the events calendar, the meteor-shower table and the
// picture viewer. The main window opens each through its plain function;
// the windows call the logic of tools/ and only wire controls to it.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/events_calendar.h"
#include "tools/object_info.h"
#include "tools/picture_store.h"
#include "tools/solsys_info.h"
#include "tools/star_info.h"
#include "tools/yearly_chart.h"

class QLineEdit;
class QPrinter;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QLabel;
class QComboBox;
class QScrollArea;

// Hooks the main window and the telescope window fill in. Each receives a
// mean J2000 place (radians); the chart's precession epochs are not touched.
extern std::function<void(const std::string& url, const std::string& caption)> OpenBrowserWindow;
extern std::function<void(const std::string& name, double raJ2000, double decJ2000)> AddPointOfInterestHook;
extern std::function<void(double raJ2000, double decJ2000)> TelescopeGotoHook;
extern std::function<void(double raJ2000, double decJ2000)> TelescopeSyncHook;
extern std::function<bool()> TelescopeConnected;

// The visibility chart in a bitmap-backed widget: computed once, drawn
// into the bitmap at the widget's laid-out size when it is painted and
// again whenever that size changed.
class TVisibilityBox : public QWidget {
 public:
  explicit TVisibilityBox(QWidget* parent = nullptr);
  void SetChart(TYearlyChart c);
  TYearlyChart chart;
  QImage image;
 protected:
  void paintEvent(QPaintEvent*) override;
};

// The "Images" page of the deep-sky and solar-system windows.
class TImagesPage : public QWidget {
 public:
  // `filter`: the file dialog's "description|mask;mask|…" pairs.
  TImagesPage(bool square, const std::string& filter, QWidget* parent = nullptr);
  // Sets the list key and reloads the list.
  void Refresh(uint8_t kind, uint32_t number);
  // A picture that cannot be loaded ("Image file not found", "Unknown
  // image format") is told in a flash message when set, else in a box.
  bool flashFailures = false;
  // Reads a picture file: a null picture and the reason when it cannot.
  // The program installs the reader that knows FITS files; unset, the
  // toolkit's image readers.
  static std::function<QImage(const std::string& path, std::string& why)> LoadPicture;
  QListWidget* ImageComboBox1;
  QWidget* ImagePaintBox1;
  QPlainTextEdit* Memo1;
  QPushButton* AddButton1;
  QPushButton* RemoveButton1;
  QPushButton* ZoomSpeedButton1;
  std::vector<TImageListEntry> entries;
  QImage picture;
  std::string programFolder;

 private:
  void Reload();
  void ShowSelected();
  void ToggleDefault();
  void SaveNotes();
  bool square_;
  std::string filter_;
  uint8_t kind_ = 0;
  uint32_t number_ = 0;
  int shown_ = -2;
  bool notesEdited_ = false;
  QTimer SglClickTimer1;
};

class TInformationForm1 : public QDialog {
 public:
  explicit TInformationForm1(QWidget* parent = nullptr);
  // Fills the window for star `sao`; false (contents kept) when the star cannot be read.
  bool ShowStar(uint32_t sao);
  void PrintBitBtn1Click();
  TStarInfo info;
  QTabWidget* PageControl1;
  QLineEdit *NameEdit1, *IdentifyEdit1, *SAOEdit1, *BSCEdit1, *HDEdit1, *VMagEdit1, *PCIEdit1, *RaEdit1, *DecEdit1,
      *EpochEdit1, *RaEdit2, *DecEdit2, *EpochEdit2, *AltEdit1, *AzmEdit1, *SpectEdit1, *DistEdit1, *ProperRaEdit1,
      *ProperDecEdit1;
  QWidget* PaintBox1;  // the size picture
  QPlainTextEdit* Memo1;
  TVisibilityBox* RiseSetPaintBox1;
  QPushButton *Go, *Sync, *AddPOI;
};

class TInformationForm2 : public QDialog {
 public:
  explicit TInformationForm2(QWidget* parent = nullptr);
  // Fills the window for the object database's current object.
  void ShowCurrentObject();
  void Button1Click();
  TObjectInfo info;
  int32_t objectKey = 0;
  QTabWidget* PageControl1;
  QLineEdit *RNGCEdit1, *ObjectIdEdit1, *MagEdit1, *MessierEdit1, *SizeEdit1, *RaEdit1, *DecEdit1, *EpochEdit1,
      *RaEdit2, *DecEdit2, *EpochEdit2, *AltEdit1, *AzmEdit1, *OldNotesEdit1, *NotesEdit1;
  QPlainTextEdit *ExpandOldNotesMemo1, *ExpandNotesMemo1;
  QComboBox *SurveySelectComboBox1, *FOVComboBox1;
  TVisibilityBox* RiseSetPaintBox1;
  TImagesPage* Images;
  QPushButton *Go, *Sync, *AddPOI;
};

class TInformationForm3 : public QDialog {
 public:
  explicit TInformationForm3(QWidget* parent = nullptr);
  bool ShowBody(int kind, int index);
  void StepYear(int delta);
  void PrintBitBtn1Click();
  std::vector<double> sampleRa, sampleDec;  // the chart's samples, radians of date
  TSolSysInfo info;
  int kind = 0, index = -1, yearOffset = 0, year = 2000;
  QTabWidget* PageControl1;
  QLineEdit *NameEdit1, *VMagEdit1, *AUEdit1, *AngSizeEdit1, *ELatEdit1, *ELongEdit1, *RaEdit1, *DecEdit1, *EpochEdit1,
      *AltEdit1, *AzmEdit1, *PeriodEdit1, *InclEdit1, *EccEdit1, *DistEdit1, *MassEdit1, *DiamEdit1, *DenEdit1;
  QLabel *AuLabel1, *AstrometricTitle, *PeriodLabel1, *SemiMajorLabel1;
  QWidget *ElementsTabSheet1, *PhysicalTabSheet1, *RiseSetTabSheet1;
  // The chart three client widths wide in its scroll box, the year
  // buttons over the scroll box's lower corners.
  QScrollArea* RiseSetScrollBox1;
  TVisibilityBox* RiseSetPaintBox1;
  QPushButton *BkYearButton1 = nullptr, *FwdYearButton1 = nullptr;
  TImagesPage* Images;
  QPushButton *Go, *Sync, *AddPOI;

 private:
  void DrawChart();
};

class TGeneralReportForm1 : public QDialog {
 public:
  explicit TGeneralReportForm1(QWidget* parent = nullptr);
  // Starts the search of the month at `offset` months from the live date.
  void SetUpMonth();
  void StepMonth(int delta);
  void PrintBitBtn1Click();
  bool Searching() const { return Timer1.isActive(); }
  std::unique_ptr<TEventsCalendar> calendar;
  std::unique_ptr<TEventsCalendar> shown;  // the last complete month
  int monthOffset = 0;
  QTimer Timer1;
  QWidget* EventsPaintBox1;
  QLabel* Label1;
  QPushButton *FwdMonthButton1, *BkMonthButton1;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
};

class TMeteorShowersForm1 : public QDialog {
 public:
  explicit TMeteorShowersForm1(QWidget* parent = nullptr);
  void StepPage(int delta);
  void PrintBitBtn1Click();
  int page = 1;
  QWidget* PaintBox1;
  QPushButton *FwdButton1, *BkButton1;
};

class TPictureViewerForm1 : public QDialog {
 public:
  TPictureViewerForm1(const QImage& picture, const QString& caption, QWidget* parent = nullptr);
  QImage picture;
 protected:
  void paintEvent(QPaintEvent*) override;
};

// Prints through `draw` on `printer` (a printer or a PDF file, as the
// print dialog left it), with the print scale and drawing colours of the
// printer while it draws; `draw` starts further pages on the printer. A
// printer that does not start (gone, or a file that cannot be written) is
// told in a message box: false.
using TPrinterDraw = std::function<void(QPrinter&, platform::DrawingContext&, int w, int h)>;
bool PrintOnPrinter(QPrinter& printer, const TPrinterDraw& draw);
// The message box of a printer that does not start, with what it was: the
// PDF file that cannot be written, no printer and no file, or the printer.
void TellPrinterNotStarted(const QPrinter& printer);
// PrintOnPrinter on a printer the user chooses in the print dialog.
void PrintReport(QWidget* parent, const QString& title, const TPrinterDraw& draw);
// Prints one page through `draw` on a printer the user chooses.
void PrintOnePage(QWidget* parent, const QString& title,
                  const std::function<void(platform::DrawingContext&, int, int)>& draw);

// The single instances, shown modally: made hidden at start (the main
// window owns them) or, without it, when first shown.
extern TInformationForm1* InformationForm1;
extern TInformationForm2* InformationForm2;
extern TInformationForm3* InformationForm3;
extern TGeneralReportForm1* GeneralReportForm1;
extern TMeteorShowersForm1* MeteorShowersForm1;

void ShowInformationForm1(uint32_t saoNumber);
void ShowInformationForm2();
void ShowInformationForm3(int kind, int index);
void ShowGeneralReportForm1();
void ShowMeteorShowersForm1();
