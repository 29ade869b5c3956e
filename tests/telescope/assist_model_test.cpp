// The goto-assist pointing model: fit, tie rule, refusals, pole clamp, file.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/registry.h"
#include "telescope/assist_model.h"
#include "tests/telescope/sim_fixture.h"

using namespace telescope_test;

namespace {

constexpr double kRadPerArcsec = 1.0 / 3600.0 / 57.29577951;

// Synthetic rows: the true position is the mount's plus the model's terms,
// written out here term by term from the model's definition.
std::vector<TAssistRow> Synthetic(double DO, double PD, double PZ, double PE, double TF, double DF, double phi) {
  std::vector<TAssistRow> rows;
  for (int i = 0; i < 24; ++i) {
    const double h = (-5.5 + i * 0.5) * 15 * kRad;
    const double d = (-30 + (i * 37) % 110) * kRad;
    const int p = i % 2 ? 1 : -1;
    const double A = PZ + PD * std::sin(h) * std::sin(d), B = PE + PD * std::cos(h) * std::sin(d);
    const double dh = -A * std::cos(h) * std::tan(d) + B * std::sin(h) * std::tan(d) + p * DO * std::cos(d) +
                      TF * std::cos(phi) * std::sin(h) / std::cos(d);
    const double dd = A * std::sin(h) + B * std::cos(h) + DO * std::sin(d) -
                      DF * (std::cos(phi) * std::cos(h) + std::sin(phi) * std::tan(d)) +
                      TF * (std::cos(phi) * std::cos(h) - std::sin(phi) * std::cos(d));
    rows.push_back({h, d, h + dh * kRadPerArcsec, d + dd * kRadPerArcsec, p});
  }
  return rows;
}

TAssistFitInput Input(std::vector<TAssistRow> rows, double phi) {
  TAssistFitInput in;
  in.rows = std::move(rows);
  in.latitude = phi;
  in.step = 60;
  in.from.fill(0);
  in.to.fill(0);
  for (int k : {kDO, kPD, kPZ, kPE}) {
    in.from[size_t(k)] = -5;
    in.to[size_t(k)] = 5;
  }
  return in;
}

}  // namespace

TEST(AssistFit, RecoversTheTermsOfSyntheticErrors) {
  const double phi = 50 * kRad;
  const TAssistFitInput in = Input(Synthetic(120, -180, 60, 240, 0, 0, phi), phi);
  const TAssistFitResult r = FitAssistModel(in);
  ASSERT_TRUE(r.done);
  EXPECT_EQ(r.best[kDO], 2);
  EXPECT_EQ(r.best[kPD], -3);
  EXPECT_EQ(r.best[kPZ], 1);
  EXPECT_EQ(r.best[kPE], 4);
  EXPECT_LT(r.sigma, 1e-6);  // arcseconds: exact data
  EXPECT_EQ(r.before.size(), 24u);
}

// Terms that do not change σ (FF is not in the model) keep the first value
// tried: ties never replace the best.
TEST(AssistFit, TiesKeepTheEarlierCombination) {
  const double phi = 40 * kRad;
  TAssistFitInput in = Input(Synthetic(60, 0, 0, 0, 0, 0, phi), phi);
  in.from[kFF] = -3;
  in.to[kFF] = 3;
  const TAssistFitResult r = FitAssistModel(in);
  EXPECT_EQ(r.best[kFF], -3);
  EXPECT_EQ(r.best[kDO], 1);
}

TEST(AssistFit, CancelledOnTheWorkerAndRefusedBelowTwoRows) {
  const double phi = 40 * kRad;
  TAssistFitInput in = Input(Synthetic(60, 0, 0, 0, 0, 0, phi), phi);
  for (auto& t : in.to) t = 10;
  for (auto& f : in.from) f = -10;  // 21^7 combinations: far too many to finish
  TAssistFitJob job;
  job.Start(in);
  job.Cancel();
  EXPECT_FALSE(job.Take().done);
  in.rows.resize(1);
  EXPECT_FALSE(FitAssistModel(in).done);

  TAssistModel m;
  m.grid[0] = {" 1h00m00s", " 10°00'00\"", " 1h00m04s", " 10°00'30\"", "E"};
  std::string error;
  TAssistFitInput prepared;
  EXPECT_FALSE(m.PrepareFit(prepared, error));
  EXPECT_FALSE(error.empty());
}

TEST(AssistFit, WorkerGivesTheSameResultAsTheDirectFit) {
  const double phi = 50 * kRad;
  const TAssistFitInput in = Input(Synthetic(120, -180, 60, 240, 0, 0, phi), phi);
  TAssistFitJob job;
  job.Start(in);
  const TAssistFitResult r = job.Take();
  EXPECT_EQ(job.Progress(), 100);
  EXPECT_EQ(r.best, FitAssistModel(in).best);
}

// Near the pole the declination is held at 89.9°, so corrections stay finite.
TEST(AssistModel, PoleIsClampedAndCorrectionsAreFinite) {
  TAssistModel m;
  m.latitude = 45 * kRad;
  m.terms[kPZ].edit = "60";
  m.terms[kTF].edit = "30";
  m.hoW = "12";
  double h90 = 0, d90 = 0, h899 = 0, d899 = 0;
  ASSERT_TRUE(m.ApplyModel(1, 0.7, 90 * kRad, h90, d90));
  ASSERT_TRUE(m.ApplyModel(1, 0.7, 89.9 * kRad, h899, d899));
  EXPECT_TRUE(std::isfinite(h90));
  EXPECT_DOUBLE_EQ(h90, h899);
  EXPECT_DOUBLE_EQ(d90, d899);
  // Away from the pole: hour-angle correction -(term + west offset).
  double dh = 0, dd = 0;
  m.terms[kTF].edit = "0";
  m.ApplyModel(1, 0.0, 0.0, dh, dd);
  EXPECT_NEAR(dh, -12 * kRadPerArcsec, 1e-15);  // -PZ cos h tan 0 = 0
  EXPECT_NEAR(dd, 0.0, 1e-15);                  // PZ sin 0 = 0
  m.latitude = std::nan("");
  m.terms[kTF].edit = "30";
  EXPECT_FALSE(m.ApplyModel(1, 0.3, 0.3, dh, dd));
  EXPECT_EQ(dh, 0.0);
}

// Stored texts that are not what their fields take read as the defaults
// (terms and offsets beyond 10° or no number, a camera field of 0 or beyond
// 1000 mm, a sidereal time of no time); a term beyond 10° typed into the
// window counts 0 in the corrections and the fit; the ends of the ranges
// read back as written.
TEST(AssistModel, SettingsOutsideTheirRangesReadAsDefaults) {
  const char* numbers[] = {"deo_e", "pd_e", "pz_e", "pe_e", "ff_e", "tf_e", "df_e", "hO_e", "dO_e", "hO_w", "dO_w"};
  for (const char* extreme : {"2147483647", "-2147483648", "1e308", "-1e308", "nan", "inf", "", "text", "36001"}) {
    {
      platform::TRegIniFile reg;
      for (const char* ident : numbers) reg.WriteString("ASSIST", ident, extreme);
      for (const char* ident : {"ccd_mmX", "ccd_mmY", "lst"}) reg.WriteString("ASSIST", ident, extreme);
    }
    TAssistModel m;
    m.LoadSettings();
    SCOPED_TRACE(extreme);
    for (const auto& t : m.terms) EXPECT_EQ(t.edit, "0");
    EXPECT_EQ(std::tuple(m.hoE, m.doE, m.hoW, m.doW), std::tuple("0", "0", "0", "0"));
    EXPECT_EQ(std::tuple(m.mmX, m.mmY, m.lst), std::tuple("22", "16", "00:00:00"));
  }
  {
    platform::TRegIniFile reg;
    reg.WriteString("ASSIST", "pz_e", "-36000");
    reg.WriteString("ASSIST", "hO_w", "36000");
    reg.WriteString("ASSIST", "ccd_mmX", "1000");
    reg.WriteString("ASSIST", "ccd_mmY", "0.5");
    reg.WriteString("ASSIST", "lst", "23:59:59");
  }
  TAssistModel m;
  m.LoadSettings();
  EXPECT_EQ(std::tuple(m.terms[kPZ].edit, m.hoW, m.mmX, m.mmY, m.lst),
            std::tuple("-36000", "36000", "1000", "0.5", "23:59:59"));
  platform::TRegIniFile().EraseSection("ASSIST");

  // Typed beyond 10°: no correction, and a fit that searches about 0.
  TAssistModel typed;
  typed.terms[kPZ].edit = "1e308";
  typed.hoW = "-1e300";
  double dh = 1, dd = 1;
  ASSERT_TRUE(typed.ApplyModel(1, 0.4, 0.3, dh, dd));
  EXPECT_EQ(std::tuple(dh, dd), std::tuple(0.0, 0.0));
  typed.grid[0] = {"1h00m00s", "10°00'00\"", "1h00m04s", "10°00'30\"", "W"};
  typed.grid[1] = {"2h00m00s", "20°00'00\"", "2h00m04s", "20°00'30\"", "E"};
  TAssistFitInput in;
  std::string error;
  ASSERT_TRUE(typed.PrepareFit(in, error)) << error;
  EXPECT_EQ(std::tuple(in.from[kPZ], in.to[kPZ], in.hoW), std::tuple(-5, 5, 0.0));
}

TEST(AssistModel, TextFileRoundTripIgnoresRowsOutsideTheGrid) {
  TAssistModel m;
  m.terms[kDO] = {"120", -3, 4};
  m.doW = "-7";
  m.grid[0] = {" 1h00m00s", " 10°00'00\"", " 1h00m04s", " 10°00'30\"", "E"};
  TAssistModel n;
  n.LoadText(m.SaveText() + "r99,a,b,c,d,W\r\nr0,a,b,c,d,W\r\n");
  EXPECT_EQ(n.terms[kDO].edit, "120");
  EXPECT_EQ(n.terms[kDO].lower, -3);
  EXPECT_EQ(n.terms[kDO].upper, 4);
  EXPECT_EQ(n.doW, "-7");
  EXPECT_EQ(n.grid[0], m.grid[0]);
  EXPECT_EQ(n.RowCount(), 1);
}

TEST(AssistModel, RowsFromGotosAndGridEditing) {
  TAssistModel m;
  m.lst = "06:00:00";
  // Mount at 5h, target at 5h00m04s, both at +20°; sidereal time 6h.
  ASSERT_TRUE(m.AddRow(6 * 15 * kRad, 5 * 15 * kRad, 20 * kRad, (5 + 4 / 3600.0) * 15 * kRad, 20 * kRad, 'E'));
  EXPECT_EQ(m.grid[0][0], " 1h00m00s");
  EXPECT_EQ(m.grid[0][2], " 0h59m56s");
  EXPECT_EQ(m.grid[0][4], "E");
  // A row of right ascensions turned into hour angles with lst 6h.
  m.grid[1] = {" 4h00m00s", " 10°00'00\"", " 4h00m10s", " 10°00'00\"", "W"};
  m.ConvertToHourAngles();
  EXPECT_EQ(m.lst, "00:00:00");
  EXPECT_EQ(m.grid[1][0], " 2h00m00s");
  EXPECT_EQ(m.grid[1][2], " 1h59m50s");
  // Gaps close; rows after the first empty one are not used by the fit.
  m.grid[3] = m.grid[1];
  EXPECT_EQ(m.RowCount(), 2);
  m.CloseGaps();
  EXPECT_EQ(m.RowCount(), 3);
  m.ClearLast();
  EXPECT_EQ(m.RowCount(), 2);
}
