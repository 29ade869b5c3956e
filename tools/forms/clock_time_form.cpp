#include "tools/forms/clock_time_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "astro/observer.h"
#include "chart/inset_host.h"
#include "shell/globals.h"
#include "tools/clock_time.h"

TClockTimeTool* ClockTimeTool = nullptr;

namespace {
const char* const kMonths[12] = {"January", "Febuary", "March",     "April",   "May",      "June",
                                 "July",    "August",  "September", "October", "November", "December"};
}

TClockTimeTool::TClockTimeTool(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Select New Date/Time");
  PageControl1 = new QTabWidget(this);
  auto* localTab = new QWidget, *universalTab = new QWidget, *startTab = new QWidget;
  PageControl1->addTab(localTab, "Local");
  PageControl1->addTab(universalTab, "Universal");
  PageControl1->addTab(startTab, "Start-up time");
  Lmt_Dst_Label = new QLabel("Local Time (LMT):");
  LocalSiderealTime1 = new QLineEdit;
  LocalSiderealTime1->setReadOnly(true);
  US_DST_OK1 = new QCheckBox("US Daylight Savings Time");
  UniversalJulianDate1 = new QLineEdit;
  UniversalJulianDate1->setInputMask("99999999.999999;_");
  UniversalJulianDate1->setMinimumWidth(UniversalJulianDate1->fontMetrics().horizontalAdvance("000000000.0000000") + 12);
  BuildDatePage(Local, true, localTab);
  BuildDatePage(Universal, false, universalTab);

  auto* sv = new QVBoxLayout(startTab);
  sv->addWidget(new QLabel("The choices below set the chart's time when the program starts."));
  StopTimeCheckBox1 = new QCheckBox("Stop time flow");
  sv->addWidget(StopTimeCheckBox1);
  const char* const kModes[6] = {"Actual Local time", "Early that night", "Midnight", "Early the next morning",
                                 "A specific Local time", "A specific Universal time"};
  LocalStartMaskEdit1 = new QLineEdit, UniversalStartMaskEdit1 = new QLineEdit;
  for (QLineEdit* e : {LocalStartMaskEdit1, UniversalStartMaskEdit1}) e->setInputMask("99:99:99");
  for (int i = 0; i < 6; ++i) {
    StartRadio[i] = new QRadioButton(kModes[i]);
    auto* row = new QHBoxLayout;
    row->addWidget(StartRadio[i]);
    if (i == 4) row->addWidget(LocalStartMaskEdit1);
    if (i == 5) row->addWidget(UniversalStartMaskEdit1);
    row->addStretch();
    sv->addLayout(row);
    connect(StartRadio[i], &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) StartupTimeMode = i + 1;
      UpdateStartEdits();
    });
  }
  sv->addStretch();
  ShowStartupSettings();
  connect(StopTimeCheckBox1, &QCheckBox::toggled, this, [](bool on) { StartupStopTime = on; });
  connect(LocalStartMaskEdit1, &QLineEdit::textEdited, this,
          [](const QString& t) { StartupLocalText = t.toStdString().substr(0, 80); });
  connect(UniversalStartMaskEdit1, &QLineEdit::textEdited, this,
          [](const QString& t) { StartupUniversalText = t.toStdString().substr(0, 80); });

  auto* ok = new QPushButton("OK"), *cancel = new QPushButton("Cancel");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(US_DST_OK1, &QCheckBox::clicked, this, [this](bool on) {
    SetToolDaylightSaving(ObserverTime, on);
    Changed();
  });
  connect(UniversalJulianDate1, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (SetToolJulianDay(ObserverTime, t.toStdString())) Changed();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok), buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
}

void TClockTimeTool::BuildDatePage(TDatePage& page, bool local, QWidget* tab) {
  page.Year = new QLineEdit;
  page.Year->setInputMask("9999");
  page.Year->setToolTip("Enter date");
  page.Year->setMaximumWidth(page.Year->fontMetrics().horizontalAdvance("000000") + 12);
  page.DateSelect = new QComboBox;
  page.DateSelect->addItems({"AD", "BC"});
  page.Month = new QComboBox;
  for (const char* m : kMonths) page.Month->addItem(m);
  page.UpDown = new QSpinBox;
  page.UpDown->setRange(-2000, 3000);
  page.Cal = new QTableWidget(7, 7);
  page.Cal->horizontalHeader()->hide();
  page.Cal->verticalHeader()->hide();
  page.Cal->setEditTriggers(QAbstractItemView::NoEditTriggers);
  page.Cal->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int c = 0; c < 7; ++c) page.Cal->setColumnWidth(c, 40);
  page.Cal->setFixedSize(7 * 40 + 4, 7 * 26 + 4);
  for (int r = 0; r < 7; ++r) page.Cal->setRowHeight(r, 26);
  page.Time = new QLineEdit;
  page.Time->setInputMask("99:99:99");
  page.Time->setToolTip("Enter time (24 hour)");
  auto* date = new QHBoxLayout;
  date->addWidget(page.Year), date->addWidget(page.DateSelect), date->addWidget(page.UpDown), date->addWidget(page.Month);
  auto* form = new QFormLayout;
  if (local) {
    form->addRow(Lmt_Dst_Label, page.Time);
    form->addRow("Sidereal Time (LST):", LocalSiderealTime1);
    form->addRow(US_DST_OK1);
  } else {
    form->addRow("Universal Time (UT):", page.Time);
    form->addRow("Julian Day #:", UniversalJulianDate1);
  }
  auto* v = new QVBoxLayout(tab);
  v->addLayout(date);
  auto* h = new QHBoxLayout;
  h->addWidget(page.Cal), h->addLayout(form);
  v->addLayout(h);

  TDatePage* p = &page;
  connect(page.Year, &QLineEdit::textEdited, this, [this, p, local](const QString& t) {
    if (SetToolYearText(ObserverTime, local, t.toStdString(), p->DateSelect->currentIndex() == 1)) Changed();
  });
  connect(page.DateSelect, &QComboBox::activated, this, [this, p, local](int era) {
    int32_t y = std::abs(p->ShownYear);
    if (SetToolYear(ObserverTime, local, era == 1 ? -y : y)) Changed();
  });
  connect(page.Month, &QComboBox::activated, this, [this, local](int index) {
    if (SetToolMonth(ObserverTime, local, index + 1)) Changed();
  });
  connect(page.UpDown, &QSpinBox::valueChanged, this, [this, local](int year) {
    if (!updating_ && SetToolYear(ObserverTime, local, year)) Changed();
  });
  connect(page.Cal, &QTableWidget::cellClicked, this, [this, p, local](int r, int c) {
    const QTableWidgetItem* item = p->Cal->item(r, c);
    if (r > 0 && item && SetToolDay(ObserverTime, local, item->text().toStdString())) {
      Changed();
    } else {
      // An empty cell or a day of the 1582 gap: the current day is selected
      // again.
      p->ShownYear = -9999;
      FormUpdate();
    }
  });
  // A typed time moves every other field at once (the sidereal time, the
  // other page's time and, across midnight, both dates); the field being
  // typed in keeps its text and caret.
  connect(page.Time, &QLineEdit::textEdited, this, [this, local](const QString& t) {
    if (SetToolTime(ObserverTime, local, t.toStdString())) Changed();
  });
}

// The stored start-up settings in the controls.
void TClockTimeTool::ShowStartupSettings() {
  LocalStartMaskEdit1->setText(QString::fromStdString(StartupLocalText));
  UniversalStartMaskEdit1->setText(QString::fromStdString(StartupUniversalText));
  StopTimeCheckBox1->setChecked(StartupStopTime);
  StartRadio[std::clamp(StartupTimeMode, 1, 6) - 1]->setChecked(true);
  UpdateStartEdits();
}

void TClockTimeTool::reject() {
  if (shown_) {
    StartupTimeMode = savedMode_;
    StartupStopTime = savedStop_;
    StartupLocalText = savedLocalText_;
    StartupUniversalText = savedUniversalText_;
    ShowStartupSettings();
    // The switch first: it can move the universal time kept for the clock.
    if (ObserverTime.UseDaylightSaving != savedDaylight_) SetToolDaylightSaving(ObserverTime, savedDaylight_ != 0);
    if (ObserverTime.JD_UT != savedUT_) SetObserverUT(ObserverTime, savedUT_);
    RequestChartReplot();
  }
  QDialog::reject();
}

void TClockTimeTool::UpdateStartEdits() {
  LocalStartMaskEdit1->setVisible(StartRadio[4]->isChecked());
  UniversalStartMaskEdit1->setVisible(StartRadio[5]->isChecked());
}

void TClockTimeTool::Changed() {
  Local.ShownYear = Universal.ShownYear = -9999;
  RequestChartReplot();
  FormUpdate();
}

void TClockTimeTool::DrawCalendar(TDatePage& page, int year, int month, int day) {
  const TMonthGrid g = MonthGrid(year, month);
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 7; ++c) {
      page.Cal->setItem(r, c, new QTableWidgetItem(QString::fromStdString(g[std::size_t(r)][std::size_t(c)])));
      page.Cal->item(r, c)->setTextAlignment(Qt::AlignCenter);
    }
  int row, col;
  MonthGridCell(year, month, day, row, col);
  page.Cal->setCurrentCell(row, col);
}

void TClockTimeTool::FormUpdate() {
  if (!shown_) return;
  updating_ = true;
  const TClockFields f = ClockFields(ObserverTime);
  Lmt_Dst_Label->setText(QString::fromStdString(f.LocalLabel));
  auto setText = [](QLineEdit* e, const std::string& t) {
    if (e->hasFocus()) return;  // the field being typed in keeps its text
    e->setText(QString::fromStdString(t));
  };
  setText(Local.Time, f.LocalTime);
  setText(LocalSiderealTime1, f.SiderealTime);
  setText(Universal.Time, f.UniversalTime);
  setText(UniversalJulianDate1, f.JulianDay);
  auto date = [&](TDatePage& p, int y, int m, int d) {
    if (y == p.ShownYear && m == p.ShownMonth && d == p.ShownDay) return;
    setText(p.Year, YearText(y));
    p.DateSelect->setCurrentIndex(y < 0 ? 1 : 0);
    p.UpDown->setValue(y);
    p.Month->setCurrentIndex(m - 1);
    DrawCalendar(p, y, m, d);
    p.ShownYear = y, p.ShownMonth = m, p.ShownDay = d;
  };
  date(Local, f.LocalYear, f.LocalMonth, f.LocalDay);
  date(Universal, f.UniversalYear, f.UniversalMonth, f.UniversalDay);
  updating_ = false;
}

void TClockTimeTool::showEvent(QShowEvent* event) {
  PageControl1->setCurrentIndex(0);
  shown_ = true;
  savedFlow_ = TimeFlow, savedRate_ = TimeRate;
  savedUT_ = ObserverTime.JD_UT;
  savedDaylight_ = ObserverTime.UseDaylightSaving;
  savedMode_ = StartupTimeMode, savedStop_ = StartupStopTime;
  savedLocalText_ = StartupLocalText, savedUniversalText_ = StartupUniversalText;
  TimeFlow = 1;  // the clock stands still while the tool is shown
  US_DST_OK1->setChecked(ObserverTime.UseDaylightSaving != 0);
  Local.ShownYear = Universal.ShownYear = -9999;
  FormUpdate();
  QDialog::showEvent(event);
}

void TClockTimeTool::hideEvent(QHideEvent* event) {
  if (shown_) {
    WriteRegStartupTime();
    TimeFlow = savedFlow_, TimeRate = savedRate_;
  }
  shown_ = false;
  QDialog::hideEvent(event);
}

void ShowClockTimeTool(QWidget* parent) {
  if (!ClockTimeTool) ClockTimeTool = new TClockTimeTool(parent);
  ClockTimeTool->show();
  ClockTimeTool->raise();
}
