// The zoned star catalogues: the geodesic grid, and small catalogue files
// written here with known records.
//
// Expected positions were computed once with a separate Python script
// (numpy, double precision) from the icosahedron's corner table and the
// four-way subdivision: zone centres, the level-0 tangent-plane reach
// 0.7639320225 (= 3 − √5) and the stars placed from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "data/common.h"
#include "data/zonecat.h"
#include "platform/codec.h"
#include "tests/data/data_test_util.h"

using namespace mkdata;

namespace {

using data_test::kDeg;
// One milliarcsecond: far above rounding, far below a packing fault.
constexpr double kMas = kDeg / 3.6e6;

// Packs fields into a little-endian bit string, least significant bit
// first, each field `width` bits wide (negative values two's complement).
class BitPacker {
 public:
  explicit BitPacker(std::size_t bytes) : bytes_(bytes, 0) {}
  BitPacker& Put(int64_t value, int width) {
    for (int i = 0; i < width; ++i, ++bit_)
      if ((uint64_t(value) >> i) & 1) bytes_[bit_ / 8] |= uint8_t(1u << (bit_ % 8));
    return *this;
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::size_t bit_ = 0;
};

// A catalogue file: header, zone counts, then the records of each zone in
// zone order. `records` holds (zone, record bytes).
std::vector<uint8_t> Catalogue(uint32_t type, uint32_t level, int32_t magMin, int32_t magRange, int32_t magSteps,
                               std::vector<std::pair<int, std::vector<uint8_t>>> records) {
  const std::size_t zones = 20u << (2 * level);
  std::vector<uint8_t> out(32 + 4 * zones, 0);
  const uint32_t header[8] = {0x835F040A, type, 0, 8, level, uint32_t(magMin), uint32_t(magRange), uint32_t(magSteps)};
  for (int i = 0; i < 8; ++i) platform::PutU32(out.data() + 4 * i, header[i]);
  std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [zone, bytes] : records) {
    uint8_t* count = out.data() + 32 + 4 * zone;
    platform::PutU32(count, platform::GetU32(count) + 1);
  }
  for (const auto& [zone, bytes] : records) out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

// A 10-byte record: x0, x1 (20 bits), dx0, dx1 (14 bits), colour (7),
// magnitude (5).
std::vector<uint8_t> Record1(int x0, int x1, int dx0, int dx1, int bv, int mag) {
  return BitPacker(10).Put(x0, 20).Put(x1, 20).Put(dx0, 14).Put(dx1, 14).Put(bv, 7).Put(mag, 5).Bytes();
}

// A 28-byte record with a Hipparcos number.
std::vector<uint8_t> Record0(int hip, int component, int32_t x0, int32_t x1, int bv, int mag, int32_t dx0, int32_t dx1) {
  return BitPacker(28)
      .Put(hip, 24)
      .Put(component, 8)
      .Put(x0, 32)
      .Put(x1, 32)
      .Put(bv, 8)
      .Put(mag, 8)
      .Put(0, 16)
      .Put(dx0, 32)
      .Put(dx1, 32)
      .Put(0, 32)
      .Bytes();
}

void ExpectAt(const ZoneStar& s, double raDeg, double decDeg) {
  EXPECT_NEAR(s.ra, raDeg * kDeg, kMas / std::cos(decDeg * kDeg));
  EXPECT_NEAR(s.dec, decDeg * kDeg, kMas);
}

}  // namespace

TEST(GeodesicGrid, ZonesTileTheSphereInOrder) {
  for (int level = 0; level <= 3; ++level) {
    const std::vector<ZoneTriangle> zones = GeodesicZones(level);
    ASSERT_EQ(zones.size(), std::size_t(20) << (2 * level));
    // Every zone counter-clockwise seen from outside, and the zones' solid
    // angles (Van Oosterom and Strackee) adding up to the whole sphere.
    double area = 0;
    for (const ZoneTriangle& t : zones) {
      const SkyVector& a = t.c0;
      const SkyVector& b = t.c1;
      const SkyVector& c = t.c2;
      const double triple = a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
      ASSERT_GT(triple, 0.0);
      const double ab = a.x * b.x + a.y * b.y + a.z * b.z, bc = b.x * c.x + b.y * c.y + b.z * c.z,
                   ca = c.x * a.x + c.y * a.y + c.z * a.z;
      area += 2.0 * std::atan2(triple, 1.0 + ab + bc + ca);
    }
    EXPECT_NEAR(area, 4.0 * kPi, 1e-9);  // rounding only
  }
  EXPECT_THROW(GeodesicZones(11), SourceError);
}

TEST(ZoneCatalogue, StarsAtZoneCentresOfLevelOne) {
  // Level 1: zone 3 is the middle part of face 0, zone 7 of face 1, zone
  // 79 of face 19, all sharing their face's centre; zone 0 is the part of
  // face 0 at its first corner. x0 = x1 = 0 puts a star at the centre.
  const auto file = Catalogue(1, 1, 9000, 1500, 30,
                              {{79, Record1(0, 0, 0, 0, 0, 0)},
                               {0, Record1(0, 0, 0, 0, 0, 0)},
                               {3, Record1(0, 0, 0, 0, 0, 0)},
                               {7, Record1(0, 0, 0, 0, 0, 0)}});
  const ZoneCatalogue c = DecodeZoneCatalogue(file, "test");
  EXPECT_EQ(c.header.level, 1u);
  EXPECT_EQ(c.header.minor, 8u);
  ASSERT_EQ(c.stars.size(), 4u);
  EXPECT_EQ(c.stars[0].zone, 0);
  ExpectAt(c.stars[0], 17.424688127, -10.168820182);
  EXPECT_EQ(c.stars[1].zone, 3);
  // Face 0's centre: tan δ = −1/G², G the golden ratio.
  ExpectAt(c.stars[1], 0.0, -20.905157448);
  ExpectAt(c.stars[2], 0.0, 20.905157448);
  ExpectAt(c.stars[3], 90.0, 69.094842552);
}

TEST(ZoneCatalogue, HipparcosRecordsPlacedByTheirOffsets) {
  // Level 0, zone 1 (centre RA 0, Dec +20.905°; axis 0 points east). The
  // offsets are fractions of the level's reach 0.7639320225 along the axes.
  const auto file = Catalogue(0, 0, -2000, 12800, 256,
                              {{1, Record0(32349, 0, 1 << 30, -(1 << 29), 127, 10, 0, 0)},
                               {1, Record0(120416, 2, 0, 0, 0, 255, -123456, 98765)}});
  const ZoneCatalogue c = DecodeZoneCatalogue(file, "test");
  ASSERT_EQ(c.stars.size(), 2u);
  const ZoneStar& a = c.stars[0];
  EXPECT_EQ(a.hip, 32349);
  EXPECT_EQ(a.component, 0);
  ExpectAt(a, 20.860951302, 9.443550867);
  EXPECT_DOUBLE_EQ(a.mag, -1.5);  // -2000 + 10 × 12800 / 256 milli-magnitudes
  EXPECT_NEAR(a.bv, 3.5, 1e-12);  // 127 × 4/127 − 0.5
  const ZoneStar& b = c.stars[1];
  EXPECT_EQ(b.hip, 120416);
  EXPECT_EQ(b.component, 2);
  EXPECT_DOUBLE_EQ(b.mag, 10.75);
  // At the zone centre the axes are east and north; 0.1 mas/yr units.
  ASSERT_TRUE(b.hasMotion);
  EXPECT_NEAR(b.pmRA, -12345.6, 1e-6);
  EXPECT_NEAR(b.pmDec, 9876.5, 1e-6);
  EXPECT_DOUBLE_EQ(c.magStep, 0.05);
}

TEST(ZoneCatalogue, PackedRecordsKeepTheirSignedFields) {
  // 10-byte records: the extremes of each signed field, and the largest
  // colour and magnitude steps.
  const auto one = Catalogue(1, 0, 9000, 1500, 30,
                             {{1, Record1(0, 0, -8192, 8191, 127, 31)},
                              {1, Record1(-524287, -300000, 1, -1, 0, 0)}});
  const ZoneCatalogue c1 = DecodeZoneCatalogue(one, "test");
  ASSERT_EQ(c1.stars.size(), 2u);
  EXPECT_EQ(c1.stars[0].hip, 0);
  ExpectAt(c1.stars[0], 0.0, 20.905157448);
  EXPECT_NEAR(c1.stars[0].pmRA, -819.2, 1e-9);
  EXPECT_NEAR(c1.stars[0].pmDec, 819.1, 1e-9);
  EXPECT_NEAR(c1.stars[0].bv, 3.5, 1e-12);
  EXPECT_DOUBLE_EQ(c1.stars[0].mag, 10.55);  // 9000 + 31 × 50
  ExpectAt(c1.stars[1], 324.978784982, -2.216792799);
  EXPECT_DOUBLE_EQ(c1.stars[1].mag, 9.0);
  EXPECT_NEAR(c1.stars[1].bv, -0.5, 1e-12);

  // 6-byte records: x0, x1 (18 bits), colour (7), magnitude (5); zone 17
  // has its centre on the equator at RA 69.09°.
  const auto two = Catalogue(2, 0, 12000, 1500, 30,
                             {{17, BitPacker(6).Put(131071, 18).Put(-65536, 18).Put(64, 7).Put(5, 5).Bytes()}});
  const ZoneCatalogue c2 = DecodeZoneCatalogue(two, "test");
  ASSERT_EQ(c2.stars.size(), 1u);
  ExpectAt(c2.stars[0], 106.472210693, -16.884791613);
  EXPECT_FALSE(c2.stars[0].hasMotion);
  EXPECT_DOUBLE_EQ(c2.stars[0].mag, 12.25);
  EXPECT_NEAR(c2.stars[0].bv, 64 * 4.0 / 127.0 - 0.5, 1e-12);
}

TEST(ZoneCatalogue, DamagedFilesAreRefused) {
  const auto good = Catalogue(1, 0, 9000, 1500, 30, {{1, Record1(0, 0, 0, 0, 0, 0)}});
  EXPECT_NO_THROW(DecodeZoneCatalogue(good, "test"));
  // A header word changed: the other byte order, record type 3, a count
  // whose records would pass the end, no magnitude steps.
  for (const auto& [offset, value] : {std::pair{0, 0x0A045F83u}, {4, 3u}, {32, 0xFFFFFFFFu}, {28, 0u}}) {
    auto bad = good;
    platform::PutU32(bad.data() + offset, value);
    EXPECT_THROW(DecodeZoneCatalogue(bad, "test"), SourceError) << offset;
  }
  auto longer = good;
  longer.push_back(0);
  auto shorter = good;
  shorter.pop_back();
  EXPECT_THROW(DecodeZoneCatalogue(shorter, "test"), SourceError);
  EXPECT_THROW(DecodeZoneCatalogue(std::vector<uint8_t>(31, 0), "test"), SourceError);
  data_test::ExpectRefused([&] { DecodeZoneCatalogue(longer, "stars_9.cat"); }, "stars_9.cat");
  // A header claiming grid level 10 (21 million zones) in a 40-byte file is
  // refused by its size before the grid is built.
  std::vector<uint8_t> big(40, 0);
  platform::PutU32(&big[0], kZoneCatalogueMagic);
  platform::PutU32(&big[16], 10);
  platform::PutI32(&big[24], 1000);
  platform::PutI32(&big[28], 10);
  data_test::ExpectRefused([&] { DecodeZoneCatalogue(big, "big.cat"); }, "zone table cut short");
}
