// The points-of-interest window ("Points of Interest - Sequencer"): the
// grid that edits the table (app/core/points_of_interest.h), Move Up and
// Move Down, and the sequencer's options; and the pick list that chooses a
// point beyond the ninth.
#pragma once

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class TGridEditing;

class TPOIForm : public QWidget {
  Q_OBJECT
 public:
  explicit TPOIForm(QWidget* owner = nullptr);

  // Shows the window with the grid filled from the table.
  void ShowGrid();
  // Fills the grid from the table.
  void RefreshGrid();
  // Normalises the Goto and Confirm cells and reads every row back.
  void ReadGrid();
  // Ends the editing of a cell still open, keeping what was typed, and
  // reads the grid back: what the user typed counts (the sequencer's Start
  // calls it).
  void CommitEdit();
  void MoveUp();
  void MoveDown();

  QTableWidget* POIGrid = nullptr;
  QPushButton* MoveUpButton = nullptr;
  QPushButton* MoveDownButton = nullptr;
  QPushButton* Button2 = nullptr;  // "&Sort", bound to Move Up
  QCheckBox* StopOnWarning = nullptr;
  QCheckBox* ParkWhenDone = nullptr;
  QCheckBox* CloseShutter = nullptr;
  QCheckBox* EmailStatus = nullptr;
  QLabel* StatusLabel = nullptr;
  QPushButton* Close = nullptr;

 private:
  bool filling_ = false;
  TGridEditing* editing_ = nullptr;
};

class TMagnifierPickListForm1 : public QDialog {
  Q_OBJECT
 public:
  explicit TMagnifierPickListForm1(QWidget* owner = nullptr);
  // Fills the list ("Location n" for every point) and clears the choice.
  void FormShow();
  // Shows the list modally (the program's instance, else one of its own
  // owned by `owner`): the chosen point (1..POICount) or -1.
  static int Choose(QWidget* owner);

  QListWidget* ListBox1 = nullptr;
  int Choice = -1;
};

extern TPOIForm* POIForm;
extern TMagnifierPickListForm1* MagnifierPickListForm1;
