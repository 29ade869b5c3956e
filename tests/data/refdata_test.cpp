// Milky Way, constellation figures and boundaries, the city list and its
// gazetteer, the Sun and Moon pictures, and the default element files:
// readers on small files written here and the records byte by byte.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cmath>

#include "catalog/element_files.h"
#include "data/bounds.h"
#include "data/common.h"
#include "data/elements.h"
#include "data/images.h"
#include "data/refdata.h"
#include "platform/codec.h"
#include "tests/data/data_test_util.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using data_test::kDeg;
using testing_support::TempDir;
using testing_support::WriteFile;
using testing_support::WriteText;

TEST(MilkyWay, OutlineReadAndPolygonsSeparated) {
  TempDir dir;
  WriteText(dir.File("mw.dat"), "# outline\nM  6.0  36.0\nD  6.5  37.0\nS  7.0  36.0\nM 24.0 -10.5\nD  1.0 -11.0\n");
  const auto polys = ReadMilkyWayOutline(dir.File("mw.dat"));
  ASSERT_EQ(polys.size(), 2u);
  ASSERT_EQ(polys[0].size(), 3u);
  EXPECT_NEAR(polys[0][1].ra, 6.5 * 15 * kDeg, 1e-12);
  EXPECT_NEAR(polys[0][1].dec, 37 * kDeg, 1e-12);
  EXPECT_NEAR(polys[1][0].ra, 2 * kPi, 1e-12);
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
  const double scale = 65534 / (2 * kPi);
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

TEST(Cities, ZonesFromTheTimeZoneDatabase) {
  // Half-hour zones round halves to even: +5:30 gives 6, -3:30 gives -4.
  const struct {
    const char* zone;
    int hours;
    bool dst;
  } cases[] = {{"Europe/London", 0, true}, {"Australia/Sydney", 10, true}, {"America/New_York", -5, true},
               {"Asia/Tokyo", 9, false},   {"Asia/Kolkata", 6, false},    {"America/St_Johns", -4, true}};
  for (const auto& c : cases) {
    int h = 99;
    bool dst = !c.dst;
    ASSERT_TRUE(ZoneOffset(c.zone, 2024, h, dst)) << c.zone;
    EXPECT_EQ(h, c.hours) << c.zone;
    EXPECT_EQ(dst, c.dst) << c.zone;
  }
  int h = 0;
  bool dst = false;
  EXPECT_FALSE(ZoneOffset("Nowhere/Atlantis", 2024, h, dst));
}

// Names keep every letter the city file's code page (Windows-1252) holds;
// other letters become their base letters.
TEST(Cities, PlainNames) {
  EXPECT_EQ(PlainName("S\u00e3o Paulo"), "S\u00e3o Paulo");
  EXPECT_EQ(PlainName("Z\u00fcrich"), "Z\u00fcrich");
  EXPECT_EQ(PlainName("St. John's"), "St Johns");
  EXPECT_EQ(PlainName("Ciudad  Ju\u00e1rez, Chihuahua"), "Ciudad Ju\u00e1rez Chihuahua");
  EXPECT_EQ(PlainName("\u0141\u00f3d\u017a"), "L\u00f3dz");  // Ł and ź are not in the code page, ó is
  EXPECT_EQ(PlainName("Gie\u00dfen"), "Gie\u00dfen");
  EXPECT_EQ(PlainName("\u0110\u00e0 N\u1eb5ng"), "D\u00e0 Nang");
  EXPECT_EQ(PlainName("Aix-en-Provence"), "Aix-en-Provence");
  EXPECT_EQ(PlainName("\u5317\u4eac"), "");  // nothing left of "北京"
}

// The gazetteer writes umlauts as two letters ("UEruemqi", "Koeln"): they
// come back where the place's language has them, and genuine pairs stay.
TEST(Cities, UmlautsRestoredByLanguage) {
  struct Case {
    const char *name, *zone, *expected;
  } cases[] = {
      {"UEruemqi", "Asia/Urumqi", "\u00dcr\u00fcmqi"},
      {"UEskuedar", "Europe/Istanbul", "\u00dcsk\u00fcdar"},
      {"OEstersund", "Nowhere/Else", "\u00d6stersund"},  // a capital pair marks the name anywhere
      {"Koeln", "Europe/Berlin", "K\u00f6ln"},
      {"Jyvaeskylae", "Europe/Helsinki", "Jyv\u00e4skyl\u00e4"},
      {"Holbaek", "Europe/Copenhagen", "Holb\u00e6k"},
      {"Budapest XI. keruelet", "Europe/Budapest", "Budapest XI. ker\u00fclet"},
      // A diphthong or "qu" before an "e", a pair at a word's start, the
      // names spelled so, and languages without the letter keep the pair.
      {"Aue", "Europe/Berlin", "Aue"},
      {"Quedlinburg", "Europe/Berlin", "Quedlinburg"},
      {"Uelzen", "Europe/Berlin", "Uelzen"},
      {"Soest (North Rhine-Westphalia)", "Europe/Berlin", "Soest (North Rhine-Westphalia)"},
      {"Joensuu", "Europe/Helsinki", "Joensuu"},
      {"Kocaeli", "Europe/Istanbul", "Kocaeli"},
  };
  for (const Case& c : cases) EXPECT_EQ(RestoreUmlauts(c.name, c.zone), c.expected) << c.name;
}

// A name longer than the field's 22 characters becomes its city, or its
// whole words that fit; no word is cut unless it alone is too long.
TEST(Cities, LongNamesShortenedToTheirCity) {
  EXPECT_EQ(FitCityName("Vancouver (British Columbia)", 22), "Vancouver");
  EXPECT_EQ(FitCityName("Cuauhtemoc (Mexico City)", 22), "Cuauhtemoc Mexico City");  // fits whole
  EXPECT_EQ(FitCityName("Palikir - National Government Center", 22), "Palikir");
  EXPECT_EQ(FitCityName("Las Palmas de Gran Canaria", 22), "Las Palmas de Gran");
  EXPECT_EQ(FitCityName("\u00dcr\u00fcmqi Xinjiang Uyghur Region", 22), "\u00dcr\u00fcmqi Xinjiang Uyghur");
  EXPECT_EQ(FitCityName("Llanfairpwllgwyngyllgogerychwyrndrobwll", 22), "Llanfairpwllgwyngyllgo");
  EXPECT_EQ(RegionInitials("British Columbia"), "BC");
}

TEST(Cities, RecordsOf37Bytes) {
  std::vector<City> c(kCityCount, City{"Place", 10.0, 20.0, 1, false});
  c[0] = {"London", 51.5085, -0.1257, 0, true};
  c[1] = {"Sydney", -33.8679, 151.2073, 10, true};
  c[2] = {"New York City", 40.7143, -74.006, -5, true};
  c[3] = {"A name longer than twenty-two", 0, 180, -5, false};
  const std::vector<uint8_t> f = EncodeCities(c);
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
  // The name field holds at most 22 characters; zones without daylight
  // saving are not folded.
  EXPECT_EQ(f[3 * 37], 22);
  EXPECT_EQ(platform::GetI16(f.data() + 3 * 37 + 35), -5);
  EXPECT_EQ(platform::GetI16(f.data() + 4 * 37 + 35), 1);
  c.pop_back();
  EXPECT_THROW(EncodeCities(c), SourceError);
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
  for (std::size_t i = 1; i < c.size(); ++i) ASSERT_LE(NameSortKey(c[i - 1].name), NameSortKey(c[i].name));
}

// A namesake whose state does not fit goes by the state's initials, one
// whose state is its own name by that; restored umlauts sort among their
// base letters.
TEST(Cities, NamesakesAndUmlautsInTheList) {
  const std::vector<Location> locs = {
      {"Victoria", "", "Eastern Africa", 'C', 22881, -4.6, 55.5, "Indian/Mahe"},
      {"Victoria (British Columbia)", "British Columbia", "Northern America", 'R', 289625, 48.4, -123.4,
       "America/Vancouver"},
      {"Valencia", "Carabobo", "Southern America", 'R', 1619470, 10.2, -68.0, "America/Caracas"},
      {"Valencia", "Valencia", "Southern Europe", 'R', 814208, 39.5, -0.4, "Europe/Madrid"},
      {"UEruemqi", "Xinjiang", "Eastern Asia", 'R', 3029372, 43.8, 87.6, "Asia/Urumqi"},
      {"Ulsan", "", "Eastern Asia", 'N', 962865, 35.5, 129.3, "Asia/Seoul"},
      {"Ust-Kamenogorsk", "", "Central Asia", 'N', 319067, 49.9, 82.6, "Asia/Almaty"}};
  const std::vector<City> c = SelectCities(locs, 2024);
  std::vector<std::string> names;
  for (const City& x : c) names.push_back(x.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Ulsan", "\u00dcr\u00fcmqi", "Ust-Kamenogorsk", "Valencia",
                                             "Valencia Valencia", "Victoria", "Victoria BC"}));
}

TEST(Cities, DamagedGazetteersAreRefused) {
  TempDir dir;
  const std::string path = dir.File("locations.bin.gz");
  const auto write = [&](const std::vector<uint8_t>& bytes) {
    gzFile gz = gzopen(path.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, bytes.data(), unsigned(bytes.size())), int(bytes.size()));
    ASSERT_EQ(gzclose(gz), Z_OK);
  };
  // A count of ten million in a 5-byte stream once reserved 1.5 GB.
  write({0x00, 0x98, 0x96, 0x80, 0x00});
  data_test::ExpectRefused([&] { ReadLocations(path); }, "bad location count");
  std::vector<uint8_t> cut = testing_support::ReadFile(path);
  cut.resize(cut.size() - 9);
  WriteFile(path, cut);
  data_test::ExpectRefused([&] { ReadLocations(path); }, "cut short");
  // The gazetteer expands to some 6 MB; a stream expanding far beyond is
  // stopped at 64 MB.
  write(std::vector<uint8_t>(std::size_t(65) << 20, 0));
  data_test::ExpectRefused([&] { ReadLocations(path); }, "expands beyond 64 MB");
}

TEST(BoundsRecords, TwentySevenBytesInTheirColumns) {
  // Hours in columns 1-8, degrees in 10-18, the abbreviation in 20-23.
  EXPECT_EQ(BoundsRecord(22.866667, 52.5, "And"), "22.86667  52.50000 And   \r\n");
  EXPECT_EQ(BoundsRecord(-0.5, -88.25, "Oct").substr(0, 18), "23.50000 -88.25000");
  EXPECT_EQ(BoundsRecord(23.999999, 0, "Psc").substr(0, 8), " 0.00000");
}

TEST(BoundsCorners, EdgesAlongMeridiansAndParallelsKeepOnlyCorners) {
  // A box from 1h to 2h and +10° to +20°, densified, crossing itself at
  // the start (the source repeats the first point at the end).
  std::vector<std::pair<double, double>> ring;
  for (int i = 0; i <= 10; ++i) ring.push_back({1.0, 10.0 + i});
  for (int i = 1; i <= 10; ++i) ring.push_back({1.0 + i / 10.0, 20.0});
  for (int i = 1; i <= 10; ++i) ring.push_back({2.0, 20.0 - i});
  for (int i = 1; i <= 10; ++i) ring.push_back({2.0 - i / 10.0, 10.0});
  const auto c = Corners(ring);
  ASSERT_EQ(c.size(), 5u);
  EXPECT_EQ(c[0], std::make_pair(1.0, 10.0));
  EXPECT_EQ(c[1], std::make_pair(1.0, 20.0));
  EXPECT_EQ(c[2], std::make_pair(2.0, 20.0));
  EXPECT_EQ(c[3], std::make_pair(2.0, 10.0));
  EXPECT_EQ(c[4], c[0]);  // closed
  // A box across 0h keeps its corners as well.
  std::vector<std::pair<double, double>> wrap = {{23.5, 0}, {23.5, 5}, {23.75, 5}, {0.0, 5}, {0.25, 5}, {0.25, 0}, {0.0, 0}};
  EXPECT_EQ(Corners(wrap).size(), 5u);
}

TEST(BoundsRuns, NoTwoRunsOfOneConstellationTouch) {
  std::vector<BoundaryRun> runs = {{76, {{15, 0}}}, {76, {{18, 0}}}, {77, {{10, 0}}}, {78, {{4, 0}}}};
  EXPECT_THROW(EncodeBounds(runs), SourceError);
  const auto arranged = ArrangeRuns(runs);
  ASSERT_EQ(arranged.size(), 4u);
  for (std::size_t i = 1; i < arranged.size(); ++i) EXPECT_NE(arranged[i - 1].constellation, arranged[i].constellation);
  const std::string text = EncodeBounds(arranged);
  EXPECT_EQ(text.size(), 4u * 27u);
  EXPECT_EQ(text.substr(19, 4), "Ser ");
  // More than 2,000 vertices would be cut off by the program.
  BoundaryRun big{60, std::vector<std::pair<double, double>>(2001, {5.5, 0.0})};
  EXPECT_THROW(EncodeBounds({big}), SourceError);
}

TEST(BoundsSource, OutlinesReadByFullName) {
  TempDir dir;
  WriteText(dir.File("cb.dat"),
            ":Orion\n  5.0  10.0 1\n  6.0  10.0 0\n:Serpens Cauda\n  18.3  4.5 1\n:Canes Venatici\n 13.0 40.0 0\n"
            ":Octans\n  0.0 -74.3 1\n  0.0 -90.0 0\n 24.0 -90.0 0\n 24.0 -74.3 1\n 12.0 -74.3 1\n");
  const auto runs = ReadBoundaryOutlines(dir.File("cb.dat"));
  ASSERT_EQ(runs.size(), 4u);
  // The seam to the pole is not part of the boundary.
  EXPECT_EQ(runs[3].points.size(), 3u);
  EXPECT_EQ(runs[0].constellation, 60);
  EXPECT_EQ(runs[0].points.size(), 2u);
  EXPECT_EQ(runs[1].constellation, 76);  // Serpens
  EXPECT_EQ(runs[2].constellation, 13);
  WriteText(dir.File("bad.dat"), ":Atlantis\n 1 2 0\n");
  EXPECT_THROW(ReadBoundaryOutlines(dir.File("bad.dat")), SourceError);
}

TEST(BoundsPrecession, FromJ2000To1875) {
  // Reference: ERFA pmat76 (IAU 1976 precession) from J2000 to JD 2405889.5
  // (1875 January 1.0), applied to the two points. The program's own
  // precession uses the same model; 0.01" allows for rounding.
  const BoundaryRun out = PrecessRunTo1875({60, {{6.0, 20.0}, {23.9, -45.0}}});
  ASSERT_EQ(out.points.size(), 2u);
  constexpr double kTolHours = 0.01 / 54000.0, kTolDeg = 0.01 / 3600.0;
  EXPECT_NEAR(out.points[0].first, 5.876388193282295, kTolHours);
  EXPECT_NEAR(out.points[0].second, 19.98873494189267, kTolDeg);
  EXPECT_NEAR(out.points[1].first, 23.791374187675157, kTolHours);
  EXPECT_NEAR(out.points[1].second, -45.69552431822732, kTolDeg);
}

TEST(Bitmaps, EightBitLayoutWithBottomUpRows) {
  PaletteImage img;
  img.width = 4;
  img.height = 2;
  img.palette[1] = 0x00112233;
  img.palette[255] = 0xFFABCDEF;  // the reserved byte is always written as 0
  img.pixels = {1, 2, 3, 4,  // top row
                5, 6, 7, 255};
  const std::vector<uint8_t> f = EncodeBmp8(img);
  ASSERT_EQ(f.size(), 1078u + 8u);
  // "BM", file size 1086, pixel data at 1078, a 40-byte header, 4 × 2 pixels
  // (positive height: bottom-up rows), one plane of 8 bits, uncompressed.
  EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 34),
            (std::vector<uint8_t>{'B', 'M', 0x3E, 0x04, 0, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0, 40, 0, 0, 0,
                                  4, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0}));
  // Colour table entries: blue, green, red, 0.
  EXPECT_EQ(platform::GetU32(f.data() + 54 + 4 * 1), 0x00112233u);
  EXPECT_EQ(f[54 + 4 * 255 + 3], 0);
  // The bottom row comes first.
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 1078, f.end()), (std::vector<uint8_t>{5, 6, 7, 255, 1, 2, 3, 4}));
  img.width = 6;
  img.pixels.resize(12);
  EXPECT_THROW(EncodeBmp8(img), SourceError);  // rows would need padding
  img.width = 4;
  EXPECT_THROW(EncodeBmp8(img), SourceError);  // pixel count does not match
}

namespace {

uint32_t PixelAt(const PaletteImage& img, int x, int y) {
  return img.palette[img.pixels[std::size_t(y) * std::size_t(img.width) + std::size_t(x)]] & 0xFFFFFF;
}
int Brightness(uint32_t c) { return int((c >> 16) & 255) + int((c >> 8) & 255) + int(c & 255); }

}  // namespace

TEST(Bitmaps, SunAndMoonFillTheirSquareOnBlack) {
  for (const PaletteImage& img : {DrawSun(128), DrawMoon(128)}) {
    ASSERT_EQ(img.width, 128);
    ASSERT_EQ(img.height, 128);
    // Corners (outside the disc) are black, the transparent key.
    EXPECT_EQ(PixelAt(img, 0, 0), 0u);
    EXPECT_EQ(PixelAt(img, 127, 127), 0u);
    // The disc reaches the middle of every edge.
    EXPECT_GT(Brightness(PixelAt(img, 64, 1)), 100);
    EXPECT_GT(Brightness(PixelAt(img, 1, 64)), 100);
    EXPECT_GT(Brightness(PixelAt(img, 126, 64)), 100);
    EXPECT_GT(Brightness(PixelAt(img, 64, 126)), 100);
    EXPECT_NO_THROW(EncodeBmp8(img));
  }
  // The Sun darkens towards its limb.
  const PaletteImage sun = DrawSun(128);
  EXPECT_GT(Brightness(PixelAt(sun, 64, 64)), Brightness(PixelAt(sun, 64, 3)) + 60);
  // The Moon's maria: Mare Crisium (north-east, on the right) is darker
  // than the highlands south of the centre.
  const PaletteImage moon = DrawMoon(256);
  const int crisium = Brightness(PixelAt(moon, 128 + int(128 * 0.82), 128 - int(128 * 0.29)));
  const int highland = Brightness(PixelAt(moon, 128 + 20, 128 + 90));
  EXPECT_LT(crisium + 100, highland);
}

namespace {

// The files start with the program's header (its layout is checked in
// tests/catalog) and hold one fixed-column line per body, CR LF ended.
std::string Header(TElementKind kind) {
  std::string h;
  for (const std::string& line : ElementFileHeader(kind)) h += line + "\r\n";
  return h;
}

}  // namespace

TEST(ElementFiles, AsteroidLinesOf119Characters) {
  const AsteroidElements a{"(1) Ceres",       2459800.5,         334.3271698971151, 2.766619044655007,
                           0.07863575691875528, 73.53162522557164, 80.2664361119415,  10.58679512153367,
                           3.33,              0.12};
  AsteroidElements longName = a;
  longName.name = std::string(35, 'N');  // cut to 30
  const std::string numbers = " 2459800.5000 334.32717 2.7666190 0.0786358 73.53163  80.26644  10.58680  3.33  0.12 \r\n";
  EXPECT_EQ(FormatAsteroidFile({a, longName}), Header(TElementKind::Asteroid) + "Y   (1) Ceres                     " +
                                                   numbers + "Y   " + std::string(30, 'N') + numbers);
}

TEST(ElementFiles, CometLinesOf109Characters) {
  const CometElements c{"1P/Halley",       2446467.395317050925, 0.585978111516909, 0.967142908462304,
                        111.3324851045177, 58.42008097656843,    162.262690579161,  5.5,
                        4.0};
  EXPECT_EQ(FormatCometFile({c}),
            Header(TElementKind::Comet) +
                "Y   1P/Halley                      2446467.3953 0.5859781 0.9671429 111.33249 58.42008  162.26269 "
                "5.50  4.00 \r\n");
  EXPECT_EQ(FormatCometFile({}), Header(TElementKind::Comet));
}

TEST(ElementFiles, NumbersFitTheirFields) {
  EXPECT_EQ(FitNumber(2.766619044655007, 9, 7), "2.7666190");
  EXPECT_EQ(FitNumber(42.123456789, 9, 7), "42.123457");
  EXPECT_EQ(FitNumber(1234.5678, 9, 7), "1234.5678");
  EXPECT_EQ(FitNumber(-1.5, 5, 2), "-1.50");
  EXPECT_EQ(FitNumber(12345.6, 5, 2), "12346");
}

TEST(ElementLists, AsteroidsAndCometsRead) {
  TempDir dir;
  // Names are split by scanning: a 50,000-character name once exhausted the
  // stack in a regular expression. No blank after the number, or no number
  // at all, is skipped.
  const auto row = [](const std::string& name) {
    return R"(,[")" + name + R"(","9",null,"59800","0.1","5.2","4.6","2","3","4","5"])";
  };
  WriteText(dir.File("ast.json"),
            R"J({"fields":["full_name","H","G","epoch_mjd","e","a","q","i","om","w","ma"],"data":[
               ["     1 Ceres (A801 AA)","3.33","0.12","59800",".0786","2.7666","2.549","10.59","80.27","73.53","334.33"],
               ["  4000 Nohelement","9.1",null,"59800","0.1",null,"2.6","2","3","4","5"])J" +
                row("  3708 (1974 FV1)") +
                row("  7 " + std::string(50000, 'x') + " (" + std::string(100, 'y') + ")") +
                row("  8 Flora  (A847 UA)") + row("  10 Hygiea") + row("11Parthenope") + row("Eros") + "]}");
  int skipped = 0;
  const auto ast = ReadAsteroidList(dir.File("ast.json"), &skipped);
  ASSERT_EQ(ast.size(), 5u);
  EXPECT_EQ(skipped, 3);
  EXPECT_EQ(ast[0].name, "(1) Ceres");
  EXPECT_DOUBLE_EQ(ast[0].epoch, 2459800.5);  // MJD + 2400000.5
  EXPECT_DOUBLE_EQ(ast[0].g, 0.12);
  EXPECT_EQ(ast[1].name, "(3708) 1974 FV1");
  EXPECT_DOUBLE_EQ(ast[1].g, 0.15);  // missing slope
  EXPECT_EQ(ast[2].name, "(7) " + std::string(50000, 'x'));
  EXPECT_EQ(ast[3].name, "(8) Flora");
  EXPECT_EQ(ast[4].name, "(10) Hygiea");
  WriteText(dir.File("cmt.json"),
            R"J({"fields":["full_name","epoch.mjd","q","e","i","w","om","tp","M1"],"data":[
               ["    1P/Halley",49400,"0.586","0.967","162.26","111.33","58.42","2446467.3953","5.5"],
               ["    C/2099 A1 (Nomag)",49400,"0.5","0.9","1","2","3","2488000.5",null]]})J");
  const auto cmt = ReadCometList(dir.File("cmt.json"), &skipped);
  ASSERT_EQ(cmt.size(), 1u);
  EXPECT_EQ(cmt[0].name, "1P/Halley");
  EXPECT_DOUBLE_EQ(cmt[0].epoch, 2446467.3953);  // the perihelion time
  EXPECT_DOUBLE_EQ(cmt[0].h, 5.5);
}

TEST(ElementLists, SelectionOfBrightBodies) {
  const AsteroidElements vesta{.name = "(4) Vesta", .a = 2.362, .e = 0.089, .h = 3.2};
  AsteroidElements faint = vesta;
  faint.name = "faint";
  faint.h = 12;
  AsteroidElements nearEarth = vesta;  // q below 1: no opposition magnitude
  nearEarth.a = 1.0;
  const auto a = SelectBrightAsteroids({faint, vesta, nearEarth});
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].name, "(4) Vesta");
  const CometElements halley{"1P/Halley", 2446467.4, 0.586, 0.967, 0, 0, 0, 5.5, 4};
  CometElements dim = halley;
  dim.name = "300P/Dim";
  dim.h = 14;
  const CometElements recent{"C/2020 F3 (NEOWISE)", 2459034.7, 0.29, 0.9992, 0, 0, 0, 7.0, 4};
  CometElements old = recent;
  old.name = "C/1995 O1 (Hale-Bopp)";
  old.epoch = 2450539.6;
  CometElements hyperbolic = recent;
  hyperbolic.e = 1.3;
  const auto c = SelectBrightComets({halley, dim, recent, old, hyperbolic});
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].name, "1P/Halley");
  EXPECT_EQ(c[1].name, "C/2020 F3 (NEOWISE)");
}
