// The real main window on the built reference data: start-up, the first
// heartbeat tick with the star load, and the close with every thread joined.
#include <algorithm>
#include <cmath>

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTime>
#include <QToolButton>
#include <QWindow>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "app/core/points_of_interest.h"
#include "app/forms/about_form.h"
#include "app/forms/unix_signals.h"
#include "app/forms/print_job.h"
#include "astro/text.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/object_catalog.h"
#include "catalog/stars.h"
#include "chart/clicks.h"
#include "chart/clock.h"
#include "chart/cursor_watch.h"
#include "chart/forms/screen_layout_form.h"
#include "chart/globe.h"
#include "chart/graph_misc.h"
#include "chart/mag_thread.h"
#include "chart/magnifier_inset.h"
#include "chart/magnifier_settings.h"
#include "chart/mask.h"
#include "chart/plotter.h"
#include "chart/star_sphere.h"
#include "chart/sun_moon_images.h"
#include "imaging/fits_bitmap.h"
#include "imaging/port_output.h"
#include "platform/qt_dialogs.h"
#include "platform/registry_text.h"
#include "shell/log_lines.h"
#include "shell/settings_sections.h"
#include "tools/forms/clock_time_form.h"
#include "tools/forms/information_forms.h"
#include "tests/app/startup_fixture.h"
#include "tests/support/text_checks.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;
using StartUp = startup_fixture::StartUpFixture;

namespace {

// The text of a PDF document.
QString PdfText(const std::string& pdf) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), QStringLiteral("-")});
  p.waitForFinished(20000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The page count of a PDF (pdfinfo); 0 when unknown.
int PdfPages(const std::string& pdf) {
  QProcess p;
  p.start(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf)});
  p.waitForFinished(20000);
  for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
    if (line.startsWith(QStringLiteral("Pages:"))) return line.mid(6).trimmed().toInt();
  return 0;
}

// Starts `form` and gives the text of its first box when that box tells the
// settings files the last run kept aside but could not tell ("" when none).
std::string KeptFilesToldAtStart(TMainForm1& form, const platform::ScriptedDialogs& dialogs) {
  if (!form.StartUp() || dialogs.Count() == 0) return {};
  const std::string told = dialogs.Records()[0].text;
  return testing_support::StartsWith(told, "Warning: These settings files could not be read when Noctra "
                                           "Planetarium last started")
             ? told
             : std::string();
}

// The real program started as run.sh starts it in `user` + "run/" on the
// built data, HOME `user`, the start-up script waiting in its input window;
// `inChild` runs in the new process first. True once the file types are
// registered (2 s after the first tick) and the program still runs (a
// signal for it must never go to process 0, the test's whole group).
bool StartProgram(QProcess& program, const std::string& user, std::function<void()> inChild = {}) {
  const std::string run = startup_fixture::RunFolder(user + "run/");
  testing_support::WriteText(run + "autoexec.sbas", "INPUT A\n");
  startup_fixture::LaunchProgram(program, user, run, std::move(inChild));
  return RunEventsUntil(
             [&] { return platform::FileExists(user + ".local/share/mime/packages/noctra-planetarium.xml"); },
             kEventWaitMs) &&
         program.state() == QProcess::Running;
}

}  // namespace

TEST_F(StartUp, RealWindowOnBuiltDataStartsTicksAndCloses) {
  // The solar system's start-up makes "startup_log.txt" anew in the working
  // folder; the built-in planet elements pass their conversion check, so it
  // stays empty.
  testing_support::WriteText("startup_log.txt", "a line of an earlier run\n");
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  EXPECT_TRUE(platform::FileExists("startup_log.txt"));
  EXPECT_EQ(std::filesystem::file_size("startup_log.txt"), 0u);
  if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
  form->show();
  // The stars load from the start-up on; the chart is rendered again when
  // they are in.
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && !StarThreadRunning(); }, 60000));
  // The first tick also renders (for the observer's place) while the stars
  // still load; the heartbeat's next render has them.
  form->Chart().MarkReplot();
  const int rendered = form->RenderCount;
  ASSERT_TRUE(RunEventsUntil([&] { return form->RenderCount > rendered; }, kEventWaitMs));
  EXPECT_GT(SaoStarCount, 1000);
  EXPECT_GT(TychoStarCount, 1000);
  EXPECT_TRUE(dialogs.Records().empty()) << dialogs.Records()[0].text;
  EXPECT_EQ(form->StatusText(3), "");  // the star progress is emptied at the end
  EXPECT_TRUE(form->About1->isEnabled());
  // Stars were drawn: the chart loses many bright pixels when it is drawn
  // again without them.
  EXPECT_GT(startup_fixture::StarPixels(*form), 500);
  // The mask frames the chart: a corner holds the mask colour, the middle
  // is open; painting composes the star sphere, the globe and the clock.
  form->PaintBox1->grab();
  const platform::Bitmap& back = form->BackBuffer();
  EXPECT_TRUE(IsMaskedPixel(4, MapHeight - 6));
  EXPECT_FALSE(IsMaskedPixel(MapWidth / 2, MapHeight / 2));
  EXPECT_NE(back.Pixel(4, MapHeight - 6) & 0xFFFFFF, 0u);
  EXPECT_EQ(back.Pixel(4, MapHeight - 6), MaskBitmap->Pixel(4, MapHeight - 6));
  for (const QRect& r : {StarSphereRect, GlobeRect, ClockRect}) {
    ASSERT_GT(r.width(), 100);
    int lit = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) lit += (back.Pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_GT(lit, r.width() * r.height() / 2) << r.x() << "," << r.y();
  }
  EXPECT_GT(form->TimeButtons[0]->x(), ClockRect.left());  // beside the clock
  // The screen-layout window hides the clock and enlarges the globe through
  // the main window's size commands.
  QTimer::singleShot(0, [] {
    ScreenLayoutForm1->ComboBox4->setCurrentIndex(0);
    ScreenLayoutForm1->ComboBox2->setCurrentIndex(3);
    ScreenLayoutForm1->BitBtn1Click();
  });
  const int clockX = ClockCentreX, clockY = ClockCentreY;
  form->ScreenLayout1->trigger();
  EXPECT_EQ(ClockSize, 0);
  EXPECT_EQ(GlobeSize, InsetSizeLarge);
  EXPECT_TRUE(form->GlobeSizes[2]->isChecked());
  EXPECT_FALSE(form->ClockSizes[0]->isChecked() || form->ClockSizes[1]->isChecked() || form->ClockSizes[2]->isChecked());
  form->PaintBox1->grab();
  EXPECT_EQ(back.Pixel(clockX, clockY), MaskBitmap->Pixel(clockX, clockY));  // no clock face left
  EXPECT_LT(form->TimeButtons[0]->x(), 0);                         // the time buttons went with it
  // No place chosen yet: the chart shows latitude 0, longitude 0 and says so.
  EXPECT_EQ(ObserverLocationSet.load(), 1);
  EXPECT_EQ(form->StatusText(0).rfind("No observer location chosen", 0), 0u) << form->StatusText(0);
  form->Timer1Timer();
  EXPECT_NE(form->StatusText(0), "");
  // A place chosen (here as the location window and scripts do) ends the note.
  THorizonArray flat{};
  ChangeObserverLocation("Quito", ObserverTime.TimeZone, 0, -0.22 / DegPerRad, 78.5 / DegPerRad, flat);
  form->Timer1Timer();
  EXPECT_EQ(form->StatusText(0), "");
  // The pointer over the middle of the sky fills the read-out panels.
  form->PaintBox1MouseMove(MapWidth / 2, MapHeight / 2);
  form->Chart().MarkReplot();
  form->Timer1Timer();
  EXPECT_EQ(form->StatusText(1).rfind("ra=", 0), 0u) << form->StatusText(1);
  EXPECT_EQ(form->StatusText(2), "180\u00b0 fov");
  if (const char* shot = std::getenv("NOCTRA_SCREENSHOT")) form->grab().save(QString::fromUtf8(shot));

  // The cursor watch names the bright star under the pointer in the status
  // bar; a right click there opens the chart's pop-up captioned with it, and
  // its Center puts the clicked point in the middle.
  // A star of magnitude 1.5 or brighter near the middle, away from it by
  // more than `aside` pixels (first in the table).
  auto brightStarNearTheMiddle = [&](double aside, int& sx, int& sy) {
    sx = sy = -1;
    for (int32_t i = 0; i < SaoStarCount && sx < 0; ++i) {
      const TSaoStar& star = SaoStars[std::size_t(i)];
      double alt = 0, az = 0;
      int32_t x = 0, y = 0;
      if (star.Magnitude > 35 || !MainPlotter->PlaceRaDec(star.RA, star.Dec, alt, az, x, y)) continue;
      if (std::abs(x - MapWidth / 2) < MapWidth / 5 && std::abs(y - MapHeight / 2) < MapHeight / 5 &&
          std::hypot(x - MapWidth / 2, y - MapHeight / 2) > aside) {
        sx = x;
        sy = y;
      }
    }
  };
  int sx = -1, sy = -1;
  brightStarNearTheMiddle(30, sx, sy);
  ASSERT_GE(sx, 0) << "no bright star near the middle";
  form->PaintBox1MouseMove(sx, sy);
  form->Timer1Timer();
  uint8_t kind = 0;
  int32_t index = 0;
  ASSERT_TRUE(RunEventsUntil([&] { return GetCursorObject(kind, index), kind != 0; }, kEventWaitMs));
  EXPECT_TRUE(RunEventsUntil([&] { return !form->StatusText(3).empty(); }, kEventWaitMs));
  form->PaintBox1MouseDown(1, sx, sy);
  EXPECT_TRUE(form->PopupMenu1->isVisible());
  EXPECT_TRUE(form->ObjectName1->text().endsWith(QLatin1Char(':'))) << form->ObjectName1->text().toStdString();
  form->PopupMenu1->hide();
  // Its Information opens the star's information window.
  EXPECT_EQ(SelectionKind, 2);
  EXPECT_TRUE(form->Information1->isEnabled());
  EXPECT_FALSE(startup_fixture::ModalCaptionOf(form->Information1).isEmpty());
  const double clickRA = form->ClickRA, clickDec = form->ClickDec;
  form->Center1->trigger();
  form->Timer1Timer();  // renders the re-centred chart
  double ra = 0, dec = 0;
  ASSERT_TRUE(form->Chart().ScreenToRaDec(MapWidth / 2, MapHeight / 2, ra, dec));
  // One pixel of this chart is about 0.25°: the centre pixel lies within 0.5°.
  EXPECT_LT(AngularDistance(ra, dec, clickRA, clickDec) * 57.29577951308232, 0.5);

  // A right click the watch has not searched yet (held here; a quick hand
  // is ahead of it too) names the star at the click, not the star before.
  int tx = -1, ty = -1;
  brightStarNearTheMiddle(40, tx, ty);
  ASSERT_GE(tx, 0) << "no second bright star near the middle";
  ASSERT_TRUE(PauseCursorThread());
  form->PaintBox1MouseMove(tx, ty);
  form->PaintBox1MouseDown(1, tx, ty);
  form->PopupMenu1->hide();
  ResumeCursorThread();
  ASSERT_EQ(SelectionKind, 2);
  {
    const TSaoStar& star = SaoStars[std::size_t(SelectionIndex - 1)];
    double alt = 0, az = 0;
    int32_t x = 0, y = 0;
    ASSERT_TRUE(MainPlotter->PlaceRaDec(star.RA, star.Dec, alt, az, x, y));
    EXPECT_LE(std::hypot(x - tx, y - ty), 3.0) << "selected a star away from the click";
  }

  // A click in placing mode stores a point of interest and ends the mode.
  const int32_t points = POICount;
  form->Newpointofinterest1Click();
  form->PaintBox1MouseDown(0, MapWidth / 2 + 40, MapHeight / 2);
  EXPECT_EQ(POICount, points + 1);
  EXPECT_FALSE(form->Keys.PointOfInterestMode);

  // A settings file with every owner, opened again, gives the same view
  // (centred on the clicked star, which is above the horizon whatever the
  // hour: the magnifier and the printed map below show sky there).
  form->FormKeyPress('+');
  form->Chart().CentreOn(clickRA, clickDec);
  const double zoom = form->Chart().Zoom();
  ASSERT_TRUE(WriteSettingsFile(home.File("view.ssf"), 1));
  form->FormKeyPress('/');
  EXPECT_NE(form->Chart().Zoom(), zoom);
  ASSERT_EQ(ReadSettingsFile(home.File("view.ssf")), TSettingsReadResult::Ok);
  EXPECT_EQ(form->Chart().Zoom(), zoom);
  EXPECT_DOUBLE_EQ(form->Chart().CentreRA(), clickRA);
  EXPECT_FALSE(form->Chart().FullView());

  // The one-shot timer lets the magnifier render and registers the types
  // (on a loaded machine its two seconds may have passed already).
  if (form->Timer2->isActive()) form->Timer2Timer();
  EXPECT_EQ(MagnifierReady.load(), 1);
  // From now on the magnifier shows the sky under the pointer in its inset.
  const auto rendersBefore = MagnifierCountsForTest().Renders;  // earlier tests in this process count too
  form->PaintBox1MouseMove(MapWidth / 2, MapHeight / 2);
  form->Timer1Timer();
  ASSERT_TRUE(RunEventsUntil([&] { return MagnifierCountsForTest().Renders > rendersBefore; }, kEventWaitMs));
  form->PaintBox1->grab();
  {
    int lit = 0;
    for (int dy = -20; dy <= 20; ++dy)
      for (int dx = -20; dx <= 20; ++dx) lit += form->BackBuffer().Pixel(MagnifierCentreX + dx, MagnifierCentreY + dy) != 0;
    EXPECT_GT(MagnifierSize, 0);
    EXPECT_TRUE(InsideMagnifier(MagnifierCentreX, MagnifierCentreY));
    EXPECT_GT(lit, 0);  // stars or grid inside the ring
  }
  if (const char* shot = std::getenv("NOCTRA_SCREENSHOT2")) form->grab().save(QString::fromUtf8(shot));
  EXPECT_TRUE(platform::FileExists(home.File("share/mime/packages/noctra-planetarium.xml")));

  // The printed map read back with Poppler's tools: the header text, a
  // chart that is not blank, the magnifier view of the clicked point of
  // interest (not of one below the horizon: visible points only) and the
  // list of the chart's objects.
  const bool poppler = testing_support::HavePoppler();
  if (!poppler && testing_support::UnderCI())
    ADD_FAILURE() << "pdftotext (or pdftoppm) is missing under CI: install the Debian package poppler-utils";
  if (poppler) {
    // The clicked point again through a telescope that mirrors and inverts:
    // 203 mm at f/10 with a 25 mm eyepiece of 52° magnifies 81.2 times, a
    // true field of 0.640° (38').
    const TMagnifierGrid teles = TeleGrid, eyes = EyeGrid;
    const std::string tele[kTeleColumns] = {"C8", "203mm", "10", "-1", "-1", "1"};
    const std::string eye[kEyeColumns] = {"Plossl 25mm", "25mm", "52"};
    std::copy(std::begin(tele), std::end(tele), TeleGrid.Cells[1]);
    std::copy(std::begin(eye), std::end(eye), EyeGrid.Cells[1]);
    TeleGrid.RowCount = EyeGrid.RowCount = 3;
    BuildFieldTables();
    ComputeFieldTable();
    double poiRA = 0, poiDec = 0;
    int32_t poiMode = 0;
    ASSERT_TRUE(GetPointOfInterest(points + 1, poiRA, poiDec, poiMode));
    ASSERT_TRUE(AddPointOfInterest(10100, "Scope", false, false, "", poiRA, poiDec));
    // The nadir: never shown by the magnifier.
    const double nadirRA = std::fmod(ObserverTime.LocalSidereal + M_PI, 2 * M_PI);
    ASSERT_TRUE(AddPointOfInterest(4, "Under the feet", false, false, "", nadirRA, -ObserverTime.Latitude));
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(300);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(home.File("map.pdf")));
    TPrintOptions options;
    options.objectList = true;
    ASSERT_TRUE(PrintStarMap(*form, printer, options));
    // The printed map's objects, taken before events run again (a later
    // screen render has its own list).
    const std::vector<int32_t> records = form->Chart().ObjectRecords();
    EXPECT_FALSE(form->RenderSuspended);
    if (const char* keep = std::getenv("NOCTRA_PRINTPDF"))
      QFile::copy(QString::fromStdString(home.File("map.pdf")), QString::fromUtf8(keep));
    const QString out = PdfText(home.File("map.pdf"));
    for (const QString& text : {QStringLiteral("Latitude = "), QStringLiteral("LST "),
                                QStringLiteral("Point of Interest #%1 - Object%1").arg(points + 1),
                                QStringLiteral("Point of Interest #%1 - Scope w/Plossl 25mm").arg(points + 2),
                                QStringLiteral("(FOV = 38'), mir&inv"), QStringLiteral("Limiting magnitude = 12.0"),
                                QStringLiteral("CATALOG#")})
      EXPECT_TRUE(out.contains(text)) << text.toStdString() << "\n" << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("Under the feet")));
    TeleGrid = teles;
    EyeGrid = eyes;
    BuildFieldTables();
    ComputeFieldTable();
    // Every object of the printed map has its row: the last one's number
    // and name.
    ASSERT_FALSE(records.empty());
    {
      TObjectsLock lock;
      ASSERT_TRUE(ObjectCatalog->SeekRecord(records.back()));
      const tCO& o = *ObjectCatalog;
      for (const std::string& cell : {o.CatalogName() + " " + o.ID + o.SubID, o.DisplayName()})
        EXPECT_TRUE(out.contains(QString::fromStdString(cell))) << cell;
    }
    // Pages: the map, one of points, and the table at six lines an inch
    // between margins of 1.5 and 0.5 inch (a page ends with the line that
    // reaches the bottom margin), every page with its headings.
    const double inches = printer.pageRect(QPrinter::Inch).height();
    const int perPage = int(std::ceil((inches - 2.0) * 6));
    const int tablePages = (int(records.size()) + perPage - 1) / perPage;
    EXPECT_EQ(PdfPages(home.File("map.pdf")), 2 + tablePages);
    EXPECT_EQ(out.count(QStringLiteral("CATALOG#")), tablePages);
    const QImage page = testing_support::PdfFirstPage(home.File("map.pdf"), 40);
    ASSERT_FALSE(page.isNull());
    if (const char* shot = std::getenv("NOCTRA_PRINTSHOT"))
      testing_support::PdfFirstPage(home.File("map.pdf"), 100).copy(0, 0, 850, 320).save(QString::fromUtf8(shot));
    // The lower part of the page holds the map: count its dark marks.
    int marks = 0;
    for (int y = page.height() - page.width() + 10; y < page.height() - 10; ++y)
      for (int x = 10; x < page.width() - 10; ++x)
        if (qGray(page.pixel(x, y)) < 128) ++marks;
    EXPECT_GT(marks, 2000);
  }

  // A new screen size stops a running globe move (joined), and the mask
  // and the insets follow the new chart size.
  StartGlobeMove(0.9, 1.0);
  ASSERT_TRUE(GlobeMoving());
  const QSize before = form->ScreenSize();
  form->ScreenSize = [before] { return QSize(before.width() - 100, before.height() - 60); };
  form->FormResize();
  EXPECT_EQ(GlobeThread, nullptr);
  EXPECT_EQ(MaskBitmap->Width(), BackBufferWidth);
  EXPECT_EQ(MaskBitmap->Height(), BackBufferHeight);
  EXPECT_EQ(GlobeCentreX, MapWidth - (int(std::lround(GlobeSize * InsetAspect)) + 10));
  EXPECT_EQ(MagnifierCentreY, MapHeight - MagnifierSize - 11);

  form->close();
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
  EXPECT_EQ(CloseState, kClosing);
  EXPECT_FALSE(AnyWorkerRunning());
  EXPECT_EQ(GlobeThread, nullptr);  // a globe move is ended and joined too
  // The cameras' and the imaging windows' settings stored beside each other.
  for (const char* file : {"ImagingSettings.xml", "ImagingConsoleSettings.xml", "AutoGuideSettings.xml",
                           "PlateSolveSettings.xml"})
    EXPECT_TRUE(platform::FileExists(home.File(file))) << file;
  EXPECT_EQ(MaskBitmap, nullptr);
  EXPECT_EQ(AutoBitmapCountForTest(), 0);  // the Sun and Moon pictures went too
  EXPECT_EQ(SaoStarCount, 0);  // the arrays are freed after the threads ended
}

TEST_F(StartUp, ClosingWhileTheStarsLoadWaitsForTheLoader) {
  ASSERT_TRUE(form->StartUp());
  form->show();
  form->Timer1Timer();  // the first tick; the stars still load
  ASSERT_TRUE(StarThreadRunning());
  form->close();  // refused until the loader has ended
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(CloseState, kCloseRequested);
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
  EXPECT_FALSE(StarThreadRunning());
  EXPECT_EQ(SaoStarCount, 0);
}

// A window's end leaves nothing of its run to a window made again in the
// same process: every bitmap its start made is given back to the
// process-wide list (which holds only so many, so that a later start would
// fail), its points of interest go, and the overlay threads' pause for the
// star load it stopped ends.
TEST_F(StartUp, AWindowsEndLeavesNothingOfItsRunToTheNext) {
  const int32_t before = AutoBitmapCountForTest();
  ASSERT_TRUE(form->StartUp());
  ASSERT_NE(SunBitmap, nullptr);
  ASSERT_NE(MoonBitmap, nullptr);
  EXPECT_GT(AutoBitmapCountForTest(), before);
  ASSERT_TRUE(AddPointOfInterest(0, "", false, false, "", 1.0, 0.5));
  delete form;  // while the stars still load
  form = nullptr;
  EXPECT_EQ(AutoBitmapCountForTest(), before);
  EXPECT_EQ(SunBitmap, nullptr);
  EXPECT_EQ(MoonBitmap, nullptr);
  EXPECT_EQ(POICount, 0);
  EXPECT_EQ(CursorGate.Count(), 0);
  EXPECT_EQ(MagnifierGate.Count(), 0);
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
  EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
}

TEST_F(StartUp, ThePlaceComesFromThePickListsDefaultEntry) {
  ASSERT_TRUE(WritePickList(home.File("picklist.dat"), {"Home" + PickListSeparator + ";1N;1E;0;F",
                                                        "Old Farm*" + PickListSeparator + ";48.1N;11.6E;1;T"}));
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();  // the location window reads the pick list
  form->show();
  form->Timer1Timer();  // the first tick
  EXPECT_NEAR(ObserverTime.Latitude * DegPerRad, 48.1, 1e-9);
  EXPECT_NEAR(ObserverTime.Longitude * DegPerRad, 360.0 - 11.6, 1e-9);  // west positive
  EXPECT_EQ(LocationName, "Old Farm");
  EXPECT_EQ(ObserverTime.TimeZone.Bias, -60);
  EXPECT_EQ(form->StatusText(0).find("No observer location"), std::string::npos);
  // The globe menu lists the pick list with the default checked.
  EXPECT_TRUE(form->Picks[1]->isVisible());
  EXPECT_TRUE(form->Picks[1]->isChecked());
  EXPECT_EQ(form->Picks[0]->text(), "Home");
  EXPECT_FALSE(form->Picks[2]->isVisible());
  // Choosing another entry makes it the observer's place.
  form->Picks[0]->trigger();
  EXPECT_EQ(LocationName, "Home");
  EXPECT_NEAR(ObserverTime.Latitude * DegPerRad, 1.0, 1e-9);
  EXPECT_TRUE(form->Picks[0]->isChecked());
  EXPECT_FALSE(form->Picks[1]->isChecked());
  form->close();
  EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
}

// The program started as run.sh starts it with a "default.ast" of 1,001
// asteroids: the list is named, with the limit, at start (in a box and the
// log) though Settings > Solar System is not opened; the window opened
// later tells nothing again, and its Save as default answered No leaves
// the file byte for byte.
TEST_F(StartUp, ElementListOverTheLimitIsToldAtStartAndKept) {
  std::filesystem::current_path(startup_fixture::RunFolder(home.File("run/")));
  std::filesystem::remove("default.ast");  // the link to the built list
  std::string list;
  for (int i = 0; i < 1001; ++i)
    list += "Y   " + ("Body " + std::to_string(i) + std::string(30, ' ')).substr(0, 30) + " 2461000.5\r\n";
  testing_support::WriteText("default.ast", list);
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  auto boxes = dialogs.Records();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("\"default.ast\" holds more than 1,000 asteroids"), std::string::npos) << boxes[0].text;
  const std::vector<std::string> log = LogLines().Lines();
  EXPECT_NE(std::find(log.begin(), log.end(), "[Solar System] " + boxes[0].text), log.end());
  EXPECT_FALSE(SolSysForm1 && SolSysForm1->isVisible());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  dialogs.Clear();
  dialogs.QueueAnswer(platform::IDNO);
  QTimer::singleShot(0, [] {
    auto* w = dynamic_cast<TSolSysForm1*>(QApplication::activeModalWidget());
    if (!w) return;
    w->SaveDefaultButton->click();
    w->CancelButton->click();
  });
  form->Solarsystem1->trigger();
  boxes = dialogs.Records();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Replace it with the 0 asteroids"), std::string::npos) << boxes[0].text;
  const std::vector<uint8_t> kept = testing_support::ReadFile("default.ast");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), list);
}

// Every way out ends in the one close, idle and with each kind of modal
// window open: the window system's close (the close button) and SIGTERM
// cancel what is open, join the workers and store what a normal close
// stores.
TEST_F(StartUp, EveryWayOutClosesAndSaves) {
  const std::string saved = home.File("ImagingSettings.xml");
  const std::pair<std::string, std::function<void()>> ways[] = {
      {"close button", nullptr},
      {"idle", [] {}},
      {"about box", [&] { form->About1Click(); }},
      {"print setup", [&] { form->PrintSetup1Click(); }},
      {"options window", [&] { form->StarCatalog1Click(); }},
      {"save as dialog", [&] { form->Save2Click(); }},
      {"message box", [] { platform::ShowMessageBox("Go on?", "Test", platform::MsgButtons::YesNo, platform::MsgIcon::Question); }},
  };
  for (const auto& [name, open] : ways) {
    if (destroyed) form = NewWindow();
    CloseState = kRunning;
    ASSERT_TRUE(form->StartUp()) << name;
    // The port output of the cameras' switching lines runs from the start
    // to the end.
    EXPECT_TRUE(imaging::PortIOReady()) << name;
    form->show();
    AboutNoctraForm1 = new TAboutNoctraForm1(form);
    platform::InstallQtDialogs();
    bool modalOpen = false;
    CloseOnTerminationSignals([&] {
      modalOpen = QApplication::activeModalWidget() != nullptr;
      form->EndProgram();
    });
    if (!open) {
      QCloseEvent e;
      QCoreApplication::sendEvent(form->windowHandle(), &e);
      EXPECT_TRUE(form->windowHandle()->isVisible());  // until the workers have ended
    } else {
      QTimer::singleShot(200, [] { std::raise(SIGTERM); });
      open();
    }
    EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs)) << name;
    EXPECT_EQ(imaging::PortIOInitCount(), 0) << name;
    EXPECT_FALSE(imaging::PortIOReady()) << name;
    EXPECT_EQ(modalOpen, open && name != "idle") << name;
    EXPECT_TRUE(platform::FileExists(saved)) << name;
    std::filesystem::remove(saved);
    platform::SetDialogs(&dialogs);
    CloseOnTerminationSignals(nullptr);
    AboutNoctraForm1 = nullptr;
  }
}

// The real program ended by SIGTERM while its start-up's first message box
// is open (a damaged "ObjectOptions.xml", told before any other setting is
// read): the box is closed, the start-up reads the rest unasked, and the
// program ends with status 0 and the end's saves made over the user's own
// settings, never over defaults. The damaged files it kept aside (that one
// and two more found after the signal) are named by the end's log on
// standard error, and told at the next start in one box, once.
TEST_F(StartUp, RealProgramEndsOnSigtermWhileAStartUpBoxIsOpen) {
  const std::string user = home.File("boxed/"), run = startup_fixture::RunFolder(user + "run/");
  std::filesystem::remove(run + "ObjectOptions.xml");
  testing_support::WriteText(run + "ObjectOptions.xml", "<?xml version=\"1.0\"?>\n<ObjectCatalogs><Selec");
  testing_support::WriteText(run + "ImagingSettings.xml",
                             "<?xml version=\"1.0\"?>\n<Imaging><IFF1><PixelsX>1234</PixelsX></IFF1></Imaging>\n");
  testing_support::WriteText(run + "PlateSolveSettings.xml", "<PlateSolve><Selections><ApiKey>k</ApiKey></Sel");
  testing_support::WriteText(run + "AutoGuideSettings.xml", "not a settings file");
  const std::string store = user + ".config/Tarvel Software/Noctra Planetarium.ini";
  std::filesystem::create_directories(user + ".config/Tarvel Software");
  testing_support::WriteText(store, "[Solar%20System]\nast%20disp=1\n");
  QProcess program;
  startup_fixture::LaunchProgram(program, user, run);
  auto keptCopy = [&](const std::string& stem) {
    for (const auto& f : std::filesystem::directory_iterator(run))
      if (f.path().filename().string().rfind(stem + ".damaged-", 0) == 0) return f.path().string();
    return std::string();
  };
  ASSERT_TRUE(RunEventsUntil([&] { return !keptCopy("ObjectOptions").empty(); }, kEventWaitMs));
  ASSERT_EQ(program.state(), QProcess::Running);
  ::kill(pid_t(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(kEventWaitMs));
  EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0)
      << program.exitStatus() << " " << program.exitCode();
  EXPECT_NE(testing_support::ReadText(run + "ImagingSettings.xml").find("<PixelsX>1234</PixelsX>"), std::string::npos);
  for (const char* file : {"ImagingConsoleSettings.xml", "AutoGuideSettings.xml", "PlateSolveSettings.xml"})
    EXPECT_TRUE(platform::FileExists(run + file)) << file;
  EXPECT_NE(testing_support::ReadText(store).find("ast%20disp=1"), std::string::npos);
  // Nothing waited for an answer after the signal: the start-up's script
  // and the deferred start-up did not run.
  EXPECT_FALSE(platform::FileExists(user + ".local/share/mime/packages/noctra-planetarium.xml"));
  const std::string err = program.readAllStandardError().toStdString();
  std::vector<std::string> kept;
  for (const char* stem : {"ObjectOptions", "PlateSolveSettings", "AutoGuideSettings"}) {
    kept.push_back(keptCopy(stem));
    ASSERT_FALSE(kept.back().empty()) << stem;
    const std::string name = kept.back().substr(run.size());
    const std::size_t at = err.find("[Settings] Can't read file " + run + stem + ".xml (");
    EXPECT_TRUE(at != std::string::npos &&
                err.find("): kept as " + name + ", default settings used; told at the next start\n", at) !=
                    std::string::npos)
        << stem << "\n" << err;
  }
  // The next start (in this process, on the same settings store) tells
  // them in one box before anything else; the start after it does not.
  testing_support::ScopedEnv config{"XDG_CONFIG_HOME", user + ".config"};
  const std::string told = KeptFilesToldAtStart(*form, dialogs);
  ASSERT_FALSE(told.empty()) << (dialogs.Count() ? dialogs.Records()[0].text : "no box");
  for (const std::string& k : kept) EXPECT_NE(told.find("): kept as " + k + "\r\n"), std::string::npos) << told;
  form->close();
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
  form = NewWindow();
  CloseState = kRunning;
  dialogs.Clear();
  ASSERT_TRUE(form->StartUp());
  for (const auto& box : dialogs.Records()) EXPECT_EQ(box.text.find("last started"), std::string::npos) << box.text;
  EXPECT_EQ(testing_support::ReadText(store).find("Kept"), std::string::npos);
}

// The real program killed (SIGKILL: nothing of its end runs) while its
// start-up's first message box is open, telling a damaged
// "ObjectOptions.xml" it has kept aside: the next start tells the kept file
// all the same, in its first box.
TEST_F(StartUp, AFileKeptAsideIsToldAfterAKillDuringTheFirstBox) {
  const std::string user = home.File("killed/"), run = startup_fixture::RunFolder(user + "run/");
  std::filesystem::remove(run + "ObjectOptions.xml");
  testing_support::WriteText(run + "ObjectOptions.xml", "<?xml version=\"1.0\"?>\n<ObjectCatalogs><Selec");
  // Read (and kept aside) only after the first box is answered.
  const std::string solver = "<PlateSolve><Selections><ApiKey>k</ApiKey></Sel";
  testing_support::WriteText(run + "PlateSolveSettings.xml", solver);
  const std::string store = user + ".config/Tarvel Software/Noctra Planetarium.ini";
  // Whether the settings store holds `value` (as any value).
  auto stored = [&](const std::string& value) {
    if (!platform::FileExists(store)) return false;
    for (const auto& [key, text] : platform::ParseSettingsText(QByteArray::fromStdString(testing_support::ReadText(store))))
      if (text.toStdString() == value) return true;
    return false;
  };
  QProcess program;
  startup_fixture::LaunchProgram(program, user, run);
  std::string kept;
  auto noted = [&] {
    for (const auto& f : std::filesystem::directory_iterator(run))
      if (f.path().filename().string().rfind("ObjectOptions.damaged-", 0) == 0) kept = f.path().string();
    return !kept.empty() && stored(kept);
  };
  ASSERT_TRUE(RunEventsUntil(noted, kEventWaitMs)) << "the kept file is not noted while its box is open";
  ASSERT_EQ(program.state(), QProcess::Running);
  ::kill(pid_t(program.processId()), SIGKILL);
  ASSERT_TRUE(program.waitForFinished(kEventWaitMs));
  EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
  // The start-up never went past the box.
  EXPECT_EQ(testing_support::ReadText(run + "PlateSolveSettings.xml"), solver);

  testing_support::ScopedEnv config{"XDG_CONFIG_HOME", user + ".config"};
  const std::string told = KeptFilesToldAtStart(*form, dialogs);
  ASSERT_FALSE(told.empty()) << (dialogs.Count() ? dialogs.Records()[0].text : "no box");
  EXPECT_NE(told.find(run + "ObjectOptions.xml ("), std::string::npos) << told;
  EXPECT_NE(told.find("): kept as " + kept + "\r\n"), std::string::npos) << told;
  // Told and seen: the note is gone.
  EXPECT_FALSE(stored(kept));
}

// The real program, with the start-up script waiting in its input window,
// ends on SIGTERM with exit status 0 and every settings file stored.
TEST_F(StartUp, RealProgramEndsOnSigtermWithAWindowOpen) {
  QProcess program;
  ASSERT_TRUE(StartProgram(program, home.Path()));
  ::kill(pid_t(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(kEventWaitMs));
  EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
  for (const char* file : {"ImagingSettings.xml", "ImagingConsoleSettings.xml", "AutoGuideSettings.xml",
                           "PlateSolveSettings.xml"})
    EXPECT_TRUE(platform::FileExists(home.File("run/") + file)) << file;
}

// The real program, with a window open, ends on SIGHUP (its terminal
// closed, and the reader of its standard error gone with it while it has
// something to say: a settings file it cannot write) and on SIGQUIT as on
// SIGTERM: exit status 0 and every other settings file stored.
// Started with SIGHUP ignored (nohup), SIGHUP leaves it running.
TEST_F(StartUp, RealProgramEndsOnSighupAndSigquitAsOnSigterm) {
  for (const bool nohup : {false, true}) {
    SCOPED_TRACE(nohup ? "nohup, then SIGQUIT" : "SIGHUP");
    const std::string user = home.File(nohup ? "nohup/" : "hup/");
    int err[2];
    ASSERT_EQ(::pipe2(err, O_CLOEXEC), 0);
    QProcess program;
    ASSERT_TRUE(StartProgram(program, user, [nohup, errWrite = err[1]] {
      ::dup2(errWrite, STDERR_FILENO);
      if (nohup) ::signal(SIGHUP, SIG_IGN);
    }));
    // Made once the start has read the settings (a folder there then is
    // told as not a file): the end cannot write it.
    std::filesystem::create_directories(user + "run/AutoGuideSettings.xml");
    ::close(err[1]);
    ::close(err[0]);  // the terminal is gone
    const pid_t pid = pid_t(program.processId());
    ::kill(pid, SIGHUP);
    if (nohup) {
      ASSERT_FALSE(program.waitForFinished(1000)) << "SIGHUP ended it under nohup";
      ::kill(pid, SIGQUIT);
    }
    ASSERT_TRUE(program.waitForFinished(kEventWaitMs));
    EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0)
        << program.exitStatus() << " " << program.exitCode();
    for (const char* file : {"ImagingSettings.xml", "ImagingConsoleSettings.xml", "PlateSolveSettings.xml"})
      EXPECT_TRUE(platform::FileExists(user + "run/" + file)) << file;
  }
}

// The information windows' pictures read FITS files as the imaging windows
// do, and a refused one gives the reader's reason: in the box for a scaling
// that cannot be applied, else in the log under the box's "not valid".
TEST_F(StartUp, InformationPicturesReadFitsFiles) {
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  ASSERT_TRUE(TImagesPage::LoadPicture);
  imaging::TFitsHeader h = imaging::NewFitsHeader(16, 6, 4);
  const std::string file = home.File("m42.fts");
  ASSERT_TRUE(imaging::SaveFitsHeader(file, h, imaging::FitsData(std::size_t(h.DataBlocks * imaging::kFitsBlock), 0)));
  std::string why;
  EXPECT_EQ(TImagesPage::LoadPicture(file, why).size(), QSize(6, 4));
  std::string bytes = testing_support::ReadText(file);
  bytes.replace(bytes.find("BZERO   =                32768"), 30, "BZERO   =                1E300");
  testing_support::WriteText(file, bytes);
  EXPECT_TRUE(TImagesPage::LoadPicture(file, why).isNull());
  EXPECT_EQ(why, "BZERO = 1E300 cannot be applied to 16-bit data");
  // A picture that is not valid: the box says so, the log says why.
  bytes.replace(bytes.find("NAXIS   =                    2"), 30, "NAXIS   =                    0");
  testing_support::WriteText(file, bytes);
  EXPECT_TRUE(TImagesPage::LoadPicture(file, why).isNull());
  EXPECT_EQ(why, "Fits image is not valid");
  EXPECT_EQ(LogLines().LastLine(), "[Images] " + file +
                                       " is not loaded: NAXIS = 0: only pictures of 2 axes (or 3 with 1 or 3 planes) "
                                       "are read");
}

// Observer > New Date/Time: a time typed into the window moves the chart's
// instant, and the other page's time and the sidereal time follow it at
// once and while the heartbeat runs. At 0°, 0° in the zone UTC local time
// is UT. Apparent sidereal time at Greenwich on 2026-01-10 (the window's
// date) from astropy 5.2.1 (python3-astropy, ERFA eraGst06a; UT1 = UTC, no
// IERS download): Time('2026-01-10 21:45:30').sidereal_time('apparent',
// 'greenwich') is 5h07m12.43s, at 12:15:00 19h35m08.72s. The field shows
// whole seconds: one second either way.
TEST_F(StartUp, DateTimeWindowFollowsATypedTime) {
  ASSERT_TRUE(form->StartUp());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  form->NewDateTime1->trigger();
  ASSERT_TRUE(ClockTimeTool && ClockTimeTool->isVisible());
  ClockTimeTool->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ClockTimeTool));
  const struct {
    bool local;
    const char *typed, *shown;
    double lstSeconds;
  } cases[] = {{true, "214530", "21:45:30", 5 * 3600 + 7 * 60 + 12.43},
               {false, "121500", "12:15:00", 19 * 3600 + 35 * 60 + 8.72}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    ClockTimeTool->PageControl1->setCurrentIndex(c.local ? 0 : 1);
    QLineEdit* typed = c.local ? ClockTimeTool->Local.Time : ClockTimeTool->Universal.Time;
    QLineEdit* other = c.local ? ClockTimeTool->Universal.Time : ClockTimeTool->Local.Time;
    typed->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(typed->hasFocus());
    typed->setCursorPosition(0);
    QTest::keyClicks(typed, c.typed);  // over the field from its start
    // At once, before any tick; and after some ticks, the clock standing
    // still while the window is open.
    for (int ticks : {0, 5}) {
      for (int i = 0; i < ticks; ++i) {
        form->Timer1Timer();
        QCoreApplication::processEvents();
      }
      EXPECT_EQ(typed->text().toStdString(), c.shown);
      EXPECT_EQ(other->text().toStdString(), c.shown);
      const QString lst = ClockTimeTool->LocalSiderealTime1->text();
      EXPECT_NEAR(QTime::fromString(lst, QStringLiteral("hh:mm:ss")).msecsSinceStartOfDay() / 1000.0, c.lstSeconds, 1.0)
          << lst.toStdString();
    }
  }
  ClockTimeTool->accept();
  EXPECT_NEAR(ObserverTime.JD_UT, 2461050.5 + (12.25 / 24.0), 1.0 / 86400.0);  // 2026-01-10 12:15 UT
}

// The chart is drawn again, for the tick's instant, whenever the clock's
// minute or 24-hour hand moves (rounded minutes and tenths of an hour: at
// hh:mm:30 and hh:03:00, hh:09:00, ...). From 00:20:20 UT: 60 s real time
// passes 2 such moves, 600 s at 10x 11, 10 s at 60x 12; from 1 Hour/Second
// (3 simulated minutes a tick) every tick redraws; a stopped clock none.
TEST_F(StartUp, ChartFollowsTheClockAtEveryRate) {
  uint32_t ms = 1000;
  const double start = 2460676.5 + (20.0 + 20.0 / 60.0) / 1440.0;  // 2025-01-01 00:20:20 UT
  form->MsCounter = [&] { return ms; };
  form->SystemClock = [&] { return start + (ms - 1000) / 86400000.0; };
  ASSERT_TRUE(form->StartUp());
  EXPECT_TRUE(StarThreadRunning());  // the stars load from the start-up on
  form->Timer1->stop();
  form->Timer1Timer();  // the first tick
  ASSERT_TRUE(RunEventsUntil([] { return !StarThreadRunning(); }, kEventWaitMs));
  EXPECT_FALSE(form->Chart().ReplotPending());  // drawn at once, with no tick
  form->Timer1Timer();
  const struct {
    uint8_t flow, rate;
    int ticks, renders;
  } cases[] = {{kTimeForward, 0, 600, 2},  {kTimeForward, 1, 600, 11}, {kTimeForward, 2, 100, 12},
               {kTimeForward, 3, 20, 20},  {kTimeBackward, 4, 20, 20}, {kTimeStopped, 3, 50, 0}};
  for (const auto& c : cases) {
    TimeFlow = c.flow;
    TimeRate = c.rate;
    const int before = form->RenderCount;
    for (int i = 0; i < c.ticks; ++i) {
      ms += 100;
      const int rendered = form->RenderCount;
      form->Timer1Timer();
      ASSERT_TRUE(form->RenderCount == rendered || MainPlotter->Observer.JD_UT == ObserverTime.JD_UT);
    }
    EXPECT_EQ(form->RenderCount - before, c.renders) << int(c.flow) << " " << int(c.rate);
  }
  TimeFlow = kTimeForward;
  TimeRate = 0;
}
