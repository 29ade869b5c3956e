// The main window's painting and input: insets on the chart, the paint
// box's mouse, the keys and the chart view.
#include "app/forms/main_form.h"

#include <QCloseEvent>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include "app/forms/main_form_parts.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/globe.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter_b.h"
#include "chart/star_sphere.h"
#include "shell/globals.h"

using namespace mainform;

// --- Painting and input -------------------------------------------------------

void TMainForm1::PlaceInsets() {
  PlaceGlobe(MapWidth);
  PlaceClock(MapWidth, MapHeight);
  PlaceStarSphere();
  const TInsetPlace m = MagnifierPlace(MapHeight, MagnifierSize, InsetAspect);
  MagnifierCentreX = m.x;
  MagnifierCentreY = m.y;
}

TRect TMainForm1::InsetRect(uint8_t bit) const {
  auto of = [](const QRect& r) { return TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1}; };
  switch (bit) {
    case kRepaintGlobe:
      return of(GlobeRect);
    case kRepaintClock:
      return of(ClockRect);
    case kRepaintStarSphere:
      return of(StarSphereRect);
    case kRepaintMagnifier:
      return MagnifierPlace(MapHeight, MagnifierSize, InsetAspect).rect;
    default:
      return {0, 0, MapWidth, MapHeight};
  }
}

void TMainForm1::PaintBox1Paint(const QRect& clip) {
  QPainter p(PaintBox1);
  if (ResizeBusy || backBuffer_.IsNull()) {
    p.fillRect(clip, Qt::black);
    return;
  }
  TRect dirty{clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1};
  const uint8_t mask = TakeRepaintMask();
  if (mask & kRepaintChart) {
    dirty = UnionRect(dirty, {0, 0, MapWidth, MapHeight});
    if (insets_.invalidateOverlays) insets_.invalidateOverlays();
  }
  // Each inset composes its finished picture; the globe's animation frames
  // come the same way, so the globe is drawn once per paint at most.
  const std::pair<uint8_t, const std::function<void(platform::Bitmap&)>*> order[4] = {
      {kRepaintGlobe, &insets_.composeGlobe},
      {kRepaintMagnifier, &insets_.composeMagnifier},
      {kRepaintStarSphere, &insets_.composeStarSphere},
      {kRepaintClock, &insets_.composeClock}};
  for (const auto& [bit, compose] : order) {
    if (!(mask & bit)) continue;
    dirty = UnionRect(dirty, InsetRect(bit));
    if (*compose) (*compose)(backBuffer_);
  }
  if (mask & kRepaintClock) {
    const TRect clock = InsetRect(kRepaintClock);
    if (!(clock == lastClockRect_) || ClockSize != lastClockSize_) {
      lastClockRect_ = clock;
      lastClockSize_ = ClockSize;
      TimeButtonsPlaced = false;
    }
  }
  const QRect r(dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top);
  p.drawImage(r.topLeft(), backBuffer_.Image(), r);
  if (!TimeButtonsPlaced) PlaceTimeButtons();
}

void TMainForm1::PlaceTimeButtons() {
  const auto at = TimeButtonPlaces(ClockCentreX, ClockCentreY, ClockSize);
  for (int i = 0; i < 4; ++i) TimeButtons[i]->move(at[i][0], at[i][1]);
  TimeButtonsPlaced = true;
}

void TMainForm1::PaintBox1MouseDown(int button, int x, int y) {
  ScrollBox1->setFocus();
  for (const auto* hook : {&insets_.globeMouseDown, &insets_.clockClick, &insets_.starSphereClick,
                           &insets_.magnifierClick})
    if (*hook && (*hook)(button, x, y)) return;
  if (insets_.isMaskedPixel && insets_.isMaskedPixel(x, y)) return;
  // The chart's own click handler: re-centre, a point of interest in placing
  // mode, or the object under the pointer with the pop-up menu.
  if (!MainPlotter) return;
  AddPointOfInterestAt(*MainPlotter, button, x, y);
  ClickRA = MainPlotter->ClickRA;
  ClickDec = MainPlotter->ClickDec;
}

void TMainForm1::PaintBox1MouseMove(int x, int y) {
  mouseX_ = x;
  mouseY_ = y;
  PointerX = x;
  PointerY = y;
}

bool TMainForm1::ShowCursorPosition(int x, int y) {
  double ra = 0, dec = 0;
  const bool masked = insets_.isMaskedPixel && insets_.isMaskedPixel(x, y);
  if (!masked && chart_->ScreenToRaDec(x, y, ra, dec)) {
    SetStatusText(1, PointerPositionText(ra, dec));
    ShowFieldOfView();
    return true;
  }
  SetStatusText(1, "");
  return false;
}

void TMainForm1::ShowFieldOfView() {
  const std::string text = FieldOfViewText(chart_->Zoom());
  if (StatusText(2) != text) SetStatusText(2, text);
}

void TMainForm1::UpdateChartCursor() {
  auto hit = [](const std::function<bool(int, int)>& f, int x, int y) { return f && f(x, y); };
  TPointerRegion r;
  r.inGlobe = hit(insets_.insideGlobe, mouseX_, mouseY_);
  r.inClock = !r.inGlobe && hit(insets_.insideClock, mouseX_, mouseY_);
  r.onStarSphere = !r.inGlobe && !r.inClock && hit(insets_.onStarSphere, mouseX_, mouseY_);
  r.inMagnifier = !r.inGlobe && !r.inClock && !r.onStarSphere && hit(insets_.insideMagnifier, mouseX_, mouseY_);
  r.onSky = !(r.inGlobe || r.inClock || r.onStarSphere || r.inMagnifier) && ShowCursorPosition(mouseX_, mouseY_);
  const TPointerShape shape = ChartPointerShape(r, Keys.PointOfInterestMode);
  PointerOnChart = shape.pointerOnChart;
  GlobeDragging = shape.globeDragging;
  if (shape.cursor != CurrentCursor) {
    CurrentCursor = shape.cursor;
    Qt::CursorShape qt = Qt::ArrowCursor;
    if (shape.cursor == kCursorMap) qt = Qt::CrossCursor;
    else if (shape.cursor == kCursorUnderHorizon) qt = Qt::ForbiddenCursor;
    else if (shape.cursor == kCursorMagnifier) qt = Qt::PointingHandCursor;
    PaintBox1->setCursor(qt);
  }
}

bool TMainForm1::FormKeyPress(char key) {
  TChartKeyCommands cmd;
  cmd.clearPointOfInterestMode = [this] { ClearPointOfInterestMode(); };
  cmd.starOptions = [this] { StarCatalog1Click(); };
  cmd.newDateTime = [this] { NewDateTime1Click(); };
  cmd.find = [this] { Find1Click(); };
  cmd.newLocation = [this] { Newlocation1Click(); };
  cmd.objectOptions = [this] { Objects1Click(); };
  cmd.newPointOfInterest = [this] { Newpointofinterest1Click(); };
  cmd.shiftTime = [this](double d) { ShiftTime(d); };
  cmd.startPOIKeyTimer = [this] { POIKeysTimer1->start(); };
  cmd.horizonChecked = [this](bool on) { ShowHorizon1->setChecked(on); };
  const bool used = ChartKeyPress(key, Keys, *chart_, cmd);
  // A zoom key changes the field of view wherever the pointer is.
  ShowFieldOfView();
  return used;
}

void TMainForm1::POIKeysTimer1Timer() {
  POIKeysTimer1->stop();
  const int n = TakePOIKeys(Keys.POIKeyBuffer);
  if (n >= 0) KeyTeleLocationChange(n);
}

void TMainForm1::keyPressEvent(QKeyEvent* event) {
  if (ModifiedKeyPress(event->key(), event->modifiers(), event->isAutoRepeat())) {
    event->accept();
    return;
  }
  const QString t = event->text();
  if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && t.size() == 1 && t[0].unicode() < 128 &&
      FormKeyPress(char(t[0].unicode()))) {
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

// The keys with Ctrl or Alt act when pressed: by the key's release the
// modifier is often up already (Ctrl let go first), and the key would be lost.
bool TMainForm1::ModifiedKeyPress(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat) {
  const bool ctrl = modifiers & Qt::ControlModifier, alt = modifiers & Qt::AltModifier;
  if (key == Qt::Key_H && ctrl && !alt && !(modifiers & Qt::ShiftModifier)) {
    // A held key toggles once.
    if (!autoRepeat) Horizon1Click();
    return true;
  }
  if (key >= Qt::Key_0 && key <= Qt::Key_9 && (ctrl || alt)) {
    // The telescope list joins with the magnifier settings.
    const int mode = FieldOfViewKeyMode(key - Qt::Key_0, ctrl, alt, TeleGrid.RowCount);
    if (mode < 0) return false;
    if (!autoRepeat) TeleFieldOfViewChange(mode);
    return true;
  }
  return false;
}

void TMainForm1::SetChartView(std::unique_ptr<IChartView> view) {
  chart_ = std::move(view);
  chart_->SetZoom(ZoomScaleOfLevel(Keys.ZoomLevel));
  chart_->MarkReplot();
}

void TMainForm1::ChartChanged() { chart_->MarkReplot(); }
