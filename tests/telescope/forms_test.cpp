// The device windows follow their logic: buttons enable with the connection
// state, clicks reach the driver. With NOCTRA_FORMS_PNG set to a folder the
// windows are also saved there as pictures for a look.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/dialogs.h"
#include "telescope/forms/assist_form.h"
#include "telescope/forms/device_forms.h"
#include "telescope/forms/tele_form.h"
#include "telescope/forms/telescope_windows.h"
#include "telescope/forms/sequencer_panel.h"
#include <QLabel>
#include "telescope/telescope_view.h"
#include "tests/support/test_support.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;

namespace {

QPushButton* FindButton(QWidget* w, const QString& text) {
  for (auto* b : w->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

void Snapshot(QWidget* w, const char* name) {
  const char* dir = std::getenv("NOCTRA_FORMS_PNG");
  if (!dir) return;
  w->resize(w->sizeHint());
  w->grab().save(QString(dir) + "/" + name + ".png");
}

}  // namespace

TEST(TelescopeForms, WindowsFollowTheConnection) {
  RecordingHost host;
  TTeleControl tele(&host);
  TAssistForm1 assist(&tele);
  TTeleForm1 form(&tele, &assist);
  platform::TSimTelescopeConfig cfg;
  cfg.driverInfo = "ON_STEP";
  cfg.protocol = platform::TSimProtocol::OnStep;
  auto mount = std::make_shared<platform::TSimTelescope>(cfg);
  for (int i = 0; i < 480; ++i) mount->PecTable()[size_t(i)] = i % 60 < 30 ? (i % 2) : -(i % 2);  // a triangle wave
  RegisterAs("Test.FormMount", "Telescope", mount);
  form.findChild<QLineEdit*>()->setText("Test.FormMount");
  EXPECT_FALSE(FindButton(&form, "Park")->isEnabled());
  FindButton(&form, "Connect")->click();
  ASSERT_TRUE(tele.Connected());
  EXPECT_FALSE(FindButton(&form, "Connect")->isEnabled());
  EXPECT_TRUE(FindButton(&form, "Park")->isEnabled());
  FindButton(&form, "Park")->click();
  EXPECT_TRUE(mount->Calls().back() == "Invoke Park" || tele.HoldCounter() == 6);
  Snapshot(&form, "tele_form");
  form.findChild<QTabWidget*>()->setCurrentIndex(3);
  Snapshot(&form, "tele_form_pec");

  const char* rows[3][5] = {{" 1h00m00s", " 10°00'00\"", " 1h00m04s", " 10°00'30\"", "E"},
                            {" 2h00m00s", " 30°00'00\"", " 2h00m03s", " 30°01'00\"", "W"},
                            {"22h00m00s", " 50°00'00\"", "21h59m56s", " 49°59'20\"", "W"}};
  assist.show();
  auto* grid = assist.findChild<QTableWidget*>();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 5; ++c) grid->item(r, c)->setText(QString::fromUtf8(rows[r][c]));
  assist.ModelClick();
  // The fit runs on a worker; its result comes back through the events.
  EXPECT_TRUE(testing_support::RunEventsUntil([&] { return !assist.Model().memo.empty(); }));
  Snapshot(&assist, "assist_form");
  {
    // Clearing the model asks, with No as the default: Return keeps the rows.
    platform::ScopedScriptedDialogs dialogs;
    FindButton(&assist, "Clear All")->click();
    EXPECT_EQ(std::tuple(dialogs.Count(), dialogs.Last().defaultResult, assist.Model().RowCount()),
              std::tuple(1u, platform::IDNO, 3));
  }
  assist.hide();

  TFocuserControl focuser;
  TFocuserForm1 ff(&focuser);
  RegisterAs("Test.FormFocuser", "Focuser", std::make_shared<platform::TSimFocuser>());
  ff.findChild<QLineEdit*>()->setText("Test.FormFocuser");
  FindButton(&ff, "Connect")->click();
  EXPECT_TRUE(FindButton(&ff, "Disconnect")->isEnabled());
  Snapshot(&ff, "focuser_form");

  TFilterWheelControl wheel;
  TFilterWheelForm1 wf(&wheel);
  platform::TSimFilterWheelConfig wc;
  wc.makerWheel = true;
  RegisterAs("Test.Tar_vel.FormWheel", "FilterWheel", std::make_shared<platform::TSimFilterWheel>(wc));
  wf.findChild<QLineEdit*>()->setText("Test.Tar_vel.FormWheel");
  FindButton(&wf, "Connect")->click();
  EXPECT_TRUE(FindButton(&wf, "+")->isEnabled());
  FindButton(&wf, "+")->click();
  EXPECT_FALSE(FindButton(&wf, "+")->isEnabled()) << "waits for the wheel";
  Snapshot(&wf, "wheel_form");
}

// The device windows made one by one, as the main window makes them, make
// the chart's view answer from them; the goto-assist window, made last, is
// the one the telescope window's "Derive Model" opens.
TEST(TelescopeForms, CreatedWindowsServeTheChart) {
  QWidget owner;
  RecordingHost host;
  TTeleForm1* tele = CreateTelescopeWindow(&owner, &host);
  TFilterWheelForm1* wheel = CreateFilterWheelWindow(&owner);
  TFocuserForm1* focuser = CreateFocuserWindow(&owner);
  TAssistForm1* assist = CreateAssistWindow(&owner, tele);
  ASSERT_TRUE(tele && assist && focuser && wheel);
  for (QWidget* w : std::initializer_list<QWidget*>{tele, wheel, focuser, assist}) EXPECT_FALSE(w->isVisible());
  FindButton(tele, "Derive Model")->click();
  EXPECT_TRUE(assist->isVisible());
  assist->hide();
  EXPECT_FALSE(TelescopeMarker().connected);
  TeleControl()->name = "Noctra.Simulator.Telescope";
  TeleControl()->ConnectClick();
  TeleControl()->Timer1Timer();
  EXPECT_TRUE(TelescopeMarker().connected);
  FocuserControl()->name = "Noctra.Simulator.Focuser";
  FocuserControl()->ConnectClick();
  EXPECT_TRUE(FocuserConnected());
  EXPECT_FALSE(FilterWheelConnected());
  TeleControl()->Disconnect();
  SetTeleControl(nullptr);
  SetFocuserControl(nullptr);
  SetFilterWheelControl(nullptr);
  platform::SetChooserUi({});
}

TEST(TelescopeForms, SequencerPanelShowsTheState) {
  struct NoPoints : IPointSource {
    int PointCount() override { return 2; }
    TSequencePoint Point(int) override { return {}; }
  } points;
  RecordingHost host;
  TRecordingImaging imaging;
  TSequencer seq(&points, nullptr, &imaging, &host);
  TSequencerPanel panel(&seq);
  FindButton(&panel, "Start")->click();
  EXPECT_FALSE(panel.CanClose());
  FindButton(&panel, "Pause")->click();
  EXPECT_TRUE(panel.CanClose());
  bool paused = false;
  for (auto* l : panel.findChildren<QLabel*>()) paused |= l->text() == "Paused";
  EXPECT_TRUE(paused);
  FindButton(&panel, "Stop")->click();
  EXPECT_FALSE(seq.Running());
}
