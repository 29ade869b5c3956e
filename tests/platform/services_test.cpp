#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/halt.h"
#include "platform/paths.h"
#include "platform/qt_dialogs.h"
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

// A box closed without a button: the double's IDCLOSE is what the real box
// gives, its escape button for MessageBox, IDCLOSE for
// MessageBoxReportingClose.
TEST(DialogDouble, ClosedBoxAnswersAsTheRealOne) {
  ScopedScriptedDialogs dialogs;
  for (int i = 0; i < 5; ++i) dialogs.QueueAnswer(IDCLOSE);
  EXPECT_EQ(ShowMessageBox("x", "Cap", MsgButtons::Ok, MsgIcon::None), IDOK);
  EXPECT_EQ(ShowMessageBox("x", "Cap", MsgButtons::YesNo, MsgIcon::None), IDNO);
  EXPECT_EQ(ShowMessageBox("x", "Cap", MsgButtons::YesNoCancel, MsgIcon::None), IDCANCEL);
  EXPECT_EQ(ShowMessageBoxReportingClose("x", "Cap", MsgButtons::Ok, MsgIcon::None), IDCLOSE);
  EXPECT_EQ(ShowMessageBoxReportingClose("x", "Cap", MsgButtons::YesNo, MsgIcon::None), IDCLOSE);
  EXPECT_EQ(dialogs.Count(), 5u);
}

// The real box on the offscreen platform, answered by the window's close
// button, by Escape at the focused button, or by a click on its first
// button: only the reporting call tells a closed box from its button.
TEST(QtMessageBox, ClosedWithoutAButtonIsToldOnlyWhenAsked) {
  QtDialogs qt;
  enum How { Close, Escape, Click };
  auto answer = [&](How how, bool reporting, MsgButtons buttons) {
    QTimer::singleShot(0, [how] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      if (how == Close) box->close();
      if (how == Escape) QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Escape);
      if (how == Click) box->buttons().front()->click();
    });
    return reporting ? qt.MessageBoxReportingClose("text", "Cap", buttons, MsgIcon::None)
                     : qt.MessageBox("text", "Cap", buttons, MsgIcon::None);
  };
  const std::tuple<How, bool, MsgButtons, int> cases[] = {
      {Close, true, MsgButtons::Ok, IDCLOSE}, {Escape, true, MsgButtons::Ok, IDCLOSE},
      {Click, true, MsgButtons::Ok, IDOK},    {Escape, false, MsgButtons::Ok, IDOK},
      {Escape, false, MsgButtons::YesNo, IDNO}, {Close, true, MsgButtons::YesNo, IDCLOSE},
  };
  // What the double answers for a closed box is the real box's answer.
  for (MsgButtons buttons : {MsgButtons::Ok, MsgButtons::YesNo, MsgButtons::YesNoCancel})
    EXPECT_EQ(answer(Close, false, buttons), ClosedResult(buttons)) << int(buttons);
  for (const auto& [how, reporting, buttons, result] : cases)
    EXPECT_EQ(answer(how, reporting, buttons), result) << how << " " << reporting << " " << int(buttons);
}

// A question can name its default button: Return on the real box presses
// it (the first button when none is named, or one that is not in the set);
// the double records it and answers it when nothing is queued, and the
// headless answer of an unattended end takes it without recording.
TEST(QtMessageBox, ReturnPressesTheNamedDefaultButton) {
  QtDialogs qt;
  auto returnOn = [&](MsgButtons buttons, int defaultResult) {
    QTimer::singleShot(0, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box) QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
    });
    return qt.MessageBoxWithDefault("Replace it?", "Cap", buttons, MsgIcon::Question, defaultResult);
  };
  const std::tuple<MsgButtons, int, int> cases[] = {
      {MsgButtons::YesNo, IDNO, IDNO},          {MsgButtons::YesNo, 0, IDYES},
      {MsgButtons::YesNoCancel, IDNO, IDNO},    {MsgButtons::YesNoCancel, IDCANCEL, IDCANCEL},
      {MsgButtons::OkCancel, IDCANCEL, IDCANCEL}, {MsgButtons::YesNo, IDCANCEL, IDYES},
  };
  for (const auto& [buttons, named, pressed] : cases)
    EXPECT_EQ(returnOn(buttons, named), pressed) << int(buttons) << " " << named;
  EXPECT_EQ(DefaultResult(MsgButtons::AbortRetryIgnore, IDIGNORE), IDIGNORE);
  EXPECT_EQ(DefaultResult(MsgButtons::Ok, IDNO), IDOK);

  ScopedScriptedDialogs dialogs;
  EXPECT_EQ(ShowMessageBox("Replace it?", "Cap", MsgButtons::YesNo, MsgIcon::Question, IDNO), IDNO);
  dialogs.QueueAnswer(IDYES);
  EXPECT_EQ(ShowMessageBox("Replace it?", "Cap", MsgButtons::YesNo, MsgIcon::Question, IDNO), IDYES);
  EXPECT_EQ(ShowMessageBox("Go on?", "Cap", MsgButtons::YesNo, MsgIcon::Question), IDYES);
  ASSERT_EQ(dialogs.Count(), 3u);
  EXPECT_EQ(std::tuple(dialogs.Records()[0].defaultResult, dialogs.Records()[2].defaultResult),
            std::tuple(IDNO, IDYES));
  SetDialogsUnattended(true);
  dialogs.QueueAnswer(IDYES);  // nobody answers now
  EXPECT_EQ(ShowMessageBox("Replace it?", "Cap", MsgButtons::YesNo, MsgIcon::Question, IDNO), IDNO);
  EXPECT_FALSE(Dialogs().FileDialog({}).accepted);
  SetDialogsUnattended(false);
  EXPECT_EQ(dialogs.Count(), 3u);
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

// Work a worker hands over runs on the GUI thread in the order posted, the
// very first hand-over of the process included; serving the hand-overs runs
// them and leaves timers for the event loop.
TEST(GuiHandOver, WorkersItemsRunOnTheGuiThreadInOrderAndServingRunsNothingElse) {
  std::vector<int> ran;  // written on the GUI thread only
  std::atomic<bool> offGui{false};
  bool timerRan = false;
  QTimer::singleShot(0, QCoreApplication::instance(), [&] { timerRan = true; });
  std::thread worker([&] {
    for (int i = 1; i <= 3; ++i)
      PostToGuiThread([&, i] {
        if (!IsGuiThread()) offGui = true;
        ran.push_back(i);
      });
  });
  worker.join();
  EXPECT_TRUE(ran.empty());  // nothing runs before the GUI thread serves it
  ServeHandOvers();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(offGui);
  EXPECT_FALSE(timerRan);
  QCoreApplication::processEvents();
  EXPECT_TRUE(timerRan);
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
  // running process (process 1) and other names (a user's ".tmp") stay.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child);
  const std::vector<std::string> names = {".tmp-" + dead, ".tmp-" + dead + "-7", ".tmp", ".tmp-1", "2.tmp-" + dead};
  for (const std::string& s : names) testing_support::WriteText(target + s, "");
  ASSERT_TRUE(WriteFileAtomically(target, "new!", 4));
  EXPECT_TRUE(FileExists(target + ".tmp") && FileExists(target + ".tmp-1") && FileExists(target + "2.tmp-" + dead));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 5);
}

// Folders kept for later or handed to another process are made absolute
// against the data folder, whatever their spelling.
TEST(Paths, RelativePathsAreTakenWithinTheBaseFolder) {
  testing_support::TempDir dir;
  const std::string base = dir.Path();  // ends in "/"
  testing_support::ScopedEnv home("HOME", "/home/observer");
  EXPECT_EQ(AbsolutePath("./PlateSolve/../solve_me.jpg", base), base + "solve_me.jpg");
  EXPECT_EQ(AbsolutePath("/opt/x/../y", base), "/opt/y") << "an absolute path keeps its place";
  EXPECT_EQ(AbsolutePath("", base), "");
  EXPECT_EQ(AbsolutePath("~/Pictures", base), "/home/observer/Pictures");
  EXPECT_EQ(AbsoluteFolder("PlateSolve", base), base + "PlateSolve/");
  EXPECT_EQ(AbsoluteFolder("", base), base);
  EXPECT_EQ(AbsoluteFolder("~", base), "/home/observer/");
  // Without a base, the working folder.
  testing_support::ScopedCurrentFolder here(base);
  EXPECT_EQ(AbsolutePath("images"), CurrentFolder() + "images");
}

// A new file never replaces one: a taken name gives the next free one
// ("-2" before the extension), a failed write leaves nothing, and writers
// racing for one name each get a name of their own with their whole file.
TEST(NewFile, NeverReplacesAndRacingWritersGetTheirOwnNames) {
  testing_support::TempDir dir;
  auto text = [](const std::string& t) {
    return [t](std::FILE* f) { return std::fwrite(t.data(), 1, t.size(), f) == t.size(); };
  };
  auto files = [&] { return std::distance(std::filesystem::directory_iterator(dir.Path()), {}); };
  testing_support::WriteText(dir.File("Image.fts"), "first night");
  EXPECT_EQ(WriteNewFile(dir.Path(), "Image", ".fts", text("second")), dir.File("Image-2.fts"));
  EXPECT_EQ(WriteNewFile(dir.Path(), "Image", ".fts", text("third")), dir.File("Image-3.fts"));
  EXPECT_EQ(testing_support::ReadText(dir.File("Image.fts")), "first night");
  EXPECT_EQ(testing_support::ReadText(dir.File("Image-2.fts")), "second");
  std::string error;
  const auto full = [](std::FILE*) { return errno = ENOSPC, false; };
  EXPECT_EQ(WriteNewFile(dir.Path(), "Image", ".fts", full, &error), "");
  EXPECT_EQ(error, std::strerror(ENOSPC));
  EXPECT_EQ(WriteNewFile(dir.File("missing"), "Image", ".fts", text("x"), &error), "");
  EXPECT_EQ(error, std::strerror(ENOENT));
  EXPECT_EQ(files(), 3) << "no claim or temporary left behind";

  // Eight writers, twenty files each, all asking for one name.
  constexpr int kWriters = 8, kEach = 20;
  auto content = [](int w, int i) { return "writer " + std::to_string(w) + " file " + std::to_string(i); };
  std::vector<std::vector<std::string>> got(kWriters);
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([&, w] {
      for (int i = 0; i < kEach; ++i)
        got[size_t(w)].push_back(WriteNewFile(dir.Path(), "Race", ".jpg", text(content(w, i))));
    });
  for (std::thread& t : writers) t.join();
  std::set<std::string> names;
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kEach; ++i) {
      names.insert(got[size_t(w)][size_t(i)]);
      EXPECT_EQ(testing_support::ReadText(got[size_t(w)][size_t(i)]), content(w, i));
    }
  EXPECT_EQ(names.size(), size_t(kWriters * kEach));
  EXPECT_EQ(files(), 3 + kWriters * kEach);
}

// What saves cut short leave is tidied by the next save into the folder:
// a partial temporary of its name goes, a whole one of an ended process is
// put under a free name of its own and listed, one that has its name as
// well only loses the temporary name, and those of a running process
// (process 1) or of no save at all stay.
TEST(NewFile, TheNextSaveTidiesWhatSavesCutShortLeft) {
  testing_support::TempDir dir;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child);
  testing_support::WriteText(dir.File("Image.fts"), "older");
  testing_support::WriteText(dir.File("Image.fts.tmp-" + dead + "-0"), "part");
  testing_support::WriteText(dir.File("Image.fts.whole-" + dead + "-1"), "cut short");
  testing_support::WriteText(dir.File("Dark.fts"), "named twice");
  std::filesystem::create_hard_link(dir.File("Dark.fts"), dir.File("Dark.fts.whole-" + dead + "-2"));
  const std::vector<std::string> stay = {"Flat.fts.whole-1-3", "notes.whole-" + dead, "Bias.fts.tmp-" + dead + "-4"};
  for (const std::string& name : stay) testing_support::WriteText(dir.File(name), "stays");
  std::vector<std::string> recovered;
  const std::string saved = WriteNewFile(
      dir.Path(), "Image", ".fts", [](std::FILE* f) { return std::fputs("new", f) >= 0; }, nullptr, &recovered);
  EXPECT_EQ(recovered, std::vector<std::string>{dir.File("Image-2.fts")});
  EXPECT_EQ(testing_support::ReadText(dir.File("Image-2.fts")), "cut short");
  EXPECT_EQ(saved, dir.File("Image-3.fts"));
  EXPECT_EQ(testing_support::ReadText(saved), "new");
  EXPECT_EQ(testing_support::ReadText(dir.File("Dark.fts")), "named twice");
  for (const std::string& name : stay) EXPECT_TRUE(FileExists(dir.File(name))) << name;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4 + long(stay.size()));
}
