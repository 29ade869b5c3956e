#include "catalog/forms/object_options_form.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

#include "catalog/forms/import_tool_form.h"
#include "catalog/hooks.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/single_window.h"

TOptionsForm2* OptionsForm2 = nullptr;

namespace {

const char* const kClassCaptions[10] = {"Other",              "Open cluster",    "Globular cluster",
                                        "Diffuse nebula",     "Planetary nebula", "Galaxy",
                                        "Cluster with nebula", nullptr,          "Large Magellanic Cloud",
                                        "Small Magellanic Cloud"};

int Bar(double limit) { return int(std::nearbyint(limit * 10.00001)); }

}  // namespace

TOptionsForm2::TOptionsForm2(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Celestial Object Catalog settings");
  auto slider = [this] {
    auto* s = new QSlider(Qt::Horizontal, this);
    s->setRange(kObjectMagTenthsMin, kObjectMagTenthsMax);
    s->setTickPosition(QSlider::TicksBelow);
    s->setTickInterval(10);
    return s;
  };
  TrackBarMagn1 = slider();
  TrackBarMagn2 = slider();
  MagnLabel1 = new QLabel(this);
  MagnLabel2 = new QLabel(this);
  for (QLabel* l : {MagnLabel1, MagnLabel2}) l->setMinimumWidth(l->fontMetrics().horizontalAdvance("-88.8") + 4);
  auto* magnitude = new QGroupBox("Magnitude", this);
  auto* mg = new QGridLayout(magnitude);
  mg->addWidget(new QLabel("Bright limit", this), 0, 0);
  mg->addWidget(TrackBarMagn1, 0, 1);
  mg->addWidget(MagnLabel1, 0, 2);
  mg->addWidget(new QLabel("Faint limit", this), 1, 0);
  mg->addWidget(TrackBarMagn2, 1, 1);
  mg->addWidget(MagnLabel2, 1, 2);

  auto* classes = new QGroupBox("Object classes", this);
  auto* cg = new QGridLayout(classes);
  int n = 0;
  for (int d = 0; d < 10; ++d) {
    ClassCheckBox[d] = kClassCaptions[d] ? new QCheckBox(kClassCaptions[d], this) : nullptr;
    if (ClassCheckBox[d]) cg->addWidget(ClassCheckBox[d], n / 3, n % 3), ++n;
  }
  BitBtn1 = new QPushButton("Select All", this);
  BitBtn2 = new QPushButton("Clear All", this);
  cg->addWidget(BitBtn1, 3, 0);
  cg->addWidget(BitBtn2, 3, 1);
  LabelCheckBox1 = new QCheckBox("Label objects on map", this);

  auto* catalogs = new QGroupBox("Catalogs", this);
  auto* sg = new QGridLayout(catalogs);
  DatabaseNote = new QLabel(this);
  DatabaseNote->setWordWrap(true);
  DatabaseNote->setStyleSheet("color: #b00000");
  DatabaseNote->hide();
  for (int k = 0; k < kCatalogSlots; ++k) {
    CatName[k] = new QLabel(this);
    CatDescription[k] = new QLabel(this);
    CatDescription[k]->setWordWrap(true);
    CatDescription[k]->setMinimumWidth(320);
    Active[k] = new QCheckBox("Active", this);
    sg->addWidget(CatName[k], k, 0);
    sg->addWidget(CatDescription[k], k, 1);
    sg->addWidget(Active[k], k, 2);
    Add[k] = Remove[k] = nullptr;
    if (k == 0) {
      Active[k]->setChecked(true);
      Active[k]->setEnabled(false);
      continue;
    }
    Add[k] = new QPushButton("Add", this);
    Remove[k] = new QPushButton("Remove", this);
    sg->addWidget(Add[k], k, 3);
    sg->addWidget(Remove[k], k, 4);
    connect(Add[k], &QPushButton::clicked, this, [this, k] { AddClick(k + 1); });
    connect(Remove[k], &QPushButton::clicked, this, [this, k] { RemoveClick(k + 1); });
    connect(Active[k], &QCheckBox::clicked, this, [this, k] { ActiveClick(k + 1); });
  }
  sg->setColumnStretch(1, 1);

  BitBtn3 = new QPushButton("Ok", this);
  CancelButton = new QPushButton("Cancel", this);
  Defaults2 = new QPushButton("Revert", this);
  SaveDefaultBitBtn1 = new QPushButton("Save as default", this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Defaults2);
  buttons->addWidget(SaveDefaultBitBtn1);
  buttons->addStretch();
  buttons->addWidget(BitBtn3);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(magnitude);
  layout->addWidget(classes);
  layout->addWidget(LabelCheckBox1);
  layout->addWidget(DatabaseNote);
  layout->addWidget(catalogs);
  layout->addLayout(buttons);

  // Moving one limit past the other drags it along.
  connect(TrackBarMagn1, &QSlider::valueChanged, this, [this](int v) {
    if (TrackBarMagn2->value() < v) TrackBarMagn2->setValue(v);
    UpdateLabels();
  });
  connect(TrackBarMagn2, &QSlider::valueChanged, this, [this](int v) {
    if (TrackBarMagn1->value() > v) TrackBarMagn1->setValue(v);
    UpdateLabels();
  });
  connect(BitBtn1, &QPushButton::clicked, this, [this] {
    for (QCheckBox* b : ClassCheckBox)
      if (b) b->setChecked(true);
  });
  connect(BitBtn2, &QPushButton::clicked, this, [this] {
    for (QCheckBox* b : ClassCheckBox)
      if (b) b->setChecked(false);
  });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(Defaults2, &QPushButton::clicked, this, [this] { Defaults2Click(); });
  connect(SaveDefaultBitBtn1, &QPushButton::clicked, this, [this] { SaveDefaultBitBtn1Click(); });

  RunImport = [this](const std::string& file, const std::vector<std::string>& used, std::string& table,
                     std::string& description) {
    std::unique_ptr<TImportToolForm1> own;
    TImportToolForm1& import = platform::ProgramWindowOr(ImportToolForm1, own, this);
    import.FileName = file;
    import.NamesInUse = used;
    import.exec();
    table = import.TableName;
    description = import.Description();
    return import.Success;
  };
  ShowSlots();
  databaseWatch_ = WatchObjectDatabase([this] {
    if (isVisible()) ShowDatabaseNote();
  });
}

TOptionsForm2::~TOptionsForm2() { UnwatchObjectDatabase(databaseWatch_); }

void TOptionsForm2::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TOptionsForm2::FormShow() {
  shownOnce_ = true;
  TObjectFilter f = ObjectFilter;
  if (ObjectCatalog) {
    TObjectsLock lock;
    ObjectCatalog->GetFilter(f);
  }
  ShowFilter(f);
  ShowSlots();
  ShowDatabaseNote();
}

void TOptionsForm2::ShowDatabaseNote() {
  const TObjectDatabaseNote note = ObjectDatabaseNote();
  const std::string text =
      note.why.empty() ? std::string()
                       : (note.absent ? "There are no deep-sky objects: " : "Deep-sky objects may be missing: ") +
                             note.why + ".";
  DatabaseNote->setText(QString::fromStdString(text));
  if (DatabaseNote->isVisibleTo(this) == text.empty()) {
    DatabaseNote->setVisible(!text.empty());
    // Laid out at once, also while the window is being shown, and the
    // window made tall enough for the note.
    layout()->activate();
    resize(size().expandedTo(sizeHint()));
  }
}

void TOptionsForm2::ShowFilter(const TObjectFilter& f) {
  TrackBarMagn1->setValue(Bar(f.LowMagLimit));
  TrackBarMagn2->setValue(Bar(f.HighMagLimit));
  TrackBarMagn1->setValue(Bar(f.LowMagLimit));
  for (int d = 0; d < 10; ++d)
    if (ClassCheckBox[d]) ClassCheckBox[d]->setChecked(f.Classes[d] != 0);
  LabelCheckBox1->setChecked(f.LabelObjects != 0);
  UpdateLabels();
}

void TOptionsForm2::UpdateLabels() {
  MagnLabel1->setText(QString::fromStdString(platform::FormatFixed(TrackBarMagn1->value() / 10.0, 4, 1)));
  MagnLabel2->setText(QString::fromStdString(platform::FormatFixed(TrackBarMagn2->value() / 10.0, 4, 1)));
}

void TOptionsForm2::ShowSlots() {
  for (int k = 0; k < kCatalogSlots; ++k) {
    const TCatalogSlot& s = Slots[std::size_t(k)];
    CatName[k]->setText(QString::fromStdString(s.Name));
    CatDescription[k]->setText(QString::fromStdString(s.Description));
    if (k == 0) continue;
    Active[k]->setChecked(s.Active);
    Active[k]->setEnabled(s.Assigned());
    Add[k]->setEnabled(!s.Assigned());
    Remove[k]->setEnabled(s.Assigned());
  }
}

TObjectFilter TOptionsForm2::ShownFilter() const {
  TObjectFilter f = ObjectFilter;
  if (ObjectCatalog) f = ObjectCatalog->Filter();
  f.LowMagLimit = TrackBarMagn1->value() / 10.0;
  f.HighMagLimit = TrackBarMagn2->value() / 10.0;
  for (int d = 0; d < 10; ++d) f.Classes[d] = ClassCheckBox[d] && ClassCheckBox[d]->isChecked();
  f.LabelObjects = LabelCheckBox1->isChecked();
  return f;
}

void TOptionsForm2::BitBtn3Click() {
  TObjectFilter old = ObjectFilter;
  if (ObjectCatalog) {
    TObjectsLock lock;
    ObjectCatalog->GetFilter(old);
  }
  // Class 7 has no switch and is always cleared here.
  const TObjectFilter f = ShownFilter();
  const bool changed = !(f == old);
  if (changed && !ApplyObjectFilter(f)) return;  // the window stays open with its values
  if (f.LabelObjects != old.LabelObjects) CallHook(CatalogHooks().setObjectLabels, f.LabelObjects != 0);
  // The chart shows the objects the new filter passes at once.
  if (changed) CallHook(CatalogHooks().requestReplot);
  accept();
}

void TOptionsForm2::Defaults2Click() {
  TObjectFilter f = ShownFilter();
  f.HighMagLimit = 12.0;
  f.LowMagLimit = -1.5;
  ShowFilter(f);
}

void TOptionsForm2::SaveDefaultBitBtn1Click() { WriteRegObjects(ShownFilter()); }

void TOptionsForm2::AddClick(int k) {
  platform::FileDialogOptions o;
  o.title = "Open a text catalogue";
  o.filter = "Text catalogues|*.txt;*.csv;*.dat|All files|*";
  const platform::FileDialogResult chosen = platform::Dialogs().FileDialog(o);
  if (!chosen.accepted || chosen.fileName.empty()) return;
  std::vector<std::string> used;
  for (int j = 2; j <= kCatalogSlots; ++j)
    if (j != k && Slots[std::size_t(j - 1)].Assigned()) used.push_back(Slots[std::size_t(j - 1)].Name);
  std::string table, description;
  if (!RunImport || !RunImport(chosen.fileName, used, table, description)) return;
  TCatalogSlot& s = Slots[std::size_t(k - 1)];
  s.Name = table;
  s.Description = description;
  // The table is in the database now: its slot is kept whether or not the
  // catalogue can be made again at once.
  StoreCatalogSlots(Slots);
  ShowSlots();
  ActiveClick(k);
}

void TOptionsForm2::RemoveClick(int k) {
  if (RemoveCatalogSlot(Slots, k)) ShowSlots();
  ShowDatabaseNote();
}

void TOptionsForm2::ActiveClick(int k) {
  const bool slot = k >= 2 && k <= kCatalogSlots;
  const bool was = slot && Slots[std::size_t(k - 1)].Active;
  if (slot) Slots[std::size_t(k - 1)].Active = Active[k - 1]->isChecked();
  if (!shownOnce_) return;
  // A change the catalogue refused is undone: the tick shows what is used.
  if (!ApplyCatalogSelection(Slots) && slot) Slots[std::size_t(k - 1)].Active = was;
  ShowSlots();
  ShowDatabaseNote();
}
