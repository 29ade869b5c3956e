#include "tools/forms/find_form.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "astro/observer.h"

TFindForm1* FindForm1 = nullptr;

TFindForm1::TFindForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Find Object");
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_DeleteOnClose);
  SearchEdit1 = new QLineEdit;
  ResultsListBox1 = new QListWidget;
  ResultsListBox1->setMinimumWidth(360);
  ResultsListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  BitBtn2 = new QPushButton("&Search"), BitBtn1 = new QPushButton("&Done");
  AllRadioButton1 = new QRadioButton("&Search all active databases");
  LocRadioButton1 = new QRadioButton("From this &location only");
  LocDateTimeRadioButton1 = new QRadioButton("Location and &date/time only");
  AllRadioButton1->setChecked(true);
  PopupMenu1 = new QMenu(this);
  Center1 = PopupMenu1->addAction("&Center");
  Track1 = PopupMenu1->addAction("&Track");
  Information1 = PopupMenu1->addAction("&Information");

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Search Text:")), top->addWidget(SearchEdit1), top->addWidget(BitBtn2);
  auto* scopes = new QVBoxLayout;
  for (QWidget* w : {static_cast<QWidget*>(AllRadioButton1), static_cast<QWidget*>(LocRadioButton1),
                     static_cast<QWidget*>(LocDateTimeRadioButton1)})
    scopes->addWidget(w);
  scopes->addWidget(new QLabel("+ not currently visible"));
  scopes->addWidget(new QLabel("* never visible from this location"));
  scopes->addStretch();
  scopes->addWidget(BitBtn1);
  auto* mid = new QHBoxLayout;
  mid->addWidget(ResultsListBox1), mid->addLayout(scopes);
  auto* v = new QVBoxLayout(this);
  v->addLayout(top), v->addLayout(mid);

  // Enter in the search field presses the default button once.
  BitBtn2->setDefault(true);
  connect(BitBtn2, &QPushButton::clicked, this, [this] { RunSearch(); });
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::close);
  connect(ResultsListBox1, &QListWidget::itemDoubleClicked, this, [this] { ChooseCurrent(); });
  connect(ResultsListBox1, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    if (QListWidgetItem* item = ResultsListBox1->itemAt(at)) ResultsListBox1->setCurrentItem(item);
    SelectCurrent();
    PopupMenu1Popup();
    PopupMenu1->popup(ResultsListBox1->viewport()->mapToGlobal(at));
  });
  connect(Center1, &QAction::triggered, this, [this] { CenterOnFound(Found); });
  connect(Track1, &QAction::triggered, this, [this] {
    if (SelectCurrent()) TrackFound(Found);
  });
  connect(Information1, &QAction::triggered, this, [this] {
    if (SelectCurrent()) ShowFoundInformation(Found);
  });
}

TFindForm1::~TFindForm1() {
  if (FindForm1 == this) FindForm1 = nullptr;
}

void TFindForm1::showEvent(QShowEvent* event) {
  ResultsListBox1->clear();
  SearchEdit1->setFocus();
  SearchEdit1->selectAll();
  QDialog::showEvent(event);
}

void TFindForm1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && ResultsListBox1->hasFocus()) {
    ChooseCurrent();
    return;
  }
  QDialog::keyPressEvent(event);  // Esc closes
}

void TFindForm1::RunSearch() {
  ResultsListBox1->clear();
  ResultsListBox1->addItem("Searching...");
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const int scope = LocRadioButton1->isChecked() ? kScopeLocation
                    : LocDateTimeRadioButton1->isChecked() ? kScopeLocationTime
                                                           : kScopeAll;
  const auto lines = SearchObjects(NormaliseQuery(SearchEdit1->text().toStdString()), scope, ObserverTime);
  ResultsListBox1->clear();
  // A missing, damaged or locked object database was told at the start
  // (or is still being waited for); every search says so again where the
  // user looks: under "Nothing found.", or above what it found.
  const QStringList note = NoteLines();
  if (lines.empty()) {
    ResultsListBox1->addItem("Nothing found.");
    AddNoteLines(note);
    return;
  }
  AddNoteLines(note);
  for (const std::string& l : lines) {
    auto* item = new QListWidgetItem(QString::fromStdString(ResultDisplayText(l)));
    item->setData(Qt::UserRole, QString::fromStdString(l));  // the whole line with its hidden key
    ResultsListBox1->addItem(item);
  }
  ResultsListBox1->setCurrentRow(int(note.size()));
}

QStringList TFindForm1::NoteLines() const {
  // The note in lines the list shows whole.
  const QFontMetrics metrics(ResultsListBox1->font());
  const int width = ResultsListBox1->viewport()->width() - 8;
  QStringList out;
  QString line;
  for (const QString& word : QString::fromStdString(ObjectDatabaseSearchNote()).split(' ', Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + ' ' + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
      out << line;
      line = word;
    } else {
      line = longer;
    }
  }
  if (!line.isEmpty()) out << line;
  return out;
}

void TFindForm1::AddNoteLines(const QStringList& note) {
  // Set apart from the results, and never a selection.
  for (const QString& text : note) {
    auto* item = new QListWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    QFont font = item->font();
    font.setItalic(true);
    item->setFont(font);
    ResultsListBox1->addItem(item);
  }
}

bool TFindForm1::SelectCurrent() {
  const QListWidgetItem* item = ResultsListBox1->currentItem();
  const std::string line = item ? item->data(Qt::UserRole).toString().toStdString() : std::string();
  Found = SelectFoundObject(line, ObserverTime);
  return Found.Kind != kFoundNone;
}

void TFindForm1::ChooseCurrent() {
  if (!SelectCurrent()) return;
  const QListWidgetItem* item = ResultsListBox1->currentItem();
  ChooseFound(Found, item->data(Qt::UserRole).toString().toStdString(), ObserverTime);
}

void TFindForm1::PopupMenu1Popup() {
  const TFindCommands c = FindCommands(Found);
  Center1->setEnabled(c.Center);
  Track1->setEnabled(c.Track);
  Information1->setEnabled(c.Information);
}

void ShowFindForm(QWidget* parent) {
  if (!FindForm1) FindForm1 = new TFindForm1(parent);
  FindForm1->show();
  FindForm1->raise();
}
