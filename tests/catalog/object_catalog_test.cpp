#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <thread>
#include <tuple>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "catalog/hooks.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "shell/xml_settings.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::WriteText;

namespace {

// M31 at J2000 (radians) and its position of date from ERFA (pyerfa 2.0,
// eraPmat76 at TT 2461041.5 and 2461040.5, right ascension by eraAnp).
constexpr double kChartTT = 2461041.5;
constexpr double kM31RADate = 0.19271671626138612;
constexpr double kM31DEDate = 0.7227566150969414;
constexpr double kM31RADayBefore = 0.19271605900033645;
// IAU 1976 angles in closed form against ERFA's matrix: far below 1e-9 rad.
constexpr double kPrecessionTolerance = 1e-9;

// The test database at the chart date.
struct DeepSkyCatalog : ::testing::Test {
  ObjectDatabase data;
  void SetUp() override {
    InitObserver(ObserverTime);
    SetObserverTT(ObserverTime, kChartTT);
  }
};

// The deep-sky options over the test database as the program's: hooks
// recorded, dialogs scripted.
struct DeepSkyOptions : DeepSkyCatalog {
  platform::ScopedScriptedDialogs dialogs;
  int replots = 0;
  std::vector<bool> labels;
  void SetUp() override {
    DeepSkyCatalog::SetUp();
    ProgramFolder = data.dir.Path();
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    h.setObjectLabels = [this](bool on) { labels.push_back(on); };
    SetCatalogHooks(h);
    ObjectFilter = TObjectFilter{};
  }
  void TearDown() override {
    ObjectCatalog.reset();
    SetCatalogHooks({});
    ProgramFolder.clear();
  }
};

}  // namespace

TEST_F(DeepSkyCatalog, WalksAndSeeksOverTablesOf3And0And2Rows) {
  tCO co(data.path, data.Names());
  EXPECT_EQ(std::tuple(co.TableCount(), co.Count(), co.BaseTableCount(), co.Cursor), std::tuple(3, 5, 3, 0));
  EXPECT_EQ(co.ID, "224");

  ASSERT_TRUE(co.SeekRecord(4));
  EXPECT_EQ(std::tuple(co.CurrentTable, co.ID, co.Key), std::tuple(2, "B", 17 + 2 * 16777216));

  EXPECT_FALSE(co.SeekRecord(5));
  EXPECT_EQ(co.Cursor, -1);
  EXPECT_EQ(co.ID, "B");  // nothing decoded
  // The empty table in the middle is stepped over: no object twice, none lost.
  ASSERT_TRUE(co.SeekRecord(0));
  std::vector<std::string> ids{co.ID};
  std::vector<int> cursors{co.Cursor};
  while (co.Next()) {
    ids.push_back(co.ID);
    cursors.push_back(co.Cursor);
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"224", "1976", "2070", "A", "B"}));
  EXPECT_EQ(cursors, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(co.ID, "B");  // a failed Next leaves the fields
  // Keys survive filter changes; record numbers do not.
  ASSERT_TRUE(co.SeekKey(16 + 2 * 16777216));
  EXPECT_EQ(std::tuple(co.ID, co.Cursor), std::tuple("A", 3));
  EXPECT_FALSE(co.SeekKey(99 + 2 * 16777216));
  EXPECT_FALSE(co.SeekKey(1 + 9 * 16777216));
}

TEST_F(DeepSkyCatalog, DecodingMarkersAndNames) {
  tCO co(data.path, data.Names());
  ASSERT_TRUE(co.SeekRecord(0));
  EXPECT_EQ(std::tuple(co.Key, co.SubCL, co.RA, co.MaA, co.PA, co.DIST, co.RNGCOld),
            std::tuple(1, "Sb", kM31RA, 1780, 35, 770000.0, "pB,vL"));
  EXPECT_FLOAT_EQ(co.Mv, 3.4f);
  EXPECT_NEAR(co.RADate, kM31RADate, kPrecessionTolerance);
  EXPECT_NEAR(co.DEDate, kM31DEDate, kPrecessionTolerance);
  EXPECT_EQ(std::tuple(co.CatalogName(), co.DisplayName(), co.ClassText()),
            std::tuple("NGC", "NGC224", "Galaxy "));
  // NULLs and missing values read as the markers.
  ASSERT_TRUE(co.SeekRecord(2));
  EXPECT_EQ(std::tuple(co.Mv, co.MaA, co.PA, co.RNGCNew), std::tuple(kNoMagnitude, kNoSize, kNoSize, ""));
  EXPECT_TRUE(std::isnan(co.RA) && std::isnan(co.RADate) && std::isnan(co.DIST));
  EXPECT_EQ(co.ClassText(), "Open cluster in Large Magellanic Cloud");

  ASSERT_TRUE(co.SeekRecord(3));
  EXPECT_EQ(std::tuple(co.CatalogName(), co.DisplayName(), co.ClassText()),
            std::tuple("my_cat", "MY_CATAx", "Open cluster"));
  // Half a minute later the angles are kept; a day earlier they are renewed.
  ASSERT_TRUE(co.SeekRecord(0));
  const double raDate = co.RADate;
  SetObserverTT(ObserverTime, kChartTT + 30.0 / 86400.0);
  ASSERT_TRUE(co.SeekRecord(0));
  EXPECT_EQ(co.RADate, raDate);
  SetObserverTT(ObserverTime, kChartTT - 1.0);
  ASSERT_TRUE(co.SeekRecord(0));
  EXPECT_NEAR(co.RADate, kM31RADayBefore, kPrecessionTolerance);
}

TEST_F(DeepSkyCatalog, FilterClauseAndFilteredRows) {
  tCO co(data.path, data.Names());
  EXPECT_EQ(co.FilterClause(), "");
  TObjectFilter f;  // the registry defaults: -1.5 to 12.0, every class
  co.SetFilter(f);
  EXPECT_EQ(co.FilterClause(0),
            " WHERE (((Mv>=-1.5) AND (Mv<=12)) OR (Mv=23)) AND "
            "(Cl IN ('0','1','2','3','4','5','6','7','8','9'))");
  // NULL magnitudes fail the comparison; 23 means "no magnitude" and passes;
  // magnitude 15 is too faint.
  EXPECT_EQ(std::tuple(co.Count(), co.BaseTableCount()), std::tuple(3, 2));
  ASSERT_TRUE(co.SeekRecord(2));
  EXPECT_EQ(co.ID, "A");
  TObjectFilter g;
  co.GetFilter(g);
  EXPECT_EQ(g, f);

  for (uint8_t& c : f.Classes) c = 0;
  f.Classes[3] = 1;
  f.HighMagLimit = 4.5;
  co.SetFilter(f);
  EXPECT_EQ(co.FilterClause(2), " WHERE (((Mv>=-1.5) AND (Mv<=4.5)) OR (Mv=23)) AND (Cl IN ('3'))");
  EXPECT_EQ(std::tuple(co.Count(), co.ID), std::tuple(1, "1976"));

  for (uint8_t& c : f.Classes) c = 0;
  co.SetFilter(f);
  EXPECT_EQ(co.Count(), 0);  // no class switched on: nothing passes
  EXPECT_FALSE(co.Next() || co.SeekRecord(0));
}

TEST_F(DeepSkyCatalog, FindByName) {
  tCO co(data.path, data.Names());
  ObserverTime.ClipBelowHorizon = 1;
  EXPECT_TRUE(co.FindByName("NGC", "1976"));
  EXPECT_EQ(std::tuple(co.ID, ObserverTime.ClipBelowHorizon), std::tuple("1976", 0));
  EXPECT_FALSE(co.FindByName("NGC", "A"));  // only the base table is searched
  EXPECT_FALSE(co.FindByName("IC", "1976"));
  MessierToRngc[31] = 224;
  MessierToRngc[1] = 1976;  // the first Messier number is looked up too
  for (const auto& [messier, ngc] : {std::pair("31", "224"), std::pair("1", "1976")}) {
    EXPECT_TRUE(co.FindByName("MES", messier));
    EXPECT_EQ(co.ID, ngc);
  }
  EXPECT_TRUE(LockFreeWithin(testing_support::kWaitMs));
  // Out-of-range Messier numbers answer without waiting for the lock.
  LockObjects();
  auto answer = std::async(std::launch::async, [&] {
    return !co.FindByName("MES", "0") && !co.FindByName("MES", "111");
  });
  const bool quick = answer.wait_for(std::chrono::milliseconds(testing_support::kWaitMs)) == std::future_status::ready;
  UnlockObjects();
  EXPECT_TRUE(quick);
  EXPECT_TRUE(answer.get());
}

TEST_F(DeepSkyCatalog, DamagedOrMissingDatabases) {
  TempDir dir;
  const std::string missing = dir.File("Objects.sqlite");
  EXPECT_EQ(SQLiteErrorOf([&] { tCO co(missing, {"BASE_OBJECT_CATALOG"}); }),
            "Failed to open database \"" + missing + "\" : unable to open database file");
  EXPECT_FALSE(platform::FileExists(missing));  // never created

  WriteText(dir.File("junk.sqlite"), std::string(5000, 'j'));
  EXPECT_NE(SQLiteErrorOf([&] { tCO co(dir.File("junk.sqlite"), {"BASE_OBJECT_CATALOG"}); }), "");
  // A missing table ends the list; a missing base table leaves it empty.
  tCO co(data.path, {"BASE_OBJECT_CATALOG", "NOPE", "my_cat"});
  EXPECT_EQ(std::tuple(co.TableCount(), co.Count()), std::tuple(1, 3));
  tCO none(data.path, {"NOPE"});
  EXPECT_EQ(std::tuple(none.TableCount(), none.Count()), std::tuple(0, 0));
  EXPECT_FALSE(none.Next() || none.SeekRecord(0));
  EXPECT_TRUE(std::isnan(none.RA));
  none.SetFilter(TObjectFilter{});
  EXPECT_EQ(none.Count(), 0);
}

// What is wrong with a damaged database, in SQLite's words: the file cut
// short, a page written over, the file emptied, the base catalogue's table
// gone. The catalogue reads what it can and never writes; the start-up
// names the file and the reason.
TEST_F(DeepSkyCatalog, DamageIsToldInSQLitesWordsAndTheFileIsNeverWritten) {
  {
    TSQLiteDatabase db(data.path);
    db.Execute("INSERT INTO my_cat (idx, ID, SubCL) VALUES (18, 'C', '" + std::string(20000, 'x') + "')");
  }
  EXPECT_EQ(CheckObjectDatabase(data.path), "");
  EXPECT_EQ(tCO(data.path, {"BASE_OBJECT_CATALOG"}).Damage(), "");
  const std::vector<uint8_t> sound = testing_support::ReadFile(data.path);
  ASSERT_GE(sound.size(), 4u * 4096);
  TempDir dir;
  const std::string path = dir.File("Objects.sqlite");
  auto damaged = [&](std::vector<uint8_t> bytes) {
    testing_support::WriteFile(path, bytes);
    std::string told;
    try {
      tCO co(path, {"BASE_OBJECT_CATALOG", "my_cat"});
      told = co.Damage();
    } catch (const ESQLiteException& e) {
      told = "raised: " + e.Reason();
    }
    EXPECT_EQ(CheckObjectDatabase(path), told.rfind("raised: ", 0) == 0 ? told.substr(8) : told);
    EXPECT_TRUE(testing_support::ReadFile(path) == bytes) << "the file was written";
    return told;
  };
  std::vector<uint8_t> cut(sound.begin(), sound.begin() + 4096 * 2);
  EXPECT_EQ(damaged(cut), "raised: database disk image is malformed");
  std::vector<uint8_t> over = sound;
  for (std::size_t i = 4096 * 2; i < 4096 * 3; ++i) over[i] = uint8_t(i * 7);
  EXPECT_TRUE(testing_support::StartsWith(damaged(over), "database disk image is malformed"));
  EXPECT_EQ(damaged({}), "the file is empty (0 bytes)");
  std::vector<uint8_t> header = sound;
  header[0] = 'X';  // no longer an SQLite file
  EXPECT_EQ(damaged(header), "raised: file is not a database");
  {
    TSQLiteDatabase db(data.path);
    db.Execute("DROP TABLE BASE_OBJECT_CATALOG");
  }
  EXPECT_EQ(damaged(testing_support::ReadFile(data.path)), "no such table: BASE_OBJECT_CATALOG");
  EXPECT_EQ(CheckObjectDatabase(dir.File("none.sqlite")), kDataFileMissing);

  // The start-up's catalogue: named once, with the reason and the rebuild.
  platform::ScopedScriptedDialogs dialogs;
  ForgetDataFileProblemsForTest();
  ProgramFolder = dir.Path();
  testing_support::WriteFile(path, over);
  EXPECT_NE(OpenObjectCatalog({"BASE_OBJECT_CATALOG"}), nullptr);  // what can be read
  std::remove(path.c_str());
  ForgetDataFileProblemsForTest();
  EXPECT_EQ(OpenObjectCatalog({"BASE_OBJECT_CATALOG"}), nullptr);
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Records()[0].text,
                                          "Warning: Can't read file \"Objects.sqlite\": database disk image is "
                                          "malformed (SQLite's check found: "));
  EXPECT_NE(dialogs.Records()[0].text.find("move \"Objects.sqlite\" aside"), std::string::npos);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text,
                                          "Warning: Can't open file \"Objects.sqlite\": the file is missing."));
  EXPECT_FALSE(platform::FileExists(path));  // never created
  ProgramFolder.clear();
  ForgetDataFileProblemsForTest();
}

TEST_F(DeepSkyCatalog, FilterFailuresKeepTheRows) {
  {
    // A catalogue without magnitudes is filtered by class alone.
    TSQLiteDatabase db(data.path);
    db.Execute("CREATE TABLE nomag (idx INTEGER, ID TEXT, CL TEXT)");
    db.Execute("INSERT INTO nomag VALUES (1, 'x', '5')");
  }
  tCO co(data.path, {"BASE_OBJECT_CATALOG", "nomag"});
  co.SetFilter(TObjectFilter{});
  EXPECT_EQ(co.FilterClause(1), " WHERE (Cl IN ('0','1','2','3','4','5','6','7','8','9'))");
  ASSERT_EQ(co.Count(), 3);
  ASSERT_TRUE(co.SeekRecord(2));  // the first row of the second table
  EXPECT_EQ(co.CatalogName(), "nomag");
  // The database vanishes: the error reaches the caller, nothing changes.
  std::remove(data.path.c_str());
  TObjectFilter f;
  f.HighMagLimit = 3.0;
  EXPECT_NE(SQLiteErrorOf([&] { co.SetFilter(f); }), "");
  EXPECT_EQ(std::tuple(co.Count(), co.Filter().HighMagLimit), std::tuple(3, 12.0));
  EXPECT_FALSE(platform::FileExists(data.path));
}

TEST(ObjectLock, IsReleasedOnEveryPath) {
  try {
    TObjectsLock lock;
    throw std::runtime_error("x");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(LockFreeWithin(testing_support::kWaitMs));
  LockObjects();
  {
    LockProbe probe;
    EXPECT_FALSE(probe.GotWithin(50));
    UnlockObjects();
    EXPECT_TRUE(probe.GotWithin(testing_support::kWaitMs));
  }
}

TEST_F(DeepSkyCatalog, FilterChangeReturnsToTheCurrentTablesFirstRowAndKeysMustBeIntegers) {
  {
    TSQLiteDatabase db(data.path);
    db.Execute("INSERT INTO my_cat (idx, ID, CL, Mv) VALUES (18, 'C', '1', 5)");
    db.Execute("CREATE TABLE odd (idx VARCHAR(9), ID TEXT, CL TEXT, Mv FLOAT)");
    db.Execute("INSERT INTO odd VALUES ('x7', 'Q', '1', 5)");
  }
  tCO co(data.path, {"BASE_OBJECT_CATALOG", "EMPTY", "my_cat", "odd"});
  co.SetFilter(TObjectFilter{});
  ASSERT_TRUE(co.SeekRecord(3));  // "C", the second passing row of my_cat
  ASSERT_EQ(co.ID, "C");
  co.SetFilter(TObjectFilter{});
  EXPECT_EQ(std::tuple(co.CurrentTable, co.ID, co.Cursor), std::tuple(2, "A", 2));
  // An "idx" that is not an integer gives no key, and no key finds it.
  ASSERT_TRUE(co.SeekRecord(4));
  EXPECT_EQ(std::tuple(co.ID, co.Key), std::tuple("Q", 0));
  EXPECT_FALSE(co.SeekKey(int32_t(3 << 24) + 7));
  EXPECT_TRUE(co.SeekKey(int32_t(2 << 24) + 18));
  EXPECT_EQ(co.ID, "C");
}

TEST(ObjectFilterRecord, BlockLayoutAndChecks) {
  TObjectFilter f;
  f.HighMagLimit = 10.5;
  f.LowMagLimit = -1.0;
  f.Classes[7] = 0;
  f.LabelObjects = 0;
  const auto b = EncodeObjectFilter(f);
  ASSERT_EQ(b.size(), 657u);
  EXPECT_EQ(std::tuple(platform::GetF64(&b[0]), platform::GetF64(&b[8])), std::tuple(10.5, -1.0));
  EXPECT_EQ(std::tuple(b[16 + 7], b[16 + 8], b[26]), std::tuple(0, 1, 0));  // classes 7 and 8, labels
  for (std::size_t i = 27; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << i;

  TObjectFilter g;
  ASSERT_TRUE(DecodeObjectFilter(b.data(), b.size(), g));
  EXPECT_EQ(g, f);
  auto bad = b;
  platform::PutF64(&bad[8], std::nan(""));
  TObjectFilter h;
  EXPECT_FALSE(DecodeObjectFilter(bad.data(), bad.size(), h));
  EXPECT_FALSE(DecodeObjectFilter(b.data(), 656, h));
  EXPECT_EQ(h, TObjectFilter{});  // untouched
}

// Values no window gives: stored in the registry they read as the
// defaults (the range ends exactly); in a block they make it refused.
TEST_F(DeepSkyOptions, ValuesOutsideTheWindowsRanges) {
  ObjectCatalog = std::make_unique<tCO>(data.Names());
  for (const char* extreme : {"2147483647", "-2147483648", "1e308", "-1e308", "nan", "inf", "", "text"}) {
    {
      platform::TRegIniFile reg;
      for (const char* ident : {"low mag limit", "high mag limit", "misc settings"})
        reg.WriteString("Objects", ident, extreme);
    }
    ObjectFilter.HighMagLimit = 0;
    ReadRegObjects();
    EXPECT_EQ(ObjectFilter, TObjectFilter{}) << extreme;
    EXPECT_EQ(ObjectCatalog->Count(), 3) << extreme;
  }
  {
    platform::TRegIniFile reg;
    reg.WriteInteger("Objects", "low mag limit", -20);
    reg.WriteInteger("Objects", "high mag limit", 200);
    reg.WriteInteger("Objects", "misc settings", 0);
  }
  ReadRegObjects();
  EXPECT_EQ(std::tuple(ObjectFilter.LowMagLimit, ObjectFilter.HighMagLimit, ObjectFilter.Classes[5]),
            std::tuple(-2.0, 20.0, 0));
  platform::TRegIniFile().EraseSection("Objects");

  TObjectFilter edges;
  edges.LowMagLimit = -2.0;
  edges.HighMagLimit = 20.0;
  const auto b = EncodeObjectFilter(edges);
  TObjectFilter back;
  ASSERT_TRUE(DecodeObjectFilter(b.data(), b.size(), back));
  EXPECT_EQ(back, edges);
  for (const auto& [at, v] : std::vector<std::pair<std::size_t, double>>{{0, 20.1}, {0, 1e308}, {8, -2.1}, {8, -1e308}}) {
    auto c = b;
    platform::PutF64(&c[at], v);
    EXPECT_FALSE(DecodeObjectFilter(c.data(), c.size(), back)) << at << " " << v;
  }
  for (const std::size_t at : {16, 25, 26}) {
    auto c = b;
    c[at] = 2;
    EXPECT_FALSE(DecodeObjectFilter(c.data(), c.size(), back)) << at;
  }
  EXPECT_EQ(back, edges);
}

TEST_F(DeepSkyOptions, FilterRegistryAndSettingsBlock) {
  platform::TRegIniFile().EraseSection("Objects");
  ObjectCatalog = std::make_unique<tCO>(data.Names());
  // Defaults: -1.5 to 12.0, every class, labels on.
  ReadRegObjects();
  EXPECT_EQ(ObjectFilter, TObjectFilter{});
  EXPECT_EQ(labels, std::vector<bool>{true});
  EXPECT_EQ(ObjectCatalog->Count(), 3);
  // Class 7 has no switch in the window: written on, read back on.
  std::vector<std::string> flashes;
  SetFlashSink(
      {[&](const std::string& t, int s) { flashes.push_back(t + "/" + std::to_string(s)); }, nullptr});
  TObjectFilter f;
  f.LowMagLimit = 2.0;
  f.HighMagLimit = 8.5;
  for (uint8_t& c : f.Classes) c = 0;
  f.Classes[5] = 1;
  f.LabelObjects = 0;
  WriteRegObjects(f);
  SetFlashSink({});
  EXPECT_EQ(flashes, std::vector<std::string>{"Object catalog settings saved./2"});
  platform::TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("Objects", "misc settings", 0), 32 + 128);
  EXPECT_EQ(reg.ReadInteger("Objects", "high mag limit", 0), 85);
  ReadRegObjects();
  const TObjectFilter& o = ObjectFilter;
  EXPECT_EQ(std::tuple(o.Classes[7], o.Classes[5], o.Classes[3], o.HighMagLimit), std::tuple(1, 1, 0, 8.5));
  EXPECT_EQ(labels.back(), false);
  EXPECT_EQ(ObjectCatalog->Count(), 1);  // only the galaxy
  // Block 2: the filter of the catalogue; absent and damaged blocks change nothing.
  const std::vector<uint8_t> block = ObjectFilterBlock();
  TObjectFilter inBlock;
  ASSERT_TRUE(DecodeObjectFilter(block.data(), block.size(), inBlock));
  EXPECT_EQ(inBlock, ObjectFilter);
  const int before = replots;
  EXPECT_TRUE(ApplyObjectFilterBlock(nullptr));
  EXPECT_EQ(replots, before + 1);
  EXPECT_EQ(ObjectCatalog->Count(), 1);
  std::vector<uint8_t> damaged = block;
  platform::PutF64(&damaged[0], INFINITY);
  EXPECT_FALSE(ApplyObjectFilterBlock(&damaged));
  EXPECT_EQ(ObjectCatalog->Count(), 1);
  const auto all = EncodeObjectFilter(TObjectFilter{});
  const std::vector<uint8_t> allBlock(all.begin(), all.end());
  EXPECT_TRUE(ApplyObjectFilterBlock(&allBlock));
  EXPECT_EQ(ObjectCatalog->Count(), 3);
  EXPECT_EQ(replots, before + 3);
}

TEST_F(DeepSkyOptions, SlotsXmlDefaultsAndTableList) {
  // No file: every default; a fresh machine can add catalogues.
  TCatalogSlots s = ReadCatalogSlots();
  EXPECT_EQ(std::tuple(s[0].Name, s[0].Description),
            std::tuple("BASE_OBJECT_CATALOG", kBaseCatalogDescription));
  EXPECT_EQ(std::tuple(s[3].Name, s[3].Description, s[3].Active),
            std::tuple("NOT ASSIGNED", "No description.", false));
  EXPECT_EQ(CatalogTableList(s), std::vector<std::string>{"BASE_OBJECT_CATALOG"});
  // Empty elements read as their defaults too.
  WriteText(ObjectOptionsPath(),
            "<?xml version=\"1.0\"?><Other><Selections><CatalogName2></CatalogName2>"
            "<CatalogName3>my_cat</CatalogName3><CatalogActive3>-1</CatalogActive3>"
            "<CatalogName4>off_cat</CatalogName4><CatalogActive4>0</CatalogActive4>"
            "<CatalogName5>last</CatalogName5><CatalogActive5>True</CatalogActive5>"
            "</Selections></Other>");
  s = ReadCatalogSlots();
  EXPECT_EQ(std::tuple(s[1].Name, s[2].Description), std::tuple("NOT ASSIGNED", "No description."));
  EXPECT_EQ(CatalogTableList(s), (std::vector<std::string>{"BASE_OBJECT_CATALOG", "my_cat", "last"}));
  // Written and read back, elements in their order.
  s[1] = {"two", "Second list", true};
  ASSERT_TRUE(WriteCatalogSlots(s));
  const std::string xml = ReadText(ObjectOptionsPath());
  EXPECT_NE(xml.find("<!DOCTYPE ObjectCatalogs SYSTEM \"sth.dtd\">"), std::string::npos);
  EXPECT_NE(xml.find("<CatalogActive2>-1</CatalogActive2>"), std::string::npos);
  EXPECT_LT(xml.find("CatalogName1"), xml.find("CatalogDesc1"));
  EXPECT_LT(xml.find("CatalogDesc2"), xml.find("CatalogActive2"));
  const TCatalogSlots back = ReadCatalogSlots();
  for (std::size_t k = 0; k < kCatalogSlots; ++k) {
    EXPECT_EQ(std::tuple(back[k].Name, back[k].Description), std::tuple(s[k].Name, s[k].Description));
    EXPECT_EQ(back[k].Active, s[k].Active || k == 0) << k;  // the base catalogue is always used
  }
  // A damaged file reads as defaults and is kept beside as it was, told in
  // a message, so that no later write of the slots replaces it.
  const std::string path = ObjectOptionsPath();
  WriteText(path, "<Selections><CatalogName2>x");
  dialogs.Clear();
  EXPECT_EQ(ReadCatalogSlots()[1].Name, "NOT ASSIGNED");
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_EQ(dialogs.Count(), 1u);
  const std::string kept = dialogs.Last().text.substr(dialogs.Last().text.find("It is kept as ") + 14);
  EXPECT_EQ(ReadText(kept.substr(0, kept.find(".xml") + 4)), "<Selections><CatalogName2>x");
}

TEST_F(DeepSkyOptions, SlotSelectionRebuildsTheCatalogue) {
  ObjectCatalog = std::make_unique<tCO>(std::vector<std::string>{kBaseCatalogTable});
  TObjectFilter f;
  f.HighMagLimit = 3.5;
  ASSERT_TRUE(ApplyObjectFilter(f));
  EXPECT_EQ(ObjectCatalog->Count(), 1);

  TCatalogSlots s = DefaultCatalogSlots();
  s[2] = {"my_cat", "Mine", true};
  ASSERT_TRUE(ApplyCatalogSelection(s));
  EXPECT_EQ(std::tuple(ObjectCatalog->TableCount(), ObjectCatalog->TableName(1)), std::tuple(2, "my_cat"));
  // The filter is kept: M31 and the object without magnitude pass.
  EXPECT_EQ(std::tuple(ObjectCatalog->Filter().HighMagLimit, ObjectCatalog->Count()), std::tuple(3.5, 2));
  EXPECT_EQ(replots, 1);
  EXPECT_EQ(ReadCatalogSlots()[2].Name, "my_cat");
  EXPECT_TRUE(LockFreeWithin(testing_support::kWaitMs));
  // Without the database the old catalogue stays and the user is told.
  std::remove(data.path.c_str());
  const tCO* before = ObjectCatalog.get();
  s[2].Active = false;
  EXPECT_FALSE(ApplyCatalogSelection(s));
  EXPECT_EQ(ObjectCatalog.get(), before);
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_NE(dialogs.Last().text.find("Warning: Can't open file \"Objects.sqlite\": the file is missing."),
            std::string::npos)
      << dialogs.Last().text;
  EXPECT_TRUE(LockFreeWithin(testing_support::kWaitMs));
}

TEST_F(DeepSkyOptions, SlotRemoveDropsTheTable) {
  TCatalogSlots s = DefaultCatalogSlots();
  s[2] = {"my_cat", "Mine", true};
  ASSERT_TRUE(ApplyCatalogSelection(s));
  ASSERT_EQ(ObjectCatalog->TableCount(), 2);
  // Cancel: nothing happens.
  dialogs.QueueAnswer(platform::IDCANCEL);
  EXPECT_FALSE(RemoveCatalogSlot(s, 3));
  EXPECT_EQ(s[2].Name, "my_cat");
  // An unassigned slot is refused after the question, whose default
  // button (Return) keeps the catalogue.
  dialogs.Clear();
  dialogs.QueueAnswer(platform::IDOK);
  EXPECT_FALSE(RemoveCatalogSlot(s, 4));
  ASSERT_EQ(dialogs.Count(), 2u);
  const auto question = dialogs.Records()[0];
  EXPECT_EQ(std::tuple(question.text, question.buttons, question.defaultResult),
            std::tuple("This will drop the database table associated with this item",
                       platform::MsgButtons::OkCancel, platform::IDCANCEL));
  EXPECT_EQ(std::tuple(dialogs.Last().text, dialogs.Last().icon),
            std::tuple("The catalog name makes no sense, operation aborted.",
                       platform::MsgIcon::Exclamation));
  // The active slot: table dropped, slot reset, catalogue rebuilt without it.
  dialogs.QueueAnswer(platform::IDOK);
  EXPECT_TRUE(RemoveCatalogSlot(s, 3));
  EXPECT_EQ(std::tuple(s[2].Name, s[2].Active), std::tuple("NOT ASSIGNED", false));
  EXPECT_EQ(ObjectCatalog->TableCount(), 1);
  EXPECT_FALSE(TSQLiteDatabase(data.path).TableExists("my_cat"));
  EXPECT_EQ(ReadCatalogSlots()[2].Name, "NOT ASSIGNED");
  // The base catalogue is never dropped, whatever the letter case of its name.
  s[3] = {"Base_Object_Catalog", "", false};
  dialogs.QueueAnswer(platform::IDOK);
  EXPECT_FALSE(RemoveCatalogSlot(s, 4));
  EXPECT_EQ(dialogs.Last().text, "The catalog name makes no sense, operation aborted.");
  EXPECT_TRUE(TSQLiteDatabase(data.path).TableExists(kBaseCatalogTable));
  // A database that cannot be opened: told after the lock is released.
  s[3] = {"EMPTY", "", false};
  std::remove(data.path.c_str());
  dialogs.Clear();
  dialogs.QueueAnswer(platform::IDOK);
  EXPECT_FALSE(RemoveCatalogSlot(s, 4));
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text,
                                          "The object database was left unchanged.\r\n\r\nWarning: Can't open file "
                                          "\"Objects.sqlite\": the file is missing."));
  EXPECT_EQ(s[3].Name, "EMPTY");
  EXPECT_TRUE(LockFreeWithin(testing_support::kWaitMs));
}
