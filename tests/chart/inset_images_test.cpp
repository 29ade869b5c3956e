// Each inset rendered at a fixed instant and place and compared pixel for
// pixel with its stored reference picture in data/ (see
// reference_image_test.cpp for the rules: fixed fonts, NOCTRA_WRITE_REFERENCE=1
// stores new references, differences are written next to the test program).
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <cstdlib>
#include <string>

#include "app/globals.h"
#include "astro/observer.h"
#include "astro/timescales.h"
#include "chart/clock.h"
#include "chart/drawing_colors.h"
#include "chart/graph_misc.h"
#include "chart/mask.h"
#include "chart/ring.h"
#include "chart/styles.h"

namespace {

// Compares `image` with data/<name>.png, or stores it there on request.
void ExpectMatchesReference(const QImage& rendered, const std::string& name) {
  const QImage actual = rendered.convertToFormat(QImage::Format_RGB32);
  const QString path = QStringLiteral(NOCTRA_CHART_TEST_DATA "/") + QString::fromStdString(name) + ".png";
  if (const char* write = std::getenv("NOCTRA_WRITE_REFERENCE"); write && std::string(write) == "1") {
    ASSERT_TRUE(actual.save(path)) << path.toStdString();
    return;
  }
  const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(reference.isNull()) << "missing reference picture " << path.toStdString();
  ASSERT_EQ(reference.size(), actual.size());
  QImage diff(actual.size(), QImage::Format_RGB32);
  int differing = 0;
  for (int y = 0; y < actual.height(); ++y)
    for (int x = 0; x < actual.width(); ++x) {
      const bool same = ((actual.pixel(x, y) ^ reference.pixel(x, y)) & 0x00FFFFFFu) == 0;
      diff.setPixel(x, y, same ? (qGray(actual.pixel(x, y)) / 4) * 0x010101u : 0x00FF0000u);
      differing += !same;
    }
  if (differing != 0) {
    const QString base = QDir::currentPath() + "/" + QString::fromStdString(name);
    actual.save(base + "_actual.png");
    diff.save(base + "_diff.png");
    FAIL() << differing << " pixels differ from " << path.toStdString() << "; see " << (base + "_actual.png").toStdString();
  }
}

class InsetImages : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllAutoBitmaps();
    MaskBitmap = ClockFaceBitmap = ClockBitmap = nullptr;
    ColorMode = 0;
    InsetAspect = 1.0;
    TimeFlow = 1;
    TimeRate = 0;
    SetDefaultObjectColors();
    ASSERT_TRUE(MakeDrawingColors());
    MakeRingRamps();
    // Berlin, 2024 March 10, 12:34 UT.
    InitObserver(ObserverTime);
    TIME_ZONE_INFORMATION tzi;
    ASSERT_TRUE(platform::TimeZoneFromPosix("CET-1CEST,M3.5.0,M10.5.0/3", tzi));
    SetObserverLocation(ObserverTime, -13.40 / DegPerRad, 52.52 / DegPerRad, 0);
    SetObserverTimeZone(ObserverTime, tzi, 1);
    SetObserverUT(ObserverTime, 2460379.5 + (12 + 34 / 60.0) / 24);
  }
  void TearDown() override {
    FreeAllAutoBitmaps();
    MaskBitmap = ClockFaceBitmap = ClockBitmap = nullptr;
    TimeFlow = 0;
  }
};

TEST_F(InsetImages, Clock) {
  ASSERT_TRUE(InitClockBuffers());
  SetClockSize(150);
  DrawClock(1);
  ExpectMatchesReference(ClockBitmap->Image(), "inset_clock");
}

TEST_F(InsetImages, MaskOfEachKind) {
  BackBufferWidth = MapWidth = 320;
  BackBufferHeight = MapHeight = 200;
  ASSERT_TRUE(CreateOvalMask());
  QImage sheet(320, 5 * 200, QImage::Format_RGB32);
  QPainter p(&sheet);
  for (int kind = 0; kind < 5; ++kind) {
    OvalMaskKind = kind;
    UpdateOvalMask();
    p.drawImage(0, kind * 200, MaskBitmap->Image());
  }
  p.end();
  OvalMaskKind = 2;
  ExpectMatchesReference(sheet, "inset_mask");
}

}  // namespace
