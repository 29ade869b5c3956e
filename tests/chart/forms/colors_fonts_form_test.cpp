// The colours-and-fonts window: edits change the styles at once, OK saves
// them, Cancel gives back the styles of the moment the window was shown,
// also after Revert, with their fonts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <tuple>

#include "chart/drawing_colors.h"
#include "chart/forms/colors_fonts_form.h"
#include "chart/plotter.h"
#include "chart/style_snapshot.h"
#include "chart/styles.h"
#include "platform/dialogs.h"
#include "platform/registry.h"

namespace {

struct StyleFixture : ::testing::Test {
  std::unique_ptr<tPlotter> plotter = std::make_unique<tPlotter>();
  platform::ScopedScriptedDialogs dialogs;
  void SetUp() override {
    MainPlotter = plotter.get();
    ColorMode = PendingColorMode = 0;
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
    MakeDrawingColors();
  }
  void TearDown() override {
    ColorMode = PendingColorMode = 0;
    SetDefaultObjectColors();
    SetDefaultStyleFonts();
    MakeDrawingColors();
    MainPlotter = nullptr;
  }
};

// Every field of a style that the chart reads, the font's face included.
void ExpectSameStyles(const TStyleTable& want) {
  auto fields = [](const TStyleEntry& e) {
    return std::tuple(bool(e.Handle), e.Handle ? e.Handle->Log().face : std::string(), e.Name, e.PointSize, e.Bold,
                      e.Color, e.UseColor, e.ObjectColor, e.AltObjectColor);
  };
  for (int i = 0; i < kStyleCount; ++i) EXPECT_EQ(fields(Styles[i]), fields(want[std::size_t(i)])) << i;
}

}  // namespace

TEST(StyleEdit, FontSizeTextAndGridSecondColour) {
  const std::pair<const char*, int> sizes[] = {{"100", 64}, {"1", 2}, {"", 8}, {"abc", 8}, {"12", 12}};
  for (const auto& [text, size] : sizes) EXPECT_EQ(ParseFontSize(text), size) << text;
  EXPECT_EQ(AltGridColor(platform::MakeColorRef(200, 100, 50)), platform::MakeColorRef(120, 60, 30));
}

TEST_F(StyleFixture, RevertThenCancelRestoresEveryStyleWithItsFont) {
  TColorsAndFontsForm1 form;  // made at start: it builds the style fonts
  // A state before the window is shown that differs from the defaults.
  CreateStyleFont(Styles[1], "DejaVu Serif", platform::MakeColorRef(10, 20, 30), true, false, 20);
  Styles[kStyleHorizon].ObjectColor = platform::MakeColorRef(1, 2, 3);
  const TStyleTable before = TakeStyleSnapshot();
  form.show();
  form.ItemComboBox1->setCurrentIndex(1);
  form.ItemComboBox1Change();
  form.FontSizeEdit1->setText("100");
  form.FontSizeEdit1Change();
  EXPECT_EQ(Styles[1].PointSize, 64);
  QTest::mouseClick(form.BitBtn3, Qt::LeftButton);  // Revert: the defaults, saved
  EXPECT_EQ(Styles[1].Name, "Times New Roman");
  EXPECT_EQ(Styles[kStyleHorizon].ObjectColor, platform::MakeColorRef(87, 87, 87));
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);  // Cancel
  ExpectSameStyles(before);
  EXPECT_EQ(Styles[1].Handle, before[1].Handle);

  // The registry holds the defaults that Revert saved.
  ReadRegFontsAndColors();
  EXPECT_EQ(SavedStyles[1].Name, "Times New Roman");
  EXPECT_EQ(SavedStyles[1].Ital, 0);
}

TEST_F(StyleFixture, EditsShowAtOnceOkSavesCancelUndoes) {
  TColorsAndFontsForm1 form;
  form.show();
  // Style 2 (boundaries) has no font: only its object colour can change.
  form.ItemComboBox1->setCurrentIndex(2);
  form.ItemComboBox1Change();
  EXPECT_FALSE(form.FontComboBox1->isEnabled());
  EXPECT_TRUE(form.ItemColorBitBtn1->isEnabled());

  form.ItemComboBox1->setCurrentIndex(kStyleCoordinateGrid);
  form.ItemComboBox1Change();
  dialogs.QueueColor(platform::MakeColorRef(200, 100, 50));
  QTest::mouseClick(form.ItemColorBitBtn1, Qt::LeftButton);
  EXPECT_EQ(Styles[kStyleCoordinateGrid].AltObjectColor, platform::MakeColorRef(120, 60, 30));
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);  // Cancel
  EXPECT_EQ(Styles[kStyleCoordinateGrid].ObjectColor, platform::MakeColorRef(42, 42, 42));

  form.show();
  form.ItemComboBox1->setCurrentIndex(kStyleCoordinateGrid);
  form.ItemComboBox1Change();
  dialogs.QueueColor(platform::MakeColorRef(200, 100, 50));
  QTest::mouseClick(form.ItemColorBitBtn1, Qt::LeftButton);
  form.NightVisionCheckBox1->click();
  form.RenderPreview();
  if (const char* dir = std::getenv("NOCTRA_GRAB_DIR")) form.grab().save(QString(dir) + "/colors_fonts.png");
  // The preview draws its grid in the new colour.
  bool gridSeen = false;
  const QImage& image = form.PreviewBitmap.Image();
  for (int y = 0; y < image.height() && !gridSeen; ++y)
    for (int x = 0; x < image.width() && !gridSeen; ++x) gridSeen = (image.pixel(x, y) & 0xFFFFFF) == 0xC86432;
  EXPECT_TRUE(gridSeen);
  plotter->Replot = 0;
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);  // OK
  EXPECT_EQ(ColorMode, 2);
  EXPECT_EQ(plotter->Replot, 1);
  EXPECT_EQ(platform::TRegIniFile().ReadInteger("FontsAndColors/Color Mode", "value", -1), 2);
  ReadRegFontsAndColors();
  EXPECT_EQ(Styles[kStyleCoordinateGrid].ObjectColor, platform::MakeColorRef(200, 100, 50));
}
