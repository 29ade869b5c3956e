#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <thread>

#include "app/core/log_lines.h"
#include "app/forms/log_form.h"
#include "app/globals.h"

namespace {

std::vector<std::string> AddAll(TLogLines& log, std::initializer_list<const char*> lines) {
  for (const char* l : lines) log.AddLine(l);
  return log.Lines();
}

}  // namespace

TEST(LogLines, OnlyAnImmediateRepeatIsDropped) {
  TLogLines a, b, c;
  EXPECT_EQ(AddAll(a, {"A", "A", "A"}), std::vector<std::string>{"A"});
  EXPECT_EQ(AddAll(b, {"A", "B", "A"}), (std::vector<std::string>{"A", "B", "A"}));
  // Case counts, and so does every byte of the prefix.
  EXPECT_EQ(AddAll(c, {"[AutoGuide] star lost", "[AutoGuide] Star lost", "[AutoGuide]  Star lost"}).size(), 3u);
  EXPECT_EQ(c.LastLine(), "[AutoGuide]  Star lost");
}

TEST(LogLines, LinesAreKeptAsGivenAndCut) {
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
}

TEST(LogForm, ShowsTheLinesAndOnlyHidesOnClose) {
  LogLines().Clear();
  LogLines().AddLine("[Sequencer] before the window");
  TLogForm form;
  EXPECT_EQ(form.windowTitle(), "Log");
  EXPECT_EQ(form.size(), QSize(227, 371));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);

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

TEST(ShellGlobals, RepaintBitsAreSetNotAdded) {
  EXPECT_EQ(RepaintMask.load(), 30);  // every inset, not the chart
  EXPECT_EQ(MapWidth, -1);
  // Setting a bit that is already set must not spill into the next bit.
  MarkRepaint(kRepaintGlobe);
  MarkRepaint(kRepaintGlobe);
  EXPECT_EQ(RepaintMask.load(), 30);
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
