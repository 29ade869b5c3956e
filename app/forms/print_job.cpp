#include "app/forms/print_job.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <functional>
#include <memory>

#include "app/core/points_of_interest.h"
#include "app/forms/main_form.h"
#include "astro/observer.h"
#include "catalog/hooks.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/styles.h"
#include "platform/drawing.h"
#include "platform/dialogs.h"

TPrintForm1* PrintForm1 = nullptr;

QPrinter& MainPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
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

// The header block above the map: title, place and view lines, the date
// and times at the right, the magnitude scale and the object key.
void DrawHeader(QPainter& p, const QRect& area, const TPrintHeader& h, int scale,
                const std::function<void(int x, int y)>& drawScale) {
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
  p.drawText(area.left(), y, QStringLiteral("Object key:  OC   GC   DN   PN   GAL"));
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
  // Check that the printer starts before anything is changed for it.
  {
    QPainter probe;
    if (!probe.begin(&printer)) return false;
    probe.end();
  }
  if (options.blackAndWhite) ColorMode = 1;
  const int dpiX = printer.logicalDpiX(), dpiY = printer.logicalDpiY();
  PrintScale = PrintScaleForResolution(dpiX, dpiY);
  CreatePrinterFonts(dpiY);
  MakeDrawingColors();

  platform::DrawingContext dc(&printer);
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
    DrawHeader(p, QRect(page.left(), page.top(), page.width(), map.top() - page.top()), MakePrintHeader(*rec, view),
               PrintScale, [&](int x, int y) { form.Chart().DrawMagnitudeScale(dc, x, y, dpiX, dpiY, limit); });
  }
  return true;
}

void RunPrintCommand(TMainForm1& form) {
  if (!PrintForm1) PrintForm1 = new TPrintForm1(&form);
  if (!PrintForm1->Options.skipWindow && PrintForm1->exec() != QDialog::Accepted) return;
  PrintForm1->ControlsToOptions();
  if (!PrintStarMap(form, MainPrinter(), PrintForm1->Options))
    platform::ShowMessageBox("The printer could not be started.", "Noctra Planetarium", platform::MsgButtons::Ok,
                             platform::MsgIcon::Exclamation);
}

void RunPrinterSetup(QWidget* owner) {
  QPrintDialog dialog(&MainPrinter(), owner);
  dialog.exec();
}
