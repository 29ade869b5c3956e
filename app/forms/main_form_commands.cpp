// The main window's menu commands: files, printing, copy, presets, zoom,
// centring and tracking, information, scripts and the magnifier.
#include "app/forms/main_form.h"

#include <QApplication>
#include <QClipboard>

#include "app/forms/about_form.h"
#include "app/forms/log_form.h"
#include "app/forms/main_form_parts.h"
#include "app/forms/print_job.h"
#include "astro/solar_system.h"
#include "catalog/object_catalog.h"
#include "chart/clicks.h"
#include "chart/forms/magnifier_settings_form.h"
#include "chart/plotter_b.h"
#include "platform/dialogs.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/script_gui.h"
#include "script/runner.h"
#include "shell/file_commands.h"
#include "tools/forms/information_forms.h"

using namespace mainform;

// --- Menu commands -----------------------------------------------------------

void TMainForm1::Open1Click() { OpenCommand(); }
void TMainForm1::Save1Click() { SaveCommand(); }
void TMainForm1::Save2Click() { SaveAsCommand(); }
void TMainForm1::Exit1Click() { close(); }

void TMainForm1::Log1Click() {
  if (LogForm) LogForm->ShowLog();
}

void TMainForm1::Print1Click() { RunPrintCommand(*this); }
void TMainForm1::PrintSetup1Click() { RunPrinterSetup(this); }

void TMainForm1::Copy1Click() {
  // The chart of a failed start-up is neither drawn nor kept up to date:
  // there is none to copy, and the clipboard keeps what it holds.
  if (backBuffer_.IsNull() || startupFailed_) {
    platform::ShowMessageBox("The chart could not be made at start, so there is nothing to copy.",
                             "Noctra Planetarium", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  CopyingChart = true;
  RenderMainView();
  CopyingChart = false;
  QApplication::clipboard()->setImage(backBuffer_.Image().copy(0, 0, PaintBox1->width(), PaintBox1->height()));
  RenderMainView();
}

void TMainForm1::SelectStarPreset(bool allStars) {
  TStarOptions o = RegistryDefaultStarOptions();
  o.HighMagLimit = allStars ? 12.0 : 6.5;
  o.LowMagLimit = -2.0;
  o.VariableMode = 2;
  for (uint8_t& c : o.SpectralClasses) c = 1;
  for (uint8_t& c : o.LuminosityClasses) c = 1;
  if (o == StarOptions) return;
  StarOptions = o;
  // The heartbeat starts the reload, so a load already running is never
  // joined by a second one.
  StarReloadRequest = true;
  chart_->MarkReplot();
}

void TMainForm1::ShowHorizon1Click() {
  chart_->SetSwitch(TChartSwitch::HorizonDisplay, ShowHorizon1->isChecked());
  ChartChanged();
}

void TMainForm1::EnableHelpMenus() {
  for (QAction* a : {Topics1, HowtoUseHelp1, About1}) a->setEnabled(true);
}

void TMainForm1::About1Click() {
  if (AboutNoctraForm1) AboutNoctraForm1->exec();
}

void TMainForm1::ZoomIn1Click() { ZoomIn(Keys, *chart_); }
void TMainForm1::ZoomOut1Click() { ZoomOut(Keys, *chart_); }
void TMainForm1::WholeSkyView1Click() { WholeSkyView(Keys, *chart_); }

void TMainForm1::Horizon1Click() {
  const bool on = !chart_->Switch(TChartSwitch::CentreOnHorizon);
  chart_->SetSwitch(TChartSwitch::CentreOnHorizon, on);
  Horizon1->setChecked(on);
  ChartChanged();
}

void TMainForm1::RefreshStarSphereMenu() {
  CoordinateGrid1->setChecked(chart_->Switch(TChartSwitch::Grid));
  ConstellationLines1->setChecked(chart_->Switch(TChartSwitch::ConstellationLines));
  ConstellationNames1->setChecked(chart_->Switch(TChartSwitch::ConstellationNames));
  ConstellationBoundries1->setChecked(chart_->Switch(TChartSwitch::ConstellationBoundaries));
  StarIdentification1->setChecked(chart_->Switch(TChartSwitch::StarIdentification));
  StarNames1->setChecked(chart_->Switch(TChartSwitch::StarNames));
  ObjectIdentification1->setChecked(chart_->Switch(TChartSwitch::ObjectIdentification));
  Horizon1->setChecked(chart_->Switch(TChartSwitch::CentreOnHorizon));
  ZoomOut1->setEnabled(Keys.ZoomLevel >= 5);
  ZoomIn1->setEnabled(Keys.ZoomLevel < kZoomLevels);
}

void TMainForm1::Center1Click() {
  // Kinds 1 to 5, except the Earth (kind 5, index 2).
  if (SelectionKind < 1 || SelectionKind > 5 || (SelectionKind == 5 && SelectionIndex == 2)) return;
  chart_->CentreOn(ClickRA, ClickDec);
  SetStatusText(4, "");
}

void TMainForm1::Track1Click() {
  // Asteroids, comets, the Sun, the Moon and the planets but the Earth.
  if (!MainPlotter || SelectionKind < 3 || SelectionKind > 5 || (SelectionKind == 5 && SelectionIndex == 2)) return;
  const int32_t i = SelectionIndex;
  std::string name;
  if (SelectionKind == 5) {
    if (i == 9) name = "The Moon";
    else if (i == 10) name = "The Sun";
    else if (i >= 0 && i < kPlanetCount) name = "The " + Planets[i].Name.str();
  } else if (SelectionKind == 3 && i >= 0 && i < AsteroidCount) {
    name = "The asteroid " + Asteroids[i].Name.str();
  } else if (SelectionKind == 4 && i >= 0 && i < CometCount) {
    name = "The comet " + Comets[i].Name.str();
  }
  if (name.empty()) return;
  MainPlotter->TrackKind = SelectionKind;
  MainPlotter->TrackIndex = i;
  MainPlotter->TrackName.assign(name);  // at most 50 characters
  chart_->SetFullView(false);
  chart_->MarkReplot();
  SetStatusText(4, ("Tracking: " + MainPlotter->TrackName.str()).substr(0, 60));
}

void TMainForm1::ShowObjectInformation(int kind, int32_t index, bool byKey) {
  switch (kind) {
    case 1: {
      if (!ObjectCatalog) return;
      bool found = false;
      {
        TObjectsLock lock;
        found = byKey ? ObjectCatalog->SeekKey(index) : ObjectCatalog->SeekRecord(index);
      }
      if (found) ShowInformationForm2();
      return;
    }
    case 2:
      if (index >= 1 && index <= std::min<int32_t>(SaoStarCount, int32_t(SaoStars.size())))
        ShowInformationForm1(SaoStars[std::size_t(index - 1)].SaoNumber());
      return;
    case 3:
    case 4:
    case 5:
      ShowInformationForm3(kind, index);
      return;
    default:
      return;
  }
}

void TMainForm1::NewScript1Click() {
  if (ScrEditForm1) return;
  OpenScriptEditor(true);
  UpdateScriptItems();
}

void TMainForm1::RunScript1Click() {
  if (!ScrEditForm1 || ScriptRunActive()) return;
  RunScript1->setEnabled(false);
  ScrEditForm1->RunScript();
  UpdateScriptItems();
}

void TMainForm1::PauseScript1Click() {
  const bool pause = PauseScript1->text() == QStringLiteral("&Pause");
  ScriptPauseFlag = pause ? 1 : 0;
  PauseScript1->setText(pause ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
}

void TMainForm1::UpdateScriptItems() {
  const bool open = ScrEditForm1 != nullptr, running = ScriptRunActive();
  NewScript1->setEnabled(!open && !running);
  Open1->setEnabled(!running);
  CloseScript1->setEnabled(open);
  RunScript1->setEnabled(open && !running);
  StopScript1->setEnabled(running);
  PauseScript1->setEnabled(running);
}

void TMainForm1::Information1Click() { ShowObjectInformation(SelectionKind, SelectionIndex); }

void TMainForm1::Magnifier1Click() {
  TMagnifierSettingsForm1* w = OwnedWindow(MagnifierSettingsForm1, this);
  // Hiding the window rebuilds the tables; the chosen default field applies.
  w->onHidden = [this](int32_t mode) {
    UpdateTelescopeMenu();
    TeleFieldOfViewChange(mode);
  };
  w->exec();
}
