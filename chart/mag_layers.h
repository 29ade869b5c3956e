// Layers of the magnifier chart that differ from the main chart's: the star
// pass, which reaches the stars of both arrays through an index by
// declination band (sorted by right ascension within each band) instead of
// walking every record, and the horizon line placed about the magnifier's
// centre. The other layers are the main
// chart's own (tPlotter members), placing positions through the centred
// frame (projection.h).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

// What an index over a star array was built from: the array's storage,
// count and generation (StarArraysGeneration; a load may hand over new
// arrays at the address of freed ones), and for small arrays (tests,
// callers filling them by hand) every position.
class TStarArrayStamp {
 public:
  template <class Star>
  bool Same(const Star* data, int32_t count, uint32_t generation) const {
    if (data != data_ || count != count_ || generation != generation_) return false;
    for (int32_t i = 0; count <= kCheckedWhole && i < count; ++i)
      if (data[i].RA != positions_[2 * std::size_t(i)] || data[i].Dec != positions_[2 * std::size_t(i) + 1])
        return false;
    return true;
  }
  template <class Star>
  void Take(const Star* data, int32_t count, uint32_t generation) {
    data_ = data;
    count_ = count;
    generation_ = generation;
    positions_.clear();
    for (int32_t i = 0; count <= kCheckedWhole && i < count; ++i)
      positions_.insert(positions_.end(), {data[i].RA, data[i].Dec});
  }

 private:
  static constexpr int32_t kCheckedWhole = 4096;
  const void* data_ = nullptr;
  int32_t count_ = -1;
  uint32_t generation_ = 0;
  std::vector<float> positions_;
};

// Index of a star array by declination band: entry order sorted by band
// (0.5° wide, from -90°) and right ascension within a band.
class TStarBandIndex {
 public:
  static constexpr int kBands = 360;
  // Rebuilds from `count` stars at `data` unless built from the same array
  // (TStarArrayStamp) last time.
  template <class Star>
  void Update(const Star* data, int32_t count, uint32_t generation);
  // Calls fn(i) for every star i (0-based) with dec in [decMin, decMax] and
  // ra in [raMin, raMax] (radians; windows within [0, 2π]).
  template <class Star, class Fn>
  void ForEach(const Star* data, double raMin, double raMax, double decMin, double decMax, Fn fn) const;
  int32_t Count() const { return count_; }

 private:
  TStarArrayStamp stamp_;
  int32_t count_ = -1;
  std::vector<int32_t> order_;
  std::vector<int32_t> bandStart_;  // kBands + 1 entries
};

int TStarBandOf(float dec);

// Band indexes of the two star arrays, brought up to date by their users.
extern TStarBandIndex TychoBandIndex;
extern TStarBandIndex SaoBandIndex;

template <class Star>
void TStarBandIndex::Update(const Star* data, int32_t count, uint32_t generation) {
  if (stamp_.Same(data, count, generation)) return;
  stamp_.Take(data, count, generation);
  count_ = count;
  bandStart_.assign(kBands + 1, 0);
  std::vector<int32_t> band(std::size_t(std::max(count, 0)));
  for (int32_t i = 0; i < count; ++i) {
    band[std::size_t(i)] = TStarBandOf(data[i].Dec);
    ++bandStart_[std::size_t(band[std::size_t(i)]) + 1];
  }
  for (int b = 0; b < kBands; ++b) bandStart_[std::size_t(b) + 1] += bandStart_[std::size_t(b)];
  order_.assign(std::size_t(std::max(count, 0)), 0);
  std::vector<int32_t> next(bandStart_.begin(), bandStart_.end() - 1);
  for (int32_t i = 0; i < count; ++i) order_[std::size_t(next[std::size_t(band[std::size_t(i)])]++)] = i;
  for (int b = 0; b < kBands; ++b) {
    auto first = order_.begin() + bandStart_[std::size_t(b)];
    auto last = order_.begin() + bandStart_[std::size_t(b) + 1];
    std::sort(first, last, [data](int32_t a, int32_t c) { return data[a].RA < data[c].RA; });
  }
}

template <class Star, class Fn>
void TStarBandIndex::ForEach(const Star* data, double raMin, double raMax, double decMin, double decMax,
                             Fn fn) const {
  if (count_ <= 0 || raMax < raMin) return;
  const int b0 = TStarBandOf(float(decMin)), b1 = TStarBandOf(float(decMax));
  const float lo = float(raMin), hi = float(raMax), dlo = float(decMin), dhi = float(decMax);
  for (int b = b0; b <= b1; ++b) {
    auto first = order_.begin() + bandStart_[std::size_t(b)];
    auto last = order_.begin() + bandStart_[std::size_t(b) + 1];
    auto it = std::lower_bound(first, last, lo, [data](int32_t i, float v) { return data[i].RA < v; });
    for (; it != last; ++it) {
      const Star& s = data[*it];
      if (s.RA > hi) break;
      if (s.Dec >= dlo && s.Dec <= dhi) fn(*it);
    }
  }
}
