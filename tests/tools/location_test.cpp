// The location window's state: sites shown and accepted, the pick list and
// its default entry, horizon files, and the slot-9 block.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "astro/observer.h"
#include "astro/text.h"
#include "astro/trig.h"
#include "chart/globe.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "tests/support/test_support.h"
#include "tools/location.h"

namespace {

constexpr double kRad = 1.0 / DegPerRad;

class LocationTest : public testing::Test {
 protected:
  void SetUp() override {
    DataFolder = dir.Path();
    InitObserver(ObserverTime);
    model = TGlobalLocationModel{};
    model.PickListPath = dir.File("picklist.dat");
    model.Load();
  }
  void TearDown() override {
    DoneGlobe();
    DataFolder.clear();
  }
  testing_support::TempDir dir;
  TGlobalLocationModel model;
};

// Sites as a city table gives them (folded zone, east longitude, latitude):
// the window's texts, and after OK the observer's place and zone rule.
// Coordinates rounded to 0.1° as the window shows them.
TEST_F(LocationTest, SitesShownAndAcceptedKeepHemisphereAndZone) {
  struct Case {
    const char* name;
    int folded;
    double east, lat;
    const char *latText, *lonText, *zoneText;
    bool dst;
    double westDeg;  // expected observer longitude, degrees west positive
    int bias;
  } cases[] = {
      {"London", 100, -0.1, 51.5, "51.5N", "0.1W", "0", true, 0.1, 0},
      {"Madrid", 101, -3.7, 40.4, "40.4N", "3.7W", "1", true, 3.7, -60},
      {"Sydney", 10, 151.2, -33.9, "33.9S", "151.2E", "10", false, 360 - 151.2, -600},
      {"Kolkata", 6, 88.4, 22.6, "22.6N", "88.4E", "6", false, 360 - 88.4, -360},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    model.ShowLocation(c.name, c.folded, c.east, c.lat);
    EXPECT_EQ(model.Latitude, c.latText);
    EXPECT_EQ(model.Longitude, c.lonText);
    EXPECT_EQ(model.Zone, c.zoneText);
    EXPECT_EQ(model.DaylightSaving, c.dst);
    ASSERT_EQ(model.Accept(), 0);
    EXPECT_NEAR(ObserverTime.Latitude, c.lat * kRad, 1e-12);
    EXPECT_NEAR(ObserverTime.Longitude, c.westDeg * kRad, 1e-12);
    EXPECT_EQ(ObserverTime.TimeZone.Bias, c.bias);
    EXPECT_EQ(ObserverTime.UseDaylightSaving, c.dst ? 1 : 0);
    // The one daylight-saving rule: second Sunday of March to first Sunday
    // of November, 02:00, one hour.
    EXPECT_EQ(ObserverTime.TimeZone.DaylightDate.wMonth, c.dst ? 3 : 0);
    EXPECT_EQ(ObserverTime.TimeZone.DaylightDate.wDay, c.dst ? 2 : 0);
    EXPECT_EQ(ObserverTime.TimeZone.StandardDate.wMonth, c.dst ? 11 : 0);
    EXPECT_EQ(ObserverTime.TimeZone.DaylightBias, c.dst ? -60 : 0);
    EXPECT_EQ(LocationName, c.name);
    // The pick list keeps the site and gives it back unchanged.
    ASSERT_EQ(model.AddUpdate(), 0);
    TSite site;
    ASSERT_TRUE(ParsePickLine(model.PickList.back(), site));
    EXPECT_EQ(site.Name, c.name);
    EXPECT_NEAR(site.Longitude, c.westDeg * kRad, 1e-12);
    EXPECT_EQ(site.TimeZone.Bias, c.bias);
  }
  // Written whole: the file holds the four sites, London the default.
  const auto lines = ReadPickList(model.PickListPath);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "London*" + PickListSeparator + ";51.5N;0.1W;0;T");
  EXPECT_EQ(lines[2], "Sydney" + PickListSeparator + ";33.9S;151.2E;10;F");
  EXPECT_EQ(GetDefaultLocation(lines), 0);
}

TEST_F(LocationTest, RejectedFieldsChangeNothing) {
  model.ShowLocation("Kolkata", 6, 88.4, 22.6);
  const TObserverTime before = ObserverTime;
  struct Case {
    const char *lat, *lon, *zone;
    int code;
  } cases[] = {{"22.6N", "88.4E", "5.5", 122}, {"22.6N", "88.4E", "13", 122}, {"22.6N;1", "88.4E", "6", 120},
               {"95N", "88.4E", "6", 120},      {"22.6N", "88.4*E", "6", 121}, {"22.6N", "181E", "6", 121}};
  for (const Case& c : cases) {
    model.Latitude = c.lat, model.Longitude = c.lon, model.Zone = c.zone;
    EXPECT_EQ(model.AddUpdate(), c.code) << c.lat << " " << c.lon << " " << c.zone;
  }
  EXPECT_TRUE(model.PickList.empty());
  model.Latitude = "22.6N", model.Longitude = "88.4E", model.Zone = "5.5";
  EXPECT_EQ(model.Accept(), kBadTimeZone);
  EXPECT_EQ(ObserverTime.Latitude, before.Latitude);
  model.Zone = "-12";
  EXPECT_EQ(model.Accept(), 0);
}

TEST_F(LocationTest, PickListDefaultsAndCapacity) {
  std::vector<std::string> menu;
  model.PickListChanged = [&](const std::vector<std::string>& captions) { menu = captions; };
  for (int i = 0; i < 11; ++i) {
    model.Name = "Site " + std::to_string(i);
    model.Latitude = "10N", model.Longitude = "20E", model.Zone = "1";
    EXPECT_EQ(model.AddUpdate(), i < 10 ? 0 : -1);
  }
  ASSERT_EQ(model.PickList.size(), 10u);
  ASSERT_EQ(menu.size(), 10u);  // the globe menu follows the list
  EXPECT_EQ(menu[0], "Site 0*");
  EXPECT_EQ(PickLineCaption(model.PickList[0]), "Site 0*");  // the first entry added
  EXPECT_EQ(PickLineCaption(model.PickList[1]), "Site 1");
  // Removing the default makes the first remaining entry the default.
  model.PickIndex = 0;
  model.Remove();
  EXPECT_EQ(PickLineCaption(model.PickList[0]), "Site 1*");
  model.MakeDefault(4);
  EXPECT_EQ(GetDefaultLocation(ReadPickList(model.PickListPath)), 4);
  // Two marks edited by hand: the later one wins.
  EXPECT_EQ(GetDefaultLocation({"A*" + PickListSeparator + ";1N;1E;0;F", "B*" + PickListSeparator + ";1N;1E;0;F"}), 1);
  EXPECT_EQ(FilterSiteName("Old*Farm;-2"), "OldFarm-2");
  // Letters of the city list keep their accents; a letter the settings
  // files' code page lacks (Polish "ł") is dropped like any other sign.
  EXPECT_EQ(FilterSiteName("\u00dcr\u00fcmqi (Xinjiang)"), "\u00dcr\u00fcmqi Xinjiang");
  EXPECT_EQ(FilterSiteName("Bia\u0142ystok"), "Biaystok");
}

// The first tick's road: the default entry becomes the observer's place with
// its horizon file; a rejected entry or an empty list changes nothing.
TEST_F(LocationTest, DefaultEntrySetsThePlaceAndAFailedExtractionChangesNothing) {
  THorizonArray wall{};
  wall[90][45] = 0x123456;
  ASSERT_TRUE(SaveHorizonFile("Old Farm", wall));
  EXPECT_TRUE(FileCanOpen(dir.File("Old_Farm.horizon.dat")));
  model.PickList = {"Home" + PickListSeparator + ";1N;1E;0;F",
                    "Old Farm*" + PickListSeparator + ";48.1N;11.6E;1;T",
                    "Broken" + PickListSeparator + ";48.1X;11.6E;1;T"};
  const int def = model.GetDefaultLocation();
  ASSERT_EQ(def, 1);
  TSite site;
  THorizonArray horizon{};
  ASSERT_TRUE(model.ExtractPickListItem(def, site, horizon));
  ApplySite(site, horizon);
  EXPECT_NEAR(ObserverTime.Latitude, 48.1 * kRad, 1e-12);
  EXPECT_NEAR(ObserverTime.Longitude, (360 - 11.6) * kRad, 1e-12);
  EXPECT_EQ(ObserverTime.TimeZone.Bias, -60);
  EXPECT_EQ(horizon[90][45], 0x123456u);
  const TSite kept = site;
  for (int bad : {-1, 2, 3}) {
    EXPECT_FALSE(model.ExtractPickListItem(bad, site, horizon));
    EXPECT_EQ(site.Name, kept.Name);
    EXPECT_EQ(site.Latitude, kept.Latitude);
  }
}

// Choosing another entry after editing the selected one asks to save it;
// an east longitude reads back as typed.
TEST_F(LocationTest, EditedPickEntryIsSavedOnAskAndEastLongitudeReadsBack) {
  model.PickList = {"Paris*" + PickListSeparator + ";48.9N;2.3E;1;F", "Oslo" + PickListSeparator + ";59.9N;10.8E;1;F"};
  int asked = 0;
  model.AskSave = [&] { return ++asked > 0; };
  ASSERT_TRUE(model.SelectPick(0));
  EXPECT_EQ(model.Longitude, "2.3E");
  EXPECT_EQ(model.Latitude, "48.9N");
  EXPECT_EQ(model.Accept(), 0);
  EXPECT_NEAR(ObserverTime.Longitude, (360 - 2.3) * kRad, 1e-12);
  model.Latitude = "48.8N";
  model.LocationEdited = true;
  ASSERT_TRUE(model.SelectPick(1));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(model.PickList[0], "Paris*" + PickListSeparator + ";48.8N;2.3E;1;F");
  EXPECT_EQ(model.Name, "Oslo");
}

// A pick entry chosen and applied with OK is the place the next start takes
// from the list: its stored texts are shown as they are, not rounded to the
// one decimal of a city.
TEST_F(LocationTest, PickEntryAppliedWithOkIsThePlaceOfTheNextStart) {
  model.PickList = {"Home*" + PickListSeparator + "; 47.81234567N ;11.2345W;+2;T"};
  ASSERT_TRUE(model.SelectPick(0));
  EXPECT_EQ(std::tuple(model.Latitude, model.Longitude, model.Zone), std::tuple("47.81234567N", "11.2345W", "+2"));
  // Add/Update keeps the stored texts.
  ASSERT_EQ(model.AddUpdate(), 0);
  EXPECT_EQ(model.PickList[0], "Home*" + PickListSeparator + ";47.81234567N;11.2345W;+2;T");
  ASSERT_EQ(model.Accept(), 0);
  const TObserverTime byOk = ObserverTime;
  InitObserver(ObserverTime);
  TSite site;
  THorizonArray horizon{};
  ASSERT_TRUE(model.ExtractPickListItem(model.GetDefaultLocation(), site, horizon));
  ApplySite(site, horizon);
  EXPECT_NEAR(byOk.Latitude, 47.81234567 * kRad, 1e-12);
  EXPECT_NEAR(byOk.Longitude, 11.2345 * kRad, 1e-12);
  EXPECT_EQ(std::tuple(ObserverTime.Latitude, ObserverTime.Longitude, ObserverTime.TimeZone.Bias),
            std::tuple(byOk.Latitude, byOk.Longitude, byOk.TimeZone.Bias));
}

// A merged or hand-edited file of 14 places: the list shows the first ten,
// the others stay in the file at every write (a removal moves the next one
// up), the user is told how many there are, the default mark stays single,
// and a failed write puts everything back.
TEST_F(LocationTest, PickListFileOverTenKeepsEveryPlace) {
  std::vector<std::string> lines;
  for (int i = 0; i < 14; ++i)
    lines.push_back("Site " + std::to_string(i) + (i == 0 || i == 12 ? "*" : "") + PickListSeparator + ";" +
                    std::to_string(i) + "N;1E;0;F");
  ASSERT_TRUE(WritePickList(model.PickListPath, lines));
  model.Load();
  ASSERT_EQ(std::tuple(model.PickList.size(), model.PickListRest.size()), std::tuple(10u, 4u));
  EXPECT_EQ(model.PickListRestText(),
            "\"picklist.dat\" holds 14 places; the pick list shows the first 10. The other 4 stay in the file.");
  EXPECT_EQ(LogLines().LastLine(), "[Location] " + model.PickListRestText());

  // A write the disk refuses keeps list, rest and file as they were.
  const auto list = model.PickList, rest = model.PickListRest;
  ASSERT_EQ(PickLineCaption(rest[2]), "Site 12*");
  const std::string text = testing_support::ReadText(model.PickListPath);
  {
    platform::ScopedScriptedDialogs dialogs;
    testing_support::FileSizeLimit full(100);
    model.MakeDefault(3);
    model.PickIndex = 0;
    model.Remove();
  }
  EXPECT_EQ(std::tuple(model.PickList, model.PickListRest), std::tuple(list, rest));
  EXPECT_EQ(testing_support::ReadText(model.PickListPath), text);

  // Removing the default moves the eleventh place up; the file keeps 13.
  model.PickIndex = 0;
  model.Remove();
  std::vector<std::string> file = ReadPickListFile(model.PickListPath);
  ASSERT_EQ(file.size(), 13u);
  EXPECT_EQ(std::tuple(PickLineCaption(file[0]), PickLineCaption(model.PickList[9]), model.PickListRest.size()),
            std::tuple("Site 1*", "Site 10", 3u));
  // One default mark in the whole file.
  model.MakeDefault(3);
  file = ReadPickListFile(model.PickListPath);
  ASSERT_EQ(file.size(), 13u);
  int marks = 0;
  for (const std::string& l : file) marks += l.find('*') != std::string::npos;
  EXPECT_EQ(std::tuple(marks, GetDefaultLocation(file), PickLineName(file[11])), std::tuple(1, 3, "Site 12"));
  // Full: nothing added.
  model.Name = "New", model.Latitude = "3N", model.Longitude = "3E", model.Zone = "0";
  EXPECT_EQ(model.AddUpdate(), -1);
  EXPECT_EQ(ReadPickListFile(model.PickListPath), file);
}

// The fields show a place rounded to a tenth of a degree; those left as
// they are give the place's own values to OK (to the last bit) and to
// Add/Update (at the place's precision); a field typed gives what was typed.
TEST_F(LocationTest, UntouchedCoordinatesKeepThePlacesOwnValues) {
  SetObserverLocation(ObserverTime, (360 - 11.0456) * kRad, 47.8123 * kRad, 0);
  MakeSiteTimeZone(1, false, ObserverTime.TimeZone);
  ObserverTime.UseDaylightSaving = 0;
  const double lat = ObserverTime.Latitude, lon = ObserverTime.Longitude;
  model.ShowObserver("Home", ObserverTime);
  EXPECT_EQ(std::tuple(model.Latitude, model.Longitude), std::tuple("47.8N", "11.0E"));
  model.Zone = "2";
  ASSERT_EQ(model.Accept(), 0);
  EXPECT_EQ(std::tuple(ObserverTime.Latitude, ObserverTime.Longitude, ObserverTime.TimeZone.Bias),
            std::tuple(lat, lon, -120));
  ASSERT_EQ(model.AddUpdate(), 0);
  EXPECT_EQ(model.PickList[0], "Home*" + PickListSeparator + ";47.8123N;11.0456E;2;F");
  // A latitude typed south is taken as typed; the longitude keeps its own.
  model.ShowLocation("Lima", -5, -77.0428, -12.0464);
  EXPECT_EQ(std::tuple(model.Latitude, model.Longitude), std::tuple("12.0S", "77.0W"));
  model.Latitude = "12.1S";
  ASSERT_EQ(model.Accept(), 0);
  EXPECT_EQ(ObserverTime.Latitude, ParseLatitude("12.1S"));
  EXPECT_NEAR(ObserverTime.Longitude, 77.0428 * kRad, 1e-15);
}

TEST_F(LocationTest, HorizonFiles) {
  EXPECT_EQ(HorizonFileName("  New York "), "New_York");
  THorizonArray h{};
  h[0][0] = 7;
  EXPECT_FALSE(LoadHorizonFile("Nowhere", h));
  EXPECT_EQ(h[0][0], 0u);
  testing_support::WriteFile(dir.File("Short.horizon.dat"), std::vector<uint8_t>(1000, 9));
  h[3][3] = 7;
  EXPECT_FALSE(LoadHorizonFile("Short", h));
  EXPECT_EQ(h[3][3], 0u);
  {
    // A cut file is not read, and is never written over: kept aside, told.
    platform::ScopedScriptedDialogs dialogs;
    ASSERT_TRUE(SaveHorizonFile("Short", h));
    EXPECT_EQ(testing_support::ReadFile(dir.File("Short.horizon.unread.dat")), std::vector<uint8_t>(1000, 9));
    EXPECT_EQ(testing_support::ReadFile(dir.File("Short.horizon.dat")).size(), kHorizonBytes);
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_EQ(dialogs.Last().text, "The horizon file " + dir.File("Short.horizon.dat") +
                                       " holds 1000 bytes, not 131404, and was not read. It is kept as " +
                                       dir.File("Short.horizon.unread.dat") + ".");
    ASSERT_TRUE(SaveHorizonFile("Short", h));  // whole now: written over unasked
    EXPECT_EQ(dialogs.Count(), 1u);
  }
  // Cell (a, k) at byte 4 × (91a + k).
  h[1][2] = 0xAABBCC;
  ASSERT_TRUE(SaveHorizonFile("Cell", h));
  const auto bytes = testing_support::ReadFile(dir.File("Cell.horizon.dat"));
  ASSERT_EQ(bytes.size(), kHorizonBytes);
  EXPECT_EQ(bytes[4 * 93], 0xCC);
  EXPECT_EQ(bytes[4 * 93 + 2], 0xAA);

  // Names from a pick list never lead out of the data folder.
  std::filesystem::create_directory(dir.File("data"));
  DataFolder = dir.File("data/");
  testing_support::WriteFile(dir.File("outside.horizon.dat"), std::vector<uint8_t>(kHorizonBytes, 9));
  EXPECT_FALSE(LoadHorizonFile("../outside", h));
  EXPECT_EQ(h[1][2], 0u);
  EXPECT_EQ(HorizonFilePath("/etc/passwd"), DataFolder + "_etc_passwd.horizon.dat");
}

// A save the disk refuses is told once while it keeps failing, and changes
// neither the file nor the list.
TEST_F(LocationTest, FailedSavesAreToldAndChangeNothing) {
  platform::ScopedScriptedDialogs dialogs;
  model.PickList = {"A*" + PickListSeparator + ";1N;1E;0;F", "B" + PickListSeparator + ";2N;2E;0;F"};
  ASSERT_TRUE(WritePickList(model.PickListPath, model.PickList));
  const auto list = model.PickList;
  const std::string file = testing_support::ReadText(model.PickListPath);
  model.Name = "C", model.Latitude = "3N", model.Longitude = "3E", model.Zone = "0";
  {
    testing_support::FileSizeLimit full(50);
    EXPECT_EQ(model.AddUpdate(), kNotSaved);
    model.MakeDefault(1);
    model.PickIndex = 0;
    model.Remove();
  }
  EXPECT_EQ(model.PickList, list);
  EXPECT_EQ(testing_support::ReadText(model.PickListPath), file);
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text, "Error: Can't write file " + model.PickListPath +
                                     "\r\nFile too large\r\nThe previous file is kept.");
}

TEST_F(LocationTest, Slot9RoundTripAndDamagedBlockRefused) {
  model.ShowLocation("Sydney", 10, 151.2, -33.9);
  model.Horizon[200][80] = 0x445566;
  ASSERT_EQ(model.Accept(), 0);
  const auto block = model.WriteSettingsBlock();
  ASSERT_EQ(block.size(), kLocationBlockBytes);
  model.ShowLocation("London", 100, -0.1, 51.5);
  ASSERT_EQ(model.Accept(), 0);
  ASSERT_TRUE(model.ReadSettingsBlock(&block));
  EXPECT_NEAR(ObserverTime.Latitude, -33.9 * kRad, 1e-12);
  EXPECT_NEAR(ObserverTime.Longitude, (360 - 151.2) * kRad, 1e-12);
  EXPECT_EQ(ObserverTime.TimeZone.Bias, -600);
  EXPECT_EQ(ObserverTime.UseDaylightSaving, 0);
  EXPECT_EQ(model.Horizon[200][80], 0x445566u);
  EXPECT_EQ(LocationName, "");
  // Damaged blocks: the observer stays at Sydney.
  auto nan = block;
  platform::PutF64(nan.data(), std::nan(""));
  auto far = block;
  platform::PutF64(far.data() + 8, 100.0);
  auto bias = block;
  platform::PutI32(bias.data() + 24, 5000);
  auto flag = block;
  flag[196] = 7;
  std::vector<uint8_t> shortBlock(block.begin(), block.begin() + 100);
  for (const std::vector<uint8_t>* b : {&nan, &far, &bias, &flag, &shortBlock}) {
    EXPECT_FALSE(model.ReadSettingsBlock(b));
    EXPECT_NEAR(ObserverTime.Latitude, -33.9 * kRad, 1e-12);
    EXPECT_EQ(ObserverTime.TimeZone.Bias, -600);
  }
  // No block: nothing changes.
  EXPECT_TRUE(model.ReadSettingsBlock(nullptr));
  EXPECT_NEAR(ObserverTime.Latitude, -33.9 * kRad, 1e-12);
}

}  // namespace

// A first start without a chosen site takes the principal city of the
// system's zone from the tz database's table (tzdata's zone1970.tab: Berlin
// +5230+01322, Kolkata +2232+08822); UTC names no place.
TEST(SystemZoneSite, PrincipalCityOfTheZone) {
  struct ZoneCase {
    const char* tz;
    const char* name;
    double lat, east;
    bool dst;
  };
  const ZoneCase cases[] = {{"Europe/Berlin", "Berlin", 52.5, 13.3667, true},
                            {"Asia/Kolkata", "Kolkata", 22.5333, 88.3667, false},
                            {"America/New_York", "New York", 40.7142, -74.0064, true}};
  for (const ZoneCase& c : cases) {
    testing_support::ScopedEnv tz("TZ", c.tz);
    TSite site;
    ASSERT_TRUE(SiteFromSystemZone(site)) << c.tz;
    EXPECT_EQ(site.Name, c.name);
    EXPECT_NEAR(site.Latitude * DegPerRad, c.lat, 0.01) << c.tz;
    // West-positive radians in [0, 2π).
    EXPECT_NEAR(std::remainder(-site.Longitude * DegPerRad - c.east, 360.0), 0, 0.01) << c.tz;
    EXPECT_GE(site.Longitude, 0);
    EXPECT_LT(site.Longitude, TwoPi);
    EXPECT_EQ(site.DaylightSaving != 0, c.dst) << c.tz;
  }
  for (const char* none : {"Etc/UTC", "UTC", "CET-1CEST,M3.5.0,M10.5.0/3"}) {
    testing_support::ScopedEnv tz("TZ", none);
    TSite site;
    EXPECT_FALSE(SiteFromSystemZone(site)) << none;
  }
  double lat = 0, east = 0;
  EXPECT_TRUE(platform::ParseIso6709("-3352+15113", lat, east));  // Sydney
  EXPECT_NEAR(lat, -33.8667, 1e-4);
  EXPECT_NEAR(east, 151.2167, 1e-4);
  EXPECT_TRUE(platform::ParseIso6709("+404251-0740023", lat, east));  // New York, with seconds
  EXPECT_NEAR(east, -74.0064, 1e-4);
  for (const char* bad : {"", "+52", "+5230+1322", "+9930+01322", "+5260+01322", "x5230+01322"})
    EXPECT_FALSE(platform::ParseIso6709(bad, lat, east)) << bad;
}
