// Label placement: every label of a chart render is written at the first of
// 44 places around its point whose rectangle meets no occupied rectangle
// (earlier labels, deep-sky symbols and the compass texts) and lies above
// the horizon, and is then registered itself.
//
// The occupied rectangles are indexed by a grid of 32-pixel buckets, so a
// candidate is compared only with the rectangles near it; the answer (free
// or taken) is the same as a scan of the whole list, so the first free
// candidate in order still wins.
#include <algorithm>
#include <cmath>

#include "chart/plotter.h"

namespace {

constexpr int kBucketShift = 5;  // 32-pixel buckets
// Rectangles that would fill more buckets than this are kept on a list of
// their own, compared with every candidate.
constexpr int kMaxBucketsPerRect = 64;

// Candidate displacement factors: three rings, each starting to the right of
// the point and running clockwise on the screen.
constexpr double kOffsetX[kLabelCandidates] = {
    1,  1,    0,    -1,    -1,    -1,   0,     1,     1.5,   1.5,   1.5,  1,    0,  -1, -1.5,
    -1.5, -1.5, -1.5, -1.5, -1, 0,    1,     1.5,   1.5,   2,     2,     2,    1.5, 1,  0,
    -1, -1.5, -2,   -2,    -2,    -2,   -2,    -1.5,  -1,    0,     1,    1.5,  2,  2};
constexpr double kOffsetY[kLabelCandidates] = {
    0,    0.66, 0.66, 0.66,  0,     -0.66, -0.66, -0.66, 0,     0.66,  1.33, 1.33, 1.33, 1.33, 1.33,
    0.66, 0,    -0.66, -1.33, -1.33, -1.33, -1.33, -1.33, -0.66, 0,     0.66, 1.33, 2,    2,    2,
    2,    2,    1.33, 0.66,  0,     -0.66, -1.33, -2,    -2,    -2,    -2,   -2,   -1.33, -0.66};

// Device rectangles meet when they share area (right and bottom exclusive).
bool Intersect(const TLabelRect& a, const TLabelRect& b) {
  return std::max(a.Left, b.Left) < std::min(a.Right, b.Right) &&
         std::max(a.Top, b.Top) < std::min(a.Bottom, b.Bottom);
}

}  // namespace

void tPlotter::InitLabelOffsets() {
  for (int k = 0; k < kLabelCandidates; ++k) {
    LabelOffsetX[k] = kOffsetX[k];
    LabelOffsetY[k] = kOffsetY[k];
  }
  LabelTextAlign = 0;
  LabelOffsetsReady = 1;
}

void tPlotter::ResetOccupied() {
  OccupiedCount = 0;
  indexedCount_ = 0;
  bucketLeft_ = ChartLeft;
  bucketTop_ = ChartTop;
  bucketCols_ = std::max(1, (std::max(Width, 1) >> kBucketShift) + 1);
  bucketRows_ = std::max(1, (std::max(Height, 1) >> kBucketShift) + 1);
  buckets_.resize(std::size_t(bucketCols_) * std::size_t(bucketRows_));
  for (auto& b : buckets_) b.clear();
  wideRects_.clear();
}

bool tPlotter::AddOccupied(const TLabelRect& r) {
  if (OccupiedCount >= kMaxOccupiedRects) return false;
  OccupiedRects[++OccupiedCount] = r;
  return true;
}

// Bucket range of a rectangle, clamped to the grid (a rectangle beyond the
// chart falls into the edge buckets, so rectangles that meet still share one).
#define BUCKET_RANGE(r, c0, c1, r0, r1)                                                    \
  const int c0 = std::clamp((r.Left - bucketLeft_) >> kBucketShift, 0, bucketCols_ - 1);      \
  const int c1 = std::clamp((r.Right - 1 - bucketLeft_) >> kBucketShift, 0, bucketCols_ - 1); \
  const int r0 = std::clamp((r.Top - bucketTop_) >> kBucketShift, 0, bucketRows_ - 1);        \
  const int r1 = std::clamp((r.Bottom - 1 - bucketTop_) >> kBucketShift, 0, bucketRows_ - 1)

void tPlotter::IndexRect(int32_t index) {
  const TLabelRect& r = OccupiedRects[index];
  if (r.Left >= r.Right || r.Top >= r.Bottom) return;  // empty: meets nothing
  BUCKET_RANGE(r, c0, c1, r0, r1);
  if ((c1 - c0 + 1) * (r1 - r0 + 1) > kMaxBucketsPerRect) {
    wideRects_.push_back(index);
    return;
  }
  for (int row = r0; row <= r1; ++row)
    for (int col = c0; col <= c1; ++col) buckets_[std::size_t(row * bucketCols_ + col)].push_back(index);
}

// Brings the index up to OccupiedCount. Entries are only ever appended
// between resets, except that the deep-sky pass may drop its last entry
// again; a count below the indexed one rebuilds the index.
void tPlotter::SyncLabelIndex() {
  const bool sameGrid = bucketLeft_ == ChartLeft && bucketTop_ == ChartTop &&
                        bucketCols_ == std::max(1, (std::max(Width, 1) >> kBucketShift) + 1) &&
                        bucketRows_ == std::max(1, (std::max(Height, 1) >> kBucketShift) + 1) &&
                        !buckets_.empty();
  if (OccupiedCount < indexedCount_ || !sameGrid) {
    const int32_t count = OccupiedCount;
    ResetOccupied();
    OccupiedCount = count;
  }
  while (indexedCount_ < OccupiedCount) IndexRect(++indexedCount_);
}

bool tPlotter::CandidateFree(const TLabelRect& r) const {
  if (r.Left >= r.Right || r.Top >= r.Bottom) return true;
  for (int32_t i : wideRects_)
    if (Intersect(r, OccupiedRects[i])) return false;
  BUCKET_RANGE(r, c0, c1, r0, r1);
  for (int row = r0; row <= r1; ++row)
    for (int col = c0; col <= c1; ++col)
      for (int32_t i : buckets_[std::size_t(row * bucketCols_ + col)])
        if (Intersect(r, OccupiedRects[i])) return false;
  return true;
}

void tPlotter::PlaceLabel(platform::DrawingContext& dc, int32_t anchor, int32_t x, int32_t y,
                          const std::string& text, bool belowFirst) {
  if (!LabelOffsetsReady) InitLabelOffsets();
  // A full list takes no more labels.
  if (OccupiedCount >= kMaxOccupiedRects) return;
  SyncLabelIndex();
  const QSize extent = dc.TextExtent(text);
  const int32_t cx = extent.width(), cy = extent.height();
  double sx = cx / 2.0, sy = cy / 2.0;
  if (anchor >= 1 && anchor <= OccupiedCount) {
    const TLabelRect& a = OccupiedRects[anchor];
    sx = std::max(double(a.Right - a.Left + 1), cx / 2.0);
    sy = std::max(double(a.Bottom - a.Top + 1), cy / 2.0);
  }
  const int first = belowFirst ? 2 : 0;
  for (int n = 0; n < kLabelCandidates; ++n) {
    const int k = (first + n) % kLabelCandidates;
    const int32_t dx = int32_t(std::nearbyint(LabelOffsetX[k] * sx));
    const int32_t dy = int32_t(std::nearbyint(LabelOffsetY[k] * sy));
    const TLabelRect r{x + dx - cx / 2, y + dy - cy / 2, x + dx + cx / 2, y + dy + cy / 2};
    // Nor where the ground will cover it.
    if (!CandidateFree(r) || BelowHorizon(r.Left, r.Top) || BelowHorizon(r.Right, r.Top) ||
        BelowHorizon(r.Left, r.Bottom) || BelowHorizon(r.Right, r.Bottom))
      continue;
    dc.SetTextAlign(LabelTextAlign);
    dc.TextOut(r.Left, r.Top, text);
    AddOccupied(r);
    return;
  }
}
