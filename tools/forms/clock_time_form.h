// The date and time tool ("Select New Date/Time"): the chart's instant as
// local, sidereal, universal and Julian times, each editable and applied at
// once; the start-up time settings. The simulated clock stands still while
// the window is shown.
#pragma once

#include <QDialog>
#include <string>

#include "platform/child_signals.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

// The controls of one date page (local or universal).
struct TDatePage {
  QLineEdit* Year;
  QComboBox* DateSelect;  // "AD", "BC"
  QComboBox* Month;
  QSpinBox* UpDown;
  QTableWidget* Cal;
  QLineEdit* Time;
  int ShownYear = -9999, ShownMonth = -9999, ShownDay = -9999;
};

class TClockTimeTool : public QDialog {
 public:
  explicit TClockTimeTool(QWidget* parent = nullptr);

  QTabWidget* PageControl1;
  TDatePage Local, Universal;
  QLabel* Lmt_Dst_Label;
  QLineEdit* LocalSiderealTime1;
  QCheckBox* US_DST_OK1;
  QLineEdit* UniversalJulianDate1;
  QCheckBox* StopTimeCheckBox1;
  QRadioButton* StartRadio[6];  // modes 1..6
  QLineEdit* LocalStartMaskEdit1;
  QLineEdit* UniversalStartMaskEdit1;

  // Refreshes the fields from ObserverTime (each heartbeat while shown).
  void FormUpdate();
  // Cancel (the button, Escape, closing the window): the chart's instant,
  // the daylight-saving switch and the start-up settings go back to what
  // they were when the window was shown.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildDatePage(TDatePage& page, bool local, QWidget* tab);
  void DrawCalendar(TDatePage& page, int year, int month, int day);
  void Changed();
  void UpdateStartEdits();
  void ShowStartupSettings();
  bool shown_ = false;
  bool updating_ = false;
  uint8_t savedFlow_ = 0, savedRate_ = 0;
  // What Cancel restores.
  double savedUT_ = 0;
  uint8_t savedDaylight_ = 0;
  int32_t savedMode_ = 1;
  bool savedStop_ = false;
  std::string savedLocalText_, savedUniversalText_;
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

extern TClockTimeTool* ClockTimeTool;
void ShowClockTimeTool(QWidget* parent = nullptr);
