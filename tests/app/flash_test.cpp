#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/core/flash_rules.h"
#include "app/forms/flash_form.h"
#include "app/globals.h"
#include "app/messages.h"

namespace {

// Handles events for about `ms` milliseconds.
void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

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
  EXPECT_EQ(FlashIntervalMs(0), 0);
  EXPECT_EQ(FlashIntervalMs(-5), 0);
  EXPECT_GT(FlashIntervalMs(3000000), 0);  // no overflow
}

TEST(FlashForm, ProgressDisplayFollowsTheCalls) {
  TFlashMessageForm1 form;
  EXPECT_EQ(form.size(), QSize(361, 42));
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);

  // Through the hooks of app/messages.h, which the form installed.
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
  const qint64 elapsed = clock.elapsed();

  EXPECT_GE(elapsed, 900);  // returns only when its time is up
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
