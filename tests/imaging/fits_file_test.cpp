// FITS reader and writer: round trips checked by astropy.io.fits and
// fitsverify (independent readers), files written by astropy read back,
// the BZERO rules, and refusal of damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <QImage>

#include "imaging/fits.h"
#include "imaging/fits_bitmap.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

using namespace imaging;

namespace {

std::string RunCommand(const std::string& cmd) {
  std::string out;
  if (std::FILE* p = popen((cmd + " 2>&1").c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

bool HaveAstropy() { return RunCommand(std::string(NOCTRA_PYTHON) + " -c 'import astropy.io.fits; print(7)'") == "7\n"; }

TFitsHeader MakeHeader(int32_t bitPix, int32_t save, int w, int h, int planes) {
  TFitsHeader hd = NewFitsHeader(bitPix, w, h, planes);
  hd.SaveBitPix = save;
  hd.Range = 255;
  return hd;
}

void Put(FitsData& d, int32_t bitPix, int64_t i, double v) {
  switch (bitPix) {
    case 8: d[i] = uint8_t(v); break;
    case 16: { uint16_t x = uint16_t(v); std::memcpy(&d[2 * i], &x, 2); break; }
    case 32: { uint32_t x = uint32_t(v); std::memcpy(&d[4 * i], &x, 4); break; }
    case -32: { float x = float(v); std::memcpy(&d[4 * i], &x, 4); break; }
    case -64: std::memcpy(&d[8 * i], &v, 8); break;
  }
}

bool LoadFile(const std::string& file, TFitsHeader& h, FitsData& d) {
  std::ifstream in(file, std::ios::binary);
  return LoadFitsHeader(in, h, d);
}

// An 80-column card.
std::string Card(const std::string& key, const std::string& value) {
  std::string c = key;
  c.resize(8, ' ');
  if (!value.empty()) c += "= " + value;
  c.resize(80, ' ');
  return c;
}

// A hand-made file: the cards, END, padding, then the raw data bytes.
std::string HandFile(const std::vector<std::string>& cards, const std::string& dataBytes) {
  std::string s;
  for (const auto& c : cards) s += c;
  s += Card("END", "");
  s.resize((s.size() + 2879) / 2880 * 2880, ' ');
  s += dataBytes;
  s.resize((s.size() + 2879) / 2880 * 2880, '\0');
  return s;
}

}  // namespace

struct RoundTripCase {
  const char* name;
  int32_t bitPix, save;
  int planes;
  std::vector<double> values;    // cycled over the image
  std::vector<double> expected;  // physical values after saving (empty: same)
};

// Each case is written, checked by astropy, and read back by our reader.
TEST(FitsFile, RoundTripsAreReadAlikeByAstropyAndByTheReader) {
  NOCTRA_REQUIRE_TOOL(HaveAstropy(), "astropy", "python3-astropy");
  // fitsverify checks each file as well where it is installed (always under CI).
  const bool fitsverify = std::string(NOCTRA_FITSVERIFY).size() > 0 &&
                          std::string(NOCTRA_FITSVERIFY) != "NOCTRA_FITSVERIFY-NOTFOUND";
  if (!fitsverify && testing_support::UnderCI())
    ADD_FAILURE() << "fitsverify is missing under CI: install the Debian package fitsverify";
  const std::vector<RoundTripCase> cases = {
      {"u16", 16, 16, 1, {0, 1, 32767, 32768, 65535, 1234}, {}},
      {"u8rgb", 8, 8, 3, {0, 7, 128, 255, 99}, {}},
      {"i32", 32, 32, 1, {0, 1, 2147483647, 70000, 5}, {}},
      {"f32", -32, -32, 1, {1.25, -3.5, 1e6, 0.1f, 65535.5}, {}},
      {"f64", -64, -64, 3, {1.0 / 3, -2.5e-7, 1e300, 42}, {}},
      {"u16_as_i16", 16, -16, 1, {0, 5, 40000, 32767}, {0, 5, 32767, 32767}},
      {"f32_as_u16", -32, 16, 1, {-5, 0.5, 70000, 1000}, {0, 1, 65535, 1000}},
  };
  testing_support::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Unsigned 16-bit data read in more than one slice of a megabyte.
    const bool big = c.bitPix == 16 && c.save == 16;
    const int w = big ? 1031 : 7, h = big ? 517 : 5;
    TFitsHeader hd = MakeHeader(c.bitPix, c.save, w, h, c.planes);
    hd.Filter = "A very long filter name of forty-five chars!!";
    hd.Instrument = "It's a camera";
    hd.DateObs = FitsDateText(2026, 3, 7);
    hd.TimeObs = FitsTimeText(12, 3, 4, 5);
    for (int i = 0; i < 10; ++i) hd.Comments[i] = "comment line " + std::to_string(i);
    hd.Background = c.bitPix == 8 ? 100 : 1200;
    FitsData d(std::size_t(hd.DataBlocks * kFitsBlock), 0);
    const int64_t n = int64_t(w) * h * c.planes;
    std::ofstream expect(dir.File(std::string(c.name) + ".txt"));
    expect.precision(17);
    std::vector<double> want(n);
    for (int64_t i = 0; i < n; ++i) {
      const std::size_t k = std::size_t(i % c.values.size());
      Put(d, c.bitPix, i, c.values[k]);
      want[i] = c.expected.empty() ? FitsValue(d.data(), c.bitPix, i) : c.expected[k];
      expect << want[i] << "\n";
    }
    expect.close();
    const std::string file = dir.File(std::string(c.name) + ".fts");
    TFitsHeader copy = hd;
    ASSERT_TRUE(SaveFitsHeader(file, copy, d));
    const std::string out = RunCommand(std::string(NOCTRA_PYTHON) + " " + NOCTRA_FITS_CHECK + " check " + file + " " +
                                dir.File(std::string(c.name) + ".txt") +
                                " 'FILTER=A very long filter name of forty-five chars!!'"
                                " \"INSTRUME=It's a camera\" DATE-OBS=2026-03-07 TIME-OBS=12:03:04.005");
    EXPECT_EQ(out, "OK\n");
    if (fitsverify) {
      const std::string v = RunCommand(std::string(NOCTRA_FITSVERIFY) + " -q -e " + file);
      EXPECT_NE(v.find("OK"), std::string::npos) << v;
    }

    TFitsHeader back;
    FitsData bd;
    ASSERT_TRUE(LoadFile(file, back, bd));
    EXPECT_EQ(back.NAxis3, c.planes);
    EXPECT_EQ(back.Filter, hd.Filter);
    EXPECT_EQ(back.Comments[9], "comment line 9");
    // The black level is a physical value: it survives the BZERO of 16-bit files.
    EXPECT_EQ(back.Background, hd.Background);
    const int32_t readType = c.save == -16 ? 16 : c.save;
    ASSERT_EQ(back.BitPix, readType);
    for (int64_t i = 0; i < n; ++i) {
      const double got = FitsValue(bd.data(), back.BitPix, i);
      ASSERT_NEAR(got, want[i], std::fabs(want[i]) * 1e-7) << "element " << i;
    }
  }
}

// Files written by astropy for every BITPIX, plain and scaled, negative
// values included, read as astropy reads them; saved in every console type
// each reads back, the value rounded up and held within the integer types.
TEST(FitsFile, AstropyFilesOfEveryTypeReadAndSaveInEveryConsoleType) {
  NOCTRA_REQUIRE_TOOL(HaveAstropy(), "astropy", "python3-astropy");
  testing_support::TempDir dir;
  std::istringstream names(RunCommand(std::string(NOCTRA_PYTHON) + " " + NOCTRA_FITS_CHECK + " cases " + dir.File("")));
  int count = 0;
  for (std::string name; names >> name; ++count) {
    SCOPED_TRACE(name);
    std::vector<double> want;
    std::ifstream values(dir.File(name + ".txt"));
    for (double v; values >> v;) want.push_back(v);
    TFitsHeader h, back;
    FitsData d, bd;
    ASSERT_TRUE(LoadFile(dir.File(name + ".fits"), h, d));
    EXPECT_EQ(h.ExposureTime, 12.5);
    EXPECT_EQ(h.Filter, "Red / wide");
    EXPECT_EQ(h.Background, 3.0);
    ASSERT_EQ(int64_t(want.size()), int64_t(h.NAxis1) * h.NAxis2 * h.NAxis3);
    for (std::size_t i = 0; i < want.size(); ++i)
      ASSERT_NEAR(FitsValue(d.data(), h.BitPix, i), want[i], std::fabs(want[i]) * 1e-6) << i;
    for (const int32_t save : {-16, 16, 32, -32}) {
      TFitsHeader copy = h;
      copy.SaveBitPix = save;
      ASSERT_TRUE(SaveFitsHeader(dir.File("saved.fts"), copy, d));
      ASSERT_TRUE(LoadFile(dir.File("saved.fts"), back, bd)) << save;
      const double lo = save == 32 ? INT32_MIN : 0, hi = save == 32 ? INT32_MAX : save == 16 ? 65535 : 32767;
      EXPECT_LE(back.Background + back.Range, save == -32 ? HUGE_VAL : hi + 1) << save;
      for (std::size_t i = 0; i < want.size(); ++i) {
        const double v = FitsValue(d.data(), h.BitPix, i);
        ASSERT_EQ(FitsValue(bd.data(), back.BitPix, i), save == -32 ? float(v) : std::clamp(std::ceil(v), lo, hi)) << save;
      }
    }
  }
  EXPECT_EQ(count, 15);  // every BITPIX, plain and scaled
}

TEST(FitsFile, BzeroRulesOfSixteenBitFiles) {
  // Stored words 0x8000 and 0x7FFF with BZERO 32768 (0 and 65535).
  const std::string data("\x80\x00\x7f\xff", 4);
  std::string f = HandFile({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "2"), Card("NAXIS1", "2"),
                            Card("NAXIS2", "1"), Card("BZERO", "32768")},
                           data);
  std::istringstream in(f);
  TFitsHeader h;
  FitsData d;
  ASSERT_TRUE(LoadFitsHeader(in, h, d));
  // No display keywords: black 0, range the full 16-bit span.
  EXPECT_EQ(h.Background, 0);
  EXPECT_EQ(h.Range, 65536);

  // Saving type 16 writes BZERO 32768 right-justified and the words back.
  testing_support::TempDir dir;
  TFitsHeader copy = h;
  ASSERT_TRUE(SaveFitsHeader(dir.File("b.fts"), copy, d));
  const auto bytes = testing_support::ReadFile(dir.File("b.fts"));
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find(Card("BZERO", "               32768")), std::string::npos);
  EXPECT_EQ(text.substr(2880, 4), data);
}

// Every refusal says why (for the log) while the user is told the one text
// of a picture that is not valid.
TEST(FitsFile, RefusesDamagedAndUnacceptedFiles) {
  const std::vector<std::string> base = {Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "2"),
                                         Card("NAXIS1", "4"), Card("NAXIS2", "4")};
  const std::string full = HandFile(base, std::string(32, '\1'));
  struct Case {
    const char* name;
    std::string file;
    bool raises;
    std::string reason;
  };
  auto with = [&](const std::string& key, const std::string& value) {
    auto cards = base;
    for (auto& c : cards)
      if (c.rfind(key, 0) == 0) c = Card(key, value);
    return HandFile(cards, std::string(32, '\1'));
  };
  const std::string axes = ": only pictures of 2 axes (or 3 with 1 or 3 planes) are read";
  const std::vector<Case> cases = {
      {"empty", "", true, "the file is empty"},
      {"not FITS", "\x89PNG\r\n\x1a\n" + std::string(3000, 'x'), true,
       "not a FITS file: it does not begin with SIMPLE"},
      {"header cut", full.substr(0, 1000), true, "no END card: the file ends within its header"},
      {"no END", base[0] + std::string(1000 * 2880, ' '), true, "no END card in the first 1000 header blocks"},
      {"data cut", full.substr(0, 2880 + 20), true, "the data part is cut short: 20 of 32 bytes"},
      {"side 16384", with("NAXIS1", "16384"), false, "NAXIS1 = 16384: not within 1 to 16383"},
      {"side 0", with("NAXIS2", "0"), false, "NAXIS2 = 0: not within 1 to 16383"},
      {"bitpix 12", with("BITPIX", "12"), false, "BITPIX = 12: not one of 8, 16, 32, -32, -64"},
      {"bitpix 64", with("BITPIX", "64"), false, "BITPIX = 64: not one of 8, 16, 32, -32, -64"},
      {"not simple", with("SIMPLE", "F"), false, "SIMPLE = F: not a standard FITS file"},
      {"naxis 0", with("NAXIS", "0"), false, "NAXIS = 0" + axes},
      {"naxis 1", with("NAXIS", "1"), false, "NAXIS = 1" + axes},
      {"naxis2 text", with("NAXIS2", "'four'"), false, "NAXIS2 = four: not an integer"},
      {"no naxis2", HandFile({base[0], base[1], base[2], base[3]}, ""), false, "no NAXIS2 card"},
      {"two planes", HandFile({base[0], base[1], Card("NAXIS", "3"), base[3], base[4], Card("NAXIS3", "2")}, ""), false,
       "NAXIS3 = 2: only 1 or 3 planes are read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.file);
    TFitsHeader h;
    FitsData d(10, 1);
    std::string reason = "stale";
    if (c.raises) {
      try {
        LoadFitsHeader(in, h, d, nullptr, &reason);
        ADD_FAILURE() << "not refused";
      } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Fits image is not valid");
        EXPECT_EQ(e.Reason(), c.reason);
      }
    } else {
      EXPECT_FALSE(LoadFitsHeader(in, h, d, nullptr, &reason));
      EXPECT_EQ(reason, c.reason);
    }
    EXPECT_TRUE(d.empty());
    // The bitmap loader turns every refusal into "nothing loaded", with the
    // same reason.
    std::istringstream in2(c.file);
    TFitsBitmap bmp;
    try {
      bmp.LoadFromStream(in2);
      ADD_FAILURE() << "loaded";
    } catch (const EInvalidGraphic& e) {
      EXPECT_STREQ(e.what(), "Fits image is not valid");
      EXPECT_EQ(e.Reason(), c.reason);
    }
    EXPECT_FALSE(bmp.HasData());
    EXPECT_TRUE(bmp.Bitmap().IsNull());
  }
}

// BSCALE and BZERO that cannot give finite pixel values refuse the file,
// naming the keyword and its value as written: no number, a number beyond
// doubles, or a scaling beyond the in-memory type (single floats for 8-
// and 16-bit data, over every value the type holds; doubles for float
// data, over its finite values). Bounds just inside load, and BSCALE 0
// loads with every pixel BZERO and a warning.
TEST(FitsFile, ScalingThatCannotGiveFinitePixelsIsRefusedNamingTheKeyword) {
  const std::string words("\x00\x01\x7f\xff", 4);  // 16 bits: 1, 32767
  const std::string bytes("\x00\xff", 2);          // 8 bits: 0, 255
  const std::string doubles("\x42\x02\xa0\x5f\x20\x00\x00\x00\x7f\xf8\x00\x00\x00\x00\x00\x00", 16);  // 1e10, NaN
  const std::string longs(8, '\x7f');
  const struct {
    const char* bitPix;
    std::vector<std::string> scaling;  // keyword, value, ...
    const std::string& data;
    std::string refusal;  // empty: loads, with `values` and `warning`
    std::vector<double> values = {};
    std::string warning = "";
  } cases[] = {
      {"16", {"BSCALE", "NaN"}, words, "BSCALE = NaN is not a finite number"},
      {"16", {"BZERO", "Inf"}, words, "BZERO = Inf is not a finite number"},
      {"16", {"BSCALE", "1E400"}, words, "BSCALE = 1E400 is outside the range of double-precision numbers"},
      {"16", {"BZERO", "-1D400"}, words, "BZERO = -1D400 is outside the range of double-precision numbers"},
      {"16", {"BZERO", "1E300"}, words, "BZERO = 1E300 cannot be applied to 16-bit data"},
      {"8", {"BZERO", "-1E39"}, bytes, "BZERO = -1E39 cannot be applied to 8-bit data"},
      {"16", {"BSCALE", "1.1E34"}, words, "BSCALE = 1.1E34 cannot be applied to 16-bit data"},
      {"32", {"BSCALE", "1E300"}, longs, "BSCALE = 1E300 cannot be applied to 32-bit data"},
      {"-64", {"BSCALE", "1E300"}, doubles, "BSCALE = 1E300 cannot be applied to 64-bit floating-point data"},
      // Just inside: 3e38 + 32767 and 1e34 x 32768 are single floats; 1e10
      // x 1e298 is a double; NaN stays NaN.
      {"16", {"BZERO", "3E38"}, words, "", {double(float(3e38 + 1)), double(float(3e38 + 32767))}},
      {"16", {"BSCALE", "1E34", "BZERO", "0"}, words, "", {double(float(1e34)), double(float(1e34 * 32767))}},
      {"-64", {"BSCALE", "1E298"}, doubles, "", {1e308, NAN}},
      {"16", {"BSCALE", "0.0", "BZERO", "1000"}, words, "", {1000, 1000},
       "BSCALE = 0.0: every pixel has the value of BZERO, 1000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scaling[1]);
    std::vector<std::string> cards = {Card("SIMPLE", "T"), Card("BITPIX", c.bitPix), Card("NAXIS", "2"),
                                      Card("NAXIS1", "2"), Card("NAXIS2", "1")};
    for (std::size_t i = 0; i + 1 < c.scaling.size(); i += 2) cards.push_back(Card(c.scaling[i], c.scaling[i + 1]));
    std::istringstream in(HandFile(cards, c.data));
    TFitsHeader h;
    FitsData d;
    std::string warning = "?";
    try {
      ASSERT_TRUE(LoadFitsHeader(in, h, d, &warning));
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.what(), c.refusal);
      EXPECT_TRUE(d.empty());
      continue;
    }
    EXPECT_EQ(c.refusal, "") << "loaded";
    EXPECT_EQ(warning, c.warning);
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      const double v = FitsValue(d.data(), h.BitPix, int64_t(i));
      if (std::isnan(c.values[i])) EXPECT_TRUE(std::isnan(v)) << i;
      else EXPECT_DOUBLE_EQ(v, c.values[i]) << i;
    }
  }
}

// Pictures to show (the information windows' "Images" pages) other than
// FITS files go through the toolkit's readers; what cannot be shown gives
// its reason. (FITS files: the start-up tests, through the program's pages.)
TEST(FitsFile, PicturesToShowAreReadByTheirKindOrGiveTheReason) {
  testing_support::TempDir dir;
  testing_support::WriteText(dir.File("text.bmp"), "not a picture");
  QImage small(4, 2, QImage::Format_RGB32);
  small.fill(Qt::red);
  ASSERT_TRUE(small.save(QString::fromStdString(dir.File("small.bmp"))));
  std::string why;
  EXPECT_EQ(LoadPictureFile(dir.File("small.bmp"), why).size(), QSize(4, 2));
  // A pipe in a picture's place, FITS or not, is never opened.
  PipeInPlace bmp(dir.File("pipe.bmp")), fits(dir.File("pipe.fts"));
  const std::string pipe = "Image file not read: it is a named pipe, not a file";
  const std::pair<std::string, std::string> refused[] = {{"text.bmp", "Unknown image format"},
                                                         {"missing.fts", "Image file not found"},
                                                         {"pipe.bmp", pipe},
                                                         {"pipe.fts", pipe}};
  for (const auto& [file, reason] : refused) {
    EXPECT_TRUE(LoadPictureFile(dir.File(file), why).isNull()) << file;
    EXPECT_EQ(why, reason) << file;
  }
  EXPECT_FALSE(bmp.Opened() || fits.Opened());
}

TEST(FitsFile, OptionalKeywordFailureSetsReadErrorAndKeepsLaterDefaults) {
  std::istringstream in(HandFile({Card("SIMPLE", "T"), Card("BITPIX", "8"), Card("NAXIS", "2"), Card("NAXIS1", "1"),
                                  Card("NAXIS2", "1"), Card("EXPTIME", "30.0 / seconds"), Card("FOCALLEN", "x"),
                                  Card("FILTER", "'Red'")},
                                 "\5"));
  TFitsHeader h;
  FitsData d;
  ASSERT_TRUE(LoadFitsHeader(in, h, d));
  EXPECT_EQ(h.ExposureTime, 30.0);
  EXPECT_TRUE(h.ReadError);
  EXPECT_EQ(h.Filter, "");
}

TEST(FitsFile, ObservingDateAndTimeUseTheFitsForms) {
  EXPECT_EQ(FitsDateText(2026, 1, 9), "2026-01-09");
  EXPECT_EQ(FitsTimeText(12, 3, 4, 5), "12:03:04.005");
}

TEST(FitsFile, SizesAreSixtyFourBitAndCapped) {
  TFitsHeader h = MakeHeader(-64, -64, 16000, 16000, 1);  // 2.05e9 bytes: within the cap
  EXPECT_EQ(h.DataBytes, int64_t(2048000000));
  h.NAxis = 3;
  h.NAxis3 = 3;  // 6.1e9 bytes
  EXPECT_FALSE(FitsComputeSizes(h));
  h = MakeHeader(16, 16, 16383, 16383, 3);
  EXPECT_TRUE(FitsComputeSizes(h));
  EXPECT_EQ(h.DataBytes, int64_t(16383) * 16383 * 3 * 2);
  EXPECT_EQ(h.DataBlocks, (h.DataBytes - 1) / 2880 + 1);
}
