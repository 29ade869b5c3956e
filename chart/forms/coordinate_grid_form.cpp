#include "chart/forms/coordinate_grid_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "chart/plotter.h"

TCoordinateGridForm1* CoordinateGridForm1 = nullptr;

TCoordinateGridForm1::TCoordinateGridForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Coordinate Grid settings");
  EnableCheckBox1 = new QCheckBox("&Enable coordinate grid:", this);
  CenterHorzCheckBox1 = new QCheckBox("Center on &Horizon coordinates", this);
  auto* kind = new QGroupBox("Grid", this);
  EquGridRadioButton1 = new QRadioButton("&Equatorial (Right Ascention and Declination)", kind);
  HorGridRadioButton1 = new QRadioButton("&Horizon (Altitude and Azimuth)", kind);
  auto* kl = new QVBoxLayout(kind);
  kl->addWidget(EquGridRadioButton1);
  kl->addWidget(HorGridRadioButton1);
  LabelGridCheckBox1 = new QCheckBox("Show coordinates of &grid lines", this);
  DirectionCheckBox1 = new QCheckBox("Show compass directions", this);
  AutoGridCheckBox1 = new QCheckBox("&Automatic grid resolution adjustment:", this);
  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setRange(0, 2);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  SpacingLabel1 = new QLabel(this);
  BitBtn1 = new QPushButton("&OK", this);
  CancelButton = new QPushButton("Cancel", this);
  SaveDefaultBitBtn1 = new QPushButton("&Save as default", this);

  auto* slider = new QHBoxLayout;
  slider->addWidget(new QLabel("Coarse", this));
  slider->addWidget(TrackBar1);
  slider->addWidget(new QLabel("Fine", this));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveDefaultBitBtn1);
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  for (QWidget* w : std::initializer_list<QWidget*>{EnableCheckBox1, CenterHorzCheckBox1, kind,
                                                    LabelGridCheckBox1, DirectionCheckBox1, AutoGridCheckBox1})
    layout->addWidget(w);
  layout->addLayout(slider);
  layout->addWidget(SpacingLabel1);
  layout->addLayout(buttons);

  connect(AutoGridCheckBox1, &QCheckBox::toggled, this, [this](bool on) { TrackBar1->setEnabled(!on); });
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { UpdateCaption(); });
  connect(EquGridRadioButton1, &QRadioButton::toggled, this, [this] { UpdateCaption(); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(SaveDefaultBitBtn1, &QPushButton::clicked, this, [this] { SaveDefaultBitBtn1Click(); });
}

void TCoordinateGridForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TCoordinateGridForm1::FormShow() {
  if (!MainPlotter) return;
  const TGridBlock b = GridBlockOf(*MainPlotter);
  EnableCheckBox1->setChecked(b.ShowGrid);
  CenterHorzCheckBox1->setChecked(b.CentreOnHorizon);
  (b.GridKind == 0 ? EquGridRadioButton1 : HorGridRadioButton1)->setChecked(true);
  LabelGridCheckBox1->setChecked(b.GridLabels);
  DirectionCheckBox1->setChecked(b.GridDirections);
  AutoGridCheckBox1->setChecked(b.GridAutoResolution);
  TrackBar1->setValue(b.GridResolution);
  TrackBar1->setEnabled(!b.GridAutoResolution);
  UpdateCaption();
}

void TCoordinateGridForm1::UpdateCaption() {
  SpacingLabel1->setText(
      QString::fromStdString(GridSpacingCaption(EquGridRadioButton1->isChecked(), TrackBar1->value())));
}

TGridBlock TCoordinateGridForm1::Shown() const {
  TGridBlock b;
  if (MainPlotter) b = GridBlockOf(*MainPlotter);
  b.ShowGrid = EnableCheckBox1->isChecked();
  b.CentreOnHorizon = CenterHorzCheckBox1->isChecked();
  b.GridKind = EquGridRadioButton1->isChecked() ? 0 : 1;
  b.GridLabels = LabelGridCheckBox1->isChecked();
  b.GridDirections = DirectionCheckBox1->isChecked();
  b.GridAutoResolution = AutoGridCheckBox1->isChecked();
  b.GridResolution = TrackBar1->value();
  return b;
}

void TCoordinateGridForm1::BitBtn1Click() {
  if (MainPlotter) {
    const TGridBlock b = Shown();
    SetGridBlock(*MainPlotter, b);
    if (SetCentreOnHorizonMenuCheck) SetCentreOnHorizonMenuCheck(b.CentreOnHorizon != 0);
    MainPlotter->Replot = 1;
  }
  accept();
}

void TCoordinateGridForm1::SaveDefaultBitBtn1Click() { WriteRegCoordinateGrid(Shown()); }
