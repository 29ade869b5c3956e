#include "app/core/points_of_interest.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/codec.h"

namespace {

struct POIFixture : testing::Test {
  std::vector<int> shown, hidden;
  void SetUp() override {
    POICount = 0;
    POITable = {};
    POITable[0].Mode = 3;
    POITable[0].Name = "Scan";
    SetPOIHooks({[this](int n) { shown.push_back(n); }, [this](int n) { hidden.push_back(n); }, nullptr,
                 nullptr, [] { return 4; }});
  }
  void TearDown() override {
    SetPOIHooks({});
    POICount = 0;
  }
};

}  // namespace

TEST_F(POIFixture, AddFillsTheTableAndStopsAtOneHundred) {
  ASSERT_TRUE(AddPointOfInterest(2, "", true, false, "5,30,Red,Light", 1.0, 0.5));
  EXPECT_EQ(POITable[1].Name, "Object1");
  EXPECT_EQ(POITable[1].Goto, 1);
  ASSERT_TRUE(AddPointOfInterest(kAutomaticFieldMode, "M31", false, true, "", 0.2, 0.7));
  EXPECT_EQ(POITable[2].Mode, 4);  // "Automatic" stores the magnifier's field at the moment
  for (int i = 3; i <= 100; ++i) ASSERT_TRUE(AddPointOfInterest(1, "", false, false, "", 0, 0));
  EXPECT_FALSE(AddPointOfInterest(1, "full", false, false, "", 0, 0));
  EXPECT_EQ(POICount, 100);
  EXPECT_EQ(POITable[100].Name, "Object100");
  EXPECT_EQ(shown.front(), 1);
  EXPECT_EQ(shown.back(), 10);  // points beyond 9 show "More"

  double ra, dec;
  int32_t mode;
  EXPECT_FALSE(GetPointOfInterest(101, ra, dec, mode));
  EXPECT_FALSE(SetPointOfInterest(-1, 1, 0, 0));
  ASSERT_TRUE(GetPointOfInterest(1, ra, dec, mode));
  EXPECT_EQ(ra, 1.0);
  EXPECT_EQ(mode, 2);
}

TEST_F(POIFixture, DeleteAndMoveKeepTheOrderAndScan) {
  for (const char* n : {"a", "b", "c", "d", "e"}) AddPointOfInterest(1, n, false, false, "", 0, 0);
  // Deleting moves the later points down.
  ASSERT_TRUE(DeletePointOfInterest(3));
  EXPECT_EQ(POICount, 4);
  EXPECT_EQ(POITable[3].Name, "d");
  EXPECT_EQ(POITable[4].Name, "e");
  EXPECT_EQ(hidden, (std::vector<int>{5}));
  EXPECT_FALSE(DeletePointOfInterest(0));
  EXPECT_FALSE(DeletePointOfInterest(5));
  // Moving exchanges neighbours and never touches the "Scan" entry 0.
  const TPointOfInterest scan = POITable[0];
  ASSERT_TRUE(MovePointOfInterest(2, true));
  EXPECT_EQ(POITable[1].Name, "b");
  EXPECT_EQ(POITable[2].Name, "a");
  EXPECT_EQ(POITable[0], scan);
  ASSERT_TRUE(MovePointOfInterest(2, false));
  EXPECT_EQ(POITable[3].Name, "a");
  EXPECT_FALSE(MovePointOfInterest(1, true));
  EXPECT_FALSE(MovePointOfInterest(4, false));
  ClearPointsOfInterest();
  EXPECT_EQ(POICount, 0);
}

TEST_F(POIFixture, GridCellsNormaliseAndReadBack) {
  for (const auto& [cell, want] : std::vector<std::pair<std::string, std::string>>{
           {"TRUE", "Yes"}, {"y", "Yes"}, {"t", "Yes"}, {"Yes", "Yes"}, {"ja", "No"}, {"", "No"}})
    EXPECT_EQ(NormaliseYesNo(cell), want) << cell;
  AddPointOfInterest(1, "x", false, false, "", 1.0, 0.3);
  auto row = POIGridRow(1);
  EXPECT_EQ(row[0], "1");
  row[1] = "Vega";
  row[2] = "18h36m56s";
  row[3] = "+38:47:01";
  row[4] = "TRUE";
  ReadPOIGridRow(1, row);
  EXPECT_EQ(POITable[1].Name, "Vega");
  // 18h36m56s = 279.2333°, +38°47'01" = 38.7836°.
  EXPECT_NEAR(POITable[1].RA * 57.29577951308232, 279.23333, 1e-4);
  EXPECT_NEAR(POITable[1].Dec * 57.29577951308232, 38.78361, 1e-4);
  EXPECT_EQ(POITable[1].Goto, 1);
  row[2] = "not a time";
  ReadPOIGridRow(1, row);
  EXPECT_NEAR(POITable[1].RA * 57.29577951308232, 279.23333, 1e-4);
  EXPECT_EQ(POIPickListLines(2), (std::vector<std::string>{"Location 1", "Location 2"}));
}

TEST_F(POIFixture, SlotEightRoundTripAndDamagedBlocksRefused) {
  AddPointOfInterest(1, "NGC 7000", true, true, "3,60,Ha,Light", 5.49, 0.77);
  AddPointOfInterest(10300, "M42", false, false, "", 1.46, -0.09);
  const std::vector<uint8_t> block = PointsOfInterestBlock();
  ASSERT_EQ(block.size(), 4u + 101u * 534u);
  EXPECT_EQ(platform::GetI32(block.data()), 2);
  EXPECT_EQ(platform::GetShortString(block.data() + 4 + 534 + 20), "NGC 7000");
  const auto saved = POITable;
  ClearPointsOfInterest();
  shown.clear();
  ASSERT_TRUE(ApplyPointsOfInterestBlock(&block));
  EXPECT_EQ(POICount, 2);
  EXPECT_EQ(POITable, saved);
  EXPECT_EQ(shown, (std::vector<int>{0, 1, 2}));

  auto damaged = [&](auto change) {
    std::vector<uint8_t> b = block;
    change(b);
    return b;
  };
  const std::vector<std::vector<uint8_t>> bad = {
      damaged([](auto& b) { platform::PutI32(b.data(), 101); }),
      damaged([](auto& b) { platform::PutI32(b.data(), -1); }),
      damaged([](auto& b) { platform::PutF64(b.data() + 4 + 534, std::nan("")); }),
      damaged([](auto& b) { platform::PutF64(b.data() + 4 + 534 + 8, 2.0); }),
      damaged([](auto& b) { platform::PutI32(b.data() + 4 + 2 * 534 + 16, 150); }),
      damaged([](auto& b) { b[4 + 534 + 276] = 7; }),
      std::vector<uint8_t>(block.begin(), block.end() - 1),
  };
  ClearPointsOfInterest();
  AddPointOfInterest(1, "kept", false, false, "", 0, 0);
  for (std::size_t i = 0; i < bad.size(); ++i) {
    EXPECT_FALSE(ApplyPointsOfInterestBlock(&bad[i])) << i;
    EXPECT_EQ(POICount, 1) << i;
    EXPECT_EQ(POITable[1].Name, "kept") << i;
  }
}
