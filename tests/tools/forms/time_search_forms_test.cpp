// The date and time tool, the atmospheric window and the search window over
// their logic; each grabbed to a PNG in the test folder.
#include <gtest/gtest.h>

#include <QTest>

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <filesystem>
#include <memory>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "astro/transforms.h"
#include "catalog/object_catalog.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/plotter.h"
#include "platform/dialogs.h"
#include "shell/globals.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"
#include "tools/clock_time.h"
#include "tools/forms/atmospheric_form.h"
#include "tools/forms/clock_time_form.h"
#include "tools/forms/find_form.h"
#include "tools/location.h"

namespace {

TEST(ClockTimeForm, ShowsTheInstantStopsTheClockAndAppliesEdits) {
  InitObserver(ObserverTime);
  TIME_ZONE_INFORMATION tz;
  MakeSiteTimeZone(1, false, tz);
  SetObserverTimeZone(ObserverTime, tz, 0);
  SetObserverUT(ObserverTime, 2299160.0);  // 1582 October 4, 12h UT
  TimeFlow = 0, TimeRate = 3;
  TClockTimeTool tool;
  tool.show();
  EXPECT_EQ(TimeFlow, 1);
  EXPECT_EQ(tool.Local.Time->text(), "13:00:00");
  EXPECT_EQ(tool.Universal.Time->text(), "12:00:00");
  EXPECT_EQ(tool.UniversalJulianDate1->text(), "02299160.000000");
  EXPECT_EQ(tool.Local.Cal->item(2, 0)->text(), "X");  // 7 October 1582
  tool.PageControl1->setCurrentIndex(1);
  tool.grab().save("clock_time_universal.png");
  tool.PageControl1->setCurrentIndex(2);
  tool.grab().save("clock_time_startup.png");
  tool.PageControl1->setCurrentIndex(0);
  tool.grab().save("clock_time_local.png");
  // A day of the gap changes nothing and the 4th stays selected.
  emit tool.Universal.Cal->cellClicked(2, 0);
  EXPECT_DOUBLE_EQ(ObserverTime.JD_UT, 2299160.0);
  EXPECT_EQ(tool.Universal.Cal->currentItem()->text(), "4");
  // A day of the grid: 15 October follows 4 October.
  emit tool.Universal.Cal->cellClicked(3, 1);
  EXPECT_EQ(tool.Universal.Cal->item(3, 1)->text(), "15");
  EXPECT_DOUBLE_EQ(ObserverTime.JD_UT, 2299161.0);
  tool.hide();
  EXPECT_EQ(TimeFlow, 0);
  EXPECT_EQ(TimeRate, 3);
  // Cancel takes back the instant, the daylight switch and the start-up
  // settings changed since the window was shown; OK keeps them.
  tool.show();
  const bool stop = StartupStopTime;
  emit tool.Universal.Cal->cellClicked(3, 2);  // 16 October
  tool.US_DST_OK1->click();
  tool.StopTimeCheckBox1->click();
  ASSERT_NE(ObserverTime.JD_UT, 2299161.0);
  ASSERT_NE(StartupStopTime, stop);
  QTest::keyClick(&tool, Qt::Key_Escape);
  EXPECT_FALSE(tool.isVisible());
  EXPECT_DOUBLE_EQ(ObserverTime.JD_UT, 2299161.0);
  EXPECT_EQ(ObserverTime.UseDaylightSaving, 0);
  EXPECT_EQ(StartupStopTime, stop);
  EXPECT_EQ(tool.StopTimeCheckBox1->isChecked(), stop);
  EXPECT_EQ(TimeFlow, 0);
}

TEST(AtmosphericForm, RejectedTemperatureKeepsTheWindowOpen) {
  InitObserver(ObserverTime);
  SetAtmosphere(ObserverTime, 12, 990);
  auto plotter = std::make_unique<tPlotter>();
  MainPlotter = plotter.get();
  platform::ScopedScriptedDialogs dialogs;
  TAtmosphericForm1 form;
  form.show();
  EXPECT_EQ(form.TempEdit1->text(), "12");
  form.TempEdit1->setText("86F");
  EXPECT_EQ(form.TempLabel1->text(), "°F = (30°C)");
  form.grab().save("atmospheric_form.png");
  form.TempEdit1->setText("61");
  form.BitBtn1Click();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(dialogs.Last().caption, "Invalid atmospheric temperature");
  EXPECT_EQ(form.TempEdit1->text(), "12");
  form.TempEdit1->setText("20");
  form.EnableCheckBox1->setChecked(true);
  form.BitBtn1Click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(ObserverTime.Temperature, 20);
  EXPECT_EQ(MainPlotter->Refraction, 1);
  MainPlotter = nullptr;
}

// On the built object database when the fixture made it.
TEST(FindForm, SearchListsAndSelects) {
  const std::string built = NOCTRA_TOOLS_REFDATA;
  NOCTRA_REQUIRE_REFERENCE_DATA(std::filesystem::exists(built + "Objects.sqlite"));
  DataFolder = built;
  LoadDataFiles();
  ObjectCatalog = std::make_unique<tCO>(built + "Objects.sqlite", std::vector<std::string>{"BASE_OBJECT_CATALOG"});
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, 0.0, 0.9, 0);
  SetObserverUT(ObserverTime, 2460310.5);
  auto* form = new TFindForm1;
  form->show();
  form->SearchEdit1->setText("m 31");
  form->RunSearch();
  ASSERT_GE(form->ResultsListBox1->count(), 1);
  EXPECT_TRUE(form->ResultsListBox1->item(0)->text().startsWith("The object NGC224 (M31)"));
  ASSERT_TRUE(form->SelectCurrent());
  EXPECT_EQ(form->Found.Kind, kFoundObject);
  // A star by the SAO number the list shows (Deneb, SAO 49941), from the
  // notes the data builder wrote.
  StarOptions = RegistryDefaultStarOptions();
  LoadStarCatalogs();
  ASSERT_TRUE(WaitForStarLoad());
  form->SearchEdit1->setText("SAO 49941");
  form->RunSearch();
  ASSERT_EQ(form->ResultsListBox1->count(), 1);
  EXPECT_TRUE(form->ResultsListBox1->item(0)->text().startsWith("The star SAO 49941"));
  // And by its Flamsteed number as written (61 Cygni A, SAO 70919).
  form->SearchEdit1->setText("61 Cyg");
  form->RunSearch();
  EXPECT_FALSE(form->ResultsListBox1->findItems("The star SAO 70919", Qt::MatchStartsWith).isEmpty());
  FreeStarCatalogs();
  form->SearchEdit1->setText("orion");
  form->RunSearch();
  form->grab().save("find_form.png");
  form->SearchEdit1->setText("xyzzy");
  form->RunSearch();
  EXPECT_EQ(form->ResultsListBox1->item(0)->text(), "Nothing found.");
  EXPECT_EQ(form->ResultsListBox1->count(), 1);
  EXPECT_FALSE(form->SelectCurrent());
  // Without an object database the list says why no deep-sky object came.
  // The note is in lines the list shows whole.
  auto catalog = std::move(ObjectCatalog);
  form->RunSearch();
  ASSERT_GT(form->ResultsListBox1->count(), 2);
  QStringList note;
  const QFontMetrics metrics(form->ResultsListBox1->font());
  for (int i = 1; i < form->ResultsListBox1->count(); ++i) {
    note << form->ResultsListBox1->item(i)->text();
    EXPECT_LE(metrics.horizontalAdvance(note.back()), form->ResultsListBox1->viewport()->width()) << i;
  }
  EXPECT_EQ(note.join(' ').toStdString(), ObjectDatabaseSearchNote());
  ObjectCatalog = std::move(catalog);
  form->PopupMenu1Popup();
  EXPECT_FALSE(form->Center1->isEnabled() || form->Track1->isEnabled() || form->Information1->isEnabled());
  // A damaged database: a search that finds other things says so too,
  // above what it found, in lines that are never a selection.
  ObjectDatabase damaged;
  TSQLiteDatabase(damaged.path).Execute("DROP TABLE BASE_OBJECT_CATALOG");
  ObjectCatalog = std::make_unique<tCO>(damaged.path, std::vector<std::string>{"BASE_OBJECT_CATALOG"});
  form->SearchEdit1->setText("orion");
  form->RunSearch();
  note.clear();
  int row = 0;
  for (; row < form->ResultsListBox1->count() && !form->ResultsListBox1->item(row)->text().startsWith("The "); ++row) {
    note << form->ResultsListBox1->item(row)->text();
    EXPECT_FALSE(form->ResultsListBox1->item(row)->flags() & Qt::ItemIsSelectable) << row;
  }
  EXPECT_EQ(note.join(' ').toStdString(),
            "Deep-sky objects may be missing: the object database Objects.sqlite is damaged (no such table: "
            "BASE_OBJECT_CATALOG).");
  ASSERT_LT(row, form->ResultsListBox1->count());
  EXPECT_TRUE(form->ResultsListBox1->item(row)->text().startsWith("The Constellation Orion"));
  EXPECT_EQ(form->ResultsListBox1->currentRow(), row);
  ASSERT_TRUE(form->SelectCurrent());
  EXPECT_EQ(form->Found.Kind, kFoundConstellation);
  delete form;
  ObjectCatalog.reset();
  DataFolder.clear();
}

}  // namespace
