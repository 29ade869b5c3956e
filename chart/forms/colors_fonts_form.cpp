#include "chart/forms/colors_fonts_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "astro/observer.h"
#include "astro/timescales.h"
#include "chart/drawing_colors.h"
#include "chart/inset_host.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "chart/screen_layout.h"
#include "platform/dialogs.h"

TColorsAndFontsForm1* ColorsAndFontsForm1 = nullptr;

namespace {

constexpr double kDeg = 3.141592653589793 / 180.0;

QColor ToQColor(TColorRef c) { return QColor(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c)); }

void SetSwatch(QPushButton* b, const QColor& c) {
  QPixmap pixmap(28, 14);
  pixmap.fill(c);
  b->setIcon(QIcon(pixmap));
  b->setIconSize(pixmap.size());
}

// The preview's paint box: the rendered chart and a 3-pixel black frame.
class TPreviewBox : public QWidget {
 public:
  explicit TPreviewBox(TColorsAndFontsForm1* form) : QWidget(form), form_(form) { setFixedSize(400, 400); }

 protected:
  void paintEvent(QPaintEvent*) override {
    form_->RenderPreview();
    QPainter p(this);
    p.drawImage(0, 0, form_->PreviewBitmap.Image());
    p.setPen(QPen(Qt::black, 3));
    p.drawPolygon(QPolygon({QPoint(1, 1), QPoint(width() - 2, 1), QPoint(width() - 2, height() - 2),
                            QPoint(1, height() - 2)}));
  }

 private:
  TColorsAndFontsForm1* form_;
};

}  // namespace

TColorsAndFontsForm1::TColorsAndFontsForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Colors and Fonts");
  PaintBox1 = new TPreviewBox(this);
  ItemComboBox1 = new QComboBox(this);
  for (int i = 0; i < kNamedStyleCount; ++i) ItemComboBox1->addItem(StyleNames[i], i);
  ItemColorBitBtn1 = new QPushButton("Color", this);
  FontComboBox1 = new QComboBox(this);
  FontColorBitBtn1 = new QPushButton("Text color", this);
  FontSizeEdit1 = new QLineEdit(this);
  FontSizeEdit1->setFixedWidth(40);
  FontSizeUpDown1 = new QSpinBox(this);
  FontSizeUpDown1->setRange(kMinStylePoints, kMaxStylePoints);
  FontSizeUpDown1->setValue(8);
  FontSizeUpDown1->setFixedWidth(20);  // only its arrows show: the up-down of the size edit
  FontBoldButton1 = new QToolButton(this);
  FontBoldButton1->setText("B");
  FontBoldButton1->setCheckable(true);
  FontItalButton1 = new QToolButton(this);
  FontItalButton1->setText("/");
  FontItalButton1->setCheckable(true);
  NightVisionCheckBox1 = new QCheckBox("Night vision mode", this);
  BitBtn1 = new QPushButton("OK", this);
  BitBtn2 = new QPushButton("Cancel", this);
  BitBtn3 = new QPushButton("&Revert", this);
  BitBtn1->setDefault(true);

  auto* controls = new QGridLayout;
  controls->addWidget(new QLabel("Item", this), 0, 0);
  controls->addWidget(ItemComboBox1, 0, 1, 1, 4);
  controls->addWidget(ItemColorBitBtn1, 1, 1);
  controls->addWidget(new QLabel("Font", this), 2, 0);
  controls->addWidget(FontComboBox1, 2, 1, 1, 4);
  auto* size = new QHBoxLayout;
  size->addWidget(FontSizeEdit1);
  size->addWidget(FontSizeUpDown1);
  size->addWidget(FontBoldButton1);
  size->addWidget(FontItalButton1);
  size->addStretch();
  controls->addLayout(size, 3, 1, 1, 4);
  controls->addWidget(FontColorBitBtn1, 4, 1);
  controls->addWidget(NightVisionCheckBox1, 5, 0, 1, 3);
  controls->setRowStretch(6, 1);
  auto* top = new QHBoxLayout;
  top->addWidget(PaintBox1);
  top->addLayout(controls);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BitBtn3);
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  connect(ItemComboBox1, &QComboBox::activated, this, [this] { ItemComboBox1Change(); });
  connect(FontComboBox1, &QComboBox::activated, this, [this] { FontComboBox1Change(); });
  connect(FontBoldButton1, &QToolButton::clicked, this, [this] { RemakeFont(); });
  connect(FontItalButton1, &QToolButton::clicked, this, [this] { RemakeFont(); });
  connect(FontSizeEdit1, &QLineEdit::textEdited, this, [this] { FontSizeEdit1Change(); });
  connect(FontSizeEdit1, &QLineEdit::editingFinished, this, [this] { FontSizeEdit1Exit(); });
  connect(FontSizeUpDown1, &QSpinBox::valueChanged, this, [this](int v) {
    if (FontSizeEdit1->text() == QString::number(v)) return;
    FontSizeEdit1->setText(QString::number(v));
    FontSizeEdit1Change();
  });
  connect(FontColorBitBtn1, &QPushButton::clicked, this, [this] { FontColorBitBtn1Click(); });
  connect(ItemColorBitBtn1, &QPushButton::clicked, this, [this] { ItemColorBitBtn1Click(); });
  connect(NightVisionCheckBox1, &QCheckBox::toggled, this, [this](bool on) {
    if (!formShowing_) PendingColorMode = on ? 2 : 0;
  });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });

  // The style fonts of the program: defaults, then the stored ones.
  SetDefaultStyleFonts();
  ApplySavedStyleFonts();
  MakeDrawingColors();
}

TColorsAndFontsForm1::~TColorsAndFontsForm1() = default;

void TColorsAndFontsForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TColorsAndFontsForm1::hideEvent(QHideEvent* event) {
  FormHide();
  QDialog::hideEvent(event);
}

void TColorsAndFontsForm1::FormShow() {
  formShowing_ = true;
  // The preview: a fixed sky (Orion and its neighbours at 2000 January 1,
  // 0h local time) with every constellation line, boundary and name.
  PreviewPlotter = std::make_unique<tPlotter>();
  tPlotter& p = *PreviewPlotter;
  p.Width = p.Height = 400;
  p.DpiX = MainPlotter ? MainPlotter->DpiX : 96;
  p.DpiY = MainPlotter ? MainPlotter->DpiY : 96;
  p.Zoom = 2.5;
  p.ConstellationNames = p.ConstellationLines = p.ConstellationBoundaries = 2;
  p.ZenithView = 0;
  p.CentreOnHorizon = 0;
  p.OutputKind = kOutputStylePreview;
  InitTimeZoneInfo(p.Observer.TimeZone);
  p.StarIdentification = 1;
  p.ShowStarNames = 1;
  SetObserverLocalCivil(p.Observer, JulianDay(2000, 1, 1, 0));
  p.SetViewCenter(86.25 * kDeg, -20 * kDeg);

  FontComboBox1->clear();
  QString last;
  for (const QString& face : QFontDatabase::families()) {
    if (face == last) continue;
    FontComboBox1->addItem(face);
    last = face;
  }
  ItemComboBox1->setCurrentIndex(0);
  CurrentStyleIndex = 0;
  ItemComboBox1Change();
  snapshot_ = std::make_unique<TStyleTable>(TakeStyleSnapshot());
  NightVisionCheckBox1->setChecked(PendingColorMode == 2);
  formShowing_ = false;
}

void TColorsAndFontsForm1::FormHide() {
  PreviewPlotter.reset();
  snapshot_.reset();  // the fonts only the snapshot held go now
}

void TColorsAndFontsForm1::RenderPreview() {
  platform::DrawingContext dc(PreviewBitmap);
  dc.SelectPen(platform::Pen::Solid(1, 0));
  dc.SelectBrush(platform::Brush::Solid(0));
  dc.Rectangle(0, 0, 400, 400);
  if (PreviewPlotter) PreviewPlotter->Plot(dc, &PreviewBitmap);
}

void TColorsAndFontsForm1::ShowSwatches() {
  const TStyleEntry& s = Styles[CurrentStyleIndex];
  const QColor face = palette().color(QPalette::Button);
  SetSwatch(FontColorBitBtn1, s.Handle ? ToQColor(s.Color) : face);
  SetSwatch(ItemColorBitBtn1, s.UseColor ? ToQColor(s.ObjectColor) : face);
}

void TColorsAndFontsForm1::ItemComboBox1Change() {
  CurrentStyleIndex = ItemComboBox1->currentData().toInt();
  const TStyleEntry& s = Styles[CurrentStyleIndex];
  QWidget* fontControls[] = {FontComboBox1, FontColorBitBtn1, FontSizeEdit1,
                             FontSizeUpDown1, FontBoldButton1, FontItalButton1};
  if (s.Handle) {
    // A face the font list lacks (a stored Windows name such as "Arial",
    // drawn through its substitute) is added, so every font can be edited.
    const QString face = QString::fromStdString(s.Name);
    int found = FontComboBox1->findText(face, Qt::MatchFixedString);
    if (found < 0 && !face.isEmpty()) {
      FontComboBox1->addItem(face);
      found = FontComboBox1->count() - 1;
    }
    if (found >= 0) {
      for (QWidget* w : fontControls) w->setEnabled(true);
      FontComboBox1->setCurrentIndex(found);
      FontSizeEdit1->setText(QString::number(s.PointSize));
      FontSizeUpDown1->blockSignals(true);
      FontSizeUpDown1->setValue(s.PointSize);
      FontSizeUpDown1->blockSignals(false);
      FontBoldButton1->setChecked(s.Bold);
      FontItalButton1->setChecked(s.Ital);
    }
  } else {
    FontComboBox1->setCurrentIndex(-1);
    FontSizeEdit1->clear();
    FontBoldButton1->setChecked(false);
    FontItalButton1->setChecked(false);
    for (QWidget* w : fontControls) w->setEnabled(false);
  }
  ItemColorBitBtn1->setEnabled(s.UseColor != 0);
  ShowSwatches();
}

// Re-creates the current style's font from the controls.
void TColorsAndFontsForm1::RemakeFont() {
  TStyleEntry& s = Styles[CurrentStyleIndex];
  if (s.Handle) {
    const std::string face = FontComboBox1->currentIndex() >= 0 ? FontComboBox1->currentText().toStdString() : s.Name;
    CreateStyleFont(s, face, s.Color, FontItalButton1->isChecked(), FontBoldButton1->isChecked(),
                    ParseFontSize(FontSizeEdit1->text().toStdString()));
    UpdateLargeStarAbbreviationStyle();
  }
  PaintBox1->update();
}

void TColorsAndFontsForm1::FontComboBox1Change() { RemakeFont(); }

void TColorsAndFontsForm1::FontSizeEdit1Change() {
  const int size = ParseFontSize(FontSizeEdit1->text().toStdString());
  FontSizeUpDown1->blockSignals(true);
  FontSizeUpDown1->setValue(size);
  FontSizeUpDown1->blockSignals(false);
  RemakeFont();
}

void TColorsAndFontsForm1::FontSizeEdit1Exit() {
  const int size = ParseFontSize(FontSizeEdit1->text().toStdString());
  FontSizeUpDown1->blockSignals(true);
  FontSizeUpDown1->setValue(size);
  FontSizeUpDown1->blockSignals(false);
  if (Styles[CurrentStyleIndex].Handle) FontSizeEdit1->setText(QString::number(size));
}

void TColorsAndFontsForm1::FontColorBitBtn1Click() {
  TStyleEntry& s = Styles[CurrentStyleIndex];
  if (!s.Handle) return;
  uint32_t color = s.Color;
  platform::Dialogs().ChooseColor(color);
  CreateStyleFont(s, s.Name, color, s.Ital, s.Bold, s.PointSize);
  UpdateLargeStarAbbreviationStyle();
  ShowSwatches();
  PaintBox1->update();
}

void TColorsAndFontsForm1::ItemColorBitBtn1Click() {
  TStyleEntry& s = Styles[CurrentStyleIndex];
  if (!s.UseColor) return;
  uint32_t color = s.ObjectColor;
  platform::Dialogs().ChooseColor(color);
  s.ObjectColor = color;
  if (CurrentStyleIndex == kStyleCoordinateGrid) s.AltObjectColor = AltGridColor(color);
  ShowSwatches();
  MakeDrawingColors();
  PaintBox1->update();
}

void TColorsAndFontsForm1::BitBtn1Click() {
  if (ColorMode != PendingColorMode) {
    ColorMode = PendingColorMode;
    MakeDrawingColors();
    RefreshScreen();
  }
  WriteRegFontsAndColors();
  if (MaskBitmap) UpdateOvalMask();
  RequestChartReplot();
  accept();
}

void TColorsAndFontsForm1::BitBtn2Click() {
  if (snapshot_) RestoreStyleSnapshot(*snapshot_);
  if (MaskBitmap) UpdateOvalMask();
  RequestChartReplot();
  reject();
}

void TColorsAndFontsForm1::BitBtn3Click() {
  RevertStyles();
  ItemComboBox1->setCurrentIndex(0);
  CurrentStyleIndex = 0;
  ShowSwatches();
  PaintBox1->update();
}
