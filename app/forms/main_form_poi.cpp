// The main window's points of interest and the telescope and field menus
// of the magnifier.
#include "app/forms/main_form.h"

#include "app/core/points_of_interest.h"
#include "app/forms/main_form_parts.h"
#include "app/forms/poi_form.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "shell/globals.h"

using namespace mainform;

// --- Points of interest --------------------------------------------------------

void TMainForm1::ShowPOIMenuSlot(int n) {
  QAction* a = n == 0 ? Auto1 : n == 10 ? AllLocations1 : (n >= 1 && n <= 9) ? Locations[n - 1] : nullptr;
  if (!a) return;
  a->setVisible(true);
  a->setEnabled(true);
}

void TMainForm1::HidePOIMenuSlot(int n) {
  QAction* a = n == 0 ? Auto1 : n == 10 ? AllLocations1 : (n >= 1 && n <= 9) ? Locations[n - 1] : nullptr;
  if (a) a->setVisible(false);
}

void TMainForm1::CheckLocationMenu(int n) {
  Auto1->setChecked(n == 0);
  for (int i = 0; i < 9; ++i) Locations[i]->setChecked(n == i + 1);
}

void TMainForm1::TeleLocationChange(int n) {
  if (n == 10) {
    const int choice = TMagnifierPickListForm1::Choose(this);
    if (choice < 1) return;
    n = choice;
  }
  if (n < 0 || n > POICount) return;
  CheckLocationMenu(n);
  CurrentPOI = n;
  Deletecurrentpointofinterest1->setEnabled(CurrentPOI >= 1);
  FieldOfViewMode = POITable[n].Mode;
  UpdateFieldOfViewMenu();
  UpdateMagnifierFrame(MagnifierSize, FieldOfViewMode);  // the ring names the source
  MarkRepaint(kRepaintMagnifier);
}

void TMainForm1::KeyTeleLocationChange(int n) {
  if (n < 0 || n > POICount) return;
  CheckLocationMenu(n);
  CurrentPOI = n;
  TeleFieldOfViewChange(POITable[n].Mode);
}

void TMainForm1::TeleFieldOfViewChange(int mode) {
  FieldOfViewMode = mode;
  double ra = 0, dec = 0;
  int32_t old = 0;
  if (GetPointOfInterest(CurrentPOI, ra, dec, old)) SetPointOfInterest(CurrentPOI, mode, ra, dec);
  UpdateFieldOfViewMenu();
  UpdateMagnifierFrame(MagnifierSize, FieldOfViewMode);
  MarkRepaint(kRepaintMagnifier);
  const TRect r = InsetRect(kRepaintMagnifier);
  PaintBox1->update(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TMainForm1::UpdateFieldOfViewMenu() {
  for (int i = 0; i < 9; ++i) FieldsOfView[i]->setChecked(FieldOfViewMode == i + 1);
  const int tele = FieldOfViewMode >= 100 ? (FieldOfViewMode % 10000) / 100 : 0;
  for (int i = 0; i < 10; ++i) {
    Teles[i]->setChecked(tele == i + 1);
    Eyepieces[i]->setChecked(tele > 0 && FieldOfViewMode / 10000 == i + 1);
  }
  View1->menuAction()->setVisible(tele > 0);
}

void TMainForm1::UpdateTelescopeMenu() {
  for (int i = 0; i < 10; ++i) {
    const int row = i + 1;
    const bool tele = row < TeleGrid.RowCount && !TeleGrid.RowEmpty(row);
    Teles[i]->setText(QString::fromStdString("Telescope " + (tele ? TeleGrid.Cells[row][0] : std::string())));
    Teles[i]->setVisible(tele);
    const bool eye = row < EyeGrid.RowCount && !EyeGrid.RowEmpty(row);
    Eyepieces[i]->setText(QString::fromStdString(eye ? EyeGrid.Cells[row][0] : std::string()));
    Eyepieces[i]->setVisible(eye);
  }
}

void TMainForm1::Newpointofinterest1Click() {
  Keys.PointOfInterestMode = true;
  SavedPOI = CurrentPOI == 0 ? -1 : CurrentPOI;
  TeleLocationChange(0);
}

void TMainForm1::ClearPointOfInterestMode() {
  Keys.PointOfInterestMode = false;
  if (SavedPOI > 0) TeleLocationChange(SavedPOI);
  SavedPOI = -1;
  Clearpointsofinterestlist1->setEnabled(POICount > 0);
  Editpointsofinterest1->setEnabled(true);
  AllLocations1->setEnabled(POICount > 9);
  chart_->MarkReplot();
}

void TMainForm1::Deletecurrentpointofinterest1Click() {
  DeletePointOfInterest(CurrentPOI);
  AllLocations1->setEnabled(POICount > 9);
  Clearpointsofinterestlist1->setEnabled(POICount > 0);
  if (CurrentPOI > POICount) CurrentPOI = POICount;
  TeleLocationChange(CurrentPOI);
}

void TMainForm1::Clearpointsofinterestlist1Click() {
  ClearPointsOfInterest();
  CurrentPOI = 0;
  Clearpointsofinterestlist1->setEnabled(false);
  Deletecurrentpointofinterest1->setEnabled(false);
  TeleLocationChange(0);
}

void TMainForm1::Editpointsofinterest1Click() {
  if (POIForm) POIForm->ShowGrid();
}
