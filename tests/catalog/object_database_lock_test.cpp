// The object database while another program holds it locked (another copy of
// the program importing, the sqlite3 shell inside a transaction): a second
// connection of the library's own takes the lock. A locked database is
// sound: it is never told as damaged, a change of it is refused with the
// reason and changes nothing, and the start-up reads it once it is free.
#include <gtest/gtest.h>

#include "catalog/hooks.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "platform/dialogs.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tests/support/object_database.h"
#include "tests/support/text_checks.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The options over the test database as the program's: hooks recorded,
// dialogs scripted.
struct LockedDatabase : ::testing::Test {
  ObjectDatabase data;
  platform::ScopedScriptedDialogs dialogs;
  int replots = 0;
  void SetUp() override {
    InitObserver(ObserverTime);
    ProgramFolder = data.dir.Path();
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    SetCatalogHooks(h);
    ObjectFilter = TObjectFilter{};
    ForgetDataFileProblemsForTest();
  }
  void TearDown() override {
    ObjectCatalog.reset();
    SetCatalogHooks({});
    ProgramFolder.clear();
    ForgetDataFileProblemsForTest();
  }
  // No box so far has told the database as damaged or advised rebuilding it.
  void ExpectNeverToldDamaged() {
    for (const auto& d : dialogs.Records()) {
      EXPECT_FALSE(Has(d.text, "Can't read file")) << d.text;
      EXPECT_FALSE(Has(d.text, "aside")) << d.text;
      EXPECT_FALSE(Has(d.text, "data builder")) << d.text;
    }
  }
};

}  // namespace

// Every call of the layer says busy for a lock, never damage: a fresh
// connection's first statement, and a statement of a connection that had
// read before (which fails at its step, not its preparation).
TEST_F(LockedDatabase, TheLayerTellsALockAsBusyNotAsDamage) {
  TSQLiteDatabase reader(data.path);
  ASSERT_EQ(reader.GetTable("SELECT count(*) FROM my_cat").RowCount(), 1);
  OtherProgram other(data.path, kLockExclusive);
  auto failure = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const ESQLiteException& e) {
      return std::tuple(e.IsBusy(), e.IsDamage(), e.Why());
    }
    return std::tuple(false, false, std::string("no error"));
  };
  const auto busy = std::tuple(true, false, std::string("database is locked"));
  EXPECT_EQ(failure([&] { reader.GetTable("SELECT * FROM my_cat"); }), busy);
  EXPECT_EQ(failure([&] { TSQLiteDatabase(data.path).GetTable("SELECT * FROM my_cat"); }), busy);
  EXPECT_EQ(failure([&] { reader.Execute("DELETE FROM my_cat"); }), busy);
  EXPECT_EQ(failure([&] { tCO co(data.path, data.Names()); }), busy);
  // The quick check finds nothing wrong with the file.
  EXPECT_EQ(CheckObjectDatabase(data.path), "");
}

// Remove while another program holds the database: refused at once with
// "Couldn't drop the table" and the reason, the slot and the table kept;
// once it is free the same Remove drops the table.
TEST_F(LockedDatabase, RemoveKeepsTheSlotAndTheTableWhileTheDatabaseIsLocked) {
  for (const char* lock : {kLockExclusive, kLockWriting}) {
    SCOPED_TRACE(lock);
    TCatalogSlots s = DefaultCatalogSlots();
    s[2] = {"my_cat", "Mine", true};
    ASSERT_TRUE(ApplyCatalogSelection(s));
    OtherProgram other(data.path, lock);
    dialogs.Clear();
    dialogs.QueueAnswer(platform::IDOK);
    // Refused at once: the GUI thread never sleeps in the library's wait
    // for the other program.
    LockWaitCounter waits;
    EXPECT_FALSE(RemoveCatalogSlot(s, 3));
    EXPECT_EQ(waits.Waits(), 0);
    ASSERT_EQ(dialogs.Count(), 2u);
    EXPECT_EQ(dialogs.Last().text,
              "Couldn't drop the table, operation aborted.\r\n\r\n\"Objects.sqlite\" is in use by another program "
              "(database is locked). Try again when it is free.");
    EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Exclamation);
    ExpectNeverToldDamaged();
    EXPECT_EQ(std::tuple(s[2].Name, s[2].Active), std::tuple("my_cat", true));
    EXPECT_EQ(ReadCatalogSlots()[2].Name, "my_cat");
    EXPECT_EQ(ObjectCatalog->TableCount(), 2);
    // A filter cannot be applied either: said as a lock.
    if (std::string(lock) == kLockExclusive) {
      TObjectFilter f;
      f.HighMagLimit = 3.5;
      EXPECT_FALSE(ApplyObjectFilter(f));
      EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text, "The object filter was not applied: "
                                                                   "\"Objects.sqlite\" is in use by another program"));
      ExpectNeverToldDamaged();
    }
    other.Release();
    EXPECT_TRUE(TSQLiteDatabase(data.path).TableExists("my_cat"));
  }
  dialogs.QueueAnswer(platform::IDOK);
  TCatalogSlots s = ReadCatalogSlots();
  EXPECT_TRUE(RemoveCatalogSlot(s, 3));
  EXPECT_FALSE(TSQLiteDatabase(data.path).TableExists("my_cat"));
}

// The start-up over a locked database: nothing is told as damaged and no
// wait holds it up; the catalogue is read by a later try once the database
// is free, with the filter of the start, and the chart is drawn again. A
// lock that lasts is told once, as a lock.
TEST_F(LockedDatabase, StartUpReadsALockedDatabaseOnceItIsFree) {
  TObjectFilter f;
  f.HighMagLimit = 3.5;  // M31 alone
  ApplyObjectFilter(f);
  OtherProgram other(data.path, kLockExclusive);
  HoldDataFileProblems();
  ObjectCatalog = OpenObjectCatalog({kBaseCatalogTable});
  EXPECT_EQ(ObjectCatalog, nullptr);
  EXPECT_TRUE(TakeHeldDataFileProblems().empty());
  EXPECT_TRUE(ObjectCatalogWaiting());
  const TObjectDatabaseNote note = ObjectDatabaseNote();
  EXPECT_EQ(std::tuple(note.absent, note.why),
            std::tuple(true, std::string("the object database Objects.sqlite is in use by another program (database "
                                         "is locked); they are read once it is free")));
  for (int tries = 1; tries < kObjectCatalogTriesBeforeTold; ++tries) EXPECT_FALSE(RetryObjectCatalog());
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_FALSE(RetryObjectCatalog());
  EXPECT_FALSE(RetryObjectCatalog());
  ASSERT_EQ(dialogs.Count(), 1u);  // told once
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text,
                                          "\"Objects.sqlite\" is in use by another program (database is locked)."));
  ExpectNeverToldDamaged();
  EXPECT_EQ(replots, 0);

  other.Release();
  EXPECT_TRUE(RetryObjectCatalog());
  ASSERT_NE(ObjectCatalog, nullptr);
  EXPECT_FALSE(ObjectCatalogWaiting());
  EXPECT_EQ(std::tuple(ObjectCatalog->Count(), ObjectCatalog->Filter().HighMagLimit), std::tuple(1, 3.5));
  EXPECT_EQ(ObjectCatalog->Damage(), "");
  EXPECT_EQ(ObjectDatabaseNote().why, "");
  EXPECT_EQ(replots, 1);
  EXPECT_EQ(dialogs.Count(), 1u);
  EXPECT_TRUE(RetryObjectCatalog());  // nothing waits any more
  EXPECT_EQ(replots, 1);
}

// A database that was locked at the start and is found damaged once free
// is told as damaged then, as the start-up would have told it.
TEST_F(LockedDatabase, ADatabaseFoundDamagedOnceFreeIsToldThen) {
  OtherProgram other(data.path, kLockExclusive);
  ObjectCatalog = OpenObjectCatalog({kBaseCatalogTable});
  ASSERT_TRUE(ObjectCatalogWaiting());
  other.Release();
  TSQLiteDatabase(data.path).Execute("DROP TABLE BASE_OBJECT_CATALOG");
  EXPECT_TRUE(RetryObjectCatalog());
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_TRUE(testing_support::StartsWith(
      dialogs.Last().text, "Warning: Can't read file \"Objects.sqlite\": no such table: BASE_OBJECT_CATALOG."));
  EXPECT_EQ(ObjectDatabaseNote().why, "the object database Objects.sqlite is damaged (no such table: "
                                      "BASE_OBJECT_CATALOG)");
}
