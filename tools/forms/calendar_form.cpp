// The events calendar window: the month searched day by day on its timer
// with the progress in the flash window, then drawn; month steps and print.
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "astro/observer.h"
#include "astro/timescales.h"
#include "platform/drawing.h"
#include "platform/single_window.h"
#include "shell/messages.h"
#include "tools/forms/information_forms.h"
#include "tools/report_printing.h"

// --- Events calendar --------------------------------------------------------------------------

namespace {
class CalendarBox : public QWidget {
 public:
  explicit CalendarBox(TGeneralReportForm1* form) : form_(form) { setMinimumSize(700, 560); }
 protected:
  void paintEvent(QPaintEvent*) override {
    if (!form_->shown) return;
    platform::DrawingContext dc(this);
    DrawCalendarMonth(dc, *form_->shown, width(), height(), false, 1);
  }
 private:
  TGeneralReportForm1* form_;
};
}  // namespace

TGeneralReportForm1::TGeneralReportForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Celestial events");
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel;
  layout->addWidget(Label1);
  EventsPaintBox1 = new CalendarBox(this);
  layout->addWidget(EventsPaintBox1, 1);
  auto* row = new QHBoxLayout;
  BkMonthButton1 = new QPushButton("-");
  BkMonthButton1->setToolTip("Previous month");
  FwdMonthButton1 = new QPushButton("+");
  FwdMonthButton1->setToolTip("Next month");
  auto* print = new QPushButton("&Print");
  auto* done = new QPushButton("&Done");
  for (auto* b : {BkMonthButton1, FwdMonthButton1, print, done}) row->addWidget(b);
  layout->addLayout(row);
  connect(BkMonthButton1, &QPushButton::clicked, this, [this] { StepMonth(-1); });
  connect(FwdMonthButton1, &QPushButton::clicked, this, [this] { StepMonth(1); });
  connect(print, &QPushButton::clicked, this, [this] { PrintBitBtn1Click(); });
  connect(done, &QPushButton::clicked, this, &QDialog::close);
  Timer1.setInterval(1);
  connect(&Timer1, &QTimer::timeout, this, [this] {
    const bool done = !calendar || calendar->SearchNextDay();
    if (calendar) ShowFlashProgress("", int(std::trunc(3.2 * calendar->DayCounter())));
    if (done) {
      Timer1.stop();
      ShowFlashProgress("", 101);
      shown = std::move(calendar);
      FwdMonthButton1->show();
      BkMonthButton1->show();
      EventsPaintBox1->update();
    }
  });
}

void TGeneralReportForm1::SetUpMonth() {
  int y, m, d;
  double h;
  JulianDayToDate(ObserverTime.JD_LocalCivil, y, m, d, h);
  int month = m + monthOffset;
  y += (month - 1 >= 0 ? (month - 1) / 12 : -((12 - month) / 12));
  month = ((month - 1) % 12 + 12) % 12 + 1;
  calendar = std::make_unique<TEventsCalendar>(ObserverTime, BrightStars);
  calendar->SetUpMonth(y, month);
  // The note is of the month shown, not of the chart's instant: a winter
  // month looked up in summer is in standard time.
  Label1->setText(calendar->DaylightAllMonth() ? "Note: all times are local daylight time."
                                               : "Note: all times are local time.");
  FwdMonthButton1->hide();
  BkMonthButton1->hide();
  ShowFlashProgress("Searching for events...", -1);
  Timer1.start();
}

void TGeneralReportForm1::StepMonth(int delta) {
  if (Searching()) return;
  int y, m, d;
  double h;
  JulianDayToDate(ObserverTime.JD_LocalCivil, y, m, d, h);
  const int total = y * 12 + (m - 1) + monthOffset + delta;
  const int ty = total >= 0 ? total / 12 : -((11 - total) / 12);
  const int tm = total - ty * 12 + 1;
  const double v = ty * 100.0 + tm + 0.01;
  if ((delta > 0 && v > 300012.32) || (delta < 0 && v <= -199998.99)) return;
  monthOffset += delta;
  SetUpMonth();
}

void TGeneralReportForm1::PrintBitBtn1Click() {
  if (!shown) return;
  PrintOnePage(this, "Noctra Planetarium, Calendar", [this](platform::DrawingContext& dc, int w, int h) {
    DrawCalendarMonth(dc, *shown, w, h, true, std::max(1, dc.DpiX() / 100));
  });
}

void TGeneralReportForm1::closeEvent(QCloseEvent* e) {
  if (Searching()) e->ignore();
  else QDialog::closeEvent(e);
}

void TGeneralReportForm1::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape && Searching()) return;
  QDialog::keyPressEvent(e);
}

TGeneralReportForm1* GeneralReportForm1 = nullptr;

void ShowGeneralReportForm1() {
  TGeneralReportForm1* form = platform::SingleWindow(GeneralReportForm1, nullptr);
  form->monthOffset = 0;
  QTimer::singleShot(200, form, [form] { form->SetUpMonth(); });
  form->exec();
}

