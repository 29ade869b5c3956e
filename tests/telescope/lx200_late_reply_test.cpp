// The telescope window against a fake LX200 mount whose replies come late
// (a latency spike, a reply or the rest of one held back until the driver's
// next command), are lost or come as noise: no reply is taken for another
// command's, no value from noise, and what a lost reply leaves unknown is
// said in the window and the log.
#include <gtest/gtest.h>

#include <QRadioButton>
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "platform/automation_lx200.h"
#include "platform/dialogs.h"
#include "tests/support/test_support.h"
#include "tests/telescope/lx200_fixture.h"

using namespace telescope_test;
using Spoil = TFakeLx200::Spoil;

namespace {

constexpr int kNext = TFakeLx200::kAtNextCommand;

class Lx200LateReplies : public TLx200WindowTest, public ::testing::Test {
 protected:
  // Exports the PEC table to `path` through the window's button.
  void Export(const std::string& path) {
    platform::ScopedScriptedDialogs dialogs;
    dialogs.QueueFile({true, path, 1});
    Button(&form, "Export")->click();
  }
  // Connects to `fake` as an OnStep mount of 8 PEC entries whose gotos
  // last a minute.
  void ConnectWithLongSlews(TFakeLx200& fake) {
    SetWorm(fake, 8);
    fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000; });
    ConnectTo(fake);
  }
  int LinesEqual(const std::string& line) {
    const auto lines = LogLines().Lines();
    return int(std::count(lines.begin(), lines.end(), "[Ascom.Telescope] " + line));
  }
};

}  // namespace

// A 240-entry table (a worm turn of four minutes) read at the connect with
// one 0.8 s spike and the rest of one entry held back, and exported over a
// 30 ms link with a 0.8 s spike and a reply held back: every entry in its
// place, each asked once, and the export is the file a clean line gives.
TEST_F(Lx200LateReplies, PecTableReadWholeAndRightWithALateReplyOrALateRest) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 240);
  fake.SpoilReplies(":VR50#", Spoil::Late, 1, 800);
  fake.SpoilReplies(":VR120#", Spoil::Cut, 1, kNext);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
  ASSERT_EQ(tele.PecLength(), 240);
  for (int i = 0; i < 240; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;
  for (const char* cmd : {":VR50#", ":VR120#", ":VR121#"}) EXPECT_EQ(fake.Count(cmd), 1) << cmd;

  testing_support::TempDir dir;
  const std::string spoiled = dir.File("spoiled.csv"), clean = dir.File("clean.csv");
  fake.SetDelay(30);
  fake.SpoilReplies(":VR50#", Spoil::Late, 1, 800);
  fake.SpoilReplies(":VR51#", Spoil::Late, 1, kNext);
  fake.SpoilReplies(":VR200#", Spoil::Cut, 1, kNext);
  Export(spoiled);
  EXPECT_EQ(fake.Spoiled(), 5);
  fake.SetDelay(0);
  Export(clean);
  const std::string text = ReadAll(spoiled);
  EXPECT_EQ(text, ReadAll(clean));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 241);
  // Entry 50: (50 x 7) % 61 - 30 = 15 steps, 15 x 15 / 20 arcseconds.
  EXPECT_NE(text.find("\"0050\";\"50.000\";\"11.2\";\"0.0\"\r\n\"0051\";\"51.000\";\"16.5\";\"0.0\"\r\n"),
            std::string::npos);
  EXPECT_TRUE(tele.Connected());
  EXPECT_EQ(FaultShown(&form), "");
}

// A reply the link sends twice while the PEC table is read (the worm
// period at the connect, an entry when the next command has come or at
// once, an entry during an export): each is found by the check after the
// entry and the entry read again, so every entry is in its place, the
// step rate is the mount's, and the export is the file a clean line gives.
// Unchecked, the entries after a repeated one were one behind to the end.
TEST_F(Lx200LateReplies, PecTableRightWhenAReplyComesTwice) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 240);
  fake.SpoilReplies(":VW#", Spoil::Twice, 1, kNext);
  fake.SpoilReplies(":VR50#", Spoil::Twice, 1, kNext);
  fake.SpoilReplies(":VR200#", Spoil::Twice, 1, 0);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
  ASSERT_EQ(tele.PecLength(), 240);
  for (int i = 0; i < 240; ++i) ASSERT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;
  EXPECT_EQ(fake.Spoiled(), 3);
  EXPECT_EQ(fake.Count(":VS#"), 2);
  EXPECT_EQ(fake.Count(":VR50#"), 2) << "the entry read again";
  EXPECT_EQ(fake.Count(":VR51#"), 1) << "an entry in step read once";
  EXPECT_EQ(FaultShown(&form), "");

  testing_support::TempDir dir;
  const std::string spoiled = dir.File("spoiled.csv"), clean = dir.File("clean.csv");
  fake.SpoilReplies(":VR50#", Spoil::Twice, 1, kNext);
  Export(spoiled);
  EXPECT_EQ(fake.Spoiled(), 4);
  Export(clean);
  EXPECT_EQ(ReadAll(spoiled), ReadAll(clean));
  EXPECT_NE(ReadAll(spoiled).find("\"0050\";\"50.000\";\"11.2\";\"0.0\"\r\n\"0051\";\"51.000\";\"16.5\";\"0.0\"\r\n"),
            std::string::npos);
  EXPECT_EQ(FaultShown(&form), "");
}

// A reply sent twice and, later in what was one block of 16 entries, a
// command lost, on a link whose replies come 50 ms after their command:
// the two cancelled out and the entries between them were one behind,
// without a word, at the connect and in the export. Each entry is now
// proved in step: the table and the file are the mount's.
TEST_F(Lx200LateReplies, PecEntriesRightWhenARepeatAndALossWouldCancelOut) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 16);
  fake.SetDelay(50);
  fake.SpoilReplies(":VR3#", Spoil::Twice, 1, kNext);
  fake.SpoilReplies(":VR9#", Spoil::Lose, 1);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
  ASSERT_EQ(tele.PecLength(), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(tele.PecTable()[size_t(i)], PecEntry(i)) << i;
  EXPECT_EQ(fake.Spoiled(), 2);

  testing_support::TempDir dir;
  const std::string spoiled = dir.File("spoiled.csv"), clean = dir.File("clean.csv");
  fake.SpoilReplies(":VR5#", Spoil::Twice, 1, kNext);
  fake.SpoilReplies(":VR12#", Spoil::Lose, 1);
  Export(spoiled);
  EXPECT_EQ(fake.Spoiled(), 4);
  fake.SetDelay(0);
  Export(clean);
  EXPECT_EQ(ReadAll(spoiled), ReadAll(clean));
  EXPECT_FALSE(ReadAll(clean).empty());
  EXPECT_EQ(FaultShown(&form), "");
}

// A board that restarts on its serial line while a goto is under way
// (the poll's first question lost, then a banner): the poll rides it
// out, and the window says in red and in the log that the mount restarted
// and lost the goto (the sequencer is told too); the date, time and site
// the connect set are set again.
TEST_F(Lx200LateReplies, ARestartIsToldWithTheGotoItDropped) {
  TFakeLx200 fake(TFakeLx200::Transport::Pty);
  host.obs->Latitude = -33.5 * kRad;
  host.obs->Longitude = -10.5 * kRad;  // west positive: 10.5° east
  Tick("Set Date/Time");
  Tick("Set Lat/Long");
  ConnectWithLongSlews(fake);
  ASSERT_TRUE(tele.Connected());
  const TFakeLx200::State given = fake.Get();
  ASSERT_EQ(given.site[1], "349*30") << "the connect set the site";
  ASSERT_TRUE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
  fake.Restart(1, "\r\nOnStep 4.24k\r\n");
  Poll();
  const std::string said = "said \"OnStep 4.24k\" and lost the date, time and site it was given; the goto under way "
                           "was lost; its date, time and site were set again";
  const std::string shown = FaultShown(&form);
  EXPECT_EQ(shown.rfind("The mount restarted: it was silent for ", 0), 0u) << shown;
  EXPECT_NE(shown.find(said), std::string::npos) << shown;
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, t" + shown.substr(1))) << LogLines().LastLine();
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::GivenUp);
  EXPECT_FALSE(tele.GotoInProgress());
  EXPECT_EQ(tele.Controls().gotoShape, TShape::ButtonFace);
  const TFakeLx200::State now = fake.Get();
  EXPECT_EQ(now.date, given.date);
  EXPECT_EQ(now.time.substr(0, 4), given.time.substr(0, 4)) << now.time << " " << given.time;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(now.site[i], given.site[i]) << i;
  EXPECT_TRUE(tele.Connected());
  EXPECT_EQ(LossLines(), 0);
}

// A restart found while the poll asks whether the goto still slews (no
// silence, no banner: the clock the connect set is gone) ends the goto
// there: it does not begin to settle as if it had arrived.
TEST_F(Lx200LateReplies, AGotoLostToARestartFoundAtTheSlewQuestionDoesNotSettle) {
  TFakeLx200 fake(TFakeLx200::Transport::Pty);
  Tick("Set Date/Time");
  ConnectWithLongSlews(fake);
  ASSERT_TRUE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
  fake.Restart(0);
  Poll();
  EXPECT_EQ(tele.LastGotoEnd(), TGotoEnd::GivenUp);
  EXPECT_FALSE(tele.GotoInProgress());
  EXPECT_FALSE(tele.GotoTimerEnabled());
}

// A board that restarts after Park, Home (Reset) or an alignment start
// (losing 1 to 3 of the poll's commands, saying "OnStep boot" or not):
// the poll after the window's rest tells it in red and in the log, and the
// date, time and site the connect set are set again (left lost, the next
// goto went hours off in hour angle). A restart found during a goto's own
// call stays said when the goto goes on.
TEST_F(Lx200LateReplies, ARestartAfterParkHomeOrAlignmentStartIsTold) {
  TFakeLx200 fake(TFakeLx200::Transport::Pty);
  host.obs->Latitude = -33.5 * kRad;
  host.obs->Longitude = -10.5 * kRad;  // west positive: 10.5° east
  Tick("Set Date/Time");
  Tick("Set Lat/Long");
  ConnectWithLongSlews(fake);
  ASSERT_TRUE(tele.Connected());
  const TFakeLx200::State given = fake.Get();
  const std::tuple<const char*, const char*, int, const char*> acts[] = {
      {"Park", ":hP#", 2, "\r\nOnStep boot\r\n"},
      {"&Home (Reset)", ":hF#", 1, ""},
      {"Start", ":A1#", 3, "\r\nOnStep boot\r\n"}};
  for (const auto& [button, cmd, lost, banner] : acts) {
    SCOPED_TRACE(button);
    LogLines().Clear();
    Poll(4);  // past the hold of the last act
    Button(&form, button)->click();
    ASSERT_EQ(FaultShown(&form), "") << "the act that worked clears the line";
    ASSERT_TRUE(RunUntil([&, c = cmd] { return fake.Count(c) > 0; }, testing_support::kWaitMs));
    fake.Restart(lost, banner);
    Poll(4);
    const std::string shown = FaultShown(&form);
    EXPECT_EQ(shown.rfind("The mount restarted: it was silent for ", 0), 0u) << shown;
    if (*banner) {
      EXPECT_NE(shown.find("said \"OnStep boot\""), std::string::npos) << shown;
    }
    EXPECT_NE(shown.find("lost the date, time and site it was given; its date, time and site were set again"),
              std::string::npos)
        << shown;
    EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, t" + shown.substr(1))) << LogLines().LastLine();
    const TFakeLx200::State now = fake.Get();
    EXPECT_EQ(now.date, given.date);
    EXPECT_EQ(now.time.substr(0, 4), given.time.substr(0, 4)) << now.time << " " << given.time;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(now.site[i], given.site[i]) << i;
    EXPECT_TRUE(tele.Connected());
  }
  // Found as a goto is sent: said, and the goto goes on.
  Poll(4);
  Button(&form, "Un-Park")->click();
  Poll(4);
  LogLines().Clear();
  fake.Restart(0, "\r\nOnStep boot\r\n");
  EXPECT_TRUE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
  const std::string shown = FaultShown(&form);
  EXPECT_EQ(shown.rfind("The mount restarted: it said \"OnStep boot\" and lost the date, time and site", 0), 0u)
      << shown;
  EXPECT_TRUE(tele.GotoInProgress());
  EXPECT_TRUE(fake.Slewing());
  EXPECT_EQ(LossLines(), 0);
}

// Gotos made from the handset while the window's own goto is under way,
// on a line that loses 2 % of the commands: the polls ride out the lost
// replies and the clock and site read back as held; no restart is said
// (the next lost reply after a handset goto was told as one).
TEST_F(Lx200LateReplies, AHandsetGotoIsNoRestart) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  host.obs->Latitude = -33.5 * kRad;
  Tick("Set Date/Time");
  Tick("Set Lat/Long");
  SetWorm(fake, 8);
  fake.Change([](TFakeLx200::State& s) { s.slewMs = 3000; });
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  ASSERT_TRUE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
  const int spoiled = fake.Spoiled();
  fake.SpoilAtRandom(0, 0, 11, 0.02);
  for (int poll = 0; poll < 60; ++poll) {
    if (poll % 15 == 1) fake.HandsetGoto(5.0 + poll / 15, poll % 30 == 1 ? -10.0 : 25.0);
    Poll();
    ASSERT_EQ(FaultShown(&form), "") << "poll " << poll;
  }
  EXPECT_GE(fake.Spoiled() - spoiled, 2) << "the line lost too little to show anything";
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Warning, the mount"), 0);
  EXPECT_TRUE(tele.Connected());
  EXPECT_EQ(LossLines(), 0);
}

// A clock and a site the mount never takes (its replies read back as they
// were, four times): the log and the window say which value was not taken.
TEST_F(Lx200LateReplies, SettingsTheMountDoesNotTakeAreSaid) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 8);
  host.obs->Latitude = -33.5 * kRad;
  fake.Garble(":GC#", "01/01/00#", platform::kLx200Asks + 1);  // the connect's probe asks it once first
  fake.Garble(":Gt#", "+00*00#", platform::kLx200Asks);
  Tick("Set Date/Time");
  Tick("Set Lat/Long");
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, failed to set Date/Time: Date not taken by the mount: it reads "
                     "01/01/00 where 01/10/26 was set; set 4 times"))
      << LogLines().LastLine();
  const std::string lat = "Set Latitude/Longitude failed: Latitude not taken by the mount: it reads +00*00 where "
                          "-33*30 was set; set 4 times";
  EXPECT_EQ(FaultShown(&form), lat);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, " + lat));
  EXPECT_EQ(LinesStarting("[Ascom.Telescope] Set Latitude/Longitude"), 0);
}

// An entry of the table whose replies keep coming out of step, read four
// times: the connect says the table was not read whole, the export writes
// no file; each says why, in red and in the log, and the link stays. The
// worm period so: no PEC at that connect, and the window says why.
TEST_F(Lx200LateReplies, PecTableNeverInStepIsSaid) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 20);
  fake.SpoilReplies(":VR3#", Spoil::Twice, 4, kNext);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  const std::string twice = " kept coming out of step (a reply came twice or late) in 4 reads";
  const std::string first = "the mount's replies to entry 3" + twice;
  EXPECT_EQ(FaultShown(&form), "PEC table not read whole: " + first);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, PEC table not read whole: " + first));
  EXPECT_EQ(fake.Count(":VR3#"), 4);
  EXPECT_EQ(fake.Count(":VR4#"), 0) << "the read ends at the entry";

  testing_support::TempDir dir;
  const std::string path = dir.File("pec.csv");
  fake.SpoilReplies(":VR17#", Spoil::Twice, 4, kNext);
  Export(path);
  const std::string last = "the mount's replies to entry 17" + twice;
  EXPECT_EQ(FaultShown(&form), "PEC export failed: " + last);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, PEC export failed: " + last));
  EXPECT_FALSE(std::ifstream(path).good()) << "a file written";
  EXPECT_TRUE(tele.Connected());

  // The worm period and step rate never in step: no PEC, and why.
  tele.Disconnect();
  fake.SpoilReplies(":VW#", Spoil::Twice, 4, kNext);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  EXPECT_EQ(FaultShown(&form), "PEC unavailable: the mount's replies to \":VW#\" and \":VS#\"" + twice);
  EXPECT_FALSE(tele.PecUsable());
  EXPECT_FALSE(tele.Controls().pecExport);
  EXPECT_EQ(fake.Count(":VR0#"), 2) << "1 read at the first connect, 1 at the export, none now";
}

// Replies of the poll held back (the position, the status, the PEC state),
// the rest of one held back, a reply and the first marker's both held
// back, and the right ascension sent twice (in the declination's place):
// the telescope marker stays where the mount points, no redraw is asked
// for, the lamps stay as they were.
TEST_F(Lx200LateReplies, MarkerNeverMovedByALateReply) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 8);
  fake.Change([](TFakeLx200::State& s) { s.raHours = 7.5, s.decDegrees = -33.25; });
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  Poll();
  const double ra = 7.5 * kHour, dec = -33.25 * kRad;
  ASSERT_NEAR(tele.RightAscension(), ra, 1e-9);
  ASSERT_NEAR(tele.Declination(), dec, 1e-9);
  const int redraws = host.redraws;
  const TShape tracking = tele.Controls().trackingShape, parked = tele.Controls().parkedShape;
  const std::vector<std::vector<std::tuple<const char*, Spoil, int>>> rounds = {
      {{":GD#", Spoil::Late, kNext}},
      {{":GR#", Spoil::Cut, kNext}},
      {{":GU#", Spoil::Late, kNext}, {":$QZ?#", Spoil::Late, kNext}},
      {{":GD#", Spoil::Late, kNext}, {":GR#", Spoil::Late, kNext}},
      {{":GR#", Spoil::Late, 800}},
      {{":GR#", Spoil::Twice, kNext}}};
  int spoiled = 0;
  for (const auto& round : rounds) {
    for (const auto& [prefix, how, late] : round) fake.SpoilReplies(prefix, how, 1, late);
    spoiled += int(round.size());
    Poll();
    SCOPED_TRACE(std::get<0>(round[0]));
    EXPECT_EQ(fake.Spoiled(), spoiled);
    EXPECT_NEAR(tele.RightAscension(), ra, 1e-9);
    EXPECT_NEAR(tele.Declination(), dec, 1e-9);
    EXPECT_EQ(host.redraws, redraws) << "the marker moved";
    EXPECT_EQ(tele.Controls().trackingShape, tracking);
    EXPECT_EQ(tele.Controls().parkedShape, parked);
  }
  EXPECT_TRUE(tele.Connected());
  EXPECT_EQ(LossLines(), 0);
}

// The mount's name cut short with its rest late, late whole, or garbled
// into printable noise: the OnStep mount stays OnStep, with its PEC table
// and its controls.
TEST_F(Lx200LateReplies, MountKindKeptWhenItsNameComesLateOrAsNoise) {
  const std::tuple<const char*, Spoil, int> cases[] = {
      {"rest late", Spoil::Cut, kNext}, {"late", Spoil::Late, kNext}, {"spike", Spoil::Late, 800}, {"noise", Spoil::Garble, 0}};
  for (const auto& [what, how, late] : cases) {
    SCOPED_TRACE(what);
    TFakeLx200 fake(TFakeLx200::Transport::Tcp);
    SetWorm(fake, 8);
    if (how == Spoil::Garble) {
      fake.Garble(":GVP#", "On-Stxp#", 1);
    } else {
      fake.SpoilReplies(":GVP#", how, 1, late);
    }
    ConnectTo(fake);
    ASSERT_TRUE(tele.Connected()) << FaultShown(&form);
    EXPECT_TRUE(tele.OnStep());
    EXPECT_FALSE(tele.AutostarNotOnStep());
    EXPECT_EQ(tele.PecLength(), 8);
    EXPECT_TRUE(tele.Controls().pecExport);
    EXPECT_TRUE(tele.Controls().align);
    EXPECT_TRUE(Logged("[Ascom.Telescope] Connect, Autostar compatible: (LX200 mount (ON_STEP command set): On-Step "
                       "4.24k on 127.0.0.1:" +
                       fake.Id().substr(fake.Id().rfind(':') + 1) + ")"));
    tele.Disconnect();
  }
}

// What a lost reply leaves unknown is said, in the window and the log, and
// the link stays: a PEC shift whose reply was lost or garbled (the copy here
// is not turned), a goto whose reply was garbled (the poll follows the
// mount as in a goto). A goto whose reply comes late is taken as begun.
TEST_F(Lx200LateReplies, LostRepliesSayWhatTheMountMayBeDoing) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  ConnectWithLongSlews(fake);
  ASSERT_TRUE(tele.Connected());
  const std::vector<int16_t> table = tele.PecTable();
  const std::tuple<const char*, const char*, Spoil, std::string> shifts[] = {
      {">>", ":WR+#", Spoil::Lose, "no reply from the mount to :WR+# within 0.6 s"},
      {"<<", ":WR-#", Spoil::Garble, "garbled reply to :WR-#: \""}};
  for (const auto& [button, cmd, how, why] : shifts) {
    SCOPED_TRACE(button);
    LogLines().Clear();
    fake.SpoilReplies(cmd, how, 1);
    Button(&form, button)->click();
    const std::string shown = FaultShown(&form);
    EXPECT_EQ(shown.rfind("PEC shift unconfirmed: " + why, 0), 0u) << shown;
    EXPECT_NE(shown.find("; the mount's PEC table may have been shifted"), std::string::npos) << shown;
    EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, CommandBool " + std::string(cmd) + " failed: " +
                       shown.substr(std::string("PEC shift unconfirmed: ").size())))
        << LogLines().LastLine();
    EXPECT_EQ(tele.PecTable(), table) << "the copy was turned";
    EXPECT_TRUE(tele.Connected());
    EXPECT_EQ(fake.Count(cmd), 1);
  }
  Button(&form, ">>")->click();
  EXPECT_EQ(FaultShown(&form), "") << "a shift that worked clears the line";

  fake.SpoilReplies(":MS#", Spoil::Garble, 1);
  EXPECT_FALSE(tele.GotoRaDec(3.0 * kHour, 10.0 * kRad));
  const std::string shown = FaultShown(&form);
  EXPECT_EQ(shown.rfind("Goto unconfirmed: garbled reply to :MS#: \"", 0), 0u) << shown;
  EXPECT_NE(shown.find("; the mount may be moving"), std::string::npos) << shown;
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, " + shown));
  EXPECT_TRUE(tele.GotoInProgress()) << "the poll follows the mount";
  EXPECT_TRUE(tele.Connected());
  Poll(2);
  EXPECT_EQ(tele.Controls().gotoShape, TShape::Green);

  fake.SpoilReplies(":MS#", Spoil::Late, 1, kNext);
  EXPECT_TRUE(tele.GotoRaDec(4.0 * kHour, 12.0 * kRad));
  EXPECT_EQ(FaultShown(&form), "");
  EXPECT_EQ(fake.Count(":MS#"), 2);
  EXPECT_NEAR(fake.Get().targetRa, 4.0, 1.0 / 3600);

  // A park, a set park and an alignment step whose replies were lost:
  // the log says what the window says, never that they failed.
  const std::tuple<const char*, const char*, const char*, std::string> acts[] = {
      {"Park", ":hP#", "Park command timed-out", "Park unconfirmed: no reply from the mount to :hP# within 0.6 s; the "
                                                 "mount may be parking"},
      {"Set Park", ":hQ#", "Setting Park position failed",
       "SetPark unconfirmed: no reply from the mount to :hQ# within 0.6 s; the park position may have been set"},
      {"Start", ":A1#", "Align failed",
       "Align unconfirmed: no reply from the mount to :A1# within 0.6 s; the alignment may have started"}};
  for (const auto& [button, cmd, failed, unconfirmed] : acts) {
    SCOPED_TRACE(button);
    LogLines().Clear();
    tele.Timer1Timer(), tele.Timer1Timer(), tele.Timer1Timer();  // the hold after the last
    fake.SpoilReplies(cmd, Spoil::Lose, 1);
    Button(&form, button)->click();
    EXPECT_EQ(FaultShown(&form), unconfirmed);
    EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, " + unconfirmed)) << LogLines().LastLine();
    EXPECT_EQ(LinesStarting(std::string("[Ascom.Telescope] ") + failed), 0);
    EXPECT_TRUE(tele.Connected());
  }
}

// An alignment star whose Accept is not answered "1" ends the alignment,
// also when its reply was lost: the window and the log say the step is
// unconfirmed (the star may have been accepted), never that it failed, and
// no star is left to accept.
TEST_F(Lx200LateReplies, AnAcceptWhoseReplyIsLostEndsTheAlignment) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 8);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  for (auto* r : form.findChildren<QRadioButton*>())
    if (r->text() == "3 stars") r->setChecked(true);
  Button(&form, "Start")->click();
  ASSERT_EQ(tele.AlignStarsLeft(), 3);
  tele.Timer1Timer();  // the hold after the step
  Button(&form, "Accept star")->click();
  ASSERT_EQ(tele.AlignStarsLeft(), 2);
  tele.Timer1Timer();
  fake.SpoilReplies(":A+#", Spoil::Lose, 1);
  Button(&form, "Accept star")->click();
  const std::string unconfirmed =
      "Align unconfirmed: no reply from the mount to :A+# within 0.6 s; the star may have been accepted";
  EXPECT_EQ(FaultShown(&form), unconfirmed);
  EXPECT_TRUE(Logged("[Ascom.Telescope] Warning, " + unconfirmed)) << LogLines().LastLine();
  EXPECT_EQ(tele.AlignStarsLeft(), 0);
  EXPECT_FALSE(Button(&form, "Accept star")->isEnabled());
  EXPECT_FALSE(host.acceptAlign);
  EXPECT_EQ(LinesEqual("Align failed"), 0);
  EXPECT_EQ(LinesEqual("Align star accepted"), 1);
  EXPECT_EQ(LinesEqual("Align, Done."), 0);
  // The main window's Accept goes nowhere now.
  tele.AcceptStarButton1Click();
  EXPECT_EQ(fake.Count(":A+#"), 2);
  EXPECT_TRUE(tele.Connected());
}

// A goto whose reply never comes, and the reply to each marker after it
// held back until the next marker: the link ends, and the reason says the
// mount may be moving and the whole time waited. (The spoils are set as
// the check of the target's replies, which comes first, is answered.)
TEST_F(Lx200LateReplies, GotoLostWithTheLinkSaysTheMountMayBeMoving) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  ConnectWithLongSlews(fake);
  ASSERT_TRUE(tele.Connected());
  fake.HoldReplyUntil(":GR#", [&] {
    fake.SpoilReplies(":MS#", Spoil::Lose, 1);
    for (const char* cmd : {":GR#", ":GD#", ":GC#", ":GVP#"}) fake.SpoilReplies(cmd, Spoil::Late, 1, kNext);
    return true;
  });
  tele.GotoRaDec(3.0 * kHour, 10.0 * kRad);
  RunUntil([&] { return !tele.Connected(); }, 2000);
  EXPECT_FALSE(tele.Connected());
  const std::string shown = FaultShown(&form);
  // The whole wait is told: the goto's 0.6 s and the markers' 9 s.
  EXPECT_NE(shown.find("no reply from the mount to :MS# within 9.6 s; the mount's replies could not be told apart "
                       "again; the mount may be moving"),
            std::string::npos)
      << shown;
  EXPECT_TRUE(Logged("[Ascom.Telescope] Error, connection lost: " + shown));
  EXPECT_EQ(fake.Count(":MS#"), 1);
}

// Events that read as the one before are each logged: a second failed
// connect to the same port, each star of a two-star alignment accepted.
TEST_F(Lx200LateReplies, RepeatedEventsAreEachLogged) {
  SetDriver("LX200:/dev/noctra-no-such-port:9600");
  Button(&form, "Connect")->click();
  Button(&form, "Connect")->click();
  EXPECT_EQ(LinesEqual("Connect failed: Cannot open /dev/noctra-no-such-port: No such file or directory"), 2);

  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  SetWorm(fake, 8);
  ConnectTo(fake);
  ASSERT_TRUE(tele.Connected());
  for (auto* r : form.findChildren<QRadioButton*>())
    if (r->text() == "2 stars") r->setChecked(true);
  Button(&form, "Start")->click();
  Button(&form, "Accept star")->click();
  Button(&form, "Accept star")->click();
  EXPECT_EQ(LinesEqual("Align star accepted"), 2);
  EXPECT_EQ(LinesEqual("Align, Done."), 1);
}
