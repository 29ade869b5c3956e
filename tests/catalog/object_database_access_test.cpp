// The object database when the system refuses this user the file (mode
// 000) or a write beside it (a read-only folder, where the library keeps its
// journal): the file is sound, so it is told as "Permission denied" with the
// file, and never with the advice to set it aside and rebuild it, which
// would hide the catalogues the user imported into it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "catalog/hooks.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tests/support/object_database.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/text_checks.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct RefusedDatabase : ::testing::Test {
  ObjectDatabase data;
  platform::ScopedScriptedDialogs dialogs;
  void SetUp() override {
    InitObserver(ObserverTime);
    ProgramFolder = DataFolder = data.dir.Path();
    SetCatalogHooks({});
    ObjectFilter = TObjectFilter{};
    ForgetDataFileProblemsForTest();
  }
  void TearDown() override {
    ObjectCatalog.reset();
    ::chmod(data.path.c_str(), 0644);
    ::chmod(data.dir.Path().c_str(), 0755);
    ProgramFolder.clear();
    DataFolder.clear();
    ForgetDataFileProblemsForTest();
  }
  // The start-up's catalogue over the database: what it tells.
  std::vector<TDataFileProblem> StartUp() {
    HoldDataFileProblems();
    ObjectCatalog = OpenObjectCatalog({kBaseCatalogTable});
    return TakeHeldDataFileProblems();
  }
  // A text that says the database is refused, and what to do about it.
  static void ExpectToldRefused(const std::string& text) {
    EXPECT_TRUE(Has(text, "Warning: Can't open file \"Objects.sqlite\": Permission denied")) << text;
    EXPECT_TRUE(Has(text, "Give your user the right to read and write \"Objects.sqlite\"")) << text;
    EXPECT_FALSE(Has(text, "aside")) << text;
    EXPECT_FALSE(Has(text, "data builder")) << text;
    EXPECT_FALSE(Has(text, "damaged")) << text;
  }
  void ExpectStartUpToldRefused() {
    const std::vector<TDataFileProblem> told = StartUp();
    EXPECT_EQ(ObjectCatalog, nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(std::tuple(told[0].code, told[0].file, told[0].reason),
              std::tuple(int16_t(102), std::string("Objects.sqlite"), std::string("Permission denied")));
    ExpectToldRefused(DataFileProblemText(told));
    EXPECT_EQ(ObjectDatabaseNote().why, "the object database Objects.sqlite could not be read (Permission denied)");
  }
};

}  // namespace

// The file refused to its reader: the start-up and a change of catalogues
// say so; the change writes nothing, and the file is left as it was.
TEST_F(RefusedDatabase, AFileRefusedToItsReaderIsToldAsSuch) {
  const auto before = testing_support::ReadFile(data.path);
  {
    DeniedFileLayer denied("Objects.sqlite");
    ASSERT_NO_FATAL_FAILURE(ExpectStartUpToldRefused());
    TCatalogSlots s = DefaultCatalogSlots();
    s[2] = {"my_cat", "Mine", true};
    EXPECT_FALSE(ApplyCatalogSelection(s));
    ASSERT_EQ(dialogs.Count(), 1u);
    ExpectToldRefused(dialogs.Last().text);
    EXPECT_FALSE(platform::FileExists(ObjectOptionsPath()));  // nothing written
  }
  // Once this user may read it again, it reads whole.
  ForgetDataFileProblemsForTest();
  EXPECT_TRUE(StartUp().empty());
  ASSERT_NE(ObjectCatalog, nullptr);
  EXPECT_EQ(ObjectCatalog->Count(), 3);
  EXPECT_TRUE(testing_support::ReadFile(data.path) == before);
}

// A folder this user may not write to: the database reads, and a drop,
// which needs its journal beside it, is refused as such with the table kept.
TEST_F(RefusedDatabase, AFolderRefusedToTheJournalRefusesTheDropAsSuch) {
  TCatalogSlots s = DefaultCatalogSlots();
  s[2] = {"my_cat", "Mine", true};
  DeniedFileLayer denied("Objects.sqlite-journal");
  EXPECT_TRUE(StartUp().empty());
  dialogs.QueueAnswer(platform::IDOK);
  EXPECT_FALSE(RemoveCatalogSlot(s, 3));
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_EQ(dialogs.Last().text,
            "Couldn't drop the table, operation aborted.\r\n\r\nWarning: Can't open file \"Objects.sqlite\": "
            "Permission denied.");
  EXPECT_EQ(s[2].Name, "my_cat");
  EXPECT_TRUE(TSQLiteDatabase(data.path).TableExists("my_cat"));
}

// The same with the system's own refusals, for a user the system refuses
// (root is refused nothing: then the layer above stands in for them).
TEST_F(RefusedDatabase, TheSystemsOwnRefusalsAreToldTheSameWay) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may read a file of mode 000 and write in any folder";
  ASSERT_EQ(::chmod(data.path.c_str(), 0), 0);
  ASSERT_NO_FATAL_FAILURE(ExpectStartUpToldRefused());
  ASSERT_EQ(::chmod(data.path.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(data.dir.Path().c_str(), 0555), 0);
  ForgetDataFileProblemsForTest();
  EXPECT_TRUE(StartUp().empty());
  TCatalogSlots s = DefaultCatalogSlots();
  s[2] = {"my_cat", "Mine", true};
  dialogs.QueueAnswer(platform::IDOK);
  EXPECT_FALSE(RemoveCatalogSlot(s, 3));
  EXPECT_TRUE(Has(dialogs.Last().text, "\"Objects.sqlite\": Permission denied")) << dialogs.Last().text;
  EXPECT_TRUE(TSQLiteDatabase(data.path).TableExists("my_cat"));
}

// A named pipe or a folder in the database's place is told as what it is,
// never as a missing file nor with the advice to move it aside for the
// catalogues in it, and never opened (the library would wait on a pipe).
TEST_F(RefusedDatabase, APipeOrAFolderInItsPlaceIsToldAsWhatItIs) {
  std::filesystem::remove(data.path);
  for (const std::string kind : {"a named pipe", "a folder"}) {
    std::unique_ptr<PipeInPlace> pipe;
    if (kind == "a folder") std::filesystem::create_directory(data.path);
    else pipe = std::make_unique<PipeInPlace>(data.path);
    const std::string line = "Warning: Can't open file \"Objects.sqlite\": it is " + kind + ", not a file.";
    const std::string text = DataFileProblemText(StartUp());
    EXPECT_TRUE(testing_support::StartsWith(text, line + "\r\n"));
    EXPECT_TRUE(Has(text, "delete \"Objects.sqlite\" and run the data builder")) << text;
    EXPECT_FALSE(Has(text, "missing") || Has(text, "aside")) << text;
    dialogs.QueueAnswer(platform::IDOK);
    TCatalogSlots s = DefaultCatalogSlots();
    s[2] = {"my_cat", "Mine", false};
    EXPECT_FALSE(RemoveCatalogSlot(s, 3));
    EXPECT_TRUE(Has(dialogs.Last().text, line)) << dialogs.Last().text;
    EXPECT_FALSE(pipe && pipe->Opened());
    pipe.reset();
    std::filesystem::remove(data.path);
  }
}
