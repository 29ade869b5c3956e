#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/codec.h"

using namespace platform;

namespace {
std::vector<uint8_t> R48(double v) {
  std::vector<uint8_t> b(6);
  EXPECT_TRUE(DoubleToReal48(v, b.data()));
  return b;
}
}  // namespace

// Encodings worked out by hand from the format (exponent biased by 129,
// 39-bit fraction, sign in the top bit of the last byte).
TEST(Real48, KnownEncodings) {
  EXPECT_EQ(R48(1.0), (std::vector<uint8_t>{0x81, 0, 0, 0, 0, 0x00}));
  EXPECT_EQ(R48(51.5), (std::vector<uint8_t>{0x86, 0, 0, 0, 0, 0x4E}));
  EXPECT_EQ(R48(-51.5), (std::vector<uint8_t>{0x86, 0, 0, 0, 0, 0xCE}));
  EXPECT_EQ(R48(0.0), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0}));
  const uint8_t half[6] = {0x80, 0, 0, 0, 0, 0};
  EXPECT_EQ(Real48ToDouble(half), 0.5);
}

TEST(Real48, RoundTripKeepsAbout39Bits) {
  for (double v : {1.0, -1.0, 51.5, -51.5, 0.1, -179.99999, 1e-30, 1e30, 123456.789, 2.0 / 3.0}) {
    auto b = R48(v);
    // 39 fraction bits: relative error below 2^-39.
    EXPECT_NEAR(Real48ToDouble(b.data()), v, std::fabs(v) * 1e-11) << v;
  }
}

TEST(Real48, UnrepresentableValuesFailAndWriteZero) {
  uint8_t b[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_FALSE(DoubleToReal48(NAN, b));
  EXPECT_EQ(Real48ToDouble(b), 0.0);
  EXPECT_FALSE(DoubleToReal48(1e40, b));
  EXPECT_FALSE(DoubleToReal48(-INFINITY, b));
  EXPECT_TRUE(DoubleToReal48(1e-45, b));  // underflow reads as zero
  EXPECT_EQ(Real48ToDouble(b), 0.0);
  // Exponent byte 0 is zero whatever the other bytes hold.
  const uint8_t z[6] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Real48ToDouble(z), 0.0);
}

TEST(ShortString, EmptyAndFullLength) {
  std::vector<uint8_t> f(256, 0xAA);
  PutShortString(f.data(), "");
  EXPECT_EQ(f[0], 0);
  EXPECT_EQ(f[1], 0);  // padding cleared
  EXPECT_EQ(GetShortString(f.data()), "");

  const std::string s255(255, 'x');
  PutShortString(f.data(), s255);
  EXPECT_EQ(f[0], 255);
  EXPECT_EQ(GetShortString(f.data()), s255);

  PutShortString(f.data(), std::string(300, 'y'));  // cut at the capacity
  EXPECT_EQ(f[0], 255);
  EXPECT_EQ(GetShortString(f.data()), std::string(255, 'y'));
}

TEST(ShortString, SmallCapacityAndDamagedLength) {
  uint8_t f[23];
  PutShortString(f, "Rio de Janeiro - long name", 22);
  EXPECT_EQ(f[0], 22);
  EXPECT_EQ(GetShortString(f, 22), "Rio de Janeiro - long ");
  f[0] = 200;  // a damaged length byte never reads past the field
  EXPECT_EQ(GetShortString(f, 22).size(), 22u);
}

TEST(ShortString, Windows1252Characters) {
  uint8_t f[16];
  PutShortString(f, "12°5\u20AC\u00E9", 15);  // degree sign, euro sign, e-acute
  EXPECT_EQ(f[0], 6);
  EXPECT_EQ(f[3], 0xB0);
  EXPECT_EQ(f[5], 0x80);
  EXPECT_EQ(f[6], 0xE9);
  EXPECT_EQ(GetShortString(f, 15), "12°5\u20AC\u00E9");
  PutShortString(f, "\u4E2D", 15);  // no Windows-1252 code
  EXPECT_EQ(GetShortString(f, 15), "?");
}

TEST(Utf8, CutAndCountByCharacters) {
  EXPECT_EQ(CharCount("a°b"), 3u);
  EXPECT_EQ(CutToChars("a°bc", 2), "a°");
  EXPECT_EQ(CutToChars("abc", 10), "abc");
  // A truncated sequence counts as one replacement character.
  EXPECT_EQ(CharCount(std::string("a\xC2", 2)), 2u);
}

TEST(ByteReader, FieldsAndOverrun) {
  ByteWriter w;
  w.U8(7);
  w.I16(-2);
  w.U32(0xDEADBEEF);
  w.F64(51.5);
  w.Real48(-51.5);
  w.ShortString("abc", 10);
  ASSERT_EQ(w.Size(), 1u + 2 + 4 + 8 + 6 + 11);
  EXPECT_EQ(w.Bytes()[1], 0xFE);  // little-endian
  ByteReader r(w.Bytes());
  EXPECT_EQ(r.U8(), 7);
  EXPECT_EQ(r.I16(), -2);
  EXPECT_EQ(r.U32(), 0xDEADBEEFu);
  EXPECT_EQ(r.F64(), 51.5);
  EXPECT_EQ(r.Real48(), -51.5);
  EXPECT_EQ(r.ShortString(10), "abc");
  EXPECT_TRUE(r.Ok());
  EXPECT_EQ(r.U32(), 0u);  // past the end
  EXPECT_FALSE(r.Ok());
}
