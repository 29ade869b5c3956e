#include <gtest/gtest.h>

#include <QLockFile>
#include <QSettings>
#include <QSysInfo>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#include "platform/dialogs.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/registry_text.h"
#include "tests/support/pipe_in_place.h"
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

// The range readers of the store: the ends of the range read exactly, a
// value outside it (or no number) reads as the default; the watch names
// every value read.
TEST(Registry, RangeReadersGiveTheDefaultOutsideTheRange) {
  testing_support::TempDir home;
  testing_support::ScopedEnv cfg("XDG_CONFIG_HOME", home.File("config"));
  TRegIniFile reg;
  const char* values[][2] = {{"lo", "-20"}, {"hi", "130"}, {"below", "-21"}, {"above", "131"},
                             {"max", "2147483647"}, {"min", "-2147483648"}, {"huge", "1e308"},
                             {"tiny", "-1e308"}, {"nan", "nan"}, {"inf", "inf"}, {"empty", ""}, {"word", "text"},
                             {"frac", "6.5"}};
  for (const auto& [ident, value] : values) reg.WriteString("Range", ident, value);
  std::set<std::string> seen;
  WatchSettingsReadsForTest([&](const std::string& section, const std::string& ident) {
    seen.insert(section + "/" + ident);
  });
  EXPECT_EQ(reg.ReadInteger("Range", "lo", 65, -20, 130), -20);
  EXPECT_EQ(reg.ReadInteger("Range", "hi", 65, -20, 130), 130);
  EXPECT_EQ(reg.ReadFloat("Range", "frac", 1, -20, 130), 6.5);
  EXPECT_EQ(reg.ReadNumberText("Range", "frac", "1", -20, 130), "6.5");
  WatchSettingsReadsForTest({});
  EXPECT_EQ(seen, (std::set<std::string>{"Range/lo", "Range/hi", "Range/frac"}));
  for (const char* ident : {"below", "above", "max", "min", "huge", "tiny", "nan", "inf", "empty", "word", "missing"}) {
    EXPECT_EQ(reg.ReadInteger("Range", ident, 65, -20, 130), 65) << ident;
    EXPECT_EQ(reg.ReadFloat("Range", ident, 6.5, -20, 130), 6.5) << ident;
    EXPECT_EQ(reg.ReadNumberText("Range", ident, "0", -20, 130), "0") << ident;
  }
}

// The store keeps Qt's INI syntax: Qt's own writer and reader are the
// reference for odd names and values. A write the disk refuses keeps the
// file as it was and is told.
TEST(Registry, KeepsQtsIniSyntaxAndTheOldFileOnAFailedWrite) {
  const char* values[] = {"a, b", " x ",  "q\"\\", "t\tn\n\x01" "1\x7f" "7",
                          "@V(x)", "\u00c5\u20ac\U0001d6fc", "", "a;b=c", "\u00a0nbsp\u00a0"};
  const std::string sections[] = {"Solar System", "\u00dcn\u00ef", "General", "A%B"};
  const std::string store = TRegIniFile().FileName();
  auto key = [&](int i) { return sections[i % 4] + "/k\u00e9y " + std::to_string(i); };
  testing_support::TempDir dir;
  {
    QSettings qt(QString::fromStdString(dir.File("qt.ini")), QSettings::IniFormat);
    for (int i = 0; i < 9; ++i) qt.setValue(QString::fromStdString(key(i)), values[i]);
  }
  std::filesystem::create_directories(std::filesystem::path(store).parent_path());
  std::filesystem::copy_file(dir.File("qt.ini"), store, std::filesystem::copy_options::overwrite_existing);
  {
    TRegIniFile reg;  // reads Qt's file; one change writes the whole file anew
    for (int i = 0; i < 9; ++i)
      EXPECT_EQ(reg.ReadString(sections[i % 4], key(i).substr(sections[i % 4].size() + 1), "?"), values[i]) << i;
    reg.WriteString("Full", "name", "old");
  }
  std::filesystem::copy_file(store, dir.File("ours.ini"));
  QSettings qt(QString::fromStdString(dir.File("ours.ini")), QSettings::IniFormat);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(qt.value(QString::fromStdString(key(i))).toString(), values[i]) << i;

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

// A save killed between making the store's lock and writing its owner into
// it leaves an empty lock; one killed later leaves a lock naming a process
// that has ended. Either is taken over at once (Qt's own rule waits until the
// lock is 30 s old). A lock a running process holds is waited for briefly,
// then the save is refused, told, and done by the next one.
TEST(Registry, ALeftOverLockIsTakenAtOnceALiveOneOnlyWaitedForBriefly) {
  const std::string store = TRegIniFile().FileName();
  std::filesystem::create_directories(std::filesystem::path(store).parent_path());
  const std::string lockPath = store + ".lock";
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string leftOvers[] = {
      "", std::to_string(ended) + "\nnoctra\n" + QSysInfo::machineHostName().toStdString() + "\n"};
  for (const std::string& lock : leftOvers) {
    testing_support::WriteText(lockPath, lock);
    const int waitsBefore = platform::SettingsLockWaitsSoFar();
    TRegIniFile().WriteString("Lock", "owner", lock);
    EXPECT_EQ(platform::SettingsLockWaitsSoFar(), waitsBefore) << "waited for a left-over lock: " << lock;
    EXPECT_EQ(TRegIniFile().ReadString("Lock", "owner", "?"), lock);
    EXPECT_FALSE(platform::FileExists(lockPath));
  }

  ScopedScriptedDialogs dialogs;
  {
    QLockFile held(QString::fromStdString(lockPath));
    ASSERT_TRUE(held.tryLock(0));
    TRegIniFile reg;
    reg.WriteString("Lock", "owner", "live");
    const int waitsBefore = platform::SettingsLockWaitsSoFar();
    reg.Flush();
    EXPECT_EQ(platform::SettingsLockWaitsSoFar(), waitsBefore + 1);
    const auto file = [&] { return ParseSettingsText(QByteArray::fromStdString(testing_support::ReadText(store))); };
    EXPECT_EQ(file()["Lock/owner"].toStdString(), leftOvers[1]);  // as it was
    EXPECT_EQ(reg.ReadString("Lock", "owner", "?"), "live");      // kept to be written
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_NE(dialogs.Last().text.find("locked by another running copy"), std::string::npos);
    held.unlock();
    reg.Flush();
    EXPECT_EQ(file()["Lock/owner"], "live");
  }
  TRegIniFile().EraseSection("Lock");
}

// A save the system refuses is told with the system's reason: a lock file
// whose contents do not fit (a full disk), a folder that cannot be made.
TEST(Registry, AFailedSaveGivesTheSystemsReason) {
  ScopedScriptedDialogs dialogs;
  const std::string store = TRegIniFile().FileName();
  std::filesystem::create_directories(std::filesystem::path(store).parent_path());
  std::filesystem::remove(store + ".lock");
  {
    testing_support::FileSizeLimit full(4);
    TRegIniFile().WriteString("Refused", "lock", "x");
  }
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text, "Error: Can't write file " + store + "\r\n" + std::strerror(EFBIG) +
                                     " (its lock file " + store + ".lock cannot be made)\r\nThe previous file is kept.");
  testing_support::TempDir dir;
  testing_support::WriteText(dir.File("file"), "");
  {
    testing_support::ScopedEnv config("XDG_CONFIG_HOME", dir.File("file/config"));
    TRegIniFile().WriteString("Refused", "folder", "x");
  }
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_NE(dialogs.Last().text.find(std::string(std::strerror(ENOTDIR)) + " (the folder " + dir.File("file/config")),
            std::string::npos)
      << dialogs.Last().text;
  TRegIniFile().EraseSection("Refused");
}

// A pipe in the store's place is never opened: reading gives the defaults,
// and a save is refused with why, the pipe left in place.
TEST(Registry, APipeInTheStoresPlaceIsNeverOpened) {
  ScopedScriptedDialogs dialogs;
  testing_support::TempDir dir;
  testing_support::ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
  std::filesystem::create_directories(dir.File("config/Tarvel Software"));
  PipeInPlace pipe(TRegIniFile().FileName());
  TRegIniFile().WriteInteger("Stars", "low mag limit", TRegIniFile().ReadInteger("Stars", "low mag limit", 7) - 2);
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_NE(dialogs.Last().text.find("it is a named pipe, not a file"), std::string::npos) << dialogs.Last().text;
  EXPECT_TRUE(std::filesystem::is_fifo(TRegIniFile().FileName()));
  EXPECT_FALSE(pipe.Opened());
}

// While another running copy holds the lock, one save of the program waits
// for it once and tells it once: a batch of several objects (the program's
// end saves in one), or one object outside a batch (its Flush calls and
// its destruction). Reading the store never waits for changes others left
// pending; once the lock is free, the program's end writes them all.
TEST(Registry, ALockHeldByAnotherCopyCostsOneWaitPerSave) {
  ScopedScriptedDialogs dialogs;
  const std::string store = TRegIniFile().FileName();
  std::filesystem::create_directories(std::filesystem::path(store).parent_path());
  QLockFile held(QString::fromStdString(store + ".lock"));
  ASSERT_TRUE(held.tryLock(0));
  int waits = platform::SettingsLockWaitsSoFar();
  const auto newWaits = [&waits] {
    const int before = std::exchange(waits, platform::SettingsLockWaitsSoFar());
    return waits - before;
  };
  {
    SaveFailureBatch save;
    for (int i = 0; i < 6; ++i) TRegIniFile().WriteInteger("Held", "n" + std::to_string(i), i);
    EXPECT_EQ(dialogs.Count(), 0u);  // told at the end of the save
  }
  EXPECT_EQ(newWaits(), 1) << "the batch";
  {
    TRegIniFile reg;
    reg.WriteInteger("Held", "single", 1);
    for (int i = 0; i < 3; ++i) reg.Flush();
  }
  EXPECT_EQ(newWaits(), 1) << "one object outside a batch";
  for (int i = 0; i < 6; ++i) EXPECT_EQ(TRegIniFile().ReadInteger("Held", "single", 0), 1);
  EXPECT_EQ(newWaits(), 0) << "reads never wait";
  EXPECT_EQ(dialogs.Count(), 1u);  // the file keeps failing: told once

  held.unlock();
  FlushSettingsStore();
  SettingsValues file = ParseSettingsText(QByteArray::fromStdString(testing_support::ReadText(store)));
  EXPECT_EQ(file["Held/single"], "1");
  EXPECT_EQ(file["Held/n5"], "5");
  TRegIniFile().EraseSection("Held");
}

// Whatever the store writes reads back as it was, and writing what was read
// gives the same bytes, for values that lose or gain characters under a
// careless reader or writer; files of earlier versions keep their values.
TEST(Registry, OddValuesRoundTripAndWriteTheSameBytesAgain) {
  const std::string values[] = {",Simulator", "@x", "@@x", "@", "\u00a0padded\u3000", " ", "\"q\" \\ b",
                                "a,b;c=d", "\t\x01" "1", "\u2028", "@Invalid()", "x\\", "", "\ufeffBOM"};
  const std::string keys[] = {"SCOPE_NAME", "cl\u00e9 \u65e5\u672c", "a/b", "[x]", ";c", "\ufeff%U0041"};
  const std::string sections[] = {"ASCOM", "General", "\u00dcber"};
  {
    TRegIniFile reg;
    int i = 0;
    for (const std::string& v : values) {
      reg.WriteString(sections[i % 3], keys[i % 6] + std::to_string(i), v);
      ++i;
    }
  }
  const std::string store = TRegIniFile().FileName();
  const QByteArray first = QByteArray::fromStdString(testing_support::ReadText(store));
  {
    TRegIniFile reg;
    int i = 0;
    for (const auto& v : values) {
      EXPECT_EQ(reg.ReadString(sections[i % 3], keys[i % 6] + std::to_string(i), "?"), v) << i;
      ++i;
    }
  }
  EXPECT_EQ(FormatSettingsText(ParseSettingsText(first)), first);

  // Earlier files: Qt's string list (its first item empty, "@" doubled in
  // each item), unquoted blanks around values (the spaces go, no-break
  // spaces stay, as Qt reads them), a byte-order mark.
  testing_support::WriteText(store, "\xEF\xBB\xBF[ASCOM]\r\nSCOPE_NAME=,Simulator\r\nNAMES=@@a, \"@@b \"\n"
                                    "FOCUSER_NAME =  \u00a0Focuser 1\u00a0 \n");
  for (int save = 0; save < 2; ++save) {
    TRegIniFile reg;
    EXPECT_EQ(reg.ReadString("ASCOM", "SCOPE_NAME", "?"), ",Simulator") << save;
    EXPECT_EQ(reg.ReadString("ASCOM", "NAMES", "?"), "@a,@b ") << save;
    EXPECT_EQ(reg.ReadString("ASCOM", "FOCUSER_NAME", "?"), "\u00a0Focuser 1\u00a0") << save;
    reg.WriteInteger("ASCOM", "SET_TIME", save);  // the whole file is written again
  }
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
