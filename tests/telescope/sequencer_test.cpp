// The sequencer as a state machine against the simulated mount and the
// recording imaging console.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "telescope/sequencer.h"
#include "telescope/tele_control.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;
using platform::TSimTelescope;
using platform::TSimTelescopeConfig;

namespace {

class Points : public IPointSource {
 public:
  std::vector<TSequencePoint> points;
  bool solving = false;
  int PointCount() override { return int(points.size()); }
  TSequencePoint Point(int i) override { return points.at(size_t(i - 1)); }
  bool PlateSolveRunning() override { return solving; }
};

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
  void Tick(uint32_t ms = 1000) {
    AdvanceClock(ms);
    tele.Timer1Timer();
    if (tele.GotoTimerEnabled() && !settling) {
      settling = true;
      settleStart = platform::TimeGetTime();
    }
    if (settling && platform::TimeGetTime() - settleStart >= 5000) {
      tele.GotoTimerTimer();
      settling = false;
    }
    if (seq.TimerActive()) seq.Timer1Timer();
  }
  void RunToEnd(int maxTicks = 400) {
    for (int i = 0; i < maxTicks && seq.Running(); ++i) Tick();
  }
  RecordingHost host;
  TTeleControl tele{&host};
  std::shared_ptr<TSimTelescope> mount;
  Points points;
  TRecordingImaging imaging;
  TSequencer seq{&points, &tele, &imaging, &host};
  bool settling = false;
  uint32_t settleStart = 0;
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

// A mount that restarts under a goto drops it and comes to rest where it
// was: the sequencer stops with the reason instead of taking that rest for
// the goto's end and imaging the wrong place.
TEST_F(SequencerTest, AGotoTheMountDroppedStopsTheSequence) {
  seq.StartButtonClick();
  for (int i = 0; i < 20 && !tele.GotoInProgress(); ++i) Tick();
  ASSERT_TRUE(tele.GotoInProgress());
  mount->FaultForTest("the mount was silent for 4.2 s and lost what it was sent meanwhile");
  RunToEnd();
  EXPECT_FALSE(seq.Running());
  EXPECT_TRUE(Logged("[Sequencer] Error, telescope goto lost: the mount was silent for 4.2 s and lost what it was "
                     "sent meanwhile"));
  EXPECT_TRUE(imaging.runs.empty());
  // The next goto starts afresh: a fault after it has ended loses nothing.
  SetUp();
  seq.StartButtonClick();
  for (int i = 0; i < 400 && imaging.runs.empty(); ++i) Tick();
  ASSERT_FALSE(imaging.runs.empty());
  mount->FaultForTest("a restart between two points");
  Tick();
  EXPECT_FALSE(Logged("[Sequencer] Error, telescope goto lost: a restart between two points"));
}

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
