// The magnifier settings window: the tidy timer on the shown grids.
#include <gtest/gtest.h>

#include <QTableWidget>

#include "chart/forms/magnifier_settings_form.h"
#include "chart/magnifier_settings.h"

// Emptying a middle eyepiece row in the window closes the gap on the next
// tick and keeps one empty row at the end.
TEST(MagnifierSettingsForm, TidyTimerClosesGaps) {
  EyeGrid = TMagnifierGrid(kEyeColumns);
  EyeGrid.RowCount = 5;  // three entries and the empty row
  const char* names[3] = {"A", "B", "C"};
  for (int r = 1; r <= 3; ++r) {
    EyeGrid.Cells[r][0] = names[r - 1];
    EyeGrid.Cells[r][1] = "25mm";
    EyeGrid.Cells[r][2] = "50";
  }
  TMagnifierSettingsForm1 form;
  form.show();
  for (int c = 0; c < kEyeColumns; ++c) form.EyeStringGrid1->item(1, c)->setText("");
  form.Timer1Timer();
  EXPECT_EQ(form.EyeStringGrid1->rowCount(), 3);
  EXPECT_EQ(form.EyeStringGrid1->item(1, 0)->text().toStdString(), "C");
  EXPECT_EQ(EyeGrid.RowCount, 4);
  form.hide();
}
