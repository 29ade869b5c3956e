// The real main window started on a settings store in which every value the
// program reads at start was set by hand to a value no window gives: each
// number reads as its field's default (or within its range), and the chart
// is drawn with its stars and the star sphere.
#include <QScreen>
#include <fstream>
#include <set>

#include "catalog/object_options.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "chart/clock.h"
#include "chart/drawing_colors.h"
#include "chart/globe.h"
#include "chart/magnifier_inset.h"
#include "chart/grid_options.h"
#include "chart/magnifier_settings.h"
#include "chart/plotter.h"
#include "chart/screen_layout.h"
#include "chart/star_sphere.h"
#include "chart/styles.h"
#include "platform/registry.h"
#include "tests/app/startup_fixture.h"
#include "tools/clock_time.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;

namespace {

// The values set by hand: the limits of a 32-bit integer, the largest
// doubles, no number, an empty value and a word.
const char* const kExtremes[] = {"2147483647", "-2147483648", "1e308", "-1e308", "nan", "inf", "", "text"};

class ExtremeSettings : public startup_fixture::StartUpFixture, public testing::WithParamInterface<const char*> {
 protected:
  // Starts the window as the program does (its windows too) until the
  // first heartbeat tick has run and the stars are in.
  bool Start() {
    if (!form->StartUp()) return false;
    form->CreateProgramWindows();
    if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
    form->show();
    return RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000);
  }
};

TEST_P(ExtremeSettings, EveryStoredValueReadsInItsRangeAndTheChartHasItsStarsAndSphere) {
  // A first start on an empty store names every value read.
  std::set<std::pair<std::string, std::string>> read;
  platform::WatchSettingsReadsForTest([&](const std::string& section, const std::string& ident) {
    read.insert({section, ident});
  });
  ASSERT_TRUE(Start());
  platform::WatchSettingsReadsForTest({});
  delete form;
  form = NewWindow();
  // The insets' sizes as a new program has them (the first start set them).
  GuideSize = ClockSize = 0;
  GlobeSize = MagnifierSize = 0;
  ASSERT_GT(read.size(), 200u);  // the styles alone have 151 sections of 11 values
  if (const char* keys = std::getenv("NOCTRA_SETTINGS_KEYS")) {
    std::ofstream out(keys);
    for (const auto& [section, ident] : read) out << section << '\t' << ident << '\n';
  }
  {
    platform::TRegIniFile reg;
    for (const auto& [section, ident] : read) reg.WriteString(section, ident, GetParam());
  }

  ASSERT_TRUE(Start());
  // Numbers read as their defaults (the variable-star mode stays at its
  // start value), or within their ranges where a window limits them.
  TStarOptions stars = RegistryDefaultStarOptions();
  stars.VariableMode = StarOptions.VariableMode;
  EXPECT_EQ(StarOptions, stars);
  EXPECT_LE(StarOptions.VariableMode, 3);
  EXPECT_EQ(ObjectFilter.LowMagLimit, -1.5);
  EXPECT_EQ(ObjectFilter.HighMagLimit, 12.0);
  EXPECT_EQ(ColorMode, 0);
  EXPECT_EQ(ObserverTime.Temperature, 30.0);
  EXPECT_EQ(ObserverTime.Pressure, 1000.0);
  EXPECT_EQ(StartupTimeMode, 1);
  EXPECT_EQ(DefaultFieldOfView, 9);
  EXPECT_LE(MainPlotter->GridSpacingLevel, 2);
  EXPECT_GE(MainPlotter->GridSpacingLevel, 0);
  const TScreenLayoutSettings& layout = ScreenLayoutSettings;
  EXPECT_EQ(layout.Guide, 2);
  EXPECT_EQ(layout.Globe, 2);
  EXPECT_EQ(layout.Magnifier, 2);
  EXPECT_EQ(layout.Clock, 2);
  EXPECT_TRUE(layout.OvalMask >= 0 && layout.OvalMask <= 4) << layout.OvalMask;
  EXPECT_TRUE(std::abs(layout.AspectAdjust) <= kMaxAspectAdjust) << layout.AspectAdjust;
  for (int i = 0; i < kStyleCount; ++i) {
    const TStyleEntry& s = Styles[i];
    if (s.Handle) {
      EXPECT_TRUE(s.PointSize >= kMinStylePoints && s.PointSize <= kMaxStylePoints + 2) << i;
    }
    EXPECT_EQ(s.Color & 0xFD000000u, 0u) << i;
    EXPECT_EQ(s.ObjectColor & 0xFD000000u, 0u) << i;
  }

  // The chart has its stars: drawn again without them it loses many bright
  // pixels.
  EXPECT_GT(startup_fixture::StarPixels(*form), 500);
  // The star sphere is shown at its normal size (narrowed by an aspect
  // brought to its limit), drawn over half its box.
  EXPECT_EQ(GuideSize, InsetSizeNormal);
  form->PaintBox1->grab();
  const QRect r = StarSphereRect;
  ASSERT_GT(r.width(), 20);
  int lit = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) lit += (form->BackBuffer().Pixel(x, y) & 0xFFFFFF) != 0;
  EXPECT_GT(lit, r.width() * r.height() / 2);
  if (const char* shot = std::getenv("NOCTRA_SCREENSHOT")) form->grab().save(QString::fromUtf8(shot));
}

INSTANTIATE_TEST_SUITE_P(AtTheLimits, ExtremeSettings, testing::ValuesIn(kExtremes));

}  // namespace
