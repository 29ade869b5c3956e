#include "chart/graph_misc.h"

#include <cerrno>
#include <sstream>

#include <QPoint>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <memory>
#include <mutex>
#include <vector>

#include "astro/trig.h"
#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/dialogs.h"

namespace {

// --- The auto-bitmap list ---------------------------------------------------------

struct AutoBitmapList {
  std::mutex mutex;
  std::vector<std::unique_ptr<Bitmap>> entries;  // order of creation

  ~AutoBitmapList() { FreeAll(); }
  void FreeAll() {
    std::lock_guard lock(mutex);
    while (!entries.empty()) entries.pop_back();
  }
};

AutoBitmapList& List() {
  static AutoBitmapList list;
  return list;
}

constexpr const char* kCreateCaption = "UNIT GraphMisc, FUNCTION CreateAutoBitmap";
constexpr const char* kReadCaption = "UNIT GraphMisc, FUNCTION ReadAutoBitmap";

void StopBox(const std::string& text, const char* caption) {
  platform::ShowMessageBox(text.substr(0, 255), caption, platform::MsgButtons::Ok, platform::MsgIcon::Stop);
}

// Enters a bitmap in the list; false (and the bitmap deleted) when it is full.
Bitmap* Enter(std::unique_ptr<Bitmap> bitmap) {
  AutoBitmapList& list = List();
  std::lock_guard lock(list.mutex);
  if (int32_t(list.entries.size()) >= kAutoBitmapCapacity) return nullptr;
  list.entries.push_back(std::move(bitmap));
  return list.entries.back().get();
}

// A new bitmap entered in the list, or nullptr after the creation message.
Bitmap* MakeEntered(int32_t width, int32_t height, const char* caption) {
  auto bitmap = std::make_unique<Bitmap>(width, height);
  Bitmap* entered = bitmap->IsNull() ? nullptr : Enter(std::move(bitmap));
  if (entered == nullptr) StopBox("Error: Can't create bitmap.", caption);
  return entered;
}

}  // namespace

Bitmap* CreateAutoBitmap(int32_t width, int32_t height) { return MakeEntered(width, height, kCreateCaption); }

void FreeAutoBitmap(Bitmap* bitmap) {
  if (bitmap == nullptr) return;
  AutoBitmapList& list = List();
  std::lock_guard lock(list.mutex);
  for (auto it = list.entries.begin(); it != list.entries.end(); ++it) {
    if (it->get() == bitmap) {
      list.entries.erase(it);
      return;
    }
  }
}

void FreeAllAutoBitmaps() { List().FreeAll(); }

int32_t AutoBitmapCountForTest() {
  AutoBitmapList& list = List();
  std::lock_guard lock(list.mutex);
  return int32_t(list.entries.size());
}

Bitmap* AutoBitmapEntryForTest(int32_t index) {
  AutoBitmapList& list = List();
  std::lock_guard lock(list.mutex);
  if (index < 1 || index > int32_t(list.entries.size())) return nullptr;
  return list.entries[size_t(index - 1)].get();
}

// --- Reading a 256-colour bitmap file ------------------------------------------------

Bitmap* ReadAutoBitmap(const std::string& fileName, std::string* problem) {
  // The failure's box, or its text for a caller that tells it itself.
  auto StopBox = [problem](const std::string& text, const char* caption) {
    if (problem) *problem = text;
    else ::StopBox(text, caption);
  };
  const std::string quoted = "\"" + fileName + "\"";
  const std::string corrupt = "Error: Windows bitmap file " + quoted + "\r\ncorrupt or not 256 color.";
  const std::string unreadable = "Error: Can't read bitmap data from " + quoted;

  // Only a regular file is read (never a pipe or a device in its place).
  std::string why;
  const auto bytes = platform::ReadDataFileBytes(fileName, &why);
  if (!bytes) {
    // A missing file as the coded text says; anything else with its reason.
    StopBox("Error: Can't open bitmap file " + quoted + (errno == ENOENT ? "" : ": " + why), kReadCaption);
    return nullptr;
  }
  std::istringstream file(std::string(bytes->begin(), bytes->end()), std::ios::binary);
  // File header (14 bytes), information header (40) and 256 colour-table
  // entries of blue, green, red, reserved.
  constexpr size_t kHeadSize = 14 + 40 + 256 * 4;
  std::vector<uint8_t> head(kHeadSize);
  if (!file.read(reinterpret_cast<char*>(head.data()), std::streamsize(kHeadSize))) {
    StopBox(unreadable, kReadCaption);
    return nullptr;
  }
  const uint32_t fileSize = platform::GetU32(&head[2]);
  const uint32_t dataOffset = platform::GetU32(&head[10]);
  const int32_t width = platform::GetI32(&head[18]);
  const int32_t height = platform::GetI32(&head[22]);
  const uint16_t bitCount = platform::GetU16(&head[28]);
  const uint32_t compression = platform::GetU32(&head[30]);

  // Only uncompressed 8-bit files whose pixel data is exactly one byte per
  // pixel (rows without gaps, so a width that is a multiple of 4) pass.
  const int64_t dataSize = int64_t(fileSize) - int64_t(dataOffset);
  if (bitCount != 8 || compression != 0 || width <= 0 || height <= 0 || dataSize != int64_t(width) * height) {
    StopBox(corrupt, kReadCaption);
    return nullptr;
  }
  // A file shorter than its header says is short of pixel data; finding out
  // before reading keeps a lying header from allocating huge buffers.
  if (!file.seekg(0, std::ios::end)) {
    StopBox(unreadable, kReadCaption);
    return nullptr;
  }
  if (int64_t(file.tellg()) < int64_t(dataOffset) + dataSize) {
    StopBox(corrupt, kReadCaption);
    return nullptr;
  }
  std::vector<uint8_t> data(size_t(dataSize), 0);
  if (!file.seekg(std::streamoff(dataOffset))) {
    StopBox(unreadable, kReadCaption);
    return nullptr;
  }
  file.read(reinterpret_cast<char*>(data.data()), std::streamsize(dataSize));
  if (file.bad()) {
    StopBox(unreadable, kReadCaption);
    return nullptr;
  }
  if (file.gcount() != std::streamsize(dataSize)) {
    StopBox(corrupt, kReadCaption);
    return nullptr;
  }

  // Byte i indexes the colour table; the entry's blue, green, red bytes are
  // exactly a display pixel.
  uint32_t palette[256];
  for (int k = 0; k < 256; ++k) palette[k] = platform::GetU32(&head[54 + 4 * k]) & platform::kRgbMask;
  auto bitmap = std::make_unique<Bitmap>(width, height);
  if (bitmap->IsNull()) {
    StopBox("Error: Can't create bitmap.", kReadCaption);
    return nullptr;
  }
  for (int32_t row = 0; row < height; ++row) {
    // File row `row` is the row-th row from the bottom.
    uint32_t* out = bitmap->Row(height - 1 - row);
    const uint8_t* in = &data[size_t(row) * size_t(width)];
    for (int32_t x = 0; x < width; ++x) out[x] = palette[in[x]];
  }
  Bitmap* entered = Enter(std::move(bitmap));
  if (entered == nullptr) StopBox("Error: Can't create bitmap.", kReadCaption);
  return entered;
}

// --- Copies ----------------------------------------------------------------------------

void BlitTransparent(const Bitmap& source, int sx, int sy, int w, int h, Bitmap& dest, int dx, int dy) {
  if (source.IsNull() || dest.IsNull()) return;
  // A negative source origin moves the destination origin, and the other way
  // round; the size shrinks by the same amount.
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  if (dx < 0) {
    sx -= dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    h += dy;
    dy = 0;
  }
  // Cut the size to what the source and the destination hold.
  w = std::min(w, source.Width() - sx);
  h = std::min(h, source.Height() - sy);
  w = std::min(w, dest.Width() - dx);
  h = std::min(h, dest.Height() - dy);
  if (sx >= source.Width() - 1 || sy >= source.Height() - 1 || dx >= dest.Width() - 1 ||
      dy >= dest.Height() - 1 || w < 1 || h < 1)
    return;
  const uint32_t key = source.Key();
  for (int row = 0; row < h; ++row) {
    const uint32_t* in = source.Row(sy + row) + sx;
    uint32_t* out = dest.Row(dy + row) + dx;
    for (int x = 0; x < w; ++x)
      if ((in[x] & platform::kRgbMask) != key) out[x] = in[x];
  }
}

void BlitRotatedDisc(const Bitmap& source, Bitmap& dest, int32_t angle, int32_t size, float aspect,
                     int32_t xSign, int32_t ySign) {
  if (source.IsNull() || dest.IsNull() || size < 1 || !(aspect > 0.0f) || !std::isfinite(aspect)) return;
  const int32_t dw = dest.Width(), dh = dest.Height();
  const int32_t sw = source.Width(), sh = source.Height();
  // Centres, scales and the rotation, all in single precision.
  const int32_t hx = dw / 2, hy = dh / 2;
  const int32_t cxs = sw / 2, cys = sh / 2;
  const float kx = float(dw) / (float(size) - 0.5f);
  const float ky = float(dh) / (float(size) - 0.5f);
  const float fx = float(sw) / float(dw);
  const float fy = float(sh) / float(dh);
  const double radians = -double(angle) * std::numbers::pi / 180.0;
  const float c = float(std::cos(radians));
  const float s = float(std::sin(radians));
  const float limit = float(hx) * float(hx);
  for (int32_t i = 0; i < dw; ++i) {
    const float u = float(i - hx) / aspect;
    // Row j counts destination rows in memory order, from the bottom.
    for (int32_t j = 0; j < dh; ++j) {
      const float v = float(j - hy);
      const float px = (u * c + v * s) * kx;
      const float py = (-u * s + v * c) * ky;
      if (!(px * px + py * py < limit)) continue;
      const int32_t column = int32_t(std::nearbyint(px * fx)) * xSign + cxs;
      const int32_t row = int32_t(std::nearbyint(py * fy)) * ySign + cys;
      if (column < 0 || column >= sw || row < 0 || row >= sh) continue;
      const uint32_t in = source.Pixel(column, sh - 1 - row) & platform::kRgbMask;
      uint32_t& out = dest.Row(dh - 1 - j)[i];
      if (in > (out & platform::kRgbMask)) out = in;
    }
  }
}

// --- Lines ------------------------------------------------------------------------------

thread_local uint8_t ArcReverse = 0;
thread_local int32_t LinePatternPhase = 0;

namespace {

struct DrawTargetState {
  uint32_t* top = nullptr;  // pixel (0, 0)
  int64_t stride = 0;       // pixels per row
  int64_t clipLeft = 0, clipTop = 0, clipRight = -1, clipBottom = -1;  // inclusive
};
thread_local DrawTargetState Target;

using Wide = __int128;

// Moves coordinate `a` of a point onto `bound`; its other coordinate `b`
// moves along the segment towards the other point (a2, b2). Wide products
// keep every input of 32 bits exact.
inline void MoveOnto(int64_t& a, int64_t& b, int64_t a2, int64_t b2, int64_t bound) {
  b += int64_t(Wide(b2 - b) * Wide(bound - a) / Wide(a2 - a));
  a = bound;
}

// Cuts the segment to the clip rectangle in the order first point x, second
// point x, first point y, second point y; false when it lies wholly beyond
// one bound.
bool ClipSegment(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, const DrawTargetState& t) {
  if (t.top == nullptr || t.clipRight < t.clipLeft || t.clipBottom < t.clipTop) return false;
  if (x1 < t.clipLeft) {
    if (x2 < t.clipLeft) return false;
    MoveOnto(x1, y1, x2, y2, t.clipLeft);
  } else if (x1 > t.clipRight) {
    if (x2 > t.clipRight) return false;
    MoveOnto(x1, y1, x2, y2, t.clipRight);
  }
  if (x2 < t.clipLeft) {
    if (x1 < t.clipLeft) return false;
    MoveOnto(x2, y2, x1, y1, t.clipLeft);
  } else if (x2 > t.clipRight) {
    if (x1 > t.clipRight) return false;
    MoveOnto(x2, y2, x1, y1, t.clipRight);
  }
  if (y1 < t.clipTop) {
    if (y2 < t.clipTop) return false;
    MoveOnto(y1, x1, y2, x2, t.clipTop);
  } else if (y1 > t.clipBottom) {
    if (y2 > t.clipBottom) return false;
    MoveOnto(y1, x1, y2, x2, t.clipBottom);
  }
  if (y2 < t.clipTop) {
    if (y1 < t.clipTop) return false;
    MoveOnto(y2, x2, y1, x1, t.clipTop);
  } else if (y2 > t.clipBottom) {
    if (y1 > t.clipBottom) return false;
    MoveOnto(y2, x2, y1, x1, t.clipBottom);
  }
  return true;
}

// Walks the centre pixels of a clipped line, calling visit(x, y) for each
// until it returns false. Returns true when the visit ended the walk.
template <typename Visit>
inline bool WalkLine(int32_t ax, int32_t ay, int32_t bx, int32_t by, const DrawTargetState& t, Visit&& visit) {
  int64_t x1 = ax, y1 = ay, x2 = bx, y2 = by;
  if (!ClipSegment(x1, y1, x2, y2, t)) return false;
  const int64_t dx = x2 - x1, dy = y2 - y1;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx > ady) {
    // Step x; y in 16.16 fixed point, the increment truncated toward zero.
    const int32_t step = dx > 0 ? 1 : -1;
    const int64_t increment = dy * 65536 / adx;
    int64_t y = y1 * 65536;
    for (int32_t x = int32_t(x1); x != int32_t(x2); x += step, y += increment)
      if (!visit(x, int32_t(y >> 16))) return true;
  } else {
    if (y1 == y2) return false;
    const int32_t step = dy > 0 ? 1 : -1;
    const int64_t increment = dx * 65536 / ady;
    int64_t x = x1 * 65536;
    for (int32_t y = int32_t(y1); y != int32_t(y2); y += step, x += increment)
      if (!visit(int32_t(x >> 16), y)) return true;
  }
  return false;
}

inline uint32_t& At(const DrawTargetState& t, int32_t x, int32_t y) { return t.top[y * t.stride + x]; }

inline bool Hits(const DrawTargetState& t, int32_t x, int32_t y, uint32_t stop) {
  return platform::SameColor(At(t, x, y), stop);
}

}  // namespace

void SetDrawTarget(Bitmap& target) {
  if (target.IsNull()) {
    ClearDrawTarget();
    return;
  }
  Target.top = target.Row(0);
  Target.stride = target.Width();
  Target.clipLeft = 4;
  Target.clipTop = 4;
  Target.clipRight = int64_t(target.Width()) - 4;
  Target.clipBottom = int64_t(target.Height()) - 4;
}

void ClearDrawTarget() { Target = DrawTargetState{}; }

void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
  const DrawTargetState t = Target;
  WalkLine(x1, y1, x2, y2, t, [&](int32_t x, int32_t y) {
    At(t, x, y) = color;
    return true;
  });
}

void ResetLinePattern() { LinePatternPhase = 0; }

namespace {

// Walks the pixels nearest the exact line from (x1, y1) toward (x2, y2),
// given in fractions of a pixel (whole numbers at pixel centres), within
// the clip box: one pixel per step of the longer axis, the other coordinate
// rounded; the end point is not visited.
template <typename Visit>
void WalkLineF(double x1, double y1, double x2, double y2, const DrawTargetState& t, Visit&& visit) {
  if (t.top == nullptr || !std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
    return;
  const double dx = x2 - x1, dy = y2 - y1;
  // The part within the clip box, as the range t0..t1 of the segment.
  double t0 = 0, t1 = 1;
  auto keep = [&](double p, double q) {  // the part where p * s <= q
    if (p == 0) return q >= 0;
    if (p < 0) t0 = std::max(t0, q / p);
    else t1 = std::min(t1, q / p);
    return t0 <= t1;
  };
  if (!keep(-dx, x1 - double(t.clipLeft)) || !keep(dx, double(t.clipRight) - x1) ||
      !keep(-dy, y1 - double(t.clipTop)) || !keep(dy, double(t.clipBottom) - y1))
    return;
  const bool alongX = std::fabs(dx) >= std::fabs(dy);
  const double a1 = alongX ? x1 : y1, b1 = alongX ? y1 : x1, da = alongX ? dx : dy, db = alongX ? dy : dx;
  if (da == 0) return;
  const int64_t lo = alongX ? t.clipLeft : t.clipTop, hi = alongX ? t.clipRight : t.clipBottom;
  const int64_t blo = alongX ? t.clipTop : t.clipLeft, bhi = alongX ? t.clipBottom : t.clipRight;
  const int32_t step = da > 0 ? 1 : -1;
  const int64_t from = std::clamp<int64_t>(std::llround(a1 + t0 * da), lo, hi);
  const int64_t to = std::clamp<int64_t>(std::llround(a1 + t1 * da), lo, hi);
  for (int64_t a = from; a != to; a += step) {
    const int64_t b = std::clamp<int64_t>(std::llround(b1 + (double(a) - a1) * db / da), blo, bhi);
    if (!(alongX ? visit(int32_t(a), int32_t(b)) : visit(int32_t(b), int32_t(a)))) return;
  }
}

// The pixel writer of the pattern lines: dashes by `pattern`, widened by
// `width`, ending at a pixel of `stopColor`.
template <typename Walk>
void PatternLine(Walk&& walk, uint32_t color, uint32_t stopColor, uint8_t width, uint32_t pattern) {
  const DrawTargetState t = Target;
  int32_t phase = LinePatternPhase;
  // Offsets of the extra pixels of width 2, then of width 3, in drawing order.
  static constexpr int kExtra[8][2] = {{1, 0}, {0, -1}, {1, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}};
  const int extras = width >= 3 ? 8 : width == 2 ? 3 : 0;
  walk(t, [&](int32_t x, int32_t y) {
    if (Hits(t, x, y, stopColor)) return false;
    phase = (phase + 1) & 31;
    if (((pattern >> phase) & 1u) == 0) return true;
    At(t, x, y) = color;
    for (int k = 0; k < extras; ++k) {
      const int32_t ex = x + kExtra[k][0], ey = y + kExtra[k][1];
      if (Hits(t, ex, ey, stopColor)) return false;
      At(t, ex, ey) = color;
    }
    return true;
  });
  LinePatternPhase = phase;
}

}  // namespace

void DrawPatternLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, uint32_t stopColor,
                     uint8_t width, uint32_t pattern) {
  PatternLine([&](const DrawTargetState& t, auto&& visit) { WalkLine(x1, y1, x2, y2, t, visit); }, color,
              stopColor, width, pattern);
}

void DrawPatternLineF(double x1, double y1, double x2, double y2, uint32_t color, uint32_t stopColor,
                      uint8_t width, uint32_t pattern) {
  PatternLine([&](const DrawTargetState& t, auto&& visit) { WalkLineF(x1, y1, x2, y2, t, visit); }, color,
              stopColor, width, pattern);
}

bool DrawThickLineStop(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, uint32_t stopColor) {
  const DrawTargetState t = Target;
  return WalkLine(x1, y1, x2, y2, t, [&](int32_t x, int32_t y) {
    if (Hits(t, x - 1, y + 2, stopColor)) return false;
    At(t, x - 1, y + 2) = color;
    At(t, x, y + 2) = color;
    At(t, x + 1, y + 2) = color;
    if (Hits(t, x + 2, y + 2, stopColor)) return false;
    At(t, x + 2, y + 2) = color;
    At(t, x - 1, y + 1) = color;
    At(t, x - 1, y) = color;
    if (Hits(t, x - 1, y - 1, stopColor)) return false;
    At(t, x - 1, y - 1) = color;
    At(t, x, y - 1) = color;
    At(t, x + 1, y - 1) = color;
    if (Hits(t, x + 2, y - 1, stopColor)) return false;
    At(t, x + 2, y - 1) = color;
    return true;
  });
}

// --- Arcs -------------------------------------------------------------------------------

namespace {

// The point of the arc at `angle` tenths of a degree (any value), clockwise
// from straight up, from the single-precision sine and cosine tables.
QPoint ArcPoint(int32_t cx, int32_t cy, int32_t radius, int32_t angle) {
  const int32_t a = ((angle % 3600) + 3600) % 3600;
  const double rs = std::nearbyint(double(radius) * double(SinTable[a]));
  const double rc = std::nearbyint(-double(CosTable[a]) * double(radius));
  return QPoint(cx + int32_t(rs), cy + int32_t(rc));
}

}  // namespace

bool DrawArc(int32_t cx, int32_t cy, int32_t radius, int32_t startAngle, int32_t endAngle, int32_t step,
             uint32_t color, uint32_t stopColor) {
  if (startAngle == endAngle || step < 1) return false;
  const bool reverse = ArcReverse != 0;
  // Bring the end within one turn of the start, in the direction of drawing.
  if (!reverse && endAngle < startAngle) {
    endAngle = int32_t(WrapAngle(endAngle, startAngle, startAngle + 3600.0));
  } else if (reverse && endAngle > startAngle) {
    endAngle = int32_t(WrapAngle(endAngle, startAngle - 3600.0, startAngle));
  }
  int32_t a = startAngle;
  QPoint previous = ArcPoint(cx, cy, radius, a);
  do {
    a += reverse ? -step : step;
    const QPoint next = ArcPoint(cx, cy, radius, a);
    if (!reverse) DrawLine(previous.x(), previous.y(), next.x(), next.y(), color);
    if (DrawThickLineStop(previous.x(), previous.y(), next.x(), next.y(), color, stopColor)) return true;
    previous = next;
  } while (reverse ? a > endAngle : a < endAngle);
  return false;
}
