// The focuser and filter-wheel clients against their simulators.
#include <gtest/gtest.h>

#include <functional>

#include "telescope/accessories.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;
using platform::TSimFilterWheel;
using platform::TSimFilterWheelConfig;
using platform::TSimFocuser;
using platform::TSimFocuserConfig;

namespace {

std::shared_ptr<TSimFocuser> ConnectFocuser(TFocuserControl& f, TSimFocuserConfig cfg = {}) {
  auto dev = std::make_shared<TSimFocuser>(cfg);
  RegisterAs("Test.Focuser", "Focuser", dev);
  f.name = "Test.Focuser";
  f.ConnectClick();
  return dev;
}

std::shared_ptr<TSimFilterWheel> ConnectWheel(TFilterWheelControl& w, bool maker) {
  TSimFilterWheelConfig cfg;
  cfg.makerWheel = maker;
  auto dev = std::make_shared<TSimFilterWheel>(cfg);
  // The maker's wheel is known by its identifier.
  const std::string id = maker ? "Test.Tar_vel.Wheel" : "Test.Wheel";
  RegisterAs(id, "FilterWheel", dev);
  w.name = id;
  w.ConnectClick();
  return dev;
}

}  // namespace

TEST(Focuser, NeutralValuesWhileDisconnected) {
  TFocuserControl f;
  EXPECT_EQ(f.GetPosition(), -999999);
  EXPECT_EQ(f.GetMaxIncrement(), -999999);
  EXPECT_FALSE(f.GetAbsolute());
  EXPECT_FALSE(f.IsMoving());
  f.Move(100);  // nothing happens
}

TEST(Focuser, AbsoluteAndRelativeMovesTakeTime) {
  LogLines().Clear();
  TFocuserControl f;
  auto dev = ConnectFocuser(f);
  ASSERT_TRUE(f.Connected());
  EXPECT_TRUE(Logged("[Ascom.Focuser] Connect: Noctra focuser simulator"));
  EXPECT_TRUE(f.GetAbsolute());
  EXPECT_EQ(f.GetMaxIncrement(), 10000);
  f.Move(27000);
  AdvanceClock(1000);  // 1000 steps per second
  EXPECT_TRUE(f.IsMoving());
  EXPECT_EQ(f.GetPosition(), 26000);
  AdvanceClock(1500);
  EXPECT_FALSE(f.IsMoving());
  EXPECT_EQ(f.GetPosition(), 27000);
  f.DisconnectClick();

  TSimFocuserConfig rel;
  rel.absolute = false;
  dev = ConnectFocuser(f, rel);
  EXPECT_FALSE(f.GetAbsolute());
  f.Move(-500);  // a step count, passed unchanged
  AdvanceClock(1000);
  EXPECT_FALSE(f.IsMoving());
  EXPECT_EQ(dev->PositionSteps(), 24500);
}

TEST(Focuser, DisconnectIsVerifiedAndFailuresAreNeutral) {
  LogLines().Clear();
  TFocuserControl f;
  auto dev = ConnectFocuser(f);
  dev->FailMemberForTest("Position", 1);
  EXPECT_EQ(f.GetPosition(), -999999);
  EXPECT_EQ(f.GetPosition(), 25000) << "works again";
  dev->SetRefuseDisconnect(true);
  f.DisconnectClick();
  EXPECT_TRUE(f.Connected()) << "a focuser that keeps its link stays connected";
  EXPECT_TRUE(f.Controls().disconnect);
  dev->SetRefuseDisconnect(false);
  f.DisconnectClick();
  EXPECT_FALSE(f.Connected());
  EXPECT_TRUE(Logged("[Ascom.Focuser] Disconnected"));
  // A link lost on the device side is noticed by the one-second watch.
  dev = ConnectFocuser(f);
  dev->DropLink();
  f.Timer1Timer();
  EXPECT_FALSE(f.Connected());
  EXPECT_EQ(f.Controls().connectedShape, TShape::ButtonFace);
}

TEST(FilterWheel, NamesOffsetsAndPositionWhileTurning) {
  LogLines().Clear();
  TFilterWheelControl w;
  EXPECT_EQ(w.GetPosition(), -999);
  EXPECT_TRUE(w.GetNames().empty());
  auto dev = ConnectWheel(w, false);
  ASSERT_TRUE(w.Connected());
  EXPECT_FALSE(w.MakerWheel());
  EXPECT_FALSE(w.Controls().tweak);
  EXPECT_EQ(w.GetNames(), (std::vector<std::string>{"Luminance", "Red", "Green", "Blue", "H-alpha"}));
  EXPECT_EQ(w.GetFocusOffsets(), (std::vector<int32_t>{0, 12, 8, -6, 40}));
  w.SetPosition(2);
  EXPECT_TRUE(Logged("[Ascom.Filterwheel] Moving to filter#2"));
  EXPECT_EQ(w.GetPosition(), -1);
  AdvanceClock(800);  // two slots at 400 ms
  EXPECT_EQ(w.GetPosition(), 2);
  dev->FailMemberForTest("Names", 1);
  EXPECT_TRUE(w.GetNames().empty());
  // An ordinary wheel has no temperature channel: nothing is sent.
  dev->ClearCalls();
  w.SetTemperature(20.0);
  EXPECT_EQ(w.GetTemperature(), -999.0);
  EXPECT_TRUE(dev->Calls().empty());
}

TEST(FilterWheel, MakerWheelTemperatureIsClampedTenths) {
  TFilterWheelControl w;
  auto dev = ConnectWheel(w, true);
  ASSERT_TRUE(w.MakerWheel());
  EXPECT_EQ(w.Controls().makerShape, TShape::Green);
  struct Case {
    double degrees;
    int tenths;
  } cases[] = {{35.0, 300}, {-120.0, -999}, {12.34, 123}, {-0.05, 0}};
  for (const Case& c : cases) {
    w.SetTemperature(c.degrees);
    EXPECT_EQ(dev->TemperatureTenths(), c.tenths) << c.degrees;
    EXPECT_DOUBLE_EQ(w.GetTemperature(), c.tenths / 10.0);
  }
}

// The tweak wait polls on a timer, ends when the wheel answers, gives up
// after its time limit, and ends when the wheel disconnects.
TEST(FilterWheel, TweakWaitEndsOnAnswerTimeOutOrDisconnect) {
  LogLines().Clear();
  TFilterWheelControl w;
  auto dev = ConnectWheel(w, true);
  w.TweakClick(100);
  EXPECT_TRUE(w.TweakWaiting());
  w.TweakTimerTimer();
  EXPECT_TRUE(w.TweakWaiting());
  AdvanceClock(400);
  w.TweakTimerTimer();
  EXPECT_FALSE(w.TweakWaiting());
  EXPECT_EQ(dev->FinePosition(), 1);
  EXPECT_TRUE(Logged("[Ascom.Filterwheel] Tweek filters, +"));

  dev->SetStuck(true);
  w.tweakLimitMs = 2000;
  w.TweakClick(101);
  AdvanceClock(1000);
  w.TweakTimerTimer();
  EXPECT_TRUE(w.TweakWaiting());
  AdvanceClock(1500);
  w.TweakTimerTimer();
  EXPECT_FALSE(w.TweakWaiting());
  EXPECT_TRUE(Logged("[Ascom.Filterwheel] Tweek filters, no answer from the wheel"));

  w.TweakClick(99);
  dev->DropLink();
  w.Timer1Timer();
  EXPECT_FALSE(w.Connected());
  EXPECT_FALSE(w.TweakWaiting());
  EXPECT_TRUE(Logged("[Ascom.Filterwheel] Disconnected"));
}

// Every accessory call made to fail once logs a line and gives the neutral
// value; the next call works again.
TEST(Accessories, EachFailingCallIsNeutralOnce) {
  TFocuserControl f;
  auto focuser = ConnectFocuser(f);
  struct FocuserCase {
    const char* member;
    std::function<bool()> neutral;
  } fcases[] = {{"Absolute", [&] { return !f.GetAbsolute(); }},
                {"MaxIncrement", [&] { return f.GetMaxIncrement() == -999999; }},
                {"IsMoving", [&] { return !f.IsMoving(); }},
                {"Move", [&] { f.Move(26000); return !focuser->Moving(); }}};
  for (const auto& c : fcases) {
    LogLines().Clear();
    focuser->FailMemberForTest(c.member, 1);
    EXPECT_TRUE(c.neutral()) << c.member;
    EXPECT_EQ(LogLines().LastLine().rfind("[Ascom.Focuser] Warning, ", 0), 0u) << c.member;
  }
  EXPECT_EQ(f.GetMaxIncrement(), 10000);

  TFilterWheelControl w;
  auto wheel = ConnectWheel(w, true);
  struct WheelCase {
    const char* member;
    std::function<bool()> neutral;
  } wcases[] = {{"FocusOffsets", [&] { return w.GetFocusOffsets().empty(); }},
                {"Position", [&] { return w.GetPosition() == -999; }},
                {"Position", [&] { return w.GetTemperature() == -999.0; }},
                {"Position", [&] { w.SetPosition(3); return wheel->Slot() == 0; }}};
  for (const auto& c : wcases) {
    LogLines().Clear();
    wheel->FailMemberForTest(c.member, 1);
    EXPECT_TRUE(c.neutral()) << c.member;
    EXPECT_EQ(LogLines().LastLine().rfind("[Ascom.Filterwheel] Warning, ", 0), 0u) << c.member;
  }
  EXPECT_EQ(w.GetPosition(), 0);
}
