#include <gtest/gtest.h>

#include <dirent.h>

#include <array>

#include "app/core/settings_sections.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// Block sizes of slots 1..11 as the owners' file formats define them.
constexpr std::array<std::size_t, 12> kSizes = {0, 66, 657, 12, 181, 10, 17, 23057, 53938, 131601, 8, 58};

// Stand-ins for the option windows: each holds one byte of "settings" that
// its block repeats, and records what the shell handed it.
struct FakeOwners {
  std::array<uint8_t, 12> value{};
  std::array<bool, 12> refuse{};
  std::vector<int> readOrder;
  std::vector<int> absent;

  explicit FakeOwners(std::size_t wrongSizeSlot = 0) {
    for (int slot = 1; slot <= 11; ++slot) {
      value[slot] = uint8_t(slot);
      TSettingsSectionOwner owner;
      owner.blockBytes = kSizes[slot];
      owner.write = [this, slot, wrongSizeSlot] {
        return std::vector<uint8_t>(kSizes[slot] - (std::size_t(slot) == wrongSizeSlot), value[slot]);
      };
      owner.read = [this, slot](const std::vector<uint8_t>* block) {
        readOrder.push_back(slot);
        if (!block) {
          absent.push_back(slot);
          return false;
        }
        if (block->size() != kSizes[slot] || refuse[slot]) return false;
        value[slot] = (*block)[0];
        return true;
      };
      EXPECT_TRUE(RegisterSettingsSection(slot, owner));
    }
  }
  ~FakeOwners() { UnregisterAllSettingsSections(); }
  void Set(uint8_t v) {
    for (int slot = 1; slot <= 11; ++slot) value[slot] = v;
  }
};

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

}  // namespace

TEST(SettingsSections, SlotTableMatchesTheOwners) {
  for (int slot = 1; slot <= 11; ++slot) EXPECT_EQ(SettingsBlockBytes(slot), kSizes[slot]) << slot;
  EXPECT_EQ(SettingsBlockBytes(0), 0u);
  EXPECT_EQ(SettingsBlockBytes(12), 0u);
  EXPECT_FALSE(RegisterSettingsSection(12, {1, [] { return std::vector<uint8_t>{0}; },
                                            [](const std::vector<uint8_t>*) { return true; }}));
  EXPECT_FALSE(RegisterSettingsSection(3, {12, {}, {}}));
}

TEST(SettingsSections, KindFiveFileLayoutAndFlagZeroIsolation) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  FakeOwners owners;
  const std::string path = dir.File("poi.ssf");
  ASSERT_TRUE(WriteSettingsFile(path, 5));

  const auto bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 600u + 53938u);
  for (int slot = 0; slot < 100; ++slot) {
    EXPECT_EQ(bytes[6 * slot], slot == 8 ? 255 : 0) << slot;
    EXPECT_EQ(bytes[6 * slot + 5], 0) << slot;
  }
  EXPECT_EQ(platform::GetU32(&bytes[49]), 600u);
  EXPECT_EQ(bytes[600], 8);
  EXPECT_EQ(bytes.back(), 8);

  // Reading changes only the points of interest; every reader runs, in order.
  owners.Set(77);
  EXPECT_EQ(ReadSettingsFile(path), TSettingsReadResult::Ok);
  for (int slot = 1; slot <= 11; ++slot) EXPECT_EQ(owners.value[slot], slot == 8 ? 8 : 77) << slot;
  EXPECT_EQ(owners.readOrder, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(owners.absent.size(), 10u);
  EXPECT_EQ(dialogs.Count(), 0u);
}

TEST(SettingsSections, EachKindWritesItsSlotsInOrder) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  FakeOwners owners;
  const std::vector<std::vector<int>> kinds = {
      {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {1, 2}, {9}, {8}};
  for (int kind = 1; kind <= 5; ++kind) {
    const std::string path = dir.File("k" + std::to_string(kind) + ".ssf");
    ASSERT_TRUE(WriteSettingsFile(path, kind));
    const auto bytes = ReadFile(path);
    uint32_t offset = 600;
    for (int slot : kinds[kind]) {
      EXPECT_EQ(bytes[6 * slot], 255) << kind << "/" << slot;
      EXPECT_EQ(platform::GetU32(&bytes[6 * slot + 1]), offset) << kind << "/" << slot;
      EXPECT_EQ(bytes[offset], slot);
      offset += uint32_t(kSizes[slot]);
    }
    EXPECT_EQ(bytes.size(), offset) << kind;
  }
  // A slot without an owner stays absent.
  UnregisterSettingsSection(2);
  ASSERT_TRUE(WriteSettingsFile(dir.File("k3b.ssf"), 3));
  const auto bytes = ReadFile(dir.File("k3b.ssf"));
  EXPECT_EQ(bytes.size(), 600u + 66u);
  EXPECT_EQ(bytes[12], 0);
}

TEST(SettingsSections, DamagedAndTruncatedFilesChangeNothing) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  FakeOwners owners;
  const std::string path = dir.File("all.ssf");
  ASSERT_TRUE(WriteSettingsFile(path, 2));
  const auto good = ReadFile(path);
  owners.Set(99);

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  std::vector<Case> cases;
  cases.push_back({"truncated by one byte", {good.begin(), good.end() - 1}, "Warning: Unexpected file size in "});
  cases.push_back({"shorter than the directory", {good.begin(), good.begin() + 599}, "Warning: Unrecognized file format in "});
  auto badFlag = good;
  badFlag[18] = 7;
  cases.push_back({"flag neither 0 nor 255", badFlag, "Warning: Unrecognized file format in "});
  auto intoDirectory = good;
  platform::PutU32(&intoDirectory[25], 100);
  cases.push_back({"offset inside the directory", intoDirectory, "Warning: Unrecognized file format in "});
  auto pastEnd = good;
  platform::PutU32(&pastEnd[61], 0xFFFFFFF0u);
  cases.push_back({"offset past the end", pastEnd, "Warning: Unexpected file size in "});
  std::vector<uint8_t> garbage(5000);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37 + 11);
  cases.push_back({"garbage", garbage, "Warning: Unrecognized file format in "});

  for (const Case& c : cases) {
    WriteFile(path, c.bytes);
    owners.readOrder.clear();
    EXPECT_EQ(ReadSettingsFile(path), TSettingsReadResult::Damaged) << c.what;
    EXPECT_TRUE(owners.readOrder.empty()) << c.what;
    for (int slot = 1; slot <= 11; ++slot) EXPECT_EQ(owners.value[slot], 99) << c.what;
    EXPECT_EQ(dialogs.Last().text, c.message + path) << c.what;
    EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Exclamation);
    // Reading never writes.
    EXPECT_EQ(ReadFile(path), c.bytes) << c.what;
  }
  EXPECT_EQ(ReadSettingsFile(dir.File("missing.ssf")), TSettingsReadResult::CannotOpen);
}

TEST(SettingsSections, RefusedBlockIsReportedAndOthersApply) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  FakeOwners owners;
  const std::string path = dir.File("s.ssf");
  ASSERT_TRUE(WriteSettingsFile(path, 1));
  owners.Set(50);
  owners.refuse[8] = true;  // say, a point count above 100
  EXPECT_EQ(ReadSettingsFile(path), TSettingsReadResult::Refused);
  EXPECT_EQ(owners.value[8], 50);
  EXPECT_EQ(owners.value[9], 9);
  EXPECT_EQ(owners.value[10], 50);  // kind 1 holds no date and time
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text, "Warning: Unrecognized file format in " + path);
}

TEST(SettingsSections, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  const std::string path = dir.File("keep.ssf");
  {
    FakeOwners owners;
    ASSERT_TRUE(WriteSettingsFile(path, 3));
  }
  const auto before = ReadFile(path);
  {
    FakeOwners broken(2);  // slot 2 hands over a block one byte short
    EXPECT_FALSE(WriteSettingsFile(path, 3));
  }
  EXPECT_EQ(dialogs.Last().text, "Error: Can't write file " + path);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"keep.ssf"});  // no temporary left

  const std::string nowhere = dir.File("no/such/folder.ssf");
  EXPECT_FALSE(WriteSettingsFile(nowhere, 3));
  EXPECT_EQ(dialogs.Last().text, "Error: Can't create file " + nowhere);
}
