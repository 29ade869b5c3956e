// The real main window on the built reference data: start-up, the first
// heartbeat tick with the star load, and the close with every thread joined.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "app/core/lifecycle.h"
#include "app/core/settings_sections.h"
#include "app/forms/main_form.h"
#include "app/forms/print_job.h"
#include "tests/app/pdf_reader.h"
#include "tests/app/startup_fixture.h"
#include "app/globals.h"
#include "astro/text.h"
#include "catalog/stars.h"
#include "data/mkdata.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

using startup_fixture::RunEventsUntil;
using StartUp = startup_fixture::StartUpFixture;

TEST_F(StartUp, RealWindowOnBuiltDataStartsTicksAndCloses) {
  ASSERT_TRUE(form->StartUp());
  if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
  form->show();
  // The first tick starts the star load; the chart is rendered again when
  // the stars are in.
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  ASSERT_TRUE(RunEventsUntil([&] { return form->RenderCount >= 2; }, 5000));
  EXPECT_GT(SaoStarCount, 1000);
  EXPECT_GT(TychoStarCount, 1000);
  EXPECT_TRUE(dialogs.Records().empty()) << dialogs.Records()[0].text;
  EXPECT_EQ(form->StatusText(3), "");  // the star progress is emptied at the end
  EXPECT_TRUE(form->About1->isEnabled());
  // Stars were drawn: the chart loses many bright pixels when it is drawn
  // again without them.
  auto bright = [&] {
    const platform::Bitmap& chart = form->BackBuffer();
    int n = 0;
    for (int y = 0; y < MapHeight; ++y)
      for (int x = 0; x < MapWidth; ++x)
        if ((chart.Pixel(x, y) & 0xFF) > 150 && ((chart.Pixel(x, y) >> 16) & 0xFF) > 150) ++n;
    return n;
  };
  const int withStars = bright();
  const int32_t sao = SaoStarCount, tycho = TychoStarCount;
  SaoStarCount = 0;
  TychoStarCount = 0;
  form->RenderMainView();
  const int withoutStars = bright();
  SaoStarCount = sao;
  TychoStarCount = tycho;
  form->RenderMainView();
  EXPECT_GT(withStars - withoutStars, 500) << withStars << " " << withoutStars;
  // The pointer over the middle of the sky fills the read-out panels.
  form->PaintBox1MouseMove(MapWidth / 2, MapHeight / 2);
  form->Chart().MarkReplot();
  form->Timer1Timer();
  EXPECT_EQ(form->StatusText(1).rfind("ra=", 0), 0u) << form->StatusText(1);
  EXPECT_EQ(form->StatusText(2), "180\u00b0 fov");
  if (const char* shot = std::getenv("NOCTRA_SCREENSHOT")) form->grab().save(QString::fromUtf8(shot));

  // The chart pop-up's Center puts the clicked point in the middle.
  form->PaintBox1MouseDown(1, MapWidth / 2 + 120, MapHeight / 2 - 80);
  form->PopupMenu1->hide();
  const double clickRA = form->ClickRA, clickDec = form->ClickDec;
  form->Center1->trigger();
  form->Timer1Timer();  // renders the re-centred chart
  double ra = 0, dec = 0;
  ASSERT_TRUE(form->Chart().ScreenToRaDec(MapWidth / 2, MapHeight / 2, ra, dec));
  // One pixel of this chart is about 0.25°: the centre pixel lies within 0.5°.
  EXPECT_LT(AngularDistance(ra, dec, clickRA, clickDec) * 57.29577951308232, 0.5);

  // A settings file with every owner, opened again, gives the same view.
  form->FormKeyPress('+');
  form->Chart().CentreOn(1.0, 0.3);
  const double zoom = form->Chart().Zoom();
  ASSERT_TRUE(WriteSettingsFile(home.File("view.ssf"), 1));
  form->FormKeyPress('/');
  EXPECT_NE(form->Chart().Zoom(), zoom);
  ASSERT_EQ(ReadSettingsFile(home.File("view.ssf")), TSettingsReadResult::Ok);
  EXPECT_EQ(form->Chart().Zoom(), zoom);
  EXPECT_DOUBLE_EQ(form->Chart().CentreRA(), 1.0);
  EXPECT_FALSE(form->Chart().FullView());

  // The one-shot timer lets the magnifier render and registers the types.
  EXPECT_TRUE(form->Timer2->isActive());
  form->Timer2Timer();
  EXPECT_EQ(MagnifierReady.load(), 1);
  EXPECT_TRUE(platform::FileExists(home.File("share/mime/packages/noctra-planetarium.xml")));

  // The printed map: the header text and a chart that is not blank.
  if (pdf_reader::Available()) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(300);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(home.File("map.pdf")));
    ASSERT_TRUE(PrintStarMap(*form, printer, TPrintOptions{}));
    const QString out = pdf_reader::Text(home.File("map.pdf"));
    EXPECT_TRUE(out.contains(QStringLiteral("Latitude = "))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("LST "))) << out.toStdString();
    const QImage page = pdf_reader::FirstPage(home.File("map.pdf"), 40);
    ASSERT_FALSE(page.isNull());
    if (const char* shot = std::getenv("NOCTRA_PRINTSHOT"))
      pdf_reader::FirstPage(home.File("map.pdf"), 100).copy(0, 0, 850, 320).save(QString::fromUtf8(shot));
    // The lower part of the page holds the map: count its dark marks.
    int marks = 0;
    for (int y = page.height() - page.width() + 10; y < page.height() - 10; ++y)
      for (int x = 10; x < page.width() - 10; ++x)
        if (qGray(page.pixel(x, y)) < 128) ++marks;
    EXPECT_GT(marks, 2000);
  }

  QElapsedTimer closing;
  closing.start();
  form->close();
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, 5000));
  EXPECT_LT(closing.elapsed(), 5000);
  EXPECT_EQ(CloseState, kClosing);
  EXPECT_FALSE(AnyWorkerRunning());
  EXPECT_EQ(SaoStarCount, 0);  // the arrays are freed after the threads ended
}

TEST_F(StartUp, ClosingWhileTheStarsLoadWaitsForTheLoader) {
  ASSERT_TRUE(form->StartUp());
  form->show();
  form->Timer1Timer();  // the first tick starts the star load
  ASSERT_TRUE(StarThreadRunning());
  form->close();  // refused until the loader has ended
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(CloseState, kCloseRequested);
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, 5000));
  EXPECT_FALSE(StarThreadRunning());
  EXPECT_EQ(SaoStarCount, 0);
}

TEST_F(StartUp, FailedBuildStepShowsItsCodeAndEndsTheStartUp) {
  TInsetHooks hooks;
  int later = 0;
  hooks.buildSteps = {{8, [] { return false; }}, {9, [&] { return ++later > 0; }}};
  form->SetInsetHooks(hooks);
  EXPECT_FALSE(form->StartUp());
  form->show();
  EXPECT_FALSE(form->StartupComplete());
  EXPECT_EQ(later, 0);
  EXPECT_EQ(form->RenderCount, 0);
  const auto boxes = dialogs.Records();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error: Can't create Clock view.");
  // The heartbeat runs without the missing pieces: no star load, no render.
  form->Timer1Timer();
  EXPECT_FALSE(StarThreadRunning());
  EXPECT_EQ(form->RenderCount, 0);
  form->close();
  EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, 5000));
}
