#include <gtest/gtest.h>

#include "platform/inifile.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"

using namespace platform;

TEST(Registry, RoundTripAndDefaults) {
  {
    TRegIniFile reg;
    reg.WriteInteger("Stars", "low mag limit", -15);
    reg.WriteBool("Solar System", "show sun", true);
    reg.WriteString("Solar System", "ast elements file", "default.ast");
    reg.WriteFloat("Atmospheric", "pressure", 1013.25);
    reg.WriteString("Stars", "garbage", "12abc");
  }
  TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("Stars", "low mag limit", 0), -15);
  EXPECT_TRUE(reg.ReadBool("Solar System", "show sun", false));
  EXPECT_EQ(reg.ReadString("Solar System", "ast elements file", ""), "default.ast");
  EXPECT_DOUBLE_EQ(reg.ReadFloat("Atmospheric", "pressure", 0), 1013.25);
  // Missing or unreadable values give the caller's default.
  EXPECT_EQ(reg.ReadInteger("Stars", "missing", 77), 77);
  EXPECT_EQ(reg.ReadInteger("Stars", "garbage", 5), 5);
  EXPECT_TRUE(reg.ReadBool("Stars", "garbage", true));
  EXPECT_EQ(reg.ReadString("Nope", "x", "dflt"), "dflt");
  // Booleans are stored as "1" and "0".
  EXPECT_EQ(reg.ReadString("Solar System", "show sun", ""), "1");
  reg.EraseSection("Stars");
  EXPECT_FALSE(reg.ValueExists("Stars", "low mag limit"));
}

TEST(IniFile, CaseInsensitiveSectionsAndKeys) {
  testing_support::TempDir dir;
  testing_support::WriteText(dir.File("t.template"),
                             "; comment\n[Columns]\nName = 12\r\nEpoch=abc\n[other]\nname=3\n");
  TIniFile ini(dir.File("t.template"));
  EXPECT_TRUE(ini.Loaded());
  EXPECT_EQ(ini.ReadInteger("COLUMNS", "name", 0), 12);
  EXPECT_EQ(ini.ReadInteger("columns", "Epoch", -1), -1);  // not a number
  EXPECT_EQ(ini.ReadInteger("Other", "NAME", 0), 3);
  EXPECT_EQ(ini.ReadInteger("Columns", "Missing", 9), 9);
  TIniFile none(dir.File("absent.template"));
  EXPECT_FALSE(none.Loaded());
  EXPECT_EQ(none.ReadInteger("a", "b", 4), 4);
}
