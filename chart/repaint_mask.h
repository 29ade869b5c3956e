// Dirty bits of the back buffer: which parts painting must compose again.
// Several threads set and clear bits (the renderer, the inset threads, the
// painter), so every change is one atomic bitwise operation: setting a bit
// that is already set leaves the other bits alone.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr uint8_t kRepaintChart = 1;
inline constexpr uint8_t kRepaintGlobe = 2;
inline constexpr uint8_t kRepaintClock = 4;
inline constexpr uint8_t kRepaintMagnifier = 8;
inline constexpr uint8_t kRepaintStarSphere = 16;

// Initially every inset is dirty (30).
extern std::atomic<uint8_t> RepaintMask;

// Sets the given bits (bitwise OR).
inline void SetRepaintBits(uint8_t bits) { RepaintMask.fetch_or(bits); }
// Clears the given bits.
inline void ClearRepaintBits(uint8_t bits) { RepaintMask.fetch_and(uint8_t(~bits)); }
// True when any of the given bits is set.
inline bool RepaintPending(uint8_t bits) { return (RepaintMask.load() & bits) != 0; }
// Returns the mask and clears it in one step (for painting).
inline uint8_t TakeRepaintMask() { return RepaintMask.exchange(0); }
