#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>
#include <cstdlib>
#include <filesystem>
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
#include "script/runner.h"
#include "shell/log_lines.h"
#include "tests/app/startup_fixture.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/refused_files.h"
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

namespace {

// The main printer as a fresh session finds it where no printer is
// installed, with `setupFile` as the PDF file chosen in Print Setup.
void NoPrinter(const std::string& setupFile = {}) {
  MainPrinter().setOutputFileName(QString::fromStdString(setupFile));
  MainPrinter().setOutputFormat(QPrinter::PdfFormat);
}

bool IsPdf(const std::string& file) { return testing_support::ReadText(file).rfind("%PDF-", 0) == 0; }

// A file's bytes and time of writing, to tell whether a print wrote over it.
struct TFileState {
  std::string bytes;
  std::filesystem::file_time_type written;
  bool operator==(const TFileState&) const = default;
};
TFileState StateOf(const std::string& file) {
  std::error_code ec;
  return {testing_support::ReadText(file), std::filesystem::last_write_time(file, ec)};
}
// Dates a printed file back to 2001 (the system's date, not the test's
// clock, dates a write), so that a print over it shows.
TFileState Aged(const std::string& file) {
  using namespace std::chrono;
  std::filesystem::last_write_time(file, file_clock::from_sys(sys_seconds{sys_days{year{2001} / 1 / 1}}));
  return StateOf(file);
}

std::string WhyBox(const std::string& file, const std::string& why) {
  return "The printer could not be started.\r\nThe PDF file \"" + file + "\" cannot be written: " + why +
         ".\r\nChoose another file at the next print, or a printer or PDF file in File > Print Setup.";
}

}  // namespace

// With no printer installed, each File > Print says so and asks for its
// own PDF file: the 21:00 chart and then the 23:00 chart are two files. A
// file that exists is written over only when the user says so; No asks for
// another, proposing a free name beside it; Cancel prints nothing.
TEST(PrintJob, EachPrintIntoAPdfAsksForItsFile) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  platform::SingleWindow(PrintForm1, &form)->Options.skipWindow = true;
  NoPrinter();
  const std::string first = dir.File("21h.pdf"), second = dir.File("23h.pdf"), third = dir.File("later.pdf");
  // One File > Print: the no-printer box answered OK, then the file dialogs
  // and the further questions answered from the lists.
  auto print = [&](std::initializer_list<std::string> files, std::initializer_list<int> answers = {}) {
    dialogs.Clear();
    dialogs.QueueAnswer(platform::IDOK);
    for (const std::string& file : files) dialogs.QueueFile({true, file, 1});
    for (int answer : answers) dialogs.QueueAnswer(answer);
    form.Print1->trigger();
    return dialogs.Records();
  };

  dialogs.QueueAnswer(platform::IDCANCEL);
  form.Print1->trigger();
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text,
            "No printer is installed, and no PDF file was chosen in Print Setup.\r\n"
            "Choose a PDF file to print the star map into.");
  EXPECT_EQ(print({first}).size(), 2u);
  ASSERT_TRUE(IsPdf(first));
  const TFileState earlier = Aged(first);
  const auto asked = print({second});
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].kind, platform::DialogRecord::File);
  EXPECT_TRUE(IsPdf(second));
  EXPECT_EQ(StateOf(first), earlier);
  EXPECT_TRUE(MainPrinter().outputFileName().isEmpty());  // no print's file is kept for the next

  // The earlier file chosen again.
  const auto again = print({first, third}, {platform::IDNO});
  ASSERT_EQ(again.size(), 4u);
  EXPECT_EQ(again[2].text, "File exists,\r\nOverwrite?");
  EXPECT_EQ(again[2].defaultResult, platform::IDNO);  // Return keeps the file
  EXPECT_EQ(again[3].file.fileName, "21h (2).pdf");
  EXPECT_TRUE(IsPdf(third));
  EXPECT_EQ(print({first}, {platform::IDCANCEL}).size(), 3u);
  EXPECT_EQ(StateOf(first), earlier);
  print({first}, {platform::IDYES});
  EXPECT_TRUE(IsPdf(first));
  EXPECT_GT(StateOf(first).written, earlier.written);
  EXPECT_FALSE(form.RenderSuspended);
}

// A PDF file chosen in Print Setup: the first print writes it unasked;
// once it is there each print asks first (Cancel prints nothing, No asks
// for another file); Print Setup's choice stays for the next print.
TEST(PrintJob, AFileFromPrintSetupIsWrittenOverOnlyWhenTheUserSaysSo) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  platform::SingleWindow(PrintForm1, &form)->Options.skipWindow = true;
  const std::string setup = dir.File("chart.pdf"), other = dir.File("other.pdf");
  NoPrinter(setup);
  form.Print1->trigger();
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
  ASSERT_TRUE(IsPdf(setup));
  const TFileState earlier = Aged(setup);

  dialogs.QueueAnswer(platform::IDCANCEL);
  form.Print1->trigger();
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text,
            "The PDF file \"" + setup + "\" chosen in Print Setup exists.\r\nOverwrite it? No chooses another file.");
  EXPECT_EQ(dialogs.Last().defaultResult, platform::IDNO);
  dialogs.QueueAnswer(platform::IDNO);
  dialogs.QueueFile({true, other, 1});
  form.Print1->trigger();
  ASSERT_EQ(dialogs.Count(), 3u);
  EXPECT_EQ(dialogs.Last().file.fileName, "chart (2).pdf");
  EXPECT_TRUE(IsPdf(other));
  EXPECT_EQ(StateOf(setup), earlier);
  EXPECT_EQ(MainPrinter().outputFileName().toStdString(), setup);

  dialogs.QueueAnswer(platform::IDYES);
  form.Print1->trigger();
  EXPECT_EQ(dialogs.Count(), 4u);
  EXPECT_GT(StateOf(setup).written, earlier.written);
  MainPrinter().setOutputFileName(QString());
}

// A PDF file that cannot be written (its folder missing, refused to the
// user, a pipe in its place) is told with the system's reason and the way
// out; nothing waits on a pipe, and the next print asks for a file again.
// One chosen in Print Setup is not tried again: the next print asks. After
// a failed start the printer still takes a file and prints the page.
TEST(PrintJob, AnUnwritableFileIsToldWithWhyAndTheNextPrintAsksAgain) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  platform::SingleWindow(PrintForm1, &form)->Options.skipWindow = true;
  NoPrinter();
  const std::string missing = dir.File("no such folder/map.pdf"), refused = dir.File("refused.pdf");
  PipeWatchedForWriters pipe(dir.File("pipe.pdf"));
  RefusedFiles refusal({refused});
  struct Case {
    std::string file, why;
    bool exists;
  } cases[] = {{missing, "No such file or directory", false},
               {refused, "Permission denied", false},
               {dir.File("pipe.pdf"), "it is a named pipe, not a file", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    dialogs.Clear();
    dialogs.QueueAnswer(platform::IDOK);
    dialogs.QueueFile({true, c.file, 1});
    if (c.exists) dialogs.QueueAnswer(platform::IDYES);
    form.Print1->trigger();
    ASSERT_EQ(dialogs.Count(), c.exists ? 4u : 3u);
    EXPECT_EQ(dialogs.Records()[1].kind, platform::DialogRecord::File);  // asked again each time
    EXPECT_EQ(dialogs.Last().text, WhyBox(c.file, c.why));
    EXPECT_FALSE(form.RenderSuspended);
  }
  EXPECT_FALSE(platform::FileExists(refused));
  EXPECT_FALSE(pipe.Written());

  const std::string setup = dir.File("gone/chart.pdf"), pdf = dir.File("map.pdf");
  NoPrinter(setup);
  dialogs.Clear();
  form.Print1->trigger();
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text, WhyBox(setup, "No such file or directory"));
  dialogs.QueueFile({true, pdf, 1});
  form.Print1->trigger();
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_EQ(dialogs.Last().kind, platform::DialogRecord::File);
  EXPECT_EQ(dialogs.Last().file.fileName, "chart.pdf");
  ASSERT_TRUE(IsPdf(pdf));

  // A print that does not start (a PDF printer without a file) leaves the
  // printer able to take one.
  NoPrinter();
  EXPECT_FALSE(PrintStarMapOnMainPrinter(form, TPrintOptions{}));
  NoPrinter(pdf);
  ASSERT_EQ(MainPrinter().outputFileName().toStdString(), pdf);
  dialogs.QueueAnswer(platform::IDYES);
  form.Print1->trigger();
  EXPECT_EQ(dialogs.Count(), 3u) << dialogs.Last().text;
  MainPrinter().setOutputFileName(QString());
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
}

using ScriptPrint = startup_fixture::StartUpFixture;

// A script's PRINT_MAP prints as File > Print does without its options
// window. Into a PDF file from Print Setup that is there already it never
// waits on the overwrite question (a script may run unattended): each
// print goes beside it under a free name, the log saying where, and the
// earlier file is kept. With no file at all it asks as File > Print does; a
// Cancel there prints nothing and the script goes on; a file that cannot
// be written is told with why and stops the script with its printer error.
TEST_F(ScriptPrint, PrintMapNeverWritesOverAnEarlierPrint) {
  ASSERT_TRUE(form->StartUp());
  const std::string setup = home.File("chart.pdf"), earlier = "%PDF-1.4 the 21:00 chart\n";
  testing_support::WriteText(setup, earlier);
  NoPrinter(setup);
  int stop = -1;
  ASSERT_TRUE(ScrRunScript({"PRINT_MAP \"\"", "PRINT_MAP \"BW\""}, stop));
  EXPECT_EQ(stop, 0);
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
  EXPECT_EQ(testing_support::ReadText(setup), earlier);
  EXPECT_TRUE(IsPdf(home.File("chart (2).pdf")));
  EXPECT_TRUE(IsPdf(home.File("chart (3).pdf")));
  EXPECT_EQ(LogLines().LastLine(),
            "[Print] " + setup + " exists and is kept: the script's map goes into " + home.File("chart (3).pdf"));
  EXPECT_EQ(MainPrinter().outputFileName().toStdString(), setup);

  NoPrinter();
  dialogs.QueueAnswer(platform::IDOK);
  dialogs.QueueFile({true, home.File("asked.pdf"), 1});
  dialogs.QueueAnswer(platform::IDCANCEL);  // the second print's
  ASSERT_TRUE(ScrRunScript({"PRINT_MAP \"\"", "PRINT_MAP \"\"", "PRINT \"went on\""}, stop));
  EXPECT_EQ(stop, 0);
  EXPECT_TRUE(IsPdf(home.File("asked.pdf")));
  ASSERT_EQ(dialogs.Count(), 4u);
  EXPECT_EQ(dialogs.Records()[2].text.rfind("No printer is installed", 0), 0u);
  EXPECT_EQ(dialogs.Last().text, "went on");

  dialogs.Clear();
  dialogs.QueueAnswer(platform::IDOK);
  dialogs.QueueFile({true, home.File("none/map.pdf"), 1});
  ASSERT_TRUE(ScrRunScript({"PRINT_MAP \"\"", "PRINT \"went on\""}, stop));
  EXPECT_GT(stop, 0);
  const auto told = dialogs.Records();
  ASSERT_EQ(told.size(), 4u);
  EXPECT_EQ(told[2].text, WhyBox(home.File("none/map.pdf"), "No such file or directory"));
  EXPECT_EQ(told[3].caption, "Script BASIC error:");
  EXPECT_NE(told[3].text.find("The printer could not be started."), std::string::npos) << told[3].text;
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
