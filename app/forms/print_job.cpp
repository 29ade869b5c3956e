#include "app/forms/print_job.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/core/points_of_interest.h"
#include "app/forms/main_form.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "catalog/hooks.h"
#include "catalog/object_catalog.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/layers.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "chart/styles.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/numfmt.h"
#include "platform/paths.h"
#include "platform/single_window.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "tools/auto_table.h"
#include "tools/forms/information_forms.h"

TPrintForm1* PrintForm1 = nullptr;

namespace {

// Set-up dialogs open on the main printer: it is neither printed on nor
// replaced under them.
int g_setupDialogsOpen = 0;

std::unique_ptr<QPrinter>& MainPrinterSlot() {
  static std::unique_ptr<QPrinter> printer;
  return printer;
}

// A printer whose start failed may stay "active" for ever (Qt leaves a PDF
// printer without a file so), refusing every later change and job: a new
// one takes its place with the user's choices.
void RenewMainPrinter() {
  const QPrinter& old = MainPrinter();
  auto fresh = std::make_unique<QPrinter>(QPrinter::HighResolution);
  fresh->setOutputFormat(old.outputFormat());
  if (old.outputFormat() == QPrinter::NativeFormat) fresh->setPrinterName(old.printerName());
  else fresh->setOutputFileName(old.outputFileName());
  fresh->setPageLayout(old.pageLayout());
  fresh->setColorMode(old.colorMode());
  fresh->setCopyCount(old.copyCount());
  fresh->setCollateCopies(old.collateCopies());
  fresh->setDuplex(old.duplex());
  MainPrinterSlot() = std::move(fresh);
}

// The PDF file chosen in Print Setup that a print could not write: until
// Print Setup is used again, each print asks for its file instead of
// failing on that one.
std::string g_unwritableSetupFile;
// The folder of the PDF file last printed into ("" none yet).
std::string g_lastPdfFolder;

// Whether anything (a file, a folder, a pipe, a broken link) has the name.
bool NameTaken(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// `path` when nothing has that name yet, else the first free
// "stem (2).pdf", "stem (3).pdf"... beside it.
std::string FreeName(const std::string& path) {
  if (!NameTaken(path)) return path;
  const std::filesystem::path p(path);
  const std::string stem = p.stem().string(), ext = p.extension().string();
  for (int n = 2;; ++n) {
    const std::string next = (p.parent_path() / (stem + " (" + std::to_string(n) + ")" + ext)).string();
    if (!NameTaken(next)) return next;
  }
}

// Asks for the PDF file of one print: the save dialog, proposing `proposed`
// (or a free name in the folder last used); a file that exists is written
// over only when the user says so, No choosing again. "" when cancelled.
std::string AskForPdfFile(std::string proposed) {
  for (;;) {
    if (proposed.empty()) {
      const std::string folder = g_lastPdfFolder.empty() ? DataFolder : g_lastPdfFolder;
      proposed = FreeName(platform::JoinPath(folder, "Star map.pdf"));
    }
    const std::filesystem::path p(proposed);
    platform::FileDialogOptions options;
    options.save = true;
    options.title = "Print into a PDF file";
    options.filter = "PDF files|*.pdf";
    options.defaultExt = "pdf";
    options.initialDir = p.parent_path().string();
    options.fileName = p.filename().string();
    const platform::FileDialogResult chosen = platform::Dialogs().FileDialog(options);
    if (!chosen.accepted || chosen.fileName.empty()) return {};
    if (!NameTaken(chosen.fileName)) return chosen.fileName;
    // No (choose another name) is the default: Return keeps the file.
    const int answer = platform::ShowMessageBox("File exists,\r\nOverwrite?", "Noctra Planetarium",
                                                platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question,
                                                platform::IDNO);
    if (answer == platform::IDYES) return chosen.fileName;
    if (answer != platform::IDNO) return {};
    proposed = FreeName(chosen.fileName);
  }
}

// The file one print into a PDF writes: the file chosen in Print Setup
// when nothing is there yet; where one is, the user says whether to write
// over it (No chooses another file), and a script, which never waits on
// that question, writes beside it under a free name. Without a file from
// Print Setup (none chosen, or one a print could not write) the user
// chooses one, first told why where no printer is installed. "" when the
// print is cancelled.
std::string PdfFileForPrint(const QPrinter& printer, bool fromScript) {
  const std::string setupFile = printer.outputFileName().toStdString();
  if (setupFile.empty()) {
    if (platform::ShowMessageBox("No printer is installed, and no PDF file was chosen in Print Setup.\r\n"
                                 "Choose a PDF file to print the star map into.",
                                 "Noctra Planetarium", platform::MsgButtons::OkCancel,
                                 platform::MsgIcon::Information) != platform::IDOK)
      return {};
    return AskForPdfFile({});
  }
  if (setupFile == g_unwritableSetupFile) return AskForPdfFile(FreeName(setupFile));
  if (!NameTaken(setupFile)) return setupFile;
  if (fromScript) {
    const std::string beside = FreeName(setupFile);
    LogLines().AddLine("[Print] " + setupFile + " exists and is kept: the script's map goes into " + beside);
    return beside;
  }
  const int answer = platform::ShowMessageBox(
      "The PDF file \"" + setupFile + "\" chosen in Print Setup exists.\r\nOverwrite it? No chooses another file.",
      "Noctra Planetarium", platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question, platform::IDNO);
  if (answer == platform::IDYES) return setupFile;
  if (answer == platform::IDNO) return AskForPdfFile(FreeName(setupFile));
  return {};
}

// Why `path` cannot take the PDF (the system's words, "Permission denied",
// or what stands in its place), "" when it can. Nothing is emptied, and
// what is not a regular file is never opened (the print would wait on a
// pipe for ever); a file made to find out is removed again.
std::string PdfFileProblem(const std::string& path) {
  const bool existed = NameTaken(path);
  std::string why;
  std::FILE* f = platform::OpenDataFileToWrite(path, true, &why);
  if (!f) return why.empty() ? std::string(std::strerror(errno)) : why;
  std::fclose(f);
  if (!existed) std::remove(path.c_str());
  return {};
}

// A print into a PDF file that could not be written: why, and the way out.
void TellPdfNotWritten(const std::string& path, const std::string& why) {
  platform::ShowMessageBox("The printer could not be started.\r\nThe PDF file \"" + path +
                               "\" cannot be written" + (why.empty() ? std::string() : ": " + why) +
                               ".\r\nChoose another file at the next print, or a printer or PDF file in "
                               "File > Print Setup.",
                           "Noctra Planetarium", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}

}  // namespace

QPrinter& MainPrinter() {
  std::unique_ptr<QPrinter>& printer = MainPrinterSlot();
  if (!printer) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer;
}

bool PrintStarMapOnMainPrinter(TMainForm1& form, const TPrintOptions& options) {
  if (g_setupDialogsOpen > 0) return false;
  if (PrintStarMap(form, MainPrinter(), options)) return true;
  RenewMainPrinter();
  return false;
}

TPrintForm1::TPrintForm1(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Print"));
  auto* layout = new QVBoxLayout(this);
  BWCheckBox1 = new QCheckBox(QStringLiteral("Print in high contrast B&&W"), this);
  MainViewCheckBox1 = new QCheckBox(QStringLiteral("Include Main View"), this);
  POICheckBox1 = new QCheckBox(QStringLiteral("Include Points of Interest"), this);
  POILabel = new QLabel(QStringLiteral("Print:"), this);
  AllPOIRadioButton1 = new QRadioButton(QStringLiteral("All POI )"), this);
  VisiblePOIRadioButton1 = new QRadioButton(QStringLiteral("Visible POI only"), this);
  ObjectListCheckBox1 = new QCheckBox(QStringLiteral("Include list of Objects"), this);
  for (QWidget* w : std::initializer_list<QWidget*>{BWCheckBox1, MainViewCheckBox1, POICheckBox1, POILabel,
                                                    AllPOIRadioButton1, VisiblePOIRadioButton1, ObjectListCheckBox1})
    layout->addWidget(w);
  auto* buttons = new QHBoxLayout;
  Button1 = new QPushButton(QStringLiteral("&Ok"), this);
  Button3 = new QPushButton(QStringLiteral("&Setup..."), this);
  Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
  for (QPushButton* b : {Button1, Button3, Button2}) buttons->addWidget(b);
  layout->addLayout(buttons);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, [this] { RunPrinterSetup(this); });
  for (QCheckBox* c : {MainViewCheckBox1, POICheckBox1})
    connect(c, &QCheckBox::toggled, this, [this] {
      ControlsToOptions();
      UpdateControls();
    });
  OptionsToControls();
}

void TPrintForm1::OptionsToControls() {
  // Setting a box must not copy the boxes not yet set back into Options.
  const QSignalBlocker mainView(MainViewCheckBox1), poi(POICheckBox1);
  BWCheckBox1->setChecked(Options.blackAndWhite);
  MainViewCheckBox1->setChecked(Options.mainView);
  POICheckBox1->setChecked(Options.pointsOfInterest);
  AllPOIRadioButton1->setChecked(Options.allPointsOfInterest);
  VisiblePOIRadioButton1->setChecked(!Options.allPointsOfInterest);
  ObjectListCheckBox1->setChecked(Options.objectList);
  UpdateControls();
}

void TPrintForm1::ControlsToOptions() {
  Options.blackAndWhite = BWCheckBox1->isChecked();
  Options.mainView = MainViewCheckBox1->isChecked();
  Options.pointsOfInterest = POICheckBox1->isChecked();
  Options.allPointsOfInterest = AllPOIRadioButton1->isChecked();
  Options.objectList = ObjectListCheckBox1->isChecked();
}

void TPrintForm1::UpdateControls() {
  const TPrintFormState s = PrintFormState(Options, POICount);
  POICheckBox1->setEnabled(s.poiEnabled);
  for (QWidget* w : std::initializer_list<QWidget*>{AllPOIRadioButton1, VisiblePOIRadioButton1, POILabel})
    w->setEnabled(s.poiChoiceEnabled);
  Button1->setEnabled(s.okEnabled);
}

void TPrintForm1::showEvent(QShowEvent* event) {
  OptionsToControls();
  QDialog::showEvent(event);
}

void TPrintForm1::hideEvent(QHideEvent* event) {
  ControlsToOptions();
  QDialog::hideEvent(event);
}

namespace {

// Restores what the job changed, on every way out.
struct TPrintRestore {
  TMainForm1& form;
  uint8_t colorMode = ColorMode;
  ~TPrintRestore() {
    ColorMode = colorMode;
    PrintScale = 1;
    CreateScreenFonts();
    MakeDrawingColors();
    CallHook(CatalogHooks().resumeCursorThread);
    CallHook(CatalogHooks().resumeMagnifierThread);
    form.RenderSuspended = false;
  }
};

QFont PrintFont(int points, bool bold = false) {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setPointSize(points);
  f.setBold(bold);
  return f;
}

// The object classes of the key, by class digit, with their labels; the
// object list names the classes by the same labels.
constexpr std::pair<int, const char*> kKeyClasses[] = {{1, "OC"}, {2, "GC"}, {3, "DN"}, {4, "PN"}, {5, "GAL"}};

// "Object key:" and the chart's own symbols of the five classes, each
// followed by its label, on the text line `y` (its baseline).
void DrawObjectKey(platform::DrawingContext& dc, int x, int y) {
  QPainter& p = dc.Painter();
  const QFontMetrics fm = p.fontMetrics();
  const QString caption = QStringLiteral("Object key:");
  p.setPen(Qt::black);
  p.drawText(x, y, caption);
  x += fm.horizontalAdvance(caption) + fm.horizontalAdvance(QLatin1Char('X'));
  const int r = std::max(3, fm.ascent() * 2 / 5);
  const int cy = y - fm.ascent() / 2 + fm.descent() / 2;
  for (const auto& [cls, label] : kKeyClasses) {
    p.save();
    DrawDeepSkyKeySymbol(dc, cls, x + r, cy, r, 1.0);
    p.restore();
    x += 2 * r + fm.horizontalAdvance(QLatin1Char(' '));
    p.setPen(Qt::black);
    p.drawText(x, y, QString::fromLatin1(label));
    x += fm.horizontalAdvance(QString::fromLatin1(label)) + 2 * fm.horizontalAdvance(QLatin1Char('X'));
  }
}

// The header block above the map: title, place and view lines, the date
// and times at the right, the magnitude scale and the object key.
void DrawHeader(platform::DrawingContext& dc, const QRect& area, const TPrintHeader& h, int scale,
                const std::function<void(int x, int y)>& drawScale) {
  QPainter& p = dc.Painter();
  p.fillRect(area, Qt::white);
  p.setPen(Qt::black);
  p.setFont(PrintFont(16, true));
  const int titleHeight = p.fontMetrics().height();
  p.drawText(area.left(), area.top() + titleHeight, QStringLiteral("Noctra Planetarium - Star map"));
  p.setFont(PrintFont(12));
  const int line = p.fontMetrics().height();
  int y = area.top() + int(titleHeight * 2.15);
  for (std::size_t i = 0; i < h.left.size(); ++i) {
    p.drawText(area.left(), y, QString::fromStdString(h.left[i]));
    y += i == 1 ? int(line * 1.5) : line;
  }
  int ry = area.top() + int(titleHeight * 2.15);
  const int right = area.right();
  auto rightText = [&](const std::string& s) {
    const QString q = QString::fromStdString(s);
    p.drawText(right - p.fontMetrics().horizontalAdvance(q), ry, q);
    ry += line;
  };
  rightText(h.date);
  for (const std::string& t : h.times) rightText(t);
  y = std::max(y, ry) + line / 2;
  p.setPen(QPen(Qt::black, 2 * scale));
  p.drawLine(area.left(), y, area.right(), y);
  y += line / 2;
  p.drawLine(area.left(), y, area.right(), y);
  p.setFont(PrintFont(10));
  y += line;
  const QString scaleCaption = QStringLiteral("Magnitude scale:");
  p.drawText(area.left(), y, scaleCaption);
  if (drawScale) drawScale(area.left() + p.fontMetrics().horizontalAdvance(scaleCaption) * 11 / 10, y - line / 3);
  y += int(line * 1.5);
  DrawObjectKey(dc, area.left(), y);
}


// The pages after the first part: each begins with the title line.
class TPrintPages {
 public:
  TPrintPages(QPrinter& printer, platform::DrawingContext& dc, const QRect& page, bool used)
      : printer_(printer), dc_(dc), page_(page), used_(used) {}
  // Starts a new page (the first one only when something was printed on
  // it) and returns the y below its title line.
  int NewPage(bool withTitle) {
    if (used_) printer_.newPage();
    used_ = true;
    return withTitle ? DrawTableTitle(dc_, page_.width()) + dc_.DpiY() / 6 : page_.top();
  }
  const QRect& Page() const { return page_; }

 private:
  QPrinter& printer_;
  platform::DrawingContext& dc_;
  QRect page_;
  bool used_;
};

// Field text ("15'", "2°"), orientation suffix and instrument
// name of a field-of-view mode.
struct TPoiField {
  std::string field;
  std::string orientation;  // ", mir&inv", ", inv", ", mir" or empty
  std::string instrument;   // eyepiece (or telescope) name, or empty
};

TPoiField PoiField(int32_t mode) {
  // The magnifier's own caption: "15' Field", "1° Field - mir&inv", ...
  TPoiField f;
  std::string caption = "no lastfieldselect";  // leaves the last eyepiece choice alone
  double halfField = 0;
  MagnifierFieldCaption(mode, halfField, caption);
  f.field = caption.substr(0, caption.find(" Field"));
  if (const std::size_t dash = caption.find(" - "); dash != std::string::npos)
    f.orientation = ", " + caption.substr(dash + 3);
  // A field of a telescope with an eyepiece: named by the eyepiece, else
  // the telescope.
  const int32_t t = (mode % 10000) / 100, e = mode / 10000;
  if (mode >= 101 && t >= 1 && t <= kMaxGridEntries && e >= 1 && e <= kMaxGridEntries && TelescopeValid[t] &&
      EyepieceValid[e] && FieldTable[t][e].TrueField > 0) {
    f.instrument = TrimBlanks(EyeGrid.Cells[e][0]);
    if (f.instrument.empty()) f.instrument = TrimBlanks(TeleGrid.Cells[t][0]);
  }
  return f;
}

// Step 5: the magnifier's view of each point of interest (all of them, or
// those above the horizon at the chart's instant, the only sky the
// magnifier shows), one below the other, with its description beside it.
// Returns the number of points printed.
int PrintPointsOfInterest(TPrintPages& pages, platform::DrawingContext& dc, bool all) {
  QPainter& p = dc.Painter();
  const QRect& page = pages.Page();
  TObserverTime observer = ObserverTime;
  observer.ClipBelowHorizon = 0;
  // Views of about three inches, at least three to a page.
  const int gap = dc.DpiY() / 4;
  const int side = std::min({3 * dc.DpiX(), page.width() / 2, (page.height() - 2 * dc.DpiY()) / 3 - gap});
  const QFont font(QStringLiteral("Liberation Serif"), 10);
  int y = -1, printed = 0;
  for (int32_t i = 1; i <= POICount; ++i) {
    double ra = 0, dec = 0;
    int32_t mode = 0;
    if (!GetPointOfInterest(i, ra, dec, mode)) continue;
    const double ra2000 = ra, dec2000 = dec;
    if (observer.PrecessionOn) Precess(observer, ra, dec);
    double alt = 0, az = 0;
    EquatorialToHorizontal(observer, alt, az, ra, dec);
    if (!all && !(alt > 0)) continue;
    if (y < 0 || y + side > page.bottom()) y = pages.NewPage(true);
    const TPoiField f = PoiField(mode);
    PlotMagnifierOnPage(dc, observer, ra, dec, mode, page.left(), y, side);
    const QRect view(page.left(), y, side, side);
    p.save();
    p.setPen(QPen(Qt::black, 2 * PrintScale));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(view);
    p.setFont(font);
    const int line = p.fontMetrics().height();
    const int tx = view.right() + gap;
    int ty = y + side / 2 - line;
    const std::string lines[3] = {
        "Limiting magnitude = " + platform::FormatFixed(kMagnifierFaintestMagnitude, 0, 1),
        "Center at " + TrimBlanks(FormatRA_HM(ra2000)) + " RA, " + TrimBlanks(FormatDegMin(dec2000)) + " Dec" +
            " (FOV = " + f.field + ")" + f.orientation,
        "Point of Interest #" + std::to_string(i) + " - " + POITable[std::size_t(i)].Name +
            (f.instrument.empty() ? "" : " w/" + f.instrument)};
    for (const std::string& text : lines) {
      p.drawText(tx, ty, QString::fromStdString(text));
      ty += line;
    }
    p.restore();
    y += side + gap;
    ++printed;
  }
  return printed;
}

// One row of the object list for the database's current object.
std::string ObjectListRow(const tCO& o) {
  // Commas inside a cell are doubled (TAutoTable's rule).
  auto cell = [](std::string text) {
    for (std::size_t k = text.find(','); k != std::string::npos; k = text.find(',', k + 2)) text.insert(k, 1, ',');
    return text;
  };
  // The class by its key label (a cluster with nebula "OC+DN"), so that
  // the cell fits its column; other classes by their text.
  std::string cls = TrimBlanks(o.ClassText());
  if (o.CL.size() == 1) {
    for (const auto& [digit, label] : kKeyClasses)
      if (o.CL[0] == char('0' + digit)) cls = label;
    if (o.CL[0] == '6') cls = "OC+DN";
  }
  const int messier = DeepSkyMessierNumber(o);
  std::string name = o.DisplayName() + " " + cls;
  if (messier > 0) name = "(M" + std::to_string(messier) + "), " + name;
  const std::string mag = o.Mv >= kNoMagnitude ? std::string() : TrimBlanks(platform::FormatFixed(o.Mv, 0, 1));
  return cell(o.CatalogName() + " " + o.ID + o.SubID) + "," + cell(name) + "," + TrimBlanks(FormatRA_HMS(o.RA)) +
         "," + TrimBlanks(FormatDMS(o.DE)) + "," + mag;
}

// Step 6: the objects of the chart, one row each, from a new page on.
// The rows are read under the object lock; the pages are drawn after it.
// Returns the number of rows.
int PrintObjectList(TPrintPages& pages, platform::DrawingContext& dc, const std::vector<int32_t>& records) {
  if (records.empty() || !ObjectCatalog) return 0;
  std::vector<std::string> rows;
  rows.reserve(records.size());
  {
    TObjectsLock lock;
    for (int32_t r : records)
      if (ObjectCatalog->SeekRecord(r)) rows.push_back(ObjectListRow(*ObjectCatalog));
  }
  if (rows.empty()) return 0;
  const std::string epoch = "J2000";
  TAutoTable table;
  table.Title = "Noctra Planetarium";
  table.Header = "Objects on the star map";
  pages.NewPage(false);
  if (!table.AddLine(dc, pages.Page().width(), pages.Page().height(),
                     "CATALOG#:100,IDENTIFICATION:200,RA " + epoch + ":100,Dec " + epoch + ":100,Mag.:085"))
    return 0;
  for (std::size_t k = 0; k < rows.size(); ++k)
    if (table.Draw(dc, rows[k]) && k + 1 < rows.size()) pages.NewPage(false);
  return int(rows.size());
}

}  // namespace

bool PrintStarMap(TMainForm1& form, QPrinter& printer, const TPrintOptions& options) {
  // No thread may draw while the plotters print: pause the overlay threads,
  // wait for a star load (handling events, so its hand-overs to this thread
  // complete), then suspend rendering.
  CallHook(CatalogHooks().pauseMagnifierThread);
  CallHook(CatalogHooks().pauseCursorThread);
  TPrintRestore restore{form};
  WaitForStarLoad();
  form.RenderSuspended = true;

  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setDocName(QStringLiteral("Star map"));
  // The document begins here, once (a printer sends every begun document):
  // nothing is changed for a printer that does not start.
  platform::DrawingContext dc(&printer);
  if (!dc.IsActive()) return false;
  if (options.blackAndWhite) ColorMode = 1;
  const int dpiX = printer.logicalDpiX(), dpiY = printer.logicalDpiY();
  PrintScale = PrintScaleForResolution(dpiX, dpiY);
  CreatePrinterFonts(dpiY);
  MakeDrawingColors();

  QPainter& p = dc.Painter();
  const QRect page = p.viewport();
  if (options.mainView) {
    // A square map (in physical units) at the bottom of the page.
    const int mapW = page.width();
    const int mapH = std::min(page.height() * 2 / 3, int(double(mapW) * dpiY / dpiX));
    const QRect map(page.left(), page.bottom() + 1 - mapH, mapW, mapH);
    p.save();
    p.setClipRect(map);
    form.Chart().PlotOnPage(dc, map.left(), map.top(), mapW, mapH, dpiX, dpiY);
    p.restore();
    p.setPen(QPen(Qt::black, 2 * PrintScale));
    p.setBrush(Qt::NoBrush);
    p.drawRect(map.adjusted(PrintScale, PrintScale, -PrintScale, -PrintScale));

    TPrintedView view;
    view.locationName = LocationName;
    view.fullView = form.Chart().FullView();
    view.centreRA = form.Chart().CentreRA();
    view.centreDec = form.Chart().CentreDec();
    view.zoom = form.Chart().Zoom();
    view.faintLimit = StarOptions.HighMagLimit;
    auto rec = std::make_unique<TObserverTime>(ObserverTime);
    const double limit = PrintedLimitingMagnitude(view.zoom, view.faintLimit);
    DrawHeader(dc, QRect(page.left(), page.top(), page.width(), map.top() - page.top()), MakePrintHeader(*rec, view),
               PrintScale, [&](int x, int y) { form.Chart().DrawMagnitudeScale(dc, x, y, dpiX, dpiY, limit); });
  }
  TPrintPages pages(printer, dc, page, options.mainView);
  if (options.pointsOfInterest && POICount > 0) PrintPointsOfInterest(pages, dc, options.allPointsOfInterest);
  if (options.objectList) PrintObjectList(pages, dc, form.Chart().ObjectRecords());
  return true;
}

TPrintOutcome PrintStarMapCommand(TMainForm1& form, const TPrintOptions& options, bool fromScript) {
  QPrinter& printer = MainPrinter();
  if (g_setupDialogsOpen > 0 || printer.outputFormat() != QPrinter::PdfFormat) {
    if (PrintStarMapOnMainPrinter(form, options)) return TPrintOutcome::Printed;
    // Told with the renewed printer: it carries the failed one's choices.
    TellPrinterNotStarted(MainPrinter());
    return TPrintOutcome::Failed;
  }
  const std::string setupFile = printer.outputFileName().toStdString();
  const std::string file = PdfFileForPrint(printer, fromScript);
  if (file.empty()) return TPrintOutcome::Cancelled;
  std::string why = PdfFileProblem(file);
  bool printed = false;
  if (why.empty()) {
    printer.setOutputFileName(QString::fromStdString(file));
    printed = PrintStarMapOnMainPrinter(form, options);
    // The printer keeps Print Setup's file (a renewed one too), never this
    // print's: the next print asks again. (No file name would make it a
    // native printer.)
    MainPrinter().setOutputFileName(QString::fromStdString(setupFile));
    MainPrinter().setOutputFormat(QPrinter::PdfFormat);
  }
  if (printed) {
    g_lastPdfFolder = std::filesystem::path(file).parent_path().string();
    return TPrintOutcome::Printed;
  }
  if (file == setupFile) g_unwritableSetupFile = setupFile;
  TellPdfNotWritten(file, why);
  return TPrintOutcome::Failed;
}

void RunPrintCommand(TMainForm1& form) {
  platform::SingleWindow(PrintForm1, &form);
  if (!PrintForm1->Options.skipWindow && PrintForm1->exec() != QDialog::Accepted) return;
  PrintForm1->ControlsToOptions();
  PrintStarMapCommand(form, PrintForm1->Options, false);
}

void MakePrinterSetupDialog(QPrintDialog& dialog) {
  // The set-up only keeps the printer's choices for the next print: the
  // dialog says so instead of "Print".
  dialog.setWindowTitle(QStringLiteral("Print Setup"));
  for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>())
    if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
}

void RunPrinterSetup(QWidget* owner) {
  QPrintDialog dialog(&MainPrinter(), owner);
  MakePrinterSetupDialog(dialog);
  ++g_setupDialogsOpen;
  // A new choice there is tried again, whatever an earlier print found.
  if (dialog.exec() == QDialog::Accepted) g_unwritableSetupFile.clear();
  --g_setupDialogsOpen;
}

TPrintOptions ScriptPrintChoices(const TScriptPrintOptions& o) {
  TPrintOptions p;
  p.blackAndWhite = o.blackWhite;
  p.mainView = o.chart;
  p.pointsOfInterest = o.pointsOfInterest;
  p.allPointsOfInterest = o.allPoints;
  p.objectList = o.summary;
  p.skipWindow = true;
  return p;
}
