#include <gtest/gtest.h>

#include "app/settings_file.h"
#include "platform/codec.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(SettingsFile, WriteReopenAndReadEachSlot) {
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
}

TEST(SettingsFile, DamagedAndTruncatedFilesFailCleanly) {
  TempDir dir;
  const std::string path = dir.File("b.ssf");
  {
    auto s = TSettingsStream::Create(path);
    ASSERT_TRUE(s->WriteSection(11, std::vector<uint8_t>(58, 11)));
    ASSERT_TRUE(s->Close());
  }
  auto bytes = ReadFile(path);
  std::vector<uint8_t> block;

  // Truncated: the block no longer fits.
  WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
  EXPECT_FALSE(TSettingsStream::Open(path)->ReadSection(11, 58, block));

  // Offset pointing into the directory or past the end.
  auto damaged = bytes;
  platform::PutU32(&damaged[67], 12);
  WriteFile(path, damaged);
  EXPECT_FALSE(TSettingsStream::Open(path)->ReadSection(11, 58, block));
  platform::PutU32(&damaged[67], 0xFFFFFFF0u);
  WriteFile(path, damaged);
  EXPECT_FALSE(TSettingsStream::Open(path)->ReadSection(11, 58, block));

  // Shorter than the directory itself, or garbage.
  WriteFile(path, std::vector<uint8_t>(5, 255));
  EXPECT_FALSE(TSettingsStream::Open(path)->ReadSection(11, 58, block));
  EXPECT_TRUE(block.empty());

  EXPECT_EQ(TSettingsStream::Open(dir.File("missing.ssf")), nullptr);
}
