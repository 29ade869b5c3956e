// OnStep periodic error correction: the table, the poll, rotation, the plot
// and the two file formats.
#include <gtest/gtest.h>

#include "telescope/tele_control.h"
#include "telescope/text_files.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;
using platform::TSimTelescope;
using platform::TSimTelescopeConfig;

namespace {

class PecTest : public ::testing::Test {
 protected:
  void SetUp() override { LogLines().Clear(); }
  void Connect(int worm, int sps, std::vector<int> table = {}) {
    TSimTelescopeConfig c;
    c.driverInfo = "ON_STEP";
    c.protocol = platform::TSimProtocol::OnStep;
    c.wormPeriodSteps = worm;
    c.stepsPerSecond = sps;
    mount = std::make_shared<TSimTelescope>(c);
    for (size_t i = 0; i < table.size(); ++i) mount->PecTable()[i] = table[i];
    RegisterAs("Test.OnStep", "Telescope", mount);
    tele.name = "Test.OnStep";
    tele.ConnectClick();
  }
  RecordingHost host;
  TTeleControl tele{&host};
  std::shared_ptr<TSimTelescope> mount;
};

}  // namespace

TEST_F(PecTest, ConnectReadsTheTableAndPollRecordsRangeCheckedEntries) {
  Connect(9600, 20, {5, -3, 7});
  ASSERT_TRUE(tele.PecUsable());
  EXPECT_EQ(tele.PecLength(), 480);
  EXPECT_EQ(tele.Controls().wormRotationTime, "480");
  EXPECT_EQ(tele.PecTable()[0], 5);
  EXPECT_EQ(tele.PecTable()[2], 7);
  EXPECT_TRUE(tele.Controls().pecExport);
  // Recording: the poll takes ":VR#" entries, but only indexes of the table.
  mount->SetPecState('R');
  AdvanceClock(5000);  // past the hold after a PEC write
  for (int index : {10, 480, 900, -1}) {
    mount->PecTable()[size_t(std::clamp(index, 0, 824))] = 42;
    mount->SetPecIndex(index);
    tele.Timer1Timer();
  }
  EXPECT_EQ(tele.PecTable()[10], 42);
  EXPECT_EQ(tele.Controls().pecShape, TShape::Red);
  int marker = 0;
  tele.PecPlot(480, 100, marker);
  EXPECT_EQ(marker, 11);  // index 10 of 480 over 480 pixels, plus one
}

// A step rate of 0 or a worm turn longer than 825 s disables PEC.
TEST_F(PecTest, RefusedForZeroStepRateOrOversizedTable) {
  for (auto [worm, sps] : {std::pair{9600, 0}, std::pair{20000, 20}}) {
    Connect(worm, sps);
    EXPECT_FALSE(tele.PecUsable());
    EXPECT_FALSE(tele.Controls().pecExport);
    EXPECT_EQ(tele.PecImportText("\"Frame\";\"Time\";\"RA\";\"DEC\"\r\n\"0000\";\"0.000\";\"1.5\";\"0.0\"\r\n"), -1);
    int marker = 0;
    EXPECT_TRUE(tele.PecPlot(100, 100, marker).empty());
    tele.Disconnect();
  }
}

TEST_F(PecTest, RotateShiftsMountAndLocalTable) {
  Connect(100, 20, {1, 2, 3, 4, 5});  // five entries
  tele.PECfwdClick();
  EXPECT_EQ(std::vector<int16_t>(tele.PecTable().begin(), tele.PecTable().begin() + 5),
            (std::vector<int16_t>{5, 1, 2, 3, 4}));
  tele.PECbackClick();
  tele.PECbackClick();
  EXPECT_EQ(std::vector<int16_t>(tele.PecTable().begin(), tele.PecTable().begin() + 5),
            (std::vector<int16_t>{2, 3, 4, 5, 1}));
  EXPECT_EQ(mount->PecTable()[0], 2);
}

// The plot: a running sum scaled to the chosen arcseconds; n = 1 draws nothing.
TEST_F(PecTest, PlotScalesTheRunningSum) {
  Connect(60, 20, {30, -10, 0});  // n = 3; full scale 15" x 20/15 = 20 steps
  int marker = 0;
  const auto pts = tele.PecPlot(200, 100, marker);
  ASSERT_EQ(pts.size(), 4u);
  EXPECT_EQ(pts[0], std::make_pair(0, 50));
  EXPECT_EQ(pts[1], std::make_pair(0, 50 - 75));    // 30/20 of half height
  EXPECT_EQ(pts[2], std::make_pair(100, 50 - 50));  // 20/20
  EXPECT_EQ(pts[3], std::make_pair(200, 0));
  tele.pecScale = 30;
  EXPECT_EQ(tele.PecPlot(200, 100, marker)[1], std::make_pair(0, 50 - 38));  // 30/40 of 50, rounded
  tele.Disconnect();
  Connect(20, 20);  // n = 1
  EXPECT_TRUE(tele.PecPlot(200, 100, marker).empty());
}

TEST_F(PecTest, CsvExportReimportsToTheSameTable) {
  Connect(100, 20, {4, -8, 0, 12, -1});
  const std::string text = tele.PecExportText();
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "\"Frame\";\"Time\";\"RA\";\"DEC\"");
  // Entry 1: -8 steps x 15 / 20 = -6.0".
  EXPECT_NE(text.find("\"0001\";\"1.000\";\"-6.0\";\"0.0\""), std::string::npos);
  std::fill(mount->PecTable().begin(), mount->PecTable().end(), 0);
  EXPECT_EQ(tele.PecImportText(text), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(mount->PecTable()[size_t(i)], (std::vector<int>{4, -8, 0, 12, -1})[size_t(i)]);
  const auto& calls = mount->Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Invoke CommandBlind :WR0001,-008#"), calls.end());
}

// EQMOD PECPrep: periodic error in arcseconds, differenced and carried into
// whole steps; indexes at or beyond the table are skipped.
TEST(PecFile, EqmodPrepIsDifferencedWithCarry) {
  const std::string text =
      "#EQMOD PECPrep v1\n"
      "! comment\n"
      "0 0.0 1.00\n"
      "1 1.0 1.60\n"
      "2 2.0 2.50\n"
      "3 3.0 oops\n"
      "9 9.0 7.0\n";
  // 20 steps/s: 0.75" per step. Carry: 0; -0.8 -> -1 (+0.2); +0.2-1.2=-1.0 -> -1.
  const auto e = ParsePecFile(text, 20, 5);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].entry, 0);
  EXPECT_EQ(e[1].entry, -1);
  EXPECT_EQ(e[2].entry, -1);
  EXPECT_EQ(e[3].index, 3);
  EXPECT_EQ(e[3].entry, 0);
  EXPECT_TRUE(ParsePecFile("Frame,Time\n0,1,2\n", 20, 5).empty());
}
