// The sequencer as a state machine against the simulated mount, the fake
// LX200 mount and the recording imaging console.
#include <gtest/gtest.h>

#include "platform/automation_lx200.h"
#include "platform/dialogs.h"
#include "telescope/sequencer.h"
#include "telescope/tele_control.h"
#include "tests/support/fake_lx200.h"
#include "tests/telescope/sequence_run.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;
using platform::TSimTelescope;
using platform::TSimTelescopeConfig;
using testing_support::TFakeLx200;

namespace {

class SequencerTest : public ::testing::Test {
 public:
  void SetUp() override {
    LogLines().Clear();
    seq.StopButtonClick();
    tele.Disconnect();
    imaging = TRecordingImaging{};
    seq.imagingSlackMs = 300000;
    points.points.clear();
    TSimTelescopeConfig cfg;
    cfg.doesRefraction = true;
    mount = std::make_shared<TSimTelescope>(cfg);
    RegisterAs("Test.SeqMount", "Telescope", mount);
    tele.name = "Test.SeqMount";
    tele.ConnectClick();
    for (int i = 0; i < 3; ++i)
      points.points.push_back({(1.0 + i) * 15 * kRad, (10.0 * i) * kRad, "M" + std::to_string(31 + i), true,
                               "2,30,red,light;1,5.5,Blue,Flat", false});
  }
  // One sequencer tick after `ms` (the mount's poll runs as well, so the
  // goto ends and settles as it would in the window).
  void Tick(uint32_t ms = 1000) { run.Tick(ms); }
  void RunToEnd(int maxTicks = 400) { run.RunToEnd(maxTicks); }
  RecordingHost host;
  TTeleControl tele{&host};
  std::shared_ptr<TSimTelescope> mount;
  TSequenceRun run{tele, host};
  TPointList& points = run.points;
  TRecordingImaging& imaging = run.imaging;
  TSequencer& seq = run.seq;
};

}  // namespace

TEST_F(SequencerTest, RunsAPlanOfThreePoints) {
  seq.StartButtonClick();
  EXPECT_EQ(seq.StatusText(), "Playing");
  EXPECT_FALSE(seq.CloseEnabled());
  RunToEnd();
  EXPECT_FALSE(seq.Running());
  EXPECT_EQ(seq.StatusText(), "Stopped");
  ASSERT_EQ(imaging.runs.size(), 6u);
  EXPECT_EQ(imaging.runs[0].exposures, 2);
  EXPECT_EQ(imaging.runs[0].filter, "Red");  // the console's own item, case ignored
  EXPECT_EQ(imaging.runs[1].seconds, 5.5);
  EXPECT_EQ(imaging.runs[1].frameType, "Flat");
  // The mount ended on the third point (J2000 chart, J2000 mount).
  EXPECT_NEAR(mount->RaHours(), 3.0, 1e-9);
  EXPECT_NEAR(mount->DecDegrees(), 20.0, 1e-9);
  EXPECT_TRUE(Logged("[Sequencer] Working on POI #3 Step #3"));
  EXPECT_TRUE(Logged("[Sequencer] Waiting for GoTo to complete"));
  EXPECT_TRUE(Logged("[Sequencer] Imaging console prepared, acquiring an image"));
}

TEST_F(SequencerTest, EndsAtOnceWithoutPoints) {
  points.points.clear();
  LogLines().Clear();
  seq.StartButtonClick();
  Tick();
  EXPECT_FALSE(seq.Running());
  EXPECT_FALSE(Logged("[Sequencer] Working on POI #1 Step #1"));
  EXPECT_FALSE(mount->IsSlewing());
}

// Stop and Pause act at once, also while the console is imaging.
TEST_F(SequencerTest, StopAndPauseDuringImaging) {
  imaging.ticksPerStep = 1000;
  seq.StartButtonClick();
  for (int i = 0; i < 40 && imaging.runs.empty(); ++i) Tick();
  ASSERT_EQ(imaging.runs.size(), 1u);
  seq.PauseButtonClick();
  EXPECT_EQ(seq.StatusText(), "Paused");
  EXPECT_TRUE(seq.CloseEnabled());
  Tick();
  EXPECT_FALSE(seq.TimerActive());
  seq.StartButtonClick();  // resumes where it was
  EXPECT_EQ(seq.SequenceIndex(), 1);
  EXPECT_EQ(seq.SequenceStep(), 2);
  Tick();
  seq.StopButtonClick();
  EXPECT_FALSE(seq.Running());
  EXPECT_EQ(imaging.aborts, 1);
  Tick();
  EXPECT_EQ(imaging.runs.size(), 1u);
}

TEST_F(SequencerTest, FailuresEndTheSequenceWithAMessage) {
  struct Case {
    const char* name;
    std::function<void(SequencerTest&)> arrange;
    const char* line;
  } cases[] = {
      {"goto", [](SequencerTest& t) { t.mount->FailMemberForTest("SlewToCoordinatesAsync", 1); },
       "[Sequencer] Error, telescope goto failed"},
      {"not connected", [](SequencerTest& t) { t.tele.Disconnect(); }, "[Sequencer] Error, telescope not connected"},
      {"no camera", [](SequencerTest& t) { t.imaging.cameraSelected = false; },
       "[Sequencer] Error, no camera is selected for imaging"},
      {"imaging failed", [](SequencerTest& t) { t.imaging.failNext = true; }, "[Sequencer] Error, imaging failed"},
      {"imaging timed out",
       [](SequencerTest& t) {
         t.imaging.ticksPerStep = 1 << 30;
         t.seq.imagingSlackMs = 1000;
       },
       "[Sequencer] Error, imaging timed out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.arrange(*this);
    seq.StartButtonClick();
    for (int i = 0; i < 400 && seq.Running(); ++i) Tick(i % 10 == 9 ? 60000 : 1000);
    EXPECT_FALSE(seq.Running());
    EXPECT_TRUE(seq.CloseEnabled());
    EXPECT_TRUE(Logged(c.line));
  }
}

// A goto that ends anywhere but at its target stops the sequence with the
// line for how it ended, and the point takes no picture: the mount
// restarted and dropped it, its link was lost, it was disconnected, or it
// came to rest short of the target (stopped from its handset).
TEST_F(SequencerTest, AGotoThatDoesNotArriveStopsTheSequence) {
  struct Case {
    const char* name;
    std::function<void(SequencerTest&)> cut;
    TGotoEnd end;
    const char* line;
  } cases[] = {
      {"restart", [](SequencerTest& t) { t.mount->FaultForTest("the mount restarted and lost the goto"); },
       TGotoEnd::GivenUp, "[Sequencer] Error, telescope goto failed"},
      {"link lost", [](SequencerTest& t) { t.mount->DropLink(); }, TGotoEnd::LinkLost,
       "[Sequencer] Error, telescope not connected"},
      {"disconnected", [](SequencerTest& t) { t.tele.Disconnect(); }, TGotoEnd::Disconnected,
       "[Sequencer] Error, telescope not connected"},
      {"stopped short", [](SequencerTest& t) { t.mount->SetPointing(t.mount->RaHours(), t.mount->DecDegrees()); },
       TGotoEnd::GivenUp, "[Sequencer] Error, telescope goto failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    seq.StartButtonClick();
    ASSERT_TRUE(run.RunToGoto());
    Tick();  // the mount on its way: 4 of the 15 degrees to the first point
    ASSERT_TRUE(mount->IsSlewing());
    c.cut(*this);
    RunToEnd();
    EXPECT_FALSE(seq.Running());
    EXPECT_EQ(tele.LastGotoEnd(), c.end);
    EXPECT_TRUE(Logged(c.line)) << LogLines().LastLine();
    EXPECT_TRUE(imaging.runs.empty());
    EXPECT_EQ(seq.SequenceIndex(), 1);
  }
  // A restart once the goto has arrived loses nothing: every point is imaged.
  SetUp();
  seq.StartButtonClick();
  for (int i = 0; i < 400 && imaging.runs.empty(); ++i) Tick();
  ASSERT_FALSE(imaging.runs.empty());
  mount->FaultForTest("the mount restarted between two points");
  RunToEnd();
  EXPECT_EQ(imaging.runs.size(), 6u);
  EXPECT_FALSE(Logged("[Sequencer] Error, telescope goto failed"));
}

// The sequencer against the fake LX200 mount: a goto that arrives is
// imaged; a goto under way when the line is lost (the cable pulled, or the
// mount silent until the link is given up) stops the sequence and takes
// no picture.
struct TLineLoss {
  TFakeLx200::Transport transport;
  bool pull;  // else silent
};

class SequencerOnLx200 : public ::testing::TestWithParam<TLineLoss> {
 protected:
  SequencerOnLx200() : fake(GetParam().transport) {
    LogLines().Clear();
    run.events = true;
  }
  ~SequencerOnLx200() override {
    tele.Disconnect();
    platform::SetLx200FindRepliesMsForTest(0);
  }
  TFakeLx200 fake;
  RecordingHost host;
  TTeleControl tele{&host};
  TSequenceRun run{tele, host};
};

TEST_P(SequencerOnLx200, AGotoUnderWayWhenTheLineIsLostStopsTheSequence) {
  run.points.points = {{1.0 * 15 * kRad, 10.0 * kRad, "M31", true, "2,30,red,light", false}};
  tele.name = fake.Id();
  tele.ConnectClick();
  ASSERT_TRUE(tele.Connected()) << LogLines().LastLine();
  run.seq.StartButtonClick();
  ASSERT_TRUE(run.TickUntil([&] { return !run.seq.Running(); }, 60));
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::Arrived);
  ASSERT_EQ(run.imaging.runs.size(), 1u) << LogLines().LastLine();

  fake.Change([](TFakeLx200::State& s) { s.slewMs = 600000; });
  run.points.points[0].ra = 4.0 * 15 * kRad;
  run.seq.StartButtonClick();
  ASSERT_TRUE(run.RunToGoto());
  ASSERT_TRUE(fake.Slewing());
  if (GetParam().pull) {
    fake.Pull();
  } else {
    platform::SetLx200FindRepliesMsForTest(1000);
    fake.SetSilent(true);
  }
  EXPECT_TRUE(run.TickUntil([&] { return !run.seq.Running(); }, 60));
  EXPECT_FALSE(tele.Connected());
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::LinkLost);
  EXPECT_TRUE(Logged("[Sequencer] Error, telescope not connected")) << LogLines().LastLine();
  EXPECT_EQ(run.imaging.runs.size(), 1u);
  const auto lines = LogLines().Lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("[Ascom.Telescope] Error, connection lost", 0) == 0; }),
            1);
}

INSTANTIATE_TEST_SUITE_P(Lines, SequencerOnLx200,
                         ::testing::Values(TLineLoss{TFakeLx200::Transport::Pty, true},
                                           TLineLoss{TFakeLx200::Transport::Tcp, false}),
                         [](const auto& info) {
                           return testing_support::LinkName(info.param.transport) +
                                  (info.param.pull ? "_Pulled" : "_Silent");
                         });

TEST_F(SequencerTest, InvalidEntriesWarnAndStopOnWarningStops) {
  points.points = {{0.5, 0.1, "bad:name", true, "2,30,red,light", false},
                   {0.6, 0.1, "ok", true, "2,30,red;0,30,red,light;5,30,violet,light;5,30,red,selfie", false}};
  seq.StartButtonClick();
  RunToEnd();
  for (const char* reason : {"Name", "exposures", "filter", "purpose"})
    EXPECT_TRUE(Logged(std::string("[Sequencer] Warning, imaging parameter validation failed (") + reason + ")"))
        << reason;
  EXPECT_TRUE(Logged("[Sequencer] Warning, incorrect number of parameters for imaging"));
  EXPECT_TRUE(imaging.runs.empty());
  for (const char* n : {"1", "2"})
    EXPECT_TRUE(Logged(std::string("[Sequencer] Warning, no valid imaging entry for POI #") + n +
                       ", no picture taken"))
        << n;
  LogLines().Clear();
  seq.stopOnWarning = true;
  seq.StartButtonClick();
  RunToEnd();
  EXPECT_EQ(seq.SequenceIndex(), 1);
}

TEST_F(SequencerTest, ManualCentringAndConfirmAskTheUser) {
  platform::ScopedScriptedDialogs dialogs;
  points.points.resize(2);
  points.points[0].gotoFlag = false;
  points.points[0].confirm = true;
  dialogs.QueueAnswer(platform::IDOK);      // centred
  dialogs.QueueAnswer(platform::IDCANCEL);  // no next object
  seq.StartButtonClick();
  RunToEnd();
  EXPECT_FALSE(seq.Running());
  EXPECT_EQ(seq.SequenceIndex(), 1);
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_EQ(dialogs.Records()[0].text, "Sequencer, center object in telescope and press Ok:");
  EXPECT_EQ(dialogs.Records()[1].text, "Sequencer, press Ok for next object?");
  EXPECT_EQ(imaging.runs.size(), 2u);
}

// A point whose plan is empty says in the log that it took no picture,
// also after a point that took some.
TEST_F(SequencerTest, APointWithoutAPlanSaysItTookNoPicture) {
  points.points[1].plan = "";
  seq.StartButtonClick();
  RunToEnd();
  EXPECT_EQ(imaging.runs.size(), 4u);
  EXPECT_FALSE(Logged("[Sequencer] Warning, POI #1 has no imaging plan, no picture taken"));
  EXPECT_TRUE(Logged("[Sequencer] Warning, POI #2 has no imaging plan, no picture taken"));
}
