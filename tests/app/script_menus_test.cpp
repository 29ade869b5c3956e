// The script language in the real main window: File > New script and the
// Script menu run a script that marks the chart; a close during a run stops
// it and closes the window once the run has unwound.
#include <QAction>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include "app/forms/script_wiring.h"
#include "chart/render_inputs.h"
#include "script/forms/scr_edit_form.h"
#include "script/runner.h"
#include "tests/app/startup_fixture.h"

using startup_fixture::RunEventsUntil;
using Scripts = startup_fixture::StartUpFixture;

TEST_F(Scripts, MenusRunAScriptThatMarksTheChartAndACloseWaitsForTheRun) {
  ASSERT_TRUE(form->StartUp());
  form->show();
  const TScriptMenus& m = ScriptMenus();
  ASSERT_TRUE(m.NewScript1 && m.RunScript1 && m.StopScript1 && m.PauseScript1 && m.CloseScript1);
  EXPECT_FALSE(m.RunScript1->isEnabled());
  m.NewScript1->trigger();
  ASSERT_NE(ScrEditForm1, nullptr);
  EXPECT_TRUE(m.RunScript1->isEnabled());
  EXPECT_TRUE(m.CloseScript1->isEnabled());
  EXPECT_FALSE(m.NewScript1->isEnabled());

  ScrEditForm1->ScrEditMemo1->setPlainText(QStringLiteral("MARKERS 2\nMARK 1, 1.0, 0.5, 2, 255, 0, 0, \"+\", \"a\""));
  m.RunScript1->trigger();
  ASSERT_TRUE(ChartInputs().markerCount);
  EXPECT_EQ(ChartInputs().markerCount(), 1);  // the highest marker set
  TChartMarker mark;
  ASSERT_TRUE(ChartInputs().marker(1, mark));
  EXPECT_DOUBLE_EQ(mark.RA, 1.0);
  EXPECT_TRUE(m.RunScript1->isEnabled());
  EXPECT_FALSE(m.StopScript1->isEnabled());

  // A minute's wait: Stop and Pause are offered during the run, and the
  // close stops it at once.
  ScrEditForm1->ScrEditMemo1->setPlainText(QStringLiteral("WAIT 60"));
  bool offered = false;
  QString paused;
  QTimer::singleShot(100, form, [&] {
    offered = m.StopScript1->isEnabled() && !m.RunScript1->isEnabled();
    m.PauseScript1->trigger();
    paused = m.PauseScript1->text();
    m.PauseScript1->trigger();
    form->close();
  });
  QElapsedTimer run;
  run.start();
  m.RunScript1->trigger();
  EXPECT_LT(run.elapsed(), 5000);
  EXPECT_TRUE(offered);
  EXPECT_EQ(paused, QStringLiteral("&Resume"));
  EXPECT_FALSE(destroyed);  // the close came after the run unwound
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, 5000));
  EXPECT_EQ(ScrEditForm1, nullptr);
  EXPECT_FALSE(ScriptRunActive());
  EXPECT_FALSE(AnyWorkerRunning());
}
