#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

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

// The store's file keeps the INI syntax of Qt's own writer and reader,
// which are the reference here: odd names and values written by one side
// read back unchanged on the other.
TEST(Registry, ReadsAndWritesTheIniSyntaxOfQt) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"Solar System", "show sun"}, {"Stars", "low mag limit"}, {"\u00dcn\u00ef", "k\u00e9y \u20ac"},
      {"General", "x"}, {"A%B", "k=v;w"}};
  const std::vector<std::string> values = {
      "1", "a, b", " x ", "say \"hi\" \\ back", "tab\tnl\ncr\r\x01" "1z\x7f" "7", "@Variant(x)",
      "\u00c5ngstr\u00f6m \u20ac \U0001d6fc", "", "#x", "a;b=c"};
  const QString store = QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvel Software",
                                  "Noctra Planetarium").fileName();
  auto key = [&](size_t i) { return QString::fromStdString(names[i % names.size()].first + "/" + names[i % names.size()].second + std::to_string(i)); };
  testing_support::TempDir dir;
  {
    QSettings qt(QString::fromStdString(dir.File("qt.ini")), QSettings::IniFormat);
    for (size_t i = 0; i < values.size(); ++i) qt.setValue(key(i), QString::fromStdString(values[i]));
  }
  QFile::remove(store);
  QDir().mkpath(QFileInfo(store).path());
  ASSERT_TRUE(QFile::copy(QString::fromStdString(dir.File("qt.ini")), store));
  {
    TRegIniFile reg;
    for (size_t i = 0; i < values.size(); ++i) {
      const auto& [section, ident] = names[i % names.size()];
      EXPECT_EQ(reg.ReadString(section, ident + std::to_string(i), "?"), values[i]) << i;
      reg.DeleteKey(section, ident + std::to_string(i));
      reg.WriteString(section, ident + std::to_string(i), values[i]);
    }
  }
  ASSERT_TRUE(QFile::copy(store, QString::fromStdString(dir.File("ours.ini"))));
  QSettings qt(QString::fromStdString(dir.File("ours.ini")), QSettings::IniFormat);
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(qt.value(key(i)).toString().toStdString(), values[i]) << i;
  QFile::remove(store);
}

TEST(Registry, FailedWriteIsToldAndKeepsTheOldFile) {
  ScopedScriptedDialogs dialogs;
  const std::string store = QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarvel Software",
                                      "Noctra Planetarium").fileName().toStdString();
  { TRegIniFile().WriteString("Full", "name", "old"); }
  const std::string before = testing_support::ReadText(store);
  ASSERT_NE(before.find("name=old\n"), std::string::npos);
  {
    testing_support::FileSizeLimit full(400);
    TRegIniFile reg;
    reg.WriteString("Full", "name", std::string(1000, 'n'));
  }
  EXPECT_EQ(testing_support::ReadText(store), before);
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text, "Error: Can't write file " + store + "\r\nThe settings could not be written.\r\nThe previous file is kept.");
  TRegIniFile().EraseSection("Full");
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
