#include <gtest/gtest.h>

#include <QSettings>
#include <filesystem>

#include "platform/dialogs.h"
#include "platform/inifile.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"

using namespace platform;

TEST(Registry, RoundTripAndDefaults) {
  {
    TRegIniFile reg;
    reg.WriteInteger("Stars", "low mag limit", -15);
    reg.WriteBool("Solar System", "show sun", true);
    reg.WriteFloat("Atmospheric", "pressure", 1013.25);
    reg.WriteString("Stars", "garbage", "12abc");
  }
  TRegIniFile reg;
  EXPECT_EQ(reg.ReadInteger("Stars", "low mag limit", 0), -15);
  EXPECT_TRUE(reg.ReadBool("Solar System", "show sun", false));
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

// The store keeps Qt's INI syntax: Qt's own writer and reader are the
// reference for odd names and values. A write the disk refuses keeps the
// file as it was and is told.
TEST(Registry, KeepsQtsIniSyntaxAndTheOldFileOnAFailedWrite) {
  const char* values[] = {"a, b", " x ",  "q\"\\", "t\tn\n\x01" "1\x7f" "7",
                          "@V(x)", "\u00c5\u20ac\U0001d6fc", "", "a;b=c"};
  const std::string sections[] = {"Solar System", "\u00dcn\u00ef", "General", "A%B"};
  const std::string store = QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvel Software",
                                      "Noctra Planetarium").fileName().toStdString();
  auto key = [&](int i) { return sections[i % 4] + "/k\u00e9y " + std::to_string(i); };
  testing_support::TempDir dir;
  {
    QSettings qt(QString::fromStdString(dir.File("qt.ini")), QSettings::IniFormat);
    for (int i = 0; i < 8; ++i) qt.setValue(QString::fromStdString(key(i)), values[i]);
  }
  std::filesystem::create_directories(std::filesystem::path(store).parent_path());
  std::filesystem::copy_file(dir.File("qt.ini"), store, std::filesystem::copy_options::overwrite_existing);
  {
    TRegIniFile reg;  // reads Qt's file; one change writes the whole file anew
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(reg.ReadString(sections[i % 4], key(i).substr(sections[i % 4].size() + 1), "?"), values[i]) << i;
    reg.WriteString("Full", "name", "old");
  }
  std::filesystem::copy_file(store, dir.File("ours.ini"));
  QSettings qt(QString::fromStdString(dir.File("ours.ini")), QSettings::IniFormat);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(qt.value(QString::fromStdString(key(i))).toString(), values[i]) << i;

  ScopedScriptedDialogs dialogs;
  const std::string before = testing_support::ReadText(store);
  {
    testing_support::FileSizeLimit full(before.size() + 300);
    TRegIniFile().WriteString("Full", "name", std::string(1000, 'n'));
  }
  EXPECT_EQ(testing_support::ReadText(store), before);
  EXPECT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text.rfind("Error: Can't write file " + store, 0), 0u);
  std::filesystem::remove(store);
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
