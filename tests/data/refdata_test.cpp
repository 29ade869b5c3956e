// Milky Way, constellation figures and the city list: readers on small
// files written here and the records byte by byte.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cmath>

#include "data/common.h"
#include "data/refdata.h"
#include "platform/codec.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using testing_support::TempDir;
using testing_support::WriteFile;
using testing_support::WriteText;

namespace {

constexpr double kPiValue = 3.14159265358979323846;
constexpr double kDeg = kPiValue / 180.0;

}  // namespace

TEST(MilkyWay, OutlineReadAndPolygonsSeparated) {
  TempDir dir;
  WriteText(dir.File("mw.dat"), "# outline\nM  6.0  36.0\nD  6.5  37.0\nS  7.0  36.0\nM 24.0 -10.5\nD  1.0 -11.0\n");
  const auto polys = ReadMilkyWayOutline(dir.File("mw.dat"));
  ASSERT_EQ(polys.size(), 2u);
  ASSERT_EQ(polys[0].size(), 3u);
  EXPECT_NEAR(polys[0][1].ra, 6.5 * 15 * kDeg, 1e-12);
  EXPECT_NEAR(polys[0][1].dec, 37 * kDeg, 1e-12);
  EXPECT_NEAR(polys[1][0].ra, 2 * kPiValue, 1e-12);
  const std::vector<uint8_t> f = EncodeMilkyWay(polys);
  // 5 points and 2 separators of 16 bytes.
  ASSERT_EQ(f.size(), 7u * 16u);
  EXPECT_NEAR(platform::GetF64(f.data() + 16), 6.5 * 15 * kDeg, 1e-12);
  EXPECT_NEAR(platform::GetF64(f.data() + 24), 37 * kDeg, 1e-12);
  EXPECT_LT(platform::GetF64(f.data() + 3 * 16), 0.0);  // ends the first polygon
  EXPECT_LT(platform::GetF64(f.data() + 6 * 16), 0.0);
  WriteText(dir.File("bad.dat"), "X 1 2\n");
  EXPECT_THROW(ReadMilkyWayOutline(dir.File("bad.dat")), SourceError);
}

TEST(ConstellationLines, FiguresChainedWithBreaks) {
  TempDir dir;
  WriteText(dir.File("fab"), "Ori 4  1 2  2 3  4 3  5 6\nCru 1  7 8\n");
  const auto figs = ReadConstellationFigures(dir.File("fab"));
  ASSERT_EQ(figs.size(), 2u);
  EXPECT_EQ(figs[0].segments.size(), 4u);
  int missing = 0;
  // Star n lies at right ascension n/10 radian, declination -n/100; star 8
  // is unknown; star 5 sits at 0h.
  const auto recs = BuildConstellationLines(
      figs,
      [](int hip, SkyPoint& p) {
        if (hip == 8) return false;
        p = {hip == 5 ? 0.0 : hip / 10.0, -hip / 100.0};
        return true;
      },
      &missing);
  EXPECT_EQ(missing, 1);
  // Break, then 1-2-3 as one chain (4-3 reversed onto it), break, 5-6.
  ASSERT_EQ(recs.size(), 1u + 1 + 4 + 1 + 2);
  EXPECT_EQ(recs[0].ra, 0);
  EXPECT_EQ(recs[0].constellation, 0);
  EXPECT_EQ(recs[1].ra, 0);  // break before the chain
  EXPECT_EQ(recs[1].constellation, 60);
  const double scale = 65534 / (2 * kPiValue);
  EXPECT_EQ(recs[2].ra, uint16_t(std::nearbyint(0.1 * scale)));
  EXPECT_EQ(recs[2].dec, int16_t(std::nearbyint(-0.01 * scale)));
  EXPECT_EQ(recs[2].constellation, 60);  // Orion
  EXPECT_EQ(recs[4].ra, uint16_t(std::nearbyint(0.3 * scale)));
  EXPECT_EQ(recs[5].ra, uint16_t(std::nearbyint(0.4 * scale)));
  EXPECT_EQ(recs[6].ra, 0);
  EXPECT_EQ(recs[7].ra, 1);  // 0h becomes the next unit: 0 is the break mark
  const std::vector<uint8_t> f = EncodeConstellationLines(recs);
  ASSERT_EQ(f.size(), recs.size() * 5);
  EXPECT_EQ(platform::GetU16(f.data() + 10), recs[2].ra);
  EXPECT_EQ(platform::GetI16(f.data() + 12), recs[2].dec);
  EXPECT_EQ(f[14], 60);
  WriteText(dir.File("short"), "Ori 3  1 2  2 3\n");
  EXPECT_THROW(ReadConstellationFigures(dir.File("short")), SourceError);
}

TEST(Cities, FoldedZones) {
  EXPECT_EQ(FoldZone(0, true), 100);
  EXPECT_EQ(FoldZone(10, true), 110);
  EXPECT_EQ(FoldZone(-5, true), -105);
  EXPECT_EQ(FoldZone(-5, false), -5);
  EXPECT_EQ(FoldZone(9, false), 9);
}

TEST(Cities, ZonesFromTheTimeZoneDatabase) {
  int h = 0;
  bool dst = false;
  ASSERT_TRUE(ZoneOffset("Europe/London", 2024, h, dst));
  EXPECT_EQ(h, 0);
  EXPECT_TRUE(dst);
  ASSERT_TRUE(ZoneOffset("Australia/Sydney", 2024, h, dst));
  EXPECT_EQ(h, 10);
  EXPECT_TRUE(dst);
  ASSERT_TRUE(ZoneOffset("America/New_York", 2024, h, dst));
  EXPECT_EQ(h, -5);
  EXPECT_TRUE(dst);
  ASSERT_TRUE(ZoneOffset("Asia/Tokyo", 2024, h, dst));
  EXPECT_EQ(h, 9);
  EXPECT_FALSE(dst);
  // Half-hour zones round halves to even: +5:30 gives 6, -3:30 gives -4.
  ASSERT_TRUE(ZoneOffset("Asia/Kolkata", 2024, h, dst));
  EXPECT_EQ(h, 6);
  ASSERT_TRUE(ZoneOffset("America/St_Johns", 2024, h, dst));
  EXPECT_EQ(h, -4);
  EXPECT_FALSE(ZoneOffset("Nowhere/Atlantis", 2024, h, dst));
}

TEST(Cities, PlainNames) {
  EXPECT_EQ(PlainName("S\xc3\xa3o Paulo"), "Sao Paulo");
  EXPECT_EQ(PlainName("Z\xc3\xbcrich"), "Zurich");
  EXPECT_EQ(PlainName("St. John's"), "St Johns");
  EXPECT_EQ(PlainName("Ciudad  Ju\xc3\xa1rez, Chihuahua"), "Ciudad Juarez Chihuahua");
  EXPECT_EQ(PlainName("\xc5\x81\xc3\xb3" "d\xc5\xba"), "Lodz");
  EXPECT_EQ(PlainName("Gie\xc3\x9f" "en"), "Giessen");
  EXPECT_EQ(PlainName("Aix-en-Provence"), "Aix-en-Provence");
  EXPECT_EQ(PlainName("\xe5\x8c\x97\xe4\xba\xac"), "");  // nothing left of "北京"
}

namespace {

std::vector<City> SampleCities() {
  std::vector<City> c(kCityCount, City{"Place", 10.0, 20.0, 1, false});
  c[0] = {"London", 51.5085, -0.1257, 0, true};
  c[1] = {"Sydney", -33.8679, 151.2073, 10, true};
  c[2] = {"New York City", 40.7143, -74.006, -5, true};
  c[3] = {"A name longer than twenty-two", 0, 180, 0, false};
  return c;
}

}  // namespace

TEST(Cities, RecordsOf37Bytes) {
  const std::vector<uint8_t> f = EncodeCities(SampleCities());
  ASSERT_EQ(f.size(), 54538u);  // 1,474 × 37
  // London: name, latitude, longitude in degrees west, folded zone.
  EXPECT_EQ(platform::GetShortString(f.data(), 22), "London");
  EXPECT_NEAR(platform::Real48ToDouble(f.data() + 23), 51.5085, 1e-9);
  EXPECT_NEAR(platform::Real48ToDouble(f.data() + 29), 0.1257, 1e-9);
  EXPECT_EQ(platform::GetI16(f.data() + 35), 100);
  // Sydney is stored as 360 - 151.2073 west; the loader turns a value
  // above 180 into 360 - v, giving 151.2073 east again.
  const double west = platform::Real48ToDouble(f.data() + 37 + 29);
  EXPECT_NEAR(west, 208.7927, 1e-9);
  EXPECT_NEAR(360 - west, 151.2073, 1e-9);
  EXPECT_EQ(platform::GetI16(f.data() + 37 + 35), 110);
  // New York: 74.006 west, stored as is (the loader negates values <= 180).
  EXPECT_NEAR(platform::Real48ToDouble(f.data() + 2 * 37 + 29), 74.006, 1e-9);
  EXPECT_EQ(platform::GetI16(f.data() + 2 * 37 + 35), -105);
  // The name field holds at most 22 characters.
  EXPECT_EQ(f[3 * 37], 22);
  std::vector<City> few = SampleCities();
  few.pop_back();
  EXPECT_THROW(EncodeCities(few), SourceError);
}

TEST(Cities, CapitalsFirstThenPopulousPlacesSortedByName) {
  std::vector<Location> locs;
  // A capital, two places named alike, one place whose zone is unknown, one
  // at +13 hours and one of another role.
  locs.push_back({"Small Capital", "", "", 'C', 1000, 10, 10, "Europe/Paris"});
  locs.push_back({"London", "England", "", 'N', 9000000, 51.5, -0.13, "Europe/London"});
  locs.push_back({"London", "Ontario", "", 'N', 400000, 43.0, -81.2, "America/Toronto"});
  locs.push_back({"Lost", "", "", 'N', 8000000, 0, 0, "Nowhere/Atlantis"});
  locs.push_back({"Far East", "", "", 'N', 7000000, 0, 0, "Pacific/Tongatapu"});
  locs.push_back({"Observatory", "", "", 'O', 9999999, 0, 0, "Europe/London"});
  // 100 large towns in one zone, and 1,600 smaller ones spread over 64.
  for (int i = 0; i < 100; ++i) locs.push_back({"Big " + std::to_string(i), "", "", 'N', 5000000 - i, 0, 0, "Asia/Shanghai"});
  const char* zones[] = {"Europe/Berlin", "Europe/Madrid", "Europe/Rome", "Europe/Oslo", "Europe/Athens", "Europe/Kiev",
                         "Europe/Moscow", "Europe/Lisbon", "Asia/Tokyo", "Asia/Seoul", "Asia/Manila", "Asia/Jakarta",
                         "Asia/Bangkok", "Asia/Karachi", "Asia/Dhaka", "Asia/Tehran", "Africa/Lagos", "Africa/Cairo",
                         "Africa/Nairobi", "Africa/Johannesburg", "America/Chicago", "America/Denver",
                         "America/Phoenix", "America/Los_Angeles", "America/Anchorage", "America/Mexico_City",
                         "America/Bogota", "America/Lima", "America/Sao_Paulo", "America/Santiago",
                         "Australia/Perth", "Australia/Brisbane"};
  for (int i = 0; i < 1600; ++i)
    locs.push_back({"Town " + std::to_string(i), "", "", 'N', 100000 - i, 0, 0, zones[i % 32]});
  int skipped = 0;
  const std::vector<City> c = SelectCities(locs, 2024, &skipped);
  ASSERT_EQ(c.size(), std::size_t(kCityCount));
  EXPECT_EQ(skipped, 2);  // unknown zone and +13 hours
  auto find = [&](const std::string& n) -> const City* {
    for (const City& x : c)
      if (x.name == n) return &x;
    return nullptr;
  };
  ASSERT_NE(find("Small Capital"), nullptr);  // every capital, however small
  ASSERT_NE(find("London"), nullptr);
  EXPECT_EQ(find("London")->zone, 0);
  EXPECT_TRUE(find("London")->daylightSaving);
  ASSERT_NE(find("London Ontario"), nullptr);  // the smaller namesake
  EXPECT_EQ(find("London Ontario")->zone, -5);
  EXPECT_EQ(find("Observatory"), nullptr);
  // 25 places per zone while the 32 other zones still fill the list (800
  // places); then the rest by population, the large towns first.
  int big = 0;
  for (const City& x : c) big += x.name.rfind("Big ", 0) == 0;
  EXPECT_EQ(big, 100);
  EXPECT_NE(find("Town 1370"), nullptr);
  EXPECT_EQ(find("Town 1371"), nullptr);
  for (std::size_t i = 1; i < c.size(); ++i) ASSERT_LE(c[i - 1].name, c[i].name);
}
