// The horizon profile of an observer location: colours by azimuth 0..360
// and altitude 0..90 in whole degrees (361 × 91 cells, 131,404 bytes); a
// cell equal to cell [0][0] is open sky.
#pragma once

#include <array>
#include <cstdint>

using THorizonArray = std::array<std::array<uint32_t, 91>, 361>;
