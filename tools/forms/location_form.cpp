#include "tools/forms/location_form.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <cmath>

#include "astro/observer.h"
#include "astro/reference_files.h"
#include "chart/globe.h"
#include "platform/dialogs.h"
#include "platform/single_window.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "shell/messages.h"
#include "tools/forms/horizon_form.h"
#include "tools/location.h"

TGlobalLocationForm1* GlobalLocationForm1 = nullptr;

// --- The map box ------------------------------------------------------------------------------

TWorldMapBox::TWorldMapBox(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setToolTip("left click for location, right click for nearest city");
  Timer1.setSingleShot(true);
  Timer1.setInterval(3000);
  connect(&Timer1, &QTimer::timeout, this, [this] {
    HoverText.clear();
    update();
  });
}

TMapView TWorldMapBox::View() const {
  TMapView v;
  v.Width = width(), v.Height = height();
  v.Latitude = WorldMapLatitude, v.WestLongitude = WorldMapLongitude;
  v.Zoom = Zoom;
  v.Aspect = InsetAspect > 0 ? InsetAspect : 1.0;
  return v;
}

void TWorldMapBox::paintEvent(QPaintEvent*) {
  const TMapView v = View();
  // The relief only when centre, scale or size changed.
  if (relief_.IsNull() || v.Width != rendered_.Width || v.Height != rendered_.Height ||
      v.Latitude != rendered_.Latitude || v.WestLongitude != rendered_.WestLongitude || v.Zoom != rendered_.Zoom) {
    RenderWorldMap(WorldMap, v, relief_);
    rendered_ = v;
  }
  platform::Bitmap shown(v.Width, v.Height);
  if (shown.IsNull() || relief_.IsNull()) return;
  shown.Image() = relief_.Image().copy();
  DrawMapOverlay(v, Boundaries.States, Boundaries.Nations, shown);
  QPainter p(this);
  p.drawImage(0, 0, shown.Image());
  if (HoverText.empty()) return;
  // The hover label: a white cross round the city and its name in a box
  // below the pointer (above it near the bottom), kept inside the map.
  p.setPen(Qt::white);
  const QPoint c = hoverCity_;
  p.drawLine(c.x() - 11, c.y(), c.x() - 3, c.y());
  p.drawLine(c.x() + 3, c.y(), c.x() + 11, c.y());
  p.drawLine(c.x(), c.y() - 11, c.x(), c.y() - 3);
  p.drawLine(c.x(), c.y() + 3, c.x(), c.y() + 11);
  const QRect box = HoverLabelRect();
  p.fillRect(box, Qt::white);
  p.setPen(Qt::black);
  p.drawText(box, Qt::AlignCenter, QString::fromStdString(HoverText));
}

QRect TWorldMapBox::HoverLabelRect() const {
  // Above the pointer, where the window's hint (shown below it) cannot
  // cover it; below it only at the top edge.
  const QRect tr = fontMetrics().boundingRect(QString::fromStdString(HoverText)).adjusted(-3, -1, 3, 1);
  int top = hoverAt_.y() - 12 - tr.height();
  if (top < 0) top = hoverAt_.y() + 20;
  const int left = std::clamp(hoverAt_.x() - tr.width() / 2, 0, std::max(0, width() - tr.width()));
  return QRect(left, top, tr.width(), tr.height());
}

bool TWorldMapBox::event(QEvent* e) {
  // A label below the pointer keeps the hint away.
  if (e->type() == QEvent::ToolTip && !HoverText.empty() && HoverLabelRect().top() > hoverAt_.y()) {
    QToolTip::hideText();
    e->ignore();
    return true;
  }
  return QWidget::event(e);
}

void TWorldMapBox::ShowHoverLabel(int x, int y) {
  const TMapView v = View();
  double lon, lat;
  PixelToLonLat(v, x, y, lon, lat);
  const int city = NearestCity(lon, lat);
  int cx = -1, cy = -1;
  if (city >= 0) LonLatToPixel(v, Cities[city].Longitude, Cities[city].Latitude, cx, cy);
  if (city < 0 || cx <= 0 || cy <= 0 || cx >= v.Width || cy >= v.Height) return;
  std::string name = Cities[city].Name;
  if (!name.empty() && name.back() == ' ') name.pop_back();
  HoverText = name;
  hoverAt_ = QPoint(x, y);
  hoverCity_ = QPoint(cx, cy);
  Timer1.start();
  update();
}

void TWorldMapBox::mousePressEvent(QMouseEvent* e) {
  const TMapView v = View();
  const QPoint at = e->position().toPoint();
  double lon, lat;
  PixelToLonLat(v, at.x(), at.y(), lon, lat);
  if (e->button() == Qt::LeftButton) {
    if (PlaceClicked) PlaceClicked(lon, lat);
  } else if (e->button() == Qt::RightButton) {
    const int city = NearestCity(lon, lat);
    int cx = -1, cy = -1;
    if (city >= 0) LonLatToPixel(v, Cities[city].Longitude, Cities[city].Latitude, cx, cy);
    if (city >= 0 && cx > 0 && cy > 0 && cx < v.Width && cy < v.Height && CityClicked) CityClicked(city);
  }
}

void TWorldMapBox::mouseMoveEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  ShowHoverLabel(at.x(), at.y());
}

// --- The window -------------------------------------------------------------------------------

TGlobalLocationForm1::TGlobalLocationForm1(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Select New Location");
  ListBox1 = new QListWidget(this);
  for (const TCityRecord& c : Cities)
    if (c.Name[0]) ListBox1->addItem(QString::fromUtf8(c.Name));
  ListBox1->setFixedWidth(180);
  Edit1 = new QLineEdit(this), Edit2 = new QLineEdit(this), Edit3 = new QLineEdit(this), Edit4 = new QLineEdit(this);
  DSTCheckBox1 = new QCheckBox("U.S. DST", this);
  Image1 = new QLabel(this);
  Image1->setFixedSize(90, 18);
  Button1 = new QPushButton("Define", this);
  ListBox2 = new QListWidget(this);
  ListBox2->setToolTip("Double click to make selection default");
  Button3 = new QPushButton("&Add/Update", this);
  Button4 = new QPushButton("&Remove", this);
  PaintBox1 = new TWorldMapBox(this);
  PaintBox1->setFixedSize(480, 320);
  auto tool = [this](const char* text) {
    auto* b = new QToolButton(this);
    b->setText(text);
    return b;
  };
  SpeedButton1 = tool("W"), SpeedButton2 = tool("E"), SpeedButton3 = tool("N"), SpeedButton4 = tool("S");
  MagnSpeedButton1 = tool("-"), MagnSpeedButton2 = tool("+");
  BitBtn1 = new QPushButton("OK", this);
  BitBtn1->setDefault(true);  // Return accepts the place
  BitBtn2 = new QPushButton("Cancel", this);

  auto* settings = new QGroupBox("Current &Settings", this);
  auto* sg = new QGridLayout(settings);
  sg->addWidget(new QLabel("Name:"), 0, 0), sg->addWidget(Edit1, 0, 1, 1, 2);
  sg->addWidget(new QLabel("Latitude:"), 1, 0), sg->addWidget(Edit2, 1, 1);
  sg->addWidget(new QLabel("Longitude:"), 2, 0), sg->addWidget(Edit3, 2, 1);
  sg->addWidget(new QLabel("Time Zone:"), 3, 0), sg->addWidget(Edit4, 3, 1), sg->addWidget(DSTCheckBox1, 3, 2);
  sg->addWidget(new QLabel("Horizon:"), 4, 0), sg->addWidget(Image1, 4, 1), sg->addWidget(Button1, 4, 2);
  auto* picks = new QGroupBox("&Pick List", this);
  auto* pg = new QVBoxLayout(picks);
  pg->addWidget(ListBox2);
  // Places of the file after the tenth: said where the list is.
  PickListNote = new QLabel(this);
  PickListNote->setWordWrap(true);
  PickListNote->hide();
  pg->addWidget(PickListNote);
  auto* pb = new QHBoxLayout;
  pb->addWidget(Button3), pb->addWidget(Button4);
  pg->addLayout(pb);
  auto* mapButtons = new QHBoxLayout;
  for (QToolButton* b : {SpeedButton1, SpeedButton3, SpeedButton4, SpeedButton2, MagnSpeedButton1, MagnSpeedButton2})
    mapButtons->addWidget(b);
  mapButtons->addStretch();
  mapButtons->addWidget(BitBtn1), mapButtons->addWidget(BitBtn2);
  auto* right = new QVBoxLayout;
  auto* top = new QHBoxLayout;
  top->addWidget(settings), top->addWidget(picks);
  right->addLayout(top);
  right->addWidget(PaintBox1);
  right->addLayout(mapButtons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(ListBox1);
  layout->addLayout(right);

  // The typed fields go into the state at once.
  connect(Edit1, &QLineEdit::textEdited, this, [this](const QString& t) {
    const std::string f = FilterSiteName(t.toStdString());
    if (f != t.toStdString()) {
      const int caret = std::min(Edit1->cursorPosition(), int(QString::fromStdString(f).size())) - 1;
      Edit1->setText(QString::fromStdString(f));
      Edit1->setCursorPosition(std::max(0, caret));
    }
    GlobalLocation.Name = f, GlobalLocation.LocationEdited = true;
  });
  connect(Edit2, &QLineEdit::textEdited, this, [](const QString& t) { GlobalLocation.Latitude = t.toStdString(), GlobalLocation.LocationEdited = true; });
  connect(Edit3, &QLineEdit::textEdited, this, [](const QString& t) { GlobalLocation.Longitude = t.toStdString(), GlobalLocation.LocationEdited = true; });
  connect(Edit4, &QLineEdit::textEdited, this, [](const QString& t) { GlobalLocation.Zone = t.toStdString(), GlobalLocation.LocationEdited = true; });
  connect(DSTCheckBox1, &QCheckBox::clicked, this, [](bool on) { GlobalLocation.DaylightSaving = on, GlobalLocation.LocationEdited = true; });
  // A row chosen with the keys (arrows, Home, typing a name) selects as a
  // click does. A list taking the focus makes its first row current without
  // selecting it: that chooses nothing (the window would otherwise open on
  // the first city).
  connect(ListBox1, &QListWidget::itemClicked, this, [this](QListWidgetItem* i) { ListBox1Click(ListBox1->row(i)); });
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && ListBox1->item(row)->isSelected()) ListBox1Click(row);
  });
  connect(ListBox2, &QListWidget::itemClicked, this, [this](QListWidgetItem* i) { ListBox2Click(ListBox2->row(i)); });
  connect(ListBox2, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && ListBox2->item(row)->isSelected()) ListBox2Click(row);
  });
  connect(ListBox2, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* i) { ListBox2DblClick(ListBox2->row(i)); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  auto pan = [this](int direction) {
    TMapView v = PaintBox1->View();
    PanMap(v, direction);
    WorldMapLatitude = v.Latitude, WorldMapLongitude = v.WestLongitude;
    PaintBox1->update();
  };
  connect(SpeedButton3, &QToolButton::clicked, this, [pan] { pan(0); });
  connect(SpeedButton4, &QToolButton::clicked, this, [pan] { pan(1); });
  connect(SpeedButton1, &QToolButton::clicked, this, [pan] { pan(2); });
  connect(SpeedButton2, &QToolButton::clicked, this, [pan] { pan(3); });
  connect(MagnSpeedButton1, &QToolButton::clicked, this, [this] { Zoom(-1); });
  connect(MagnSpeedButton2, &QToolButton::clicked, this, [this] { Zoom(1); });
  PaintBox1->PlaceClicked = [this](double lon, double lat) {
    GlobalLocation.AskSaveEdited();
    GlobalLocation.ShowLocation("Unknown", 0, lon, lat);
    ShowFields();
  };
  PaintBox1->CityClicked = [this](int city) {
    // The list holds the named cities only: the city's row counts those before it.
    int row = 0;
    for (int i = 0; i < city; ++i) row += Cities[i].Name[0] != 0;
    ListBox1Click(row);
  };
  GlobalLocation.AskSave = [] {
    return platform::ShowMessageBox("Current Settings have been edited, do you want to save the changes as defaults?",
                                    "Noctra Planetarium", platform::MsgButtons::YesNo,
                                    platform::MsgIcon::Question) == platform::IDYES;
  };
  // The pick list, and the boundary files read once.
  GlobalLocation.Load();
  FillPickList();
  PaintBox1->Boundaries = LoadBoundaryFiles(DataFolder);
  Zoom(0);
}

TGlobalLocationForm1::~TGlobalLocationForm1() {
  GlobalLocation.PickList.clear();
  GlobalLocation.PickListRest.clear();
  GlobalLocation.PickIndex = -1;
  GlobalLocation.AskSave = nullptr;
}

void TGlobalLocationForm1::showEvent(QShowEvent* event) {
  FormActivate();
  QDialog::showEvent(event);
}

void TGlobalLocationForm1::FormActivate() {
  if (GlobalLocation.GetDefaultLocation() >= 0) {
    // The map stands on the default place of the pick list.
    double east = -WorldMapLongitude;
    if (east < -180) east += 360;
    GlobalLocation.ShowLocation("Unknown", 0, east, WorldMapLatitude);
    // Where the map stands on the observer's place (or the default
    // entry's), the fields left as they are keep that place's own values.
    TSite site;
    if (!GlobalLocation.KeepPlaceValues(ObserverTime.Latitude, ObserverTime.Longitude) &&
        ParsePickLine(GlobalLocation.PickList[std::size_t(GlobalLocation.GetDefaultLocation())], site))
      GlobalLocation.KeepPlaceValues(site.Latitude, site.Longitude);
  } else {
    // No default place: the window starts where the observer is.
    GlobalLocation.ShowObserver(LocationName.empty() ? "Unknown" : LocationName, ObserverTime);
  }
  ShowFields();
  opened_ = Fields();
  // Missing or damaged boundary files are reported once, in one box with
  // how to rebuild them, not at each paint.
  if (!reported_) {
    reported_ = true;
    ReportDataFileProblems(PaintBox1->Boundaries.Problems);
  }
}

void TGlobalLocationForm1::ShowFields() {
  const TGlobalLocationModel& m = GlobalLocation;
  Edit1->setText(QString::fromStdString(m.Name));
  Edit2->setText(QString::fromStdString(m.Latitude));
  Edit3->setText(QString::fromStdString(m.Longitude));
  Edit4->setText(QString::fromStdString(m.Zone));
  DSTCheckBox1->setChecked(m.DaylightSaving);
  // The thumbnail: pixel (x, y) is the cell at azimuth 4x, row 5y.
  QImage thumb(90, 18, QImage::Format_RGB32);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 90; ++x) {
      const uint32_t c = m.Horizon[std::size_t(4 * x)][std::size_t(5 * y)];
      thumb.setPixel(x, y, qRgb(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)));
    }
  Image1->setPixmap(QPixmap::fromImage(thumb));
  if (m.CityIndex < 0) ListBox1->clearSelection();
  if (m.PickIndex < 0) ListBox2->clearSelection();
  PaintBox1->update();
}

void TGlobalLocationForm1::FillPickList() {
  const QSignalBlocker quiet(ListBox2);  // refilling selects nothing
  ListBox2->clear();
  for (const std::string& c : GlobalLocation.PickCaptions()) ListBox2->addItem(QString::fromStdString(c));
  if (GlobalLocation.PickIndex >= 0) ListBox2->setCurrentRow(GlobalLocation.PickIndex);
  const std::string rest = GlobalLocation.PickListRestText();
  PickListNote->setText(QString::fromStdString(rest));
  PickListNote->setVisible(!rest.empty());
}

void TGlobalLocationForm1::ListBox1Click(int row) {
  // The list holds the named cities in table order.
  int index = -1;
  for (int i = 0, n = 0; i < kCityCount; ++i)
    if (Cities[i].Name[0] && n++ == row) index = i;
  if (index < 0) return;
  GlobalLocation.SelectCity(index);
  ListBox1->setCurrentRow(row);
  ListBox1->scrollToItem(ListBox1->item(row));
  ShowFields();
}

void TGlobalLocationForm1::ListBox2Click(int row) {
  if (!GlobalLocation.SelectPick(row)) return;
  ShowFields();
  ListBox2->setCurrentRow(row);
}

void TGlobalLocationForm1::ListBox2DblClick(int row) {
  GlobalLocation.MakeDefault(row);
  FillPickList();
}

void TGlobalLocationForm1::Button3Click() {
  const int code = GlobalLocation.AddUpdate();
  if (code >= 100) ShowErrorMessage(int16_t(code), "");
  FillPickList();
}

void TGlobalLocationForm1::Button4Click() {
  GlobalLocation.PickIndex = ListBox2->currentRow();
  GlobalLocation.Remove();
  FillPickList();
}

void TGlobalLocationForm1::Button1Click() {
  platform::SingleWindow(HorizonForm1, this);
  HorizonForm1->HorizonEditArray = GlobalLocation.Horizon;
  HorizonForm1->exec();
  if (HorizonForm1->HorizonEditArray != GlobalLocation.Horizon) {
    GlobalLocation.Horizon = HorizonForm1->HorizonEditArray;
    GlobalLocation.LocationEdited = true;
    ShowFields();
  }
}

std::vector<std::string> TGlobalLocationForm1::Fields() const {
  const TGlobalLocationModel& m = GlobalLocation;
  return {m.Name, m.Latitude, m.Longitude, m.Zone, m.DaylightSaving ? "T" : "F",
          std::string(reinterpret_cast<const char*>(m.Horizon.data()), sizeof m.Horizon)};
}

void TGlobalLocationForm1::BitBtn1Click() {
  // Nothing changed since the window opened: the observer stays where it is
  // (the fields hold the place rounded to a tenth of a degree).
  if (Fields() == opened_ && !GlobalLocation.LocationEdited) {
    accept();
    return;
  }
  const int code = GlobalLocation.Accept();
  if (code != 0) {
    ShowErrorMessage(int16_t(code), "");
    ShowFields();
    return;
  }
  accept();
  if (LocationAccepted) LocationAccepted();
}

void TGlobalLocationForm1::Zoom(int delta) {
  PaintBox1->Zoom = std::clamp(PaintBox1->Zoom + delta, 1, kMapZoomLevels);
  MagnSpeedButton1->setEnabled(PaintBox1->Zoom > 1);
  MagnSpeedButton2->setEnabled(PaintBox1->Zoom < kMapZoomLevels);
  PaintBox1->update();
}

void ShowGlobalLocationForm(QWidget* parent) {
  if (!GlobalLocationForm1) GlobalLocationForm1 = new TGlobalLocationForm1(parent);
  GlobalLocationForm1->show();
  GlobalLocationForm1->raise();
}
