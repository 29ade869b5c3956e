// The search window ("Find Object"): the search text, three scopes, the
// sorted results and the pop-up commands Center, Track and Information.
// Created on demand; it frees itself when closed.
#pragma once

#include <QDialog>
#include <QStringList>

#include "tools/find.h"

class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;

class TFindForm1 : public QDialog {
 public:
  explicit TFindForm1(QWidget* parent = nullptr);
  ~TFindForm1() override;

  QLineEdit* SearchEdit1;
  QListWidget* ResultsListBox1;
  QPushButton *BitBtn2, *BitBtn1;  // "&Search", "&Done"
  QRadioButton *AllRadioButton1, *LocRadioButton1, *LocDateTimeRadioButton1;
  QMenu* PopupMenu1;
  QAction *Center1, *Track1, *Information1;

  TFoundObject Found;

  void RunSearch();
  // Makes the selected result the selection; false when none.
  bool SelectCurrent();
  // Double-click or Space on a result: centres the chart on it, or says in
  // the status bar why not.
  void ChooseCurrent();
  // Enables the pop-up's commands for the selection.
  void PopupMenu1Popup();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The object database's note (ObjectDatabaseSearchNote) in lines the
  // list shows whole, and those lines added to it.
  QStringList NoteLines() const;
  void AddNoteLines(const QStringList& note);
};

extern TFindForm1* FindForm1;
void ShowFindForm(QWidget* parent = nullptr);
