// Settings files (".ssf"): the stream's directory and blocks, and the shell
// that hands each slot to its owner.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "platform/codec.h"
#include "platform/dialogs.h"
#include "shell/settings_file.h"
#include "shell/settings_sections.h"
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
        if (!block) absent.push_back(slot);
        if (!block || block->size() != kSizes[slot] || refuse[slot]) return false;
        value[slot] = (*block)[0];
        return true;
      };
      EXPECT_TRUE(RegisterSettingsSection(slot, owner));
    }
  }
  ~FakeOwners() { UnregisterAllSettingsSectionsForTest(); }
  void Set(uint8_t v) { value.fill(v); }
};

}  // namespace

TEST(SettingsFile, StreamWritesTheDirectoryAndReadsEachSlot) {
  TempDir dir;
  const std::string path = dir.File("a.ssf");
  {
    auto s = TSettingsStream::Create(path);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->WriteSection(8, std::vector<uint8_t>(10, 8)));
    EXPECT_TRUE(s->WriteSection(1, std::vector<uint8_t>(66, 1)));
    EXPECT_FALSE(s->WriteSection(0, {1}));    // slot 0 is never used
    EXPECT_FALSE(s->WriteSection(100, {1}));  // outside the directory
    EXPECT_TRUE(s->Close());
  }
  const auto bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 600u + 10 + 66);
  // The first block lands right after the directory.
  EXPECT_EQ(bytes[48], 255);
  EXPECT_EQ(platform::GetU32(&bytes[49]), 600u);
  EXPECT_EQ(bytes[53], 0);
  EXPECT_EQ(bytes[6], 255);
  EXPECT_EQ(platform::GetU32(&bytes[7]), 610u);

  auto s = TSettingsStream::Open(path);
  ASSERT_TRUE(s);
  std::vector<uint8_t> block;
  ASSERT_TRUE(s->ReadSection(8, 10, block));
  EXPECT_EQ(block, std::vector<uint8_t>(10, 8));
  ASSERT_TRUE(s->ReadSection(1, 66, block));
  EXPECT_EQ(block, std::vector<uint8_t>(66, 1));
  // An absent slot leaves the caller's block alone.
  block = {42};
  EXPECT_FALSE(s->ReadSection(2, 657, block));
  EXPECT_EQ(block, std::vector<uint8_t>{42});
  EXPECT_FALSE(s->HasSection(2));
  // A read-only stream refuses to write.
  EXPECT_FALSE(s->WriteSection(3, {1}));
  EXPECT_EQ(TSettingsStream::Open(dir.File("missing.ssf")), nullptr);

  // A damaged or truncated file never yields a block (slot 1's offset is at byte 7).
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {{"truncated", {bytes.begin(), bytes.end() - 1}},
               {"offset inside the directory", bytes},
               {"offset past the end", bytes},
               {"shorter than the directory", std::vector<uint8_t>(5, 255)}};
  platform::PutU32(&cases[1].bytes[7], 12);
  platform::PutU32(&cases[2].bytes[7], 0xFFFFFFF0u);
  for (const Case& c : cases) {
    WriteFile(path, c.bytes);
    block.clear();
    EXPECT_FALSE(TSettingsStream::Open(path)->ReadSection(1, 66, block)) << c.what;
    EXPECT_TRUE(block.empty()) << c.what;
  }
}

TEST(SettingsSections, SlotTableMatchesTheOwners) {
  for (int slot = 1; slot <= 11; ++slot) EXPECT_EQ(SettingsBlockBytes(slot), kSizes[slot]) << slot;
  EXPECT_EQ(SettingsBlockBytes(0), 0u);
  EXPECT_EQ(SettingsBlockBytes(12), 0u);
  EXPECT_FALSE(RegisterSettingsSection(12, {1, [] { return std::vector<uint8_t>{0}; },
                                            [](const std::vector<uint8_t>*) { return true; }}));
  EXPECT_FALSE(RegisterSettingsSection(3, {12, {}, {}}));
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
    ASSERT_GE(bytes.size(), 600u);
    // Slots the kind leaves out are flagged 0; every entry ends in a zero byte.
    for (int slot = 0; slot < 100; ++slot) {
      const bool written = std::count(kinds[kind].begin(), kinds[kind].end(), slot) > 0;
      EXPECT_EQ(bytes[6 * slot], written ? 255 : 0) << kind << "/" << slot;
      EXPECT_EQ(bytes[6 * slot + 5], 0) << kind << "/" << slot;
    }
    uint32_t offset = 600;
    for (int slot : kinds[kind]) {
      EXPECT_EQ(platform::GetU32(&bytes[6 * slot + 1]), offset) << kind << "/" << slot;
      EXPECT_EQ(bytes[offset], slot);
      offset += uint32_t(kSizes[slot]);
    }
    EXPECT_EQ(bytes.size(), offset) << kind;
    EXPECT_EQ(bytes.back(), kinds[kind].back()) << kind;
  }
  // A slot without an owner stays absent.
  UnregisterSettingsSection(2);
  ASSERT_TRUE(WriteSettingsFile(dir.File("k3b.ssf"), 3));
  const auto bytes = ReadFile(dir.File("k3b.ssf"));
  EXPECT_EQ(bytes.size(), 600u + 66u);
  EXPECT_EQ(bytes[12], 0);
}

TEST(SettingsSections, ReadingAppliesOnlyThePresentBlocksAndReportsARefusal) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  FakeOwners owners;
  const std::string poi = dir.File("poi.ssf");
  ASSERT_TRUE(WriteSettingsFile(poi, 5));
  // Reading changes only the points of interest; every reader runs, in order.
  owners.Set(77);
  EXPECT_EQ(ReadSettingsFile(poi), TSettingsReadResult::Ok);
  for (int slot = 1; slot <= 11; ++slot) EXPECT_EQ(owners.value[slot], slot == 8 ? 8 : 77) << slot;
  EXPECT_EQ(owners.readOrder, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(owners.absent.size(), 10u);
  EXPECT_EQ(dialogs.Count(), 0u);

  // A refused block is reported; the other blocks still apply.
  const std::string path = dir.File("s.ssf");
  owners.Set(9);
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

TEST(SettingsSections, DamagedAndTruncatedFilesChangeNothing) {
  TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  FakeOwners owners;
  const std::string path = dir.File("all.ssf");
  ASSERT_TRUE(WriteSettingsFile(path, 2));
  const auto good = ReadFile(path);
  owners.Set(99);

  const std::string unrecognized = "Warning: Unrecognized file format in ";
  const std::string badSize = "Warning: Unexpected file size in ";
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string message;
  } cases[] = {{"truncated by one byte", {good.begin(), good.end() - 1}, badSize},
               {"shorter than the directory", {good.begin(), good.begin() + 599}, unrecognized},
               {"flag neither 0 nor 255", good, unrecognized},
               {"offset inside the directory", good, unrecognized},
               {"offset past the end", good, badSize},
               {"garbage", std::vector<uint8_t>(5000), unrecognized}};
  cases[2].bytes[18] = 7;
  platform::PutU32(&cases[3].bytes[25], 100);
  platform::PutU32(&cases[4].bytes[61], 0xFFFFFFF0u);
  for (std::size_t i = 0; i < cases[5].bytes.size(); ++i) cases[5].bytes[i] = uint8_t(i * 37 + 11);

  for (const Case& c : cases) {
    WriteFile(path, c.bytes);
    owners.readOrder.clear();
    EXPECT_EQ(ReadSettingsFile(path), TSettingsReadResult::Damaged) << c.what;
    EXPECT_TRUE(owners.readOrder.empty()) << c.what;
    for (int slot = 1; slot <= 11; ++slot) EXPECT_EQ(owners.value[slot], 99) << c.what;
    EXPECT_EQ(dialogs.Last().text, c.message + path) << c.what;
    EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(ReadFile(path), c.bytes) << c.what;  // reading never writes
  }
  EXPECT_EQ(ReadSettingsFile(dir.File("missing.ssf")), TSettingsReadResult::CannotOpen);
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
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) files += entry.exists();
  EXPECT_EQ(files, 1);  // no temporary left

  const std::string nowhere = dir.File("no/such/folder.ssf");
  EXPECT_FALSE(WriteSettingsFile(nowhere, 3));
  EXPECT_EQ(dialogs.Last().text, "Error: Can't create file " + nowhere);
}
