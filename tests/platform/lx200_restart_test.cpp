// An LX200-family mount through the driver when the mount may have lost
// what it was sent: a link that stalls, a board that restarts (told by the
// clock and site it lost or by its words, with the goto it dropped, and
// set up again), a lossy or slow line and a goto from the handset that are
// no restart, and set commands lost on their way in whose values are read
// back and set again.
#include <gtest/gtest.h>

#include <QTimer>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/automation_lx200.h"
#include "tests/support/fake_lx200.h"
#include "tests/support/test_support.h"

using platform::TVariant;
using testing_support::TFakeLx200;

namespace {

platform::TAutomationRef Connect(const TFakeLx200& fake) {
  platform::RegisterLx200Drivers();
  auto m = platform::CreateOleObject(fake.Id());
  m->Put("Connected", true);
  return m;
}

// The markers' waits shortened for a test whose mount answers at once
// when it answers at all (`ms` in all; 0 restores them).
struct TShortMarkers {
  explicit TShortMarkers(int ms) { platform::SetLx200FindRepliesMsForTest(ms); }
  ~TShortMarkers() { platform::SetLx200FindRepliesMsForTest(0); }
};

// An OnStep mount given its clock (2026-01-15 20:15:07 UT) and site (10.5°
// east, 33.5° south), slewing to 3 h, +12.5° for a minute.
platform::TAutomationRef ConnectGivenAndSlewing(TFakeLx200& fake) {
  fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000; });
  auto m = Connect(fake);
  m->Put("UTCDate", TVariant(platform::TAutomationDate{1768508107.0}));
  m->Put("SiteLongitude", TVariant(10.5));
  m->Put("SiteLatitude", TVariant(-33.5));
  m->Invoke("SlewToCoordinatesAsync", {TVariant(3.0), TVariant(12.5)});
  return m;
}

// The mount holds the clock and site these tests give it (as
// ConnectGivenAndSlewing does), with the UTC offset "+00".
void ExpectGivenClockAndSite(const TFakeLx200::State& s) {
  EXPECT_EQ(s.date, "01/15/26");
  EXPECT_EQ(s.time.rfind("20:15:", 0), 0u) << s.time;
  EXPECT_EQ(s.site[0], "-33*30");
  EXPECT_EQ(s.site[1], "349*30");
  EXPECT_EQ(s.site[2], "+00");
}

}  // namespace

// A link that stalls, or a board that restarts and loses what it was
// sent, for about 7 s while the declination or the right ascension is
// asked: the markers that find the replies again are sent for 9 s, the
// last (the firmware version) about 7 s after the question, when the mount
// answers again; the question is asked again and the link kept. A mount
// given no clock or site has no value to read back: the stall that
// delivers what it held is no restart, the board that lost what it was
// sent for three markers is told so, once.
TEST(Lx200DriverStall, StallOrRestartRiddenOutForThePosition) {
  const std::tuple<const char*, bool, std::vector<std::string>> cases[] = {  // member, held, commands
      {"Declination", true, {":GD#", ":GR#", ":GC#", ":GVP#", ":GVN#", ":GD#"}},
      {"RightAscension", false, {":GR#", ":GD#", ":GC#", ":GVP#", ":GVN#", ":GR#"}}};
  for (const auto& [member, held, sent] : cases) {
    SCOPED_TRACE(member);
    TFakeLx200 fake(TFakeLx200::Transport::Tcp);
    fake.Change([](TFakeLx200::State& s) { s.raHours = 7.5, s.decDegrees = -33.25; });
    auto m = Connect(fake);
    fake.ClearCommands();
    fake.StallUntil(":GVN#", held);
    const double want = std::string(member) == "Declination" ? -33.25 : 7.5;
    EXPECT_NEAR(m->Get(member).AsDouble(), want, 1e-9);
    const std::vector<std::string> commands = fake.Commands();
    EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + std::min(commands.size(), sent.size())),
              sent);
    EXPECT_TRUE(m->Get("Connected").AsBool());
    // A stall that delivers is no fault; a mount that lost what it was
    // sent is told, once.
    const std::string fault = m->TakeFault();
    if (held) {
      EXPECT_EQ(fault, "");
      EXPECT_EQ(commands.size(), sent.size());
    } else {
      EXPECT_EQ(fault.rfind("the mount was silent for ", 0), 0u) << fault;
      EXPECT_NE(fault.find(" and lost what it was sent meanwhile (it may have restarted)"), std::string::npos)
          << fault;
    }
    EXPECT_EQ(m->TakeFault(), "");
  }
}

// A board that restarts while a goto is under way, losing 0 to 4 of the
// commands sent meanwhile (the question, then each marker: at the usual
// waits a restart of under 0.6 s, about 2 s, 4.5 s and 7 s), with and
// without the banner it sends as it starts: the restart is told once by
// the clock and site it lost, with the goto it dropped (a restart that
// loses nothing and says nothing is found as the goto is seen to end); the
// clock and site the connection set are set again, which a later silence
// finds kept.
TEST(Lx200DriverStall, ARestartIsToldWithTheGotoItDropped) {
  TShortMarkers shortWaits(2400);
  for (const std::string banner : {"", "\r\nOnStep 4.24k\r\n"}) {
    for (int lost = 0; lost <= 4; ++lost) {
      SCOPED_TRACE(std::to_string(lost) + " lost" + (banner.empty() ? "" : ", a banner"));
      TFakeLx200 fake(TFakeLx200::Transport::Pty);
      auto m = ConnectGivenAndSlewing(fake);
      ASSERT_EQ(m->TakeFault(), "");
      fake.Restart(lost, banner);
      // The reply after the banner comes late on a slow line: no silence.
      if (lost == 0) fake.DelayNextReply(250);
      EXPECT_FALSE(m->Get("Slewing").AsBool());
      const std::string fault = m->TakeFault();
      EXPECT_EQ(fault.rfind("the mount restarted: it ", 0), 0u) << fault;
      if (lost > 0) {
        EXPECT_NE(fault.find("was silent for "), std::string::npos) << fault;
      } else {
        EXPECT_EQ(fault.find("was silent"), std::string::npos) << fault;
      }
      if (!banner.empty()) {
        EXPECT_NE(fault.find("said \"OnStep 4.24k\""), std::string::npos) << fault;
      }
      EXPECT_NE(fault.find("lost the date, time and site it was given; the goto under way was lost; its date, time "
                           "and site were set again"),
                std::string::npos)
          << fault;
      EXPECT_EQ(m->TakeFault(), "") << "told once";
      ExpectGivenClockAndSite(fake.Get());
      EXPECT_TRUE(m->Get("Connected").AsBool());
    }
  }
  TFakeLx200 fake(TFakeLx200::Transport::Pty);
  auto m = ConnectGivenAndSlewing(fake);
  fake.Restart(1);
  m->Get("Slewing");
  ASSERT_NE(m->TakeFault(), "");
  fake.SpoilReplies(":GD#", TFakeLx200::Spoil::Lose, 1);
  EXPECT_NEAR(m->Get("Declination").AsDouble(), 20.0, 1e-9);
  EXPECT_EQ(m->TakeFault(), "") << "the values set again are held";
  // A target the mount refused changes nothing of that: the next restart
  // is told all the same.
  fake.Garble(":Sd-10*00:00#", "0", 1);
  EXPECT_THROW(m->Invoke("SlewToCoordinatesAsync", {TVariant(3.0), TVariant(-10.0)}), platform::EAutomationError);
  fake.Restart(1);
  m->Get("Declination");
  EXPECT_NE(m->TakeFault().find("lost the date, time and site it was given"), std::string::npos);
}

// A Meade handset that does not answer ":GW#" leaves that probe's
// silence behind at the connect: a later restart that loses nothing (found
// by its words, or as the goto is seen to end) is told without a silence.
TEST(Lx200DriverStall, TheConnectsProbeIsNoSilenceOfALaterRestart) {
  for (const std::string banner : {"", "\r\nAutostar restarted\r\n"}) {
    SCOPED_TRACE(banner.empty() ? "no banner" : "a banner");
    TFakeLx200 fake(TFakeLx200::Transport::Pty, TFakeLx200::Firmware::Meade);
    fake.Change([](TFakeLx200::State& s) { s.alignStatus = false; });
    auto m = ConnectGivenAndSlewing(fake);
    ASSERT_EQ(m->TakeFault(), "");
    fake.Restart(0, banner);
    fake.DelayNextReply(250);
    EXPECT_FALSE(m->Get("Slewing").AsBool());
    const std::string fault = m->TakeFault();
    EXPECT_EQ(fault.rfind("the mount restarted: it ", 0), 0u) << fault;
    EXPECT_EQ(fault.find("was silent"), std::string::npos) << fault;
    EXPECT_NE(fault.find("lost the date, time and site it was given; the goto under way was lost"),
              std::string::npos)
        << fault;
  }
}

// A board that restarts as a goto's target is being set (losing 1 to 3
// commands, with and without its banner) takes the new target after it
// has started: the clock and site read back tell the restart, and the
// target read back that it came before the new goto. The restart is told
// with the goto that was under way before; the clock and site are set
// again, and the new goto goes on.
class Lx200RestartAsTheTargetIsSet : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(Lx200RestartAsTheTargetIsSet, IsToldAndTheClockAndSiteAreSetAgain) {
  TShortMarkers shortWaits(2400);
  const auto [lost, withBanner] = GetParam();
  const std::string banner = withBanner ? "\r\nOnStep 4.24k\r\n" : "";
  TFakeLx200 fake(TFakeLx200::Transport::Pty);
  auto m = ConnectGivenAndSlewing(fake);
  ASSERT_EQ(m->TakeFault(), "");
  fake.Restart(lost, banner);
  m->Invoke("SlewToCoordinatesAsync", {TVariant(5.0), TVariant(20.0)});
  const std::string fault = m->TakeFault();
  EXPECT_EQ(fault.rfind("the mount restarted: it ", 0), 0u) << fault;
  // (A banner that comes in the place of the one lost set command's reply
  // is that reply spoiled, no silence.)
  if (!withBanner || lost > 1) {
    EXPECT_NE(fault.find("was silent for "), std::string::npos) << fault;
  }
  if (withBanner) {
    EXPECT_NE(fault.find("said \"OnStep 4.24k\""), std::string::npos) << fault;
  }
  EXPECT_NE(fault.find("lost the date, time and site it was given; the goto under way was lost; its date, time and "
                       "site were set again"),
            std::string::npos)
      << fault;
  EXPECT_EQ(m->TakeFault(), "") << "told once";
  const TFakeLx200::State s = fake.Get();
  ExpectGivenClockAndSite(s);
  EXPECT_NEAR(s.targetRa, 5.0, 1e-9);
  EXPECT_NEAR(s.targetDec, 20.0, 1e-9);
  EXPECT_TRUE(fake.Slewing());
  EXPECT_TRUE(m->Get("Slewing").AsBool());
  // A later silence finds the values set again held.
  fake.SpoilReplies(":GD#", TFakeLx200::Spoil::Lose, 1);
  m->Get("Declination");
  EXPECT_EQ(m->TakeFault(), "") << "the values set again are held";
  EXPECT_TRUE(m->Get("Connected").AsBool());
}

INSTANTIATE_TEST_SUITE_P(LostAndBanner, Lx200RestartAsTheTargetIsSet,
                         testing::Combine(testing::Values(1, 2, 3), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<int, bool>>& info) {
                           return std::to_string(std::get<0>(info.param)) + "Lost" +
                                  (std::get<1>(info.param) ? "Banner" : "");
                         });

// The same restart as the target of a goto with none under way before (the
// goto it starts is not lost), and of a sync during a goto (that goto is
// lost, and its end is not waited for); a connection given only its clock
// finds the clock lost. A restart after the goto's target was set loses
// the goto the call started: the call fails, saying so.
TEST(Lx200DriverStall, ARestartAsTheTargetIsSetToldForEachCall) {
  TShortMarkers shortWaits(2400);
  {
    SCOPED_TRACE("goto, none under way");
    TFakeLx200 fake(TFakeLx200::Transport::Pty);
    fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000; });
    auto m = Connect(fake);
    m->Put("UTCDate", TVariant(platform::TAutomationDate{1768508107.0}));
    m->Put("SiteLatitude", TVariant(-33.5));
    fake.Restart(1);
    m->Invoke("SlewToCoordinatesAsync", {TVariant(5.0), TVariant(20.0)});
    const std::string fault = m->TakeFault();
    EXPECT_NE(fault.find("lost the date, time and site it was given; its date, time and site were set again"),
              std::string::npos)
        << fault;
    EXPECT_EQ(fault.find("goto"), std::string::npos) << fault;
    EXPECT_EQ(fake.Get().site[0], "-33*30");
    EXPECT_TRUE(m->Get("Slewing").AsBool());
  }
  {
    SCOPED_TRACE("sync during a goto");
    TFakeLx200 fake(TFakeLx200::Transport::Pty);
    auto m = ConnectGivenAndSlewing(fake);
    fake.Restart(2, "\r\nOnStep 4.24k\r\n");
    m->Invoke("SyncToCoordinates", {TVariant(5.0), TVariant(20.0)});
    const std::string fault = m->TakeFault();
    EXPECT_NE(fault.find("lost the date, time and site it was given; the goto under way was lost; its date, time "
                         "and site were set again"),
              std::string::npos)
        << fault;
    EXPECT_EQ(fake.Get().site[1], "349*30");
    fake.ClearCommands();
    EXPECT_FALSE(m->Get("Slewing").AsBool());
    EXPECT_EQ(fake.Count(":GL#"), 0) << "no goto's end to look at";
    EXPECT_EQ(m->TakeFault(), "");
  }
  {
    SCOPED_TRACE("clock only");
    TFakeLx200 fake(TFakeLx200::Transport::Pty);
    auto m = Connect(fake);
    m->Put("UTCDate", TVariant(platform::TAutomationDate{1768508107.0}));
    m->Invoke("SyncToCoordinates", {TVariant(4.0), TVariant(-20.0)});
    fake.Restart(1);
    m->Invoke("SyncToCoordinates", {TVariant(5.0), TVariant(20.0)});
    const std::string fault = m->TakeFault();
    EXPECT_NE(fault.find("lost the date and time it was given; its date and time were set again"), std::string::npos)
        << fault;
    EXPECT_EQ(fake.Get().date, "01/15/26");
  }
  {
    SCOPED_TRACE("after the goto's target was set");
    TFakeLx200 fake(TFakeLx200::Transport::Pty);
    auto m = ConnectGivenAndSlewing(fake);
    // The board restarts as the check after the target read back is
    // answered: the goto's ":MS#" is lost.
    bool restarted = false;
    fake.HoldReplyUntil(":GR#", [&] {
      if (!std::exchange(restarted, true)) fake.Restart(1);
      return true;
    });
    try {
      m->Invoke("SlewToCoordinatesAsync", {TVariant(5.0), TVariant(20.0)});
      ADD_FAILURE() << "the goto was taken as begun";
    } catch (const platform::EAutomationOutcomeUnknown& e) {
      ADD_FAILURE() << "told as unconfirmed: " << e.what();
    } catch (const platform::EAutomationError& e) {
      const std::string told = e.what();
      EXPECT_EQ(told.rfind("the mount restarted: it was silent for ", 0), 0u) << told;
      EXPECT_NE(told.find("lost the date, time and site it was given; the goto under way was lost; its date, time "
                          "and site were set again"),
                std::string::npos)
          << told;
    }
    EXPECT_EQ(m->TakeFault(), "") << "told as the call's failure only";
    EXPECT_FALSE(fake.Slewing());
    EXPECT_FALSE(m->Get("Slewing").AsBool());
    ExpectGivenClockAndSite(fake.Get());
  }
}

// The mount keeps its memory through what a slow or lossy line does:
// during a goto, a question lost, the question and the marker after it
// both lost, a reply 0.8 s late on a link of 200 ms, and the goto's end
// itself. Each makes the driver read the clock and site back; none is told
// as a restart, and the goto goes on.
TEST(Lx200DriverStall, NoRestartIsToldWhereTheMountKeptItsMemory) {
  using Spoil = TFakeLx200::Spoil;
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  auto m = ConnectGivenAndSlewing(fake);
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"question lost", [&] { fake.SpoilReplies(":D#", Spoil::Lose, 1); }},
      {"question and marker lost",
       [&] { fake.SpoilReplies(":D#", Spoil::Lose, 1), fake.SpoilReplies(":GR#", Spoil::Lose, 1); }},
      {"reply late on a slow link", [&] { fake.SetDelay(200), fake.SpoilReplies(":D#", Spoil::Late, 1, 800); }}};
  for (const auto& [what, spoil] : cases) {
    SCOPED_TRACE(what);
    fake.ClearCommands();
    spoil();
    EXPECT_TRUE(m->Get("Slewing").AsBool());
    EXPECT_EQ(fake.Count(":GL#"), 1) << "the clock read back once";
    EXPECT_EQ(m->TakeFault(), "");
  }
  fake.SetDelay(0);
  fake.Change([](TFakeLx200::State& s) { s.slewMs = 0; });
  m->Invoke("SlewToCoordinatesAsync", {TVariant(4.0), TVariant(10.0)});
  ASSERT_TRUE(testing_support::RunEventsUntil([&] { return !fake.Slewing(); }));
  fake.ClearCommands();
  EXPECT_FALSE(m->Get("Slewing").AsBool());
  EXPECT_FALSE(m->Get("Slewing").AsBool());
  EXPECT_EQ(fake.Count(":GL#"), 1) << "read back once, at the goto's end";
  EXPECT_EQ(m->TakeFault(), "");
  EXPECT_TRUE(m->Get("Connected").AsBool());
}

// A goto made from the handset or the mount's own app moves the mount's
// target while the program's own goto is under way, and the next reply is
// lost: the driver looks, finds the clock and site the connection set
// held, and tells nothing. (Taking the target for the mark, it told a
// restart, set the clock and site again and gave up the goto under way.)
// The window's polls on a lossy line are in the telescope tests.
TEST(Lx200DriverStall, AHandsetGotoIsNoRestart) {
  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  auto m = ConnectGivenAndSlewing(fake);
  fake.HandsetGoto(9.0, -5.0);
  fake.ClearCommands();
  fake.SpoilReplies(":GD#", TFakeLx200::Spoil::Lose, 1);
  EXPECT_NEAR(m->Get("Declination").AsDouble(), 20.0, 1e-9);
  EXPECT_EQ(fake.Count(":GL#"), 1) << "the clock read back";
  EXPECT_EQ(m->TakeFault(), "");
  EXPECT_TRUE(m->Get("Slewing").AsBool());
  EXPECT_TRUE(m->Get("Connected").AsBool());
}

// A board that restarts after a park, an un-park, a home (reset), a find
// home or an alignment start (losing 0 to 3 of the commands sent
// meanwhile, with its words "OnStep boot" or without): the next question
// finds the clock and site it lost. The restart is told, and the clock and
// site are set again and proved (left lost, the next goto was taken hours
// off in hour angle). A mount given neither is told by its words and the
// silence.
TEST(Lx200DriverStall, ARestartAfterAParkHomeOrAlignmentStartIsTold) {
  TShortMarkers shortWaits(2400);
  using TAct = std::function<void(platform::IAutomationObject&)>;
  const std::string banner = "\r\nOnStep boot\r\n";
  // What, the act and its command, the commands lost, words.
  const std::tuple<const char*, TAct, const char*, int, bool> cases[] = {
      {"park", [](platform::IAutomationObject& m) { m.Invoke("Park", {}); }, ":hP#", 2, false},
      {"un-park", [](platform::IAutomationObject& m) { m.Invoke("UnPark", {}); }, ":hR#", 3, true},
      {"home (reset)",
       [](platform::IAutomationObject& m) { m.Invoke("CommandBlind", {TVariant(":hF#"), TVariant(true)}); }, ":hF#",
       1, true},
      {"find home", [](platform::IAutomationObject& m) { m.Invoke("FindHome", {}); }, ":hC#", 0, true},
      {"alignment start",
       [](platform::IAutomationObject& m) { m.Invoke("CommandString", {TVariant(":A1#"), TVariant(true)}); }, ":A1#",
       2, false}};
  for (const auto& [what, act, cmd, lost, words] : cases) {
    SCOPED_TRACE(what);
    TFakeLx200 fake(TFakeLx200::Transport::Pty);
    auto m = Connect(fake);
    m->Put("UTCDate", TVariant(platform::TAutomationDate{1768508107.0}));
    m->Put("SiteLongitude", TVariant(10.5));
    m->Put("SiteLatitude", TVariant(-33.5));
    act(*m);
    // (A command without a reply may still be on its way.)
    ASSERT_TRUE(testing_support::RunEventsUntil([&, c = cmd] { return fake.Count(c) > 0; }));
    fake.Restart(lost, words ? banner : "");
    m->Get("AtPark");
    const std::string fault = m->TakeFault();
    EXPECT_EQ(fault.rfind("the mount restarted: it ", 0), 0u) << fault;
    if (lost > 0) {
      EXPECT_NE(fault.find("was silent for "), std::string::npos) << fault;
    }
    if (words) {
      EXPECT_NE(fault.find("said \"OnStep boot\""), std::string::npos) << fault;
    }
    EXPECT_NE(fault.find("lost the date, time and site it was given; its date, time and site were set again"),
              std::string::npos)
        << fault;
    EXPECT_EQ(fault.find("goto"), std::string::npos) << fault;
    ExpectGivenClockAndSite(fake.Get());
    EXPECT_EQ(m->TakeFault(), "") << "told once";
    EXPECT_TRUE(m->Get("Connected").AsBool());
  }
  TFakeLx200 fake(TFakeLx200::Transport::Pty);
  auto m = Connect(fake);
  m->Invoke("Park", {});
  fake.Restart(2, banner);
  m->Get("AtPark");
  const std::string fault = m->TakeFault();
  EXPECT_EQ(fault.rfind("the mount restarted: it was silent for ", 0), 0u) << fault;
  EXPECT_NE(fault.find(" and said \"OnStep boot\""), std::string::npos) << fault;
}

// Each set command of a sync, a goto and the connect's clock and site,
// lost on its way to the mount while the reply to the command before it
// comes twice (into the lost one's place: "1" after a set command), or
// while a stray "1" comes in its place: each value is read back, found not
// taken and set again, so the mount holds every value (unchecked, the goto
// slewed to the old declination, the sync took it, the time or date stayed
// as it was). The offset, time and date are proved together: the offset
// set again moves the mount's local time, which is read back again (the
// clock was left off by the mount's former offset, -5 h). A value that
// never reads back as set is told, naming it.
TEST(Lx200DriverSettings, ASetCommandLostIsSetAgainAndOneNeverTakenIsTold) {
  using Spoil = TFakeLx200::Spoil;
  const auto run = [](platform::IAutomationObject& m) {
    m.Put("UTCDate", TVariant(platform::TAutomationDate{1768508107.0}));  // 2026-01-15 20:15:07 UT
    m.Put("SiteLongitude", TVariant(10.5));
    m.Put("SiteLatitude", TVariant(-33.5));
    m.Invoke("SyncToCoordinates", {TVariant(4.0), TVariant(-20.0)});
    m.Invoke("SlewToCoordinatesAsync", {TVariant(3.0), TVariant(12.5)});
  };
  const auto fresh = [](TFakeLx200& fake) {
    fake.Change([](TFakeLx200::State& s) { s.slewMs = 60000, s.site[2] = "-05"; });
  };
  std::vector<std::string> sequence;
  {
    TFakeLx200 fake(TFakeLx200::Transport::Tcp);
    fresh(fake);
    auto m = Connect(fake);
    fake.ClearCommands();
    run(*m);
    sequence = fake.Commands();
  }
  int sets = 0;
  for (std::size_t k = 0; k < sequence.size(); ++k) {
    if (sequence[k].rfind(":S", 0) != 0) continue;
    ++sets;
    for (const bool stray : {false, true}) {
      SCOPED_TRACE(sequence[k] + (stray ? ", a stray \"1\"" : " after " + (k > 0 ? sequence[k - 1] : "the connect")));
      TFakeLx200 fake(TFakeLx200::Transport::Tcp);
      fresh(fake);
      auto m = Connect(fake);
      fake.ClearCommands();
      // (The connect's last reply is not repeated: the first set command is
      // only lost.)
      if (k > 0 && !stray) fake.SpoilCommandAt(int(k), Spoil::Twice, TFakeLx200::kAtNextCommand);
      fake.SpoilCommandAt(int(k) + 1, stray ? Spoil::Stray : Spoil::Lose);
      try {
        run(*m);
      } catch (const platform::EAutomationError& e) {
        ADD_FAILURE() << e.what();
      }
      EXPECT_EQ(fake.Spoiled(), k > 0 && !stray ? 2 : 1);
      const TFakeLx200::State s = fake.Get();
      ExpectGivenClockAndSite(s);
      EXPECT_NEAR(s.raHours, 4.0, 1e-9) << "synced";
      EXPECT_NEAR(s.decDegrees, -20.0, 1e-9) << "synced";
      EXPECT_NEAR(s.targetRa, 3.0, 1e-9);
      EXPECT_NEAR(s.targetDec, 12.5, 1e-9);
      EXPECT_TRUE(fake.Slewing());
      EXPECT_EQ(m->TakeFault(), "");
    }
  }
  EXPECT_EQ(sets, 9) << "the offset, time, date, longitude, latitude, and each target's two";

  TFakeLx200 fake(TFakeLx200::Transport::Tcp);
  auto m = Connect(fake);
  fake.Garble(":Gt#", "+00*00#", platform::kLx200Asks);
  try {
    m->Put("SiteLatitude", TVariant(-33.5));
    ADD_FAILURE() << "taken";
  } catch (const platform::EAutomationError& e) {
    EXPECT_STREQ(e.what(), "Latitude not taken by the mount: it reads +00*00 where -33*30 was set; set 4 times");
  }
  EXPECT_EQ(fake.Count(":St-33*30#"), platform::kLx200Asks);
  EXPECT_TRUE(m->Get("Connected").AsBool());
}

// Many boards restart as their serial port is opened (the port raises
// DTR) and answer 1 to 5 s later, having lost what they were sent
// meanwhile, with or without words as they start: the first connect waits
// for them, asking again, and succeeds; nothing is told. A mount that never
// answers fails saying how long it was waited for; a disconnect ends the
// wait at once.
TEST(Lx200DriverStart, ABoardThatRestartsAsItsPortOpensIsWaitedFor) {
  using Transport = TFakeLx200::Transport;
  const std::tuple<Transport, int, const char*> cases[] = {
      {Transport::Pty, 1000, ""},
      {Transport::Pty, 3500, "\r\nOnStep boot\r\n"},
      {Transport::Tcp, 2500, "\r\nOnStep boot\r\n"}};
  for (const auto& [transport, ms, banner] : cases) {
    SCOPED_TRACE(testing_support::LinkName(transport) + " " + std::to_string(ms) + " ms" + (*banner ? ", words" : ""));
    TFakeLx200 fake(transport);
    fake.StartOnOpen(ms, banner);
    platform::TAutomationRef m;
    try {
      m = Connect(fake);
    } catch (const platform::EAutomationError& e) {
      FAIL() << e.what();
    }
    EXPECT_TRUE(m->Get("Connected").AsBool());
    EXPECT_NE(m->Get("DriverInfo").AsString().find("(ON_STEP command set): On-Step 4.24k"), std::string::npos);
    EXPECT_GE(fake.Count(":GR#"), 2) << "asked again";
    EXPECT_NEAR(m->Get("Declination").AsDouble(), 20.0, 1e-9);
    EXPECT_EQ(m->TakeFault(), "");
    EXPECT_EQ(m->TakeNotice(), "");
  }
  {
    TFakeLx200 fake(Transport::Tcp);
    fake.SetSilent(true);
    try {
      Connect(fake);
      ADD_FAILURE() << "connected";
    } catch (const platform::EAutomationError& e) {
      EXPECT_EQ(std::string(e.what()), "No reply from the mount on " + fake.Id().substr(6) + " within 8 s");
    }
    EXPECT_GE(fake.Count(":GR#"), 4) << "asked again while it waited";
  }
  TFakeLx200 fake(Transport::Pty);
  fake.SetSilent(true);
  auto m = platform::CreateOleObject(fake.Id());
  QTimer::singleShot(300, [&] { m->Put("Connected", TVariant(false)); });
  EXPECT_THROW(m->Put("Connected", TVariant(true)), platform::EAutomationCancelled);
  EXPECT_FALSE(m->Get("Connected").AsBool());
}
