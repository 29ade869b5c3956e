// The pick list's file shared and refused: two running copies of the
// program keep each other's places, and a file the program cannot read
// (refused to this user, a pipe or a device in its place) is told and left
// exactly as it is.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "astro/observer.h"
#include "chart/globe.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/refused_files.h"
#include "tests/support/test_support.h"
#include "tools/location.h"

namespace {

// A line of the pick list: name, default mark, latitude "<lat>N".
std::string Line(const std::string& name, int lat, bool mark = false) {
  return name + (mark ? "*" : "") + PickListSeparator + ";" + std::to_string(lat) + "N;1E;0;F";
}

std::vector<std::string> Captions(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& l : lines) out.push_back(PickLineCaption(l) + "@" + l.substr(l.find(';') + 1, 3));
  return out;
}

using Names = std::vector<std::string>;

class PickListFile : public testing::Test {
 protected:
  void SetUp() override {
    DataFolder = dir.Path();
    InitObserver(ObserverTime);
  }
  void TearDown() override {
    DoneGlobe();
    DataFolder.clear();
  }
  // A copy of the program's list over the file at `path`, loaded.
  static TGlobalLocationModel Copy(const std::string& path) {
    TGlobalLocationModel m;
    m.PickListPath = path;
    m.Load();
    return m;
  }
  static int Add(TGlobalLocationModel& m, const std::string& name, const std::string& lat) {
    m.Name = name, m.Latitude = lat, m.Longitude = "1E", m.Zone = "0";
    return m.AddUpdate();
  }
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
};

}  // namespace

// The merge itself: a place only the other copy changed, added or removed
// takes its change; this copy's change wins where both changed one; one
// default, this copy's choice when it made one.
TEST(PickListMerge, EachCopysChangesAreKept) {
  const std::vector<std::string> base = {Line("A", 1, true), Line("B", 2), Line("C", 3)};
  std::vector<std::string> ours = base, theirs = base;
  ours[1] = Line("B", 20);                   // changed here
  ours.push_back(Line("D", 4));              // added here
  theirs = {Line("A", 1, true), Line("B", 2), Line("C", 30), Line("E", 5)};  // C changed, E added there
  EXPECT_EQ(Captions(MergePickLists(base, ours, theirs)), (Names{"A*@1N;", "B@20N", "C@30N", "E@5N;", "D@4N;"}));
  // Removed there, and both changed one: ours stays.
  theirs = {Line("A", 1, true), Line("B", 200)};
  EXPECT_EQ(Captions(MergePickLists(base, ours, theirs)), (Names{"A*@1N;", "B@20N", "D@4N;"}));
  // The default moved there, and kept; moved here too: ours.
  theirs = {Line("A", 1), Line("B", 2), Line("C", 3, true)};
  EXPECT_EQ(Captions(MergePickLists(base, base, theirs)), (Names{"A@1N;", "B@2N;", "C*@3N;"}));
  ours = {Line("A", 1), Line("B", 2, true), Line("C", 3)};
  EXPECT_EQ(Captions(MergePickLists(base, ours, theirs)), (Names{"A@1N;", "B*@2N;", "C@3N;"}));
  // The default's place removed there: the first place is the default.
  theirs = {Line("B", 2), Line("C", 3)};
  EXPECT_EQ(Captions(MergePickLists(base, base, theirs)), (Names{"B*@2N;", "C@3N;"}));
  // A list without a default keeps none; two places of one name stay two.
  const std::vector<std::string> plain = {Line("A", 1), Line("A", 2)};
  EXPECT_EQ(Captions(MergePickLists(plain, plain, {Line("A", 1), Line("A", 2), Line("F", 6)})),
            (Names{"A@1N;", "A@2N;", "F@6N;"}));
}

// Two running copies on one file: each change is written merged with what
// the other wrote since, so no place is lost, and each copy shows the file
// as written. A place added where the file shows ten places already is
// refused as in a full list, and the list then shows the file's ten.
TEST_F(PickListFile, TwoRunningCopiesKeepEachOthersPlaces) {
  const std::string path = dir.File("picklist.dat");
  TGlobalLocationModel one = Copy(path), two = Copy(path);
  ASSERT_EQ(Add(one, "Home", "10N"), 0);
  ASSERT_EQ(Add(two, "Work", "20N"), 0);  // two read the file before Home
  EXPECT_EQ(Captions(ReadPickListFile(path)), (Names{"Home*@10N", "Work@20N"}));
  EXPECT_EQ(Captions(two.PickList), Captions(ReadPickListFile(path)));
  EXPECT_NE(LogLines().LastLine().find(path + " was changed by another program: its places are kept"),
            std::string::npos);
  // One removes Home (the default) while two changes Work and adds Cabin.
  ASSERT_EQ(Add(two, "Work", "21N"), 0);
  ASSERT_EQ(Add(two, "Cabin", "30N"), 0);
  one.PickIndex = 0;
  one.Remove();
  EXPECT_EQ(Captions(ReadPickListFile(path)), (Names{"Work*@21N", "Cabin@30N"}));
  // One makes Cabin the default from its own list, which two changed.
  one.MakeDefault(1);
  EXPECT_EQ(Captions(ReadPickListFile(path)), (Names{"Work@21N", "Cabin*@30N"}));
  EXPECT_EQ(one.PickIndex, 1);
  // Two fills the list to ten; one, which shows two places, adds its own.
  for (int i = 0; i < 8; ++i) ASSERT_EQ(Add(two, "Site " + std::to_string(i), "1N"), 0);
  const std::string file = testing_support::ReadText(path);
  EXPECT_EQ(Add(one, "Mine", "40N"), -1);
  EXPECT_EQ(testing_support::ReadText(path), file);
  EXPECT_EQ(one.PickList, ReadPickListFile(path));
}

// A pick list the program cannot read: refused to this user, a named pipe
// (never opened) or a device in its place. The user's places may be in it:
// it is told at the load with why and what to do, left exactly as it is,
// and no change of the list writes it (each says why). Once it reads
// again, a change keeps its places.
TEST_F(PickListFile, AFileThatCannotBeReadIsToldAndLeftAsItIs) {
  const std::string refusedPath = dir.File("refused/picklist.dat");
  std::filesystem::create_directories(dir.File("refused"));
  const std::string places = Line("Home", 10, true) + "\n" + Line("Work", 20) + "\n";
  testing_support::WriteText(refusedPath, places);
  std::optional<RefusedFiles> refused(std::in_place, std::set<std::string>{refusedPath});
  std::filesystem::create_directories(dir.File("pipe"));
  PipeInPlace pipe(dir.File("pipe/picklist.dat"));
  std::filesystem::create_directories(dir.File("device"));
  std::filesystem::create_symlink("/dev/zero", dir.File("device/picklist.dat"));
  const std::pair<const char*, const char*> cases[] = {{"refused", "Permission denied"},
                                                       {"pipe", "it is a named pipe, not a file"},
                                                       {"device", "it is a character device, not a file"}};
  for (const auto& [folder, why] : cases) {
    SCOPED_TRACE(folder);
    const std::string path = dir.File(std::string(folder) + "/picklist.dat");
    dialogs.Clear();
    TGlobalLocationModel m = Copy(path);
    EXPECT_TRUE(m.PickList.empty());
    EXPECT_EQ(m.PickListUnread, why);
    ASSERT_EQ(dialogs.Count(), 1u);
    const std::string head = "Warning: Can't read the pick list " + path + "\r\n(" + why + ")\r\n";
    EXPECT_EQ(dialogs.Last().text.rfind(head + "It is left as it is, and its places are not shown.\r\n", 0), 0u)
        << dialogs.Last().text;
    EXPECT_EQ(Add(m, "Oslo", "59N"), kNotSaved);
    ASSERT_EQ(dialogs.Count(), 2u);
    EXPECT_EQ(dialogs.Last().text.rfind(head + "Nothing is written to it while it cannot be read, so this change is "
                                               "not saved.\r\n",
                                        0),
              0u)
        << dialogs.Last().text;
    EXPECT_TRUE(m.PickList.empty());
    EXPECT_FALSE(platform::FileExists(dir.File("Oslo.horizon.dat")));
  }
  EXPECT_TRUE(dialogs.Last().text.ends_with("Move what stands there aside and put the file \"picklist.dat\" back in "
                                            "its place, then start Noctra Planetarium again."))
      << dialogs.Last().text;
  EXPECT_FALSE(pipe.Opened());
  EXPECT_TRUE(std::filesystem::is_fifo(dir.File("pipe/picklist.dat")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("device/picklist.dat")));
  // Readable again: the next change keeps the file's places.
  TGlobalLocationModel m = Copy(refusedPath);
  refused.reset();
  EXPECT_EQ(testing_support::ReadText(refusedPath), places);
  ASSERT_EQ(Add(m, "Oslo", "59N"), 0);
  EXPECT_EQ(Captions(ReadPickListFile(refusedPath)), (Names{"Home*@10N", "Work@20N", "Oslo@59N"}));
  EXPECT_EQ(m.PickListUnread, "");
}

// The real mode, where the tests do not run as root; a missing file is
// made, empty, and told nothing.
TEST_F(PickListFile, AFileOfMode000IsLeftAsItIsAndAMissingOneIsMade) {
  const std::string fresh = dir.File("fresh.dat");
  Copy(fresh);
  EXPECT_TRUE(platform::FileExists(fresh));
  EXPECT_EQ(dialogs.Count(), 0u);
  if (::geteuid() == 0) GTEST_SKIP() << "root may read a file of mode 000";
  const std::string path = dir.File("picklist.dat");
  testing_support::WriteText(path, Line("Home", 10, true) + "\n");
  ::chmod(path.c_str(), 0);
  TGlobalLocationModel m = Copy(path);
  EXPECT_EQ(m.PickListUnread, "Permission denied");
  EXPECT_EQ(Add(m, "Oslo", "59N"), kNotSaved);
  ::chmod(path.c_str(), 0644);
  EXPECT_EQ(testing_support::ReadText(path), Line("Home", 10, true) + "\n");
}
