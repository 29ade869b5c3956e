#include "telescope/forms/assist_form.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cerrno>

#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/value_range.h"
#include "telescope/tele_control.h"
#include "telescope/text_files.h"

namespace {
const char* kTermNames[kTermCount] = {"DO", "PD", "PZ", "PE", "FF", "TF", "DF"};
const char* kTermHints[kTermCount] = {"declination axis/optical axis perpendicularity error",
                                      "polar axis/declination axis perpendicularity error",
                                      "polar alignment error in azimuth",
                                      "polar alignment error in elevation",
                                      "flexture in fork mounted telescopes",
                                      "gravitational flexture of telescope tube",
                                      "gravitational flexture of declination axis"};
}  // namespace

// --- Plots ----------------------------------------------------------------------------

TAssistPlot::TAssistPlot(const TAssistModel* model, bool after, QWidget* parent)
    : QWidget(parent), model_(model), after_(after) {
  setFixedSize(240, 240);
}

double TAssistPlot::SpanArcmin() const {
  const double before = model_->x2 ? 240.0 : 120.0;
  return after_ ? before / 2 : before;
}

void TAssistPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), Qt::black);
  const double w = width(), h = height(), cx = w / 2, cy = h / 2;
  const QColor grey(180, 180, 180);
  p.setPen(grey);
  p.setBrush(Qt::NoBrush);
  for (double f : {1.0, 0.5, 0.125}) p.drawEllipse(QPointF(cx, cy), w * f / 2, h * f / 2);
  // Pixels per arcminute.
  const double scale = w / SpanArcmin();
  // The camera field: mmX by mmY millimetres drawn as arcminutes.
  // A size that is no number of 0 to kMaxAssistFieldMm draws no field.
  double mx = 0, my = 0;
  if (platform::ParseDouble(model_->mmX, mx) && platform::ParseDouble(model_->mmY, my) &&
      platform::InRange(mx, 0.0, kMaxAssistFieldMm) && platform::InRange(my, 0.0, kMaxAssistFieldMm))
    p.drawRect(QRectF(cx - mx * scale / 2, cy - my * scale / 2, mx * scale, my * scale));
  const auto& pts = after_ ? model_->last.after : model_->last.before;
  for (size_t i = 0; i < pts.size(); ++i) {
    const bool east = i < model_->last.pier.size() && model_->last.pier[i] < 0;
    p.setPen(east ? QColor(Qt::white) : QColor(170, 170, 255));
    p.setBrush(p.pen().color());
    p.drawEllipse(QPointF(cx + pts[i].first / 60.0 * scale, cy - pts[i].second / 60.0 * scale), 2.5, 2.5);
  }
}

// --- Window -------------------------------------------------------------------------------

TAssistForm1::TAssistForm1(TTeleControl* tele, QWidget* parent)
    : QWidget(parent, Qt::Window), tele_(tele) {
  setWindowTitle("Goto Assist");
  auto* top = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  auto* terms = new QGridLayout;
  for (int k = 0; k < kTermCount; ++k) {
    auto* label = new QLabel(kTermNames[k]);
    label->setToolTip(kTermHints[k]);
    lower_[size_t(k)] = new QSpinBox;
    lower_[size_t(k)]->setRange(-10, 0);
    edit_[size_t(k)] = new QLineEdit;
    upper_[size_t(k)] = new QSpinBox;
    upper_[size_t(k)]->setRange(0, 10);
    terms->addWidget(label, k, 0);
    terms->addWidget(lower_[size_t(k)], k, 1);
    terms->addWidget(edit_[size_t(k)], k, 2);
    terms->addWidget(upper_[size_t(k)], k, 3);
  }
  left->addLayout(terms);
  auto* offs = new QGridLayout;
  hoE_ = new QLineEdit;
  doE_ = new QLineEdit;
  hoW_ = new QLineEdit;
  doW_ = new QLineEdit;
  offs->addWidget(new QLabel("HA east"), 0, 0);
  offs->addWidget(hoE_, 0, 1);
  offs->addWidget(new QLabel("Dec east"), 0, 2);
  offs->addWidget(doE_, 0, 3);
  offs->addWidget(new QLabel("HA west"), 1, 0);
  offs->addWidget(hoW_, 1, 1);
  offs->addWidget(new QLabel("Dec west"), 1, 2);
  offs->addWidget(doW_, 1, 3);
  left->addLayout(offs);
  auto* misc = new QHBoxLayout;
  fine_ = new QCheckBox("Fine");
  lst_ = new QLineEdit;
  misc->addWidget(fine_);
  misc->addWidget(new QLabel("LST:"));
  misc->addWidget(lst_);
  left->addLayout(misc);
  memo_ = new QPlainTextEdit;
  memo_->setReadOnly(true);
  memo_->setMaximumHeight(70);
  left->addWidget(memo_);
  progress_ = new QProgressBar;
  progress_->setRange(0, 100);
  left->addWidget(progress_);
  auto* buttons = new QGridLayout;
  auto add = [&](const char* text, int r, int c, auto fn) {
    auto* b = new QPushButton(text);
    connect(b, &QPushButton::clicked, this, fn);
    buttons->addWidget(b, r, c);
    return b;
  };
  add("Last Goto", 0, 0, [this] { LastGotoClick(); });
  add("Clear Last", 0, 1, [this] {
    FromWidgets();
    model_.ClearLast();
    ToWidgets();
  });
  add("Clear All", 0, 2, [this] {
    if (platform::ShowMessageBox("Goto Assist: Clear the entire list of model coordinates?", "Noctra Planetarium",
                                 platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                 platform::IDNO) != platform::IDYES)
      return;
    model_.ClearAll();
    ToWidgets();
  });
  model_btn_ = add("Model", 1, 0, [this] { ModelClick(); });
  cancel_ = add("Cancel", 1, 1, [this] { job_.Cancel(); });
  cancel_->setEnabled(false);
  add("Save", 2, 0, [this] { SaveClick(); });
  add("Load", 2, 1, [this] { LoadClick(); });
  add("OK", 2, 2, [this] { hide(); });
  left->addLayout(buttons);
  top->addLayout(left);

  auto* right = new QVBoxLayout;
  grid_ = new QTableWidget(kAssistRows, 5);
  grid_->setHorizontalHeaderLabels({"R/HA (Mount)", "Dec (Mount)", "R/HA (True)", "Dec (True)", "Pier Side E/W"});
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  grid_->setMinimumWidth(520);
  right->addWidget(grid_);
  auto* plots = new QHBoxLayout;
  before_ = new TAssistPlot(&model_, false);
  after_ = new TAssistPlot(&model_, true);
  auto* pb = new QVBoxLayout;
  beforeLabel_ = new QLabel;
  pb->addWidget(before_);
  pb->addWidget(beforeLabel_);
  auto* pa = new QVBoxLayout;
  afterLabel_ = new QLabel;
  pa->addWidget(after_);
  pa->addWidget(afterLabel_);
  plots->addLayout(pb);
  plots->addLayout(pa);
  right->addLayout(plots);
  auto* ccd = new QHBoxLayout;
  mmX_ = new QLineEdit;
  mmY_ = new QLineEdit;
  x2_ = new QCheckBox("X2");
  ccd->addWidget(new QLabel("Camera mm:"));
  ccd->addWidget(mmX_);
  ccd->addWidget(mmY_);
  ccd->addWidget(x2_);
  right->addLayout(ccd);
  top->addLayout(right);

  for (QLineEdit* e : {mmX_, mmY_}) connect(e, &QLineEdit::textChanged, this, [this] {
      FromWidgets();
      before_->update();
      after_->update();
    });
  connect(x2_, &QCheckBox::toggled, this, [this] {
    FromWidgets();
    ToWidgets();
  });
  // Typing in the grid closes gaps: rows after an empty row move up.
  connect(grid_, &QTableWidget::cellChanged, this, [this] {
    QTimer::singleShot(0, this, [this] {
      FromWidgets();
      const int before = model_.RowCount();
      model_.CloseGaps();
      if (model_.RowCount() != before) ToWidgets();
    });
  });
  fitTimer_.setInterval(100);
  connect(&fitTimer_, &QTimer::timeout, this, [this] { FitTick(); });
  model_.LoadSettings();
  if (tele_) tele_->SetAssist(&model_);
  ToWidgets();
}

void TAssistForm1::ToWidgets() {
  for (int k = 0; k < kTermCount; ++k) {
    lower_[size_t(k)]->setValue(model_.terms[size_t(k)].lower);
    upper_[size_t(k)]->setValue(model_.terms[size_t(k)].upper);
    edit_[size_t(k)]->setText(QString::fromStdString(model_.terms[size_t(k)].edit));
  }
  hoE_->setText(QString::fromStdString(model_.hoE));
  doE_->setText(QString::fromStdString(model_.doE));
  hoW_->setText(QString::fromStdString(model_.hoW));
  doW_->setText(QString::fromStdString(model_.doW));
  fine_->setChecked(model_.fine);
  lst_->setText(QString::fromStdString(model_.lst));
  {
    const QSignalBlocker b1(mmX_), b2(mmY_), b3(x2_);
    mmX_->setText(QString::fromStdString(model_.mmX));
    mmY_->setText(QString::fromStdString(model_.mmY));
    x2_->setChecked(model_.x2);
  }
  {
    const QSignalBlocker block(grid_);
    for (int r = 0; r < kAssistRows; ++r)
      for (int c = 0; c < 5; ++c)
        grid_->setItem(r, c, new QTableWidgetItem(QString::fromStdString(model_.grid[size_t(r)][size_t(c)])));
  }
  memo_->setPlainText(QString::fromStdString(model_.memo));
  beforeLabel_->setText(model_.x2 ? "Areas are 4°, 2°, 30'" : "Areas are 2°, 1°, 15'");
  afterLabel_->setText(model_.x2 ? "Areas are 2°, 30', 10'" : "Areas are 1°, 15', 5'");
  before_->update();
  after_->update();
}

void TAssistForm1::FromWidgets() {
  for (int k = 0; k < kTermCount; ++k) {
    model_.terms[size_t(k)].lower = lower_[size_t(k)]->value();
    model_.terms[size_t(k)].upper = upper_[size_t(k)]->value();
    model_.terms[size_t(k)].edit = edit_[size_t(k)]->text().toStdString();
  }
  model_.hoE = hoE_->text().toStdString();
  model_.doE = doE_->text().toStdString();
  model_.hoW = hoW_->text().toStdString();
  model_.doW = doW_->text().toStdString();
  model_.fine = fine_->isChecked();
  model_.lst = lst_->text().toStdString();
  model_.mmX = mmX_->text().toStdString();
  model_.mmY = mmY_->text().toStdString();
  model_.x2 = x2_->isChecked();
  for (int r = 0; r < kAssistRows; ++r)
    for (int c = 0; c < 5; ++c) {
      const QTableWidgetItem* it = grid_->item(r, c);
      model_.grid[size_t(r)][size_t(c)] = it ? it->text().toStdString() : std::string();
    }
}

void TAssistForm1::LastGotoClick() {
  if (!tele_ || !tele_->Connected()) return;
  FromWidgets();
  if (model_.RowCount() > 0 && model_.lst != "00:00:00") {
    if (platform::ShowMessageBox(
            "You're trying to use measurements with both RA and HA components.\r\nConvert Right Ascensions to Hour "
            "Angles?",
            "Noctra Planetarium", platform::MsgButtons::YesNo, platform::MsgIcon::Question) != platform::IDYES)
      return;
    model_.ConvertToHourAngles();
  }
  double ra = 0, dec = 0;
  tele_->GetGotoTarget(ra, dec);
  const int side = tele_->PierSide();
  model_.AddRow(tele_->LocalSidereal(), tele_->RightAscension(), tele_->Declination(), ra, dec, side < 0 ? 'E' : 'W');
  ToWidgets();
}

void TAssistForm1::ModelClick() {
  if (job_.Running()) return;
  FromWidgets();
  if (tele_) model_.latitude = tele_->SiteLatitude();
  TAssistFitInput in;
  std::string error;
  if (!model_.PrepareFit(in, error)) {
    platform::ShowMessageBox(error, "Goto Assist", platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  model_btn_->setEnabled(false);
  cancel_->setEnabled(true);
  progress_->setValue(0);
  job_.Start(std::move(in));
  fitTimer_.start();
}

void TAssistForm1::FitTick() {
  progress_->setValue(job_.Progress());
  if (!job_.Done()) return;
  fitTimer_.stop();
  const TAssistFitResult r = job_.Take();
  model_.TakeFit(job_.Input(), r);
  if (!r.done) memo_->setPlainText("Fit cancelled");
  model_btn_->setEnabled(true);
  cancel_->setEnabled(false);
  ToWidgets();
}

void TAssistForm1::SaveClick() {
  FromWidgets();
  platform::FileDialogOptions o;
  o.save = true;
  o.title = "Save Goto Assist model";
  o.filter = "Text file|*.txt";
  o.defaultExt = "txt";
  const auto r = platform::Dialogs().FileDialog(o);
  if (!r.accepted) return;
  if (FileExists(r.fileName) &&
      platform::ShowMessageBox("Overwrite existing file?", "Noctra Planetarium", platform::MsgButtons::YesNo,
                               platform::MsgIcon::Question, platform::IDNO) != platform::IDYES)
    return;
  WriteTextFile(r.fileName, model_.SaveText());
}

void TAssistForm1::LoadClick() {
  FromWidgets();
  platform::FileDialogOptions o;
  o.title = "Load Goto Assist model";
  o.filter = "Text file|*.txt";
  o.defaultExt = "txt";
  const auto r = platform::Dialogs().FileDialog(o);
  if (!r.accepted) return;
  std::string text, why;
  if (!ReadTextFile(r.fileName, text, &why)) {
    // A file that is there and was refused (a pipe, a device) says why.
    platform::ShowMessageBox(errno == ENOENT ? "File not found." : r.fileName + ": " + why + ".", "Noctra Planetarium",
                             platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return;
  }
  if (model_.RowCount() > 0 &&
      platform::ShowMessageBox("This will overwrite your data,\r\nAre you sure?", "Noctra Planetarium",
                               platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                               platform::IDNO) != platform::IDYES)
    return;
  model_.LoadText(text);
  ToWidgets();
}

void TAssistForm1::showEvent(QShowEvent*) { ToWidgets(); }

void TAssistForm1::hideEvent(QHideEvent*) {
  FromWidgets();
  model_.SaveSettings();
}
