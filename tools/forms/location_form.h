// The location window ("Select New Location"): the city list, the Current
// Settings fields, the pick list and the world map over the state in
// GlobalLocation (tools/location.h).
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "chart/horizon_array.h"
#include "platform/bitmap.h"
#include "tools/world_map.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

// The map paint box: relief rendered when centre, scale or size changed,
// boundaries, city marks and frame over it, and the hover label.
class TWorldMapBox : public QWidget {
 public:
  explicit TWorldMapBox(QWidget* parent = nullptr);
  TMapView View() const;
  int Zoom = 1;
  TBoundarySet Boundaries;
  // Left click: a place; right click: a city index.
  std::function<void(double eastLon, double lat)> PlaceClicked;
  std::function<void(int city)> CityClicked;
  // Labels the city nearest to the point (none beyond 2°); Timer1 clears it.
  void ShowHoverLabel(int x, int y);
  QTimer Timer1;
  std::string HoverText;
  // Where the hover label stands.
  QRect HoverLabelRect() const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  platform::Bitmap relief_;
  TMapView rendered_;
  QPoint hoverAt_, hoverCity_;
};

class TGlobalLocationForm1 : public QDialog {
 public:
  explicit TGlobalLocationForm1(QWidget* parent = nullptr);
  // Forgets the pick list it read: a window made again (a new run in the
  // same process) reads its own.
  ~TGlobalLocationForm1() override;

  QListWidget* ListBox1;  // cities
  QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;
  QCheckBox* DSTCheckBox1;
  QLabel* Image1;        // horizon thumbnail
  QPushButton* Button1;  // "Define"
  QListWidget* ListBox2;  // pick list
  QLabel* PickListNote;   // places of the file after the tenth, when there are some
  QPushButton *Button3, *Button4;
  TWorldMapBox* PaintBox1;
  QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4;
  QToolButton *MagnSpeedButton1, *MagnSpeedButton2;
  QPushButton *BitBtn1, *BitBtn2;

  // Told after OK made the site the observer's (the main window unchecks its
  // pick items).
  std::function<void()> LocationAccepted;

  void FormActivate();
  void BitBtn1Click();
  void Button1Click();
  void Button3Click();
  void Button4Click();
  void ListBox1Click(int row);
  void ListBox2Click(int row);
  void ListBox2DblClick(int row);
  void Zoom(int delta);
  // Puts the state's fields into the controls.
  void ShowFields();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FillPickList();
  // The fields as they stand (name, latitude, longitude, zone, daylight
  // saving, horizon) and as the window opened with them.
  std::vector<std::string> Fields() const;
  std::vector<std::string> opened_;
  bool reported_ = false;
};

extern TGlobalLocationForm1* GlobalLocationForm1;
// Shows the location window (created on first use).
void ShowGlobalLocationForm(QWidget* parent = nullptr);
