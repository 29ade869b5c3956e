#include "tools/forms/information_forms.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "astro/observer.h"
#include "astro/timescales.h"
#include "astro/trig.h"
#include "catalog/object_catalog.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/screen_layout.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/single_window.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "tools/meteor_showers.h"
#include "tools/report_printing.h"
#include "tools/yearly_chart.h"

std::function<void(const std::string& url, const std::string& caption)> OpenBrowserWindow =
    [](const std::string& url, const std::string&) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); };
std::function<void(const std::string&, double, double)> AddPointOfInterestHook;
std::function<void(double, double)> TelescopeGotoHook;
std::function<void(double, double)> TelescopeSyncHook;
std::function<bool()> TelescopeConnected = [] { return false; };

namespace {
void Warn(const std::string& text, const std::string& caption) {
  platform::ShowMessageBox(text, caption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}
}  // namespace

void TellPrinterNotStarted(const QPrinter& printer) {
  std::string why;
  if (printer.outputFormat() != QPrinter::PdfFormat)
    why = "The printer \"" + printer.printerName().toStdString() + "\" did not take the job.";
  else if (printer.outputFileName().isEmpty())
    why = "No printer is installed, and no PDF file was chosen to print into.";
  else
    why = "The PDF file \"" + printer.outputFileName().toStdString() + "\" cannot be written.";
  Warn("The printer could not be started.\r\n" + why, "Noctra Planetarium");
}

bool PrintOnPrinter(QPrinter& printer, const TPrinterDraw& draw) {
  {
    platform::DrawingContext dc(&printer);
    // A printer that is gone, or a PDF file that cannot be written.
    if (!dc.IsActive()) {
      TellPrinterNotStarted(printer);
      return false;
    }
    PrintScale = PrintScaleForResolution(dc.DpiX(), dc.DpiY());
    MakeDrawingColors();
    draw(printer, dc, printer.width(), printer.height());
  }
  PrintScale = 1;
  MakeDrawingColors();
  return true;
}

void PrintReport(QWidget* parent, const QString& title, const TPrinterDraw& draw) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(title);
  QPrintDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return;
  PrintOnPrinter(printer, draw);
}

void PrintOnePage(QWidget* parent, const QString& title,
                  const std::function<void(platform::DrawingContext&, int, int)>& draw) {
  PrintReport(parent, title, [&](QPrinter&, platform::DrawingContext& dc, int w, int h) { draw(dc, w, h); });
}

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void PrintPage(QWidget* parent, const QString& title, const std::function<void(platform::DrawingContext&, int, int)>& draw) {
  PrintOnePage(parent, title, draw);
}

QLineEdit* Field(QFormLayout* form, const char* label) {
  auto* e = new QLineEdit;
  e->setReadOnly(true);
  form->addRow(label, e);
  return e;
}

QWidget* FormPage(QTabWidget* tabs, const char* title, QFormLayout*& form) {
  auto* page = new QWidget;
  form = new QFormLayout(page);
  tabs->addTab(page, title);
  return page;
}

// What Goto, Sync and Add POI take: a name and a mean J2000 place (radians).
struct TInfoTarget {
  std::string name;
  double ra = 0, dec = 0;
};

// Buttons under every information window; Goto, Sync and Add POI take the
// window's target at the moment they are pressed.
QHBoxLayout* Buttons(QDialog* d, std::function<void()> print, std::function<TInfoTarget()> target, QPushButton*& go,
                     QPushButton*& sync, QPushButton*& poi) {
  auto* row = new QHBoxLayout;
  auto* done = new QPushButton("&Done");
  auto* pr = new QPushButton("&Print");
  go = new QPushButton("&Goto");
  sync = new QPushButton("&Sync");
  poi = new QPushButton("&Add POI");
  for (auto* b : {done, pr, go, sync, poi}) row->addWidget(b);
  QObject::connect(done, &QPushButton::clicked, d, &QDialog::accept);
  QObject::connect(pr, &QPushButton::clicked, d, [print] { print(); });
  QObject::connect(go, &QPushButton::clicked, d, [target] {
    const TInfoTarget t = target();
    if (TelescopeGotoHook) TelescopeGotoHook(t.ra, t.dec);
  });
  QObject::connect(sync, &QPushButton::clicked, d, [target] {
    const TInfoTarget t = target();
    if (TelescopeSyncHook) TelescopeSyncHook(t.ra, t.dec);
  });
  QObject::connect(poi, &QPushButton::clicked, d, [target] {
    const TInfoTarget t = target();
    if (AddPointOfInterestHook) AddPointOfInterestHook(t.name, t.ra, t.dec);
  });
  return row;
}

// Goto and Sync need a connected mount; checked each time a window fills.
void EnableTelescopeButtons(QPushButton* go, QPushButton* sync) {
  const bool connected = TelescopeConnected && TelescopeConnected();
  go->setEnabled(connected);
  sync->setEnabled(connected);
}

// The place rows of the star and deep-sky windows, and their contents
// from the record's places (FillInfoPlaces).
template <class Form>
void AddPlaceFields(Form* w, QFormLayout* f) {
  w->RaEdit1 = Field(f, "Right Ascen:");
  w->DecEdit1 = Field(f, "Declination:");
  w->EpochEdit1 = Field(f, "Epoch:");
  w->RaEdit2 = Field(f, "Apparent Right Ascen:");
  w->DecEdit2 = Field(f, "Apparent Declination:");
  w->EpochEdit2 = Field(f, "Apparent Epoch:");
  w->AltEdit1 = Field(f, "Altitude:");
  w->AzmEdit1 = Field(f, "Azimuth:");
}
template <class Form, class Info>
void ShowPlaceFields(Form* w, const Info& s) {
  w->RaEdit1->setText(Q(s.RaJ2000));
  w->DecEdit1->setText(Q(s.DecJ2000));
  w->EpochEdit1->setText(Q(s.EpochJ2000));
  for (auto* e : {w->RaEdit2, w->DecEdit2, w->EpochEdit2}) e->setVisible(s.ShowApparent);
  w->RaEdit2->setText(Q(s.RaApparent));
  w->DecEdit2->setText(Q(s.DecApparent));
  w->EpochEdit2->setText(Q(s.EpochApparent));
  w->AltEdit1->setText(Q(s.Altitude));
  w->AzmEdit1->setText(Q(s.Azimuth));
}

}  // namespace

// --- Visibility box ------------------------------------------------------------

TVisibilityBox::TVisibilityBox(QWidget* parent) : QWidget(parent) { setMinimumSize(480, 300); }

void TVisibilityBox::SetChart(TYearlyChart c) {
  chart = std::move(c);
  image = QImage();
  update();
}

void TVisibilityBox::paintEvent(QPaintEvent*) {
  if (image.size() != size() && !chart.samples.empty()) {
    image = QImage(size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    platform::DrawingContext dc(&image);
    DrawYearlyChart(dc, 0, 0, width(), height(), chart);
  }
  QPainter p(this);
  if (!image.isNull()) p.drawImage(0, 0, image);
}

// --- Images page ---------------------------------------------------------------------

namespace {
class PictureBox : public QWidget {
 public:
  PictureBox(TImagesPage* page, bool square) : page_(page), square_(square) { setMinimumSize(200, 200); }
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (page_->picture.isNull()) return;
    const QRect r = square_ ? SquareFitRect(width(), height(), page_->picture.width(), page_->picture.height())
                            : ImagePageRect(width(), height(), page_->picture.width(), page_->picture.height());
    if (!r.isEmpty()) p.drawImage(r, page_->picture);
  }
 private:
  TImagesPage* page_;
  bool square_;
};
}  // namespace

std::function<QImage(const std::string&, std::string&)> TImagesPage::LoadPicture;

TImagesPage::TImagesPage(bool square, const std::string& filter, QWidget* parent)
    : QWidget(parent), square_(square), filter_(filter) {
  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  ImageComboBox1 = new QListWidget;
  Memo1 = new QPlainTextEdit;
  AddButton1 = new QPushButton("&Add...");
  RemoveButton1 = new QPushButton("&Remove");
  ZoomSpeedButton1 = new QPushButton("Zoom");
  left->addWidget(ImageComboBox1);
  left->addWidget(Memo1);
  auto* row = new QHBoxLayout;
  for (auto* b : {AddButton1, RemoveButton1, ZoomSpeedButton1}) row->addWidget(b);
  left->addLayout(row);
  layout->addLayout(left);
  ImagePaintBox1 = new PictureBox(this, square);
  layout->addWidget(ImagePaintBox1, 1);
  SglClickTimer1.setSingleShot(true);
  SglClickTimer1.setInterval(100);
  connect(ImageComboBox1, &QListWidget::itemClicked, this, [this] { SglClickTimer1.start(); });
  connect(&SglClickTimer1, &QTimer::timeout, this, [this] { ShowSelected(); });
  connect(ImageComboBox1, &QListWidget::itemDoubleClicked, this, [this] {
    SglClickTimer1.stop();
    ToggleDefault();
  });
  connect(Memo1, &QPlainTextEdit::textChanged, this, [this] { notesEdited_ = true; });
  connect(AddButton1, &QPushButton::clicked, this, [this] {
    platform::FileDialogOptions o;
    o.title = "Add picture";
    o.filter = filter_;
    const platform::FileDialogResult chosen = platform::Dialogs().FileDialog(o);
    if (!chosen.accepted || chosen.fileName.empty()) return;
    const std::string& path = chosen.fileName;
    SetImageListKey(kind_, number_);
    const auto res = AddImageListEntry({StoredPicturePath(path, programFolder), PictureTitleFromPath(path), ""});
    if (!res.ok) Warn(res.error, "Adding picture to list");
    shown_ = -2;
    Reload();
  });
  connect(RemoveButton1, &QPushButton::clicked, this, [this] {
    const int n = ImageComboBox1->currentRow();
    if (n < 0 || n > 2000) return;
    if (platform::ShowMessageBox("Are you sure?", "Removing picture from list", platform::MsgButtons::YesNo,
                                 platform::MsgIcon::Question, platform::IDNO) != platform::IDYES)
      return;
    SetImageListKey(kind_, number_);
    const auto res = DeleteImageListEntry(n);
    if (!res.ok) Warn(res.error, "Removing picture from list");
    shown_ = -2;
    Reload();
  });
  connect(ZoomSpeedButton1, &QPushButton::clicked, this, [this] {
    const int n = ImageComboBox1->currentRow();
    if (n < 0 || n >= int(entries.size()) || picture.isNull()) return;
    std::string title = entries[std::size_t(n)].title;
    if (!title.empty() && title.back() == '*') title.pop_back();
    TPictureViewerForm1 viewer(picture, Q(title), this);
    viewer.exec();
  });
}

void TImagesPage::Refresh(uint8_t kind, uint32_t number) {
  kind_ = kind;
  number_ = number;
  shown_ = -2;
  Reload();
}

void TImagesPage::Reload() {
  SaveNotes();
  SetImageListKey(kind_, number_);
  LoadImageList(entries);
  ImageComboBox1->clear();
  int select = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ImageComboBox1->addItem(Q(entries[i].title));
    if (entries[i].IsDefault() && select == 0 && !entries[0].IsDefault()) select = int(i);
  }
  const bool any = !entries.empty();
  RemoveButton1->setEnabled(any);
  Memo1->setEnabled(any);
  ZoomSpeedButton1->setEnabled(any);
  if (any) ImageComboBox1->setCurrentRow(select);
  ShowSelected();
}

void TImagesPage::ShowSelected() {
  const int n = ImageComboBox1->currentRow();
  if (n == shown_) return;
  SaveNotes();
  Memo1->blockSignals(true);
  Memo1->clear();
  if (n < 0 || n >= int(entries.size())) {
    picture = QImage();
  } else {
    Memo1->setPlainText(Q(entries[std::size_t(n)].notes));
    std::string path = entries[std::size_t(n)].path;
    if (path.find('/') == std::string::npos) path = programFolder + path;
    std::string why;
    picture = LoadPicture ? LoadPicture(path, why) : QImage(Q(path));
    if (picture.isNull()) {
      if (why.empty()) why = QFileInfo::exists(Q(path)) ? "Unknown image format" : "Image file not found";
      if (flashFailures) ShowFlashMessage(why, 3);
      else Warn(why, "Picture");
    }
  }
  Memo1->blockSignals(false);
  notesEdited_ = false;
  shown_ = n;
  ImagePaintBox1->update();
}

void TImagesPage::ToggleDefault() {
  const int n = ImageComboBox1->currentRow();
  if (n < 0 || n >= int(entries.size())) return;
  SetImageListKey(kind_, number_);
  for (int i = 0; i < int(entries.size()); ++i) {
    TImageListEntry& e = entries[std::size_t(i)];
    const bool want = i == n ? !e.IsDefault() : false;
    if (want == e.IsDefault()) continue;
    if (want) e.title += '*';
    else e.title.pop_back();
    UpdateImageListEntry(i, e);
    ImageComboBox1->item(i)->setText(Q(e.title));
  }
}

void TImagesPage::SaveNotes() {
  if (!notesEdited_ || shown_ < 0 || shown_ >= int(entries.size())) return;
  notesEdited_ = false;
  TImageListEntry& e = entries[std::size_t(shown_)];
  e.notes = Memo1->toPlainText().toStdString();
  SetImageListKey(kind_, number_);
  const auto res = UpdateImageListEntry(shown_, e);
  if (!res.warning.empty()) Warn(res.warning, "Picture notes");
}

// --- Picture viewer ----------------------------------------------------------------------

TPictureViewerForm1::TPictureViewerForm1(const QImage& pic, const QString& caption, QWidget* parent)
    : QDialog(parent), picture(pic) {
  setWindowTitle(caption.isEmpty() ? "Picture viewer" : caption);
  resize(std::min(pic.width(), 1600), std::min(pic.height(), 1000));
}

void TPictureViewerForm1::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = SquareFitRect(width(), height(), picture.width(), picture.height());
  if (!r.isEmpty()) p.drawImage(r, picture);
}

// --- Star information ----------------------------------------------------------------------

namespace {
// The size picture: the Sun's disc beside the star's, scaled by the
// diameter factor, with the designation and the three sentences.
class SizePicture : public QWidget {
 public:
  explicit SizePicture(const TStarInfo* info) : info_(info) {
    setMinimumSize(420, 220);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(20, 20, 40));
    p.setRenderHint(QPainter::Antialiasing);
    const int sunR = 8, cy = height() / 2;
    p.setBrush(QColor(255, 230, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(20 + sunR, cy), sunR, sunR);
    p.setPen(Qt::white);
    const double k = 0.2929;  // labels at the disc's corner: 1 - 1/sqrt(2) of the radius in
    p.drawText(QPoint(20 + int(2 * sunR * (1 - k)) + 2, cy - int(sunR * (1 - k)) - 2), "Sun");
    const int maxR = std::max(10, std::min(width() / 5, height() / 2 - 10));
    const int cx = 20 + 2 * sunR + 50 + maxR;
    if (info_->DiameterKnown) {
      const int r = std::clamp(int(sunR * info_->DiameterFactor), 1, maxR);
      // The colour the chart gives the star's class; white when unknown.
      const TColorRef c = info_->ColourClass >= 1 && info_->ColourClass <= 7 ? StarColors[0][info_->ColourClass]
                                                                               : MakeColorRef(255, 255, 255);
      p.setBrush(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
      p.setPen(Qt::NoPen);
      p.drawEllipse(QPoint(cx, cy), r, r);
    } else {
      p.drawText(QRect(cx - maxR, cy - 10, 2 * maxR, 20), Qt::AlignCenter, "No Data");
    }
    // The designation, the three sentences and how they were estimated,
    // wrapped into the room right of the discs.
    p.setPen(Qt::white);
    QStringList lines{QString::fromStdString(info_->Identification + (info_->Name.empty() ? "" : ", " + info_->Name))};
    for (const std::string& line : info_->Sentences) lines << QString::fromStdString(line);
    if (!info_->PhysicalNote.empty()) lines << QString() << QString::fromStdString(info_->PhysicalNote);
    const int tx = cx + maxR + 20;
    p.drawText(QRect(tx, 8, std::max(40, width() - tx - 8), height() - 16), Qt::AlignVCenter | Qt::TextWordWrap,
               lines.join('\n'));
  }
 private:
  const TStarInfo* info_;
};
}  // namespace

TInformationForm1::TInformationForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Star information");
  auto* layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget;
  QFormLayout* f;
  FormPage(PageControl1, "General", f);
  NameEdit1 = Field(f, "Common name:");
  IdentifyEdit1 = Field(f, "Identification:");
  SAOEdit1 = Field(f, "SAO #");
  BSCEdit1 = Field(f, "BSC #");
  HDEdit1 = Field(f, "HD #");
  VMagEdit1 = Field(f, "Visual Magnitude:");
  PCIEdit1 = Field(f, "Color Index:");
  AddPlaceFields(this, f);
  FormPage(PageControl1, "Physical properties", f);
  SpectEdit1 = Field(f, "MKK Spectral Class:");
  DistEdit1 = Field(f, "Distance:");
  PaintBox1 = new SizePicture(&info);
  f->addRow(PaintBox1);
  FormPage(PageControl1, "Other", f);
  ProperRaEdit1 = Field(f, "Proper motion RA:");
  ProperDecEdit1 = Field(f, "Proper motion Dec:");
  Memo1 = new QPlainTextEdit;
  Memo1->setReadOnly(true);
  Memo1->setFont(QFont("Liberation Mono"));
  f->addRow(Memo1);
  RiseSetPaintBox1 = new TVisibilityBox;
  PageControl1->addTab(RiseSetPaintBox1, "Visibility chart");
  layout->addWidget(PageControl1);
  layout->addLayout(Buttons(
      this, [this] { PrintBitBtn1Click(); },
      [this] { return TInfoTarget{StarPoiName(info), info.RaJ2000Rad, info.DecJ2000Rad}; }, Go, Sync, AddPOI));
}

bool TInformationForm1::ShowStar(uint32_t sao) {
  EnableTelescopeButtons(Go, Sync);
  PageControl1->setCurrentIndex(0);
  TStarInfo s;
  if (!LoadStarInfo(sao, ObserverTime, s)) return false;
  info = s;
  NameEdit1->setText(Q(s.Name));
  IdentifyEdit1->setText(Q(s.Identification));
  SAOEdit1->setText(Q(s.SaoText));
  BSCEdit1->setText(Q(s.BscText));
  HDEdit1->setText(Q(s.HdText));
  VMagEdit1->setText(Q(s.VMag + (s.Variable ? " (variable)" : "")));
  PCIEdit1->setText(Q(s.ColorIndex));
  ShowPlaceFields(this, s);
  SpectEdit1->setText(Q(s.Spectral));
  DistEdit1->setText(Q(s.Distance));
  DistEdit1->setToolTip(Q(s.DistanceHint));
  PaintBox1->update();
  ProperRaEdit1->setText(Q(s.ProperRA));
  ProperDecEdit1->setText(Q(s.ProperDec));
  Memo1->clear();
  for (const auto& line : s.Notes) Memo1->appendPlainText(Q(line));
  RiseSetPaintBox1->SetChart(MakeYearlyChartFor(s.RaShown, s.DecShown, ObserverTime));
  return true;
}

void TInformationForm1::PrintBitBtn1Click() {
  PrintPage(this, "Celestial Object Info", [this](platform::DrawingContext& dc, int w, int h) {
    DrawStarReportPage(dc, info, ObserverTime, LocationName, w, h);
  });
}

// --- Deep-sky information --------------------------------------------------------------------

TInformationForm2::TInformationForm2(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Celestial Object information");
  auto* layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget;
  QFormLayout* f;
  FormPage(PageControl1, "General", f);
  RNGCEdit1 = Field(f, "RNGC/IC #");
  ObjectIdEdit1 = Field(f, "Object type:");
  MagEdit1 = Field(f, "Visual Magnitude:");
  MessierEdit1 = Field(f, "Messier #");
  SizeEdit1 = Field(f, "Apparent Size:");
  AddPlaceFields(this, f);
  FormPage(PageControl1, "Description", f);
  OldNotesEdit1 = Field(f, "Description (1888 catalogue):");
  ExpandOldNotesMemo1 = new QPlainTextEdit;
  ExpandOldNotesMemo1->setReadOnly(true);
  f->addRow(ExpandOldNotesMemo1);
  NotesEdit1 = Field(f, "Description (newer RNGC)");
  ExpandNotesMemo1 = new QPlainTextEdit;
  ExpandNotesMemo1->setReadOnly(true);
  f->addRow(ExpandNotesMemo1);
  RiseSetPaintBox1 = new TVisibilityBox;
  PageControl1->addTab(RiseSetPaintBox1, "Visibility graph");
  FormPage(PageControl1, "Internet resources", f);
  SurveySelectComboBox1 = new QComboBox;
  SurveySelectComboBox1->addItems({"POSS2/UKSTU Red", "POSS2/UKSTU Blue", "POSS2/UKSTU IR", "POSS1 Red",
                                   "POSS1 Blue", "Quick-V", "HST Phase 2 (GSC2)", "HST Phase 2 (GSC1)"});
  f->addRow("Survey:", SurveySelectComboBox1);
  FOVComboBox1 = new QComboBox;
  for (int v : kSurveyFields) FOVComboBox1->addItem(QString::number(v));
  f->addRow("Field of view (arc minutes):", FOVComboBox1);
  auto* retrieve = new QPushButton("Retrieve Image");
  f->addRow(retrieve);
  connect(retrieve, &QPushButton::clicked, this, [this] { Button1Click(); });
  Images = new TImagesPage(false, "Image|*.jpg;*.jpeg;*.bmp|Fits Image|*.fts;*.fit");
  PageControl1->addTab(Images, "Images");
  layout->addWidget(PageControl1);
  layout->addLayout(Buttons(this, [this] {
    PrintPage(this, "Celestial Object Info", [this](platform::DrawingContext& dc, int w, int h) {
      DrawObjectReportPage(dc, info, ObserverTime, LocationName, w, h);
    });
  }, [this] { return TInfoTarget{ObjectPoiName(info), info.RaJ2000Rad, info.DecJ2000Rad}; }, Go, Sync, AddPOI));
}

void TInformationForm2::ShowCurrentObject() {
  EnableTelescopeButtons(Go, Sync);
  PageControl1->setCurrentIndex(0);
  if (!ObjectCatalog) return;
  {
    TObjectsLock lock;
    info = MakeObjectInfo(*ObjectCatalog, ObserverTime);
    objectKey = ObjectCatalog->Key;
  }
  const TObjectInfo& s = info;
  RNGCEdit1->setText(Q(s.DisplayName));
  ObjectIdEdit1->setText(Q(s.ObjectType));
  MagEdit1->setText(Q(s.Magnitude));
  MessierEdit1->setText(Q(s.Messier));
  MessierEdit1->setVisible(!s.Messier.empty());
  SizeEdit1->setText(Q(s.Size));
  ShowPlaceFields(this, s);
  OldNotesEdit1->setText(Q(s.OldNotes));
  ExpandOldNotesMemo1->setPlainText(Q(s.OldNotesExpanded));
  NotesEdit1->setText(Q(s.NewNotes));
  ExpandNotesMemo1->setPlainText(Q(s.NewNotesExpanded));
  FOVComboBox1->setCurrentIndex(s.FieldIndex);
  RiseSetPaintBox1->SetChart(MakeYearlyChartFor(s.RaShown, s.DecShown, ObserverTime));
  Images->programFolder = ProgramFolder;
  Images->Refresh(10, uint32_t(objectKey));
}

void TInformationForm2::Button1Click() {
  const std::string url =
      SurveyRequestUrl(SurveySelectComboBox1->currentIndex(), FOVComboBox1->currentIndex(), info.RaJ2000Rad, info.DecJ2000Rad);
  if (!url.empty() && OpenBrowserWindow) OpenBrowserWindow(url, url);
}

// --- Solar-system information -------------------------------------------------------------

namespace {
// The chart's scroll box: the chart three client widths wide and one client
// height high, the year buttons 9 pixels above its bottom at the corners.
class ChartScrollBox : public QScrollArea {
 public:
  explicit ChartScrollBox(TInformationForm3* form) : form_(form) {}
 protected:
  void resizeEvent(QResizeEvent* e) override {
    QScrollArea::resizeEvent(e);
    const QSize client = viewport()->size();
    if (QWidget* box = widget()) box->resize(3 * client.width(), client.height());
    if (!form_->BkYearButton1 || !form_->FwdYearButton1) return;
    const int side = 24, y = client.height() - 9 - side;
    form_->BkYearButton1->setGeometry(4, y, side, side);
    form_->FwdYearButton1->setGeometry(client.width() - 4 - side, y, side, side);
  }
 private:
  TInformationForm3* form_;
};
}  // namespace

TInformationForm3::TInformationForm3(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Solar System Object information");
  auto* layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget;
  QFormLayout* f;
  FormPage(PageControl1, "General", f);
  NameEdit1 = Field(f, "Name:");
  VMagEdit1 = Field(f, "Visual Magnitude:");
  AuLabel1 = new QLabel("Distance (AU):");
  AUEdit1 = new QLineEdit;
  AUEdit1->setReadOnly(true);
  f->addRow(AuLabel1, AUEdit1);
  AngSizeEdit1 = Field(f, "Angular Size:");
  ELatEdit1 = Field(f, "Ecl Lat:");
  ELongEdit1 = Field(f, "Ecl Long:");
  AstrometricTitle = new QLabel;
  f->addRow(AstrometricTitle);
  RaEdit1 = Field(f, "Right Ascen:");
  DecEdit1 = Field(f, "Declination:");
  EpochEdit1 = Field(f, "Epoch:");
  AltEdit1 = Field(f, "Altitude:");
  AzmEdit1 = Field(f, "Azimuth:");
  ElementsTabSheet1 = FormPage(PageControl1, "Orbital elements", f);
  PeriodLabel1 = new QLabel;
  PeriodEdit1 = new QLineEdit;
  PeriodEdit1->setReadOnly(true);
  f->addRow(PeriodLabel1, PeriodEdit1);
  InclEdit1 = Field(f, "Inclination:");
  EccEdit1 = Field(f, "Eccentricity:");
  SemiMajorLabel1 = new QLabel;
  DistEdit1 = new QLineEdit;
  DistEdit1->setReadOnly(true);
  f->addRow(SemiMajorLabel1, DistEdit1);
  PhysicalTabSheet1 = FormPage(PageControl1, "Physical properties", f);
  MassEdit1 = Field(f, "Mass:");
  DiamEdit1 = Field(f, "Diameter:");
  DenEdit1 = Field(f, "Average density (g/cc):");
  RiseSetTabSheet1 = new QWidget;
  RiseSetScrollBox1 = new ChartScrollBox(this);
  RiseSetScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RiseSetScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  RiseSetPaintBox1 = new TVisibilityBox;
  RiseSetPaintBox1->setMinimumSize(0, 0);
  RiseSetScrollBox1->setWidget(RiseSetPaintBox1);
  (new QVBoxLayout(RiseSetTabSheet1))->addWidget(RiseSetScrollBox1);
  BkYearButton1 = new QPushButton("-", RiseSetScrollBox1);
  BkYearButton1->setToolTip("Previous Year");
  FwdYearButton1 = new QPushButton("+", RiseSetScrollBox1);
  FwdYearButton1->setToolTip("Next year");
  connect(BkYearButton1, &QPushButton::clicked, this, [this] { StepYear(-1); });
  connect(FwdYearButton1, &QPushButton::clicked, this, [this] { StepYear(1); });
  PageControl1->addTab(RiseSetTabSheet1, "Visibility chart");
  Images = new TImagesPage(true, "Image|*.jpg;*.jpeg;*.bmp");
  Images->flashFailures = true;
  PageControl1->addTab(Images, "Images");
  layout->addWidget(PageControl1);
  auto target = [this] {
    std::string name = info.Name;
    for (const char* p : {"The planet ", "The asteroid ", "The comet "})
      if (name.rfind(p, 0) == 0) name = name.substr(std::string(p).size());
    return TInfoTarget{name, info.RaJ2000, info.DecJ2000};
  };
  layout->addLayout(Buttons(this, [this] { PrintBitBtn1Click(); }, target, Go, Sync, AddPOI));
  EnableTelescopeButtons(Go, Sync);
}

bool TInformationForm3::ShowBody(int k, int i) {
  if (!MakeSolSysInfo(k, i, ObserverTime, info)) return false;
  EnableTelescopeButtons(Go, Sync);
  kind = k;
  index = i;
  yearOffset = 0;
  int m, d;
  double h;
  JulianDayToDate(ObserverTime.JD_LocalStandard, year, m, d, h);
  const TSolSysInfo& s = info;
  NameEdit1->setText(Q(s.Name));
  VMagEdit1->setText(Q(s.Magnitude));
  AuLabel1->setText(Q(s.DistanceLabel));
  AUEdit1->setText(Q(s.Distance));
  AngSizeEdit1->setText(Q(s.AngularSize));
  ELatEdit1->setText(Q(s.EclLat));
  ELongEdit1->setText(Q(s.EclLong));
  AstrometricTitle->setText(Q(s.Title));
  RaEdit1->setText(Q(s.Ra));
  DecEdit1->setText(Q(s.Dec));
  EpochEdit1->setText(Q(s.Epoch));
  AltEdit1->setText(Q(s.Altitude));
  AzmEdit1->setText(Q(s.Azimuth));
  PeriodLabel1->setText(Q(s.PeriodLabel));
  PeriodEdit1->setText(Q(s.Period));
  InclEdit1->setText(Q(s.Inclination));
  EccEdit1->setText(Q(s.Eccentricity));
  SemiMajorLabel1->setText(Q(s.SemiMajorLabel));
  DistEdit1->setText(Q(s.SemiMajor));
  MassEdit1->setText(Q(s.Mass));
  DiamEdit1->setText(Q(s.Diameter));
  DenEdit1->setText(Q(s.Density));
  PageControl1->setTabVisible(PageControl1->indexOf(ElementsTabSheet1), s.ShowElements);
  PageControl1->setTabVisible(PageControl1->indexOf(PhysicalTabSheet1), s.ShowPhysical);
  PageControl1->setTabVisible(PageControl1->indexOf(RiseSetTabSheet1), s.ShowVisibility);
  PageControl1->setCurrentIndex(0);
  if (s.ShowVisibility) DrawChart();
  const uint8_t listKind = k == kSelectSolarSystem ? 1 : k == kSelectAsteroid ? 2 : 3;
  Images->programFolder = ProgramFolder;
  Images->Refresh(listKind, uint32_t(i));
  return true;
}

void TInformationForm3::StepYear(int delta) {
  const int y = year + yearOffset + delta;
  if (y >= 3000 || y < -2000) return;
  yearOffset += delta;
  DrawChart();
}

void TInformationForm3::DrawChart() {
  RiseSetScrollBox1->horizontalScrollBar()->setValue(0);
  ShowFlashMessage("Calculating, please wait...", 2);
  const int n = BodySampleCount(kind, index, VisibilityGraphSpan);
  if (!SampleBodyYear(kind, index, ObserverTime, year + yearOffset, n, sampleRa, sampleDec)) return;
  RiseSetPaintBox1->SetChart(MakeYearlyChart(n, sampleDec, sampleRa, year + yearOffset, ObserverTime,
                                             BodyPlaceFor(kind, index, ObserverTime)));
}

void TInformationForm3::PrintBitBtn1Click() {
  PrintPage(this, "Celestial Object Info", [this](platform::DrawingContext& dc, int w, int h) {
    DrawSolSysReportPage(dc, info, ObserverTime, LocationName, w, h,
                         [](platform::DrawingContext& d, int left, int top, int cw, int ch, const void* ctx) {
                           DrawYearlyChart(d, left, top, cw, ch, static_cast<const TVisibilityBox*>(ctx)->chart);
                         },
                         RiseSetPaintBox1);
  });
}

// --- Meteor showers ----------------------------------------------------------------------------

namespace {
class MeteorBox : public QWidget {
 public:
  explicit MeteorBox(TMeteorShowersForm1* form) : form_(form) { setMinimumSize(780, 409); }
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), Qt::white);
    platform::DrawingContext dc(this);
    DrawMeteorShowerPage(dc, width(), height(), form_->page);
  }
 private:
  TMeteorShowersForm1* form_;
};
}  // namespace

TMeteorShowersForm1::TMeteorShowersForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Meteor Showers");
  auto* layout = new QVBoxLayout(this);
  PaintBox1 = new MeteorBox(this);
  layout->addWidget(PaintBox1, 1);
  auto* row = new QHBoxLayout;
  BkButton1 = new QPushButton("-");
  BkButton1->setToolTip("Previous Page");
  FwdButton1 = new QPushButton("+");
  FwdButton1->setToolTip("Next Page");
  auto* print = new QPushButton("&Print");
  auto* ok = new QPushButton("&Done");
  for (auto* b : {BkButton1, FwdButton1, print, ok}) row->addWidget(b);
  layout->addLayout(row);
  BkButton1->hide();
  connect(BkButton1, &QPushButton::clicked, this, [this] { StepPage(-1); });
  connect(FwdButton1, &QPushButton::clicked, this, [this] { StepPage(1); });
  connect(print, &QPushButton::clicked, this, [this] { PrintBitBtn1Click(); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TMeteorShowersForm1::StepPage(int delta) {
  page = std::clamp(page + delta, 1, 2);
  FwdButton1->setVisible(page == 1);
  BkButton1->setVisible(page == 2);
  PaintBox1->update();
}

void TMeteorShowersForm1::PrintBitBtn1Click() {
  PrintReport(this, "Noctra Planetarium, Meteor Showers", [](QPrinter& printer, platform::DrawingContext& dc, int w, int h) {
    PrintMeteorShowerTable(dc, w, h, [&] { printer.newPage(); });
  });
}

// --- Entry points ----------------------------------------------------------------------------------

TInformationForm1* InformationForm1 = nullptr;
TInformationForm2* InformationForm2 = nullptr;
TInformationForm3* InformationForm3 = nullptr;
TMeteorShowersForm1* MeteorShowersForm1 = nullptr;

void ShowInformationForm1(uint32_t saoNumber) {
  TInformationForm1* form = platform::SingleWindow(InformationForm1, nullptr);
  if (form->ShowStar(saoNumber)) form->exec();
}

void ShowInformationForm2() {
  TInformationForm2* form = platform::SingleWindow(InformationForm2, nullptr);
  form->ShowCurrentObject();
  form->exec();
}

void ShowInformationForm3(int kind, int index) {
  TInformationForm3* form = platform::SingleWindow(InformationForm3, nullptr);
  if (form->ShowBody(kind, index)) form->exec();
}

void ShowMeteorShowersForm1() {
  TMeteorShowersForm1* form = platform::SingleWindow(MeteorShowersForm1, nullptr);
  form->page = 1;
  form->StepPage(0);
  form->exec();
}
