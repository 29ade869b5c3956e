// The pick list's file shared and refused: running copies of the program
// keep each other's places, and a file the program cannot read is told and
// left as it is.
#include <gtest/gtest.h>

#include <optional>

#include "astro/observer.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "shell/globals.h"
#include "tests/support/refused_files.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"
#include "tools/location.h"

namespace {

using Names = std::vector<std::string>;

// A pick-list line: name, default mark, latitude.
std::string Line(const std::string& name, int lat, bool mark = false) {
  return name + (mark ? "*" : "") + PickListSeparator + ";" + std::to_string(lat) + "N;1E;0;F";
}

// Each line as "<caption>@<latitude>".
Names Places(const std::vector<std::string>& lines) {
  Names out;
  for (const std::string& l : lines) out.push_back(PickLineCaption(l) + "@" + l.substr(l.find(';') + 1, 2));
  return out;
}

// A running copy's list over the file at `path`, loaded.
TGlobalLocationModel Copy(const std::string& path) {
  TGlobalLocationModel m;
  m.PickListPath = path;
  m.Load();
  return m;
}

int Add(TGlobalLocationModel& m, const std::string& name, const std::string& lat) {
  m.Name = name, m.Latitude = lat, m.Longitude = "1E", m.Zone = "0";
  return m.AddUpdate();
}

}  // namespace

// The merge: a place only the file changed, added or removed takes its
// change; this copy's wins where both changed one; one default, this
// copy's choice when it made one, else the file's, else the first place.
TEST(PickListMerge, EachCopysChangesAreKept) {
  const Names base = {Line("A", 1, true), Line("B", 2), Line("C", 3)};
  const Names ours = {Line("A", 1, true), Line("B", 20), Line("C", 3), Line("D", 4)};
  EXPECT_EQ(Places(MergePickLists(base, ours, {Line("A", 1, true), Line("B", 2), Line("C", 30), Line("E", 5)})),
            (Names{"A*@1N", "B@20", "C@30", "E@5N", "D@4N"}));
  EXPECT_EQ(Places(MergePickLists(base, ours, {Line("A", 1, true), Line("B", 99)})), (Names{"A*@1N", "B@20", "D@4N"}));
  EXPECT_EQ(Places(MergePickLists(base, base, {Line("B", 2), Line("C", 3, true)})), (Names{"B@2N", "C*@3N"}));
  EXPECT_EQ(Places(MergePickLists(base, {Line("A", 1), Line("B", 2, true), Line("C", 3)},
                                  {Line("A", 1), Line("B", 2), Line("C", 3, true)})),
            (Names{"A@1N", "B*@2N", "C@3N"}));
  EXPECT_EQ(Places(MergePickLists(base, base, {Line("B", 2), Line("C", 3)})), (Names{"B*@2N", "C@3N"}));
}

// Two running copies on one file: no place either adds, changes or removes
// is lost, and each shows the file as written. A place added where the
// file shows ten already is refused as in a full list.
TEST(PickListShared, TwoRunningCopiesKeepEachOthersPlaces) {
  testing_support::TempDir dir;
  DataFolder = dir.Path();
  const std::string path = dir.File("picklist.dat");
  TGlobalLocationModel one = Copy(path), two = Copy(path);
  ASSERT_EQ(Add(one, "Home", "10N"), 0);
  ASSERT_EQ(Add(two, "Work", "20N"), 0);
  ASSERT_EQ(Add(two, "Work", "21N"), 0);
  one.PickIndex = 0;
  one.Remove();  // the default
  EXPECT_EQ(Places(ReadPickListFile(path)), (Names{"Work*@21"}));
  ASSERT_EQ(Add(one, "Cabin", "30N"), 0);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(Add(two, "Site " + std::to_string(i), "1N"), 0);
  const std::string file = testing_support::ReadText(path);
  EXPECT_EQ(Add(one, "Mine", "40N"), -1);
  EXPECT_EQ(testing_support::ReadText(path), file);
  EXPECT_EQ(one.PickList, ReadPickListFile(path));
  DataFolder.clear();
}

// A pick list refused to this user (the start's test has a pipe) may hold
// the user's places: it is told at the load with why, left as it is, and a
// change does not write it, saying why. Once it reads again, a change keeps
// its places. A missing list is made, empty, without a word.
TEST(PickListShared, AFileThatCannotBeReadIsToldAndLeftAsItIs) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  DataFolder = dir.Path();
  Copy(dir.File("fresh.dat"));
  EXPECT_TRUE(platform::FileExists(dir.File("fresh.dat")));
  const std::string path = dir.File("picklist.dat"), places = Line("Home", 10, true) + "\n";
  testing_support::WriteText(path, places);
  std::optional<RefusedFiles> refused(std::in_place, std::set<std::string>{path});
  TGlobalLocationModel m = Copy(path);
  EXPECT_TRUE(m.PickList.empty());
  EXPECT_EQ(m.PickListRestText(), "\"picklist.dat\" could not be read (Permission denied): its places are not "
                                  "shown, and nothing is saved to it.");
  const std::string head = "Warning: Can't read the pick list " + path + "\r\n(Permission denied)\r\n";
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text, head + "It is left as it is"));
  EXPECT_EQ(Add(m, "Oslo", "59N"), kNotSaved);
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text, head + "Nothing is written to it while it cannot be "
                                                                      "read, so this change is not saved."));
  refused.reset();
  EXPECT_EQ(testing_support::ReadText(path), places);
  ASSERT_EQ(Add(m, "Oslo", "59N"), 0);
  EXPECT_EQ(Places(ReadPickListFile(path)), (Names{"Home*@10", "Oslo@59"}));
  DataFolder.clear();
}
