// TMagnifierSettingsForm1, "Magnifier/Telescope settings": the magnifier's
// appearance switches and default field, and the grids of telescopes and
// eyepieces. The grids show TeleGrid and EyeGrid (chart/magnifier_settings.h);
// cells that fail their check are emptied when shown, the tidy timer keeps
// one empty row after the last entry, and leaving a grid or hiding the window
// rebuilds the derived tables.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QTableWidget;
class QTabWidget;
class QTimer;
struct TMagnifierGrid;

class TMagnifierSettingsForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TMagnifierSettingsForm1(QWidget* parent = nullptr);

  // Called when the window hides, with the new field-of-view mode (the main
  // window rebuilds its telescope menu and applies the mode).
  std::function<void(int32_t mode)> onHidden;

  QTableWidget* TeleStringGrid1 = nullptr;
  QTableWidget* EyeStringGrid1 = nullptr;
  QComboBox* FieldList = nullptr;
  QTimer* Timer1 = nullptr;
  bool TelescopesModified = false;
  bool EyepiecesModified = false;

  // The tidy timer's tick (also called by tests).
  void Timer1Timer();
  // OK: the Appearance boxes into the switches, the list into the default.
  void BitBtn1Click();
  // Saves the switches, default and grids to the registry.
  void SaveDefaults();

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void LoadGrid(QTableWidget* table, const TMagnifierGrid& grid, bool tele);
  void StoreGrid(QTableWidget* table, TMagnifierGrid& grid);
  void GridLeft();
  void BuildFieldList();
  QTabWidget* tabs_ = nullptr;
  QCheckBox* grid_ = nullptr;
  QCheckBox* solsys_ = nullptr;
  QCheckBox* minor_ = nullptr;
  QCheckBox* identify_ = nullptr;
  QRadioButton* brightness_ = nullptr;
  QRadioButton* size_ = nullptr;
  bool loading_ = false;
};

extern TMagnifierSettingsForm1* MagnifierSettingsForm1;
