#include "catalog/forms/import_tool_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "catalog/object_catalog.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"

namespace {

constexpr const char* kCaption = "Noctra Planetarium";
constexpr int kTypeRole = Qt::UserRole + 1;

void Warn(const std::string& text) {
  platform::ShowMessageBox(text, kCaption, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
}

}  // namespace

TImportToolForm1* ImportToolForm1 = nullptr;

TImportToolForm1::TImportToolForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Catalog Import Tool");
  TableLabel = new QLabel(this);
  StartRow = new QSpinBox(this);
  StartRow->setRange(1, 20);
  CommaCheckBox = new QCheckBox("Comma", this);
  TabCheckBox = new QCheckBox("Tab", this);
  SemicolonCheckBox = new QCheckBox("Semicolon", this);
  SpaceCheckBox = new QCheckBox("Space", this);
  BarCheckBox = new QCheckBox("Vertical Bar", this);
  FixedCheckBox1 = new QCheckBox("Fixed Positions at:", this);
  FixedEdit1 = new QLineEdit(this);
  EpochComboBox = new QComboBox(this);
  EpochComboBox->addItems({"J2000", "B1975", "B1950", "B1900", "J2050"});
  DescriptionEdit = new QLineEdit(this);
  FieldSelect = new QTreeWidget(this);
  FieldSelect->setHeaderHidden(true);
  ImportPreview = new QTableWidget(this);
  ImportPreview->setSelectionMode(QAbstractItemView::SingleSelection);
  ImportPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setRange(0, 100);
  OkButton = new QPushButton("Ok", this);
  CancelButton = new QPushButton("Cancel", this);
  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);

  // The tree of column types, each entry carrying its index.
  const TImportTypeTree& tree = ImportTypeTree();
  std::vector<QTreeWidgetItem*> groups, subs;
  std::vector<std::vector<QTreeWidgetItem*>> subItems(tree.Groups.size());
  for (std::size_t g = 0; g < tree.Groups.size(); ++g) {
    groups.push_back(new QTreeWidgetItem(FieldSelect, {QString::fromStdString(tree.Groups[g])}));
    for (const std::string& s : tree.SubGroups[g])
      subItems[g].push_back(new QTreeWidgetItem(groups.back(), {QString::fromStdString(s)}));
  }
  for (std::size_t i = 0; i < tree.Types.size(); ++i) {
    const TImportType& t = tree.Types[i];
    QTreeWidgetItem* parentItem = t.SubGroup < 0 ? groups[std::size_t(t.Group)]
                                                 : subItems[std::size_t(t.Group)][std::size_t(t.SubGroup)];
    auto* item = new QTreeWidgetItem(parentItem, {QString::fromStdString(t.Text)});
    item->setData(0, kTypeRole, int(i));
  }
  FieldSelect->expandAll();
  columnOfType_.assign(tree.Types.size(), -1);

  auto* separators = new QHBoxLayout;
  for (QCheckBox* b : {CommaCheckBox, TabCheckBox, SemicolonCheckBox, SpaceCheckBox, BarCheckBox})
    separators->addWidget(b);
  auto* fixed = new QHBoxLayout;
  fixed->addWidget(FixedCheckBox1);
  fixed->addWidget(FixedEdit1);
  auto* form = new QFormLayout;
  form->addRow("Start at row", StartRow);
  form->addRow("Separators", separators);
  form->addRow(fixed);
  form->addRow("Epoch", EpochComboBox);
  form->addRow("Description", DescriptionEdit);
  auto* left = new QVBoxLayout;
  left->addWidget(TableLabel);
  left->addLayout(form);
  left->addWidget(ImportPreview, 1);
  left->addWidget(ProgressBar1);
  auto* top = new QHBoxLayout;
  top->addLayout(left, 3);
  top->addWidget(FieldSelect, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  resize(900, 560);

  auto mark = [this] { dirty_ = true; };
  for (QCheckBox* b : {CommaCheckBox, TabCheckBox, SemicolonCheckBox, SpaceCheckBox, BarCheckBox, FixedCheckBox1})
    connect(b, &QCheckBox::toggled, this, mark);
  connect(StartRow, &QSpinBox::valueChanged, this, mark);
  connect(FixedEdit1, &QLineEdit::textEdited, this, [this] { keyDelay_ = 2; });
  connect(Timer1, &QTimer::timeout, this, [this] {
    if (keyDelay_ > 0 && --keyDelay_ == 0) dirty_ = true;
    if (dirty_) ReadPreview();
  });
  connect(FieldSelect, &QTreeWidget::itemDoubleClicked, this, [this] { FieldSelectDblClick(); });
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &QDialog::finished, Timer1, &QTimer::stop);
}

int TImportToolForm1::exec() {
  Success = false;
  const std::string why = platform::DataFileRefusal(FileName);
  if (!why.empty()) {
    Warn("The catalogue \"" + FileName + "\" cannot be imported: " + why + ".");
    return QDialog::Rejected;
  }
  return QDialog::exec();
}

std::string TImportToolForm1::Description() const { return DescriptionEdit->text().trimmed().toStdString(); }

void TImportToolForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TImportToolForm1::FormShow() {
  DescriptionEdit->clear();
  ProgressBar1->setValue(0);
  Success = false;
  columnOfType_.assign(ImportTypeTree().Types.size(), -1);
  TableName = ImportTableName(FileName);
  TableLabel->setText(QString::fromStdString("Celestial Object Catalog (SQLite table = " + TableName + ")"));
  ReadPreview();
  UpdateTree();
  Timer1->start();
}

TImportLayout TImportToolForm1::Layout() const {
  TImportLayout l;
  l.StartRow = StartRow->value();
  l.Comma = CommaCheckBox->isChecked();
  l.Tab = TabCheckBox->isChecked();
  l.Semicolon = SemicolonCheckBox->isChecked();
  l.Space = SpaceCheckBox->isChecked();
  l.Bar = BarCheckBox->isChecked();
  l.Fixed = FixedCheckBox1->isChecked();
  l.FixedPositions = fixedPositions_;
  return l;
}

void TImportToolForm1::ReadPreview() {
  dirty_ = false;
  if (FixedCheckBox1->isChecked()) {
    const std::string error = ParseFixedPositions(FixedEdit1->text().toStdString(), fixedPositions_);
    if (!error.empty()) Warn(error);
  }
  const auto rows = ReadImportPreview(FileName, Layout());
  std::size_t columns = 0;
  for (const auto& r : rows) columns = std::max(columns, r.size());
  ImportPreview->clear();
  ImportPreview->setRowCount(int(rows.size()));
  ImportPreview->setColumnCount(int(columns));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      ImportPreview->setItem(int(r), int(c), new QTableWidgetItem(QString::fromStdString(rows[r][c])));
  // A column beyond the new width loses its type.
  for (int& c : columnOfType_)
    if (c >= int(columns)) c = -1;
  UpdateTree();
}

void TImportToolForm1::UpdateTree() {
  const TImportTypeTree& tree = ImportTypeTree();
  QStringList headers;
  for (int c = 0; c < ImportPreview->columnCount(); ++c) headers << "N/A";
  for (QTreeWidgetItemIterator it(FieldSelect); *it; ++it) {
    const QVariant v = (*it)->data(0, kTypeRole);
    if (!v.isValid()) continue;
    const int t = v.toInt();
    std::string text = tree.Types[std::size_t(t)].Text;
    const int column = columnOfType_[std::size_t(t)];
    if (column >= 0) {
      text += "; Assigned to column #" + std::to_string(column + 1);
      if (column < headers.size()) headers[column] = QString::fromStdString(ImportTypeHeader(tree.Types[std::size_t(t)]));
    }
    (*it)->setText(0, QString::fromStdString(text));
  }
  ImportPreview->setHorizontalHeaderLabels(headers);
}

void TImportToolForm1::AssignType(int t, int column) {
  if (t < 0 || t >= int(columnOfType_.size()) || column < 0 || column >= ImportPreview->columnCount()) return;
  for (int& c : columnOfType_)
    if (c == column) c = -1;  // the column's earlier type is released
  columnOfType_[std::size_t(t)] = column;
  UpdateTree();
}

void TImportToolForm1::FieldSelectDblClick() {
  QTreeWidgetItem* item = FieldSelect->currentItem();
  if (!item || !item->data(0, kTypeRole).isValid()) return;
  AssignType(item->data(0, kTypeRole).toInt(), ImportPreview->currentColumn());
}

void TImportToolForm1::OkButtonClick() {
  if (Description().empty()) {
    platform::ShowMessageBox("You must provide a description for the database before continuing.", kCaption,
                             platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  const std::string group = CheckImportAssignment(columnOfType_);
  if (!group.empty()) {
    Warn("You must associate each required column type with data before continuing.\r\nError in: " + group);
    return;
  }
  TImportJob job;
  job.FileName = FileName;
  job.DatabasePath = DatabasePath.empty() ? ObjectDatabasePath() : DatabasePath;
  job.Table = TableName;
  job.Layout = Layout();
  job.Epoch = TImportEpoch(EpochComboBox->currentIndex());
  job.ColumnOfType = columnOfType_;
  job.NamesInUse = NamesInUse;
  // The import holds the object lock only while it writes the table and
  // reports its error after releasing it.
  std::string report;
  const std::string error = RunCatalogImport(job, [this](int p) { ProgressBar1->setValue(p); }, &report);
  if (!error.empty()) {
    Warn(error);
    return;
  }
  platform::ShowMessageBox(report, kCaption, platform::MsgButtons::Ok, platform::MsgIcon::Information);
  Success = true;
  Timer1->stop();
  accept();
}
