// The catalogue import window ("Catalog Import Tool"): previews the first
// lines of a text catalogue split into columns, lets the user give each
// column a type from the tree, and on Ok imports the file into a table of
// "Objects.sqlite" (catalog/catalog_import.h does the work).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "catalog/catalog_import.h"
#include "platform/child_signals.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class QTreeWidget;

class TImportToolForm1 : public QDialog {
 public:
  explicit TImportToolForm1(QWidget* parent = nullptr);

  // Set by the caller before the window is shown.
  std::string FileName;
  std::string DatabasePath;             // "Objects.sqlite" when empty
  std::vector<std::string> NamesInUse;  // tables of the other slots
  // Read by the caller afterwards.
  bool Success = false;
  std::string TableName;
  std::string Description() const;

  QLabel* TableLabel;
  QSpinBox* StartRow;
  QCheckBox* CommaCheckBox;
  QCheckBox* TabCheckBox;
  QCheckBox* SemicolonCheckBox;
  QCheckBox* SpaceCheckBox;
  QCheckBox* BarCheckBox;
  QCheckBox* FixedCheckBox1;
  QLineEdit* FixedEdit1;
  QComboBox* EpochComboBox;
  QLineEdit* DescriptionEdit;
  QTreeWidget* FieldSelect;
  QTableWidget* ImportPreview;
  QProgressBar* ProgressBar1;
  QPushButton* OkButton;
  QPushButton* CancelButton;
  QTimer* Timer1;

  // Shows the window modally, when its file is one that can be read: a
  // named pipe, a folder, a device or a file that cannot be opened is
  // refused unopened, with its reason in the window's message box, and the
  // window is not shown (Rejected, Success false).
  int exec() override;
  void FormShow();
  // Re-reads the preview with the present layout.
  void ReadPreview();
  // Gives the selected tree entry to the selected preview column.
  void FieldSelectDblClick();
  // Assigns type t (index into ImportTypeTree().Types) to column c.
  void AssignType(int t, int column);
  void OkButtonClick();
  // The layout the controls describe (fixed positions only when valid).
  TImportLayout Layout() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateTree();
  std::vector<int> columnOfType_;
  std::vector<int> fixedPositions_;
  bool dirty_ = false;
  int keyDelay_ = 0;  // timer ticks left before a typed position list is read
  // Last: cut first, before any other member goes.
  platform::TChildSignalCut childSignalCut_{this};
};

// The program's instance, made hidden at start.
extern TImportToolForm1* ImportToolForm1;
