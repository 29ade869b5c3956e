#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>
#include <tuple>

#include "astro/observer.h"
#include "astro/precession.h"
#include "catalog/hooks.h"
#include "catalog/star_options.h"
#include "catalog/stars.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/gui_thread.h"
#include "platform/registry.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

using testing_support::TempDir;
using testing_support::WriteFile;
using testing_support::WriteText;

namespace {

struct SaoFields {
  uint16_t flags = 0;
  uint8_t greek = 0;
  int32_t ra = 0;
  int16_t pmRA = 0;
  int32_t dec = 0;
  int16_t pmDec = 0;
  uint8_t mag = 0;
  uint16_t spectral = 0;
  uint32_t note = 0;
};

// Writes record `n` (1-based) of an SAO file held in `file`, growing it as needed.
void PutSao(std::vector<uint8_t>& file, int n, const SaoFields& f) {
  file.resize(std::max(file.size(), std::size_t(n) * kSaoRecordBytes), 0);
  uint8_t* b = &file[std::size_t(n - 1) * kSaoRecordBytes];
  platform::PutU16(&b[0], f.flags);
  b[6] = f.greek;
  platform::PutI32(&b[9], f.ra);
  platform::PutI16(&b[13], f.pmRA);
  platform::PutI32(&b[15], f.dec);
  platform::PutI16(&b[19], f.pmDec);
  b[21] = f.mag;
  platform::PutU16(&b[23], f.spectral);
  platform::PutU32(&b[27], f.note);
}

TSaoRecord Rec(const SaoFields& f) {
  std::vector<uint8_t> b;
  PutSao(b, 1, f);
  return DecodeSaoRecord(b.data());
}

// Everything on: the filter passes any star.
TStarOptions AllOn() {
  TStarOptions o = RegistryDefaultStarOptions();
  o.VariableMode = 0;
  o.HighMagLimit = 20;
  o.LowMagLimit = -5;
  o.LowProperLimit = 0;
  o.HighProperLimit = 100;
  return o;
}

// An observer at 2026 January 1.0 TT precessing from J2000 to that date.
constexpr double kChartTT = 2461041.5;
TObserverTime ChartObserver(bool precessionOn) {
  TObserverTime obs;
  InitObserver(obs);
  SetObserverTT(obs, kChartTT);
  SetPrecession(obs, 2451545.0, kChartTT);
  obs.PrecessionOn = precessionOn ? 1 : 0;
  return obs;
}

// Positions from ERFA (pyerfa 2.0: eraPmat76(2461041.5, 0) applied to the
// J2000 position after adding proper motion × (JD_TT − 2451545)/365.25
// years; right ascension by eraAnp). File values and results in radians.
struct PrecessionCase {
  int32_t ra, dec;
  int16_t pmRA, pmDec;
  double raOfDate, decOfDate;
};
constexpr PrecessionCase kPrecessionCases[] = {
    {604201414, -99715516, -546, -1223, 1.772795272326929, -0.29240599906565595},  // Sirius
    {226407775, 532481151, 44, -12, 0.8109059676638838, 1.5598271326033806},       // Polaris
    {2146887124, 59652324, 0, 0, 0.004069701343930259, 0.17705924658132546},       // across 0h
    {1073741824, -357913941, 3000, -3000, 3.1477997800050113, -1.0501020133928427},
};
// The arrays hold single floats: 2π × 2^-24 ≈ 4e-7 rad is one unit in the
// last place near 2π, so 1e-6 rad (0.2") covers the storage.
constexpr double kFloatTolerance = 1e-6;

// Options other than the registry defaults in every group, each value one
// the registry keeps exactly (magnitudes in tenths, motions in hundredths).
TStarOptions ChangedOptions() {
  TStarOptions o = RegistryDefaultStarOptions();
  o.HighMagLimit = 7.5;
  o.LowMagLimit = -2.0;
  o.VariableMode = 3;
  o.SpectralClasses[20] = 0;
  o.LuminosityClasses[2] = 0;
  o.LowProperLimit = 0.5;
  o.HighProperLimit = 9.75;
  o.DrawingMode = 2;
  o.SizeAdjust = -3;
  o.ShowNames = 1;
  o.ColorBySpectrum = 0;
  return o;
}

// Records what reaches the chart.
struct ChartSpy {
  int replots = 0;
  std::vector<TStarOptions> appearance;
  ChartSpy() {
    TCatalogHooks h;
    h.requestReplot = [this] { ++replots; };
    h.applyStarAppearance = [this](const TStarOptions& o) { appearance.push_back(o); };
    SetCatalogHooks(h);
  }
  ~ChartSpy() { SetCatalogHooks({}); }
};

}  // namespace

// Each row: options changed from "everything on", a record, the verdict.
TEST(StarFilter, OptionsAgainstRecords) {
  using Options = void (*)(TStarOptions&);
  struct Case {
    const char* what;
    Options set;
    SaoFields rec;
    bool pass;
  };
  const Options variableOnly = [](TStarOptions& o) { o.VariableMode = 1; };
  const Options variableNeedsMag = [](TStarOptions& o) { o.VariableMode = 2; };
  const Options noVariables = [](TStarOptions& o) { o.VariableMode = 3; };
  const Options mag = [](TStarOptions& o) { o.HighMagLimit = 6.05, o.LowMagLimit = 0.45; };
  const Options noMagWindow = [](TStarOptions& o) { o.HighMagLimit = -1.95, o.LowMagLimit = -1.99; };
  const Options motion = [](TStarOptions& o) { o.LowProperLimit = 4.95, o.HighProperLimit = 5.05; };
  const Options motionBelow = [](TStarOptions& o) { o.HighProperLimit = 4.99; };
  const Options motionAbove = [](TStarOptions& o) { o.LowProperLimit = 5.01; };
  const Options noV = [](TStarOptions& o) { o.LuminosityClasses[4] = 0; };
  const Options noIorV = [](TStarOptions& o) { o.LuminosityClasses[4] = o.LuminosityClasses[0] = 0; };
  static const Options none = [](TStarOptions& o) { for (uint8_t& c : o.SpectralClasses) c = 0; };
  const Options b5to9 = [](TStarOptions& o) { none(o), o.SpectralClasses[3] = 1; };
  const Options m5to9 = [](TStarOptions& o) { none(o), o.SpectralClasses[13] = 1; };
  const Options rAndWN = [](TStarOptions& o) { none(o), o.SpectralClasses[14] = o.SpectralClasses[20] = 1; };
  const Options noneNoI = [](TStarOptions& o) { none(o), o.LuminosityClasses[0] = 0; };
  const Options all = [](TStarOptions&) {};
  const SaoFields fast{.pmRA = 3000, .pmDec = -4000, .mag = 60};  // 5.0"/yr
  auto sp = [](uint16_t spectral) { return SaoFields{.mag = 60, .spectral = spectral}; };
  const Case cases[] = {
      {"any star", all, {.flags = 0x4000, .mag = 60}, true},
      {"variables only: plain", variableOnly, {.mag = 60}, false},
      {"variables only: variable", variableOnly, {.flags = 0x4000, .mag = 60}, true},
      {"mode 2: variable without magnitude", variableNeedsMag, {.flags = 0x4000}, false},
      {"mode 2: plain without magnitude", variableNeedsMag, {}, true},
      {"mode 2: variable", variableNeedsMag, {.flags = 0x4000, .mag = 60}, true},
      {"no variables: variable", noVariables, {.flags = 0x4000, .mag = 60}, false},
      {"no variables: plain", noVariables, {.mag = 60}, true}, {"6.0 within", mag, {.mag = 80}, true},
      {"6.1 fainter", mag, {.mag = 81}, false}, {"0.5 within", mag, {.mag = 25}, true},
      {"0.4 brighter", mag, {.mag = 24}, false}, {"no magnitude passes any window", noMagWindow, {}, true},
      {"5.0\"/yr within", motion, fast, true}, {"5.0\"/yr above", motionBelow, fast, false},
      {"5.0\"/yr below", motionAbove, fast, false}, {"all luminosities: digit 0", all, sp(520), true},
      {"all luminosities: digit 9", all, sp(529), true}, {"V off: V", noV, sp(525), false},
      {"V off: III", noV, sp(523), true}, {"V off: no class", noV, sp(520), false},
      {"V off: 6 is I", noV, sp(526), true}, {"V off: 7 is I", noV, sp(527), true},
      {"V off: 8 names none", noV, sp(528), false}, {"V off: 9 names none", noV, sp(529), false},
      {"I off: 6", noIorV, sp(526), false}, {"no spectral: code 0", none, sp(0), true},
      {"no spectral: class 15", none, sp(1500), true}, {"no spectral: 9999", none, sp(9999), true},
      {"no spectral, I off: class 15 II", noneNoI, sp(1502), true}, {"no spectral: B5", none, sp(255), false},
      {"B5-9: B5", b5to9, sp(255), true}, {"B5-9: B4", b5to9, sp(245), false},
      {"M5-9: M9", m5to9, sp(795), true}, {"M5-9: M4", m5to9, sp(745), false},
      {"R", rAndWN, sp(815), true}, {"WN", rAndWN, sp(1405), true},
      {"WC", rAndWN, sp(1305), false}, {"N", rAndWN, sp(915), false},
  };
  for (const Case& c : cases) {
    TStarOptions o = AllOn();
    c.set(o);
    EXPECT_EQ(StarFilter(Rec(c.rec), o), c.pass) << c.what;
  }
}

TEST(StarPositions, DecodingAndPrecessionAgainstErfa) {
  const TObserverTime obs = ChartObserver(true);
  for (const PrecessionCase& c : kPrecessionCases) {
    float ra = 0, dec = 0;
    ConvertStarPosition(obs, c.ra, c.dec, c.pmRA, c.pmDec, ra, dec);
    EXPECT_NEAR(ra, c.raOfDate, kFloatTolerance) << c.ra;
    EXPECT_NEAR(dec, c.decOfDate, kFloatTolerance) << c.ra;
  }
  // Without precession the J2000 position stays, proper motion is not applied.
  const TObserverTime j2000 = ChartObserver(false);
  float ra = 0, dec = 0;
  ConvertStarPosition(j2000, 604201414, -99715516, -546, -1223, ra, dec);
  EXPECT_NEAR(ra, 604201414 / 2147483647.0 * 2 * M_PI, kFloatTolerance);
  EXPECT_NEAR(dec, -99715516 / 2147483647.0 * 2 * M_PI, kFloatTolerance);
  // A negative file right ascension is brought into [0, 2π).
  ConvertStarPosition(j2000, -1073741824, 0, 0, 0, ra, dec);  // -π
  EXPECT_NEAR(ra, M_PI, kFloatTolerance);
}

TEST(StarNotes, SplittingAndNames) {
  // Thirteen "~" give twelve lines, later text is dropped; a line longer
  // than 255 characters keeps 254 and its last character.
  std::string many;
  for (int i = 0; i < 14; ++i) many += std::string(1, char('a' + i)) + "~";
  const std::tuple<std::string, int, int, std::string> splits[] = {
      {"", 1, 0, "No data"}, {"N:   VEGA; alpha Lyrae~C: standard star", 2, 0, "N:   VEGA; alpha Lyrae"},
      {"N:   VEGA; alpha Lyrae~C: standard star", 2, 1, "C: standard star"}, {many, 12, 11, "l"},
      {std::string(300, 'x') + "y", 1, 0, std::string(254, 'x') + "y"}};
  for (const auto& [note, count, line, text] : splits) {
    TStarNoteLines lines;
    lines[2] = "old";
    EXPECT_EQ(SplitStarNote(note, lines), count) << note;
    EXPECT_EQ(lines[std::size_t(line)], text) << note;
    EXPECT_EQ(lines[2], count > 2 ? "c" : "") << note;  // lines after the last are emptied
  }

  const std::pair<std::vector<std::string>, const char*> names[] = {
      {{"N:   VEGA; alpha Lyrae"}, "Vega"},
      {{"N:   HR 7001"}, ""},
      {{"N:   SIRIUS", "C: x", "N:   CANICULA, the dog star"}, "Canicula"},
      {{"N:   SIRIUS", "N:   BSC 2491"}, ""},  // a digit ends the search
      {{"N:   ALPHA CENTAURI. Rigil Kent"}, "Alpha Centauri"},
      {{"N:   DESIGNATED Alpha by Becvar"}, "Alpha "},
      {{"N:   CALLED AL NAIR"}, " Al Nair"},
      {{"N:"}, ""},
      {{"C: VEGA"}, ""},
  };
  for (const auto& [note, expected] : names) {
    TStarNoteLines l;
    std::copy(note.begin(), note.end(), l.begin());
    std::string name = "old";
    ExtractStarName(l, int(note.size()), name);
    EXPECT_EQ(name, expected) << note[0];
  }
}

TEST(StarNotes, NoteAndRecordFileReaders) {
  TempDir dir;
  DataFolder = dir.Path();
  const std::string text = "xxN:   VEGA; alpha Lyrae~C: text|N:   SIRIUS|" + std::string(2100, 'z') + "|";
  WriteText(dir.File("YALE_NOTES.DAT"), text);
  TStarNoteLines lines;
  int count = 0;
  ReadStarNotes(3, lines, count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(lines[0], "N:   VEGA; alpha Lyrae");
  // Offset 0, beyond the end, and no "|" within 2,047 bytes: no data.
  for (uint32_t offset : {0u, uint32_t(text.size() + 100), 50u}) {
    ReadStarNotes(offset, lines, count);
    EXPECT_EQ(count, 1) << offset;
    EXPECT_EQ(lines[0], "No data") << offset;
  }
  ASSERT_TRUE(OpenStarNotes());
  std::string note;
  EXPECT_EQ(ReadStarNote(34, note), 11);
  EXPECT_EQ(note, "N:   SIRIUS");
  EXPECT_EQ(ReadStarNote(0, note), 0);
  CloseStarNotes();

  EXPECT_FALSE(OpenSaoFile());
  std::vector<uint8_t> file;
  for (int n = 1; n <= 3; ++n) PutSao(file, n, {.mag = uint8_t(10 * n)});
  file.push_back(7);  // a partial record is no record
  WriteFile(dir.File("SAO_YALE.DAT"), file);
  ASSERT_TRUE(OpenSaoFile());
  uint8_t buf[kSaoRecordBytes];
  ASSERT_TRUE(ReadSaoRecord(3, buf));
  EXPECT_EQ(buf[21], 30);
  EXPECT_FALSE(ReadSaoRecord(4, buf));
  EXPECT_EQ(SaoFileOpen, 0);  // a failed read closes the file
  ASSERT_TRUE(OpenSaoFile());
  EXPECT_FALSE(ReadSaoRecord(0, buf));
  CloseSaoFile();
  EXPECT_EQ(SaoFileOpen, 0);
  DataFolder.clear();
}

namespace {

// A catalogue of 1,000 records: SAO 2 to 5 are stars, the rest are empty.
struct Catalogue {
  TempDir dir;
  TStarLoadJob job;
  Catalogue() {
    std::vector<uint8_t> sao(1000 * kSaoRecordBytes, 0);
    const PrecessionCase& sirius = kPrecessionCases[0];
    PutSao(sao, 2, {.greek = 10, .ra = sirius.ra, .pmRA = sirius.pmRA, .dec = sirius.dec,
                    .pmDec = sirius.pmDec, .mag = 4, .spectral = 314, .note = 1});
    PutSao(sao, 3, {.flags = 0x4000, .greek = 35, .ra = 1000, .mag = 0, .spectral = 1215, .note = 0});
    PutSao(sao, 4, {.greek = 250, .ra = 2000, .mag = 0, .spectral = 505});
    PutSao(sao, 5, {.ra = 3000, .mag = 90, .spectral = 505, .note = 13});  // too faint for a name
    WriteFile(dir.File("SAO_YALE.DAT"), sao);
    WriteText(dir.File("yale_notes.dat"), "N:   SIRIUS|N:   FAINT|");
    job.saoPath = dir.File("SAO_YALE.DAT");
    job.notesPath = dir.File("yale_notes.dat");
    job.tychoPath = dir.File("tycho2.dat");
    job.observer = ChartObserver(true);
    job.options = AllOn();
  }
};

}  // namespace

TEST(StarConversion, SaoRecordsProgressAndNames) {
  Catalogue cat;
  TStarLoadResult r;
  std::vector<std::string> progress;
  ConvertSaoCatalog(cat.job, r, [&](const std::string& t) { progress.push_back(t); });
  ASSERT_EQ(progress.size(), 11u);
  EXPECT_EQ(progress.front(), "Processing star catalog: 0% complete.");
  EXPECT_EQ(progress[5], "Processing star catalog: 50% complete.");
  EXPECT_EQ(progress.back(), "Processing star catalog: 100% complete.");
  EXPECT_TRUE(r.message.empty());
  EXPECT_TRUE(r.replot);

  ASSERT_EQ(r.sao.size(), 4u);  // empty records are no stars
  EXPECT_NEAR(r.sao[0].RA, kPrecessionCases[0].raOfDate, kFloatTolerance);
  EXPECT_NEAR(r.sao[0].Dec, kPrecessionCases[0].decOfDate, kFloatTolerance);
  EXPECT_EQ(r.names, std::vector<std::string>{"Sirius"});
  // SAO number, magnitude byte, spectral byte, Bayer letter, note offset, name number.
  using Star = std::tuple<uint32_t, int, int, int, uint32_t, int>;
  const Star expected[] = {
      {2, 4, 3, 1, 1, 1},
      {3, 0, 7 | 128, 0, 0, 0},  // a variable without magnitude keeps 0; class 12 is 7; 35: no letter
      {4, 250, 5, 0, 0, 0},      // a plain star without magnitude gets 250; code 250 is no letter
      {5, 90, 5, 0, 13, 0},      // bytes 250 and 90 are not brighter than 3.5: no name is looked up
  };
  for (std::size_t i = 0; i < 4; ++i) {
    const TSaoStar& s = r.sao[i];
    EXPECT_EQ(Star(s.SaoNumber(), s.Magnitude, s.Spectral, s.Greek, s.NoteOffset, s.NameIndex), expected[i]);
  }
}

TEST(StarConversion, FailurePaths) {
  Catalogue cat;
  WriteText(cat.dir.File("short.dat"), std::string(30, 'x'));  // not one whole record
  for (const char* file : {"missing.dat", "short.dat"}) {
    cat.job.saoPath = cat.dir.File(file);
    TStarLoadResult r;
    r.tycho.resize(5);
    ConvertSaoCatalog(cat.job, r, nullptr);
    EXPECT_EQ(r.message, "Error processing star catalog.\r\nStopped at record#     0") << file;
    EXPECT_TRUE(r.fileFault) << file;
    EXPECT_TRUE(r.sao.empty());
    EXPECT_TRUE(r.tycho.empty());  // the Tycho stars go too
    EXPECT_TRUE(r.replot);
  }
  // No memory for the array: the other message, no stars, no redraw.
  cat.job.saoPath = cat.dir.File("SAO_YALE.DAT");
  cat.job.memoryLimit = 100;
  TStarLoadResult r;
  r.tycho.resize(5);
  ConvertSaoCatalog(cat.job, r, nullptr);
  EXPECT_EQ(r.message, "Low memory, could not allocate\r\nmemory for star catalog.");
  EXPECT_FALSE(r.fileFault) << "told whatever the file's report";
  EXPECT_TRUE(r.sao.empty());
  EXPECT_TRUE(r.tycho.empty());
  EXPECT_FALSE(r.replot);
  // Garbage of any length never crashes and is read as records.
  WriteText(cat.dir.File("garbage.dat"), std::string(31 * 7 + 3, '\xA5'));
  cat.job.saoPath = cat.dir.File("garbage.dat");
  cat.job.memoryLimit = SIZE_MAX;
  r = TStarLoadResult{};
  ConvertSaoCatalog(cat.job, r, nullptr);
  EXPECT_TRUE(r.message.empty());
  for (const TSaoStar& s : r.sao) {
    EXPECT_GE(s.RA, 0.0f);
    EXPECT_LT(s.RA, float(2 * M_PI));
    EXPECT_LE(s.Greek, 24);
  }
}

TEST(StarConversion, TychoRecords) {
  Catalogue cat;
  std::vector<uint8_t> file(3 * kTychoRecordBytes + 5, 0);
  uint8_t* p = &file[kTychoRecordBytes];  // the second record
  platform::PutU16(p + 0, 4711);
  platform::PutU16(p + 2, 815);
  p[4] = 3;
  platform::PutU32(p + 5, 0xDEADBEEF);
  platform::PutI32(p + 9, kPrecessionCases[1].ra);
  platform::PutI16(p + 13, kPrecessionCases[1].pmRA);
  platform::PutI32(p + 15, kPrecessionCases[1].dec);
  platform::PutI16(p + 19, kPrecessionCases[1].pmDec);
  p[21] = 97;
  WriteFile(cat.job.tychoPath, file);

  const auto stars = ConvertTychoCatalog(cat.job);
  ASSERT_EQ(stars.size(), 3u);  // the trailing partial record is dropped
  const TTychoStar& t = stars[1];
  EXPECT_EQ(std::tuple(t.Id1, t.Id2, t.Id3, t.Carried, t.Brightness),
            std::tuple(4711, 815, 3, 0xDEADBEEFu, 97));
  EXPECT_NEAR(t.RA, kPrecessionCases[1].raOfDate, kFloatTolerance);
  EXPECT_NEAR(t.Dec, kPrecessionCases[1].decOfDate, kFloatTolerance);

  cat.job.memoryLimit = 10;
  EXPECT_TRUE(ConvertTychoCatalog(cat.job).empty());
  cat.job.memoryLimit = SIZE_MAX;
  cat.job.tychoPath = cat.dir.File("none.dat");
  EXPECT_TRUE(ConvertTychoCatalog(cat.job).empty());
}

// Damaged star files: a position off the sky is left out (an SAO star) or
// not drawn (a Tycho star, brightness 0), a note offset beyond the notes
// file is none; each is noted, with the first record, for the load to tell.
// At start the sizes are checked: not whole records, an SAO file short of
// the catalogue, a missing file.
TEST(StarConversion, DamagedRecordsAreLeftOutAndNoted) {
  Catalogue cat;
  std::vector<uint8_t> sao = testing_support::ReadFile(cat.job.saoPath);
  PutSao(sao, 7, {.ra = -5, .mag = 40});                         // right ascension below 0
  PutSao(sao, 8, {.ra = 100, .dec = 536870913, .mag = 40});      // beyond the pole
  PutSao(sao, 9, {.ra = 100, .dec = -536870912, .mag = 40});     // the pole itself
  PutSao(sao, 10, {.ra = 100, .mag = 40, .note = 24});           // the notes hold 23 bytes
  WriteFile(cat.job.saoPath, sao);
  TStarLoadResult r;
  ConvertSaoCatalog(cat.job, r, nullptr);
  std::vector<uint32_t> numbers;
  for (const TSaoStar& s : r.sao) numbers.push_back(s.SaoNumber());
  EXPECT_EQ(numbers, (std::vector<uint32_t>{2, 3, 4, 5, 9, 10}));
  EXPECT_EQ(r.sao.back().NoteOffset, 0u);
  ASSERT_EQ(r.damage.size(), 2u);
  EXPECT_EQ(std::tuple(r.damage[0].code, r.damage[0].file, r.damage[0].reason),
            std::tuple(int16_t(103), "SAO_YALE.DAT",
                       "2 of its 1000 records hold a position off the sky (the first is record 7); they are left out"));
  EXPECT_EQ(std::tuple(r.damage[1].file, r.damage[1].reason),
            std::tuple("yale_notes.dat", "1 star's note would start beyond its end at 23 bytes (the first is SAO "
                                         "10); the file was cut short"));

  std::vector<uint8_t> tycho(3 * kTychoRecordBytes, 0);
  for (int i = 0; i < 3; ++i) tycho[std::size_t(i) * kTychoRecordBytes + 21] = 80;
  platform::PutI32(&tycho[kTychoRecordBytes + 15], -600000000);  // the second: south of the pole
  WriteFile(cat.job.tychoPath, tycho);
  std::vector<TDataFileProblem> damage;
  const auto stars = ConvertTychoCatalog(cat.job, &damage);
  ASSERT_EQ(stars.size(), 3u);
  EXPECT_EQ(std::tuple(stars[0].Brightness, stars[1].Brightness, stars[2].Brightness), std::tuple(80, 0, 80));
  ASSERT_EQ(damage.size(), 1u);
  EXPECT_EQ(damage[0].reason,
            "1 of its 3 records holds a position off the sky (the first is record 2); it is not drawn");

  // The start-up's size checks.
  platform::ScopedScriptedDialogs dialogs;
  const std::string saved = DataFolder;
  DataFolder = cat.dir.Path();
  ForgetDataFileProblemsForTest();
  tycho.push_back(1);
  WriteFile(cat.job.tychoPath, tycho);
  std::remove(cat.job.notesPath.c_str());
  CheckStarFiles();
  ASSERT_EQ(dialogs.Count(), 3u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Records()[0].text,
                                          "Warning: Unexpected file size in \"SAO_YALE.DAT\": 1000 records where "
                                          "the catalogue has 258997 (the file was cut short)."));
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Records()[1].text,
                                          "Warning: Unexpected file size in \"tycho2.dat\": 67 bytes is not a "
                                          "whole number of 22-byte records"));
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Records()[2].text,
                                          "Warning: Can't open file \"yale_notes.dat\": the file is missing."));
  sao.resize(258997 * kSaoRecordBytes);
  WriteFile(cat.job.saoPath, sao);
  ForgetDataFileProblemsForTest();
  dialogs.Clear();
  tycho.pop_back();
  WriteFile(cat.job.tychoPath, tycho);
  WriteText(cat.job.notesPath, "");
  CheckStarFiles();  // whole files of the catalogue's size
  EXPECT_EQ(dialogs.Count(), 0u);
  ForgetDataFileProblemsForTest();
  DataFolder = saved;
}

// The conversions split their records over threads and join the parts in
// file order: any number of threads gives the same stars, names, name
// numbers and progress.
TEST(StarConversion, ThreadsGiveTheSameCatalogue) {
  Catalogue cat;
  constexpr int kRecords = 50000;  // above two workers' minimum share
  std::vector<uint8_t> sao, tycho(std::size_t(kRecords) * kTychoRecordBytes, 0);
  std::string notes = "|";
  std::size_t stars = 0;
  for (int i = 0; i < kRecords; ++i) {
    uint8_t* p = tycho.data() + std::size_t(i) * kTychoRecordBytes;
    platform::PutU16(p, uint16_t(i));
    platform::PutI32(p + 9, i * 40000);
    platform::PutI32(p + 15, (i % 2000 - 1000) * 500000);
    p[21] = uint8_t(i % 140);
    if (i % 7 == 3) continue;  // no star with this number
    ++stars;
    SaoFields f{.ra = int32_t(i * 42949), .pmRA = int16_t(i % 300),
                .dec = int32_t((i % 1000 - 500) * 1000000), .pmDec = int16_t(-(i % 200)),
                .mag = uint8_t(i % 997 == 0 ? 30 : 40 + i % 100), .spectral = uint16_t(100 * (i % 8) + 15)};
    if (i % 997 == 0) {  // a bright star with a proper name
      std::string name;
      for (int k = i; k > 0 || name.empty(); k /= 26) name += char('A' + k % 26);
      f.note = uint32_t(notes.size() + 1);
      notes += "N:   " + name + "|";
    }
    PutSao(sao, i + 1, f);
  }
  sao.resize(std::size_t(kRecords) * kSaoRecordBytes, 0);
  WriteFile(cat.job.saoPath, sao);
  WriteFile(cat.job.tychoPath, tycho);
  WriteText(cat.job.notesPath, notes);

  TStarLoadResult one, four;
  std::vector<std::string> progressOne, progressFour;
  cat.job.threads = 1;
  ConvertSaoCatalog(cat.job, one, [&](const std::string& t) { progressOne.push_back(t); });
  one.tycho = ConvertTychoCatalog(cat.job);
  cat.job.threads = 4;
  ConvertSaoCatalog(cat.job, four, [&](const std::string& t) { progressFour.push_back(t); });
  four.tycho = ConvertTychoCatalog(cat.job);

  const auto saoKey = [](const TSaoStar& a) {
    return std::tuple(a.SaoNumber(), a.RA, a.Dec, a.NameIndex, a.Magnitude, a.Spectral);
  };
  const auto tyc = [](const TTychoStar& a) { return std::tuple(a.Id1, a.RA, a.Dec, a.Brightness); };
  ASSERT_EQ(one.sao.size(), stars);
  EXPECT_TRUE(std::ranges::equal(four.sao, one.sao, {}, saoKey, saoKey));
  EXPECT_GT(one.names.size(), 40u);
  EXPECT_EQ(four.names, one.names);
  EXPECT_EQ(four.sao[0].NameIndex, 1);
  EXPECT_EQ(progressOne.size(), 11u);
  EXPECT_EQ(progressFour, progressOne);
  ASSERT_EQ(one.tycho.size(), std::size_t(kRecords));
  EXPECT_TRUE(std::ranges::equal(four.tycho, one.tycho, {}, tyc, tyc));
}

namespace {

// Records on which thread each message box was asked for.
class ThreadCheckingDialogs : public platform::ScriptedDialogs {
 public:
  int MessageBox(const std::string& text, const std::string& caption, platform::MsgButtons b,
                 platform::MsgIcon icon) override {
    onGuiThread.push_back(platform::IsGuiThread());
    return ScriptedDialogs::MessageBox(text, caption, b, icon);
  }
  std::vector<bool> onGuiThread;
};

// Sets up the data folder and the live observer for LoadStarCatalogs; the
// hooks record their calls in order.
struct LoaderFixture {
  Catalogue cat;
  std::mutex m;
  std::vector<std::string> calls;
  ThreadCheckingDialogs dialogs;
  LoaderFixture() {
    DataFolder = cat.dir.Path();
    InitObserver(ObserverTime);
    SetObserverTT(ObserverTime, kChartTT);
    // A source epoch other than J2000 must not change the result.
    SetPrecession(ObserverTime, 2415020.0, kChartTT);
    ObserverTime.PrecessionOn = 1;
    StarOptions = AllOn();
    platform::SetDialogs(&dialogs);
    auto log = [this](std::string s) {
      return [this, s] { Add(s); };
    };
    TCatalogHooks h;
    h.pauseCursorThread = log("pause cursor");
    h.pauseMagnifierThread = log("pause magnifier");
    h.resumeMagnifierThread = log("resume magnifier");
    h.resumeCursorThread = log("resume cursor");
    h.requestReplot = log("replot");
    h.showStatusPanel3 = [this](const std::string& t) { Add("panel:" + t); };
    SetCatalogHooks(h);
  }
  void Add(const std::string& s) {
    std::lock_guard l(m);
    calls.push_back(s);
  }
  ~LoaderFixture() {
    WaitForStarLoad();
    SetCatalogHooks({});
    platform::SetDialogs(nullptr);
    FreeStarCatalogs();
    DataFolder.clear();
  }
};

}  // namespace

TEST(StarLoader, BuildsOnAWorkerAndSwapsOnTheGuiThread) {
  LoaderFixture f;
  FreeStarCatalogs();
  LoadStarCatalogs();
  EXPECT_TRUE(StarThreadRunning());
  EXPECT_EQ(std::tuple(StarLoaderBusy.load(), StarCatalogEpoch, StarCatalogPrecessed),
            std::tuple(1, kChartTT, 1));
  // Until the GUI thread handles the finished load, the arrays stay as they were.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(SaoStarCount, 0);
  ASSERT_TRUE(WaitForStarLoad());
  // No "tycho2.dat": no Tycho stars, no message.
  EXPECT_EQ(std::tuple(SaoStarCount, TychoStarCount, StarNameCount, StarNames[0]),
            std::tuple(4, 0, 1, "Sirius"));
  EXPECT_NEAR(SaoStars[0].RA, kPrecessionCases[0].raOfDate, kFloatTolerance);
  EXPECT_EQ(std::tuple(StarLoaderBusy.load(), StarProgressText, f.dialogs.Count()),
            std::tuple(0, "Processing star catalog: 100% complete.", 0u));

  ASSERT_GE(f.calls.size(), 2u + 11u + 4u);
  const std::vector<std::string> head(f.calls.begin(), f.calls.begin() + 3);
  EXPECT_EQ(head, (std::vector<std::string>{"pause cursor", "pause magnifier",
                                            "panel:Processing star catalog: 0% complete."}));
  const std::vector<std::string> tail(f.calls.end() - 4, f.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"replot", "panel:", "resume magnifier", "resume cursor"}));
}

TEST(StarLoader, RequestDuringALoadRunsAfterItAndCancelEndsIt) {
  {
    LoaderFixture f;
    LoadStarCatalogs();
    LoadStarCatalogs();  // kept, not lost and not nested
    ASSERT_TRUE(WaitForStarLoad());
    EXPECT_EQ(std::ranges::count(f.calls, "pause cursor"), 2);
    EXPECT_EQ(std::ranges::count(f.calls, "resume cursor"), 2);
    EXPECT_EQ(SaoStarCount, 4);
  }
  LoaderFixture f;
  LoadStarCatalogs();
  CancelStarLoad();
  ASSERT_TRUE(WaitForStarLoad());
  EXPECT_FALSE(StarThreadRunning());
  EXPECT_EQ(StarLoaderBusy.load(), 0);
  // The overlay threads' pause ends with the stopped load too (a window
  // made again would find them paused for good).
  EXPECT_EQ(std::ranges::count(f.calls, "resume cursor"), std::ranges::count(f.calls, "pause cursor"));
  EXPECT_EQ(std::ranges::count(f.calls, "resume magnifier"), std::ranges::count(f.calls, "pause magnifier"));
  // The stopped thread is cleaned up before the next load starts.
  LoadStarCatalogs();
  ASSERT_TRUE(WaitForStarLoad());
  EXPECT_EQ(SaoStarCount, 4);
}

TEST(StarLoader, FailureMessageIsShownOnTheGuiThread) {
  LoaderFixture f;
  std::remove(f.cat.dir.File("SAO_YALE.DAT").c_str());
  LoadStarCatalogs();
  ASSERT_TRUE(WaitForStarLoad());
  platform::ProcessMessages();
  ASSERT_EQ(f.dialogs.Count(), 1u);
  EXPECT_EQ(std::tuple(f.dialogs.Last().text, f.dialogs.Last().caption, f.dialogs.Last().icon),
            std::tuple("Error processing star catalog.\r\nStopped at record#     0", "Noctra - Warning:",
                       platform::MsgIcon::Stop));
  EXPECT_EQ(f.dialogs.onGuiThread, std::vector<bool>{true});
  EXPECT_EQ(SaoStarCount, 0);
  EXPECT_EQ(f.calls.back(), "resume cursor");
}

TEST(StarOptionsRecord, BlockLayout) {
  const TStarOptions o = ChangedOptions();
  const auto b = EncodeStarOptions(o);
  ASSERT_EQ(b.size(), 66u);
  using platform::GetF64;
  EXPECT_EQ(std::tuple(GetF64(&b[0]), GetF64(&b[8]), GetF64(&b[43]), GetF64(&b[51])),
            std::tuple(7.5, -2.0, 0.5, 9.75));
  // Variable mode, O0-4, WN, III, drawing mode, colour by spectrum.
  EXPECT_EQ(std::tuple(b[16], b[17], b[17 + 20], b[38 + 2], b[59], b[60]), std::tuple(3, 1, 0, 0, 2, 0));
  // Size adjustment, then automatic faint limit, names and Greek letters.
  EXPECT_EQ(std::tuple(platform::GetI16(&b[61]), b[63], b[64], b[65]), std::tuple(-3, 1, 1, 1));

  TStarOptions back;
  ASSERT_TRUE(DecodeStarOptions(b.data(), b.size(), back));
  EXPECT_EQ(back, o);
  // Damaged blocks are refused and change nothing.
  auto nan = b, mode = b;
  platform::PutF64(&nan[51], std::nan(""));
  mode[16] = 4;
  TStarOptions untouched;
  EXPECT_FALSE(DecodeStarOptions(nan.data(), nan.size(), untouched));
  EXPECT_FALSE(DecodeStarOptions(mode.data(), mode.size(), untouched));
  EXPECT_FALSE(DecodeStarOptions(b.data(), 65, untouched));
  EXPECT_EQ(untouched, TStarOptions{});
}

TEST(StarOptionsRecord, Registry) {
  ChartSpy spy;
  platform::TRegIniFile().EraseSection("Stars");
  StarOptions = TStarOptions{};
  ReadRegStars();
  EXPECT_EQ(StarOptions, RegistryDefaultStarOptions());
  EXPECT_EQ(std::tuple(StarOptions.LowMagLimit, StarOptions.VariableMode), std::tuple(-1.5, 2));
  ASSERT_EQ(spy.appearance.size(), 1u);
  EXPECT_EQ(std::tuple(spy.appearance[0].ShowGreek, spy.appearance[0].ShowNames), std::tuple(1, 0));

  {
    platform::TRegIniFile reg;
    reg.WriteInteger("Stars", "spectral classes", 1);
    reg.WriteInteger("Stars", "luminosity classes", 4);
    reg.WriteInteger("Stars", "variable star mode", 5);
    reg.WriteInteger("Stars", "brightness by magnitude", 0);
    reg.WriteInteger("Stars", "misc settings", 4);
  }
  StarOptions.VariableMode = 1;
  ReadRegStars();
  const TStarOptions& o = StarOptions;
  for (int i = 0; i < 20; ++i) EXPECT_EQ(o.SpectralClasses[i], 0) << i;
  // Only WN, only III; 5 is no variable mode: unchanged.
  EXPECT_EQ(std::tuple(o.SpectralClasses[20], o.LuminosityClasses[2], o.LuminosityClasses[0], o.VariableMode),
            std::tuple(1, 1, 0, 1));
  EXPECT_EQ(std::tuple(o.DrawingMode, o.ShowNames, o.ShowGreek), std::tuple(2, 1, 0));
  platform::TRegIniFile().WriteInteger("Stars", "spectral classes", 1 << 20);
  ReadRegStars();
  EXPECT_EQ(std::tuple(o.SpectralClasses[0], o.SpectralClasses[1]), std::tuple(1, 0));  // only O0-4
  // Written and read back.
  TStarOptions w = ChangedOptions();
  WriteRegStars(w);
  ReadRegStars();
  EXPECT_EQ(StarOptions, w);
  // Brightness by magnitude (drawing mode 0) is stored as 1, images as 0.
  EXPECT_EQ(platform::TRegIniFile().ReadInteger("Stars", "brightness by magnitude", -1), 0);
  w.DrawingMode = 0;
  WriteRegStars(w);
  EXPECT_EQ(platform::TRegIniFile().ReadInteger("Stars", "brightness by magnitude", -1), 1);
  platform::TRegIniFile().EraseSection("Stars");
}

// Values no window gives: in the registry every one of them reads as its
// default, and the window's range ends read exactly; a block holding one
// is refused, a block at the range ends is taken.
TEST(StarOptionsRecord, ValuesOutsideTheWindowsRanges) {
  ChartSpy spy;
  const char* idents[] = {"high mag limit", "low mag limit", "variable star mode", "spectral classes", "luminosity classes",
                          "low proper limit", "high proper limit", "brightness by magnitude", "size adjust",
                          "misc settings"};
  for (const char* extreme : {"2147483647", "-2147483648", "1e308", "-1e308", "nan", "inf", "", "text"}) {
    {
      platform::TRegIniFile reg;
      for (const char* ident : idents) reg.WriteString("Stars", ident, extreme);
    }
    StarOptions = TStarOptions{};
    ReadRegStars();
    // The variable mode: a stored number that is no mode leaves it as it
    // was (0), no number gives the default (2).
    TStarOptions expected = RegistryDefaultStarOptions();
    expected.VariableMode = StarOptions.VariableMode;
    EXPECT_EQ(StarOptions, expected) << extreme;
    EXPECT_TRUE(StarOptions.VariableMode == 0 || StarOptions.VariableMode == 2) << extreme;
  }
  {
    platform::TRegIniFile reg;
    reg.WriteInteger("Stars", "high mag limit", 130);
    reg.WriteInteger("Stars", "low mag limit", -20);
    reg.WriteInteger("Stars", "low proper limit", 0);
    reg.WriteInteger("Stars", "high proper limit", 1100);
    reg.WriteInteger("Stars", "size adjust", -25);
  }
  ReadRegStars();
  EXPECT_EQ(std::tuple(StarOptions.HighMagLimit, StarOptions.LowMagLimit, StarOptions.HighProperLimit,
                       StarOptions.SizeAdjust),
            std::tuple(13.0, -2.0, 11.0, -25));
  platform::TRegIniFile().EraseSection("Stars");

  TStarOptions edges = ChangedOptions();
  edges.HighMagLimit = 13.0;
  edges.LowMagLimit = -2.0;
  edges.HighProperLimit = 11.0;
  edges.SizeAdjust = 25;
  const auto b = EncodeStarOptions(edges);
  TStarOptions back;
  ASSERT_TRUE(DecodeStarOptions(b.data(), b.size(), back));
  EXPECT_EQ(back, edges);
  auto f64 = [&](std::size_t at, double v) {
    auto c = b;
    platform::PutF64(&c[at], v);
    return c;
  };
  auto byte = [&](std::size_t at, uint8_t v) {
    auto c = b;
    c[at] = v;
    return c;
  };
  auto size = b;
  platform::PutI16(&size[61], 26);
  const std::vector<std::array<uint8_t, kStarOptionsBytes>> refused = {
      f64(0, 13.1), f64(0, 1e308), f64(8, -2.1), f64(8, -1e308), f64(43, -0.01), f64(51, 11.01), f64(51, INFINITY),
      size,         byte(17, 2),   byte(40, 255), byte(59, 1),    byte(60, 2),    byte(65, 7)};
  for (std::size_t i = 0; i < refused.size(); ++i) {
    TStarOptions untouched;
    EXPECT_FALSE(DecodeStarOptions(refused[i].data(), refused[i].size(), untouched)) << i;
    EXPECT_EQ(untouched, TStarOptions{}) << i;
  }
}

TEST(StarOptionsRecord, SettingsBlock) {
  ChartSpy spy;
  platform::ScopedScriptedDialogs dialogs;
  testing_support::TempDir dir;
  DataFolder = dir.Path();  // no star files: the reload finds nothing
  StarOptions = RegistryDefaultStarOptions();
  const std::vector<uint8_t> block = StarOptionsBlock();
  // No block in the file: nothing changes, the chart is redrawn.
  StarOptions.HighMagLimit = 3.0;
  EXPECT_TRUE(ApplyStarOptionsBlock(nullptr));
  EXPECT_EQ(StarOptions.HighMagLimit, 3.0);
  EXPECT_EQ(spy.replots, 1);
  EXPECT_TRUE(spy.appearance.empty());
  EXPECT_FALSE(StarThreadRunning());
  // A good one replaces the options, gives the chart its star look and
  // reloads the stars.
  EXPECT_TRUE(ApplyStarOptionsBlock(&block));
  EXPECT_EQ(StarOptions, RegistryDefaultStarOptions());
  ASSERT_EQ(spy.appearance.size(), 1u);
  EXPECT_EQ(spy.appearance[0], RegistryDefaultStarOptions());
  EXPECT_TRUE(StarThreadRunning());
  ASSERT_TRUE(WaitForStarLoad());
  EXPECT_EQ(dialogs.Last().text, "Error processing star catalog.\r\nStopped at record#     0");
  FreeStarCatalogs();
  DataFolder.clear();
}
