// Damaged reference files: told once per file and run, gathered into one
// box while the start-up holds them, each line naming the file and the
// reason, and the box saying how to rebuild them.
#include <gtest/gtest.h>

#include <thread>

#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

namespace {

// Records on which thread each box was shown.
struct ThreadCheckingDialogs : platform::ScriptedDialogs {
  int MessageBox(const std::string& text, const std::string& caption, platform::MsgButtons b,
                 platform::MsgIcon icon) override {
    onGuiThread.push_back(platform::IsGuiThread());
    return ScriptedDialogs::MessageBox(text, caption, b, icon);
  }
  std::vector<bool> onGuiThread;
};

struct DataFilesTest : testing::Test {
  DataFilesTest() : saved(DataFolder) {
    DataFolder = "/srv/noctra data/";
    ForgetDataFileProblemsForTest();
    platform::SetDialogs(&dialogs);
  }
  ~DataFilesTest() override {
    platform::SetDialogs(nullptr);
    ForgetDataFileProblemsForTest();
    DataFolder = saved;
  }
  std::string saved;
  ThreadCheckingDialogs dialogs;
};

}  // namespace

TEST_F(DataFilesTest, HeldReportsAreToldOnceInOneBoxWithTheRebuild) {
  HoldDataFileProblems();
  ReportDataFileProblem(101, "world.dat", "cut short");
  ReportDataFileProblem(103, "world.dat", "tiles do not decode");  // the same file: told already
  ReportDataFileProblem(103, "Objects.sqlite", "database disk image is malformed");
  ReportDataFileProblem(102, "tycho2.dat", kDataFileMissing);
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_TRUE(DataFileProblemTold("world.dat"));
  EXPECT_FALSE(DataFileProblemTold("city.dat"));
  EXPECT_EQ(LogLines().LastLine(),
            "[Data] Warning: Can't open file \"tycho2.dat\": the file is missing. (/srv/noctra data/)");
  ReleaseDataFileProblems();
  ASSERT_EQ(dialogs.Count(), 1u);
  const std::string text = dialogs.Last().text;
  EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Exclamation);
  EXPECT_EQ(dialogs.Last().caption, platform::kProductCaption);
  // One line a file; a damaged file is deleted before the rebuild, a missing
  // one needs nothing, and the object database is moved aside (it holds
  // the user's own catalogues).
  const std::string lines =
      "Warning: Unexpected file size in \"world.dat\": cut short.\r\n"
      "Warning: Can't read file \"Objects.sqlite\": database disk image is malformed.\r\n"
      "Warning: Can't open file \"tycho2.dat\": the file is missing.\r\n\r\n"
      "The program goes on without what these files hold and leaves them as they are. To rebuild them, close "
      "Noctra Planetarium, delete \"world.dat\", move \"Objects.sqlite\" aside (the catalogues you imported are "
      "kept in it) and run the data builder on the data folder, as run.sh does before it starts the program:\r\n\"";
  EXPECT_EQ(text.substr(0, lines.size()), lines);
  const std::string command = "noctra-mkdata\" \"/srv/noctra data/\"";
  EXPECT_EQ(text.substr(text.size() - command.size()), command);
  // After the release a newly damaged file is told at once in a box of its
  // own; a file told before is not told again.
  ReportDataFileProblem(100, "sun.bmp", "not a bitmap");
  ReportDataFileProblem(101, "tycho2.dat", "cut");
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text,
                                          "Warning: Unrecognized file format in \"sun.bmp\": not a bitmap.\r\n\r\nThe "
                                          "program goes on without what this file holds and leaves it as it is. To "
                                          "rebuild it, close Noctra Planetarium, delete \"sun.bmp\" and run"));
  // A new start-up tells every file afresh.
  HoldDataFileProblems();
  ReportDataFileProblem(101, "world.dat", "cut short");
  EXPECT_EQ(TakeHeldDataFileProblems().size(), 1u);
}

// The star loader reports from its worker: the box is shown on the GUI
// thread, and the worker does not wait for it.
TEST_F(DataFilesTest, AReportFromAWorkerIsShownOnTheGuiThread) {
  std::thread worker([] { ReportDataFileProblem(103, "SAO_YALE.DAT", "3 stars off the sky"); });
  worker.join();  // returned without an answer to the box
  EXPECT_TRUE(DataFileProblemTold("SAO_YALE.DAT"));
  // The box waits for the GUI thread's next events.
  EXPECT_EQ(dialogs.Count(), 0u);
  platform::ProcessMessages();
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.onGuiThread, std::vector<bool>{true});
}
