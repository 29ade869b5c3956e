#include "telescope/forms/tele_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "telescope/forms/assist_form.h"

QColor ShapeColor(TShape s) {
  switch (s) {
    case TShape::Green: return QColor(0, 200, 0);
    case TShape::Yellow: return QColor(255, 255, 0);
    case TShape::Red: return QColor(255, 0, 0);
    case TShape::Maroon: return QColor(128, 0, 0);
    case TShape::Unknown: return QColor(160, 160, 160);
    default: return QColor(240, 240, 240);
  }
}

QLabel* FaultLabel() {
  auto* label = new QLabel;
  label->setStyleSheet("color:#c00000;font-weight:bold");
  label->setWordWrap(true);
  label->hide();
  return label;
}

void ShowFault(QLabel* label, const std::string& fault) {
  label->setText(QString::fromStdString(fault));
  label->setVisible(!fault.empty());
}

// --- PEC plot --------------------------------------------------------------------

TPecPlot::TPecPlot(TTeleControl* tele, QWidget* parent) : QWidget(parent), tele_(tele) {
  setMinimumSize(300, 120);
}

void TPecPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  p.setPen(Qt::darkGray);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.drawLine(0, height() / 2, width(), height() / 2);
  int marker = -1;
  const auto pts = tele_->PecPlot(width(), height(), marker);
  p.setPen(Qt::red);
  for (size_t i = 1; i < pts.size(); ++i)
    p.drawLine(pts[i - 1].first, pts[i - 1].second, pts[i].first, pts[i].second);
  if (marker >= 0) p.drawLine(marker, 0, marker, height());
}

// --- Window ---------------------------------------------------------------------

QPushButton* TTeleForm1::Button(const QString& text, void (TTeleControl::*slot)()) {
  auto* b = new QPushButton(text);
  connect(b, &QPushButton::clicked, this, [this, slot] { Act(slot); });
  return b;
}

void TTeleForm1::Act(void (TTeleControl::*slot)()) {
  // The mount's answer is waited for with the program running on: the
  // window may be gone when it comes, and is not touched then.
  QPointer<TTeleForm1> self(this);
  TTeleControl* tele = tele_;
  ReadInputs();
  (tele->*slot)();
  if (self) Refresh();
}

TTeleForm1::TTeleForm1(TTeleControl* control, TAssistForm1* assist, QWidget* parent)
    : QWidget(parent, Qt::Window), tele_(control), assist_(assist) {
  setWindowTitle("ASCOM Telescope Control");
  auto* top = new QVBoxLayout(this);

  auto* row = new QHBoxLayout;
  name_ = new QLineEdit;
  row->addWidget(new QLabel("Driver:"));
  row->addWidget(name_, 1);
  buttons_["Select"] = Button("Select", &TTeleControl::SelectClick);
  buttons_["Connect"] = Button("Connect", &TTeleControl::ConnectClick);
  auto* disconnect = new QPushButton("Disconnect");
  connect(disconnect, &QPushButton::clicked, this, [this] { Act(&TTeleControl::DisconnectClick); });
  buttons_["Disconnect"] = disconnect;
  for (const char* n : {"Select", "Connect", "Disconnect"}) row->addWidget(buttons_[n]);
  top->addLayout(row);

  auto* opts = new QHBoxLayout;
  setTime_ = new QCheckBox("Set Date/Time");
  latLong_ = new QCheckBox("Set Lat/Long");
  useRefracted_ = new QCheckBox("Apply refraction");
  coordinateType_ = new QLabel;
  for (QWidget* w : std::initializer_list<QWidget*>{setTime_, latLong_, useRefracted_, coordinateType_})
    opts->addWidget(w);
  top->addLayout(opts);

  auto* status = new QHBoxLayout;
  for (const char* n : {"Connected", "Tracking", "Goto", "Parked", "Parking", "Park failed", "PEC"}) {
    auto* shape = new QLabel;
    shape->setFixedSize(14, 14);
    shape->setAlignment(Qt::AlignCenter);
    shapes_[n] = shape;
    status->addWidget(shape);
    status->addWidget(new QLabel(n));
  }
  status->addStretch();
  top->addLayout(status);
  fault_ = FaultLabel();
  top->addWidget(fault_);
  notice_ = new QLabel;
  notice_->setStyleSheet("color:#9a5b00;font-weight:bold");
  notice_->setWordWrap(true);
  notice_->hide();
  top->addWidget(notice_);
  progress_ = new QLabel;
  progress_->hide();
  top->addWidget(progress_);

  auto* tabs = new QTabWidget;
  // Parking.
  auto* parking = new QWidget;
  auto* pl = new QHBoxLayout(parking);
  buttons_["SetPark"] = Button("Set Park", &TTeleControl::SetParkButton1Click);
  buttons_["Park"] = Button("Park", &TTeleControl::ParkButton1Click);
  buttons_["UnPark"] = Button("Un-Park", &TTeleControl::UnParkButton1Click);
  for (const char* n : {"SetPark", "Park", "UnPark"}) pl->addWidget(buttons_[n]);
  tabs->addTab(parking, "Parking");
  // Operation.
  auto* op = new QWidget;
  auto* ol = new QGridLayout(op);
  auto* align = new QGroupBox("Align");
  auto* al = new QHBoxLayout(align);
  one_ = new QRadioButton("1 star");
  two_ = new QRadioButton("2 stars");
  three_ = new QRadioButton("3 stars");
  one_->setChecked(true);
  buttons_["AlignStart"] = Button("Start", &TTeleControl::AlignStartClick);
  buttons_["AcceptStar"] = Button("Accept star", &TTeleControl::AcceptStarButton1Click);
  for (QWidget* w : std::initializer_list<QWidget*>{one_, two_, three_, buttons_["AlignStart"], buttons_["AcceptStar"]})
    al->addWidget(w);
  ol->addWidget(align, 0, 0, 1, 3);
  buttons_["TrackSlower"] = Button("Track slower", &TTeleControl::TrackSlowerClick);
  buttons_["TrackFaster"] = Button("Track faster", &TTeleControl::TrackFasterClick);
  buttons_["Track"] = Button("Tracking on/off", &TTeleControl::TrackButton1Click);
  buttons_["PolarHome"] = Button("&Home (Reset)", &TTeleControl::PolarHomeButton1Click);
  buttons_["FindHome"] = Button("Find Home", &TTeleControl::FindHomeButton1Click);
  ol->addWidget(buttons_["TrackSlower"], 1, 0);
  ol->addWidget(buttons_["TrackFaster"], 1, 1);
  ol->addWidget(buttons_["Track"], 1, 2);
  ol->addWidget(buttons_["PolarHome"], 2, 0);
  ol->addWidget(buttons_["FindHome"], 2, 1);
  tabs->addTab(op, "Operation");
  // GoTo Assist.
  auto* as = new QWidget;
  auto* asl = new QVBoxLayout(as);
  useAssist_ = new QCheckBox("Use Assist (experimental)");
  auto* derive = new QPushButton("Derive Model");
  connect(derive, &QPushButton::clicked, this, [this] {
    if (assist_) {
      assist_->show();
      assist_->raise();
    }
  });
  east_ = new QRadioButton("East of pier");
  west_ = new QRadioButton("West of pier");
  fromDriver_ = new QRadioButton("Pier side from the driver");
  fromDriver_->setChecked(true);
  for (QWidget* w : std::initializer_list<QWidget*>{useAssist_, derive, east_, west_, fromDriver_}) asl->addWidget(w);
  tabs->addTab(as, "GoTo Assist");
  // PEC.
  auto* pec = new QWidget;
  auto* pcl = new QGridLayout(pec);
  const std::pair<const char*, void (TTeleControl::*)()> pecButtons[] = {
      {"Clear", &TTeleControl::PECClearClick},   {"Record", &TTeleControl::PECRecClick},
      {"Play", &TTeleControl::PECPlayClick},     {"Stop", &TTeleControl::PECStopClick},
      {"Save", &TTeleControl::PECSaveClick},     {"<<", &TTeleControl::PECbackClick},
      {">>", &TTeleControl::PECfwdClick},        {"Export", &TTeleControl::PECExportClick},
      {"Import", &TTeleControl::PECImportClick}};
  int col = 0;
  for (const auto& [text, slot] : pecButtons) {
    buttons_[std::string("PEC") + text] = Button(text, slot);
    pcl->addWidget(buttons_[std::string("PEC") + text], 0, col++);
  }
  pecScale_ = new QComboBox;
  for (int v : {4, 8, 15, 30, 45}) pecScale_->addItem(QString::number(v) + "\"", v);
  pecScale_->setCurrentIndex(2);
  scaleLabel1_ = new QLabel;
  scaleLabel2_ = new QLabel;
  wormTime_ = new QLabel;
  plot_ = new TPecPlot(tele_);
  pcl->addWidget(scaleLabel1_, 1, 0);
  pcl->addWidget(plot_, 1, 1, 3, col - 1);
  pcl->addWidget(scaleLabel2_, 3, 0);
  pcl->addWidget(new QLabel("Scale:"), 4, 0);
  pcl->addWidget(pecScale_, 4, 1);
  pcl->addWidget(new QLabel("Worm turn (s):"), 4, 2);
  pcl->addWidget(wormTime_, 4, 3);
  connect(pecScale_, &QComboBox::currentIndexChanged, this, [this] {
    tele_->pecScale = pecScale_->currentData().toInt();
    Refresh();
  });
  tabs->addTab(pec, "PEC");
  top->addWidget(tabs);

  auto* close = new QPushButton("Close");
  connect(close, &QPushButton::clicked, this, &QWidget::hide);
  top->addWidget(close, 0, Qt::AlignRight);

  for (QCheckBox* c : {setTime_, latLong_, useRefracted_, useAssist_})
    connect(c, &QCheckBox::toggled, this, [this] { ReadInputs(); });
  for (QRadioButton* r : {one_, two_, three_, east_, west_, fromDriver_})
    connect(r, &QRadioButton::toggled, this, [this] { ReadInputs(); });
  connect(tele_, &TTeleControl::changed, this, [this] { Refresh(); });
  Refresh();
}

void TTeleForm1::ReadInputs() {
  tele_->name = name_->text().toStdString();
  tele_->setTime = setTime_->isChecked();
  tele_->setLatLong = latLong_->isChecked();
  tele_->useRefracted = useRefracted_->isChecked();
  tele_->useAssist = useAssist_->isChecked();
  tele_->alignStars = three_->isChecked() ? 3 : two_->isChecked() ? 2 : 1;
  tele_->pier = east_->isChecked() ? TPierChoice::East : west_->isChecked() ? TPierChoice::West
                                                                           : TPierChoice::FromDriver;
}

void TTeleForm1::Refresh() {
  const TTeleControls& ui = tele_->Controls();
  const QSignalBlocker b1(setTime_), b2(latLong_), b3(useRefracted_), b4(useAssist_);
  if (name_->text().toStdString() != tele_->name) name_->setText(QString::fromStdString(tele_->name));
  name_->setEnabled(ui.name);
  setTime_->setChecked(tele_->setTime);
  latLong_->setChecked(tele_->setLatLong);
  setTime_->setEnabled(ui.setTimeBox);
  latLong_->setEnabled(ui.latLongBox);
  useRefracted_->setChecked(tele_->useRefracted);
  useRefracted_->setEnabled(ui.useRefractedEnabled);
  useAssist_->setChecked(tele_->useAssist);
  useAssist_->setEnabled(ui.useAssistEnabled);
  coordinateType_->setText(QString::fromStdString(ui.coordinateType));
  coordinateType_->setToolTip(QString::fromStdString(ui.coordinateHint));
  wormTime_->setText(QString::fromStdString(ui.wormRotationTime));
  scaleLabel1_->setText(QString::number(tele_->pecScale) + "\"");
  scaleLabel2_->setText("-" + QString::number(tele_->pecScale) + "\"");
  const std::pair<const char*, bool> enabled[] = {
      {"Select", ui.select},         {"Connect", ui.connect},       {"Disconnect", ui.disconnect},
      {"SetPark", ui.setPark},       {"Park", ui.park},             {"UnPark", ui.unpark},
      {"AlignStart", ui.align},      {"AcceptStar", ui.acceptStar}, {"TrackSlower", ui.trackRate},
      {"TrackFaster", ui.trackRate}, {"Track", ui.track},           {"PolarHome", ui.polarHome},
      {"FindHome", ui.findHome},     {"PECClear", ui.pecClear},     {"PECRecord", ui.pecRec},
      {"PECPlay", ui.pecPlay},       {"PECStop", ui.pecStop},       {"PECSave", ui.pecSave},
      {"PEC<<", ui.pecBack},         {"PEC>>", ui.pecFwd},          {"PECExport", ui.pecExport},
      {"PECImport", ui.pecImport}};
  for (const auto& [n, e] : enabled) buttons_[n]->setEnabled(e);
  const std::pair<const char*, TShape> shapes[] = {
      {"Connected", ui.connectedShape}, {"Tracking", ui.trackingShape},     {"Goto", ui.gotoShape},
      {"Parked", ui.parkedShape},       {"Parking", ui.parkingShape},       {"Park failed", ui.parkFailedShape},
      {"PEC", ui.pecShape}};
  for (const auto& [n, s] : shapes) {
    // Restyling a lamp costs time: only the lamps that changed are.
    auto shown = shown_.find(n);
    if (shown != shown_.end() && shown->second == s) continue;
    shown_[n] = s;
    // A lamp the mount does not tell shows a question mark.
    const bool unknown = s == TShape::Unknown;
    shapes_[n]->setText(unknown ? "?" : "");
    shapes_[n]->setToolTip(unknown ? "The mount does not tell" : "");
    shapes_[n]->setStyleSheet(QString("background:%1;border:1px solid gray;border-radius:7px;font-size:9px")
                                  .arg(ShapeColor(s).name()));
  }
  ShowFault(fault_, ui.fault);
  ShowFault(notice_, ui.notice);
  progress_->setText(QString::fromStdString(ui.progress));
  progress_->setVisible(!ui.progress.empty());
  plot_->update();
}

void TTeleForm1::showEvent(QShowEvent*) {
  tele_->LoadSettings();
  Refresh();
}

void TTeleForm1::hideEvent(QHideEvent*) {
  ReadInputs();
  tele_->SaveSettings();
}

// --- Chooser ------------------------------------------------------------------------

TDriverChooser::TDriverChooser(const std::string& deviceType, const std::string& current,
                               const std::vector<platform::TDriverEntry>& drivers, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QString::fromStdString("Choose a " + deviceType + " driver"));
  setMinimumWidth(480);  // the identifiers and the port examples read whole
  auto* l = new QVBoxLayout(this);
  list_ = new QListWidget;
  for (const auto& d : drivers) {
    list_->addItem(QString::fromStdString(d.description + "  (" + d.id + ")"));
    ids_.push_back(d.id);
    if (d.id == current) list_->setCurrentRow(list_->count() - 1);
  }
  l->addWidget(list_);
  auto* indi = new QGroupBox("INDI device");
  auto* f = new QFormLayout(indi);
  host_ = new QLineEdit("127.0.0.1");
  port_ = new QLineEdit("7624");
  device_ = new QLineEdit;
  host_->setObjectName("IndiHost");
  port_->setObjectName("IndiPort");
  device_->setObjectName("IndiDevice");
  std::string host, port, device;
  if (platform::SplitIndiIdentifier(current, host, port, device)) {
    host_->setText(QString::fromStdString(host));
    port_->setText(QString::fromStdString(port));
    device_->setText(QString::fromStdString(device));
  }
  f->addRow("Host:", host_);
  f->addRow("Port:", port_);
  f->addRow("Device name:", device_);
  l->addWidget(indi);
  // Mounts of the LX200 family (OnStep too) on a serial port or a network port.
  lx200_ = new QLineEdit(this);
  lx200_->setPlaceholderText("/dev/ttyUSB0:9600 or 192.168.0.1:9999");
  if (current.rfind("LX200:", 0) == 0) lx200_->setText(QString::fromStdString(current.substr(6)));
  if (deviceType == "Telescope") {
    auto* lx = new QGroupBox("LX200 or OnStep mount");
    auto* lf = new QFormLayout(lx);
    lf->addRow("Serial port or host:", lx200_);
    l->addWidget(lx);
  } else {
    lx200_->hide();  // the other devices have no such driver
  }
  deviceType_ = deviceType;
  auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(bb, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(bb, &QDialogButtonBox::rejected, this, &QDialog::reject);
  l->addWidget(bb);
}

std::string TDriverChooser::Choice() const {
  if (!lx200_->isHidden() && !lx200_->text().trimmed().isEmpty())  // a telescope chooser
    return "LX200:" + lx200_->text().trimmed().toStdString();
  if (!device_->text().trimmed().isEmpty())
    return platform::IndiIdentifier(deviceType_, host_->text().trimmed().toStdString(), port_->text().toInt(),
                                    device_->text().trimmed().toStdString());
  const int r = list_->currentRow();
  return r >= 0 && r < int(ids_.size()) ? ids_[size_t(r)] : std::string();
}

void InstallDriverChooser() {
  platform::SetChooserUi([](const std::string& type, const std::string& current,
                            const std::vector<platform::TDriverEntry>& drivers) {
    TDriverChooser d(type, current, drivers);
    if (d.exec() != QDialog::Accepted) return current;
    const std::string choice = d.Choice();
    return choice.empty() ? current : choice;
  });
}
