// The real main window on a data folder of its own with damaged or missing
// reference files: each is told once (one box after the first tick), the
// box names the file, the reason and how to rebuild it, the file is left
// byte for byte, and the program keeps running without what it held.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <map>
#include <random>

#include "app/forms/main_form.h"
#include "astro/reference_files.h"
#include "catalog/bounds.h"
#include "catalog/catalog_import.h"
#include "catalog/element_files.h"
#include "catalog/forms/import_tool_form.h"
#include "catalog/forms/object_options_form.h"
#include "catalog/object_catalog.h"
#include "catalog/object_options.h"
#include "catalog/stars.h"
#include "chart/cursor_watch.h"
#include "chart/globe.h"
#include "chart/mag_thread.h"
#include "imaging/forms/imaging_windows.h"
#include "platform/gui_thread.h"
#include "shell/data_files.h"
#include "shell/log_lines.h"
#include "tests/app/startup_fixture.h"
#include "tests/support/import_columns.h"
#include "tests/support/object_database.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/text_checks.h"
#include "tools/events_calendar.h"
#include "tools/forms/find_form.h"
#include "tools/forms/information_forms.h"
#include "tools/forms/location_form.h"
#include "tools/location.h"
#include "tools/world_map.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Damage = std::function<void(Bytes&)>;

// A start on a data folder of the test's own: the built files linked there,
// those to be damaged (or left out) copied and changed.
class DamagedData : public startup_fixture::StartUpFixture {
 protected:
  // Makes the folder: `damage` changes the named files' bytes (nullptr
  // leaves the file out), and the program's folders point at it.
  void MakeFolder(const std::string& name, const std::map<std::string, Damage>& damage) {
    if (built_.empty()) built_ = fs::current_path();  // the fixture's built data
    folder_ = home.File(name + "/");
    fs::create_directories(folder_);
    damaged_.clear();
    for (const auto& entry : fs::directory_iterator(built_)) {
      const std::string file = entry.path().filename().string();
      const auto it = damage.find(file);
      if (it == damage.end()) {
        // Files the program writes are its own copies.
        if (file == "startup_log.txt" || file == "ObjectOptions.xml") fs::copy_file(entry.path(), folder_ + file);
        else fs::create_symlink(entry.path(), folder_ + file);
        continue;
      }
      if (!it->second) continue;  // missing
      Bytes bytes = testing_support::ReadFile(entry.path().string());
      it->second(bytes);
      testing_support::WriteFile(folder_ + file, bytes);
      damaged_[file] = bytes;
    }
    fs::current_path(folder_);
    DataFolder = ProgramFolder = folder_;
    GlobeReliefLoaded = 0;  // a new program reads the relief anew
  }

  // Starts the window there and runs its first tick: the one box of
  // damaged files comes once the stars are loaded (their damage is found
  // meanwhile).
  void Start() {
    ASSERT_TRUE(form->StartUp());
    form->show();
    ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
    ASSERT_TRUE(RunEventsUntil([&] { return dialogs.Count() > 0; }, kEventWaitMs));
  }

  // Every damaged file is as it was written, byte for byte.
  void ExpectFilesUnchanged() {
    for (const auto& [file, bytes] : damaged_)
      EXPECT_TRUE(testing_support::ReadFile(folder_ + file) == bytes) << file << " was changed";
  }

  // No file of the folder was kept aside as damaged.
  void ExpectNothingKeptAside() {
    for (const auto& e : fs::directory_iterator(folder_))
      EXPECT_EQ(e.path().filename().string().find(".damaged-"), std::string::npos) << e.path();
  }

  // The program still runs: the chart is drawn again, and it closes.
  void ExpectRunningAndClose() {
    const int renders = form->RenderCount;
    form->Chart().MarkReplot();
    EXPECT_TRUE(RunEventsUntil([&] { return form->RenderCount > renders; }, kEventWaitMs));
    form->close();
    EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
  }

  // True when a box told this text (or a text holding it).
  bool Told(const std::string& part) {
    for (const auto& d : dialogs.Records())
      if (d.text.find(part) != std::string::npos) return true;
    return false;
  }

  fs::path built_;
  std::string folder_;
  std::map<std::string, Bytes> damaged_;
};

void Cut(Bytes& b, std::size_t keep) { b.resize(std::min(b.size(), keep)); }

// Bytes [from, from + n) replaced by noise (a fixed seed: the same every run).
void Junk(Bytes& b, std::size_t from, std::size_t n) {
  std::mt19937 noise(57);
  for (std::size_t i = from; i < from + n && i < b.size(); ++i) b[i] = uint8_t(noise());
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// Cut, written-over and odd-sized files of every kind the start-up reads:
// one box lists them all, each with its reason, and says how to rebuild
// them; the chart, the location window's map and the stars go on with
// what is whole.
TEST_F(DamagedData, EveryDamagedFileIsToldInOneBoxAndLeftAsItIs) {
  MakeFolder("data", {
      {"world.dat", [](Bytes& b) { Cut(b, b.size() / 2); }},
      {"city.dat", [](Bytes& b) { Junk(b, 37 * 100, 37 * 100); }},
      {"SAO_YALE.DAT", [](Bytes& b) { Cut(b, b.size() - 16); }},
      {"tycho2.dat", [](Bytes& b) { Cut(b, b.size() - 5); }},
      {"yale_notes.dat", [](Bytes& b) { Cut(b, b.size() / 2); }},
      {"milkywayb.dat", [](Bytes& b) { Cut(b, b.size() - 3); }},
      {"ConstellationLines.data", [](Bytes& b) { b[5 * 10] = 1, b[5 * 10 + 4] = 200; }},
      {"messier_rngc.dat", [](Bytes& b) { b[4 * 30 + 3] = 0x7F; }},
      {"Bounds.dat", [](Bytes& b) { Junk(b, 27 * 4, 8); }},
      {"scripps2.dat", [](Bytes& b) { Cut(b, b.size() / 3); }},
      {"sun.bmp", [](Bytes& b) { Cut(b, b.size() - 100); }},
  });
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_EQ(dialogs.Count(), 1u) << (dialogs.Count() ? dialogs.Last().text : std::string());
  const std::string text = dialogs.Last().text;
  // One line a file: the file, then why.
  for (const std::string line : {
           "Warning: Unexpected file size in \"world.dat\": its tiles take ",
           "Warning: Can't read file \"city.dat\": ",
           "Warning: Unexpected file size in \"SAO_YALE.DAT\": 8,028,891 bytes is not a whole number of 31-byte records",
           "Warning: Unexpected file size in \"tycho2.dat\": ",
           "Warning: Can't read file \"yale_notes.dat\": ",
           "Warning: Unexpected file size in \"milkywayb.dat\": ",
           "Warning: Can't read file \"ConstellationLines.data\": 1 of its ",
           "Warning: Can't read file \"messier_rngc.dat\": 1 of its 110 numbers holds values outside their ranges "
           "(the first is number 31)",
           "Warning: Can't read file \"Bounds.dat\": record 5 holds ",
           "Warning: Unexpected file size in \"scripps2.dat\": 152,040 bytes where the relief's 181 rows",
           "Warning: Unrecognized file format in \"sun.bmp\": ",
       })
    EXPECT_TRUE(Has(text, line)) << line << "\n--- in ---\n" << text;
  EXPECT_TRUE(Has(text, "places hold values outside their ranges")) << text;
  EXPECT_TRUE(Has(text, "stars' notes would start beyond its end")) << text;
  // How to rebuild them: delete them and run the data builder on this folder.
  const std::size_t rebuild = text.find("To rebuild them, close Noctra Planetarium, delete \"");
  ASSERT_NE(rebuild, std::string::npos) << text;
  for (const char* file : {"\"world.dat\"", "\"city.dat\"", "\"SAO_YALE.DAT\"", "\"yale_notes.dat\"", "\"sun.bmp\""})
    EXPECT_NE(text.find(file, rebuild), std::string::npos) << file;
  EXPECT_TRUE(Has(text, "noctra-mkdata\" \"" + folder_ + "\"")) << text;
  // What is whole is used: stars, cities, the relief the file still holds.
  EXPECT_GT(SaoStarCount, 1000);
  EXPECT_GT(TychoStarCount, 1000);
  EXPECT_EQ(std::string(Cities[0].Name).empty(), false);
  EXPECT_TRUE(std::string(Cities[150].Name).empty());  // a damaged place is left out
  EXPECT_FALSE(WorldMap.Loaded());
  // The location window opens on the map without relief; its city list
  // holds the places that are whole.
  ASSERT_TRUE(RunEventsUntil([] { return !GlobeMoving(); }, kEventWaitMs));
  form->NewLocation2->trigger();
  ASSERT_TRUE(RunEventsUntil([] { return GlobalLocationForm1 && GlobalLocationForm1->isVisible(); }, kEventWaitMs));
  int whole = 0;
  for (const TCityRecord& c : Cities) whole += c.Name[0] != 0;
  EXPECT_EQ(GlobalLocationForm1->ListBox1->count(), whole);
  EXPECT_LE(whole, kCityCount - 90);
  EXPECT_FALSE(GlobalLocationForm1->PaintBox1->grab().isNull());
  GlobalLocationForm1->close();
  // Told once: a new star load finds the same damage and says nothing.
  LoadStarCatalogs();
  ASSERT_TRUE(WaitForStarLoad());
  platform::ProcessMessages();
  EXPECT_EQ(dialogs.Count(), 1u);
  ExpectFilesUnchanged();
  ExpectRunningAndClose();
}

// Missing files and an index of noise: told the same way; a missing file
// needs no deleting.
TEST_F(DamagedData, MissingFilesAndAJunkIndexAreToldTheSameWay) {
  MakeFolder("data", {
      {"world.idx", [](Bytes& b) { Junk(b, 0, b.size()); }},
      {"tycho2.dat", nullptr},
      {"Bounds.dat", nullptr},
      {"map", nullptr},  // the boundary files, read when the location window opens
  });
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_EQ(dialogs.Count(), 1u);
  const std::string text = dialogs.Last().text;
  EXPECT_TRUE(Has(text, "Warning: Unexpected file size in \"world.dat\": its tiles take 6,167,599 bytes where its "
                        "index \"world.idx\" gives "))
      << text;
  for (const char* missing : {"tycho2.dat", "Bounds.dat"})
    EXPECT_TRUE(Has(text, "Warning: Can't open file \"" + std::string(missing) + "\": the file is missing.")) << text;
  EXPECT_TRUE(Has(text, "To rebuild them, close Noctra Planetarium, delete \"world.dat\" and run the data builder"))
      << text;
  EXPECT_EQ(TychoStarCount, 0);
  EXPECT_GT(SaoStarCount, 1000);
  // The location window tells its six missing boundary files in one box.
  ASSERT_TRUE(RunEventsUntil([] { return !GlobeMoving(); }, kEventWaitMs));
  form->NewLocation2->trigger();
  ASSERT_TRUE(RunEventsUntil([] { return GlobalLocationForm1 && GlobalLocationForm1->isVisible(); }, kEventWaitMs));
  ASSERT_EQ(dialogs.Count(), 2u);
  const std::string map = dialogs.Last().text;
  for (const char* file : kBoundaryFiles)
    EXPECT_TRUE(Has(map, "Warning: Can't open file \"" + std::string(file) + "\": the file is missing.")) << map;
  EXPECT_TRUE(Has(map, "To rebuild them, close Noctra Planetarium and run the data builder")) << map;
  GlobalLocationForm1->close();
  ExpectFilesUnchanged();
  ExpectRunningAndClose();
}

// The events calendar's bright stars are read at start, as the calendar's
// window would be made: a missing or cut "brightstars.dat" is told in the
// start's one box, and the calendar made later tells nothing again.
TEST_F(DamagedData, BrightStarsAreReadAndToldAtStart) {
  const std::pair<const char*, Damage> cases[] = {{"missing", nullptr},
                                                  {"cut", [](Bytes& b) { Cut(b, 45 * 55 - 62); }}};
  const char* const told[] = {"Warning: Can't open file \"brightstars.dat\": the file is missing.",
                              "Warning: Can't read file \"brightstars.dat\": 2,413 bytes where its 45 stars "
                              "take 2,475 bytes."};
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE(cases[c].first);
    if (c > 0) {
      form = NewWindow();
      CloseState = kRunning;
      dialogs.Clear();
    }
    MakeFolder(std::string("stars") + char('0' + c), {{"brightstars.dat", cases[c].second}});
    ASSERT_TRUE(form->StartUp());
    form->CreateProgramWindows();
    form->show();
    ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && dialogs.Count() > 0; }, kEventWaitMs));
    platform::ProcessMessages();
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_TRUE(Has(dialogs.Last().text, told[c])) << dialogs.Last().text;
    EXPECT_EQ(BrightStars.size(), 0u);
    { TGeneralReportForm1 calendar; }
    EXPECT_EQ(dialogs.Count(), 1u);
    ExpectFilesUnchanged();
    ExpectRunningAndClose();
  }
}

// A named pipe in the place of a reference file, of the object database
// and of the asteroid list (nobody writes to it: a reader would wait for
// ever, and the start with it): each is refused with what it is, told where
// the user looks (the start's box of damaged files, the list's own
// message), and never opened.
TEST_F(DamagedData, PipesInTheFilesPlacesAreRefusedUnopened) {
  MakeFolder("pipes", {{"Bounds.dat", nullptr}, {"default.ast", nullptr}, {"Objects.sqlite", nullptr}});
  PipeInPlace bounds(folder_ + "Bounds.dat"), asteroids(folder_ + "default.ast"),
      objects(folder_ + "Objects.sqlite");
  // The start as the program entry makes it: the main window, then the
  // windows that read the element lists.
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  form->show();
  const std::string boundsLine = "Warning: Can't open file \"Bounds.dat\": it is a named pipe, not a file.";
  const std::string objectsLine = "Warning: Can't open file \"Objects.sqlite\": it is a named pipe, not a file.";
  const std::string listLine = "The asteroid list \"default.ast\" was not loaded: it is not a regular file";
  EXPECT_TRUE(RunEventsUntil([&] { return Told(boundsLine) && Told(listLine); }, kEventWaitMs));
  EXPECT_TRUE(Told(boundsLine));
  EXPECT_TRUE(Told(objectsLine));
  EXPECT_TRUE(Told(listLine));
  EXPECT_EQ(BoundaryVertexCount, 0);
  EXPECT_EQ(AsteroidElementsFile, "");  // no list in force
  ExpectRunningAndClose();
  EXPECT_FALSE(bounds.Opened());
  EXPECT_FALSE(asteroids.Opened());
  EXPECT_FALSE(objects.Opened());
}

// A pipe at "autoexec.sbas" and at the start-up log, and a device named on
// the command line as the settings file: the start opens none of them,
// tells the script with why, ignores the settings file without a box (the
// log names it with why), and runs on.
TEST_F(DamagedData, PipesAndDevicesAtTheStartScriptLogAndCommandLineAreRefused) {
  MakeFolder("pipes", {{"startup_log.txt", nullptr}});
  PipeInPlace script(folder_ + "autoexec.sbas");
  PipeWatchedForWriters log(folder_ + "startup_log.txt");
  fs::create_symlink("/dev/zero", folder_ + "zero.ssf");
  form->CommandLine = {folder_ + "zero.ssf"};
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  form->show();
  const std::string scriptBox = "Could not load the script autoexec.sbas: it is a named pipe, not a file.";
  const std::string settingsLine = "[Settings] The settings file named on the command line was not read: " +
                                   folder_ + "zero.ssf: it is a character device, not a file";
  auto logged = [&] {
    const std::vector<std::string> lines = LogLines().Lines();
    return std::find(lines.begin(), lines.end(), settingsLine) != lines.end();
  };
  EXPECT_TRUE(RunEventsUntil([&] { return Told(scriptBox) && logged(); }, kEventWaitMs));
  EXPECT_TRUE(Told(scriptBox));
  EXPECT_TRUE(logged());
  EXPECT_FALSE(Told("zero.ssf"));
  ExpectRunningAndClose();
  EXPECT_FALSE(script.Opened());
  EXPECT_FALSE(log.Written());
}

// A missing relief file ends the start-up: coded message 1 names it with
// how to rebuild it, then come code 4 and the start-up's code 7; the later
// steps of the chart are skipped (no cursor watch, no chart), while the
// other windows are made, the imaging windows with them. The heartbeat
// runs on without the chart: its first tick tells the other damaged files
// found before (a missing "Bounds.dat") and enables the help, and the
// program closes.
TEST_F(DamagedData, MissingReliefFileEndsTheStartUp) {
  MakeFolder("data", {{"scripps2.dat", nullptr}, {"Bounds.dat", nullptr}});
  EXPECT_FALSE(form->StartUp());
  form->CreateProgramWindows();
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending && dialogs.Count() == 4; }, kEventWaitMs))
      << dialogs.Count();
  platform::ProcessMessages();
  const auto boxes = dialogs.Records();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_TRUE(testing_support::StartsWith(boxes[0].text, "Error: Can't open file \"scripps2.dat\"\r\n\r\nTo rebuild it, "
                                                         "close Noctra Planetarium and run the data builder"))
      << boxes[0].text;
  EXPECT_TRUE(Has(boxes[0].text, "noctra-mkdata\" \"" + folder_ + "\"")) << boxes[0].text;
  EXPECT_EQ(boxes[1].text, "Error: Can't load Globe surface data.");
  EXPECT_EQ(boxes[2].text, "Error: Can't create Globe view.");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(boxes[std::size_t(i)].icon, platform::MsgIcon::Stop) << boxes[std::size_t(i)].text;
  EXPECT_TRUE(testing_support::StartsWith(boxes[3].text, "Warning: Can't open file \"Bounds.dat\": the file is missing."))
      << boxes[3].text;
  EXPECT_FALSE(Has(boxes[3].text, "scripps2.dat")) << boxes[3].text;  // told once
  EXPECT_FALSE(form->StartupComplete());
  EXPECT_FALSE(CursorThreadRunning());
  // The stopped star load gave back its pauses of the overlay threads.
  EXPECT_EQ(std::tuple(CursorGate.Count(), MagnifierGate.Count()), std::tuple(0, 0));
  EXPECT_EQ(form->StatusText(3), "");  // no star progress left standing
  EXPECT_NE(imaging::IcForm1(), nullptr);
  EXPECT_EQ(form->RenderCount, 0);
  EXPECT_TRUE(form->About1->isEnabled());
  form->close();
  EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEventWaitMs));
}

// A damaged object database (cut, pages written over, emptied) is named with
// SQLite's reason, kept as it is (it may hold the user's catalogues) and
// moved aside to rebuild; the chart has no deep-sky objects, and every
// window that reads the database goes on without them: the search, the
// object information, the catalogue options and the import, which writes
// nothing into it.
TEST_F(DamagedData, DamagedObjectDatabaseIsToldAndEveryWindowGoesOnWithoutObjects) {
  const std::pair<const char*, Damage> cases[] = {
      {"cut", [](Bytes& b) { Cut(b, b.size() / 2); }},
      {"written over", [](Bytes& b) { Junk(b, 4096 * 10, 4096 * 20); }},
      {"emptied", [](Bytes& b) { b.clear(); }},
  };
  const std::string reasons[] = {"database disk image is malformed", "database disk image is malformed",
                                 "the file is empty (0 bytes)"};
  testing_support::WriteText(home.File("extra.csv"), "Q1,10.5,-0.25,6.1,5\n");
  for (int c = 0; c < 3; ++c) {
    SCOPED_TRACE(cases[c].first);
    if (c > 0) {
      form = NewWindow();  // the last one closed and deleted itself
      CloseState = kRunning;
      dialogs.Clear();
    }
    MakeFolder(std::string("data") + char('0' + c), {{"Objects.sqlite", cases[c].second}});
    Start();
    ASSERT_EQ(dialogs.Count(), 1u);
    const std::string text = dialogs.Last().text;
    EXPECT_TRUE(testing_support::StartsWith(text, "Warning: Can't read file \"Objects.sqlite\": "));
    EXPECT_TRUE(Has(text, reasons[c])) << text;
    EXPECT_TRUE(Has(text, "move \"Objects.sqlite\" aside (the catalogues you imported are kept in it)")) << text;
    EXPECT_TRUE(!ObjectCatalog || ObjectCatalog->Count() == 0);

    // The search finds stars and no deep-sky object, and says why above
    // what it found.
    dialogs.Clear();
    form->Find1->trigger();
    ASSERT_NE(FindForm1, nullptr);
    for (const char* wanted : {"M31", "NGC 224", "Sirius"}) {
      FindForm1->SearchEdit1->setText(QString::fromLatin1(wanted));
      FindForm1->RunSearch();
    }
    ASSERT_GT(FindForm1->ResultsListBox1->count(), 1);  // the note and Sirius
    EXPECT_TRUE(FindForm1->ResultsListBox1->item(0)->text().startsWith("Deep-sky objects "));
    const int last = FindForm1->ResultsListBox1->count() - 1;
    EXPECT_TRUE(FindForm1->ResultsListBox1->item(last)->text().startsWith("The star SAO "));
    FindForm1->close();
    // The information of a deep-sky object: there is none to show.
    form->ShowObjectInformation(1, 0, false);
    form->ShowObjectInformation(1, 5, true);
    // The catalogue options: a further catalogue made active says that the
    // catalogues cannot be read whole.
    EXPECT_EQ(dialogs.Count(), 0u);
    startup_fixture::OpenModally(*form, form->Objects1, [&] {
      ASSERT_NE(OptionsForm2, nullptr);
      // The window says it as it opens.
      EXPECT_TRUE(OptionsForm2->DatabaseNote->isVisible());
      EXPECT_TRUE(Has(OptionsForm2->DatabaseNote->text().toStdString(), reasons[c]))
          << OptionsForm2->DatabaseNote->text().toStdString();
      OptionsForm2->Active[1]->click();
      OptionsForm2->BitBtn3Click();
    });
    ASSERT_GE(dialogs.Count(), 1u);
    EXPECT_TRUE(Has(dialogs.Records()[0].text, "The deep-sky catalogues could not be read")) << dialogs.Records()[0].text;
    EXPECT_TRUE(Has(dialogs.Records()[0].text, reasons[c])) << dialogs.Records()[0].text;
    EXPECT_TRUE(!ObjectCatalog || ObjectCatalog->Count() == 0);
    // The import refuses to write into the damaged file.
    TImportToolForm1 import;
    import.FileName = home.File("extra.csv");
    import.show();
    import.CommaCheckBox->setChecked(true);
    import.ReadPreview();
    testing_support::AssignImportColumns(import, {"ID", "RAD", "DED", "Mv", "CL"});
    QTest::keyClicks(import.DescriptionEdit, "One test object");
    QTest::mouseClick(import.OkButton, Qt::LeftButton);
    EXPECT_FALSE(import.Success);
    EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text,
                                            "The object database was left unchanged.\r\n\r\nWarning: Can't read file "
                                            "\"Objects.sqlite\": "));
    for (const auto& d : dialogs.Records())
      EXPECT_TRUE(Has(d.text, "Objects.sqlite")) << d.text;  // every box says which file
    ExpectFilesUnchanged();
    ExpectRunningAndClose();
  }
}

// A database another program holds locked at the start (a second copy of
// the program importing, the sqlite3 shell inside a transaction) is sound:
// no box tells it as damaged, the search and the catalogue options say it is
// in use, a Remove keeps its slot and its table, and the deep-sky objects
// come once it is free, without a restart, the options' note going then.
TEST_F(DamagedData, ALockedObjectDatabaseIsNeverToldDamagedAndIsReadOnceFree) {
  MakeFolder("locked", {{"Objects.sqlite", [](Bytes&) {}}});  // a copy of its own, unchanged
  OtherProgram other(folder_ + "Objects.sqlite", kLockExclusive);
  ASSERT_TRUE(form->StartUp());
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  EXPECT_EQ(ObjectCatalog, nullptr);
  EXPECT_TRUE(ObjectCatalogWaiting());

  form->Find1->trigger();
  ASSERT_NE(FindForm1, nullptr);
  FindForm1->SearchEdit1->setText("M31");
  FindForm1->RunSearch();
  QStringList lines;
  for (int i = 0; i < FindForm1->ResultsListBox1->count(); ++i) lines << FindForm1->ResultsListBox1->item(i)->text();
  EXPECT_EQ(lines.join(' ').toStdString(),
            "Nothing found. Deep-sky objects were not searched: the object database Objects.sqlite is in use by "
            "another program (database is locked); they are read once it is free.");
  FindForm1->close();

  startup_fixture::OpenModally(*form, form->Objects1, [&] {
    ASSERT_NE(OptionsForm2, nullptr);
    EXPECT_TRUE(OptionsForm2->DatabaseNote->isVisible());
    EXPECT_TRUE(testing_support::StartsWith(OptionsForm2->DatabaseNote->text().toStdString(),
                                            "There are no deep-sky objects: the object database Objects.sqlite is "
                                            "in use by another program (database is locked)"));
    // The builder's "IC" catalogue in its slot: Remove keeps both.
    int k = 2;
    while (k <= kCatalogSlots && OptionsForm2->Slots[std::size_t(k - 1)].Name != "IC") ++k;
    ASSERT_LE(k, kCatalogSlots);
    dialogs.QueueAnswer(platform::IDOK);
    OptionsForm2->Remove[k - 1]->click();
    EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text, "Couldn't drop the table, operation aborted."));
    EXPECT_EQ(OptionsForm2->Slots[std::size_t(k - 1)].Name, "IC");
    EXPECT_EQ(OptionsForm2->CatName[k - 1]->text(), "IC");
    // The lock ends while the window is open: its note goes as the objects come.
    other.Release();
    EXPECT_TRUE(RunEventsUntil([] { return ObjectCatalog != nullptr; }, kEventWaitMs));
    EXPECT_FALSE(OptionsForm2->DatabaseNote->isVisible());
  });
  for (const auto& d : dialogs.Records()) {
    EXPECT_FALSE(Has(d.text, "Can't read file")) << d.text;
    EXPECT_FALSE(Has(d.text, "aside")) << d.text;
  }

  other.Release();
  ASSERT_TRUE(RunEventsUntil([] { return ObjectCatalog != nullptr; }, kEventWaitMs));
  EXPECT_FALSE(ObjectCatalogWaiting());
  EXPECT_GT(ObjectCatalog->Count(), 1000);
  EXPECT_EQ(ObjectCatalog->Damage(), "");
  EXPECT_TRUE(TSQLiteDatabase(folder_ + "Objects.sqlite").TableExists("IC"));
  ExpectRunningAndClose();
}

// The settings files and the pick list where the program cannot read them:
// named pipes nobody writes to (a reader would wait for ever, and the start
// with it) and a folder. The start goes on with the defaults, tells each
// file with what it is, never opens a pipe, and leaves every file as it is:
// the end writes none, and says so in one box.
TEST_F(DamagedData, SettingsFilesThatCannotBeReadAreLeftAsTheyAre) {
  MakeFolder("settings", {});
  PipeInPlace objects(folder_ + "ObjectOptions.xml"), imaging(folder_ + "ImagingSettings.xml"),
      console(folder_ + "ImagingConsoleSettings.xml"), places(folder_ + "picklist.dat");
  fs::create_directory(folder_ + "AutoGuideSettings.xml");
  GlobalLocation.PickListPath = folder_ + "picklist.dat";
  form->ImagingSettingsPath = "ImagingSettings.xml";  // in the data folder, as the program names it
  form->StartProgram();
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  std::string told;
  for (const auto& box : dialogs.Records()) told += box.text + "\n";
  const std::string pipe = "\r\n(it is a named pipe, not a file)\r\n";
  for (const std::string name : {"ObjectOptions.xml", "ImagingSettings.xml", "ImagingConsoleSettings.xml"})
    EXPECT_TRUE(Has(told, "Warning: Can't read file " + folder_ + name + pipe)) << told;
  EXPECT_TRUE(Has(told, folder_ + "AutoGuideSettings.xml\r\n(it is a folder, not a file)")) << told;
  EXPECT_TRUE(Has(told, "Warning: Can't read the pick list " + folder_ + "picklist.dat" + pipe)) << told;
  const std::size_t atStart = dialogs.Count();
  ExpectRunningAndClose();
  ASSERT_EQ(dialogs.Count(), atStart + 1);
  for (const char* name : {"ImagingSettings", "ImagingConsoleSettings", "AutoGuideSettings"})
    EXPECT_TRUE(Has(dialogs.Last().text, folder_ + name + ".xml (It could not be read (")) << dialogs.Last().text;
  // The catalogue choice was not changed in this run: nothing of it is lost
  // by leaving its file unwritten, so the box does not name it again.
  EXPECT_FALSE(Has(dialogs.Last().text, "ObjectOptions.xml")) << dialogs.Last().text;
  EXPECT_FALSE(objects.Opened() || imaging.Opened() || console.Opened() || places.Opened());
  EXPECT_TRUE(fs::is_fifo(folder_ + "ObjectOptions.xml") && fs::is_fifo(folder_ + "picklist.dat"));
  ExpectNothingKeptAside();
}

// A data folder whose name is not UTF-8 (Latin-1 "café"): three starts
// there read and write every settings file by the name's own bytes, so
// none is taken for damaged or kept aside; a setting changed in one run is
// there in the next, and the pick list, the element lists and the
// start-up script are read there as anywhere.
TEST_F(DamagedData, ThreeStartsInAFolderNamedNotInUtf8KeepEverySettingsFile) {
  MakeFolder("caf\xE9", {});
  GlobalLocation.PickListPath = folder_ + "picklist.dat";
  ASSERT_TRUE(WritePickList(GlobalLocation.PickListPath, {"Quito*" + PickListSeparator + ";0.2S;78.5W;-5;F"}));
  testing_support::WriteText(folder_ + "autoexec.sbas", "PRINT \"autoexec ran\"\r\n");
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    if (run > 0) {
      form = NewWindow();
      CloseState = kRunning;
    }
    dialogs.Clear();
    form->ImagingSettingsPath = "ImagingSettings.xml";
    form->StartProgram();
    form->show();
    ASSERT_TRUE(RunEventsUntil(
        [&] { return !form->StartupPending && dialogs.Count() > 0 && dialogs.Last().text == "autoexec ran"; },
        kEventWaitMs));
    EXPECT_EQ(dialogs.Count(), 1u) << dialogs.Records()[0].text;
    EXPECT_NEAR(ObserverTime.Latitude * DegPerRad, -0.2, 1e-9);
    EXPECT_EQ(AsteroidElementsFile, "default.ast");
    EXPECT_EQ(CatalogSlots[1].Name, "IC");  // the builder's slot, as "ObjectOptions.xml" holds it
    ASSERT_NE(imaging::IcForm1(), nullptr);
    EXPECT_EQ(imaging::IcForm1()->Logic.ExposureTime, run == 0 ? "1" : std::to_string(run + 1));
    imaging::IcForm1()->ExposureTime->setText(QString::number(run + 2));
    ExpectRunningAndClose();
  }
  ExpectNothingKeptAside();
}
