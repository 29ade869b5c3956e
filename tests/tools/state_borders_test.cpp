// The state and province boundary file "map/namer.map/pby.cbd" built from
// a small Digital Chart of the World file that the test writes in the
// package's form (netCDF-4, 16-bit values over each area's "min" and
// "scale", 65535 opening a ring), read back through the location window's
// boundary reader.
#include <gtest/gtest.h>

#include <netcdf.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/common.h"
#include "data/state_borders.h"
#include "tests/support/test_support.h"
#include "tools/world_map.h"

namespace {

using mkdata::LonLatRing;
using Area = std::pair<std::string, std::vector<LonLatRing>>;

// Writes the areas as the package does: per area "<code>_lon" and
// "<code>_lat", 16-bit steps over the area's own "min" and "scale" (65534
// steps across its extent), each ring opened by a longitude value of 65535.
void WriteDcw(const std::string& path, const std::vector<Area>& areas) {
  int nc = 0, dim = 0, var = 0;
  ASSERT_EQ(nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &nc), NC_NOERR);
  for (const auto& [code, rings] : areas) {
    std::vector<uint16_t> v[2];
    double lo[2] = {1e9, 1e9}, scale[2] = {};
    for (int k = 0; k < 2; ++k) {
      double hi = -1e9;
      for (const LonLatRing& r : rings)
        for (const auto& p : r) lo[k] = std::min(lo[k], k ? p.second : p.first), hi = std::max(hi, k ? p.second : p.first);
      scale[k] = 65534 / (hi - lo[k]);
      for (const LonLatRing& r : rings) {
        v[k].push_back(k ? 0 : 65535);
        for (const auto& p : r) v[k].push_back(uint16_t(std::lround(((k ? p.second : p.first) - lo[k]) * scale[k])));
      }
    }
    ASSERT_EQ(nc_def_dim(nc, (code + "_length").c_str(), v[0].size(), &dim), NC_NOERR);
    for (int k = 0; k < 2; ++k) {
      ASSERT_EQ(nc_def_var(nc, (code + (k ? "_lat" : "_lon")).c_str(), NC_USHORT, 1, &dim, &var), NC_NOERR);
      nc_put_att_double(nc, var, "min", NC_DOUBLE, 1, &lo[k]);
      nc_put_att_double(nc, var, "scale", NC_DOUBLE, 1, &scale[k]);
      ASSERT_EQ(nc_put_var_ushort(nc, var, v[k].data()), NC_NOERR);
    }
  }
  ASSERT_EQ(nc_close(nc), NC_NOERR);
}

// A closed ring through the corners, a point every 0.1° along each side.
LonLatRing Ring(std::vector<std::pair<double, double>> corners) {
  LonLatRing r;
  corners.push_back(corners.front());
  for (std::size_t c = 0; c + 1 < corners.size(); ++c) {
    const auto [x1, y1] = corners[c];
    const auto [x2, y2] = corners[c + 1];
    const int n = int(std::lround(std::max(std::fabs(x2 - x1), std::fabs(y2 - y1)) / 0.1));
    for (int i = 0; i < n; ++i) r.push_back({x1 + (x2 - x1) * i / n, y1 + (y2 - y1) * i / n});
  }
  r.push_back(r.front());
  return r;
}

}  // namespace

TEST(StateBoundaries, BuiltFromTheChartOfTheWorld) {
  testing_support::TempDir dir;
  // Longitudes east in 0..360 as the package has them. A province north of
  // 49° whose own survey puts the line 330 m further north; a state south
  // of it whose ring starts halfway along its border with its eastern
  // neighbour and has an island off the coast; a state of another country
  // that is not asked for; a listed area the file does not hold.
  WriteDcw(dir.File("dcw-gmt.nc"),
           {{"CAAA", {Ring({{250, 49.003}, {252, 49.003}, {252, 51}, {250, 51}})}},
            {"USBB",
             {Ring({{252, 48}, {252, 49}, {250, 49}, {250, 47}, {252, 47}}),
              Ring({{240, 40}, {240.5, 40}, {240.5, 40.5}, {240, 40.5}})}},
            {"USCC", {Ring({{252, 47}, {254, 47}, {254, 49}, {252, 49}})}},
            {"MXZZ", {Ring({{250, 45}, {252, 45}, {252, 47}, {250, 47}})}}});
  testing_support::WriteText(dir.File("dcw-states.txt"),
                             "# country state name\nCA AA Alpha\nCA MM Missing\nUS BB Beta\nUS CC Gamma\nMX ZZ Zeta\n");
  const mkdata::StateBoundaryFile f = mkdata::BuildStateBoundaryFile(dir.Path());
  EXPECT_TRUE(f.missing.empty()) << f.missing;
  EXPECT_NE(f.summary.find("1 state and province boundary lines"), std::string::npos) << f.summary;

  // One line, whole: the state's eastern border (within a country, class 1)
  // in one piece although its ring starts in the middle of it. The 49th
  // parallel between the countries is left to the national file; coasts,
  // the island and the unlisted country's border are left out; steps along
  // a straight border fold into its ends (arc-second steps in the file,
  // 16-bit values over 2°: 0.001°).
  std::vector<TBoundaryLine> lines;
  ASSERT_EQ(ParseBoundaryFile(f.bytes, lines), 0);
  ASSERT_EQ(lines.size(), 1u);
  const TBoundaryLine& l = lines[0];
  EXPECT_EQ(l.Class, 1);
  ASSERT_EQ(l.Points.size(), 2u);
  const auto [p, q] = std::minmax(l.Points[0], l.Points[1]);
  EXPECT_LT(std::hypot(p.first + 108, p.second - 47), 0.001);
  EXPECT_LT(std::hypot(q.first + 108, q.second - 49), 0.001);
}

TEST(StateBoundaries, WithoutThePackageTheFileIsEmptyAndSaysWhy) {
  testing_support::TempDir dir;
  const mkdata::StateBoundaryFile f = mkdata::BuildStateBoundaryFile(dir.File("gmt-dcw/"));
  EXPECT_NE(f.missing.find("apt-get install gmt-dcw"), std::string::npos) << f.missing;
  std::vector<TBoundaryLine> lines{{}};
  EXPECT_EQ(ParseBoundaryFile(f.bytes, lines), 0);
  EXPECT_TRUE(lines.empty());
  // A file that is not netCDF is refused.
  testing_support::WriteText(dir.File("dcw-gmt.nc"), "not netCDF");
  testing_support::WriteText(dir.File("dcw-states.txt"), "US BB Beta\n");
  EXPECT_THROW(mkdata::BuildStateBoundaryFile(dir.Path()), mkdata::SourceError);
}
