// An LX200-family mount through the driver when the mount may have lost
// what it was sent: a link that stalls, a board that restarts (told by the
// target it lost, with the goto it dropped, and set up again), a lossy or
// slow line that is no restart, and set commands lost on their way in
// whose values are read back and set again.
#include <gtest/gtest.h>

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
// answers again; the question is asked again and the link kept. The
// mount's target is then read back: kept after a stall, lost by the board
// that restarted, which is told once.
TEST(Lx200DriverStall, StallOrRestartRiddenOutForThePosition) {
  const std::tuple<const char*, bool, std::vector<std::string>> cases[] = {  // member, held, commands
      {"Declination", true, {":GD#", ":GR#", ":GC#", ":GVP#", ":GVN#", ":GD#", ":Gr#", ":Gd#", ":GR#"}},
      {"RightAscension", false, {":GR#", ":GD#", ":GC#", ":GVP#", ":GVN#", ":GR#", ":Gr#", ":Gd#", ":GR#"}}};
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
      EXPECT_EQ(fault.rfind("the mount restarted: it was silent for ", 0), 0u) << fault;
      EXPECT_NE(fault.find(" and lost the target it was given"), std::string::npos) << fault;
    }
    EXPECT_EQ(m->TakeFault(), "");
  }
}

// A board that restarts while a goto is under way, losing 0 to 4 of the
// commands sent meanwhile (the question, then each marker: at the usual
// waits a restart of under 0.6 s, about 2 s, 4.5 s and 7 s), with and
// without the banner it sends as it starts: the restart is told once,
// with the goto it dropped (a restart that loses nothing and says nothing
// is found as the goto is seen to end); the clock and site the connection
// set are set again, and the mount's target as the next mark, which a
// later silence finds kept.
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
      EXPECT_NE(fault.find("lost the target it was given; the goto under way was lost; its date, time and site were "
                           "set again"),
                std::string::npos)
          << fault;
      EXPECT_EQ(m->TakeFault(), "") << "told once";
      const TFakeLx200::State s = fake.Get();
      ExpectGivenClockAndSite(s);
      EXPECT_NEAR(s.targetRa, s.raHours, 1.0 / 3600) << "the mark is where the mount stopped";
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
  EXPECT_EQ(m->TakeFault(), "") << "the new mark is kept";
  // A target the mount refused leaves it marked where it points: the
  // next restart is told all the same.
  fake.Garble(":Sd-10*00:00#", "0", 1);
  EXPECT_THROW(m->Invoke("SlewToCoordinatesAsync", {TVariant(3.0), TVariant(-10.0)}), platform::EAutomationError);
  fake.Restart(1);
  m->Get("Declination");
  EXPECT_NE(m->TakeFault().find("lost the target it was given"), std::string::npos);
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
    EXPECT_NE(fault.find("lost the target it was given; the goto under way was lost"), std::string::npos) << fault;
  }
}

// A board that restarts as a goto's target is being set (losing 1 to 3
// commands, with and without its banner) takes the new target after it
// has started, so the target read back proves nothing: the site the
// connection set is read back instead and found lost. The restart is told
// with the goto that was under way before; the clock and site are set
// again, and the new goto goes on with its target as the mark.
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
  EXPECT_NE(fault.find("lost the site it was given; the goto under way was lost; its date, time and site were set "
                       "again"),
            std::string::npos)
      << fault;
  EXPECT_EQ(m->TakeFault(), "") << "told once";
  const TFakeLx200::State s = fake.Get();
  ExpectGivenClockAndSite(s);
  EXPECT_NEAR(s.targetRa, 5.0, 1e-9);
  EXPECT_NEAR(s.targetDec, 20.0, 1e-9);
  EXPECT_TRUE(fake.Slewing());
  EXPECT_TRUE(m->Get("Slewing").AsBool());
  // The new target is the mark: a later silence finds it kept.
  fake.SpoilReplies(":GD#", TFakeLx200::Spoil::Lose, 1);
  m->Get("Declination");
  EXPECT_EQ(m->TakeFault(), "") << "the new mark is kept";
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
// finds the clock lost.
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
    EXPECT_NE(fault.find("lost the site it was given; its date, time and site were set again"), std::string::npos)
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
    EXPECT_NE(fault.find("lost the site it was given; the goto under way was lost; its date, time and site were set "
                         "again"),
              std::string::npos)
        << fault;
    EXPECT_EQ(fake.Get().site[1], "349*30");
    fake.ClearCommands();
    EXPECT_FALSE(m->Get("Slewing").AsBool());
    EXPECT_EQ(fake.Count(":Gr#"), 0) << "no goto's end to look at";
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
}

// The mount keeps its memory through what a slow or lossy line does:
// during a goto, a question lost, the question and the marker after it
// both lost, a reply 0.8 s late on a link of 200 ms, and the goto's end
// itself. Each makes the driver read the target back; none is told as a
// restart, and the goto goes on.
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
    EXPECT_EQ(fake.Count(":Gr#"), 1) << "the target read back once";
    EXPECT_EQ(m->TakeFault(), "");
  }
  fake.SetDelay(0);
  fake.Change([](TFakeLx200::State& s) { s.slewMs = 0; });
  m->Invoke("SlewToCoordinatesAsync", {TVariant(4.0), TVariant(10.0)});
  ASSERT_TRUE(testing_support::RunEventsUntil([&] { return !fake.Slewing(); }));
  fake.ClearCommands();
  EXPECT_FALSE(m->Get("Slewing").AsBool());
  EXPECT_FALSE(m->Get("Slewing").AsBool());
  EXPECT_EQ(fake.Count(":Gr#"), 1) << "read back once, at the goto's end";
  EXPECT_EQ(m->TakeFault(), "");
  EXPECT_TRUE(m->Get("Connected").AsBool());
}

// Each set command of a sync, a goto and the connect's clock and site,
// lost on its way to the mount while the reply to the command before it
// comes twice (into the lost one's place: "1" after a set command): each
// value is read back, found not taken and set again, so the mount holds
// every value (unchecked, the goto slewed to the old declination, the sync
// took it, the time or date stayed as it was). A value that never reads
// back as set is told, naming it.
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
    SCOPED_TRACE(sequence[k] + " after " + (k > 0 ? sequence[k - 1] : "the connect"));
    TFakeLx200 fake(TFakeLx200::Transport::Tcp);
    fresh(fake);
    auto m = Connect(fake);
    fake.ClearCommands();
    // (The connect's last reply is not repeated: the first set command is
    // only lost.)
    if (k > 0) fake.SpoilCommandAt(int(k), Spoil::Twice, TFakeLx200::kAtNextCommand);
    fake.SpoilCommandAt(int(k) + 1, Spoil::Lose);
    try {
      run(*m);
    } catch (const platform::EAutomationError& e) {
      ADD_FAILURE() << e.what();
    }
    EXPECT_EQ(fake.Spoiled(), k > 0 ? 2 : 1);
    const TFakeLx200::State s = fake.Get();
    ExpectGivenClockAndSite(s);
    EXPECT_NEAR(s.raHours, 4.0, 1e-9) << "synced";
    EXPECT_NEAR(s.decDegrees, -20.0, 1e-9) << "synced";
    EXPECT_NEAR(s.targetRa, 3.0, 1e-9);
    EXPECT_NEAR(s.targetDec, 12.5, 1e-9);
    EXPECT_TRUE(fake.Slewing());
    EXPECT_EQ(m->TakeFault(), "");
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
