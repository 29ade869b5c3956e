#include "chart/forms/constellation_form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "astro/constellations.h"
#include "chart/constellation_options.h"
#include "chart/plotter.h"

TConstellationForm1* ConstellationForm1 = nullptr;

TConstellationForm1::TConstellationForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Constellation settings");
  auto list = [this] {
    auto* l = new QListWidget(this);
    l->setSelectionMode(QAbstractItemView::MultiSelection);
    for (int i = 1; i <= ConstellationCount; ++i) l->addItem(ConstellationNames[i]);
    l->scrollToTop();
    return l;
  };
  ListBox1 = list();
  ListBox2 = list();
  DontShowRadioButton1 = new QRadioButton("Don't show names of constellations", this);
  ShowConstRadioButton1 = new QRadioButton("Show names of constellations with boundaries", this);
  ShowNamesRadioButton1 = new QRadioButton("Show names of all constellations", this);
  AllLinesBitBtn1 = new QPushButton("All", this);
  AllBoundsBitBtn1 = new QPushButton("All", this);
  BitBtn1 = new QPushButton("OK", this);
  CancelButton = new QPushButton("Cancel", this);
  SaveDefaultBitBtn1 = new QPushButton("&Save as default", this);

  auto* lists = new QGridLayout;
  lists->addWidget(new QLabel("Draw lines for:", this), 0, 0);
  lists->addWidget(new QLabel("Draw Boundries for:", this), 0, 1);
  lists->addWidget(ListBox1, 1, 0);
  lists->addWidget(ListBox2, 1, 1);
  lists->addWidget(AllLinesBitBtn1, 2, 0);
  lists->addWidget(AllBoundsBitBtn1, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveDefaultBitBtn1);
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists);
  layout->addWidget(DontShowRadioButton1);
  layout->addWidget(ShowConstRadioButton1);
  layout->addWidget(ShowNamesRadioButton1);
  layout->addLayout(buttons);
  resize(460, 520);

  connect(AllLinesBitBtn1, &QPushButton::clicked, this, [this] { SelectAll(ListBox1); });
  connect(AllBoundsBitBtn1, &QPushButton::clicked, this, [this] { SelectAll(ListBox2); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(SaveDefaultBitBtn1, &QPushButton::clicked, this, [this] { SaveDefaultBitBtn1Click(); });
}

void TConstellationForm1::SelectAll(QListWidget* list) {
  const int scroll = list->verticalScrollBar()->value();
  list->setUpdatesEnabled(false);
  list->selectAll();
  list->verticalScrollBar()->setValue(scroll);
  list->setUpdatesEnabled(true);
}

void TConstellationForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TConstellationForm1::FormShow() {
  if (!MainPlotter) return;
  tPlotter& p = *MainPlotter;
  ExpandConstellationModes(p);
  for (int i = 0; i < ConstellationCount; ++i) {
    ListBox1->item(i)->setSelected(p.LineSelection[i + 1] != 0);
    ListBox2->item(i)->setSelected(p.NameSelection[i + 1] != 0);
  }
  ListBox1->scrollToTop();
  ListBox2->scrollToTop();
  if (p.ConstellationNames == 0) DontShowRadioButton1->setChecked(true);
  if (p.ConstellationNames == 1) ShowConstRadioButton1->setChecked(true);
  if (p.ConstellationNames == 2) ShowNamesRadioButton1->setChecked(true);
}

void TConstellationForm1::Selections(uint8_t lines[89], uint8_t bounds[89]) const {
  lines[0] = bounds[0] = 0;
  for (int i = 0; i < ConstellationCount; ++i) {
    lines[i + 1] = ListBox1->item(i)->isSelected();
    bounds[i + 1] = ListBox2->item(i)->isSelected();
  }
}

int TConstellationForm1::NameMode() const {
  if (DontShowRadioButton1->isChecked()) return 0;
  if (ShowConstRadioButton1->isChecked()) return 1;
  if (ShowNamesRadioButton1->isChecked()) return 2;
  return -1;
}

void TConstellationForm1::BitBtn1Click() {
  if (MainPlotter) {
    tPlotter& p = *MainPlotter;
    Selections(p.LineSelection, p.NameSelection);
    DeriveConstellationModes(p);
    if (NameMode() >= 0) p.ConstellationNames = uint8_t(NameMode());
    p.Replot = 1;
  }
  accept();
}

void TConstellationForm1::SaveDefaultBitBtn1Click() {
  uint8_t lines[89], bounds[89];
  Selections(lines, bounds);
  WriteRegConstellation(lines, bounds, NameMode());
}
