// Observer > New Date/Time in the running program: a time typed into the
// window moves the chart's instant, and every field of the window follows
// it at once and keeps following while the heartbeat runs.
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "astro/observer.h"
#include "tests/app/startup_fixture.h"
#include "tools/forms/clock_time_form.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;
using DateTimeWindow = startup_fixture::StartUpFixture;

namespace {

// Seconds of an "hh:mm:ss" field, -1 when it does not read.
int Seconds(const QString& hms) {
  const QStringList p = hms.split(QLatin1Char(':'));
  if (p.size() != 3) return -1;
  return p[0].toInt() * 3600 + p[1].toInt() * 60 + p[2].toInt();
}

}  // namespace

// Local apparent sidereal time at longitude 0 on 2026 January 10 (the
// window's date at the fixture's instant) from astropy 5.2.1
// (python3-astropy; Time.sidereal_time('apparent', 'greenwich'), ERFA
// eraGst06a, UT1 = UTC):
//   /usr/bin/python3 -c "from astropy.time import Time; from astropy.utils
//   import iers; iers.conf.auto_download = False; t = Time('2026-01-10
//   21:45:30'); t.delta_ut1_utc = 0; print(t.sidereal_time('apparent',
//   'greenwich'))"
// gives 5h07m12.43s at 21:45:30 UT, 15h24m27.65s at 08:05:00 and
// 19h35m08.72s at 12:15:00. The field shows whole seconds: one second
// either way.
TEST_F(DateTimeWindow, EveryFieldFollowsATypedTime) {
  ASSERT_TRUE(form->StartUp());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  form->NewDateTime1->trigger();
  ASSERT_NE(ClockTimeTool, nullptr);
  ASSERT_TRUE(ClockTimeTool->isVisible());
  ClockTimeTool->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ClockTimeTool));
  QLineEdit* lst = ClockTimeTool->LocalSiderealTime1;
  // The place is 0°, 0° in the zone UTC: local time is UT. A time typed
  // over the field from its start, on the local page and then on the
  // universal one.
  struct Case {
    bool local;
    const char* typed;
    double lstSeconds;
  } cases[] = {{true, "214530", 5 * 3600 + 7 * 60 + 12.43},
               {true, "080500", 15 * 3600 + 24 * 60 + 27.65},
               {false, "121500", 19 * 3600 + 35 * 60 + 8.72}};
  for (const Case& c : cases) {
    ClockTimeTool->PageControl1->setCurrentIndex(c.local ? 0 : 1);
    QLineEdit* typed = c.local ? ClockTimeTool->Local.Time : ClockTimeTool->Universal.Time;
    QLineEdit* other = c.local ? ClockTimeTool->Universal.Time : ClockTimeTool->Local.Time;
    typed->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(typed->hasFocus());
    typed->setCursorPosition(0);
    QTest::keyClicks(typed, c.typed);
    const std::string want = std::string(c.typed, 2) + ":" + std::string(c.typed + 2, 2) + ":" + (c.typed + 4);
    // At once, before any tick of the heartbeat: the field keeps what was
    // typed, the other page's time and the sidereal time follow it.
    EXPECT_EQ(typed->text().toStdString(), want);
    EXPECT_EQ(other->text().toStdString(), want);
    EXPECT_NEAR(Seconds(lst->text()), c.lstSeconds, 1.0) << c.typed << " " << lst->text().toStdString();
    // And still after some ticks: the clock stands still while the window
    // is open.
    for (int i = 0; i < 5; ++i) {
      form->Timer1Timer();
      QCoreApplication::processEvents();
    }
    EXPECT_NEAR(Seconds(lst->text()), c.lstSeconds, 1.0) << c.typed << " " << lst->text().toStdString();
    EXPECT_EQ(typed->text().toStdString(), want);
    EXPECT_EQ(other->text().toStdString(), want);
  }
  ClockTimeTool->accept();
  EXPECT_NEAR(ObserverTime.JD_UT, 2461050.5 + (12.25 / 24.0), 1.0 / 86400.0);  // 2026-01-10 12:15 UT
}
