// The repaint mask: bits are set by OR and cleared by AND-NOT, also when
// several threads change different bits at once.
#include "chart/repaint_mask.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(RepaintMask, SettingASetBitLeavesTheOthersAlone) {
  RepaintMask = 30;  // the initial value: every inset dirty
  SetRepaintBits(kRepaintGlobe);  // already set: adding would carry into the clock bit
  EXPECT_EQ(RepaintMask.load(), 30);
  SetRepaintBits(kRepaintChart);
  EXPECT_EQ(RepaintMask.load(), 31);
  ClearRepaintBits(kRepaintClock);
  ClearRepaintBits(kRepaintClock);
  EXPECT_EQ(RepaintMask.load(), 27);
  EXPECT_TRUE(RepaintPending(kRepaintGlobe));
  EXPECT_FALSE(RepaintPending(kRepaintClock));
  EXPECT_EQ(TakeRepaintMask(), 27);
  EXPECT_EQ(RepaintMask.load(), 0);
}

TEST(RepaintMask, ThreadsChangingDifferentBitsDoNotLoseEachOthersBits) {
  RepaintMask = 0;
  // Each thread toggles its own bit many times and leaves it set.
  std::vector<std::thread> threads;
  for (uint8_t bit : {kRepaintGlobe, kRepaintClock, kRepaintMagnifier, kRepaintStarSphere})
    threads.emplace_back([bit] {
      for (int i = 0; i < 100000; ++i) {
        SetRepaintBits(bit);
        ClearRepaintBits(bit);
      }
      SetRepaintBits(bit);
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(RepaintMask.load(), 30);
  RepaintMask = 30;
}

}  // namespace
