#include "app/core/chart_input.h"

#include <gtest/gtest.h>

#include "app/core/chart_view.h"

TEST(Zoom, TwentyLevelsClampApplyTheirScaleAndNameTheirField) {
  TPendingChartView view;
  TChartKeyState st;
  st.ZoomLevel = 20;
  ZoomIn(st, view);
  EXPECT_EQ(st.ZoomLevel, 20);
  EXPECT_EQ(view.Zoom(), 40.0);
  st.ZoomLevel = 1;
  ZoomOut(st, view);
  EXPECT_EQ(st.ZoomLevel, 1);
  EXPECT_EQ(view.Zoom(), 0.4);
  st.ZoomLevel = 9;
  view.SetFullView(false);
  WholeSkyView(st, view);
  EXPECT_EQ(st.ZoomLevel, 4);
  EXPECT_EQ(view.Zoom(), 0.95);
  EXPECT_TRUE(view.FullView());

  // Levels 1 to 4 all show 180°; 180 / 3.5 = 51.4 rounds to 51.
  for (int level = 1; level <= 4; ++level) EXPECT_EQ(FieldOfViewText(ZoomScaleOfLevel(level)), "180\u00b0 fov");
  EXPECT_EQ(FieldOfViewDegrees(ZoomScaleOfLevel(11)), 51);
  EXPECT_EQ(FieldOfViewDegrees(ZoomScaleOfLevel(15)), 30);
  EXPECT_EQ(FieldOfViewDegrees(ZoomScaleOfLevel(20)), 4);
}

TEST(ChartKeys, TableActions) {
  TPendingChartView view;
  TChartKeyState st;
  int dateDialogs = 0, finds = 0, newPOIs = 0, timers = 0;
  double shifted = 0;
  TChartKeyCommands cmd;
  cmd.newDateTime = [&] { ++dateDialogs; };
  cmd.find = [&] { ++finds; };
  cmd.newPointOfInterest = [&] { ++newPOIs; };
  cmd.shiftTime = [&](double d) { shifted += d; };
  cmd.startPOIKeyTimer = [&] { ++timers; };

  struct Toggle {
    char key;
    TChartSwitch sw;
    uint8_t on;
  } toggles[] = {{'B', TChartSwitch::ConstellationLines, 2}, {'b', TChartSwitch::ConstellationBoundaries, 2},
                 {'c', TChartSwitch::ConstellationNames, 2}, {'g', TChartSwitch::Grid, 1},
                 {'n', TChartSwitch::ObjectIdentification, 1}, {'Z', TChartSwitch::HorizonDisplay, 1}};
  for (const Toggle& t : toggles) {
    const uint8_t before = view.Switch(t.sw);
    view.ClearReplot();
    EXPECT_TRUE(ChartKeyPress(t.key, st, view, cmd));
    EXPECT_EQ(view.Switch(t.sw), before ? 0 : t.on) << t.key;
    EXPECT_TRUE(view.ReplotPending()) << t.key;
    ChartKeyPress(t.key, st, view, cmd);
    EXPECT_EQ(view.Switch(t.sw), before) << t.key;
  }

  // "N" counts the two star label switches through 1, 2, 3, 0.
  const uint8_t expectId[] = {1, 0, 1, 0}, expectName[] = {0, 1, 1, 0};
  for (int i = 0; i < 4; ++i) {
    ChartKeyPress('N', st, view, cmd);
    EXPECT_EQ(view.Switch(TChartSwitch::StarIdentification), expectId[i]) << i;
    EXPECT_EQ(view.Switch(TChartSwitch::StarNames), expectName[i]) << i;
  }

  ChartKeyPress('H', st, view, cmd);
  ChartKeyPress('m', st, view, cmd);
  ChartKeyPress('S', st, view, cmd);
  EXPECT_NEAR(shifted * 86400.0, 3600.0 - 60.0 + 1.0, 1e-6);
  ChartKeyPress('d', st, view, cmd);
  ChartKeyPress('F', st, view, cmd);
  ChartKeyPress('p', st, view, cmd);
  EXPECT_EQ(dateDialogs, 1);
  EXPECT_EQ(finds, 1);
  EXPECT_EQ(newPOIs, 1);

  // The telescope holds the time; point-of-interest mode blocks a second "P".
  st.TelescopeConnected = true;
  st.PointOfInterestMode = true;
  shifted = 0;
  ChartKeyPress('h', st, view, cmd);
  ChartKeyPress('D', st, view, cmd);
  ChartKeyPress('P', st, view, cmd);
  EXPECT_EQ(shifted, 0.0);
  EXPECT_EQ(dateDialogs, 1);
  EXPECT_EQ(newPOIs, 1);

  st.ZoomLevel = 7;
  ChartKeyPress('/', st, view, cmd);
  EXPECT_EQ(st.ZoomLevel, 4);
  EXPECT_TRUE(view.FullView());
  EXPECT_EQ(view.fullRecomputes, 1);
  EXPECT_TRUE(ChartKeyPress(27, st, view, cmd));
  EXPECT_FALSE(ChartKeyPress('q', st, view, cmd));

  // Digits: at most four, the first starts the timer.
  for (char k : std::string("12345")) ChartKeyPress(k, st, view, cmd);
  EXPECT_EQ(st.POIKeyBuffer, "1234");
  EXPECT_EQ(timers, 1);
}

TEST(ChartKeys, PointOfInterestDigits) {
  // One or two digits choose a point; more choose none. The buffer is emptied.
  const std::vector<std::pair<std::string, int>> cases = {{"12", 12}, {"7", 7}, {"123", -1}};
  for (const auto& [keys, point] : cases) {
    std::string buffer = keys;
    EXPECT_EQ(TakePOIKeys(buffer), point) << keys;
    EXPECT_TRUE(buffer.empty()) << keys;
  }
}

TEST(ChartKeys, FieldOfViewModes) {
  struct Case {
    int digit;
    bool ctrl, alt;
    int rows, mode;
  } cases[] = {{1, true, false, 0, 9},   {2, true, false, 0, 1},   {9, true, false, 0, 8},
               {0, true, false, 0, -1},  {3, false, true, 5, 300}, {4, false, true, 5, -1},
               {0, false, true, 12, 1000}, {0, false, true, 11, -1}, {5, false, false, 9, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(FieldOfViewKeyMode(c.digit, c.ctrl, c.alt, c.rows), c.mode) << c.digit << c.ctrl << c.alt;
}

TEST(Insets, RectanglesPresetsAndTimeButtons) {
  const TInsetPlace m = MagnifierPlace(700, 100, 1.0);
  EXPECT_EQ(m.rect, (TRect{10, 489, 210, 689}));
  EXPECT_EQ(m.x, 110);
  EXPECT_EQ(m.y, 589);
  // The aspect widens only the horizontal extent.
  EXPECT_EQ(MagnifierPlace(700, 100, 1.5).rect, (TRect{10, 489, 310, 689}));

  // 1920 / 14 = 137.1 → bound 130; / 13 = 147.7 → 140; / 10 = 192 → 150;
  // / 8.5 = 225.9 → 159; 640 / 14 = 45.7 → 60.
  const TInsetPresets big = ComputeInsetPresets(1920);
  EXPECT_EQ(big.small, 130);
  EXPECT_EQ(big.normal, 140);
  EXPECT_EQ(big.large, 150);
  EXPECT_EQ(big.huge, 159);
  EXPECT_EQ(ComputeInsetPresets(640).small, 60);
  EXPECT_EQ(ComputeInsetPresets(1200).normal, 92);

  auto hidden = TimeButtonPlaces(500, 500, 0);
  EXPECT_EQ(hidden[0], (std::array<int, 2>{-1030, -1009}));
  EXPECT_EQ(hidden[3], (std::array<int, 2>{-982, -1009}));
  auto shown = TimeButtonPlaces(929, 629, 60);  // 60 × 0.55 = 33
  EXPECT_EQ(shown[1], (std::array<int, 2>{915, 587}));
}

TEST(PointerShape, FirstMatchingRegion) {
  EXPECT_EQ(ChartPointerShape({true, true, false, false, true}, false).cursor, kCursorMap);
  EXPECT_TRUE(ChartPointerShape({true, false, false, false, false}, false).globeDragging);
  EXPECT_EQ(ChartPointerShape({false, true, false, false, true}, false).cursor, kCursorDefault);
  EXPECT_EQ(ChartPointerShape({false, false, false, true, true}, true).cursor, kCursorUnderHorizon);
  const TPointerShape sky = ChartPointerShape({false, false, false, false, true}, true);
  EXPECT_EQ(sky.cursor, kCursorMagnifier);
  EXPECT_TRUE(sky.pointerOnChart);
  EXPECT_EQ(ChartPointerShape({}, false).cursor, kCursorUnderHorizon);
}
