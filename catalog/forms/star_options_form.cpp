#include "catalog/forms/star_options_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "catalog/hooks.h"
#include "catalog/stars.h"
#include "chart/plotter.h"
#include "platform/drawing.h"
#include "platform/numfmt.h"
#include "shell/messages.h"

TOptionsForm1* OptionsForm1 = nullptr;

namespace {

const char* const kSpectral[21] = {"O0-4", "O5-9", "B0-4", "B5-9", "A0-4", "A5-9", "F0-4",
                                   "F5-9", "G0-4", "G5-9", "K0-4", "K5-9", "M0-4", "M5-9",
                                   "R",    "N",    "S",    "Q",    "P",    "WC",   "WN"};
const char* const kLuminosity[5] = {"I (supergiants)", "II (bright giants)", "III (giants)",
                                    "IV (subgiants)", "V (main sequence)"};

int MagBar(double limit) { return int(std::nearbyint(limit * 10.00001)); }
int ProperBar(double limit) { return int(std::nearbyint(limit * 100.00001)); }

// The key's paint box: a sunken frame the form draws into.
class TMagKeyBox : public QWidget {
 public:
  explicit TMagKeyBox(TOptionsForm1* form) : QWidget(form), form_(form) { setMinimumSize(360, 70); }

 protected:
  void paintEvent(QPaintEvent*) override {
    platform::Bitmap bitmap(width(), height());
    {
      platform::DrawingContext dc(bitmap);
      form_->MagKeyPaintBox1Paint(dc, width(), height());
    }
    QPainter p(this);
    p.drawImage(0, 0, bitmap.Image());
  }

 private:
  TOptionsForm1* form_;
};

QSlider* Bar(QWidget* parent, int low, int high) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setRange(low, high);
  return s;
}

}  // namespace

TStarOptions TOptionsForm1::WindowDefaults() {
  TStarOptions o;
  o.LowMagLimit = -2.0;
  o.HighMagLimit = 6.5;
  o.VariableMode = 2;
  for (uint8_t& s : o.SpectralClasses) s = 1;
  for (uint8_t& l : o.LuminosityClasses) l = 1;
  o.LowProperLimit = 0.0;
  o.HighProperLimit = 11.0;
  o.DrawingMode = 0;
  o.ColorBySpectrum = 1;
  o.SizeAdjust = 0;
  o.AutoFaintLimit = 1;
  o.ShowNames = 0;
  o.ShowGreek = 1;
  return o;
}

TOptionsForm1::TOptionsForm1(QWidget* parent) : QDialog(parent), keyPlotter_(std::make_unique<tPlotter>()) {
  setWindowTitle("Star Catalog settings");
  setMinimumWidth(600);
  PageControl1 = new QTabWidget(this);

  // Source.
  auto* source = new QWidget;
  auto* sl = new QVBoxLayout(source);
  auto* about = new QLabel(
      "The Smithsonian Astrophysical Observatory Star Catalog (SAO) gives the stars down to about "
      "magnitude 9 with their spectral classes and proper motions; the Tycho-2 Catalogue adds the "
      "fainter stars when its file is present.",
      source);
  about->setWordWrap(true);
  TychoCheckBox1 = new QCheckBox("The Tycho-2 Catalogue:", source);
  TychoCheckBox1->setChecked(true);
  sl->addWidget(about);
  sl->addWidget(TychoCheckBox1);
  sl->addStretch();
  PageControl1->addTab(source, "Source");

  // Magnitude and variable stars.
  auto* magnitude = new QWidget;
  auto* ml = new QGridLayout(magnitude);
  TrackBarMagn1 = Bar(magnitude, kStarMagTenthsMin, kStarMagTenthsMax);
  TrackBarMagn2 = Bar(magnitude, kStarMagTenthsMin, kStarMagTenthsMax);
  MagnLabel1 = new QLabel(magnitude);
  MagnLabel2 = new QLabel(magnitude);
  AutoLimitCheckBox1 = new QCheckBox("Automatically adjust magnitude high limit", magnitude);
  ml->addWidget(new QLabel("Low (bright) limit", magnitude), 0, 0);
  ml->addWidget(TrackBarMagn1, 0, 1);
  ml->addWidget(MagnLabel1, 0, 2);
  ml->addWidget(new QLabel("High (faint) limit", magnitude), 1, 0);
  ml->addWidget(TrackBarMagn2, 1, 1);
  ml->addWidget(MagnLabel2, 1, 2);
  ml->addWidget(AutoLimitCheckBox1, 2, 0, 1, 3);
  const char* modes[4] = {"Show all stars", "Show only variable stars",
                          "Hide variable stars without a magnitude", "Hide all variable stars"};
  auto* varGroup = new QButtonGroup(this);
  for (int i = 0; i < 4; ++i) {
    SelectVar[i] = new QRadioButton(modes[i], magnitude);
    varGroup->addButton(SelectVar[i]);
    ml->addWidget(SelectVar[i], 3 + i, 0, 1, 3);
  }
  PageControl1->addTab(magnitude, "Magnitude");

  // Spectral and luminosity classes.
  auto* spectral = new QWidget;
  auto* spl = new QHBoxLayout(spectral);
  SpectralListBox1 = new QListWidget(spectral);
  SpectralListBox1->setSelectionMode(QAbstractItemView::MultiSelection);
  for (const char* s : kSpectral) SpectralListBox1->addItem(s);
  auto* lum = new QVBoxLayout;
  for (int i = 0; i < 5; ++i) {
    LumCheckBox[i] = new QCheckBox(kLuminosity[i], spectral);
    lum->addWidget(LumCheckBox[i]);
  }
  lum->addStretch();
  spl->addWidget(SpectralListBox1);
  spl->addLayout(lum);
  PageControl1->addTab(spectral, "Spectral Classification");

  // Proper motion.
  auto* proper = new QWidget;
  auto* pl = new QGridLayout(proper);
  TrackBarProper1 = Bar(proper, kStarProperHundredthsMin, kStarProperHundredthsMax);
  TrackBarProper2 = Bar(proper, kStarProperHundredthsMin, kStarProperHundredthsMax);
  ProperLabel1 = new QLabel(proper);
  ProperLabel2 = new QLabel(proper);
  pl->addWidget(new QLabel("Low limit (\"/year)", proper), 0, 0);
  pl->addWidget(TrackBarProper1, 0, 1);
  pl->addWidget(ProperLabel1, 0, 2);
  pl->addWidget(new QLabel("High limit (\"/year)", proper), 1, 0);
  pl->addWidget(TrackBarProper2, 1, 1);
  pl->addWidget(ProperLabel2, 1, 2);
  pl->setRowStretch(2, 1);
  PageControl1->addTab(proper, "Proper Motion");

  // Appearance.
  auto* look = new QWidget;
  auto* al = new QGridLayout(look);
  ColorCheckBox1 = new QCheckBox("Colour stars by spectral class", look);
  StarNamesCheckBox1 = new QCheckBox("Show star names", look);
  StarLettersCheckBox1 = new QCheckBox("Show Greek letters", look);
  BrightMagRadioButton1 = new QRadioButton("Brightness by magnitude", look);
  SizeMagRadioButton1 = new QRadioButton("Size by magnitude", look);
  auto* drawGroup = new QButtonGroup(this);
  drawGroup->addButton(BrightMagRadioButton1);
  drawGroup->addButton(SizeMagRadioButton1);
  StarSizeTrackBar1 = Bar(look, kStarSizeAdjustMin, kStarSizeAdjustMax);
  MagKeyPaintBox1 = new TMagKeyBox(this);
  al->addWidget(ColorCheckBox1, 0, 0);
  al->addWidget(StarNamesCheckBox1, 1, 0);
  al->addWidget(StarLettersCheckBox1, 2, 0);
  al->addWidget(BrightMagRadioButton1, 0, 1);
  al->addWidget(SizeMagRadioButton1, 1, 1);
  al->addWidget(StarSizeTrackBar1, 2, 1);
  al->addWidget(MagKeyPaintBox1, 3, 0, 1, 2);
  PageControl1->addTab(look, "Appearance");

  const char* pages[4] = {"Magnitude", "Spectral Classification", "Proper Motion", "Appearance"};
  QWidget* pageWidgets[4] = {magnitude, spectral, proper, look};
  for (int i = 0; i < 4; ++i) {
    Defaults[i] = new QPushButton("Revert", pageWidgets[i]);
    Defaults[i]->setToolTip(QString("Default %1 settings").arg(pages[i]));
    if (auto* grid = qobject_cast<QGridLayout*>(pageWidgets[i]->layout()))
      grid->addWidget(Defaults[i], grid->rowCount(), 0);
    else
      lum->addWidget(Defaults[i]);
    connect(Defaults[i], &QPushButton::clicked, this, [this, i] { DefaultsClick(i); });
  }

  OkBitBtn1 = new QPushButton("Ok", this);
  CancelButton = new QPushButton("Cancel", this);
  SaveDefaultBitBtn1 = new QPushButton("Save as default", this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveDefaultBitBtn1);
  buttons->addStretch();
  buttons->addWidget(OkBitBtn1);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1);
  layout->addLayout(buttons);

  // A low bar moved above its high bar drags it along, and the reverse.
  auto pair = [this](QSlider* low, QSlider* high) {
    connect(low, &QSlider::valueChanged, this, [this, high](int v) {
      if (high->value() < v) high->setValue(v);
      UpdateLabels();
    });
    connect(high, &QSlider::valueChanged, this, [this, low](int v) {
      if (low->value() > v) low->setValue(v);
      UpdateLabels();
    });
  };
  pair(TrackBarMagn1, TrackBarMagn2);
  pair(TrackBarProper1, TrackBarProper2);
  // Appearance switches write the working copy at once.
  connect(ColorCheckBox1, &QCheckBox::toggled, this, [this](bool on) {
    working_.ColorBySpectrum = on;
    MagKeyPaintBox1->update();
  });
  connect(StarNamesCheckBox1, &QCheckBox::toggled, this, [this](bool on) { working_.ShowNames = on; });
  connect(StarLettersCheckBox1, &QCheckBox::toggled, this, [this](bool on) { working_.ShowGreek = on; });
  connect(SizeMagRadioButton1, &QRadioButton::toggled, this, [this](bool on) {
    working_.DrawingMode = on ? 2 : 0;
    StarSizeTrackBar1->setEnabled(on);
    MagKeyPaintBox1->update();
  });
  connect(StarSizeTrackBar1, &QSlider::valueChanged, this, [this] { MagKeyPaintBox1->update(); });
  connect(OkBitBtn1, &QPushButton::clicked, this, [this] { OkBitBtn1Click(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(SaveDefaultBitBtn1, &QPushButton::clicked, this, [this] { SaveDefaultBitBtn1Click(); });
}

TOptionsForm1::~TOptionsForm1() = default;

void TOptionsForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TOptionsForm1::FormShow() {
  working_ = atShow_ = StarOptions;
  ShowOptions(working_, -1);
}

// Puts the options into the controls of one page (0..3) or of all (-1).
void TOptionsForm1::ShowOptions(const TStarOptions& o, int page) {
  if (page < 0 || page == 0) {
    TrackBarMagn2->setValue(MagBar(o.HighMagLimit));
    TrackBarMagn1->setValue(MagBar(o.LowMagLimit));
    TrackBarMagn2->setValue(MagBar(o.HighMagLimit));
    AutoLimitCheckBox1->setChecked(o.AutoFaintLimit != 0);
    SelectVar[std::min<int>(o.VariableMode, 3)]->setChecked(true);
  }
  if (page < 0 || page == 1) {
    for (int i = 0; i < 21; ++i) SpectralListBox1->item(i)->setSelected(o.SpectralClasses[i] != 0);
    for (int i = 0; i < 5; ++i) LumCheckBox[i]->setChecked(o.LuminosityClasses[i] != 0);
  }
  if (page < 0 || page == 2) {
    TrackBarProper2->setValue(ProperBar(o.HighProperLimit));
    TrackBarProper1->setValue(ProperBar(o.LowProperLimit));
    TrackBarProper2->setValue(ProperBar(o.HighProperLimit));
  }
  if (page < 0 || page == 3) {
    ColorCheckBox1->setChecked(o.ColorBySpectrum != 0);
    StarNamesCheckBox1->setChecked(o.ShowNames != 0);
    StarLettersCheckBox1->setChecked(o.ShowGreek != 0);
    (o.DrawingMode == 2 ? SizeMagRadioButton1 : BrightMagRadioButton1)->setChecked(true);
    StarSizeTrackBar1->setEnabled(o.DrawingMode == 2);
    StarSizeTrackBar1->setValue(o.SizeAdjust);
    working_.ColorBySpectrum = o.ColorBySpectrum;
    working_.ShowNames = o.ShowNames;
    working_.ShowGreek = o.ShowGreek;
    working_.DrawingMode = o.DrawingMode;
  }
  UpdateLabels();
}

void TOptionsForm1::UpdateLabels() {
  MagnLabel1->setText(QString::fromStdString(platform::FormatFixed(TrackBarMagn1->value() / 10.0, 4, 1)));
  MagnLabel2->setText(QString::fromStdString(platform::FormatFixed(TrackBarMagn2->value() / 10.0, 4, 1)));
  ProperLabel1->setText(QString::fromStdString(platform::FormatFixed(TrackBarProper1->value() / 100.0, 5, 2)));
  ProperLabel2->setText(QString::fromStdString(platform::FormatFixed(TrackBarProper2->value() / 100.0, 5, 2)));
  // The automatic faint limit only applies above magnitude 6.0.
  AutoLimitCheckBox1->setEnabled(TrackBarMagn2->value() > 60);
  MagKeyPaintBox1->update();
}

TStarOptions TOptionsForm1::Shown() const {
  TStarOptions o = working_;
  o.LowMagLimit = TrackBarMagn1->value() / 10.0;
  o.HighMagLimit = TrackBarMagn2->value() / 10.0;
  for (int i = 0; i < 4; ++i)
    if (SelectVar[i]->isChecked()) o.VariableMode = uint8_t(i);
  for (int i = 0; i < 21; ++i) o.SpectralClasses[i] = SpectralListBox1->item(i)->isSelected();
  for (int i = 0; i < 5; ++i) o.LuminosityClasses[i] = LumCheckBox[i]->isChecked();
  o.LowProperLimit = TrackBarProper1->value() / 100.0;
  o.HighProperLimit = TrackBarProper2->value() / 100.0;
  o.SizeAdjust = int16_t(StarSizeTrackBar1->value());
  o.AutoFaintLimit = AutoLimitCheckBox1->isChecked();
  return o;
}

void TOptionsForm1::OkBitBtn1Click() {
  working_ = Shown();
  const TStarOptions& o = working_;
  const TStarOptions& s = atShow_;
  const bool filterChanged =
      o.LowMagLimit != s.LowMagLimit || o.HighMagLimit != s.HighMagLimit || o.VariableMode != s.VariableMode ||
      !std::equal(std::begin(o.SpectralClasses), std::end(o.SpectralClasses), std::begin(s.SpectralClasses)) ||
      !std::equal(std::begin(o.LuminosityClasses), std::end(o.LuminosityClasses), std::begin(s.LuminosityClasses)) ||
      o.LowProperLimit != s.LowProperLimit || o.HighProperLimit != s.HighProperLimit;
  StarOptions = working_;
  bool redraw = false;
  if (MainPlotter) {
    tPlotter& p = *MainPlotter;
    redraw = p.StarOptionA != o.ColorBySpectrum || p.ShowStarNames != o.ShowNames ||
             p.StarIdentification != o.ShowGreek || p.StarDiscs != o.DrawingMode || p.StarSize != o.SizeAdjust;
  }
  // The automatic faint limit goes along without a redraw of its own.
  ApplyStarAppearance(o);
  if (filterChanged)
    LoadStarCatalogs();
  else if (redraw)
    CallHook(CatalogHooks().requestReplot);
  accept();
}

void TOptionsForm1::DefaultsClick(int page) { ShowOptions(WindowDefaults(), page); }

void TOptionsForm1::SaveDefaultBitBtn1Click() {
  WriteRegStars(Shown());
  ShowFlashMessage("Star catalog settings saved.", 2);
}

void TOptionsForm1::MagKeyPaintBox1Paint(platform::DrawingContext& dc, int width, int height) {
  // A sunken frame on the window's face.
  using platform::MakeColorRef;
  dc.SelectPen(platform::Pen::Solid(1, MakeColorRef(240, 240, 240)));
  dc.SelectBrush(platform::Brush::Solid(MakeColorRef(0, 0, 0)));
  dc.Rectangle(0, 0, width, height);
  dc.SelectPen(platform::Pen::Solid(1, MakeColorRef(128, 128, 128)));
  dc.MoveTo(0, height - 1);
  dc.LineTo(0, 0);
  dc.LineTo(width - 1, 0);
  tPlotter& p = *keyPlotter_;
  if (MainPlotter) {
    p.SizeUnitX = MainPlotter->SizeUnitX;
    p.SizeUnitY = MainPlotter->SizeUnitY;
  }
  p.StarOptionA = ColorCheckBox1->isChecked() ? 1 : 0;
  const double low = TrackBarMagn1->value() / 10.0, high = TrackBarMagn2->value() / 10.0;
  // The table of the window's limits and size adjustment: magnitudes
  // outside the limits get no disc.
  p.MakeStarSizeTable(low, high, SizeMagRadioButton1->isChecked() ? StarSizeTrackBar1->value() : 0);
  dc.SetBkTransparent(true);
  dc.SetTextAlign(platform::kAlignCenter | platform::kAlignTop);
  const int y = height * 2 / 5;
  for (int m = -1; m <= 12; ++m) {
    const int x = width / 15 * (m + 2);
    p.DrawStarDisc(dc, x, y, uint8_t((m + 2) * 10), 4);
    const bool inside = low <= m && m <= high;
    dc.SetTextColor(inside ? MakeColorRef(255, 255, 255) : MakeColorRef(128, 128, 128));
    dc.TextOut(x, height - 22, std::to_string(m));
  }
}
