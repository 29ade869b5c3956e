#include "app/forms/poi_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

#include "app/core/points_of_interest.h"
#include "app/forms/main_form.h"
#include "platform/single_window.h"

TPOIForm* POIForm = nullptr;
TMagnifierPickListForm1* MagnifierPickListForm1 = nullptr;

// The grid's cell editing: the delegate remembers the editor it opened, so
// that the window can end an edit still open (a cell typed into and Start
// pressed) and keep what was typed.
class TGridEditing : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    editor_ = editor;
    return editor;
  }
  // Stores the open editor's text in its cell and closes it.
  void Commit() {
    if (QWidget* editor = editor_.data()) {
      editor_.clear();
      emit commitData(editor);
      emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
  }

 private:
  mutable QPointer<QWidget> editor_;
};

namespace {

const char* const kColumns[7] = {"POI#", "Name", "RA (J2000.0)", "Dec (J2000.0)", "Goto (Y/N)",
                                 "Images (#exposures,time seconds,filter,purpose;...)", "Confirm (Y/N)"};
const double kColumnScale[7] = {0.5, 1.5, 1.0, 1.0, 0.75, 3.5, 0.9};

}  // namespace

TPOIForm::TPOIForm(QWidget* owner) : QWidget(owner, Qt::Window) {
  setWindowTitle(QStringLiteral("Points of Interest - Sequencer"));
  auto* layout = new QVBoxLayout(this);
  POIGrid = new QTableWidget(1, 7, this);
  const int base = POIGrid->horizontalHeader()->defaultSectionSize();
  for (int c = 0; c < 7; ++c) {
    POIGrid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(kColumns[c])));
    POIGrid->setColumnWidth(c, int(base * kColumnScale[c]));
  }
  POIGrid->verticalHeader()->hide();
  layout->addWidget(POIGrid);
  // Leaving a cell or the grid normalises the flags and reads the grid back.
  connect(POIGrid, &QTableWidget::currentCellChanged, this, [this] {
    if (!filling_) ReadGrid();
  });
  editing_ = new TGridEditing(POIGrid);
  POIGrid->setItemDelegate(editing_);
  connect(editing_, &QAbstractItemDelegate::closeEditor, this, [this] {
    if (!filling_) ReadGrid();
  });

  auto* buttons = new QHBoxLayout;
  MoveUpButton = new QPushButton(QStringLiteral("Move &Up"), this);
  MoveDownButton = new QPushButton(QStringLiteral("Move &Down"), this);
  Button2 = new QPushButton(QStringLiteral("&Sort"), this);
  connect(MoveUpButton, &QPushButton::clicked, this, &TPOIForm::MoveUp);
  connect(Button2, &QPushButton::clicked, this, &TPOIForm::MoveUp);
  connect(MoveDownButton, &QPushButton::clicked, this, &TPOIForm::MoveDown);
  for (QPushButton* b : {MoveUpButton, MoveDownButton, Button2}) buttons->addWidget(b);
  buttons->addStretch();
  StatusLabel = new QLabel(QStringLiteral("Stopped"), this);
  buttons->addWidget(StatusLabel);
  Close = new QPushButton(QStringLiteral("&Close"), this);
  connect(Close, &QPushButton::clicked, this, [this] {
    ReadGrid();
    close();
  });
  buttons->addWidget(Close);
  layout->addLayout(buttons);

  auto* options = new QHBoxLayout;
  StopOnWarning = new QCheckBox(QStringLiteral("Stop on warning"), this);
  ParkWhenDone = new QCheckBox(QStringLiteral("Park when done"), this);
  CloseShutter = new QCheckBox(QStringLiteral("Close shutter when done"), this);
  EmailStatus = new QCheckBox(QStringLiteral("EMail status"), this);
  EmailStatus->setEnabled(false);
  for (QCheckBox* c : {StopOnWarning, ParkWhenDone, CloseShutter, EmailStatus}) options->addWidget(c);
  layout->addLayout(options);
  resize(900, 400);
}

void TPOIForm::ShowGrid() {
  RefreshGrid();
  show();
  raise();
  activateWindow();
}

void TPOIForm::RefreshGrid() {
  filling_ = true;
  POIGrid->setRowCount(std::max(POICount, 1));
  for (int r = 0; r < POIGrid->rowCount(); ++r) {
    const auto cells = POIGridRow(r + 1);  // empty cells when there are no points
    for (int c = 0; c < 7; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(cells[c]));
      if (c == 0) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      POIGrid->setItem(r, c, item);
    }
  }
  filling_ = false;
}

void TPOIForm::ReadGrid() {
  filling_ = true;
  for (int r = 0; r < POICount && r < POIGrid->rowCount(); ++r) {
    std::array<std::string, 7> cells;
    for (int c = 0; c < 7; ++c) {
      QTableWidgetItem* item = POIGrid->item(r, c);
      cells[c] = item ? item->text().toStdString() : std::string();
    }
    for (int c : {4, 6}) {
      cells[c] = NormaliseYesNo(cells[c]);
      if (QTableWidgetItem* item = POIGrid->item(r, c)) item->setText(QString::fromStdString(cells[c]));
    }
    ReadPOIGridRow(r + 1, cells);
  }
  filling_ = false;
}

void TPOIForm::CommitEdit() {
  // Closing the editor reads the grid back; without one every edit has
  // been read already.
  editing_->Commit();
}

void TPOIForm::MoveUp() {
  ReadGrid();
  const int r = POIGrid->currentRow() + 1;
  if (r > 1 && MovePointOfInterest(r, true)) {
    RefreshGrid();
    POIGrid->setCurrentCell(r - 2, std::max(POIGrid->currentColumn(), 0));
    if (MainForm1) MainForm1->Chart().MarkReplot();
  }
}

void TPOIForm::MoveDown() {
  ReadGrid();
  const int r = POIGrid->currentRow() + 1;
  if (r >= 1 && r + 1 <= POICount && MovePointOfInterest(r, false)) {
    RefreshGrid();
    POIGrid->setCurrentCell(r, std::max(POIGrid->currentColumn(), 0));
    if (MainForm1) MainForm1->Chart().MarkReplot();
  }
}

TMagnifierPickListForm1::TMagnifierPickListForm1(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Points of Interest"));
  auto* layout = new QVBoxLayout(this);
  ListBox1 = new QListWidget(this);
  layout->addWidget(ListBox1);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    Choice = ListBox1->row(item) + 1;
    accept();
  });
}

void TMagnifierPickListForm1::FormShow() {
  ListBox1->clear();
  for (const std::string& line : POIPickListLines(POICount)) ListBox1->addItem(QString::fromStdString(line));
  Choice = -1;
}

int TMagnifierPickListForm1::Choose(QWidget* owner) {
  std::unique_ptr<TMagnifierPickListForm1> own;
  TMagnifierPickListForm1& form = platform::ProgramWindowOr(MagnifierPickListForm1, own, owner);
  form.FormShow();
  form.exec();
  return form.Choice;
}
