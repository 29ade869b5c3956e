#include "catalog/forms/solar_system_form.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "astro/solar_system.h"
#include "catalog/hooks.h"
#include "chart/plotter.h"
#include "platform/dialogs.h"
#include "shell/log_lines.h"
#include "shell/messages.h"

TSolSysForm1* SolSysForm1 = nullptr;

namespace {

constexpr const char* kCaption = "Noctra Planetarium";

uint8_t tPlotter::*const kSwitchFields[kSolarSwitchCount] = {
    &tPlotter::SunLabel,     &tPlotter::SunImage,      &tPlotter::SunRiseSetGraphics, &tPlotter::MoonLabel,
    &tPlotter::MoonImage,    &tPlotter::PlanetLabels,  &tPlotter::GalileanMoons,      &tPlotter::SolarSwitchReserved2,
    &tPlotter::ShowAsteroids, &tPlotter::AsteroidLabels, &tPlotter::ShowComets,       &tPlotter::CometLabels};

const char* const kSwitchCaptions[kSolarSwitchCount] = {
    "&Identify sun with label",
    "&Use graphic image of sun",
    "&Simulate atmospheric brightening",
    "&Identify moon with label",
    "&Use graphic image of moon",
    "&Identify each planet with label",
    "&Show brighter moons of major planets",
    "&Use graphic images of Venus, Mars, Jupiter, and Saturn",
    "&Display Asteroids",
    "&Identify asteroids",
    "&Display Comets",
    "&Identify comets"};

bool Asteroid(const TSolSysForm1::TElementPage& p) { return p.list.kind == TElementKind::Asteroid; }
std::string& CurrentFile(const TSolSysForm1::TElementPage& p) {
  return Asteroid(p) ? AsteroidElementsFile : CometElementsFile;
}
const char* DefaultFile(const TSolSysForm1::TElementPage& p) { return Asteroid(p) ? "default.ast" : "default.cmt"; }

bool LoadInto(TSolSysForm1::TElementPage& p, const std::string& file, bool merge, TElementLoadProblem& problem) {
  return Asteroid(p) ? LoadAsteroidElements(p.grid, file, merge, p.list.templateUsed, &problem)
                     : LoadCometElements(p.grid, file, merge, p.list.templateUsed, &problem);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return a == b || std::filesystem::equivalent(a, b, ec);
}
// "1 asteroid", "214 comets".
std::string BodiesText(const TSolSysForm1::TElementPage& p, int n) {
  return std::to_string(n) + (Asteroid(p) ? " asteroid" : " comet") + (n == 1 ? "" : "s");
}
void Apply(TSolSysForm1::TElementPage& p) { Asteroid(p) ? ApplyAsteroidGrid(p.grid) : ApplyCometGrid(p.grid); }
bool SaveTo(TSolSysForm1::TElementPage& p, const std::string& file) {
  return Asteroid(p) ? SaveAsteroidElements(p.grid, file) : SaveCometElements(p.grid, file);
}

}  // namespace

TSolarSwitches PlotterSolarSwitches() {
  TSolarSwitches s = SolarSwitchDefaults();
  if (MainPlotter)
    for (int i = 0; i < kSolarSwitchCount; ++i) s[std::size_t(i)] = MainPlotter->*kSwitchFields[i];
  return s;
}

void SetPlotterSolarSwitches(const TSolarSwitches& s) {
  if (!MainPlotter) return;
  for (int i = 0; i < kSolarSwitchCount; ++i) MainPlotter->*kSwitchFields[i] = s[std::size_t(i)];
}

void ReadRegSolarSystemSettings() { SetPlotterSolarSwitches(ReadRegSolarSystem()); }

std::vector<uint8_t> SolarSystemBlock() { return EncodeSolarBlock(PlotterSolarSwitches()); }

void SetSolarSystemDefaults() {
  SetPlotterSolarSwitches(SolarSwitchDefaults());
  AsteroidElementsFile = "default.ast";
  CometElementsFile = "default.cmt";
  AsteroidCount = 0;
  CometCount = 0;
}

bool ApplySolarSystemBlock(const std::vector<uint8_t>* block) {
  bool ok = true;
  if (block) {
    TSolarSwitches s{};
    ok = DecodeSolarBlock(*block, s);
    if (ok) {
      SetPlotterSolarSwitches(s);
      LoadElementFiles();
      if (SolSysForm1) SolSysForm1->ShowElementLists();
    } else {
      SetSolarSystemDefaults();
    }
  }
  if (MainPlotter) MainPlotter->Replot = 1;
  return ok;
}

TSolSysForm1::TSolSysForm1(QWidget* parent)
    : QDialog(parent),
      Pages{{ElementLists[0], ElementLists[0].grid}, {ElementLists[1], ElementLists[1].grid}} {
  setWindowTitle("Solar System settings");
  PageControl1 = new QTabWidget(this);
  for (int i = 0; i < kSolarSwitchCount; ++i) SwitchCheckBox[i] = new QCheckBox(kSwitchCaptions[i], this);
  auto page = [this](const char* title, std::initializer_list<int> switches) {
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    for (int i : switches) l->addWidget(SwitchCheckBox[i]);
    l->addStretch();
    PageControl1->addTab(w, title);
  };
  page("Solar", {0, 1, 2});
  page("Lunar", {3, 4});
  page("Planetary", {5, 6, 7});
  SwitchCheckBox[7]->hide();

  // A small fixed-pitch font: numbers line up, and rows are 15 pixels high.
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSize(8);
  for (int k = 0; k < 2; ++k) {
    TElementPage& p = Pages[k];
    SetElementTitles(p.list.kind, p.grid);
    auto* w = new QWidget;
    auto* l = new QGridLayout(w);
    l->setContentsMargins(6, 6, 6, 6);
    l->setVerticalSpacing(4);
    const int display = k == 0 ? 8 : 10;
    p.caption = new QLabel("Orbital elements", w);
    p.view = new QTableWidget(w);
    p.view->setFont(fixed);
    p.view->verticalHeader()->setMinimumSectionSize(15);
    p.view->verticalHeader()->setDefaultSectionSize(15);
    p.view->verticalHeader()->hide();
    // Numbers are cut, never replaced by an ellipsis (ShowGrid widens a
    // column to its longest text).
    p.view->setTextElideMode(Qt::ElideNone);
    p.clear = new QPushButton("&Clear this table", w);
    p.useAll = new QPushButton("Use &All", w);
    p.useNone = new QPushButton("Use &None", w);
    p.load = new QPushButton("&Load elements...", w);
    p.merge = new QPushButton("&Merge elements...", w);
    p.save = new QPushButton("&Save elements...", w);
    p.download = new QPushButton("Download Elements from MPC", w);
    auto* note = new QLabel(k == 0 ? "Download the latest Orbital Elements for Bright Minor\nPlanets at Opposition from the Internet:"
                                   : "Download the latest Orbital Elements for Observable\ncomets from the Internet:",
                            w);
    l->addWidget(SwitchCheckBox[display], 0, 0);
    l->addWidget(SwitchCheckBox[display + 1], 0, 1);
    l->addWidget(p.caption, 1, 0, 1, 4);
    l->addWidget(p.view, 2, 0, 1, 4);
    l->addWidget(p.clear, 3, 0);
    l->addWidget(p.useAll, 3, 1);
    l->addWidget(p.useNone, 3, 2);
    l->addWidget(p.load, 4, 0);
    l->addWidget(p.merge, 4, 1);
    l->addWidget(p.save, 4, 2);
    l->addWidget(note, 5, 0, 1, 3);
    l->addWidget(p.download, 6, 1, 1, 2);
    PageControl1->addTab(w, k == 0 ? "Asteroids" : "Comets");

    connect(SwitchCheckBox[display], &QCheckBox::toggled, this,
            [this, display](bool on) { SwitchCheckBox[display + 1]->setEnabled(on); });
    connect(p.view, &QTableWidget::cellChanged, this, [this, k](int r, int c) { CellEdited(k, r, c); });
    connect(p.clear, &QPushButton::clicked, this, [this, k] { ClearClick(k); });
    connect(p.useAll, &QPushButton::clicked, this, [this, k] { UseClick(k, true); });
    connect(p.useNone, &QPushButton::clicked, this, [this, k] { UseClick(k, false); });
    connect(p.load, &QPushButton::clicked, this, [this, k] { LoadClick(k, false); });
    connect(p.merge, &QPushButton::clicked, this, [this, k] { LoadClick(k, true); });
    connect(p.save, &QPushButton::clicked, this, [this, k] { SaveClick(k); });
    connect(p.download, &QPushButton::clicked, this, [this, k] { DownloadClick(k); });
  }

  SaveDefaultButton = new QPushButton("&Save as default", this);
  OkButton = new QPushButton("&OK", this);
  CancelButton = new QPushButton("&Cancel", this);
  HelpButton = new QPushButton("&Help", this);
  OkButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveDefaultButton);
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  buttons->addWidget(HelpButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);
  // A fixed client area of 490 x 368 pixels, centred on the screen when shown.
  setFixedSize(490, 368);

  connect(SaveDefaultButton, &QPushButton::clicked, this, [this] { SaveDefaultClick(); });
  connect(HelpButton, &QPushButton::clicked, this, [] { CallHook(CatalogHooks().showHelp, "settings.html#solar"); });
  connect(OkButton, &QPushButton::clicked, this, [this] {
    if (OkClick()) accept();
  });
  connect(CancelButton, &QPushButton::clicked, this, [this] {
    Cancelled = true;
    Finish();
    reject();
  });
  ShowElementLists();
}

void TSolSysForm1::showEvent(QShowEvent* event) {
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  FormShow();
  QDialog::showEvent(event);
}

void TSolSysForm1::FormShow() {
  PageControl1->setCurrentIndex(0);
  SwitchCheckBox[1]->setFocus();
  ShownFlags = PlotterSolarSwitches();
  for (int i = 0; i < kSolarSwitchCount; ++i) SwitchCheckBox[i]->setChecked(ShownFlags[std::size_t(i)] != 0);
  SwitchCheckBox[9]->setEnabled(SwitchCheckBox[8]->isChecked());
  SwitchCheckBox[11]->setEnabled(SwitchCheckBox[10]->isChecked());
  for (int k = 0; k < 2; ++k) {
    SetElementTitles(Pages[k].list.kind, Pages[k].grid);
    Pages[k].changed = Pages[k].fileChanged = false;
    ShowGrid(k);
  }
  Cancelled = false;
}

void TSolSysForm1::ShowElementLists() {
  MergeMode = false;
  // A hidden window (made at start) fills its grids when it is shown.
  if (isVisible())
    for (int k = 0; k < 2; ++k) ShowGrid(k);
  UpdateElementCaptions();
}

void TSolSysForm1::UpdateElementCaptions() {
  for (TElementPage& p : Pages) {
    const std::string& file = CurrentFile(p);
    const std::string name = file.substr(file.find_last_of('/') + 1);
    p.caption->setText(QString::fromStdString(file.empty() ? "Orbital Elements" : "Orbital Elements (" + name + ")"));
  }
}

void TSolSysForm1::ShowGrid(int k) {
  TElementPage& p = Pages[k];
  filling_ = true;
  p.view->clear();
  p.view->setColumnCount(p.grid.ColCount());
  p.view->setRowCount(p.grid.RowCount() - 1);
  QStringList titles;
  for (int c = 0; c < p.grid.ColCount(); ++c) titles << QString::fromStdString(p.grid.Cell(c, 0));
  p.view->setHorizontalHeaderLabels(titles);
  for (int r = 1; r < p.grid.RowCount(); ++r)
    for (int c = 0; c < p.grid.ColCount(); ++c)
      p.view->setItem(r - 1, c, new QTableWidgetItem(QString::fromStdString(p.grid.Cell(c, r))));
  for (int c = 0; c < p.grid.ColCount(); ++c) FitColumn(k, c);
  filling_ = false;
}

void TSolSysForm1::FitColumn(int k, int c) {
  // Widths 50 and 128 pixels (the name), widened to the column's longest text.
  TElementPage& p = Pages[k];
  const QFontMetrics fm(p.view->font());
  int width = c == 1 ? 128 : 50;
  for (int r = 0; r < p.grid.RowCount(); ++r)
    width = std::max(width, fm.horizontalAdvance(QString::fromStdString(p.grid.Cell(c, r))) + 8);
  p.view->setColumnWidth(c, width);
}

void TSolSysForm1::CellEdited(int k, int row, int column) {
  if (filling_) return;
  TElementPage& p = Pages[k];
  p.grid.SetCell(column, row + 1, p.view->item(row, column)->text().toStdString());
  p.changed = true;
  // One empty row stays at the end for typing a new body.
  auto rowEmpty = [&](int r) {
    for (int c = 0; c < p.grid.ColCount(); ++c)
      if (!p.grid.Cell(c, r).empty()) return false;
    return true;
  };
  const int last = p.grid.RowCount() - 1;
  if (!rowEmpty(last)) {
    p.grid.SetRowCount(last + 2);
    ShowGrid(k);
  } else if (last >= 2 && rowEmpty(last - 1)) {
    p.grid.SetRowCount(last);
    ShowGrid(k);
  } else {
    FitColumn(k, column);
  }
}

void TSolSysForm1::ClearClick(int k) {
  TElementPage& p = Pages[k];
  const char* text = Asteroid(p) ? "Clear all asteroid elements?" : "Clear all comet elements?";
  if (platform::ShowMessageBox(text, kCaption, platform::MsgButtons::YesNo, platform::MsgIcon::Question) ==
      platform::IDNO)
    return;
  p.grid.Clear();
  Apply(p);
  p.changed = true;
  ShowGrid(k);
}

void TSolSysForm1::UseClick(int k, bool all) {
  TElementPage& p = Pages[k];
  for (int r = 1; r <= p.grid.BodyCount(); ++r) p.grid.SetCell(0, r, all ? "Yes" : "No");
  Apply(p);
  p.changed = true;
  ShowGrid(k);
}

void TSolSysForm1::LoadClick(int k, bool merge) {
  TElementPage& p = Pages[k];
  MergeMode = merge;
  const bool asteroid = Asteroid(p);
  platform::FileDialogOptions o;
  o.filter = asteroid ? "Asteroid orbital elements (*.ast)|*.ast" : "Comet orbital data (*.cmt)|*.cmt";
  o.fileName = asteroid ? "*.ast" : "*.cmt";
  const platform::FileDialogResult chosen = platform::Dialogs().FileDialog(o);
  if (chosen.accepted && !chosen.fileName.empty() && chosen.fileName != o.fileName) {
    TElementLoadProblem problem = TElementLoadProblem::None;
    const bool loaded = LoadInto(p, chosen.fileName, merge, problem);
    // A list not read whole is held back from being replaced by this table
    // unasked; a list that replaced the table whole makes an earlier one
    // irrelevant.
    if (TellElementLoadProblem(p.list.kind, chosen.fileName, problem))
      p.list.heldBack = chosen.fileName, p.list.heldBackWhy = problem;
    else if (loaded && !merge)
      p.list.heldBack.clear();
    if (loaded) {
      // A list read through a column template is no element file of ours.
      if (!merge) CurrentFile(p) = p.list.templateUsed ? std::string() : chosen.fileName;
    } else {
      p.grid.Clear();
    }
    ShowGrid(k);
  }
  p.changed = true;
  UpdateElementCaptions();
}

void TSolSysForm1::SaveClick(int k) {
  TElementPage& p = Pages[k];
  const std::string before = CurrentFile(p);
  const std::string pattern = Asteroid(p) ? "*.ast" : "*.cmt";
  platform::FileDialogOptions o;
  o.save = true;
  o.filter = Asteroid(p) ? "Asteroid orbital data (*.ast)|*.ast" : "Comet orbital data (*.cmt)|*.cmt";
  o.fileName = before.empty() ? pattern : before;
  const platform::FileDialogResult chosen = platform::Dialogs().FileDialog(o);
  if (!chosen.accepted || chosen.fileName.empty() || chosen.fileName == pattern) return;
  // Another existing file asks its overwrite question; the list held back
  // asks why it is being replaced.
  const bool held = !p.list.heldBack.empty() && SameFile(p.list.heldBack, chosen.fileName);
  if (!(held ? SaveAsked(p, chosen.fileName) : SaveTo(p, chosen.fileName))) return;
  CurrentFile(p) = chosen.fileName;
  if (chosen.fileName != before) p.fileChanged = true;
  p.changed = false;
  UpdateElementCaptions();
}

void TSolSysForm1::DownloadClick(int k) {
  TElementPage& p = Pages[k];
  if (!MayReplace(p, DefaultFile(p), "the downloaded list")) return;
  // Nothing else may run on the grids while the download's event loop runs.
  setEnabled(false);
  const std::string error = DownloadElementList(p.list.kind, p.grid, MergeMode, DownloadTimeoutMs);
  setEnabled(true);
  if (!error.empty()) {
    platform::ShowMessageBox(error, kCaption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  p.changed = p.fileChanged = false;
  p.list.heldBack.clear();
  ShowGrid(k);
  UpdateElementCaptions();
}

bool TSolSysForm1::MayReplace(const TElementPage& p, const std::string& target, const std::string& what) {
  if (p.list.heldBack.empty()) return true;
  const bool held = SameFile(p.list.heldBack, target);
  // Nothing of the user's to replace.
  const int inTarget = ElementFileBodyCount(target);
  if (!held && inTarget < 0) return true;
  const std::string bodies = Asteroid(p) ? "asteroid" : "comet";
  const std::string why = p.list.heldBackWhy == TElementLoadProblem::TooMany
                              ? "it holds more than 1,000 " + bodies + "s"
                              : "it could not be read";
  std::string question = "The " + bodies + " list \"" + p.list.heldBack + "\" was not loaded whole: " + why + ".\r\n";
  if (held)
    question += "Replace it with " + what + "?";
  else
    question += "Replace \"" + target + "\", which holds " + BodiesText(p, inTarget) + ", with " + what + "?";
  // Return keeps the file.
  return platform::ShowMessageBox(question, kCaption, platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                  platform::IDNO) == platform::IDYES;
}

bool TSolSysForm1::SaveAsked(TElementPage& p, const std::string& target) {
  const std::string what = "the " + BodiesText(p, p.grid.BodyCount()) + " of this table";
  if (!MayReplace(p, target, what) || !SaveTo(p, target)) return false;
  p.list.heldBack.clear();
  return true;
}

void TSolSysForm1::SaveDefaultClick() {
  AsteroidElementsFile = "default.ast";
  CometElementsFile = "default.cmt";
  // The lists first: the switches and names are stored after the questions,
  // and the user is told only what was saved (in the flash window's one
  // short line).
  std::vector<std::string> kept;
  for (TElementPage& p : Pages) {
    if (SaveAsked(p, DefaultFile(p)))
      p.changed = p.fileChanged = false;
    else
      kept.push_back(DefaultFile(p));
  }
  WriteRegSolarSystem(Shown());
  ShowFlashMessage(kept.empty()       ? "Solar System defaults saved."
                   : kept.size() == 1 ? "Settings saved; \"" + kept[0] + "\" left as it was."
                                      : "Settings saved; both lists left as they were.",
                   2);
  UpdateElementCaptions();
}

TSolarSwitches TSolSysForm1::Shown() const {
  TSolarSwitches s{};
  for (int i = 0; i < kSolarSwitchCount; ++i) s[std::size_t(i)] = SwitchCheckBox[i]->isChecked();
  return s;
}

bool TSolSysForm1::OkClick() {
  const TSolarSwitches s = Shown();
  SetPlotterSolarSwitches(s);
  for (TElementPage& p : Pages) Apply(p);
  const bool anyFlag = Pages[0].changed || Pages[0].fileChanged || Pages[1].changed || Pages[1].fileChanged;
  if (anyFlag || s != ShownFlags) {
    for (TElementPage& p : Pages) {
      int answer = platform::IDNO;
      // A table with fewer bodies than the default file has No as the
      // default button: Return keeps the file.
      const bool fewer = p.grid.BodyCount() < ElementFileBodyCount(DefaultFile(p));
      if (p.changed || (p.fileChanged && CurrentFile(p).empty()))
        answer = platform::ShowMessageBox(Asteroid(p) ? "Asteroid Elements have changed,\n\rSave these changes?"
                                                      : "Comet Elements have changed,\n\rSave these changes?",
                                          kCaption, platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question,
                                          fewer ? platform::IDNO : platform::IDYES);
      if (answer == platform::IDCANCEL) return false;
      CurrentFile(p) = DefaultFile(p);
      if (answer == platform::IDYES) SaveAsked(p, DefaultFile(p));
    }
    WriteRegElementFiles();
    Pages[0].changed = Pages[1].changed = false;
  }
  Finish();
  return true;
}

void TSolSysForm1::Finish() {
  // Every body is computed afresh at the next render.
  for (int i = 0; i < AsteroidCount; ++i) Asteroids[i].LastJD = -1;
  for (int i = 0; i < CometCount; ++i) Comets[i].LastJD = -1;
  if (MainPlotter) MainPlotter->Replot = 1;
}
