// What the program's windows do at its start and end whether or not they
// are ever opened, through the real start-up (the main window's start, the
// other windows made, the first tick) with none of them opened: the
// asteroid and comet lists loaded (Find reaches them), again when a
// settings file's solar-system block is read; the settings file named on
// the command line read after "autoexec.sbas"; the deep-sky catalogue
// slots written back to "ObjectOptions.xml" at the end, never over a file
// that could not be read.
#include <QListWidget>
#include <QLineEdit>
#include <filesystem>

#include "astro/observer.h"
#include "astro/solar_system.h"
#include "catalog/element_files.h"
#include "catalog/forms/object_options_form.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/object_options.h"
#include "chart/plotter.h"
#include "platform/registry.h"
#include "shell/log_lines.h"
#include "shell/settings_sections.h"
#include "tests/app/startup_fixture.h"
#include "tools/forms/find_form.h"

using startup_fixture::kEventWaitMs;
using startup_fixture::RunEventsUntil;

namespace {

namespace fs = std::filesystem;

class StartDuties : public startup_fixture::StartUpFixture {
 protected:
  // The start as the program makes it: the main window, the other windows,
  // the first tick.
  bool Start() {
    if (!form->StartUp()) return false;
    form->CreateProgramWindows();
    form->show();
    return RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs);
  }
  // Closes the window through its close and waits until it is gone.
  bool Close() {
    form->close();
    return RunEventsUntil([&] { return destroyed; }, kEventWaitMs);
  }
  // The Find window's results for `text`.
  std::vector<std::string> Found(const std::string& text) {
    form->Find1->trigger();
    std::vector<std::string> lines;
    if (!FindForm1) return lines;
    FindForm1->SearchEdit1->setText(QString::fromStdString(text));
    FindForm1->RunSearch();
    for (int i = 0; i < FindForm1->ResultsListBox1->count(); ++i)
      lines.push_back(FindForm1->ResultsListBox1->item(i)->text().toStdString());
    FindForm1->close();
    return lines;
  }
  // The chart drawn again (the bodies' places computed).
  bool Rendered() {
    const int renders = form->RenderCount;
    form->Chart().MarkReplot();
    return RunEventsUntil([&] { return form->RenderCount > renders; }, kEventWaitMs);
  }
};

bool Lists(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace

// Asteroids and comets shown (saved so) and the built "default.ast" and
// "default.cmt": both tables are filled at start, drawn, and found, while
// the solar-system settings window is never made.
TEST_F(StartDuties, ElementListsAreLoadedAtStartWithoutTheirWindow) {
  {
    platform::TRegIniFile reg;
    reg.WriteBool("Solar System", "ast disp", true);
    reg.WriteBool("Solar System", "com disp", true);
    reg.Flush();
  }
  const int asteroids = ElementFileBodyCount("default.ast"), comets = ElementFileBodyCount("default.cmt");
  ASSERT_GT(asteroids, 100);
  ASSERT_GT(comets, 100);
  ASSERT_TRUE(Start());
  // The tables change hands once the cursor watch has paused.
  ASSERT_TRUE(RunEventsUntil([&] { return AsteroidCount == asteroids && CometCount == comets; }, kEventWaitMs))
      << AsteroidCount << " " << CometCount;
  ASSERT_NE(SolSysForm1, nullptr);  // made at start, never opened
  EXPECT_FALSE(SolSysForm1->isVisible());
  EXPECT_EQ(std::tuple(MainPlotter->ShowAsteroids, MainPlotter->ShowComets), std::tuple(1, 1));
  EXPECT_EQ(AsteroidElementsFile, "default.ast");
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
  ASSERT_TRUE(Rendered());
  EXPECT_TRUE(Lists(Found("Vesta"), "The Asteroid (4) Vesta"));
  EXPECT_FALSE(SolSysForm1 && SolSysForm1->isVisible());
  EXPECT_TRUE(Close());
}

// A settings file named on the command line, read at the first tick: its
// solar-system block loads the element files again (here the lists that
// replaced the empty ones of the start), though the window was never made.
TEST_F(StartDuties, SettingsFileBlockLoadsTheElementListsAgain) {
  UseRunFolder();
  WriteRunFile("default.ast", "");
  WriteRunFile("default.cmt", "");
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  // Written with the switches on; the program runs with them off.
  TSolarSwitches on = PlotterSolarSwitches();
  on[8] = on[10] = 1;  // asteroids and comets shown
  SetPlotterSolarSwitches(on);
  const std::string file = home.File("shown.ssf");
  ASSERT_TRUE(WriteSettingsFile(file, 1));
  SetPlotterSolarSwitches(SolarSwitchDefaults());
  ASSERT_TRUE(RunEventsUntil([] { return AsteroidCount == 0 && CometCount == 0; }, kEventWaitMs));
  EXPECT_EQ(AsteroidElementsFile, "default.ast");  // an empty list is a list
  for (const char* list : {"default.ast", "default.cmt"}) {
    fs::remove(runFolder_ + list);
    fs::copy_file(builtData_ + list, runFolder_ + list);
  }
  form->CommandLine = {file};
  form->show();
  ASSERT_TRUE(RunEventsUntil([&] { return !form->StartupPending; }, kEventWaitMs));
  const int asteroids = ElementFileBodyCount("default.ast");
  ASSERT_TRUE(RunEventsUntil([&] { return AsteroidCount == asteroids && CometCount > 100; }, kEventWaitMs))
      << AsteroidCount << " " << CometCount;
  EXPECT_EQ(MainPlotter->ShowAsteroids, 1);
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
  ASSERT_TRUE(Rendered());
  EXPECT_TRUE(Lists(Found("Vesta"), "The Asteroid (4) Vesta"));
  EXPECT_FALSE(SolSysForm1 && SolSysForm1->isVisible());
  EXPECT_TRUE(Close());
}

// "autoexec.sbas" runs before the settings file named on the command line
// is read: where both set the time, the file's time stands.
TEST_F(StartDuties, TheCommandLineFileIsReadAfterTheStartUpScript) {
  UseRunFolder();
  WriteRunFile("autoexec.sbas", "SET_JD 2460000.5\r\nPRINT \"autoexec ran\"\r\n");
  ASSERT_TRUE(form->StartUp());
  form->CreateProgramWindows();
  SetObserverUT(ObserverTime, 2451545.0);
  const std::string file = home.File("j2000.ssf");
  ASSERT_TRUE(WriteSettingsFile(file, 2));  // every block, the date and time among them
  form->CommandLine = {file};
  form->show();
  ASSERT_TRUE(FirstTickAndBox("autoexec ran"));
  // The clock runs on from the file's time meanwhile: by far less than a
  // tenth of a day.
  EXPECT_NEAR(ObserverTime.JD_UT, 2451545.0, 0.1);
  EXPECT_TRUE(Close());
}

// The catalogue slots read at start are written back at the end though
// their window was never opened: a file gone meanwhile is written again
// with them. A damaged file kept aside at start stays as it was, and the
// end writes the defaults under the file's own name beside it.
TEST_F(StartDuties, CatalogSlotsAreWrittenBackAtTheEnd) {
  UseRunFolder();
  const TCatalogSlots built = ReadCatalogSlots(builtData_ + "ObjectOptions.xml");
  ASSERT_TRUE(built[1].Assigned());  // the builder offers the IC in slot 2
  ASSERT_TRUE(Start());
  fs::remove(runFolder_ + "ObjectOptions.xml");
  EXPECT_TRUE(Close());
  EXPECT_EQ(OptionsForm2, nullptr);
  ASSERT_TRUE(platform::FileExists(runFolder_ + "ObjectOptions.xml"));
  const TCatalogSlots back = ReadCatalogSlots(runFolder_ + "ObjectOptions.xml");
  for (int k = 0; k < kCatalogSlots; ++k)
    EXPECT_EQ(std::tuple(back[k].Name, back[k].Description, back[k].Active),
              std::tuple(built[k].Name, built[k].Description, built[k].Active))
        << k;

  // Damaged: kept aside at start, told, never written over.
  const std::string junk = "<?xml version=\"1.0\"?>\n<ObjectCatalogs><Selections><CatalogName2>mine</Catal";
  WriteRunFile("ObjectOptions.xml", junk);
  form = NewWindow();
  CloseState = kRunning;
  ASSERT_TRUE(Start());
  std::string kept;
  for (const auto& e : fs::directory_iterator(runFolder_))
    if (e.path().filename().string().rfind("ObjectOptions.damaged-", 0) == 0) kept = e.path().string();
  ASSERT_FALSE(kept.empty());
  ASSERT_GE(dialogs.Count(), 1u);
  EXPECT_NE(dialogs.Records()[0].text.find("It is kept as " + kept), std::string::npos) << dialogs.Records()[0].text;
  EXPECT_TRUE(Close());
  EXPECT_EQ(testing_support::ReadText(kept), junk);
  EXPECT_EQ(ReadCatalogSlots(runFolder_ + "ObjectOptions.xml")[1].Name, kNotAssigned);
}

// Another copy of the program imports a catalogue into a slot (its options
// window writes "ObjectOptions.xml") while this one runs with the window
// never opened: this one's end leaves that file as it is, so the imported
// catalogue keeps its slot. This run's own change (a slot reset by Remove)
// is written back as before.
TEST_F(StartDuties, CatalogSlotsAnotherCopyWroteAreKeptAtTheEnd) {
  UseRunFolder();
  const std::string file = runFolder_ + "ObjectOptions.xml";
  ASSERT_TRUE(Start());
  TCatalogSlots theirs = ReadCatalogSlots(file);
  theirs[2] = {"their_catalogue", "Imported by the other copy", true};
  ASSERT_TRUE(WriteCatalogSlots(theirs, home.File("theirs.xml")));
  fs::remove(file);
  fs::copy_file(home.File("theirs.xml"), file);
  const std::string written = testing_support::ReadText(file);
  EXPECT_TRUE(Close());
  EXPECT_EQ(testing_support::ReadText(file), written);
  EXPECT_EQ(ReadCatalogSlots(file)[2].Name, "their_catalogue");
  EXPECT_TRUE(Lists(LogLines().Lines(), "[Settings] " + file + " was changed by another program"));

  // This run's own write, then the end's.
  form = NewWindow();
  CloseState = kRunning;
  ASSERT_TRUE(Start());
  // (As Remove resets a slot and writes the slots in force.)
  CatalogSlots[2] = {kNotAssigned, kNoDescription, false};
  ASSERT_TRUE(WriteCatalogSlots(CatalogSlots, file));
  CatalogSlots[3] = {"shown_later", "Changed in this run", false};
  EXPECT_TRUE(Close());
  const TCatalogSlots back = ReadCatalogSlots(file);
  EXPECT_EQ(std::tuple(back[2].Name, back[3].Name), std::tuple(std::string(kNotAssigned), std::string("shown_later")));
}
