#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>
#include <memory>

#include "app/core/file_types.h"
#include "app/core/picture_list.h"
#include "app/core/print_header.h"
#include "app/forms/browser_form.h"
#include "app/forms/main_form.h"
#include "app/forms/print_job.h"
#include "astro/observer.h"
#include "astro/timescales.h"
#include "astro/trig.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/single_window.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<TObserverTime> Place(double westDeg, double latDeg) {
  auto rec = std::make_unique<TObserverTime>();
  InitObserver(*rec);
  SetObserverLocation(*rec, westDeg / DegPerRad, latDeg / DegPerRad, 0);
  SetObserverUT(*rec, JulianDay(2024, 3, 20, 21.5));
  return rec;
}

}  // namespace

TEST(PrintHeader, LongitudeHemisphereFromTheSignedValue) {
  // Stored west-positive in [0, 2π): 10° E is stored as 350°.
  struct Case {
    double westDeg, latDeg;
    const char* text;
  } cases[] = {{350.0, 48.0, "Longitude = 10\u00b000.0' east"},
               {75.5, 40.0, "Longitude = 75\u00b030.0' west"},
               {180.0, -33.0, "Longitude = 180\u00b000.0' west"},
               {0.0, 51.5, "Longitude = 0\u00b000.0' west"}};
  for (const Case& c : cases) {
    auto rec = Place(c.westDeg, c.latDeg);
    const TPrintHeader h = MakePrintHeader(*rec, {});
    EXPECT_NE(h.left[1].find(c.text), std::string::npos) << h.left[1];
    EXPECT_NE(h.left[1].find(c.latDeg >= 0 ? " north" : " south"), std::string::npos);
  }
  auto rec = Place(0, 51.5);
  TPrintedView view;
  view.locationName = "Greenwich";
  view.zoom = 6.0;
  view.faintLimit = 9.0;
  const TPrintHeader h = MakePrintHeader(*rec, view);
  EXPECT_EQ(h.left[0], "From: Greenwich (Time Zone=0)");
  EXPECT_NE(h.left[2].find("(FOV = 30\u00b0)"), std::string::npos) << h.left[2];
  EXPECT_EQ(h.left[3], "Limiting magnitude = 9.0");
  EXPECT_EQ(h.date, "March 20, 2024");
  EXPECT_EQ(h.times[1], "UT 21:30");
  EXPECT_EQ(PrintedLimitingMagnitude(1.9, 12), 6.0);
  EXPECT_EQ(PrintedLimitingMagnitude(2.5, 12), 7.0);
}

TEST(PrintHeader, OptionsWindowRules) {
  TPrintOptions o;
  EXPECT_FALSE(PrintFormState(o, 0).poiEnabled);
  EXPECT_TRUE(PrintFormState(o, 0).okEnabled);
  o.mainView = false;
  EXPECT_FALSE(PrintFormState(o, 0).okEnabled);  // nothing to print
  EXPECT_TRUE(PrintFormState(o, 2).okEnabled);
  EXPECT_TRUE(PrintFormState(o, 2).poiChoiceEnabled);
  o.pointsOfInterest = false;
  EXPECT_FALSE(PrintFormState(o, 2).okEnabled);
  // The window's start values: high contrast off, main view and points of
  // interest on, visible points only, no object list; shown and hidden,
  // it keeps them.
  TPrintForm1 window;
  window.show();
  window.hide();
  EXPECT_FALSE(window.BWCheckBox1->isChecked() || window.ObjectListCheckBox1->isChecked());
  EXPECT_TRUE(window.MainViewCheckBox1->isChecked());
  EXPECT_TRUE(window.POICheckBox1->isChecked());
  EXPECT_TRUE(window.VisiblePOIRadioButton1->isChecked());
}

TEST(PrintJob, FailingPrinterRestoresRendering) {
  TMainForm1 form;
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QStringLiteral("/nonexistent-folder/x.pdf"));
  EXPECT_FALSE(PrintStarMap(form, printer, TPrintOptions{}));
  EXPECT_FALSE(form.RenderSuspended);
}

// File > Print with no printer installed and no PDF file chosen says so
// and asks for a file; a print that fails (a file that cannot be written, a
// script's print with no file) leaves printing usable: the printer takes
// the file Print Setup gives it, and the next print fills the page.
TEST(PrintJob, AFailedPrintLeavesPrintingUsable) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  platform::SingleWindow(PrintForm1, &form)->Options.skipWindow = true;
  // As a fresh session finds it where no printer is installed.
  MainPrinter().setOutputFileName(QString());
  MainPrinter().setOutputFormat(QPrinter::PdfFormat);
  auto lastBox = [&] { return dialogs.Last().text; };

  dialogs.QueueAnswer(platform::IDCANCEL);
  form.Print1->trigger();
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_NE(lastBox().find("No printer is installed"), std::string::npos) << lastBox();

  const std::string unwritable = dir.File("no such folder/map.pdf");
  dialogs.QueueAnswer(platform::IDOK);
  dialogs.QueueFile({true, unwritable, 1});
  form.Print1->trigger();
  ASSERT_EQ(dialogs.Count(), 4u);  // the question again, the file dialog, the failure
  EXPECT_EQ(lastBox(), "The printer could not be started.\r\nThe PDF file \"" + unwritable + "\" cannot be written.");

  // A script's print on a printer without a file fails; the printer is
  // not left unable to take one.
  MainPrinter().setOutputFileName(QString());
  MainPrinter().setOutputFormat(QPrinter::PdfFormat);
  EXPECT_FALSE(PrintStarMapOnMainPrinter(form, TPrintOptions{}));
  const std::string pdf = dir.File("map.pdf");
  MainPrinter().setOutputFileName(QString::fromStdString(pdf));
  ASSERT_EQ(MainPrinter().outputFileName().toStdString(), pdf);
  form.Print1->trigger();
  EXPECT_EQ(dialogs.Count(), 4u) << lastBox();
  EXPECT_FALSE(form.RenderSuspended);
  NOCTRA_REQUIRE_TOOL(testing_support::HavePoppler(), "pdftoppm", "poppler-utils");
  // The page: the header's lines at the top, the map's frame below.
  const QImage page = testing_support::PdfFirstPage(pdf, 30);
  ASSERT_FALSE(page.isNull());
  if (const char* shot = std::getenv("NOCTRA_PRINTSHOT")) testing_support::PdfFirstPage(pdf, 60).save(shot);
  auto darkIn = [&](int top, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < page.width(); ++x) n += qGray(page.pixel(x, y)) < 128;
    return n;
  };
  EXPECT_GT(darkIn(0, page.height() / 4), 200);
  EXPECT_GT(darkIn(page.height() / 4, page.height()), 2 * page.width());
  MainPrinter().setOutputFileName(QString());
}

// File > Print Setup only keeps the printer's choices: its caption and its
// accept button say so, and no button reads "Print".
TEST(PrintJob, PrinterSetupSaysWhatItDoes) {
  QPrinter printer;
  QPrintDialog dialog(&printer);
  MakePrinterSetupDialog(dialog);
  dialog.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Print Setup"));
  QStringList captions;
  for (const QPushButton* b : dialog.findChildren<QPushButton*>())
    if (b->isVisible()) captions << b->text().remove(QLatin1Char('&'));
  EXPECT_TRUE(captions.contains(QStringLiteral("OK"))) << captions.join(QLatin1Char(',')).toStdString();
  EXPECT_FALSE(captions.contains(QStringLiteral("Print"))) << captions.join(QLatin1Char(',')).toStdString();
  dialog.reject();
}

TEST(FileTypes, DesktopEntryAndMimeTypeInTheDataFolder) {
  testing_support::TempDir dir;
  EXPECT_EQ(RegisterFileTypes(dir.File("share"), "/opt/noctra/noctra", "/home/u/noctra"), 2);
  const std::string desktop =
      testing_support::ReadText(dir.File("share/applications/noctra-planetarium.desktop"));
  EXPECT_NE(desktop.find("Exec=\"/opt/noctra/noctra\" %f\n"), std::string::npos);
  EXPECT_NE(desktop.find("MimeType=application/x-noctra-settings;"), std::string::npos);
  const std::string mime = testing_support::ReadText(dir.File("share/mime/packages/noctra-planetarium.xml"));
  EXPECT_NE(mime.find("<glob pattern=\"*.ssf\"/>"), std::string::npos);
  // A folder that cannot be created is skipped silently.
  testing_support::WriteText(dir.File("file"), "x");
  EXPECT_EQ(RegisterFileTypes(dir.File("file"), "/a", "/b"), 0);
}

TEST(BrowserForm, CapturesThePageText) {
  testing_support::TempDir dir;
  testing_support::WriteText(dir.File("page.html"), "<html><body><h1>Survey</h1><p>Plate 42</p></body></html>");
  TBrowserForm1 browser;
  browser.BrowserURL = "file://" + dir.File("page.html");
  browser.CaptureText = true;
  browser.CloseWhenLoaded = true;
  bool finished = false, ok = false;
  QObject::connect(&browser, &TBrowserForm1::NavigateComplete, [&](bool good) {
    finished = true;
    ok = good;
  });
  browser.show();
  ASSERT_TRUE(testing_support::RunEventsUntil([&] { return finished; }));
  ASSERT_TRUE(ok);
  EXPECT_NE(browser.PageText.find("Plate 42"), std::string::npos) << browser.PageText;
  EXPECT_FALSE(browser.isVisible());
  // A failed fetch keeps the text.
  finished = false;
  browser.BrowserURL = "file://" + dir.File("missing.html");
  browser.FormShow();
  EXPECT_TRUE(testing_support::RunEventsUntil([&] { return finished; }));
  EXPECT_FALSE(ok);
  EXPECT_NE(browser.PageText.find("Plate 42"), std::string::npos);
}

TEST(PictureList, DefaultCatalogueInstalledOrAskedFor) {
  testing_support::TempDir dir;
  const std::string f = dir.File("");
  auto make = [&](const char* stem, const char* text) {
    testing_support::WriteText(f + stem + ".index", text);
    testing_support::WriteText(f + stem + ".data", text);
  };
  auto text = [&](const std::string& name) { return testing_support::ReadText(f + name); };
  platform::ScopedScriptedDialogs dialogs;
  EXPECT_EQ(MigratePictureList(f), TPictureListMigration::Nothing);
  make("defaultimagelisting", "new");
  EXPECT_EQ(MigratePictureList(f), TPictureListMigration::Installed);
  EXPECT_EQ(text("imagelisting.data"), "new");
  EXPECT_FALSE(platform::FileExists(f + "defaultimagelisting.index"));
  EXPECT_TRUE(dialogs.Records().empty());

  struct Case {
    int answer;
    TPictureListMigration result;
    const char* kept;
    bool defaultsLeft;
  } cases[] = {{platform::IDCANCEL, TPictureListMigration::Postponed, "old", true},
               {platform::IDNO, TPictureListMigration::KeptOld, "old", false},
               {platform::IDYES, TPictureListMigration::Replaced, "new", false}};
  for (const Case& c : cases) {
    make("imagelisting", "old");
    make("defaultimagelisting", "new");
    dialogs.QueueAnswer(c.answer);
    EXPECT_EQ(MigratePictureList(f), c.result);
    EXPECT_EQ(text("imagelisting.index"), c.kept);
    EXPECT_EQ(platform::FileExists(f + "defaultimagelisting.data"), c.defaultsLeft);
  }
  const auto boxes = dialogs.Records();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, "Warning");
  EXPECT_EQ(boxes[0].buttons, platform::MsgButtons::YesNoCancel);
  EXPECT_EQ(boxes[0].defaultResult, platform::IDNO);  // Return keeps the user's list
  EXPECT_EQ(boxes[0].text.rfind("Noctra Planetarium has found an existing catalog", 0), 0u);
}
