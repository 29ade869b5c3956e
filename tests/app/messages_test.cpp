// Coded message boxes, the flash window and its hooks, the log and the
// repaint bits the threads share.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/forms/flash_form.h"
#include "app/forms/log_form.h"
#include "shell/flash_rules.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "shell/messages.h"

using platform::MsgIcon;

namespace {

// Handles events for about `ms` milliseconds.
void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::vector<std::string> AddAll(TLogLines& log, std::initializer_list<const char*> lines) {
  for (const char* l : lines) log.AddLine(l);
  return log.Lines();
}

}  // namespace

TEST(CodedMessages, TextIconCaptionAndCut) {
  platform::ScopedScriptedDialogs dialogs;
  const struct {
    int16_t code;
    const char* text;
    MsgIcon icon;
  } table[] = {
      {1, "Error: Can't open file ", MsgIcon::Stop},
      {3, "Error: Can't close file ", MsgIcon::Stop},
      {8, "Error: Can't create Clock view.", MsgIcon::Stop},
      {11, "Error: Can't create Plotter bitmap.", MsgIcon::Stop},
      {100, "Warning: Unrecognized file format in ", MsgIcon::Exclamation},
      {102, "Warning: Can't open file ", MsgIcon::Exclamation},
      // Codes 104 to 107 read "Error" yet carry the exclamation icon.
      {104, "Error: Can't close file ", MsgIcon::Exclamation},
      {107, "Error: Can't access ", MsgIcon::Exclamation},
      {121, "Warning: Longitude value makes no sense\r\n(use value of 0 to 180 followed by E or W)\r\n"
            "location ignored.", MsgIcon::Exclamation},
      {122, "Warning: TimeZone value makes no sense\r\n(use value of -12 to 12)\r\nlocation ignored.",
       MsgIcon::Exclamation},
      // Codes outside the table.
      {0, "Unknown error", MsgIcon::Exclamation},
      {-1, "Unknown error", MsgIcon::Exclamation},
      {12, "Unknown error", MsgIcon::Exclamation},
      {99, "Unknown error", MsgIcon::Exclamation},
      {108, "Unknown error", MsgIcon::Exclamation},
      {119, "Unknown error", MsgIcon::Exclamation},
      {123, "Unknown error", MsgIcon::Exclamation},
  };
  for (const auto& t : table) {
    ShowErrorMessage(t.code, "x.dat");
    EXPECT_EQ(dialogs.Last().text, std::string(t.text) + "x.dat") << t.code;
    EXPECT_EQ(dialogs.Last().icon, t.icon) << t.code;
    EXPECT_EQ(dialogs.Last().caption, "Noctra Planetarium V3.2") << t.code;
    EXPECT_EQ(dialogs.Last().buttons, platform::MsgButtons::Ok) << t.code;
  }
  // A long detail is cut with the text to 255 characters.
  ShowErrorMessage(1, std::string(300, 'a'));
  EXPECT_EQ(dialogs.Last().text, "Error: Can't open file " + std::string(255 - 23, 'a'));
}

TEST(FlashHooks, ReachTheInstalledSinkCutTo255Characters) {
  std::vector<std::pair<std::string, int>> messages, progress;
  SetFlashSink({[&](const std::string& t, int s) { messages.emplace_back(t, s); },
                [&](const std::string& t, int v) { progress.emplace_back(t, v); }});
  ShowFlashMessage(std::string(300, 'x'), 2);
  ShowFlashProgress("Loading", -1);
  SetFlashSink({});
  ShowFlashMessage("after", 1);  // no sink: ignored
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], std::make_pair(std::string(255, 'x'), 2));
  ASSERT_EQ(progress.size(), 1u);
  EXPECT_EQ(progress[0], std::make_pair(std::string("Loading"), -1));
}

TEST(FlashRules, ProgressStateTable) {
  using A = TFlashProgressAction;
  // Closed display: only -1 opens it.
  EXPECT_EQ(FlashProgressAction(false, -1), A::Open);
  for (int v : {-2, 0, 50, 100, 101, 102}) EXPECT_EQ(FlashProgressAction(false, v), A::None) << v;
  // Open display: 0..100 move the gauge, 101 closes, the rest does nothing.
  for (int v : {0, 1, 99, 100}) EXPECT_EQ(FlashProgressAction(true, v), A::SetGauge) << v;
  EXPECT_EQ(FlashProgressAction(true, 101), A::Close);
  for (int v : {-1, -2, 102}) EXPECT_EQ(FlashProgressAction(true, v), A::None) << v;

  EXPECT_EQ(FlashIntervalMs(3), 3000);
  EXPECT_EQ(FlashIntervalMs(-5), 0);
  EXPECT_GT(FlashIntervalMs(3000000), 0);  // no overflow
}

TEST(FlashForm, ProgressDisplayFollowsTheCalls) {
  TFlashMessageForm1 form;
  // Through the hooks of shell/messages.h, which the form installed.
  ShowFlashProgress("ignored", 50);  // nothing open yet
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(FlashProgressOpen);

  ShowFlashProgress("Loading stars", -1);
  EXPECT_TRUE(FlashProgressOpen);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.windowModality(), Qt::NonModal);
  EXPECT_EQ(form.Label1->text(), "Loading stars");
  EXPECT_TRUE(form.Gauge1->isVisible());
  EXPECT_EQ(form.Gauge1->value(), 0);

  ShowFlashProgress("second open", -1);  // keeps the first text
  ShowFlashProgress("text ignored", 40);
  EXPECT_EQ(form.Label1->text(), "Loading stars");
  EXPECT_EQ(form.Gauge1->value(), 40);
  ShowFlashProgress("", 150);
  EXPECT_EQ(form.Gauge1->value(), 40);

  // The display stays until 101, whatever time passes.
  Pump(300);
  EXPECT_TRUE(form.isVisible());
  ShowFlashProgress("", 101);
  EXPECT_FALSE(FlashProgressOpen);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.Gauge1->isVisible());
  ShowFlashProgress("", 101);  // closing twice does nothing
  EXPECT_FALSE(form.isVisible());
}

TEST(FlashForm, MessageIsModalForItsTimeWhileTimersRun) {
  TFlashMessageForm1 form;
  bool visibleDuring = false, modalDuring = false, gaugeDuring = true;
  QString textDuring;
  int ticks = 0;
  QTimer other;  // another window's timer keeps firing meanwhile
  QObject::connect(&other, &QTimer::timeout, [&] { ++ticks; });
  other.start(20);
  QTimer::singleShot(200, [&] {
    visibleDuring = form.isVisible();
    modalDuring = form.windowModality() == Qt::ApplicationModal && form.MessageShowing();
    gaugeDuring = form.Gauge1->isVisible();
    textDuring = form.Label1->text();
  });
  QElapsedTimer clock;
  clock.start();
  ShowFlashMessage("Defaults saved", 1);
  EXPECT_GE(clock.elapsed(), 900);  // returns only when its time is up
  EXPECT_TRUE(visibleDuring);
  EXPECT_TRUE(modalDuring);
  EXPECT_FALSE(gaugeDuring);
  EXPECT_EQ(textDuring, "Defaults saved");
  EXPECT_GE(ticks, 5);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.MessageShowing());
}

TEST(FlashForm, MessageDuringProgressHandsTheWindowBack) {
  TFlashMessageForm1 form;
  ShowFlashMessage("quick", 0);
  ShowFlashProgress("Converting", -1);
  ShowFlashProgress("", 30);
  ShowFlashMessage("Saved", 0);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.windowModality(), Qt::NonModal);
  EXPECT_EQ(form.Label1->text(), "Converting");
  EXPECT_TRUE(form.Gauge1->isVisible());
  EXPECT_EQ(form.Gauge1->value(), 30);
  // A zero-second message earlier must not close the progress display later.
  Pump(200);
  EXPECT_TRUE(form.isVisible());

  // Calls from a worker thread are carried out on the GUI thread.
  std::atomic<bool> done{false};
  std::thread worker([&] {
    ShowFlashProgress("", 80);
    done = true;
  });
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  EXPECT_EQ(form.Gauge1->value(), 80);
  ShowFlashProgress("", 101);
  EXPECT_FALSE(form.isVisible());
}

TEST(LogLines, OnlyAnImmediateRepeatIsDroppedAndLinesAreCut) {
  TLogLines a, b, c;
  EXPECT_EQ(AddAll(a, {"A", "A", "A"}), std::vector<std::string>{"A"});
  EXPECT_EQ(AddAll(b, {"A", "B", "A"}), (std::vector<std::string>{"A", "B", "A"}));
  // Case counts, and so does every byte of the prefix.
  EXPECT_EQ(AddAll(c, {"[AutoGuide] star lost", "[AutoGuide] Star lost", "[AutoGuide]  Star lost"}).size(), 3u);
  EXPECT_EQ(c.LastLine(), "[AutoGuide]  Star lost");

  TLogLines log;
  int heard = 0;
  log.SetListener([&](const std::string&) { ++heard; });
  EXPECT_TRUE(log.AddLine("[Ascom.Telescope] Connected"));
  EXPECT_FALSE(log.AddLine("[Ascom.Telescope] Connected"));
  const std::string longLine(300, 'z');
  EXPECT_TRUE(log.AddLine(longLine));
  EXPECT_FALSE(log.AddLine(longLine.substr(0, 255)));  // equal once cut
  EXPECT_EQ(log.Lines().front(), "[Ascom.Telescope] Connected");
  EXPECT_EQ(log.Lines().back(), std::string(255, 'z'));
  EXPECT_EQ(heard, 2);
  log.Clear();
  EXPECT_EQ(log.Count(), 0u);
  EXPECT_TRUE(log.AddLine(std::string(255, 'z')));  // LastLine emptied too

  // A device failing in alternation every poll: the newest lines are kept.
  log.Clear();
  for (std::size_t i = 0; i < kLogCapacity + 5; ++i) log.AddLine(i % 2 ? "[Ascom.Focuser] A" : "[Ascom.Focuser] B");
  log.AddLine("newest");
  EXPECT_EQ(log.Count(), kLogCapacity);
  EXPECT_EQ(log.Lines().back(), "newest");
}

TEST(LogForm, ShowsTheLinesAndOnlyHidesOnClose) {
  LogLines().Clear();
  LogLines().AddLine("[Sequencer] before the window");
  TLogForm form;
  form.AddLine("[Plate-Solve] solved");
  form.AddLine("[Plate-Solve] solved");
  // Lines from a worker thread arrive once events are handled.
  std::thread worker([] { LogLines().AddLine("[Ascom.Camera] from a thread"); });
  worker.join();
  QApplication::processEvents();
  EXPECT_EQ(form.Memo1->toPlainText().toStdString(),
            "[Sequencer] before the window\n[Plate-Solve] solved\n[Ascom.Camera] from a thread");

  form.ShowLog();
  EXPECT_TRUE(form.isVisible());
  form.close();
  EXPECT_FALSE(form.isVisible());
  form.AddLine("[AutoGuide] while hidden");
  EXPECT_EQ(form.Memo1->document()->blockCount(), 4);
  LogLines().Clear();
}

// The window opens wide enough for a typical line of a device's log: the
// text shows it whole, with no horizontal scroll.
TEST(LogForm, OpensWideEnoughForALine) {
  LogLines().Clear();
  TLogForm form;
  form.AddLine("[Ascom.Telescope] Goto refused: the mount is parked, unpark it first");
  form.ShowLog();
  QApplication::processEvents();
  const int line = form.Memo1->fontMetrics().horizontalAdvance(form.Memo1->toPlainText());
  EXPECT_GE(form.Memo1->viewport()->width(), line);
  EXPECT_EQ(form.Memo1->horizontalScrollBar()->maximum(), 0);
  form.close();
  LogLines().Clear();
}

TEST(ShellGlobals, RepaintBitsAreSetNotAdded) {
  // Every inset dirty, not the chart, as at start (other tests in the same
  // process move the mask); setting a bit that is already set must not
  // spill into the next bit.
  RepaintMask = 30;
  MarkRepaint(kRepaintGlobe);
  MarkRepaint(kRepaintGlobe);
  EXPECT_EQ(TakeRepaintMask(), 30);
  EXPECT_EQ(RepaintMask.load(), 0);

  // Threads marking their own bits while painting takes the mask: no bit lost.
  std::vector<std::thread> threads;
  for (uint8_t bit : {kRepaintChart, kRepaintGlobe, kRepaintClock, kRepaintMagnifier, kRepaintStarSphere})
    threads.emplace_back([bit] {
      for (int i = 0; i < 20000; ++i) MarkRepaint(bit);
    });
  uint8_t seen = 0;
  for (int i = 0; i < 20000; ++i) seen |= TakeRepaintMask();
  for (auto& t : threads) t.join();
  seen |= TakeRepaintMask();
  EXPECT_EQ(seen, kRepaintAll);
  RepaintMask = 30;
}
