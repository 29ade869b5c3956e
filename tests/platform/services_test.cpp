#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/halt.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

using namespace platform;

TEST(DialogDouble, AnswersFromQueueAndRecords) {
  ScopedScriptedDialogs dialogs;
  dialogs.QueueAnswer(IDNO);
  EXPECT_EQ(ShowMessageBox("File exists", "Cap", MsgButtons::YesNoCancel, MsgIcon::Question), IDNO);
  // Empty queue: the first button.
  EXPECT_EQ(ShowMessageBox("x", "Cap", MsgButtons::YesNoCancel, MsgIcon::Question), IDYES);
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_EQ(dialogs.Records()[0].text, "File exists");
  EXPECT_EQ(dialogs.Records()[0].icon, MsgIcon::Question);
  FileDialogOptions o;
  o.filter = "Settings|*.ssf";
  EXPECT_FALSE(Dialogs().FileDialog(o).accepted);  // cancelled by default
  dialogs.QueueFile({true, "/tmp/a.ssf", 1});
  EXPECT_EQ(Dialogs().FileDialog(o).fileName, "/tmp/a.ssf");
}

TEST(DialogDouble, WorkerThreadMessageRunsOnGuiThread) {
  ScopedScriptedDialogs dialogs;
  std::atomic<bool> done{false};
  std::atomic<bool> ranOnGui{false};
  std::thread worker([&] {
    RunOnGuiThread([&] {
      ranOnGui = IsGuiThread();
      ShowMessageBox("from worker", "Cap", MsgButtons::Ok, MsgIcon::Stop);
    });
    done = true;
  });
  // The GUI thread pumps until the worker's hand-over has run.
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  EXPECT_TRUE(ranOnGui);
  EXPECT_EQ(dialogs.Last().text, "from worker");
}

TEST(ProgramExit, TestHandlerThrows) {
  try {
    HaltProgram(3);
    FAIL() << "HaltProgram returned";
  } catch (const ProgramHalted& h) {
    EXPECT_EQ(h.Code(), 3);
  }
}

TEST(Paths, CaseInsensitiveLookupAndAtomicWrite) {
  testing_support::TempDir dir;
  testing_support::WriteText(dir.File("SAO_YALE.DAT"), "x");
  EXPECT_EQ(FindFileNoCase(dir.Path(), "sao_yale.dat"), dir.File("SAO_YALE.DAT"));
  EXPECT_EQ(FindFileNoCase(dir.Path(), "missing.dat"), dir.File("missing.dat"));
  EXPECT_TRUE(FolderExists(dir.Path()));
  EXPECT_FALSE(FolderExists(dir.File("SAO_YALE.DAT")));

  const std::string target = dir.File("out.bin");
  testing_support::WriteText(target, "old");
  ASSERT_TRUE(WriteFileAtomically(target, "new!", 4));
  EXPECT_EQ(testing_support::ReadFile(target).size(), 4u);
  // A write into a missing folder fails and leaves nothing behind.
  EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/file"), "x", 1));

  // Temporaries of saves killed mid-write go at the next save; those of a
  // process still running (process 1) and other files stay.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child);
  const std::vector<std::string> stale = {".tmp", ".tmp-" + dead, ".tmp-" + dead + "-7"},
                                 kept = {".tmp-1", ".tmp-x", "2.tmp-" + dead};
  for (const auto& list : {stale, kept})
    for (const std::string& s : list) testing_support::WriteText(target + s, "litter");
  ASSERT_TRUE(WriteFileAtomically(target, "new!", 4));
  for (const std::string& s : stale) EXPECT_FALSE(FileExists(target + s)) << s;
  for (const std::string& s : kept) EXPECT_TRUE(FileExists(target + s)) << s;
}

TEST(Paths, FailedSaveIsToldOnceAndKeepsTheOldFile) {
  testing_support::TempDir dir;
  ScopedScriptedDialogs dialogs;
  const std::string target = dir.File("keep.dat");
  testing_support::WriteText(target, "old");
  const std::string big(4096, 'x');
  {
    testing_support::FileSizeLimit full(1000);
    EXPECT_FALSE(SaveFile(target, big.data(), big.size()));
    EXPECT_FALSE(SaveFile(target, big.data(), big.size()));
  }
  EXPECT_EQ(testing_support::ReadText(target), "old");
  ASSERT_EQ(dialogs.Count(), 1u);  // told once while it keeps failing
  EXPECT_EQ(dialogs.Last().text, "Error: Can't write file " + target + "\r\nFile too large\r\nThe previous file is kept.");
  EXPECT_EQ(dialogs.Last().icon, MsgIcon::Exclamation);
  ASSERT_TRUE(SaveFile(target, "ok", 2));
  {
    testing_support::FileSizeLimit full(1000);
    EXPECT_FALSE(SaveFile(target, big.data(), big.size()));
  }
  EXPECT_EQ(dialogs.Count(), 2u);  // failing again after a good save is told again
  EXPECT_EQ(testing_support::ReadText(target), "ok");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temporary left
}
