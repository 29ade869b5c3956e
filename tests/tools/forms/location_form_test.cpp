// The location and horizon windows over their logic: a city chosen, a
// pick entry added, OK applying the site; the horizon editor taking a
// picture. Each window is grabbed to a PNG in the test folder.
#include <gtest/gtest.h>

#include <QTest>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <cstring>
#include <filesystem>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "astro/text.h"
#include "astro/trig.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "platform/dialogs.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tools/forms/horizon_form.h"
#include "tools/forms/location_form.h"
#include "tools/location.h"

namespace {

class LocationFormTest : public testing::Test {
 protected:
  void SetUp() override {
    ForgetDataFileProblemsForTest();  // each test a run of its own
    const std::string built = NOCTRA_TOOLS_REFDATA;
    if (std::filesystem::exists(built + "world.dat")) {
      DataFolder = built;
      LoadDataFiles();
      LoadWorldMap(built);
    }
    ColorMode = 0;
    MakeDrawingColors();
    DataFolder = dir.Path();  // horizon files go here
    InitObserver(ObserverTime);
    GlobalLocation = TGlobalLocationModel{};
    GlobalLocation.PickListPath = dir.File("picklist.dat");
    WorldMapLatitude = 48, WorldMapLongitude = 355;
  }
  void TearDown() override {
    DoneGlobe();
    DataFolder.clear();
  }
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
};

TEST_F(LocationFormTest, CityPickListAndOk) {
  // A city of our own at the table's first entry.
  const TCityRecord saved = Cities[0];
  std::strcpy(Cities[0].Name, "Madrid");
  Cities[0].Latitude = 40.42, Cities[0].Longitude = -3.70, Cities[0].TimeZone = 101;
  // Without a default pick entry the window opens at the observer's place,
  // and OK without a change leaves the observer exactly there.
  LocationName = "Reykjavik";
  SetObserverLocation(ObserverTime, 21.9426 / DegPerRad, 64.1466 / DegPerRad, 0);
  ObserverTime.TimeZone.Bias = 0;
  TGlobalLocationForm1 form;
  form.show();
  EXPECT_EQ(form.Edit1->text() + form.Edit2->text() + form.Edit3->text() + form.Edit4->text(), "Reykjavik64.1N21.9W0");
  form.BitBtn1Click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(ObserverTime.Latitude == 64.1466 / DegPerRad && ObserverTime.Longitude == 21.9426 / DegPerRad);
  form.show();
  // No boundary files in this data folder: each reported once (in one
  // box), not at every paint or showing.
  auto missing = [&] {
    int n = 0;
    for (const auto& r : dialogs.Records())
      for (std::size_t at = 0; (at = r.text.find("Can't open file", at)) != std::string::npos; ++at) ++n;
    return n;
  };
  EXPECT_EQ(missing(), 6);
  EXPECT_EQ(dialogs.Count(), 1u);
  form.repaint();
  form.hide();
  form.show();
  EXPECT_EQ(missing(), 6);
  EXPECT_FALSE(form.MagnSpeedButton1->isEnabled());
  QTest::keyClick(form.ListBox1, Qt::Key_Home);  // the keys select a city as a click does
  EXPECT_EQ(form.Edit1->text(), "Madrid");
  EXPECT_EQ(form.Edit2->text(), "40.4N");
  EXPECT_EQ(form.Edit3->text(), "3.7W");
  EXPECT_EQ(form.Edit4->text(), "1");
  EXPECT_TRUE(form.DSTCheckBox1->isChecked());
  // A left click on the map picks a place; a right click at the city's
  // pixel picks the city.
  auto click = [&](int x, int y, Qt::MouseButton b) {
    QMouseEvent e(QEvent::MouseButtonPress, QPointF(x, y), form.PaintBox1->mapToGlobal(QPointF(x, y)), b, b,
                  Qt::NoModifier);
    QApplication::sendEvent(form.PaintBox1, &e);
  };
  click(240, 200, Qt::LeftButton);
  EXPECT_EQ(form.Edit1->text(), "Unknown");
  EXPECT_EQ(form.Edit2->text(), "36.4N");  // 40 pixels below the centre at 10 pixels a degree
  int x, y;
  LonLatToPixel(form.PaintBox1->View(), -3.70, 40.42, x, y);
  click(x, y, Qt::RightButton);
  EXPECT_EQ(form.Edit1->text(), "Madrid");
  EXPECT_EQ(form.ListBox1->currentRow(), 0);
  form.Button3Click();
  ASSERT_EQ(form.ListBox2->count(), 1);
  EXPECT_EQ(form.ListBox2->item(0)->text(), "Madrid*");
  form.Zoom(3);
  QApplication::processEvents();
  form.PaintBox1->ShowHoverLabel(240, 160);
  form.grab().save("location_form.png");
  bool accepted = false;
  form.LocationAccepted = [&] { accepted = true; };
  QTest::keyClick(form.ListBox1, Qt::Key_Return);  // OK is the window's default button
  EXPECT_TRUE(accepted);
  // The city's own place, not the rounded text the field shows.
  EXPECT_EQ(ObserverTime.Latitude, 40.42 / DegPerRad);
  EXPECT_EQ(ObserverTime.TimeZone.Bias, -60);
  // A rejected field keeps the window open with message 122.
  form.show();
  form.Edit4->setText("13");
  GlobalLocation.Zone = "13";
  form.BitBtn1Click();
  EXPECT_TRUE(form.isVisible());
  EXPECT_NE(dialogs.Last().text.find("TimeZone value makes no sense"), std::string::npos);
  Cities[0] = saved;
}

// A pick entry chosen shows its stored texts, and OK applies them whole.
// The computer's zone at start may be no whole hour (Nepal, +5:45) and may
// keep another daylight rule: the window shows it rounded, and OK after
// a change of the name or coordinates keeps it; a zone typed is applied.
TEST_F(LocationFormTest, ObserversOwnZoneKeptWhileItsFieldIsUntouched) {
  LocationName = "Kathmandu";
  SetObserverLocation(ObserverTime, -85.32 / DegPerRad, 27.72 / DegPerRad, 0);
  InitTimeZoneInfo(ObserverTime.TimeZone);
  ObserverTime.TimeZone.Bias = -345;
  ObserverTime.UseDaylightSaving = 0;
  TGlobalLocationForm1 form;
  form.show();
  EXPECT_EQ(form.Edit4->text(), "6");
  form.Edit2->selectAll();
  QTest::keyClicks(form.Edit2, "27.8N");
  form.BitBtn1Click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_NEAR(ObserverTime.Latitude * DegPerRad, 27.8, 1e-9);
  EXPECT_EQ(ObserverTime.TimeZone.Bias, -345) << "the clock moved";
  form.show();
  form.Edit4->selectAll();
  QTest::keyClicks(form.Edit4, "5");
  form.BitBtn1Click();
  EXPECT_EQ(ObserverTime.TimeZone.Bias, -300);
}

TEST_F(LocationFormTest, PickEntryShownAsStoredAndAppliedWholeWithOk) {
  testing_support::WriteText(dir.File("picklist.dat"), "Home*" + PickListSeparator + ";47.8123N;11.2345E;1;F\n");
  TGlobalLocationForm1 form;
  form.show();
  QApplication::processEvents();  // the city list takes the focus: no city is chosen by it
  EXPECT_EQ(form.Edit1->text(), "Unknown");
  form.ListBox2->setCurrentRow(0);
  EXPECT_EQ(form.Edit1->text() + " " + form.Edit2->text() + " " + form.Edit3->text(), "Home 47.8123N 11.2345E");
  form.grab().save("location_pick_entry.png");
  form.BitBtn1Click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_NEAR(ObserverTime.Latitude, 47.8123 / DegPerRad, 1e-12);
  EXPECT_NEAR(ObserverTime.Longitude, (360 - 11.2345) / DegPerRad, 1e-12);
}

// Opened at the observer's place (held more finely than the fields show
// it: radians from a settings file, say), with a default entry in the pick
// list or none: only the zone changed and OK leave latitude and longitude
// to the last bit; a latitude typed is taken as typed, the longitude kept.
TEST_F(LocationFormTest, OnlyTheZoneChangedLeavesTheObserverWhereItIs) {
  const std::string home = "Home*" + PickListSeparator + ";47.8123N;11.0456E;1;F";
  for (const bool withDefault : {true, false}) {
    SCOPED_TRACE(withDefault ? "default entry" : "no default entry");
    testing_support::WriteText(dir.File("picklist.dat"), withDefault ? home + "\n" : "");
    GlobalLocation = TGlobalLocationModel{};
    GlobalLocation.PickListPath = dir.File("picklist.dat");
    TSite site;
    site.Name = "Home";
    MakeSiteTimeZone(1, false, site.TimeZone);
    site.Latitude = 0.8571446791072912, site.Longitude = 6.091581528380421;  // 49.1108N, 10.9781E
    ApplySite(site, THorizonArray{});
    // The map stands on the observer's place.
    WorldMapLatitude = site.Latitude * DegPerRad;
    WorldMapLongitude = site.Longitude * DegPerRad;
    TGlobalLocationForm1 form;
    form.show();
    EXPECT_EQ(form.Edit2->text() + " " + form.Edit3->text(), "49.1N 11.0E");
    form.Edit4->selectAll();
    QTest::keyClicks(form.Edit4, "3");
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    ASSERT_FALSE(form.isVisible());
    EXPECT_EQ(std::tuple(ObserverTime.Latitude, ObserverTime.Longitude, ObserverTime.TimeZone.Bias),
              std::tuple(site.Latitude, site.Longitude, -180));
    form.show();
    form.Edit2->selectAll();
    QTest::keyClicks(form.Edit2, "49.2N");
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(std::tuple(ObserverTime.Latitude, ObserverTime.Longitude),
              std::tuple(ParseLatitude("49.2N"), site.Longitude));
  }
}

// A pick-list file of more places than the list shows: the window says so
// under the list.
TEST_F(LocationFormTest, PlacesAfterTheTenthAreToldUnderTheList) {
  std::string text;
  for (int i = 0; i < 12; ++i) text += "Site " + std::to_string(i) + PickListSeparator + ";1N;1E;0;F\n";
  testing_support::WriteText(dir.File("picklist.dat"), text);
  TGlobalLocationForm1 form;
  form.show();
  EXPECT_EQ(form.ListBox2->count(), 10);
  EXPECT_TRUE(form.PickListNote->isVisible());
  EXPECT_EQ(form.PickListNote->text().toStdString(), GlobalLocation.PickListRestText());
  form.grab().save("location_pick_list_rest.png");
}

TEST_F(LocationFormTest, HorizonEditorTakesAPictureFromTheClipboard) {
  THorizonForm1 form;
  QImage skyline(360, 90, QImage::Format_RGB32);
  skyline.fill(qRgb(120, 170, 230));
  for (int x = 0; x < 360; ++x)
    for (int y = 90 - 10 - (x / 30) % 4 * 6; y < 90; ++y) skyline.setPixel(x, y, qRgb(40, 90, 30));
  QApplication::clipboard()->setImage(skyline);
  form.show();
  form.Button1Click();
  EXPECT_EQ(form.HorizonEditArray[0][89], 0x001E5A28u);  // ground at the foot
  EXPECT_EQ(form.HorizonEditArray[0][0], 0x00E6AA78u);   // sky at the top
  form.grab().save("horizon_form.png");
}

}  // namespace
