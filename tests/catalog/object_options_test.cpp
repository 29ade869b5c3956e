#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "app/core/xml_settings.h"
#include "app/globals.h"
#include "app/messages.h"
#include "catalog/hooks.h"
#include "catalog/object_options.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "tests/support/object_database.h"
#include "tests/support/test_support.h"

using testing_support::ReadText;
using testing_support::WriteText;

namespace {

// Program folder with the test database, hooks recorded, dialogs scripted.
struct OptionsFixture {
  ObjectDatabase data;
  platform::ScopedScriptedDialogs dialogs;
  int replots = 0;
  std::vector<bool> labels;
  OptionsFixture() {
    InitObserver(ObserverTime);
    ProgramFolder = data.dir.Path();
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    h.setObjectLabels = [this](bool on) { labels.push_back(on); };
    SetCatalogHooks(h);
    ObjectFilter = TObjectFilter{};
  }
  ~OptionsFixture() {
    ObjectCatalog.reset();
    SetCatalogHooks({});
    ProgramFolder.clear();
  }
};

}  // namespace

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

TEST(ObjectFilterRecord, RegistryAndSettingsBlock) {
  OptionsFixture fx;
  platform::TRegIniFile().EraseSection("Objects");
  ObjectCatalog = std::make_unique<tCO>(fx.data.Names());

  // Defaults: -1.5 to 12.0, every class, labels on.
  ReadRegObjects();
  EXPECT_EQ(ObjectFilter, TObjectFilter{});
  EXPECT_EQ(fx.labels, std::vector<bool>{true});
  EXPECT_EQ(ObjectCatalog->Count(), 3);
  EXPECT_EQ(ObjectCatalog->FilterClause(0),
            " WHERE (((Mv>=-1.5) AND (Mv<=12)) OR (Mv=23)) AND "
            "(Cl IN ('0','1','2','3','4','5','6','7','8','9'))");

  // Class 7 has no switch in the window: written on, read back on.
  std::vector<std::string> flashes;
  SetFlashSink({[&](const std::string& t, int s) { flashes.push_back(t + "/" + std::to_string(s)); }, nullptr});
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
  EXPECT_EQ(fx.labels.back(), false);
  EXPECT_EQ(ObjectCatalog->Count(), 1);  // only the galaxy

  // Block 2: the filter of the catalogue; absent and damaged blocks change nothing.
  const std::vector<uint8_t> block = ObjectFilterBlock();
  TObjectFilter inBlock;
  ASSERT_TRUE(DecodeObjectFilter(block.data(), block.size(), inBlock));
  EXPECT_EQ(inBlock, ObjectFilter);
  const int replots = fx.replots;
  EXPECT_TRUE(ApplyObjectFilterBlock(nullptr));
  EXPECT_EQ(fx.replots, replots + 1);
  EXPECT_EQ(ObjectCatalog->Count(), 1);
  std::vector<uint8_t> damaged = block;
  platform::PutF64(&damaged[0], INFINITY);
  EXPECT_FALSE(ApplyObjectFilterBlock(&damaged));
  EXPECT_EQ(ObjectCatalog->Count(), 1);
  const auto all = EncodeObjectFilter(TObjectFilter{});
  const std::vector<uint8_t> allBlock(all.begin(), all.end());
  EXPECT_TRUE(ApplyObjectFilterBlock(&allBlock));
  EXPECT_EQ(ObjectCatalog->Count(), 3);
  EXPECT_EQ(fx.replots, replots + 3);
}

TEST(CatalogSlots, XmlDefaultsAndTableList) {
  OptionsFixture fx;
  // No file: every default; a fresh machine can add catalogues.
  TCatalogSlots s = ReadCatalogSlots();
  EXPECT_EQ(std::tuple(s[0].Name, s[0].Description), std::tuple("BASE_OBJECT_CATALOG", kBaseCatalogDescription));
  EXPECT_EQ(std::tuple(s[3].Name, s[3].Description, s[3].Active), std::tuple("NOT ASSIGNED", "No description.", false));
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

  // A damaged file reads as defaults and stays on disk as it was.
  WriteText(ObjectOptionsPath(), "<Selections><CatalogName2>x");
  EXPECT_EQ(ReadCatalogSlots()[1].Name, "NOT ASSIGNED");
  EXPECT_EQ(ReadText(ObjectOptionsPath()), "<Selections><CatalogName2>x");
}

TEST(CatalogSlots, ApplySelectionRebuildsTheCatalogue) {
  OptionsFixture fx;
  ObjectCatalog = std::make_unique<tCO>(std::vector<std::string>{kBaseCatalogTable});
  TObjectFilter f;
  f.HighMagLimit = 3.5;
  ASSERT_TRUE(ApplyObjectFilter(f));
  EXPECT_EQ(ObjectCatalog->Count(), 1);

  TCatalogSlots s = DefaultCatalogSlots();
  s[2] = {"my_cat", "Mine", true};
  ASSERT_TRUE(ApplyCatalogSelection(s));
  EXPECT_EQ(ObjectCatalog->TableCount(), 2);
  EXPECT_EQ(ObjectCatalog->TableName(1), "my_cat");
  EXPECT_EQ(ObjectCatalog->Filter().HighMagLimit, 3.5);  // the filter is kept
  EXPECT_EQ(ObjectCatalog->Count(), 2);                  // M31 and the object without magnitude
  EXPECT_EQ(fx.replots, 1);
  EXPECT_EQ(ReadCatalogSlots()[2].Name, "my_cat");
  EXPECT_TRUE(LockFreeWithin(2000));

  // Without the database the old catalogue stays and the user is told.
  std::remove(fx.data.path.c_str());
  const tCO* before = ObjectCatalog.get();
  s[2].Active = false;
  EXPECT_FALSE(ApplyCatalogSelection(s));
  EXPECT_EQ(ObjectCatalog.get(), before);
  ASSERT_EQ(fx.dialogs.Count(), 1u);
  EXPECT_NE(fx.dialogs.Last().text.find("Failed to open database"), std::string::npos);
  EXPECT_TRUE(LockFreeWithin(2000));
}

TEST(CatalogSlots, RemoveDropsTheTable) {
  OptionsFixture fx;
  TCatalogSlots s = DefaultCatalogSlots();
  s[2] = {"my_cat", "Mine", true};
  ASSERT_TRUE(ApplyCatalogSelection(s));
  ASSERT_EQ(ObjectCatalog->TableCount(), 2);

  // Cancel: nothing happens.
  fx.dialogs.QueueAnswer(platform::IDCANCEL);
  EXPECT_FALSE(RemoveCatalogSlot(s, 3));
  EXPECT_EQ(s[2].Name, "my_cat");

  // An unassigned slot is refused after the question.
  fx.dialogs.Clear();
  EXPECT_FALSE(RemoveCatalogSlot(s, 4));
  ASSERT_EQ(fx.dialogs.Count(), 2u);
  const auto question = fx.dialogs.Records()[0];
  EXPECT_EQ(std::tuple(question.text, question.buttons),
            std::tuple("This will drop the database table associated with this item", platform::MsgButtons::OkCancel));
  EXPECT_EQ(std::tuple(fx.dialogs.Last().text, fx.dialogs.Last().icon),
            std::tuple("The catalog name makes no sense, operation aborted.", platform::MsgIcon::Exclamation));

  // The active slot: table dropped, slot reset, catalogue rebuilt without it.
  EXPECT_TRUE(RemoveCatalogSlot(s, 3));
  EXPECT_EQ(std::tuple(s[2].Name, s[2].Active), std::tuple("NOT ASSIGNED", false));
  EXPECT_EQ(ObjectCatalog->TableCount(), 1);
  EXPECT_FALSE(TSQLiteDatabase(fx.data.path).TableExists("my_cat"));
  EXPECT_EQ(ReadCatalogSlots()[2].Name, "NOT ASSIGNED");

  // A database that cannot be opened: told after the lock is released.
  s[3] = {"EMPTY", "", false};
  std::remove(fx.data.path.c_str());
  fx.dialogs.Clear();
  EXPECT_FALSE(RemoveCatalogSlot(s, 4));
  EXPECT_EQ(fx.dialogs.Last().text, "Couldn't drop the table, operation aborted.");
  EXPECT_EQ(s[3].Name, "EMPTY");
  EXPECT_TRUE(LockFreeWithin(2000));
}
