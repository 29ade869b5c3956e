// TMagnifierSettingsForm1 (see magnifier_settings_form.h).
#include "chart/forms/magnifier_settings_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "platform/dialogs.h"

TMagnifierSettingsForm1* MagnifierSettingsForm1 = nullptr;

namespace {
const char* const kTeleCaptions[kTeleColumns] = {"Name", "Diameter", "Focal Ratio", "Mirror", "Invert",
                                                 "Default Eyepiece"};
const int kTeleWidths[kTeleColumns] = {110, 50, 60, 31, 32, 124};
const char* const kEyeCaptions[kEyeColumns] = {"Name", "Focal Length", "Field Of View"};
const int kEyeWidths[kEyeColumns] = {121, 81, 81};
}  // namespace

TMagnifierSettingsForm1::TMagnifierSettingsForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Magnifier/Telescope settings");
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  layout->addWidget(tabs_);

  auto* appearance = new QWidget;
  auto* a = new QVBoxLayout(appearance);
  grid_ = new QCheckBox("Coordinate grid");
  solsys_ = new QCheckBox("Graphic Sun, Moon and planets");
  minor_ = new QCheckBox("Asteroids and comets");
  identify_ = new QCheckBox("Identify celestial objects");
  brightness_ = new QRadioButton("Star magnitude as brightness");
  size_ = new QRadioButton("Star magnitude as size");
  FieldList = new QComboBox;
  for (QWidget* w : std::initializer_list<QWidget*>{grid_, solsys_, minor_, identify_, brightness_, size_})
    a->addWidget(w);
  a->addWidget(new QLabel("Default field of view"));
  a->addWidget(FieldList);
  tabs_->addTab(appearance, "Appearance");

  TeleStringGrid1 = new QTableWidget(kGridMaxRows - 1, kTeleColumns);
  EyeStringGrid1 = new QTableWidget(kGridMaxRows - 1, kEyeColumns);
  for (int c = 0; c < kTeleColumns; ++c) {
    TeleStringGrid1->setHorizontalHeaderItem(c, new QTableWidgetItem(kTeleCaptions[c]));
    TeleStringGrid1->setColumnWidth(c, kTeleWidths[c]);
  }
  for (int c = 0; c < kEyeColumns; ++c) {
    EyeStringGrid1->setHorizontalHeaderItem(c, new QTableWidgetItem(kEyeCaptions[c]));
    EyeStringGrid1->setColumnWidth(c, kEyeWidths[c]);
  }
  tabs_->addTab(TeleStringGrid1, "Telescopes");
  tabs_->addTab(EyeStringGrid1, "Eyepieces");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText("&OK");
  auto* save = buttons->addButton("Save as defaults", QDialogButtonBox::ActionRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    BitBtn1Click();
    hide();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  connect(save, &QPushButton::clicked, this, [this] { SaveDefaults(); });

  auto edited = [this](QTableWidget* table, TMagnifierGrid& grid, bool tele) {
    if (loading_) return;
    (tele ? TelescopesModified : EyepiecesModified) = true;
    StoreGrid(table, grid);
  };
  connect(TeleStringGrid1, &QTableWidget::itemChanged, this, [=, this] { edited(TeleStringGrid1, TeleGrid, true); });
  connect(EyeStringGrid1, &QTableWidget::itemChanged, this, [=, this] { edited(EyeStringGrid1, EyeGrid, false); });
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { GridLeft(); });

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TMagnifierSettingsForm1::Timer1Timer);
}

// Shows a grid: rows 1..RowCount-1 of the model, cells that fail their
// check emptied.
void TMagnifierSettingsForm1::LoadGrid(QTableWidget* table, const TMagnifierGrid& grid, bool tele) {
  loading_ = true;
  table->setRowCount(grid.RowCount - 1);
  for (int r = 1; r < grid.RowCount; ++r)
    for (int c = 0; c < grid.Columns; ++c) {
      const std::string& text = grid.Cells[r][c];
      const bool ok = tele ? ValidateTeleCell(text, c) : ValidateEyeCell(text, c);
      table->setItem(r - 1, c, new QTableWidgetItem(ok ? QString::fromStdString(text) : QString()));
    }
  loading_ = false;
}

void TMagnifierSettingsForm1::StoreGrid(QTableWidget* table, TMagnifierGrid& grid) {
  for (int r = 1; r < kGridMaxRows; ++r)
    for (int c = 0; c < grid.Columns; ++c) {
      const QTableWidgetItem* item = r - 1 < table->rowCount() ? table->item(r - 1, c) : nullptr;
      grid.Cells[r][c] = item ? item->text().toStdString() : std::string();
    }
  grid.RowCount = std::clamp(table->rowCount() + 1, 2, kGridMaxRows);
}

void TMagnifierSettingsForm1::Timer1Timer() {
  const int eyeEditing = EyeStringGrid1->hasFocus() ? EyeStringGrid1->currentRow() + 1 : -1;
  const int teleEditing = TeleStringGrid1->hasFocus() ? TeleStringGrid1->currentRow() + 1 : -1;
  StoreGrid(EyeStringGrid1, EyeGrid);
  StoreGrid(TeleStringGrid1, TeleGrid);
  TidyGrid(EyeGrid, eyeEditing);
  TidyGrid(TeleGrid, teleEditing);
  if (EyeStringGrid1->rowCount() != EyeGrid.RowCount - 1 || TeleStringGrid1->rowCount() != TeleGrid.RowCount - 1) {
    LoadGrid(EyeStringGrid1, EyeGrid, false);
    LoadGrid(TeleStringGrid1, TeleGrid, true);
  }
}

void TMagnifierSettingsForm1::GridLeft() {
  StoreGrid(EyeStringGrid1, EyeGrid);
  StoreGrid(TeleStringGrid1, TeleGrid);
  BuildFieldTables();
  ComputeFieldTable();
  BuildFieldList();
}

void TMagnifierSettingsForm1::BuildFieldList() {
  const int kept = FieldList->currentIndex();
  FieldList->clear();
  const std::vector<std::string> names = FieldChoiceNames();
  const int choices = 9 + std::max(TeleGrid.RowCount - 1, 0);
  for (int i = 0; i < std::min<int>(choices, int(names.size())); ++i)
    FieldList->addItem(QString::fromStdString(names[std::size_t(i)]));
  if (kept >= 0 && kept < FieldList->count()) FieldList->setCurrentIndex(kept);
  else if (DefaultFieldOfView >= 0 && DefaultFieldOfView < FieldList->count())
    FieldList->setCurrentIndex(DefaultFieldOfView);
}

void TMagnifierSettingsForm1::BitBtn1Click() {
  TMagnifierSwitches& s = MagnifierSwitches;
  s.ShowGrid = grid_->isChecked();
  s.GraphicSun = solsys_->isChecked();
  s.ShowMinorBodies = minor_->isChecked();
  s.StarMode = brightness_->isChecked() ? 0 : 2;
  s.IdentifyObjects = identify_->isChecked();
  if (FieldList->currentIndex() >= 0) DefaultFieldOfView = FieldList->currentIndex();
}

void TMagnifierSettingsForm1::SaveDefaults() {
  GridLeft();
  BitBtn1Click();
  WriteRegMagnifier();
  TelescopesModified = EyepiecesModified = false;
}

void TMagnifierSettingsForm1::showEvent(QShowEvent* e) {
  tabs_->setCurrentIndex(0);
  const TMagnifierSwitches& s = MagnifierSwitches;
  grid_->setChecked(s.ShowGrid);
  solsys_->setChecked(s.GraphicSun);
  minor_->setChecked(s.ShowMinorBodies);
  brightness_->setChecked(s.StarMode == 0);
  size_->setChecked(s.StarMode != 0);
  identify_->setChecked(s.IdentifyObjects);
  FieldList->setCurrentIndex(-1);
  LoadGrid(TeleStringGrid1, TeleGrid, true);
  LoadGrid(EyeStringGrid1, EyeGrid, false);
  TelescopesModified = EyepiecesModified = false;
  BuildFieldTables();
  BuildFieldList();
  Timer1->start();
  QDialog::showEvent(e);
}

void TMagnifierSettingsForm1::hideEvent(QHideEvent* e) {
  Timer1->stop();
  GridLeft();
  FieldOfViewMode %= 10000;
  if (onHidden) onHidden(FieldOfViewMode);
  QDialog::hideEvent(e);
}

void TMagnifierSettingsForm1::closeEvent(QCloseEvent* e) {
  if (TelescopesModified || EyepiecesModified) {
    const char* what = TelescopesModified && EyepiecesModified ? "Telescope and eyepiece settings changed,"
                       : TelescopesModified                    ? "Telescope settings changed,"
                                                               : "Eyepiece settings changed,";
    const int answer = platform::ShowMessageBox(std::string(what) + "\r\nsave changes?", "Noctra Planetarium",
                                                platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question);
    if (answer == platform::IDCANCEL) {
      e->ignore();
      return;
    }
    if (answer == platform::IDYES) SaveDefaults();
  }
  QDialog::closeEvent(e);
}
