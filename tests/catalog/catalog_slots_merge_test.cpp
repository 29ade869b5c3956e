// Two running copies of the program share "ObjectOptions.xml": a change of
// the catalogue slots in one (an Active tick, an Add, a Remove) is written
// merged with the file as it is on disk, so that a catalogue the other copy
// imported meanwhile keeps its slot (else its table would stay in the
// database unreachable, and a new import of it be refused).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "catalog/hooks.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "platform/dialogs.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "tests/support/object_database.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

namespace {

TCatalogSlot Slot(const std::string& name, bool active = false) { return {name, name + " objects", active}; }
const TCatalogSlot kFree{kNotAssigned, kNoDescription, false};

std::vector<std::string> Names(const TCatalogSlots& s) {
  std::vector<std::string> names;
  for (const TCatalogSlot& slot : s) names.push_back(slot.Name + (slot.Active ? "+" : ""));
  return names;
}

struct SharedSlots : ::testing::Test {
  ObjectDatabase data;
  platform::ScopedScriptedDialogs dialogs;
  std::string file;
  void SetUp() override {
    InitObserver(ObserverTime);
    ProgramFolder = data.dir.Path();
    SetCatalogHooks({});
    ObjectFilter = TObjectFilter{};
    file = ObjectOptionsPath();
    TCatalogSlots start = DefaultCatalogSlots();
    start[2] = Slot("my_cat");
    ASSERT_TRUE(WriteCatalogSlots(start, file));
    ObjectCatalog = OpenObjectCatalog(CatalogTableList(LoadCatalogSlots(file)));
  }
  void TearDown() override {
    SaveCatalogSlots();  // this run's reading ends here
    CatalogSlots = DefaultCatalogSlots();
    ObjectCatalog.reset();
    ProgramFolder.clear();
  }
  // The other copy writes the file with these slots.
  void OtherCopyWrites(const TCatalogSlots& theirs) {
    ASSERT_TRUE(WriteCatalogSlots(theirs, data.dir.File("theirs.xml")));
    std::filesystem::rename(data.dir.File("theirs.xml"), file);
  }
};

}  // namespace

// The merge itself: each side's changes since the file was read are kept;
// a catalogue the other copy put into a slot this copy filled too moves to
// a free slot.
TEST(CatalogSlotsMerge, EachSidesChangesAreKept) {
  TCatalogSlots base = DefaultCatalogSlots();
  base[1] = Slot("IC");
  base[2] = Slot("mine");
  TCatalogSlots ours = base, theirs = base;
  ours[2].Active = true;        // ticked here
  theirs[3] = Slot("theirs");   // imported there
  theirs[1] = kFree;            // removed there
  EXPECT_EQ(Names(MergeCatalogSlots(base, ours, theirs)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", kNotAssigned, "mine+", "theirs", kNotAssigned}));
  // Both filled slot 4: ours stays there, theirs takes the first free slot
  // (the one their removal freed).
  ours[3] = Slot("added_here");
  EXPECT_EQ(Names(MergeCatalogSlots(base, ours, theirs)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", "theirs", "mine+", "added_here", kNotAssigned}));
  // No free slot left: ours are kept and the log says which was left out.
  ours[1] = Slot("other_here");
  ours[4] = Slot("last");
  EXPECT_EQ(Names(MergeCatalogSlots(base, ours, theirs)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", "other_here", "mine+", "added_here", "last"}));
  EXPECT_NE(LogLines().Lines().back().find("No free catalogue slot is left for theirs"), std::string::npos);
  // The same catalogue on both sides is kept once.
  ours = base;
  ours[3] = Slot("theirs");
  EXPECT_EQ(Names(MergeCatalogSlots(base, ours, theirs)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", kNotAssigned, "mine", "theirs", kNotAssigned}));
}

// An Active tick after the other copy imported a catalogue: both are in the
// file and in this copy's slots, and the catalogue is built from them.
TEST_F(SharedSlots, ATickKeepsTheSlotAnotherCopyFilled) {
  TCatalogSlots theirs = ReadCatalogSlots(file);
  theirs[3] = Slot("EMPTY");
  OtherCopyWrites(theirs);
  CatalogSlots[2].Active = true;
  ASSERT_TRUE(ApplyCatalogSelection(CatalogSlots));
  EXPECT_EQ(Names(ReadCatalogSlots(file)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", kNotAssigned, "my_cat+", "EMPTY", kNotAssigned}));
  EXPECT_EQ(Names(CatalogSlots), Names(ReadCatalogSlots(file)));
  EXPECT_EQ(ObjectCatalog->TableCount(), 2);
  // The end finds the file as this copy wrote it, and writes it again.
  EXPECT_TRUE(SaveCatalogSlots());
  EXPECT_EQ(ReadCatalogSlots(file)[3].Name, "EMPTY");
}

// Slots naming one table in other letter case are one catalogue, as read
// (active when either was; a slot naming the base table is free) and as
// merged (both copies added it).
TEST(CatalogSlotsMerge, OneTableInTwoSlotsIsOneCatalogue) {
  testing_support::TempDir dir;
  TCatalogSlots twice = DefaultCatalogSlots();
  twice[1] = Slot("my_cat");
  twice[3] = Slot("MY_CAT", true);
  twice[4] = Slot("base_object_catalog", true);
  ASSERT_TRUE(WriteCatalogSlots(twice, dir.File("ObjectOptions.xml")));
  const TCatalogSlots read = ReadCatalogSlots(dir.File("ObjectOptions.xml"));
  EXPECT_EQ(Names(read), (std::vector<std::string>{"BASE_OBJECT_CATALOG+", "my_cat+", kNotAssigned, kNotAssigned,
                                                   kNotAssigned}));
  TCatalogSlots ours = read, theirs = read;
  ours[2] = Slot("Extra");
  theirs[3] = Slot("EXTRA", true);
  EXPECT_EQ(Names(MergeCatalogSlots(read, ours, theirs)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", "my_cat+", "Extra+", kNotAssigned, kNotAssigned}));
}

// The file cut, emptied or left without slots under this copy is no change
// of another copy's: a tick, a write of the slots and the end write this
// copy's slots over it, the imported catalogue kept, and the log says so.
TEST_F(SharedSlots, AFileThatIsNoLongerSlotsIsWrittenOverWithTheSlotsInForce) {
  const std::string whole = testing_support::ReadText(file);
  const std::string damaged[] = {whole.substr(0, whole.size() / 2), "", "<ObjectCatalogs/>"};
  const std::function<bool()> writes[] = {
      [] { return CatalogSlots[2].Active = true, ApplyCatalogSelection(CatalogSlots); },
      [] { return StoreCatalogSlots(CatalogSlots); }, [] { return SaveCatalogSlots(); }};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    testing_support::WriteText(file, damaged[i]);
    LogLines().Clear();
    ASSERT_TRUE(writes[i]());
    EXPECT_EQ(Names(ReadCatalogSlots(file)),
              (std::vector<std::string>{"BASE_OBJECT_CATALOG+", kNotAssigned, "my_cat+", kNotAssigned, kNotAssigned}));
    ASSERT_EQ(LogLines().Count(), 1u);
    EXPECT_TRUE(testing_support::StartsWith(
        LogLines().LastLine(), "[Settings] " + file + " no longer holds catalogue slots: this program's are written"));
  }
  EXPECT_EQ(dialogs.Count(), 0u);
}

// A named pipe in the file's place is never opened nor replaced: the tick
// is in force, and the user is told once that it was not written.
TEST_F(SharedSlots, APipeInTheFilesPlaceIsLeftAsItIs) {
  PipeInPlace pipe(file);
  CatalogSlots[2].Active = true;
  ASSERT_TRUE(ApplyCatalogSelection(CatalogSlots));
  EXPECT_EQ(ObjectCatalog->TableCount(), 2);
  EXPECT_FALSE(SaveCatalogSlots());
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text,
            "Error: Can't write file " + file + "\r\nit is a named pipe, not a file\r\nThe previous file is kept.");
  struct stat st {};
  EXPECT_TRUE(::stat(file.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  EXPECT_FALSE(pipe.Opened());
}

// Remove and a write of the slots (as Add makes) merge the same way.
TEST_F(SharedSlots, RemoveAndAddKeepTheSlotAnotherCopyFilled) {
  TCatalogSlots theirs = ReadCatalogSlots(file);
  theirs[4] = Slot("EMPTY");
  OtherCopyWrites(theirs);
  dialogs.QueueAnswer(platform::IDOK);
  ASSERT_TRUE(RemoveCatalogSlot(CatalogSlots, 3));
  EXPECT_EQ(Names(ReadCatalogSlots(file)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", kNotAssigned, kNotAssigned, kNotAssigned, "EMPTY"}));
  theirs = ReadCatalogSlots(file);
  theirs[1] = Slot("IC");
  OtherCopyWrites(theirs);
  CatalogSlots[1] = Slot("added_here");  // both filled slot 2
  ASSERT_TRUE(StoreCatalogSlots(CatalogSlots));
  EXPECT_EQ(Names(ReadCatalogSlots(file)),
            (std::vector<std::string>{"BASE_OBJECT_CATALOG+", "added_here", "IC", kNotAssigned, "EMPTY"}));
  EXPECT_EQ(Names(CatalogSlots), Names(ReadCatalogSlots(file)));
}
