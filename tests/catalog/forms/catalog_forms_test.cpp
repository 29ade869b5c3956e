// The catalogue windows driven through their controls: star options,
// deep-sky options with the import window, the solar-system settings with
// element downloads from a small HTTP server on the loopback interface, and
// settings blocks 1 to 3.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <tuple>

#include "astro/transforms.h"
#include "catalog/forms/import_tool_form.h"
#include "catalog/forms/object_options_form.h"
#include "catalog/forms/settings_owners.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/forms/star_options_form.h"
#include "catalog/hooks.h"
#include "catalog/stars.h"
#include "chart/drawing_colors.h"
#include "chart/plotter.h"
#include "data/deepsky.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "shell/globals.h"
#include "shell/log_lines.h"
#include "shell/messages.h"
#include "shell/settings_sections.h"
#include "tests/chart/layer_scene.h"
#include "tests/support/import_columns.h"
#include "tests/support/object_database.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

namespace {

// Saves a window's picture to $NOCTRA_GRAB_DIR/<name>.png when that
// variable is set, so the windows can be looked at after a test run.
void GrabWindow(QWidget& w, const char* name) {
  if (const char* dir = std::getenv("NOCTRA_GRAB_DIR")) w.grab().save(QString(dir) + "/" + name + ".png");
}

// The test database as the program's, a plotter, hooks recorded, dialogs
// scripted, registry sections and settings owners cleared.
struct CatalogWindows : ::testing::Test {
  ObjectDatabase data;
  platform::ScopedScriptedDialogs dialogs;  // a star reload finds no star files here
  tPlotter plotter;
  int replots = 0;
  std::vector<bool> labels;
  std::string help;  // the last page of the user guide opened
  void SetUp() override {
    MakeDrawingColors();
    MainPlotter = &plotter;
    InitObserver(ObserverTime);
    ProgramFolder = data.dir.Path();
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    h.setObjectLabels = [this](bool on) { labels.push_back(on); };
    h.showHelp = [this](const std::string& page) { help = page; };
    SetCatalogHooks(h);
    StarOptions = RegistryDefaultStarOptions();
    ApplyStarAppearance(StarOptions);
    ObjectFilter = TObjectFilter{};
    LoadCatalogSlots();  // as the start reads them
    ObjectCatalog = std::make_unique<tCO>(std::vector<std::string>{kBaseCatalogTable});
    ObjectCatalog->SetFilter(ObjectFilter);
    for (const char* section : {"Stars", "Objects", "Solar System"})
      platform::TRegIniFile().EraseSection(section);
    UnregisterAllSettingsSectionsForTest();
  }
  void TearDown() override {
    WaitForStarLoad();
    ObjectCatalog.reset();
    SetCatalogHooks({});
    ProgramFolder.clear();
    MainPlotter = nullptr;
    UnregisterAllSettingsSectionsForTest();
  }
};

}  // namespace

TEST_F(CatalogWindows, StarOkWithOnlyTheColourSwitchRedrawsWithoutReloading) {
  TOptionsForm1 form;
  form.show();
  const TStarOptions before = StarOptions;
  form.ColorCheckBox1->click();
  QTest::mouseClick(form.OkBitBtn1, Qt::LeftButton);
  EXPECT_EQ(std::tuple(StarThreadRunning(), replots), std::tuple(false, 1));
  EXPECT_EQ(plotter.StarOptionA, before.ColorBySpectrum ? 0 : 1);
  EXPECT_EQ(StarOptions.ColorBySpectrum, plotter.StarOptionA);
}

TEST_F(CatalogWindows, StarOkWithANewLimitReloadsAndReachesBlockRegistryAndPlotter) {
  {
    TOptionsForm1 form;  // Cancel changes nothing
    form.show();
    form.TrackBarMagn2->setValue(80);
    form.SizeMagRadioButton1->click();
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_EQ(StarOptions, RegistryDefaultStarOptions());
    EXPECT_EQ(plotter.StarDiscs, 0);
  }
  TOptionsForm1 form;
  form.show();
  form.TrackBarMagn2->setValue(60);
  EXPECT_FALSE(form.AutoLimitCheckBox1->isEnabled());
  form.TrackBarMagn2->setValue(61);
  EXPECT_TRUE(form.AutoLimitCheckBox1->isEnabled());
  form.TrackBarMagn1->setValue(70);  // drags the high limit along
  EXPECT_EQ(form.TrackBarMagn2->value(), 70);
  form.TrackBarMagn1->setValue(-10);
  form.SpectralListBox1->item(20)->setSelected(false);
  form.SizeMagRadioButton1->click();
  form.StarSizeTrackBar1->setValue(5);
  form.PageControl1->setCurrentIndex(4);
  GrabWindow(form, "star_options");
  QTest::mouseClick(form.OkBitBtn1, Qt::LeftButton);
  EXPECT_TRUE(StarThreadRunning() || dialogs.Count() > 0);
  WaitForStarLoad();
  EXPECT_EQ(std::tuple(StarOptions.HighMagLimit, StarOptions.SpectralClasses[20]), std::tuple(7.0, 0));
  EXPECT_EQ(std::tuple(plotter.StarDiscs, plotter.StarSize), std::tuple(2, 5));
  TStarOptions fromBlock;
  const std::vector<uint8_t> block = StarOptionsBlock();
  ASSERT_TRUE(DecodeStarOptions(block.data(), block.size(), fromBlock));
  EXPECT_EQ(fromBlock, StarOptions);

  form.show();
  form.DefaultsClick(0);  // Revert: the window's own defaults, low limit -2.0
  EXPECT_EQ(std::tuple(form.TrackBarMagn1->value(), form.TrackBarMagn2->value()), std::tuple(-20, 65));
  QTest::mouseClick(form.SaveDefaultBitBtn1, Qt::LeftButton);
  platform::TRegIniFile reg;
  EXPECT_EQ(std::tuple(reg.ReadInteger("Stars", "low mag limit", 0),
                       reg.ReadInteger("Stars", "size adjust", 0),
                       reg.ReadInteger("Stars", "brightness by magnitude", 1)),
            std::tuple(-20, 5, 0));
}

TEST_F(CatalogWindows, DeepSkyOkAppliesTheFilterAndLabelsCancelChangesNothingSaveWritesTheRegistry) {
  {
    TOptionsForm2 form;
    form.show();
    EXPECT_EQ(form.TrackBarMagn2->value(), 120);
    form.TrackBarMagn2->setValue(40);
    form.ClassCheckBox[5]->click();  // galaxies off
    form.LabelCheckBox1->setChecked(false);
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_EQ(ObjectCatalog->Filter(), TObjectFilter{});
    EXPECT_TRUE(labels.empty());
  }
  TOptionsForm2 form;
  form.show();
  GrabWindow(form, "object_options");
  EXPECT_TRUE(form.ClassCheckBox[5]->isChecked());
  form.TrackBarMagn2->setValue(40);
  EXPECT_EQ(form.MagnLabel2->text(), " 4.0");
  form.TrackBarMagn1->setValue(50);  // the bright limit drags the faint one along
  EXPECT_EQ(form.TrackBarMagn2->value(), 50);
  form.TrackBarMagn1->setValue(-15);
  form.ClassCheckBox[5]->click();
  form.LabelCheckBox1->setChecked(false);
  QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);

  TObjectFilter shown;
  const std::vector<uint8_t> block = ObjectFilterBlock();
  ASSERT_TRUE(DecodeObjectFilter(block.data(), block.size(), shown));
  // Class 7 has no switch: always cleared by Ok.
  EXPECT_EQ(std::tuple(shown.HighMagLimit, shown.Classes[5], shown.Classes[7], shown.LabelObjects),
            std::tuple(5.0, 0, 0, 0));
  EXPECT_EQ(ObjectCatalog->Count(), 1);  // only the diffuse nebula of magnitude 4 is left
  EXPECT_EQ(labels, std::vector<bool>{false});
  EXPECT_GE(replots, 1);

  QTest::mouseClick(form.SaveDefaultBitBtn1, Qt::LeftButton);
  platform::TRegIniFile reg;
  EXPECT_EQ(std::tuple(reg.ReadInteger("Objects", "high mag limit", 0),
                       reg.ReadInteger("Objects", "misc settings", 0),
                       reg.ReadBool("Objects", "label objects", true)),
            std::tuple(50, 0x3FF & ~(1 << 5), false));

  QTest::mouseClick(form.Defaults2, Qt::LeftButton);  // Revert: the window's own limits
  EXPECT_EQ(std::tuple(form.TrackBarMagn1->value(), form.TrackBarMagn2->value()), std::tuple(-15, 120));
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);  // Clear All
  EXPECT_TRUE(std::ranges::none_of(form.ClassCheckBox, [](QCheckBox* b) { return b && b->isChecked(); }));
}

// Ok with a new limit or class redraws the chart at once (else it shows the
// objects the filter now leaves out until the next minute); Ok with nothing
// changed draws nothing again.
TEST_F(CatalogWindows, DeepSkyOkWithANewFilterRedrawsAtOnce) {
  TOptionsForm2 form;
  const std::pair<std::function<void()>, int> steps[] = {
      {[&] { form.TrackBarMagn2->setValue(35); }, 1},  // a limit: M31 alone is left
      {[&] { form.ClassCheckBox[5]->click(); }, 1},    // a class: galaxies off
      {[] {}, 0}};                                      // nothing
  for (const auto& [change, redraws] : steps) {
    form.show();
    const int before = replots;
    change();
    QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
    EXPECT_EQ(replots - before, redraws);
  }
  EXPECT_EQ(ObjectCatalog->Count(), 0);  // M31 is a galaxy
  EXPECT_TRUE(labels.empty());           // the label switch never changed
}

// A tick the catalogue refuses (another program holds the database) is
// undone in the window and written nowhere, so that this run and the next
// agree; once the database is free the same tick is used and written.
TEST_F(CatalogWindows, DeepSkyTickRefusedByALockedDatabaseIsUndoneAndNotWritten) {
  TCatalogSlots mine = DefaultCatalogSlots();
  mine[2] = {"my_cat", "Mine", false};
  ASSERT_TRUE(WriteCatalogSlots(mine));
  LoadCatalogSlots();
  TOptionsForm2 form;
  form.show();
  const std::string file = testing_support::ReadText(ObjectOptionsPath());
  {
    OtherProgram other(data.path, kLockExclusive);
    form.Active[2]->click();
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_NE(dialogs.Last().text.find("is in use by another program"), std::string::npos) << dialogs.Last().text;
    EXPECT_FALSE(form.Active[2]->isChecked());
    EXPECT_FALSE(CatalogSlots[2].Active);
    EXPECT_EQ(testing_support::ReadText(ObjectOptionsPath()), file);
    EXPECT_EQ(ObjectCatalog->TableCount(), 1);
  }
  // The program's end writes what is in force: still inactive.
  EXPECT_TRUE(SaveCatalogSlots());
  EXPECT_FALSE(ReadCatalogSlots()[2].Active);
  LoadCatalogSlots();
  form.Active[2]->click();
  EXPECT_TRUE(form.Active[2]->isChecked());
  EXPECT_EQ(ObjectCatalog->TableCount(), 2);
  EXPECT_TRUE(ReadCatalogSlots()[2].Active);
}

// The window shows the slots the start read and never reads the file: one
// another copy wrote since is neither shown nor taken as this run's.
TEST_F(CatalogWindows, DeepSkyWindowShowsTheSlotsTheStartRead) {
  TCatalogSlots mine = DefaultCatalogSlots();
  mine[2] = {"my_cat", "Mine", true};
  ASSERT_TRUE(WriteCatalogSlots(mine));
  LoadCatalogSlots();
  mine[2] = {"their_cat", "Theirs", false};
  ASSERT_TRUE(WriteCatalogSlots(mine, data.dir.File("theirs.xml")));
  std::filesystem::rename(data.dir.File("theirs.xml"), ObjectOptionsPath());
  TOptionsForm2 form;
  form.show();
  EXPECT_EQ(std::tuple(form.CatName[2]->text(), form.Active[2]->isChecked()), std::tuple("my_cat", true));
  EXPECT_FALSE(SaveCatalogSlots());  // the other copy's file stays
}

// The window's note follows the database while it is open: missing at the
// start, then back but locked when a catalogue is ticked, then read by the
// program's own try once the lock ends.
TEST_F(CatalogWindows, DeepSkyNoteFollowsTheDatabase) {
  ObjectCatalog.reset();
  std::filesystem::rename(data.path, data.dir.File("away.sqlite"));
  ObjectCatalog = OpenObjectCatalog({kBaseCatalogTable});
  TOptionsForm2 form;
  form.show();
  auto note = [&] { return form.DatabaseNote->isVisible() ? form.DatabaseNote->text().toStdString() : ""; };
  EXPECT_NE(note().find("could not be read (the file is missing)"), std::string::npos) << note();
  std::filesystem::rename(data.dir.File("away.sqlite"), data.path);
  {
    OtherProgram other(data.path, kLockExclusive);
    CatalogSlots[2] = {"my_cat", "Mine", true};
    EXPECT_FALSE(ApplyCatalogSelection(CatalogSlots));
    EXPECT_EQ(note(), "There are no deep-sky objects: the object database Objects.sqlite is in use by another "
                      "program (database is locked); they are read once it is free.");
  }
  EXPECT_TRUE(QTest::qWaitFor([] { return ObjectCatalog != nullptr; }, 30000));
  EXPECT_EQ(note(), "");
  EXPECT_EQ(ObjectCatalog->TableCount(), 2);
}

TEST_F(CatalogWindows, DeepSkyAddImportsThroughTheImportWindowAndRemoveDropsTheTable) {
  testing_support::WriteText(data.dir.File("extra.csv"), "Q1,10.5,-0.25,6.1,5\nQ2,11,+3,,3\n");
  TOptionsForm2 form;
  form.show();
  ASSERT_FALSE(form.Remove[2]->isEnabled());
  // The import window, shown as the Add button would show it, is driven
  // through its controls.
  form.RunImport = [&](const std::string& file, const std::vector<std::string>& used, std::string& table,
                       std::string& description) {
    TImportToolForm1 import;
    import.FileName = file;
    import.NamesInUse = used;
    import.show();
    EXPECT_EQ(import.ImportPreview->columnCount(), 1);
    import.CommaCheckBox->setChecked(true);
    import.ReadPreview();
    EXPECT_EQ(import.ImportPreview->columnCount(), 5);
    testing_support::AssignImportColumns(import, {"ID", "RAD", "DED", "Mv", "CL"});
    EXPECT_EQ(import.ImportPreview->horizontalHeaderItem(1)->text(), "RAD {RA}");
    GrabWindow(import, "import_tool");
    QTest::mouseClick(import.OkButton, Qt::LeftButton);
    EXPECT_NE(dialogs.Last().text.find("description"), std::string::npos);
    QTest::keyClicks(import.DescriptionEdit, "Two test objects");
    QTest::mouseClick(import.OkButton, Qt::LeftButton);
    EXPECT_TRUE(import.Success);
    table = import.TableName;
    description = import.Description();
    return import.Success;
  };
  dialogs.QueueFile({true, data.dir.File("extra.csv"), 1});
  QTest::mouseClick(form.Add[2], Qt::LeftButton);
  EXPECT_EQ(std::tuple(form.CatName[2]->text(), form.CatDescription[2]->text()),
            std::tuple("extra", "Two test objects"));
  EXPECT_EQ(std::tuple(form.Remove[2]->isEnabled(), form.Add[2]->isEnabled()), std::tuple(true, false));

  form.Active[2]->click();
  ASSERT_EQ(ObjectCatalog->TableCount(), 2);
  EXPECT_EQ(ObjectCatalog->TableName(1), "extra");
  EXPECT_EQ(std::tuple(ReadCatalogSlots()[2].Name, ReadCatalogSlots()[2].Active), std::tuple("extra", true));

  dialogs.QueueAnswer(platform::IDOK);
  QTest::mouseClick(form.Remove[2], Qt::LeftButton);
  EXPECT_EQ(form.CatName[2]->text(), kNotAssigned);
  EXPECT_EQ(ObjectCatalog->TableCount(), 1);
  EXPECT_FALSE(TSQLiteDatabase(data.path).TableExists("extra"));
}

// A pipe chosen as the import's source is refused in the window's message
// box before the window shows, and never opened.
TEST_F(CatalogWindows, TheImportWindowRefusesAPipeUnshown) {
  PipeInPlace pipe(data.dir.File("pipe.csv"));
  TImportToolForm1 import;
  import.FileName = data.dir.File("pipe.csv");
  QTimer::singleShot(0, &import, &QDialog::reject);  // a window shown anyway ends the wait
  EXPECT_EQ(import.exec(), QDialog::Rejected);
  EXPECT_FALSE(import.Success);
  EXPECT_EQ(dialogs.Last().text,
            "The catalogue \"" + import.FileName + "\" cannot be imported: it is a named pipe, not a file.");
  EXPECT_FALSE(pipe.Opened());
}

// A fresh working folder as the data builder leaves it offers the IC table
// (not active); made active, its objects are drawn on the chart.
TEST_F(CatalogWindows, FreshFolderOffersTheBuildersIcCatalogueAndDrawsItOnceActive) {
  testing_support::TempDir fresh;
  ProgramFolder = fresh.Path();
  LayerScene scene(600, 600, 8, 1.5707963267948966, 0, 40 * 3.141592653589793 / 180);
  ObserverTime = scene.p->Observer;
  mkdata::DeepSkyObject ngc{"NGC", 1, "1", "", 1, "", 0, 0, 5.0, 10, 10, 0, ""}, ic = ngc;
  HorizontalToEquatorial(scene.p->Observer, ngc.ra, ngc.dec, 0, 1.55);
  HorizontalToEquatorial(scene.p->Observer, ic.ra, ic.dec, 0, 1.5);
  mkdata::WriteObjectDatabase(ObjectDatabasePath(), {ngc}, {ic});
  ASSERT_EQ(OfferCatalogTable(ObjectOptionsPath(), mkdata::kIcTable, mkdata::kIcDescription), 2);
  LoadCatalogSlots();
  TOptionsForm2 form;
  form.show();
  EXPECT_EQ(std::tuple(form.CatName[1]->text(), form.Active[1]->isEnabled(), form.Active[1]->isChecked()),
            std::tuple("IC", true, false));
  form.Active[1]->click();
  ASSERT_EQ(ObjectCatalog->TableCount(), 2);
  scene.p->DrawDeepSkyObjects();
  // Record 1 (the IC object, after the base table's one) is on the chart.
  ASSERT_EQ(scene.p->ObjectLabelCount, 2);
  EXPECT_EQ(scene.p->ObjectLabelList[2].Record, 1);
}

// Each settings block round-trips through a file; a damaged one is refused
// whole and changes nothing, but a damaged solar-system block gives that
// window's defaults (switches, empty tables).
TEST_F(CatalogWindows, SettingsBlocksRoundTripAndDamagedOnesAreRefused) {
  RegisterCatalogSettingsOwners();
  TSolarSwitches s = SolarSwitchDefaults();
  s[6] = s[10] = 1;
  struct Case {
    int slot;
    std::size_t byte;  // within the block
    uint8_t damage;    // out of range there
    std::function<void(bool)> set;  // the written state (true) or another one
    std::function<bool(bool)> is;   // whether that state is in force
  };
  const Case cases[] = {
      {1, 16, 9,  // the variable star mode
       [](bool written) { StarOptions.HighMagLimit = written ? 8.5 : 3.0; },
       [](bool written) { return StarOptions.HighMagLimit == (written ? 8.5 : 3.0); }},
      {3, 3, 7,  // a switch
       [&](bool written) { SetPlotterSolarSwitches(written ? s : SolarSwitchDefaults()), AsteroidCount = 1; },
       [&](bool written) { return PlotterSolarSwitches() == (written ? s : SolarSwitchDefaults()); }},
  };
  testing_support::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    c.set(true);
    ASSERT_TRUE(WriteSettingsFile(dir.File("a.ssf"), 1));
    c.set(false);
    EXPECT_EQ(ReadSettingsFile(dir.File("a.ssf")), TSettingsReadResult::Ok);
    WaitForStarLoad();  // block 1 starts a star load
    EXPECT_TRUE(c.is(true));
    // The directory holds each block's offset at byte 7 + 6 × (slot − 1).
    std::vector<uint8_t> bytes = testing_support::ReadFile(dir.File("a.ssf"));
    const std::size_t d = 7 + 6 * std::size_t(c.slot - 1);
    const uint32_t at = bytes[d] | bytes[d + 1] << 8 | bytes[d + 2] << 16 | uint32_t(bytes[d + 3]) << 24;
    bytes[at + c.byte] = c.damage;
    testing_support::WriteFile(dir.File("b.ssf"), bytes);
    c.set(false);
    EXPECT_EQ(ReadSettingsFile(dir.File("b.ssf")), TSettingsReadResult::Refused);
    EXPECT_TRUE(c.is(false));
  }
  EXPECT_EQ(AsteroidCount, 0);
}

namespace {

// Answers every request with one canned response, or never when `silent`.
class TinyHttpServer {
 public:
  int status = 200;
  std::string body;
  bool silent = false;
  std::vector<std::string> paths;

  TinyHttpServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
          const QByteArray request = s->readAll();
          paths.push_back(request.split(' ').value(1).toStdString());
          if (silent) return;
          const std::string reply = "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
          s->write(reply.data(), qint64(reply.size()));
          s->disconnectFromHost();
        });
      }
    });
    ElementDownloadHost = "http://127.0.0.1:" + std::to_string(server_.serverPort());
  }

 private:
  QTcpServer server_;
};

// A minor planet in the Minor Planet Center's one-line export format.
std::string MpcLine(const std::string& name) {
  std::string line(202, ' ');
  const std::pair<int, std::string> fields[] = {
      {1, "00001"},      {9, " 3.34"},       {15, " 0.12"},       {21, "K2555"},       {27, "188.70269"},
      {38, " 73.27343"}, {49, " 80.25221"},  {60, " 10.58780"},   {71, "0.0794013"},   {81, " 0.21424651"},
      {93, "  2.7660512"}, {167, name}};
  for (const auto& [column, text] : fields) line.replace(std::size_t(column - 1), text.size(), text);
  return line;
}

struct SolarSystemWindow : CatalogWindows {
  QString oldFolder = QDir::currentPath();
  void SetUp() override {
    CatalogWindows::SetUp();
    QDir::setCurrent(QString::fromStdString(data.dir.Path()));
    AsteroidElementsFile = "default.ast";
    CometElementsFile = "default.cmt";
    SetPlotterSolarSwitches(SolarSwitchDefaults());
    LoadElementFiles();  // as the program's start does
  }
  void TearDown() override {
    QDir::setCurrent(oldFolder);
    CatalogWindows::TearDown();
  }
};

const char* const kVesta[] = {"Yes", "4 Vesta", "2461000.5", "20.8", "2.36", "0.089",
                              "151.1", "103.8", "7.14", "3.2", "0.32"};

}  // namespace

TEST_F(SolarSystemWindow, OkStoresTheSwitchAndTheDefaultNamesCancelChangesNothing) {
  TSolSysForm1 form;
  form.show();
  // A fixed client area of 490 x 368; Help opens the window's page.
  QTest::mouseClick(form.HelpButton, Qt::LeftButton);
  EXPECT_EQ(std::tuple(form.minimumSize(), form.maximumSize(), help),
            std::tuple(QSize(490, 368), QSize(490, 368), "settings.html#solar"));
  EXPECT_EQ(form.Pages[0].caption->text(), "Orbital Elements");  // no default.ast here yet
  form.SwitchCheckBox[8]->click();  // asteroids on
  EXPECT_TRUE(form.SwitchCheckBox[9]->isEnabled());
  QTest::mouseClick(form.CancelButton, Qt::LeftButton);
  EXPECT_EQ(plotter.ShowAsteroids, 0);

  form.show();
  form.SwitchCheckBox[0]->click();  // on and off again: nothing asked, nothing written
  form.SwitchCheckBox[0]->click();
  plotter.Replot = 0;
  QTest::mouseClick(form.OkButton, Qt::LeftButton);
  EXPECT_EQ(plotter.Replot, 1);
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_EQ(platform::TRegIniFile().ReadString("Solar System", "ast elements file", "none"), "none");

  form.show();
  form.SwitchCheckBox[8]->click();
  form.PageControl1->setCurrentIndex(3);
  GrabWindow(form, "solar_system");
  QTest::mouseClick(form.OkButton, Qt::LeftButton);
  EXPECT_EQ(dialogs.Count(), 0u);  // grids unchanged: no question
  EXPECT_EQ(std::tuple(plotter.ShowAsteroids, SolarSystemBlock()[8]), std::tuple(1, 1));
  EXPECT_EQ(platform::TRegIniFile().ReadString("Solar System", "ast elements file", ""), "default.ast");
  // An edited grid is asked about; Cancel keeps the window open.
  form.show();
  form.Pages[1].changed = true;
  dialogs.QueueAnswer(platform::IDCANCEL);
  EXPECT_FALSE(form.OkClick());
  EXPECT_NE(dialogs.Last().text.find("Comet Elements have changed"), std::string::npos);
  dialogs.QueueAnswer(platform::IDYES);
  EXPECT_TRUE(form.OkClick());
  EXPECT_TRUE(QFile::exists("default.cmt"));

  QTest::mouseClick(form.SaveDefaultButton, Qt::LeftButton);
  EXPECT_TRUE(platform::TRegIniFile().ReadBool("Solar System", "ast disp", false));
}

// Lists of 1,001 bodies: told of when they are loaded (name and limit, in a
// message and the log), the asteroid list not loaded, the comet list cut to
// 1,000; the window shows them so, and neither file is replaced unasked: No
// leaves it byte for byte.
TEST_F(SolarSystemWindow, ListsOverTheLimitAreToldAndNeverReplacedUnasked) {
  const char* const halley[] = {"Yes", "1P/Halley", "2446470.5", "0.586", "0.967", "111.3", "58.4", "162.3", "5.5", "0.15"};
  TElementGrid asteroids(11), comets(10);
  asteroids.SetRowCount(1003), comets.SetRowCount(1003);
  for (int r = 1; r <= 1001; ++r)
    for (int c = 0; c < 11; ++c) asteroids.SetCell(c, r, kVesta[c]), comets.SetCell(c, r, c < 10 ? halley[c] : "");
  ASSERT_TRUE(SaveAsteroidElements(asteroids, "default.ast") && SaveCometElements(comets, "default.cmt"));
  const auto astBefore = testing_support::ReadFile(data.dir.File("default.ast"));
  const auto cmtBefore = testing_support::ReadFile(data.dir.File("default.cmt"));
  auto unchanged = [&] {
    return testing_support::ReadFile(data.dir.File("default.ast")) == astBefore &&
           testing_support::ReadFile(data.dir.File("default.cmt")) == cmtBefore;
  };

  AsteroidElementsFile = "default.ast";  // the names the settings give at start
  CometElementsFile = "default.cmt";
  LoadElementFiles();
  const auto told = dialogs.Records();
  TSolSysForm1 form;
  EXPECT_EQ(dialogs.Count(), 2u);  // the window tells nothing again
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0].text, "The asteroid list \"default.ast\" holds more than 1,000 asteroids, the most the table "
                          "takes: it was not loaded. The file stays as it is. Keep at most 1,000 asteroids in it to "
                          "load it whole.");
  EXPECT_EQ(told[1].text.rfind("The comet list \"default.cmt\" holds more than 1,000 comets, the most the table "
                               "takes: only the first 1,000 were loaded.",
                               0),
            0u);
  EXPECT_EQ(LogLines().LastLine(), "[Solar System] " + told[1].text);
  EXPECT_EQ(std::tuple(form.Pages[0].grid.BodyCount(), form.Pages[1].grid.BodyCount()), std::tuple(0, 1000));

  // Save as default, OK after an edit (Yes to saving it), a download: No
  // to each replacement question keeps both files.
  form.show();
  dialogs.Clear();
  for (int i = 0; i < 2; ++i) dialogs.QueueAnswer(platform::IDNO);
  QTest::mouseClick(form.SaveDefaultButton, Qt::LeftButton);
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_EQ(dialogs.Records()[0].text, "The asteroid list \"default.ast\" was not loaded whole: it holds more "
                                       "than 1,000 asteroids.\r\nReplace it with the 0 asteroids of this table?");
  EXPECT_EQ(dialogs.Records()[1].buttons, platform::MsgButtons::YesNo);
  EXPECT_TRUE(unchanged());
  form.Pages[0].view->item(0, 1)->setText("4 Vesta");
  for (int answer : {platform::IDYES, platform::IDNO}) dialogs.QueueAnswer(answer);
  EXPECT_TRUE(form.OkClick());
  EXPECT_NE(dialogs.Last().text.find("the 1 asteroid of this table"), std::string::npos);
  TinyHttpServer server;  // never asked: No comes first
  dialogs.QueueAnswer(platform::IDNO);
  form.DownloadClick(1);
  EXPECT_TRUE(server.paths.empty());
  EXPECT_TRUE(unchanged());

  // Yes replaces the asteroid list, which then no longer asks.
  form.show();
  for (int answer : {platform::IDYES, platform::IDNO, platform::IDNO}) dialogs.QueueAnswer(answer);
  form.SaveDefaultClick();
  form.SaveDefaultClick();
  EXPECT_EQ(testing_support::ReadFile(data.dir.File("default.cmt")), cmtBefore);
  TElementGrid back(11);
  bool templateUsed = false;
  ASSERT_TRUE(LoadAsteroidElements(back, "default.ast", false, templateUsed));
  EXPECT_EQ(back.Cell(1, 1), "4 Vesta");
}

// The current lists are other files than the defaults, named in the
// settings and over the limit ("big.ast" not loaded, "big.cmt" cut to
// 1,000): Save as default, OK's Yes and Save elements over the held-back
// file each ask first, naming both files and what the default holds, with
// No as the default button (Return keeps the file); the flash comes after
// the questions and says only what was saved.
TEST_F(SolarSystemWindow, ListsHeldBackFromOtherFilesAreAskedAboutBeforeAnyReplacement) {
  const char* const halley[] = {"Yes", "1P/Halley", "2446470.5", "0.586", "0.967", "111.3", "58.4", "162.3", "5.5", "0.15"};
  auto list = [&](int bodies) {
    TElementGrid a(11), c(10);
    a.SetRowCount(bodies + 2), c.SetRowCount(bodies + 2);
    for (int r = 1; r <= bodies; ++r)
      for (int k = 0; k < 11; ++k) a.SetCell(k, r, kVesta[k]), c.SetCell(k, r, k < 10 ? halley[k] : "");
    return std::pair(a, c);
  };
  auto [bigA, bigC] = list(1001);
  auto [smallA, smallC] = list(3);
  ASSERT_TRUE(SaveAsteroidElements(bigA, "big.ast") && SaveCometElements(bigC, "big.cmt"));
  ASSERT_TRUE(SaveAsteroidElements(smallA, "default.ast") && SaveCometElements(smallC, "default.cmt"));
  const auto astBefore = testing_support::ReadFile(data.dir.File("default.ast"));
  const auto bigCmtBefore = testing_support::ReadFile(data.dir.File("big.cmt"));
  std::vector<std::pair<std::string, std::size_t>> flashes;  // text, boxes shown before it
  FlashSink sink;
  sink.message = [&](const std::string& text, int) { flashes.emplace_back(text, dialogs.Count()); };
  SetFlashSink(sink);
  AsteroidElementsFile = "big.ast";
  CometElementsFile = "big.cmt";
  LoadElementFiles();
  TSolSysForm1 form;
  form.show();
  ASSERT_EQ(std::tuple(form.Pages[0].grid.BodyCount(), form.Pages[1].grid.BodyCount()), std::tuple(0, 1000));

  // Save as default: No to the asteroids (Return), Yes to the comets.
  dialogs.Clear();
  dialogs.QueueAnswer(platform::IDNO);
  dialogs.QueueAnswer(platform::IDYES);
  QTest::mouseClick(form.SaveDefaultButton, Qt::LeftButton);
  auto asked = dialogs.Records();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].text, "The asteroid list \"big.ast\" was not loaded whole: it holds more than 1,000 "
                           "asteroids.\r\nReplace \"default.ast\", which holds 3 asteroids, with the 0 asteroids "
                           "of this table?");
  EXPECT_EQ(asked[1].text, "The comet list \"big.cmt\" was not loaded whole: it holds more than 1,000 "
                           "comets.\r\nReplace \"default.cmt\", which holds 3 comets, with the 1000 comets of this "
                           "table?");
  for (const auto& r : asked) EXPECT_EQ(std::tuple(r.buttons, r.defaultResult), std::tuple(platform::MsgButtons::YesNo, platform::IDNO));
  EXPECT_EQ(testing_support::ReadFile(data.dir.File("default.ast")), astBefore);
  EXPECT_EQ(ElementFileBodyCount("default.cmt"), 1000);
  ASSERT_EQ(flashes.size(), 1u);
  EXPECT_EQ(flashes[0], std::pair(std::string("Settings saved; \"default.ast\" left as it was."),
                                  std::size_t(2)));
  EXPECT_EQ(platform::TRegIniFile().ReadString("Solar System", "ast elements file", ""), "default.ast");

  // OK after an edit: a table smaller than the default file has No as the
  // default of "have changed"; Yes there still asks about the held-back list.
  form.show();
  dialogs.Clear();
  form.Pages[0].view->item(0, 1)->setText("4 Vesta");
  form.Pages[1].changed = true;
  for (int answer : {platform::IDYES, platform::IDNO, platform::IDNO}) dialogs.QueueAnswer(answer);
  EXPECT_TRUE(form.OkClick());
  asked = dialogs.Records();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(std::tuple(asked[0].text.rfind("Asteroid Elements have changed", 0), asked[0].defaultResult),
            std::tuple(0u, platform::IDNO));
  EXPECT_NE(asked[1].text.find("Replace \"default.ast\", which holds 3 asteroids, with the 1 asteroid of"),
            std::string::npos);
  // The comet table (1,000) is not smaller than "default.cmt" (1,000).
  EXPECT_EQ(std::tuple(asked[2].text.rfind("Comet Elements have changed", 0), asked[2].defaultResult),
            std::tuple(0u, platform::IDYES));
  EXPECT_EQ(testing_support::ReadFile(data.dir.File("default.ast")), astBefore);

  // A comet list loaded over the limit is held back too: saving the table
  // over that file asks first, and No keeps it.
  form.show();
  dialogs.Clear();
  dialogs.QueueFile({true, data.dir.File("big.cmt"), 1});
  QTest::mouseClick(form.Pages[1].load, Qt::LeftButton);
  ASSERT_EQ(form.Pages[1].grid.BodyCount(), 1000);
  dialogs.QueueFile({true, data.dir.File("big.cmt"), 1});
  dialogs.QueueAnswer(platform::IDNO);
  QTest::mouseClick(form.Pages[1].save, Qt::LeftButton);
  EXPECT_EQ(dialogs.Last().text, "The comet list \"" + data.dir.File("big.cmt") +
                                      "\" was not loaded whole: it holds more than 1,000 comets.\r\nReplace it "
                                      "with the 1000 comets of this table?");
  EXPECT_EQ(testing_support::ReadFile(data.dir.File("big.cmt")), bigCmtBefore);
  SetFlashSink({});
}

TEST_F(SolarSystemWindow, DownloadReplacesOnlyWithAGoodList) {
  // The list of the clock's year: 2025-07-01 12:00 UTC.
  testing_support::ScopedClock clock(1751371200.0);
  TinyHttpServer server;
  TSolSysForm1 form;
  form.DownloadTimeoutMs = 500;
  form.show();
  // A body typed into the grid and saved as the default file.
  TElementGrid& grid = form.Pages[0].grid;
  for (int c = 0; c < 11; ++c) grid.SetCell(c, 1, kVesta[c]);
  grid.SetRowCount(3);
  ApplyAsteroidGrid(grid);
  ASSERT_TRUE(SaveAsteroidElements(grid, "default.ast"));
  const std::vector<uint8_t> savedBefore = testing_support::ReadFile(data.dir.File("default.ast"));
  // Not found, an empty list, no answer: the failure is reported and nothing changes.
  const std::tuple<int, std::string, bool> failures[] = {
      {404, "<html>Not Found</html>", false}, {200, "", false}, {200, "", true}};
  for (const auto& [status, body, silent] : failures) {
    std::tie(server.status, server.body, server.silent) = std::tie(status, body, silent);
    dialogs.Clear();
    form.DownloadClick(0);
    EXPECT_EQ(dialogs.Count(), 1u) << status;
    EXPECT_EQ(std::tuple(grid.BodyCount(), grid.Cell(1, 1), AsteroidCount), std::tuple(1, "4 Vesta", 1));
    EXPECT_EQ(testing_support::ReadFile(data.dir.File("default.ast")), savedBefore);
  }
  EXPECT_EQ(server.paths.front(), "/iau/Ephemerides/Bright/2025/Soft00Bright.txt");

  server.silent = false;
  server.status = 200;
  server.body = MpcLine("(1) Ceres") + "\n" + MpcLine("(2) Pallas") + "\n";
  dialogs.Clear();
  form.DownloadClick(0);
  EXPECT_EQ(dialogs.Count(), 0u);
  ASSERT_EQ(grid.BodyCount(), 2);  // replaced: no merge before
  EXPECT_EQ(std::tuple(grid.Cell(1, 1), grid.Cell(3, 1), AsteroidCount, AsteroidElementsFile),
            std::tuple("(1) Ceres", "188.70269", 2, "default.ast"));
  EXPECT_EQ(form.Pages[0].caption->text(), "Orbital Elements (default.ast)");
  // The number columns show their whole numbers (epoch, a, e), never an ellipsis.
  form.PageControl1->setCurrentIndex(3);
  GrabWindow(form, "solar_system_grid");
  const QTableWidget& view = *form.Pages[0].view;
  for (int c : {2, 4, 5})
    EXPECT_GE(view.columnWidth(c), QFontMetrics(view.font()).horizontalAdvance(view.item(0, c)->text())) << c;
  // The saved default file holds the new list.
  TElementGrid back(ElementColumns(TElementKind::Asteroid));
  bool templateUsed = false;
  ASSERT_TRUE(LoadAsteroidElements(back, "default.ast", false, templateUsed));
  EXPECT_EQ(back.Cell(1, 2), "(2) Pallas");
  // After a merge, a download merges into the grid.
  server.body = MpcLine("(3) Juno") + "\n";
  form.MergeMode = true;
  form.DownloadClick(0);
  ASSERT_EQ(grid.BodyCount(), 3);
  EXPECT_EQ(std::tuple(grid.Cell(1, 1), grid.Cell(1, 3)), std::tuple("(1) Ceres", "(3) Juno"));
  // A pipe in the download's temporary place is never opened: told, nothing changes.
  const std::string part = "." + ElementDownloadName(TElementKind::Asteroid, "2025-07-01") + ".part";
  PipeWatchedForWriters pipe(data.dir.File(part));
  dialogs.Clear();
  form.DownloadClick(0);
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_NE(dialogs.Last().text.find("it is a named pipe, not a file"), std::string::npos) << dialogs.Last().text;
  EXPECT_EQ(grid.BodyCount(), 3);
  EXPECT_FALSE(pipe.Written());
}

TEST_F(SolarSystemWindow, GridCommandsAndTheEmptyLastRow) {
  TSolSysForm1 form;
  form.show();
  TSolSysForm1::TElementPage& page = form.Pages[0];
  ASSERT_EQ(page.grid.RowCount(), 2);
  // Typing into the empty last row adds a new empty row; emptying it again
  // takes the spare row away.
  page.view->item(0, 1)->setText("4 Vesta");
  EXPECT_EQ(std::tuple(page.grid.Cell(1, 1), page.grid.RowCount(), page.view->rowCount()),
            std::tuple("4 Vesta", 3, 2));
  EXPECT_TRUE(page.changed);
  page.view->item(0, 1)->setText("");
  EXPECT_EQ(page.grid.RowCount(), 2);

  for (int c = 0; c < 11; ++c) page.view->item(0, c)->setText(kVesta[c]);
  QTest::mouseClick(page.useNone, Qt::LeftButton);
  EXPECT_EQ(page.grid.Cell(0, 1), "No");
  QTest::mouseClick(page.useAll, Qt::LeftButton);
  EXPECT_EQ(page.grid.Cell(0, 1), "Yes");
  dialogs.QueueAnswer(platform::IDNO);
  QTest::mouseClick(page.clear, Qt::LeftButton);
  EXPECT_EQ(page.grid.BodyCount(), 1);
  dialogs.QueueAnswer(platform::IDYES);
  QTest::mouseClick(page.clear, Qt::LeftButton);
  EXPECT_EQ(page.grid.BodyCount(), 0);
  // Load cancelled in the file dialog still marks the table changed; Save
  // under a new name makes it the current file.
  form.show();
  QTest::mouseClick(page.load, Qt::LeftButton);
  EXPECT_TRUE(page.changed);
  page.view->item(0, 1)->setText("4 Vesta");
  dialogs.QueueFile({true, data.dir.File("mine.ast"), 1});
  QTest::mouseClick(page.save, Qt::LeftButton);
  EXPECT_EQ(AsteroidElementsFile, data.dir.File("mine.ast"));
  EXPECT_EQ(std::tuple(page.fileChanged, page.changed), std::tuple(true, false));
  EXPECT_EQ(page.caption->text(), "Orbital Elements (mine.ast)");
}
