// A test whose outside tool is missing: it skips on a developer's machine
// and fails under CI (NOCTRA_CI=1), naming the Debian package either way;
// and the tool look-ups follow the PATH (and NOCTRA_SOLVE_FIELD) as the
// program's own look-ups do, so hiding a tool hides it from both.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;

bool g_ranOn = false;

void NeedsFrobnicator(bool available) {
  g_ranOn = false;
  NOCTRA_REQUIRE_TOOL(available, "frobnicate", "frob-tools");
  g_ranOn = true;
}

// What a test body reports when its tool is (not) available, with NOCTRA_CI
// set to `ci`.
std::vector<testing::TestPartResult> Outcome(bool available, const char* ci) {
  ScopedEnv env("NOCTRA_CI", ci);
  testing::TestPartResultArray results;
  {
    testing::ScopedFakeTestPartResultReporter reporter(
        testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
    NeedsFrobnicator(available);
  }
  std::vector<testing::TestPartResult> out;
  for (int i = 0; i < results.size(); ++i) out.push_back(results.GetTestPartResult(i));
  return out;
}

void WriteScript(const std::string& path) {
  testing_support::WriteText(path, "#!/bin/sh\nexit 0\n");
  ::chmod(path.c_str(), 0755);
}

}  // namespace

TEST(RequireTool, MissingToolFailsUnderCiNamingThePackage) {
  const std::vector<testing::TestPartResult> r = Outcome(false, "1");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].fatally_failed());
  EXPECT_NE(std::string(r[0].message()).find("install the Debian package frob-tools"),
            std::string::npos)
      << r[0].message();
  EXPECT_FALSE(g_ranOn);
}

TEST(RequireTool, MissingToolSkipsOutsideCiNamingThePackage) {
  for (const char* ci : {"", "0"}) {
    SCOPED_TRACE(std::string("NOCTRA_CI=") + ci);
    const std::vector<testing::TestPartResult> r = Outcome(false, ci);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0].skipped());
    EXPECT_NE(std::string(r[0].message()).find("frob-tools"), std::string::npos);
    EXPECT_FALSE(g_ranOn);
  }
}

TEST(RequireTool, PresentToolRunsTheTestUnderCiAndOutside) {
  for (const char* ci : {"1", ""}) {
    SCOPED_TRACE(std::string("NOCTRA_CI=") + ci);
    EXPECT_TRUE(Outcome(true, ci).empty());
    EXPECT_TRUE(g_ranOn);
  }
}

// Poppler's tools are looked up on the PATH; solve-field where the plate
// solver's client looks (NOCTRA_SOLVE_FIELD, else the PATH).
TEST(RequireTool, LookupsFollowThePathAndTheSolverVariable) {
  TempDir bin;
  ScopedEnv path("PATH", bin.Path());
  ScopedEnv solver("NOCTRA_SOLVE_FIELD", "");
  EXPECT_FALSE(testing_support::HavePoppler());
  EXPECT_FALSE(testing_support::HaveSolveField());
  WriteScript(bin.File("pdftotext"));
  EXPECT_FALSE(testing_support::HavePoppler());  // pdftoppm still missing
  WriteScript(bin.File("pdftoppm"));
  EXPECT_TRUE(testing_support::HavePoppler());
  WriteScript(bin.File("solve-field"));
  EXPECT_TRUE(testing_support::HaveSolveField());

  testing_support::WriteText(bin.File("not-executable"), "");
  ScopedEnv named("NOCTRA_SOLVE_FIELD", bin.File("not-executable"));
  EXPECT_FALSE(testing_support::HaveSolveField());
}
