#include "app/forms/script_wiring.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include "app/forms/main_form.h"
#include "app/forms/print_job.h"
#include "chart/render_inputs.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/script_gui.h"
#include "script/markers.h"
#include "script/runner.h"

namespace {

TScriptMenus g_menus;
TScriptGuiHost* g_host = nullptr;

QAction* NewItem(QMenu* menu, const char* caption, std::function<void()> fn, bool enabled) {
  auto* a = new QAction(QString::fromUtf8(caption), menu);
  QObject::connect(a, &QAction::triggered, menu, [fn = std::move(fn)] { fn(); });
  a->setEnabled(enabled);
  return a;
}

void Enable(QAction* a, bool on) {
  if (a) a->setEnabled(on);
}

// The items while the editor is open or closed.
void EditorOpened() {
  Enable(g_menus.NewScript1, false);
  Enable(g_menus.RunScript1, true);
  Enable(g_menus.CloseScript1, true);
}

void EditorClosed() {
  Enable(g_menus.NewScript1, true);
  Enable(g_menus.RunScript1, false);
  Enable(g_menus.CloseScript1, false);
}

void ResetPauseItem() {
  if (g_menus.PauseScript1) g_menus.PauseScript1->setText(QStringLiteral("&Pause"));
}

void NewScript1Click() {
  if (ScrEditForm1) return;
  TScrEditForm1* editor = OpenScriptEditor(false);
  editor->ScrEditMemo1->clear();
  ScriptFileName = "Noname.sbas";
  editor->show();
  EditorOpened();
}

void CloseScript1Click() {
  if (!ScrEditForm1) return;
  ScriptStopFlag = 1;
  CloseScriptEditor();
}

void RunScript1Click() {
  QPointer<TScrEditForm1> editor = ScrEditForm1;
  if (!editor || ScriptRunActive()) return;
  Enable(g_menus.RunScript1, false);
  Enable(g_menus.PauseScript1, true);
  Enable(g_menus.StopScript1, true);
  editor->RunScript();  // handles events while it runs; selects the stop line
  Enable(g_menus.RunScript1, ScrEditForm1 != nullptr);
  Enable(g_menus.PauseScript1, false);
  Enable(g_menus.StopScript1, false);
  ResetPauseItem();
}

void PauseScript1Click() {
  QAction* a = g_menus.PauseScript1;
  if (a->text() == QStringLiteral("&Pause")) {
    ScriptPauseFlag = 1;
    a->setText(QStringLiteral("&Resume"));
  } else {
    ScriptPauseFlag = 0;
    a->setText(QStringLiteral("&Pause"));
  }
}

}  // namespace

const TScriptMenus& ScriptMenus() { return g_menus; }

void AddScriptMenus(TMainForm1& form, QMenuBar* bar) {
  g_menus = {};
  QMenu* file = form.File1;
  g_menus.NewScript1 = NewItem(file, "&New script...", NewScript1Click, true);
  g_menus.CloseScript1 = NewItem(file, "&Close script", CloseScript1Click, false);
  // New script heads the File menu; Close script ends its file group.
  file->insertAction(form.Open1, g_menus.NewScript1);
  const QList<QAction*> items = file->actions();
  const qsizetype print = items.indexOf(form.Print1);
  file->insertAction(print > 0 ? items[print - 1] : form.Print1, g_menus.CloseScript1);

  g_menus.Script1 = new QMenu(QStringLiteral("&Script"), bar);
  bar->insertMenu(form.Settings1 ? form.Settings1->menuAction() : nullptr, g_menus.Script1);
  g_menus.RunScript1 = NewItem(g_menus.Script1, "&Run", RunScript1Click, false);
  g_menus.RunScript1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  g_menus.StopScript1 = NewItem(g_menus.Script1, "&Stop", [] { ScriptStopFlag = 1; }, false);
  g_menus.PauseScript1 = NewItem(g_menus.Script1, "&Pause", PauseScript1Click, false);
  g_menus.Script1->addActions({g_menus.RunScript1, g_menus.StopScript1, g_menus.PauseScript1});
  g_menus.Script1->addSeparator();  // script menu items follow at run time
}

void StartScripts(TMainForm1& form) {
  TScriptGuiHost& host = InstallScriptGui(&form, form.menuBar());
  g_host = &host;
  TMainForm1* f = &form;
  host.resetPause = ResetPauseItem;
  host.printMap = [f](const TScriptPrintOptions& options) {
    return PrintStarMap(*f, MainPrinter(), ScriptPrintChoices(options));
  };
  TScrEditForm1::OnDestroyed = EditorClosed;
  TChartInputs inputs = ChartInputs();
  MarkerInputs(inputs);
  SetChartInputs(std::move(inputs));
}

void RunAutoExecScript() {
  QTimer::singleShot(0, [] {
    if (g_host) RunScriptFile("autoexec.sbas");
  });
}

bool ScriptDefersClose(TMainForm1& form) {
  if (!ScriptRunActive()) return false;
  QPointer<TMainForm1> f = &form;
  return ScrStopThen([f] {
    if (f) QTimer::singleShot(0, f, [f] { f->close(); });
  });
}

void CloseScripts() {
  if (ScrEditForm1) CloseScriptEditor();
  FreeMarkers();
}

void FreeScripts() {
  CloseScripts();
  TScrEditForm1::OnDestroyed = nullptr;
  if (g_host) {
    g_host->printMap = nullptr;
    g_host->resetPause = nullptr;
    g_host->owner = nullptr;
    g_host = nullptr;
  }
  g_menus = {};
}
