// The solar-system settings window ("Solar System settings"): twelve
// display switches of the main plotter, and the asteroid and comet element
// grids (the lists the program loaded at start, ElementLists) with Load,
// Merge, Save, Clear, Use All, Use None and the download of current lists.
// The switches and element files persist in the registry section "Solar
// System", settings-file block 3, "default.ast" and "default.cmt"
// (catalog/solar_system_options.h).
#pragma once

#include <QDialog>

#include "catalog/solar_system_options.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

// The twelve switches of MainPlotter, and back (nothing without one).
TSolarSwitches PlotterSolarSwitches();
void SetPlotterSolarSwitches(const TSolarSwitches& s);
// Start-up: the registry section into MainPlotter and the file names.
void ReadRegSolarSystemSettings();
// The switches at their registry defaults, the element-file names
// "default.ast" and "default.cmt", both tables empty.
void SetSolarSystemDefaults();
// Settings-file block 3: the writer gives MainPlotter's switches; the
// reader applies a valid block and loads the element files again (shown in
// the window when it exists); a block it cannot read gives
// SetSolarSystemDefaults and false; the replot byte is set in every case.
std::vector<uint8_t> SolarSystemBlock();
bool ApplySolarSystemBlock(const std::vector<uint8_t>* block);

class TSolSysForm1 : public QDialog {
 public:
  explicit TSolSysForm1(QWidget* parent = nullptr);

  // One element table: asteroids (0) or comets (1), with its list loaded
  // at start (ElementLists).
  struct TElementPage {
    TElementList& list;  // the grid, its template and the list held back
    TElementGrid& grid;  // list.grid
    QTableWidget* view = nullptr;
    QLabel* caption = nullptr;
    QPushButton* clear = nullptr;
    QPushButton* useAll = nullptr;
    QPushButton* useNone = nullptr;
    QPushButton* load = nullptr;
    QPushButton* merge = nullptr;
    QPushButton* save = nullptr;
    QPushButton* download = nullptr;
    bool changed = false;      // edited since the last save
    bool fileChanged = false;  // saved under another name since shown
  };
  TElementPage Pages[2];
  QTabWidget* PageControl1;
  QCheckBox* SwitchCheckBox[kSolarSwitchCount];
  QPushButton* OkButton;
  QPushButton* CancelButton;
  QPushButton* SaveDefaultButton;
  QPushButton* HelpButton;  // the user guide's page of this window
  bool MergeMode = false;
  bool Cancelled = false;
  TSolarSwitches ShownFlags{};
  // Time-out of the downloads (tests shorten it).
  int DownloadTimeoutMs = kElementDownloadTimeoutMs;

  void FormShow();
  // Shows the element lists as LoadElementFiles left them (at start and
  // after a settings file's block 3): the grids, the file names.
  void ShowElementLists();
  void UpdateElementCaptions();
  void ClearClick(int page);
  void UseClick(int page, bool all);
  void LoadClick(int page, bool merge);
  void SaveClick(int page);
  void DownloadClick(int page);
  void SaveDefaultClick();
  // The close check of OK: false when the user cancelled a question and
  // the window stays open.
  bool OkClick();
  TSolarSwitches Shown() const;
  // Shows a page's grid in its view.
  void ShowGrid(int page);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Saves a page's grid to `target`. While a list of the page is held
  // back, an existing file is replaced only after the user agrees (No, the
  // default button, leaves it as it is); once saved nothing is held back.
  bool SaveAsked(TElementPage& p, const std::string& target);
  // While a list of the page is held back (whichever file it is), asks
  // whether `target` may be replaced by `what` (naming both files and what
  // the target holds); true when nothing is held back or there is no
  // target file to replace.
  bool MayReplace(const TElementPage& p, const std::string& target, const std::string& what);
  void CellEdited(int page, int row, int column);
  void FitColumn(int page, int column);
  void Finish();
  bool filling_ = false;
};

extern TSolSysForm1* SolSysForm1;
