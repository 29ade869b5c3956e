#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>

#include "app/core/settings_sections.h"
#include "app/forms/log_form.h"
#include "app/forms/main_form.h"
#include "app/globals.h"
#include "platform/dialogs.h"
#include "tests/support/test_support.h"

TEST(MainForm, LayoutMenusAndStatusPanels) {
  TMainForm1 form;
  EXPECT_EQ(MainWindowHandle, &form);
  const QList<QAction*> menus = form.menuBar()->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), "&File");
  EXPECT_EQ(menus[1]->text(), "&Edit");
  QStringList items;
  for (QAction* a : form.File1->actions())
    if (!a->isSeparator()) items << a->text();
  EXPECT_EQ(items, (QStringList{"&Open...", "&Save", "Save &As...", "E&xit"}));
  EXPECT_EQ(form.Open1->shortcut(), QKeySequence(Qt::Key_F3));
  EXPECT_EQ(form.Save1->shortcut(), QKeySequence(Qt::Key_F2));
  EXPECT_EQ(form.Log1->text(), "&Log...");

  const int widths[] = {500, 175, 80, 300, 300};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(form.StatusPanels[i]->width(), widths[i]) << i;
  form.SetStatusText(2, "12%");
  EXPECT_EQ(form.StatusText(2), "12%");
  EXPECT_EQ(form.ScrollBox1->widget(), form.PaintBox1);
  EXPECT_TRUE(form.PaintBox1->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(MainForm, MenuCommandsReachTheirWork) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  LogForm = new TLogForm(&form);
  form.Log1->trigger();
  EXPECT_TRUE(LogForm->isVisible());

  RegisterSettingsSection(10, {8, [] { return std::vector<uint8_t>(8, 3); },
                               [](const std::vector<uint8_t>*) { return true; }});
  dialogs.QueueFile({true, dir.File("all"), 2});
  form.Save2->trigger();
  EXPECT_EQ(testing_support::ReadFile(dir.File("all.ssf")).size(), 608u);
  UnregisterAllSettingsSections();

  form.show();
  form.Exit1->trigger();
  EXPECT_FALSE(form.isVisible());
}
