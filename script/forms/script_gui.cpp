#include "script/forms/script_gui.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <filesystem>
#include <vector>

#include "platform/gui_thread.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/scr_inp_form.h"
#include "script/runner.h"
#include "shell/file_commands.h"

namespace {

// One created menu or item; `tag` is where it went: position p of the bar,
// or (menu + 1) × 10,000 + p inside top-level menu `menu`.
struct TScriptMenuEntry {
  QPointer<QAction> action;
  int tag = 0;
  std::string file;
};
std::vector<TScriptMenuEntry> ScriptMenus;

TScriptGuiHost* GuiHost = nullptr;

// Runs the file bound to a clicked script item.
void ScriptItemClicked(QAction* item) {
  std::string file = ScriptMenuFile(item);
  if (!file.empty()) RunScriptFile(file);
}

// Disables the script items while a run lasts.
void EnableScriptItems(bool enabled) {
  for (TScriptMenuEntry& e : ScriptMenus)
    if (e.action && !e.file.empty()) e.action->setEnabled(enabled);
}

}  // namespace

bool TScriptGuiHost::Input(const std::string& prompt, std::string& answer) {
  if (!inputForm) inputForm = new TScrInpForm1(owner);
  return inputForm->Ask(prompt, answer);
}

void TScriptGuiHost::ProcessEvents() { QCoreApplication::processEvents(); }

void TScriptGuiHost::WaitForEvents(int ms) {
  // Sleeps in the event loop: timers and input are served, no spinning.
  // The program's end cuts the sleep short.
  QEventLoop loop;
  QTimer::singleShot(std::max(ms, 1), &loop, &QEventLoop::quit);
  platform::RunWaitLoop(loop);
}

void TScriptGuiHost::RunStarted() {
  EnableScriptItems(false);
  // Only the state changes: a hidden editor stays hidden.
  if (ScrEditForm1) ScrEditForm1->setWindowState(ScrEditForm1->windowState() | Qt::WindowMinimized);
}

void TScriptGuiHost::RunEnded() {
  EnableScriptItems(true);
  if (ScrEditForm1) ScrEditForm1->setWindowState(ScrEditForm1->windowState() & ~Qt::WindowMinimized);
}

void TScriptGuiHost::ResetPauseCommand() {
  if (resetPause) resetPause();
}

bool TScriptGuiHost::PrintMap(const TScriptPrintOptions& options) {
  return printMap ? printMap(options) : false;
}

int TScriptGuiHost::InsertMainMenu(int position, const std::string& caption) {
  if (!menuBar) return 41;
  QList<QAction*> bar = menuBar->actions();
  if (position < 0 || position > bar.size()) return 41;
  if (ScriptMenus.size() >= std::size_t(kScriptMenuItems)) return 42;
  auto* menu = new QMenu(QString::fromStdString(caption), menuBar);
  QAction* before = position < bar.size() ? bar[position] : nullptr;
  QAction* action = menuBar->insertMenu(before, menu);
  ScriptMenus.push_back({action, position, {}});
  return 0;
}

int TScriptGuiHost::InsertMenuItem(int menu, int position, const std::string& caption, const std::string& file) {
  if (!menuBar) return 41;
  QList<QAction*> bar = menuBar->actions();
  if (menu < 0 || menu >= bar.size() || !bar[menu]->menu()) return 41;
  QMenu* parent = bar[menu]->menu();
  QList<QAction*> items = parent->actions();
  if (position < 0 || position > items.size()) return 41;
  if (ScriptMenus.size() >= std::size_t(kScriptMenuItems)) return 42;
  auto* action = new QAction(QString::fromStdString(caption), parent);
  parent->insertAction(position < items.size() ? items[position] : nullptr, action);
  QObject::connect(action, &QAction::triggered, action, [action] { ScriptItemClicked(action); });
  ScriptMenus.push_back({action, (menu + 1) * 10000 + position, file});
  return 0;
}

void TScriptGuiHost::ClearMenus() {
  // Newest first, so each entry is where its tag says.
  for (auto it = ScriptMenus.rbegin(); it != ScriptMenus.rend(); ++it) {
    if (!it->action) continue;
    if (QMenu* m = it->action->menu(); m && it->tag < 10000) {
      if (menuBar) menuBar->removeAction(it->action);
      m->deleteLater();
    } else {
      if (auto* parent = qobject_cast<QMenu*>(it->action->parent())) parent->removeAction(it->action);
      it->action->deleteLater();
    }
  }
  ScriptMenus.clear();
}

TScriptGuiHost& InstallScriptGui(QWidget* mainWindow, QMenuBar* menuBar) {
  static TScriptGuiHost host;
  host.owner = mainWindow;
  host.menuBar = menuBar;
  GuiHost = &host;
  SetScriptHost(&host);
  // File > Open, Save and Save As reach the editor through these.
  TScriptEditorHooks hooks;
  hooks.isOpen = [] { return ScrEditForm1 != nullptr; };
  hooks.fileName = [] { return ScriptFileName; };
  hooks.save = [] {
    if (ScrEditForm1) ScrEditForm1->SaveScript();
  };
  hooks.saveAs = [](const std::string& name) {
    ScriptFileName = name;
    if (ScrEditForm1) ScrEditForm1->SaveScript();
  };
  hooks.load = [](const std::string& name) {
    // A script is not replaced while it runs.
    if (!ScriptRunActive()) OpenScriptEditor(true)->LoadFile(name);
  };
  SetScriptEditorHooks(std::move(hooks));
  return host;
}

TScrEditForm1* OpenScriptEditor(bool visible) {
  if (!ScrEditForm1) {
    // A new editor is empty and named as a new script, never after the
    // last file a hidden editor ran ("autoexec.sbas").
    ScriptFileName = "Noname.sbas";
    new TScrEditForm1(GuiHost ? GuiHost->owner : nullptr);
  }
  if (visible) ScrEditForm1->show();
  return ScrEditForm1;
}

bool RunScriptFile(const std::string& path) {
  if (ScriptRunActive()) return false;
  bool opened = ScrEditForm1 == nullptr;
  QPointer<TScrEditForm1> editor = OpenScriptEditor(false);
  bool loaded = editor->LoadFile(path);
  if (loaded) editor->RunScript();
  if (opened && editor) editor->close();
  return loaded;
}

void CloseScriptEditor(bool offerToSave) {
  if (!ScrEditForm1) return;
  if (offerToSave) ScrEditForm1->close();
  else ScrEditForm1->CloseWithoutQuestion();
}

int ScriptMenuCount() { return int(ScriptMenus.size()); }

std::string ScriptMenuFile(const QAction* item) {
  for (const TScriptMenuEntry& e : ScriptMenus)
    if (e.action == item) return e.file;
  return {};
}
