// The star files: SAO records byte by byte, the notes text, Tycho and
// bright-star records, the spectral code, the readers of the star sources
// on small files written here, and the zoned star catalogues with their
// geodesic grid.
//
// Expected positions of the zoned catalogues were computed once with a
// separate Python script (numpy, double precision) from the icosahedron's
// corner table and the four-way subdivision: zone centres, the level-0
// tangent-plane reach 0.7639320225 (= 3 − √5) and the stars placed from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>

#include "data/common.h"
#include "data/stars.h"
#include "data/zonecat.h"
#include "platform/codec.h"
#include "tests/data/data_test_util.h"
#include "tests/support/test_support.h"

using namespace mkdata;
using data_test::kDeg;
using testing_support::TempDir;
using testing_support::WriteFile;
using testing_support::WriteText;

namespace {

std::vector<uint8_t> Bytes(const SaoRecord& r) {
  std::vector<uint8_t> b(kSaoRecordSize);
  EncodeSaoRecord(r, b.data());
  return b;
}

}  // namespace

TEST(SaoRecords, FieldsSitAtTheirOffsets) {
  // Little-endian fields: HR | 0x4000 (variable), HD, Greek code, Flamsteed,
  // constellation, RA, μα, Dec, μδ, magnitude, colour, spectral, parallax,
  // note offset.
  EXPECT_EQ(Bytes({.hr = 2491, .variable = true, .hd = 48915, .greekCode = 31, .flamsteed = 9, .constellation = 14,
                   .ra = 0x01020304, .pmRA = -570, .dec = -0x0A0B0C0D, .pmDec = -1223, .magnitude = 6, .colour = 20,
                   .spectral = 716, .parallax = 411, .noteOffset = 389285}),
            (std::vector<uint8_t>{0xBB, 0x49, 0x13, 0xBF, 0x00, 0x00, 0x1F, 0x09, 0x0E, 0x04, 0x03,
                                  0x02, 0x01, 0xC6, 0xFD, 0xF3, 0xF3, 0xF4, 0xF5, 0x39, 0xFB, 0x06,
                                  0x14, 0xCC, 0x02, 0x9B, 0x01, 0xA5, 0xF0, 0x05, 0x00}));
}

TEST(SaoRecords, FileIgnoresNumbersOutsideItsRange) {
  // Record k is SAO number k (checked on the built file); numbers 0 and
  // 258,998 fall outside the 258,997 records of 31 bytes.
  std::map<int, SaoRecord> recs;
  recs[0].hd = 33;
  recs[258998].hd = 44;
  const std::vector<uint8_t> f = EncodeSaoFile(recs);
  EXPECT_EQ(f.size(), 258997u * 31u);
  EXPECT_EQ(std::count(f.begin(), f.end(), 0), std::ptrdiff_t(f.size()));
}

TEST(SaoRecords, MadeFromACatalogueStarWithNoValueMarksForTheMissing) {
  VariableInfo v;
  // pmDec beyond the 16-bit field; designation gamma1, Flamsteed 9, CMa.
  const CatalogueStar s{.ra = 6.75247 * 15 * kDeg, .dec = -60 * kDeg, .pmRA = 100, .pmDec = -40000, .mag = -1.46,
                        .bv = 0.0, .parallax = 379.21, .spectral = "A1V", .designation = {3, 1, 9, 14},
                        .variable = &v};
  int clamped = 0;
  const SaoRecord r = MakeSaoRecord(s, CrossEntry{1, "", 151881, 48915, 2491}, &clamped);
  // Units of 2π / 2147483647 (0.0006"): half a unit of rounding.
  EXPECT_NEAR(FileUnitsToAngle(r.ra), 6.75247 * 15 * kDeg, 1.5e-9);
  EXPECT_NEAR(FileUnitsToAngle(r.dec), -60 * kDeg, 1.5e-9);
  // Greek code: letter 3, index digit 1. μα = 100 / cos 60° = 200 mas/yr.
  // Magnitude (−1.46 + 2) × 10 = 5.4 → 5; B−V (0 + 0.5) × 40 = 20.
  // Parallax word: (0.37921" + 0.032) × 1000 = 411.21 → 411.
  EXPECT_EQ(Bytes(r), Bytes({.hr = 2491, .variable = true, .hd = 48915, .greekCode = 31, .flamsteed = 9,
                             .constellation = 14, .ra = r.ra, .pmRA = 200, .dec = r.dec, .pmDec = -32768,
                             .magnitude = 5, .colour = 20, .spectral = 315, .parallax = 411}));
  EXPECT_EQ(clamped, 0);  // only right ascension motions are counted

  // Nothing known but the place; 200 / cos 89.99° is far beyond 32767.
  const SaoRecord none = MakeSaoRecord(CatalogueStar{.dec = 89.99 * kDeg, .pmRA = 200}, {1, "", 1, 0, 0}, &clamped);
  EXPECT_EQ(Bytes(none), Bytes({.hr = 0, .variable = false, .hd = 0, .greekCode = 0, .ra = 0, .pmRA = 32767,
                                .dec = none.dec, .magnitude = 0, .colour = 0, .spectral = 0, .parallax = 65535}));
  EXPECT_EQ(clamped, 1);
}

TEST(SpectralCodes, ClassSubclassAndLuminosity) {
  const std::pair<const char*, int> cases[] = {
      {"A0", 300},         {"K?", 600},      {"G2V", 525},   {"K0III", 603}, {"B2IV-V", 224},
      {"M1-M2Ia-Ibe", 716},  // Ia = 6
      {"F7Ib-F8Ib", 477},    // Ib = 7
      {"K5Iab", 651},        // Iab counts as I
      {"kA2hA5mA7V", 325},   // lower-case prefix skipped
      {"M2III+B1eq", 723},   // the companion is not read
      {"S3,5e-S8,8e(M7e)", 1030},
      {"C6,4", 960},  // carbon star as N
      {"WC8", 1380},       {"WN7", 1470},    {"DA", 0},      {"", 0}};
  for (const auto& [mk, code] : cases) EXPECT_EQ(SpectralCode(mk), code) << mk;
}

TEST(StarNotes, OffsetsAreOneBasedAndNotesEndInABar) {
  NotesText n;
  EXPECT_EQ(n.Add({}), 0u);  // nothing to say: no note
  EXPECT_EQ(n.Add({"N:   Sirius", "ID:  alpha CMa"}), 1u);
  EXPECT_EQ(n.Add({"N:   Ca\xc3\xafn|x~y"}), 28u);  // UTF-8 "ï"; separators in text become blanks
  EXPECT_EQ(n.Text(), std::string("N:   Sirius~ID:  alpha CMa|N:   Ca\xefn x y|"));
}

TEST(StarNotes, LinesCarryNameDesignationVariabilityAndDuplicity) {
  VariableInfo v{"\xce\xb1 Ori", "SRC", 0.0, 1.3, "V", 2335, "M1"};
  DoubleInfo d{"05552+0724", 2014, 47, 148.7};
  const CatalogueStar s{.designation = {1, 0, 58, 60}, .name = "Betelgeuse", .variable = &v, .duplicity = &d};
  // The name starts at the sixth character of an "N:" line.
  EXPECT_EQ(StarNoteLines(s), (std::vector<std::string>{
                                  "N:   Betelgeuse", "ID:  alpha Ori (58 Ori)",
                                  "V:   alpha Ori, type SRC, 0.00 to 1.30 V, period 2335 d",
                                  "D:   WDS 05552+0724, separation 148.7\", PA 47 deg (2014)"}));
  EXPECT_TRUE(StarNoteLines(CatalogueStar{}).empty());
}

// Each star of the SAO file has a note of its own that carries its SAO
// number as the object search looks for it; the companion of a double and
// a number whose star the table lacks get no record.
TEST(StarNotes, EachSaoStarsNoteCarriesItsNumber) {
  StarTable t;
  t.byHip[10] = CatalogueStar{.hip = 10, .name = "Named"};
  t.byHip[20] = CatalogueStar{.hip = 20};
  const std::vector<CrossEntry> cross = {
      {10, "", 49941, 0, 0}, {20, "A", 100, 0, 0}, {20, "B", 101, 0, 0}, {30, "", 5, 0, 0}};
  const SaoFileContent f = BuildSaoFile(t, cross);
  ASSERT_EQ(f.records.size(), 2u);
  EXPECT_EQ(std::tuple(f.components, f.noPosition), std::tuple(1, 1));
  const std::string& text = f.notes.Text();
  auto note = [&](int sao) {
    const std::size_t at = f.records.at(sao).noteOffset - 1;
    return text.substr(at, text.find('|', at) - at);
  };
  EXPECT_EQ(note(49941), "N:   Named~C:   SAO49941");
  EXPECT_EQ(note(100), "C:   SAO100");
}

TEST(TychoRecords, FieldsAndMotion) {
  const TychoRecord r = MakeTychoRecord(1.0, 45 * kDeg, 100, -50, 9.46, 1234);
  uint8_t b[kTychoRecordSize];
  EncodeTychoRecord(r, b);
  EXPECT_EQ(platform::GetU16(b), 0);
  EXPECT_EQ(platform::GetU16(b + 2), 0);
  EXPECT_EQ(b[4], 0);
  EXPECT_EQ(platform::GetU32(b + 5), 1234u);
  EXPECT_NEAR(FileUnitsToAngle(platform::GetI32(b + 9)), 1.0, 1.5e-9);  // half a file unit
  // 100 / cos 45° = 141.4 → 141.
  EXPECT_EQ(platform::GetI16(b + 13), 141);
  EXPECT_NEAR(FileUnitsToAngle(platform::GetI32(b + 15)), 45 * kDeg, 1.5e-9);
  EXPECT_EQ(platform::GetI16(b + 19), -50);
  EXPECT_EQ(b[21], 115);  // (9.46 + 2) × 10 = 114.6 → 115
  EXPECT_EQ(EncodeTychoFile({r, r}).size(), 44u);
  // A negative right ascension is brought into [0, 2π).
  EXPECT_NEAR(FileUnitsToAngle(MakeTychoRecord(-0.5, 0, 0, 0, 5, 0).ra), kTwoPi - 0.5, 1.5e-9);
}

TEST(FileUnits, ConversionsSaturate) {
  // Readers refuse positions off the sky; the conversions themselves never
  // overflow whatever they get.
  EXPECT_EQ(AngleToFileUnits(1e300), INT32_MAX);
  EXPECT_EQ(AngleToFileUnits(-1e300), INT32_MIN);
  EXPECT_EQ(AngleToFileUnits(NAN), 0);
  EXPECT_EQ(ClampToI16(NAN), 0);
  EXPECT_EQ(ClampToI16(-1e9), INT16_MIN);
  EXPECT_EQ(MagnitudeByte(NAN), 0);
  EXPECT_EQ(MagnitudeByte(1e9), 255);
}

TEST(BrightStars, FortyFiveRecordsOf55Bytes) {
  std::vector<BrightStar> stars(45, BrightStar{1.5, -0.25, 0.03, "Vega"});
  stars[3].name = std::string(40, 'x');
  const std::vector<uint8_t> f = EncodeBrightStars(stars);
  ASSERT_EQ(f.size(), 45u * 55u);
  EXPECT_EQ(platform::GetF64(f.data()), 1.5);
  EXPECT_EQ(platform::GetF64(f.data() + 8), -0.25);
  EXPECT_EQ(platform::GetF64(f.data() + 16), 0.03);
  EXPECT_EQ(platform::GetShortString(f.data() + 24, 30), "Vega");
  EXPECT_EQ(f[3 * 55 + 24], 30);  // cut to 30 characters
  stars.pop_back();
  EXPECT_THROW(EncodeBrightStars(stars), SourceError);
}

TEST(StarSources, TextListsAreRead) {
  TempDir dir;
  WriteText(dir.File("cross.dat"), "# HIP\t\tSAO\tHD\tHR\n32349\t\t151881\t48915\t2491\n3885\tB\t74295\t4757\t230\n7\t\t\t\t\n");
  const auto cross = ReadCrossIndex(dir.File("cross.dat"));
  ASSERT_EQ(cross.size(), 3u);
  EXPECT_EQ(cross[0].sao, 151881);
  EXPECT_EQ(cross[0].hr, 2491);
  EXPECT_EQ(cross[1].component, "B");
  EXPECT_EQ(cross[2].sao, 0);
  // Components sharing one Hipparcos entry (as Mintaka's D, Mizar's A and
  // C): the primary alone carries the star into the SAO file.
  const std::vector<CrossEntry> doubles = {{25930, "D", 132221, 36485, 1851}, {25930, "", 132220, 36486, 1852},
                                           {65378, "C", 28738, 116657, 5055}, {65378, "A", 28737, 116656, 5054},
                                           {7, "", 0, 0, 0},                    {3885, "B", 74295, 4757, 230}};
  std::vector<int> owners;
  for (const CrossEntry* e : SaoOwners(doubles)) owners.push_back(e->sao);
  EXPECT_EQ(owners, (std::vector<int>{132220, 28737, 74295}));

  WriteText(dir.File("name.fab"), " 32349|\xce\xb1_CMa\n 32349|9_CMa\n  9640|\xce\xb3" "1_And\n  1000|b_Car\n  2000|\xce\xb1_Xyz\n"
                                  "104214|61_Cyg_A\n 43100|\xce\xb9_Cnc_B\n 43100|48_Cnc_B\n  3000|61_Cyg_1\n");
  const auto des = ReadDesignations(dir.File("name.fab"));
  ASSERT_EQ(des.count(32349), 1u);
  EXPECT_EQ(des.at(32349).greek, 1);
  EXPECT_EQ(des.at(32349).flamsteed, 9);
  EXPECT_EQ(des.at(32349).constellation, 14);  // Canis Major
  EXPECT_EQ(des.at(9640).greek, 3);
  EXPECT_EQ(des.at(9640).greekIndex, 1);
  EXPECT_EQ(des.count(1000), 0u);  // Latin letters carry no Greek code
  EXPECT_EQ(des.count(2000), 0u);  // unknown constellation
  EXPECT_EQ(des.count(3000), 0u);  // no component
  // A double listed by component: the letter follows the constellation in
  // the note, so "61 Cyg" and "iota Cnc" find the star.
  for (const int hip : {104214, 43100}) {
    ASSERT_EQ(des.count(hip), 1u) << hip;
    EXPECT_EQ(StarNoteLines(CatalogueStar{.designation = des.at(hip)}).at(0),
              hip == 104214 ? "ID:  61 Cyg A" : "ID:  iota Cnc B (48 Cnc B)");
  }

  WriteText(dir.File("pm.dat"), "# pm\n32349\t-546.01\t-1223.07\n");
  EXPECT_DOUBLE_EQ(ReadProperMotions(dir.File("pm.dat")).at(32349).dec, -1223.07);

  WriteText(dir.File("gcvs.dat"), "27989\t\xce\xb1 Ori\tSRC\t0.0\t0\t1.3\t\tV\t\t2335.\t\tM1-M2Ia-Ibe\n");
  const auto vars = ReadVariables(dir.File("gcvs.dat"));
  EXPECT_EQ(vars.at(27989).type, "SRC");
  EXPECT_DOUBLE_EQ(vars.at(27989).period, 2335.0);
  EXPECT_EQ(vars.at(27989).spectrum, "M1-M2Ia-Ibe");

  WriteText(dir.File("wds.dat"), "# HIP\n32349\t06451-1643\t2011\t61\t125.7\n");
  EXPECT_DOUBLE_EQ(ReadDoubles(dir.File("wds.dat")).at(32349).sep, 125.7);
}

TEST(StarSources, GeoJsonStarsAndNamesWithStarsOffTheSkySkippedAndCounted) {
  TempDir dir;
  WriteText(dir.File("stars.json"),
            R"({"type":"FeatureCollection","features":[
               {"type":"Feature","id":32349,"properties":{"mag":-1.44,"bv":"0.009"},"geometry":{"type":"Point","coordinates":[101.2872,-16.7161]}},
               {"type":"Feature","id":70890,"properties":{"mag":11.01,"bv":""},"geometry":{"type":"Point","coordinates":[-142.571,-62.6795]}},
               {"type":"Feature","id":1,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[10,-90]}},
               {"type":"Feature","id":2,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[10,90.5]}},
               {"type":"Feature","id":3,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[10,-1e300]}},
               {"type":"Feature","id":4,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[1e30,10]}},
               {"type":"Feature","id":5,"properties":{"mag":5},"geometry":{"type":"Point","coordinates":[-400,10]}}]})");
  int offSky = 0;
  const auto pos = ReadGeoJsonStars(dir.File("stars.json"), &offSky);
  EXPECT_EQ(offSky, 4);
  ASSERT_EQ(pos.size(), 3u);
  EXPECT_EQ(pos.count(1), 1u);  // the pole itself is on the sky
  EXPECT_DOUBLE_EQ(pos.at(32349).bv, 0.009);
  EXPECT_DOUBLE_EQ(pos.at(70890).raDeg, 360 - 142.571);  // folded longitude back to 0..360
  EXPECT_TRUE(std::isnan(pos.at(70890).bv));
  WriteText(dir.File("names.json"), R"({"32349":{"name":"Sirius","bayer":"α"},"5":{"name":""}})");
  const auto names = ReadGeoJsonStarNames(dir.File("names.json"));
  EXPECT_EQ(names.at(32349), "Sirius");
  EXPECT_EQ(names.count(5), 0u);
  WriteText(dir.File("bad.json"), "{not json");
  EXPECT_THROW(ReadGeoJsonStars(dir.File("bad.json")), SourceError);
  EXPECT_THROW(ReadGeoJsonStars(dir.File("missing.json")), SourceError);
}

namespace {

// A star data file of the self-describing binary form with one region.
std::vector<uint8_t> BinaryStarFile(const std::vector<std::array<int32_t, 6>>& stars, const char* spectral) {
  platform::ByteWriter w;
  std::string text(124, ' ');
  w.Raw(text.data(), text.size());
  w.U8('S');
  w.U8('K');
  w.U8(1);
  w.U16(11);
  const struct {
    const char* name;
    int size, type, scale;
  } fields[] = {{"RA", 4, 5, 1000000}, {"Dec", 4, 5, 100000}, {"dRA", 4, 5, 10},     {"dDec", 4, 5, 10},
                {"parallax", 4, 5, 10}, {"HD", 4, 5, 10},      {"mag", 2, 3, 100},     {"bv_index", 2, 3, 100},
                {"spec_type", 2, 7, 0}, {"flags", 1, 0, 0},    {"unused", 1, 0, 100}};
  for (const auto& f : fields) {
    char name[10] = {};
    std::memcpy(name, f.name, std::strlen(f.name));
    w.Raw(name, 10);
    w.U8(uint8_t(f.size));
    w.U8(uint8_t(f.type));
    w.I32(f.scale);
  }
  const uint32_t dataStart = uint32_t(w.Size() + 4 + 12 + 5);
  w.U32(1);
  w.U32(0);
  w.U32(dataStart);
  w.U32(uint32_t(stars.size()));
  w.Zeros(5);
  for (const auto& s : stars) {
    for (int32_t v : s) w.I32(v);
    w.I16(int16_t(146));  // magnitude 1.46
    w.I16(int16_t(-5));   // B−V −0.05
    w.Raw(spectral, 2);
    w.U8(0);
    w.U8(0);
  }
  return w.Bytes();
}

}  // namespace

TEST(StarSources, BinaryStarsMoveToEpochJ2000) {
  TempDir dir;
  // RA 6 h, Dec +10°, proper motion 0 and +1000 mas/yr (1"/yr), parallax
  // 12.3 mas, HD 123.
  // A second star 3.6" from the north pole on RA 0 h, moving north by
  // 1"/yr: 8.75" carry it across the pole to 5.15" from it on RA 12 h.
  WriteFile(dir.File("stars.dat"),
            BinaryStarFile({{6000000, 1000000, 0, 10000, 123, 123}, {0, 8999900, 0, 10000, 0, 0}}, "B5"));
  const auto stars = ReadBinaryStars(dir.File("stars.dat"));
  ASSERT_EQ(stars.size(), 2u);
  // The step is taken straight in the tangent plane: it departs from the
  // great circle by about (8.75")³/3, some 1e-14 rad.
  EXPECT_NEAR(stars[1].ra, 180 * kDeg, 1e-9);
  EXPECT_NEAR(stars[1].dec, (90 - 5.15 / 3600) * kDeg, 1e-10);
  const BinaryStar& s = stars[0];
  EXPECT_NEAR(s.ra, 90 * kDeg, 1e-12);
  // The catalogue epoch J1991.25 moved by 8.75 years: +8.75".
  EXPECT_NEAR(s.dec, (10 + 8.75 / 3600) * kDeg, 1e-10);
  EXPECT_DOUBLE_EQ(s.pmDec, 1000.0);
  EXPECT_DOUBLE_EQ(s.parallax, 12.3);
  EXPECT_EQ(s.hd, 123);
  EXPECT_DOUBLE_EQ(s.mag, 1.46);
  EXPECT_DOUBLE_EQ(s.bv, -0.05);
  EXPECT_EQ(s.spectral, "B5");
  // A file in the other byte order is refused.
  std::vector<uint8_t> swapped = BinaryStarFile({}, "B5");
  std::swap(swapped[124], swapped[125]);
  WriteFile(dir.File("swapped.dat"), swapped);
  EXPECT_THROW(ReadBinaryStars(dir.File("swapped.dat")), SourceError);
  // A region that reaches past the end of the file is refused.
  std::vector<uint8_t> cut = BinaryStarFile({{0, 0, 0, 0, 0, 0}}, "A0");
  cut.resize(cut.size() - 1);
  WriteFile(dir.File("cut.dat"), cut);
  EXPECT_THROW(ReadBinaryStars(dir.File("cut.dat")), SourceError);
}

TEST(StarMerge, BinaryStarsMatchByHdThenByPosition) {
  StarSources src;
  src.positions[1] = {90.0, 10.0, 5.0, kNoValue};
  src.positions[2] = {180.0, -20.0, 6.0, 0.5};
  src.cross = {{1, "", 100, 555, 0}, {2, "", 200, 0, 0}};
  src.names[1] = "Alpha";
  // The first 3.6" away: within the HD match radius; the second 2" away.
  src.binaryStars = {{.ra = 90.001 * kDeg, .dec = 10 * kDeg, .parallax = 20, .hd = 555, .bv = 1.1, .spectral = "K2"},
                     {.ra = 180 * kDeg, .dec = (-20 + 2.0 / 3600) * kDeg, .spectral = "G5"},
                     {.ra = 10 * kDeg, .dec = 10 * kDeg}};
  const StarTable t = MergeStars(src);
  EXPECT_EQ(t.matchedByHd, 1);
  EXPECT_EQ(t.matchedByPosition, 1);
  ASSERT_EQ(t.unmatched.size(), 1u);
  EXPECT_EQ(t.byHip.at(1).spectral, "K2");
  EXPECT_DOUBLE_EQ(t.byHip.at(1).parallax, 20.0);
  EXPECT_DOUBLE_EQ(t.byHip.at(1).bv, 1.1);  // filled where the list had none
  EXPECT_EQ(t.byHip.at(1).name, "Alpha");
  EXPECT_EQ(t.byHip.at(2).spectral, "G5");
  EXPECT_DOUBLE_EQ(t.byHip.at(2).bv, 0.5);  // the list's own colour kept
}

namespace {

ZoneStar Zoned(int hip, double raDeg, double decDeg, double mag) {
  return ZoneStar{.hip = hip, .ra = raDeg * kDeg, .dec = decDeg * kDeg, .hasMotion = true, .mag = mag};
}

}  // namespace

TEST(StarMerge, ZonedCataloguesCorrectPositionsFarFromTheirs) {
  const double arcsec = 1.0 / 3600.0;
  StarSources src;
  // A list entry whose declination lost its minus sign, 1.9° from the
  // catalogue's record of the star.
  src.positions[10] = {128.1036, 0.9509, 10.15, kNoValue};
  // The same star in both, 0.3" apart.
  src.positions[11] = {50.0, 20.0, 6.0, kNoValue};
  // A star of the list only.
  src.positions[12] = {300.0, -40.0, 8.0, kNoValue};
  // A fast star that the catalogue keeps at epoch J1991.25: moving north by
  // 7"/yr it is 7 × 8.75 = 61.25" further north in the list (J2000).
  src.positions[13] = {200.0, 61.25 * arcsec, 7.4, kNoValue};
  // A double star: its brighter record agrees, the fainter lies 90" away.
  src.positions[14] = {10.0, 60.0, 5.0, kNoValue};
  // A star whose three records all lie far off: the brightest is taken,
  // neither the nearest nor the first nor the last.
  src.positions[15] = {80.0, 5.0, 9.0, kNoValue};
  src.cross = {{15, "", 300, 0, 0}};
  ZoneCatalogue cat;
  cat.magStep = 0.05;
  cat.stars = {Zoned(10, 128.10358, -0.950917, 10.15),
               Zoned(11, 50.0, 20.0 + 0.3 * arcsec, 6.0),
               Zoned(13, 200.0, 0.0, 7.4),
               Zoned(14, 10.0, 60.0 + 90 * arcsec, 7.0),
               Zoned(15, 80.2, 5.0, 9.6),
               Zoned(16, 120.0, 30.0, 9.0)};  // not in the list
  cat.stars[2].pmDec = 7000;
  ZoneCatalogue more;  // a second catalogue with further records
  more.stars = {Zoned(14, 10.0, 60.0, 5.0), Zoned(15, 80.0, 5.2, 8.9), Zoned(15, 79.7, 5.1, 9.8)};
  src.zoned = {&cat, &more};
  // A binary-file star at the true place of star 10, without an HD number:
  // it matches by position once the position is corrected.
  src.binaryStars = {{.ra = 128.10358 * kDeg, .dec = (-0.950917 + 2 * arcsec) * kDeg, .spectral = "K0"}};

  const StarTable t = MergeStars(src);
  EXPECT_EQ(t.zoneCorrected, (std::set<int>{10, 15}));
  // Corrected: the catalogue's place, to rounding.
  EXPECT_NEAR(t.byHip.at(10).ra, 128.10358 * kDeg, 1e-12);
  EXPECT_NEAR(t.byHip.at(10).dec, -0.950917 * kDeg, 1e-12);
  EXPECT_NEAR(t.byHip.at(15).ra, 80.0 * kDeg, 1e-12);
  EXPECT_NEAR(t.byHip.at(15).dec, 5.2 * kDeg, 1e-12);
  EXPECT_DOUBLE_EQ(t.byHip.at(10).mag, 10.15);  // only the position changes
  // Kept: the list's own positions.
  EXPECT_DOUBLE_EQ(t.byHip.at(11).dec, 20.0 * kDeg);
  EXPECT_DOUBLE_EQ(t.byHip.at(12).ra, 300.0 * kDeg);
  EXPECT_DOUBLE_EQ(t.byHip.at(12).dec, -40.0 * kDeg);
  EXPECT_DOUBLE_EQ(t.byHip.at(13).dec, 61.25 * arcsec * kDeg);
  EXPECT_DOUBLE_EQ(t.byHip.at(14).dec, 60.0 * kDeg);
  EXPECT_EQ(t.byHip.count(16), 0u);
  EXPECT_EQ(t.matchedByPosition, 1);
  EXPECT_TRUE(t.unmatched.empty());
  EXPECT_EQ(t.byHip.at(10).spectral, "K0");
  // tycho2.dat counts its corrected stars; star 15 has an SAO number.
  EXPECT_EQ(BuildTychoFile(t, {15}, {}).corrected, 1);
}

TEST(TychoFile, FaintStarsFollowAndNoStarIsDoubled) {
  StarTable t;
  t.byHip[1] = {.hip = 1, .ra = 10 * kDeg, .dec = 10 * kDeg, .mag = 6.0};
  t.byHip[2] = {.hip = 2, .ra = 20 * kDeg, .dec = 20 * kDeg, .mag = 6.0};
  t.unmatched = {{.ra = 30 * kDeg, .dec = 30 * kDeg, .mag = 7.5}};  // a KStars star

  const double arcsec = 1.0 / 3600.0;
  ZoneCatalogue bright;
  bright.magStep = 0.05;
  bright.stars = {
      Zoned(1, 10.001, 10, 6.0),                // a Hipparcos star of the table
      Zoned(0, 10, 10 + 3 * arcsec, 9.0),       // 3" from the SAO star: the same star
      Zoned(0, 20, 20 - 4 * arcsec, 9.0),       // 4" from the Hipparcos star without SAO number
      Zoned(0, 30, 30 + 2 * arcsec, 7.5),       // the KStars star again
      Zoned(0, 30, 30 + 8 * arcsec, 9.03),      // 8" away: a star of its own
      Zoned(99, 50, -60, 9.5),                  // a Hipparcos star missing from the table
      Zoned(99, 50, -60 + 20 * arcsec, 10.0)};  // its second component
  bright.stars[4].pmRA = 100;  // μα·cos δ at δ = 30°
  bright.stars[4].pmDec = -40;
  ZoneCatalogue faint;
  faint.magStep = 0.05;
  faint.stars = {Zoned(0, 30, 30 + 9 * arcsec, 10.4)};  // 1" from a star of the other catalogue
  faint.stars[0].hasMotion = false;

  const TychoFileContent f = BuildTychoFile(t, {1}, {&bright, &faint});
  EXPECT_EQ(f.hipStars, 1);
  EXPECT_EQ(f.unmatchedStars, 1);
  EXPECT_EQ(f.zoneStars, 3);
  EXPECT_EQ(f.knownHip, 2);
  EXPECT_EQ(f.nearKnown, 3);
  ASSERT_EQ(f.records.size(), 5u);
  // The Hipparcos star without SAO number, the KStars star, then the new
  // stars in catalogue order.
  EXPECT_EQ(f.records[0].carried, 2u);
  EXPECT_NEAR(FileUnitsToAngle(f.records[1].dec), 30 * kDeg, 1e-8);
  const TychoRecord& own = f.records[2];
  EXPECT_EQ(own.carried, 0u);
  EXPECT_NEAR(FileUnitsToAngle(own.dec), (30 + 8 * arcsec) * kDeg, 1e-8);
  EXPECT_EQ(own.pmRA, 115);  // 100 / cos 30° = 115.47
  EXPECT_EQ(own.pmDec, -40);
  // Magnitude 9.03 stored as the lower edge of a 0.05 step: taken as 9.055,
  // byte (9.055 + 2) × 10 = 110.55 → 111.
  EXPECT_EQ(own.brightness, 111);
  EXPECT_EQ(f.records[3].carried, 99u);
  EXPECT_NEAR(FileUnitsToAngle(f.records[4].dec), (30 + 9 * arcsec) * kDeg, 1e-8);
  EXPECT_EQ(f.records[4].pmRA, 0);  // no motion in the record
}

// --- Zoned star catalogues -------------------------------------------------------

namespace {

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
  return BitPacker(28).Put(hip, 24).Put(component, 8).Put(x0, 32).Put(x1, 32).Put(bv, 8).Put(mag, 8)
      .Put(0, 16).Put(dx0, 32).Put(dx1, 32).Put(0, 32).Bytes();
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
                              {{79, Record1(0, 0, 0, 0, 0, 0)}, {0, Record1(0, 0, 0, 0, 0, 0)},
                               {3, Record1(0, 0, 0, 0, 0, 0)}, {7, Record1(0, 0, 0, 0, 0, 0)}});
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
