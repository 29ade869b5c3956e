#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cmath>

#include "astro/reference_files.h"
#include "platform/codec.h"
#include "platform/dialogs.h"
#include "platform/halt.h"
#include "shell/data_files.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"
#include "tests/support/text_checks.h"

namespace {

using platform::ByteWriter;
using testing_support::TempDir;

// Points DataFolder at a fresh temporary folder for one test.
class ReferenceFiles : public ::testing::Test {
 protected:
  ReferenceFiles() : saved_(DataFolder) {
    DataFolder = dir_.Path();
    ForgetDataFileProblemsForTest();
  }
  ~ReferenceFiles() override { DataFolder = saved_; }

  void Write(const std::string& name, const ByteWriter& w) {
    testing_support::WriteFile(dir_.File(name), w.Bytes());
  }

  // Small valid versions of the four files LoadDataFiles needs.
  void WriteRequiredFiles() {
    ByteWriter messier;
    for (int n = 1; n <= 110; ++n) messier.I32(n == 31 ? 224 : 1000 + n);
    Write("messier_rngc.dat", messier);
    ByteWriter milky;
    for (double v : {-1.0, 0.5, 1.25, -0.25}) milky.F64(v);
    Write("milkywayb.dat", milky);
    ByteWriter lines;
    lines.U16(0), lines.I16(0), lines.U8(0);
    lines.U16(65534), lines.I16(-16383), lines.U8(88);
    Write("ConstellationLines.data", lines);
    // Longitudes west positive 0..360 in the file: 10 W and 190 W (170 E).
    Write("city.dat", CityFile({{"Zürich", 47.38, 10.0, 101}, {"Tokyo", 35.69, 190.0, -9}}));
  }

  struct City {
    const char* name;
    double lat, lon;
    int16_t zone;
  };
  static ByteWriter CityFile(std::initializer_list<City> cities, int entries = kCityCount) {
    ByteWriter w;
    int n = 0;
    for (const City& c : cities) {
      w.ShortString(c.name, 22);
      w.Real48(c.lat);
      w.Real48(c.lon);
      w.I16(c.zone);
      ++n;
    }
    w.Zeros(std::size_t(entries - n) * kCityEntrySize);
    return w;
  }

  TempDir dir_;
  std::string saved_;
};

TEST_F(ReferenceFiles, NebulaOutlinesTerminatorAndDamage) {
  platform::ScopedScriptedDialogs dialogs;
  NebulaOutlineTable[1].Marker = 5;
  LoadNebulae();  // no file: empty table, no message
  EXPECT_EQ(NebulaOutlineCount, 0);
  EXPECT_EQ(NebulaOutlineTable[1].Marker, kOutlineEnd);
  EXPECT_EQ(dialogs.Count(), 0u);
  // Records of 19 bytes: marker, flag, RA and Dec as doubles.
  ByteWriter w;
  const double ra[3] = {0.1, 0.2, 0.3};
  for (int i = 0; i < 3; ++i) w.U16(i == 2 ? kOutlineEnd : 7), w.U8(uint8_t(i)), w.F64(ra[i]), w.F64(-ra[i]);
  Write("nebula.dat", w);
  LoadNebulae();
  ASSERT_EQ(NebulaOutlineCount, 3);
  EXPECT_EQ(NebulaOutlineTable[1].Marker, 7);
  EXPECT_DOUBLE_EQ(NebulaOutlineTable[2].RA, 0.2);
  EXPECT_DOUBLE_EQ(NebulaOutlineTable[2].Dec, -0.2);
  EXPECT_EQ(NebulaOutlineTable[3].Marker, kOutlineEnd);
  EXPECT_EQ(NebulaOutlineTable[4].Marker, kOutlineEnd);
  // One whole record and a torn one: the torn record is dropped.
  ByteWriter torn;
  torn.U16(1), torn.U8(0), torn.F64(1.0), torn.F64(2.0);
  torn.U16(1), torn.U8(0), torn.F64(3.0);
  Write("nebula.dat", torn);
  LoadNebulae();
  EXPECT_EQ(NebulaOutlineCount, 1);
  EXPECT_EQ(NebulaOutlineTable[2].Marker, kOutlineEnd);
}

TEST_F(ReferenceFiles, LoadsAllFourFiles) {
  platform::ScopedScriptedDialogs dialogs;
  WriteRequiredFiles();
  LoadDataFiles();
  EXPECT_EQ(dialogs.Count(), 0u);
  EXPECT_EQ(MessierToRngc[31], 224);
  EXPECT_EQ(MessierToRngc[1], 1001);
  EXPECT_EQ(MessierToRngc[110], 1110);

  ASSERT_EQ(MilkyWayCount, 2);
  EXPECT_DOUBLE_EQ(MilkyWayTable[1].RA, -1.0);
  EXPECT_DOUBLE_EQ(MilkyWayTable[2].Dec, -0.25);

  ASSERT_EQ(ConstellationLineCount, 2);
  EXPECT_EQ(ConstellationLineTable[2].RA, 65534);
  EXPECT_EQ(ConstellationLineTable[2].Dec, -16383);
  EXPECT_EQ(ConstellationLineTable[2].Constellation, 88);

  EXPECT_STREQ(CityTable[0].Name, "Zürich");
  // Real48 keeps 39 fraction bits: far finer than 1e-9 degree at these sizes.
  EXPECT_NEAR(CityTable[0].Latitude, 47.38, 1e-9);
  EXPECT_NEAR(CityTable[0].Longitude, -10.0, 1e-9);
  EXPECT_EQ(CityTable[0].TimeZone, 101);
  EXPECT_NEAR(::Cities[1].Longitude, 170.0, 1e-9);
  EXPECT_EQ(::Cities[1].TimeZone, -9);
  EXPECT_STREQ(CityTable[2].Name, "");
}

TEST_F(ReferenceFiles, EmptyMilkyWayAndShortFiles) {
  platform::ScopedScriptedDialogs dialogs;
  WriteRequiredFiles();
  Write("milkywayb.dat", ByteWriter());
  ByteWriter shortMessier;  // 2.5 entries
  shortMessier.I32(1952), shortMessier.I32(221), shortMessier.U16(9);
  Write("messier_rngc.dat", shortMessier);
  ByteWriter shortCity = CityFile({{"Oslo", 59.9, 349.25, 101}}, 1);
  shortCity.U8(3);  // a torn second entry
  Write("city.dat", shortCity);
  LoadDataFiles();
  EXPECT_EQ(MilkyWayCount, 0);
  EXPECT_EQ(MessierToRngc[2], 221);
  EXPECT_EQ(MessierToRngc[3], 0);
  EXPECT_STREQ(CityTable[0].Name, "Oslo");
  EXPECT_STREQ(CityTable[1].Name, "");
  // What is whole is kept; the two short files are told, the empty one is
  // whole (no records).
  ASSERT_EQ(dialogs.Count(), 2u);
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Records()[0].text,
                                          "Warning: Unexpected file size in \"messier_rngc.dat\": 10 bytes where the "
                                          "table of 110 numbers takes 440 bytes."));
  EXPECT_TRUE(testing_support::StartsWith(dialogs.Last().text,
                                          "Warning: Unexpected file size in \"city.dat\": 38 bytes where the list of "
                                          "1474 places takes 54,538 bytes."));
}

// Values outside their ranges: the record is left out (a Milky Way or
// constellation point ends its line there, a place leaves its entry empty,
// a Messier number becomes none, an outline point ends its outline), what
// is in range is kept, and each file is told with the first bad record.
TEST_F(ReferenceFiles, RecordsOutsideTheirRangesAreLeftOutAndTold) {
  platform::ScopedScriptedDialogs dialogs;
  WriteRequiredFiles();
  ByteWriter messier;
  for (int n = 1; n <= 110; ++n) messier.I32(n == 5 ? -1 : n == 6 ? 7841 : n == 7 ? 7840 : 0);
  Write("messier_rngc.dat", messier);
  ByteWriter milky;
  for (double v : {0.5, 0.25, 6.3, 0.0, 1.0, -1.58, 2.0, std::nan(""), -1.0, 0.0, 6.283185307, 1.5707963}) milky.F64(v);
  Write("milkywayb.dat", milky);
  ByteWriter lines;
  lines.U16(0), lines.I16(0), lines.U8(0);            // a new line
  lines.U16(100), lines.I16(16384), lines.U8(1);      // the pole, rounded up
  lines.U16(100), lines.I16(16385), lines.U8(1);      // beyond the pole
  lines.U16(65535), lines.I16(0), lines.U8(1);        // beyond a full turn
  lines.U16(100), lines.I16(0), lines.U8(89);         // no 89th constellation
  lines.U16(100), lines.I16(0), lines.U8(0);          // nor a 0th
  Write("ConstellationLines.data", lines);
  Write("city.dat", CityFile({{"Quito", -0.22, 78.5, -5}, {"Nowhere", 91, 10, 0}, {"Far", 10, 361, 0},
                              {"Late", 10, 10, 13}, {"Summer", 10, 10, -105}, {"Odd", 10, 10, 99}}));
  ByteWriter outline;
  outline.U16(1), outline.U8(0), outline.F64(0.5), outline.F64(2.0);  // off the sky
  outline.U16(kOutlineEnd), outline.U8(0), outline.F64(1e300), outline.F64(1e300);  // an end marker, not read
  Write("nebula.dat", outline);
  LoadDataFiles();
  LoadNebulae();

  EXPECT_EQ(std::tuple(MessierToRngc[4], MessierToRngc[5], MessierToRngc[6], MessierToRngc[7]),
            std::tuple(0, 0, 0, 7840));
  ASSERT_EQ(MilkyWayCount, 6);
  const std::pair<double, double> milkyKept[] = {{0.5, 0.25}, {-1.0, 0.0}, {-1.0, 0.0}, {-1.0, 0.0}, {-1.0, 0.0},
                                                 {6.283185307, 1.5707963}};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(std::pair(MilkyWayTable[i + 1].RA, MilkyWayTable[i + 1].Dec), milkyKept[i]) << i;
  ASSERT_EQ(ConstellationLineCount, 6);
  EXPECT_EQ(ConstellationLineTable[2].Dec, 16384);
  for (int i = 3; i <= 6; ++i) EXPECT_EQ(ConstellationLineTable[i].RA, 0) << i;  // each a line break
  EXPECT_STREQ(CityTable[0].Name, "Quito");
  for (int i = 1; i <= 3; ++i) EXPECT_STREQ(CityTable[i].Name, "") << i;
  EXPECT_STREQ(CityTable[4].Name, "Summer");
  EXPECT_STREQ(CityTable[5].Name, "");
  ASSERT_EQ(NebulaOutlineCount, 2);
  EXPECT_EQ(NebulaOutlineTable[1].Marker, kOutlineEnd);

  std::vector<std::string> told;
  for (const auto& d : dialogs.Records()) told.push_back(d.text.substr(0, d.text.find(".\r\n")));
  EXPECT_EQ(told, (std::vector<std::string>{
                      "Warning: Can't read file \"messier_rngc.dat\": 2 of its 110 numbers hold values outside their "
                      "ranges (the first is number 5); they are taken as none",
                      "Warning: Can't read file \"milkywayb.dat\": 3 of its 6 points hold values outside their ranges "
                      "(the first is number 2); they are left out",
                      "Warning: Can't read file \"ConstellationLines.data\": 4 of its 6 points hold values outside "
                      "their ranges (the first is number 3); they are left out",
                      "Warning: Can't read file \"city.dat\": 4 of its 1474 places hold values outside their ranges "
                      "(the first is number 2); they are left out",
                      "Warning: Can't read file \"nebula.dat\": 1 of its 2 outline points holds values outside their "
                      "ranges (the first is number 1); it is left out",
                  }));
}

TEST_F(ReferenceFiles, TablesStopAtCapacity) {
  WriteRequiredFiles();
  ByteWriter lines, outline;
  for (int i = 0; i < kConstellationLineCapacity + 10; ++i) lines.U16(1), lines.I16(1), lines.U8(1);
  for (int i = 0; i < kNebulaOutlineCapacity + 5; ++i) outline.U16(1), outline.U8(0), outline.F64(0.5), outline.F64(0.5);
  Write("ConstellationLines.data", lines);
  Write("nebula.dat", outline);
  LoadDataFiles();
  LoadNebulae();
  EXPECT_EQ(ConstellationLineCount, kConstellationLineCapacity);
  EXPECT_EQ(NebulaOutlineCount, kNebulaOutlineCapacity);
  EXPECT_EQ(NebulaOutlineTable[kNebulaOutlineCapacity + 1].Marker, kOutlineEnd);
}

TEST_F(ReferenceFiles, EachMissingFileEndsTheProgram) {
  for (const char* missing : {"messier_rngc.dat", "milkywayb.dat", "ConstellationLines.data", "city.dat"}) {
    platform::ScopedScriptedDialogs dialogs;
    WriteRequiredFiles();
    std::remove(dir_.File(missing).c_str());
    try {
      LoadDataFiles();
      ADD_FAILURE() << "no halt for missing " << missing;
    } catch (const platform::ProgramHalted& halted) {
      EXPECT_NE(halted.Code(), 0);
    }
    ASSERT_EQ(dialogs.Count(), 1u) << missing;
    const auto box = dialogs.Last();
    // The fixed text, then the file and how to rebuild it.
    EXPECT_TRUE(testing_support::StartsWith(
        box.text, "Data file not found...  Program aborted!\r\n\r\nWarning: Can't open file \"" + std::string(missing) +
                      "\": the file is missing.\r\n"));
    // The program ends: nothing to close, nothing goes on without the file.
    EXPECT_NE(box.text.find("\r\n\r\nTo rebuild it, run the data builder on the data folder, as run.sh does "
                            "before it starts the program:\r\n\""),
              std::string::npos)
        << box.text;
    EXPECT_NE(box.text.find("noctra-mkdata\" \"" + dir_.Path() + "\""), std::string::npos) << box.text;
    EXPECT_EQ(box.caption, "NOCTRA - Planetarium");
    EXPECT_EQ(box.icon, platform::MsgIcon::Stop);
    // The wait cursor is gone before the program ends.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
}

}  // namespace
