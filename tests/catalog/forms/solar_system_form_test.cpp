// The solar-system settings window: switches through OK and Cancel, block 3,
// and the download of element lists from a small HTTP server on the
// loopback interface.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "app/core/settings_sections.h"
#include "catalog/forms/settings_owners.h"
#include "catalog/forms/solar_system_form.h"
#include "catalog/stars.h"
#include "chart/plotter.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "tests/catalog/forms/grab.h"
#include "tests/support/test_support.h"

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
  }
  std::string Host() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()); }

 private:
  QTcpServer server_;
};

// A minor planet in the Minor Planet Center's one-line export format.
std::string MpcLine(const std::string& name) {
  std::string line(202, ' ');
  auto put = [&](int column, const std::string& text) { line.replace(std::size_t(column - 1), text.size(), text); };
  put(1, "00001");
  put(9, " 3.34");
  put(15, " 0.12");
  put(21, "K2555");
  put(27, "188.70269");
  put(38, " 73.27343");
  put(49, " 80.25221");
  put(60, " 10.58780");
  put(71, "0.0794013");
  put(81, " 0.21424651");
  put(93, "  2.7660512");
  put(167, name);
  return line;
}

struct SolarFixture : ::testing::Test {
  testing_support::TempDir dir;
  QString oldFolder = QDir::currentPath();
  std::unique_ptr<tPlotter> plotter = std::make_unique<tPlotter>();
  platform::ScopedScriptedDialogs dialogs;
  void SetUp() override {
    QDir::setCurrent(QString::fromStdString(dir.Path()));
    MainPlotter = plotter.get();
    AsteroidElementsFile = "default.ast";
    CometElementsFile = "default.cmt";
    platform::TRegIniFile().EraseSection("Solar System");
    SetPlotterSolarSwitches(SolarSwitchDefaults());
  }
  void TearDown() override {
    WaitForStarLoad();  // block 1 of a settings file starts a star load
    MainPlotter = nullptr;
    QDir::setCurrent(oldFolder);
    UnregisterAllSettingsSections();
  }
};

}  // namespace

TEST_F(SolarFixture, OkStoresTheSwitchAndTheDefaultNamesCancelChangesNothing) {
  TSolSysForm1 form;
  form.show();
  EXPECT_EQ(form.Pages[0].caption->text(), "Orbital Elements");  // no default.ast here yet
  form.SwitchCheckBox[8]->click();  // asteroids on
  EXPECT_TRUE(form.SwitchCheckBox[9]->isEnabled());
  QTest::mouseClick(form.CancelButton, Qt::LeftButton);
  EXPECT_EQ(plotter->ShowAsteroids, 0);

  form.show();
  form.SwitchCheckBox[0]->click();  // on and off again: nothing asked, nothing written
  form.SwitchCheckBox[0]->click();
  plotter->Replot = 0;
  QTest::mouseClick(form.OkButton, Qt::LeftButton);
  EXPECT_EQ(plotter->Replot, 1);
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_EQ(platform::TRegIniFile().ReadString("Solar System", "ast elements file", "none"), "none");

  form.show();
  form.SwitchCheckBox[8]->click();
  form.PageControl1->setCurrentIndex(3);
  GrabWindow(form, "solar_system");
  QTest::mouseClick(form.OkButton, Qt::LeftButton);
  EXPECT_EQ(dialogs.Count(), 0u);  // grids unchanged: no question
  EXPECT_EQ(plotter->ShowAsteroids, 1);
  EXPECT_EQ(SolarSystemBlock()[8], 1);
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

TEST_F(SolarFixture, BlockThreeRoundTripsAndADamagedBlockIsRefused) {
  RegisterCatalogSettingsOwners();
  TSolarSwitches s = SolarSwitchDefaults();
  s[6] = 1;
  s[10] = 1;
  SetPlotterSolarSwitches(s);
  ASSERT_TRUE(WriteSettingsFile(dir.File("a.ssf"), 1));
  SetPlotterSolarSwitches(SolarSwitchDefaults());
  EXPECT_EQ(ReadSettingsFile(dir.File("a.ssf")), TSettingsReadResult::Ok);
  EXPECT_EQ(PlotterSolarSwitches(), s);

  std::vector<uint8_t> bytes = testing_support::ReadFile(dir.File("a.ssf"));
  const uint32_t at = bytes[19] | bytes[20] << 8 | bytes[21] << 16 | uint32_t(bytes[22]) << 24;
  bytes[at + 3] = 7;
  testing_support::WriteFile(dir.File("b.ssf"), bytes);
  SetPlotterSolarSwitches(SolarSwitchDefaults());
  EXPECT_EQ(ReadSettingsFile(dir.File("b.ssf")), TSettingsReadResult::Refused);
  EXPECT_EQ(PlotterSolarSwitches(), SolarSwitchDefaults());
}

TEST_F(SolarFixture, DownloadReplacesOnlyWithAGoodList) {
  TinyHttpServer server;
  ElementDownloadHost = server.Host();
  TSolSysForm1 form;
  form.DownloadTimeoutMs = 500;
  form.show();
  // A body typed into the grid and saved as the default file.
  TElementGrid& grid = form.Pages[0].grid;
  const std::vector<std::string> vesta = {"Yes", "4 Vesta", "2461000.5", "20.8", "2.36", "0.089",
                                          "151.1", "103.8", "7.14", "3.2", "0.32"};
  for (int c = 0; c < 11; ++c) grid.SetCell(c, 1, vesta[std::size_t(c)]);
  grid.SetRowCount(3);
  ApplyAsteroidGrid(grid);
  ASSERT_TRUE(SaveAsteroidElements(grid, "default.ast"));
  const std::vector<uint8_t> savedBefore = testing_support::ReadFile(dir.File("default.ast"));

  struct Failure {
    int status;
    std::string body;
    bool silent;
  } failures[] = {{404, "<html>Not Found</html>", false}, {200, "", false}, {200, "", true}};
  for (const Failure& f : failures) {
    server.status = f.status;
    server.body = f.body;
    server.silent = f.silent;
    dialogs.Clear();
    form.DownloadClick(0);
    EXPECT_EQ(dialogs.Count(), 1u) << f.status;  // the failure is reported
    EXPECT_EQ(grid.BodyCount(), 1);
    EXPECT_EQ(grid.Cell(1, 1), "4 Vesta");
    EXPECT_EQ(AsteroidCount, 1);
    EXPECT_EQ(testing_support::ReadFile(dir.File("default.ast")), savedBefore);
  }
  EXPECT_EQ(server.paths.front(), "/iau/Ephemerides/Bright/" + std::to_string(QDate::currentDate().year()) +
                                      "/Soft00Bright.txt");

  server.silent = false;
  server.status = 200;
  server.body = MpcLine("(1) Ceres") + "\n" + MpcLine("(2) Pallas") + "\n";
  dialogs.Clear();
  form.DownloadClick(0);
  EXPECT_EQ(dialogs.Count(), 0u);
  ASSERT_EQ(grid.BodyCount(), 2);  // replaced: no merge before
  EXPECT_EQ(grid.Cell(1, 1), "(1) Ceres");
  EXPECT_EQ(grid.Cell(3, 1), "188.70269");
  EXPECT_EQ(AsteroidCount, 2);
  EXPECT_EQ(AsteroidElementsFile, "default.ast");
  EXPECT_EQ(form.Pages[0].caption->text(), "Orbital Elements (default.ast)");
  // The saved default file holds the new list.
  TElementGrid back(ElementColumns(TElementKind::Asteroid));
  bool templateUsed = false;
  ASSERT_TRUE(LoadAsteroidElements(back, "default.ast", false, templateUsed));
  EXPECT_EQ(back.Cell(1, 2), "(2) Pallas");
}

TEST_F(SolarFixture, GridCommandsAndTheEmptyLastRow) {
  TSolSysForm1 form;
  form.show();
  TSolSysForm1::TElementPage& page = form.Pages[0];
  ASSERT_EQ(page.grid.RowCount(), 2);
  // Typing into the empty last row adds a new empty row; emptying it again
  // takes the spare row away.
  page.view->item(0, 1)->setText("4 Vesta");
  EXPECT_EQ(page.grid.Cell(1, 1), "4 Vesta");
  EXPECT_EQ(page.grid.RowCount(), 3);
  EXPECT_EQ(page.view->rowCount(), 2);
  EXPECT_TRUE(page.changed);
  page.view->item(0, 1)->setText("");
  EXPECT_EQ(page.grid.RowCount(), 2);

  const char* vesta[] = {"Yes", "4 Vesta", "2461000.5", "20.8", "2.36", "0.089", "151.1", "103.8", "7.14", "3.2", "0.32"};
  for (int c = 0; c < 11; ++c) page.view->item(0, c)->setText(vesta[c]);
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
  dialogs.QueueFile({true, dir.File("mine.ast"), 1});
  QTest::mouseClick(page.save, Qt::LeftButton);
  EXPECT_EQ(AsteroidElementsFile, dir.File("mine.ast"));
  EXPECT_TRUE(page.fileChanged);
  EXPECT_FALSE(page.changed);
  EXPECT_EQ(page.caption->text(), "Orbital Elements (mine.ast)");
}

TEST_F(SolarFixture, DownloadAfterAMergeMergesIntoTheGrid) {
  TinyHttpServer server;
  ElementDownloadHost = server.Host();
  server.body = MpcLine("(1) Ceres") + "\n";
  TSolSysForm1 form;
  form.show();
  TSolSysForm1::TElementPage& page = form.Pages[0];
  page.view->item(0, 1)->setText("4 Vesta");
  form.MergeMode = true;
  form.DownloadClick(0);
  ASSERT_EQ(page.grid.BodyCount(), 2);
  EXPECT_EQ(page.grid.Cell(1, 1), "4 Vesta");
  EXPECT_EQ(page.grid.Cell(1, 2), "(1) Ceres");
}
