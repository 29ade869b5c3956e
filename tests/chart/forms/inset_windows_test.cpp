// The screen-layout, performance and magnifier-settings windows: they show
// the present values and hand the user's choice to the logic behind them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QTableWidget>

#include "chart/forms/magnifier_settings_form.h"
#include "chart/forms/performance_form.h"
#include "chart/forms/screen_layout_form.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "chart/screen_layout.h"
#include "platform/registry.h"
#include "shell/globals.h"
#include "tests/chart/inset_support.h"

namespace {

TEST(ScreenLayoutForm, ShowsTheLayoutAndOkAppliesTheChoice) {
  platform::TRegIniFile().EraseSection("ScreenLayout");
  ScreenLayoutSettings = {};
  GuideSize = int16_t(InsetSizeLarge);
  MagnifierSize = InsetSizeHuge;
  OvalMaskKind = 4;
  AspectAdjust = 0.9;  // aspect adjust -4
  int clockCode = -1;
  TheScreenLayoutHost.clockSize = [&](int c) { clockCode = c; };

  TScreenLayoutForm1 form;
  form.show();
  EXPECT_EQ(form.ComboBox1->currentIndex(), 3);
  EXPECT_EQ(form.ComboBox3->currentIndex(), 4);
  EXPECT_EQ(form.ComboBox3->itemText(4), "Hugh");
  EXPECT_EQ(form.OvalMaskComboBox1->currentText(), "Very large mask");
  EXPECT_EQ(form.AspectTrackBar1->value(), -4);

  form.ComboBox4->setCurrentIndex(1);
  form.BitBtn1Click();
  EXPECT_EQ(clockCode, 1);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  TheScreenLayoutHost = {};
  AspectAdjust = InsetAspect = 1.0;
  OvalMaskKind = 2;
  GuideSize = 0;
  MagnifierSize = 0;
}

// Creating the window sets the graph span; an absent switch reads as on;
// OK stores the switch, hands it to the chart and reads back.
TEST(PerformanceForm, CreationSetsTheGraphSpanAndOkStoresTheSwitch) {
  platform::TRegIniFile().EraseSection("Performance");
  ReadRegPerformance();
  EXPECT_TRUE(GraphicSunRiseSet);
  VisibilityGraphSpan = 0;
  TPerformanceForm1 form;
  EXPECT_EQ(VisibilityGraphSpan, 2);
  form.show();
  EXPECT_TRUE(form.GraphicSunRiseSetCheckBox1->isChecked());
  form.GraphicSunRiseSetCheckBox1->setChecked(false);
  tPlotter plotter;
  MainPlotter = &plotter;
  form.BitBtn1Click();
  MainPlotter = nullptr;
  EXPECT_FALSE(GraphicSunRiseSet);
  EXPECT_EQ(plotter.SunRiseSetGraphics, 0);
  EXPECT_EQ(plotter.Replot, 1);
  EXPECT_EQ(platform::TRegIniFile().ReadString("Performance", "graphic sun riseset", ""), "0");
  GraphicSunRiseSet = true;
  ReadRegPerformance();
  EXPECT_FALSE(GraphicSunRiseSet);
  platform::TRegIniFile().EraseSection("Performance");
  GraphicSunRiseSet = true;
}

// Emptying a middle eyepiece row in the window closes the gap on the next
// tick, keeps one empty row at the end and shows the tidied grid again.
TEST(MagnifierSettingsForm, TidyTimerClosesGaps) {
  inset_support::FillGrid(EyeGrid, kEyeColumns,
                          {{"A", "25mm", "50"}, {"B", "25mm", "50"}, {"C", "25mm", "50"}});
  TMagnifierSettingsForm1 form;
  form.show();
  for (int c = 0; c < kEyeColumns; ++c) form.EyeStringGrid1->item(1, c)->setText("");
  form.Timer1Timer();
  EXPECT_EQ(form.EyeStringGrid1->rowCount(), 3);
  EXPECT_EQ(form.EyeStringGrid1->item(1, 0)->text().toStdString(), "C");
  EXPECT_EQ(EyeGrid.RowCount, 4);
  form.hide();
}

}  // namespace
