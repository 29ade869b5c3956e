// The observer-and-time record and its setters.
#include "astro/observer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "astro/precession.h"
#include "platform/timezone.h"
#include "tests/astro/astro_test_support.h"

namespace {

using astro_test::Fresh;

TEST(ObserverRecord, InitialState) {
  auto rec = std::make_unique<TObserverTime>();
  // The clipping and daylight-saving switches survive the start.
  rec->ClipBelowHorizon = 1;
  rec->UseDaylightSaving = 1;
  InitObserver(*rec);
  EXPECT_EQ(rec->ClipBelowHorizon, 1);
  EXPECT_EQ(rec->UseDaylightSaving, 1);
  EXPECT_EQ(rec->JD_TT, 2451545.0);
  EXPECT_NEAR(rec->JD_UT, 2451545.0 - DeltaT(2451545.0) / 24, 1e-9);
  EXPECT_GE(rec->LocalSidereal, 0.0);
  EXPECT_LT(rec->LocalSidereal, TwoPi);
  EXPECT_EQ(rec->EpochLabel.str(), "J2000.0");
  EXPECT_EQ(platform::ZoneName(rec->TimeZone.StandardName), "Standard Time");
  // Mean obliquity at J2000: 23°26'21.448" (IAU 1976 / Laskar).
  EXPECT_NEAR(rec->MeanObliquity * DegPerRad * 3600, 84381.448, 1e-6);
  // A copy is a plain byte copy.
  TObserverTime copy = *rec;
  EXPECT_EQ(std::memcmp(&copy, rec.get(), sizeof copy), 0);
}

TEST(ObserverRecord, SettersKeepTheFourTimeScalesConsistent) {
  auto rec = Fresh();
  TIME_ZONE_INFORMATION tz;
  ASSERT_TRUE(platform::TimeZoneFromPosix("CET-1CEST,M3.5.0,M10.5.0/3", tz));
  SetObserverTimeZone(*rec, tz, 1);
  const double ut = JulianDay(2024, 7, 1, 12);
  const double hour = 1.0 / 24;
  // From UT.
  SetObserverUT(*rec, ut);
  EXPECT_NEAR(rec->JD_LocalStandard, ut + hour, 1e-9);
  EXPECT_NEAR(rec->JD_LocalCivil, ut + 2 * hour, 1e-9);
  EXPECT_EQ(rec->DaylightInEffect, 1);
  EXPECT_NEAR(rec->JD_TT - rec->JD_UT, DeltaT(ut) / 24, 1e-9);
  // From TT, local standard and local clock time: the same instant.
  double tt = rec->JD_TT;
  SetObserverUT(*rec, ut - 10);
  SetObserverTT(*rec, tt);
  EXPECT_NEAR(rec->JD_UT, ut, 1e-9);
  SetObserverLocalStandard(*rec, ut + hour);
  EXPECT_NEAR(rec->JD_UT, ut, 1e-9);
  SetObserverLocalCivil(*rec, ut + 2 * hour);
  EXPECT_NEAR(rec->JD_UT, ut, 1e-9);
  EXPECT_NEAR(rec->JD_TT, tt, 1e-9);
  // Winter: one hour.
  SetObserverUT(*rec, JulianDay(2024, 12, 1, 12));
  EXPECT_EQ(rec->DaylightInEffect, 0);
  EXPECT_NEAR(rec->JD_LocalCivil, JulianDay(2024, 12, 1, 13), 1e-9);
  // 02:30 on 2024 October 27 happens twice: it is taken as summer time,
  // 00:30 UT, and the record stores the season of that UT.
  SetObserverLocalCivil(*rec, JulianDay(2024, 10, 27, 2.5));
  EXPECT_NEAR(rec->JD_UT, JulianDay(2024, 10, 27, 0.5), 1e-9);
  EXPECT_EQ(rec->DaylightInEffect, 1);
  EXPECT_NEAR(rec->JD_LocalCivil, JulianDay(2024, 10, 27, 2.5), 1e-9);
}

TEST(ObserverRecord, TimeZoneChangeLeavesTheInstant) {
  auto rec = Fresh();
  SetObserverUT(*rec, 2460389.625);
  double ut = rec->JD_UT, tt = rec->JD_TT, st = rec->SiderealTime;
  TIME_ZONE_INFORMATION tz;
  InitTimeZoneInfo(tz);
  tz.Bias = 300;  // UT - 5 h
  SetObserverTimeZone(*rec, tz, 0);
  EXPECT_EQ(rec->JD_UT, ut);
  EXPECT_EQ(rec->JD_TT, tt);
  EXPECT_EQ(rec->SiderealTime, st);
  EXPECT_NEAR(rec->JD_LocalStandard, ut - 5.0 / 24, 1e-9);
  EXPECT_NEAR(rec->JD_LocalCivil, ut - 5.0 / 24, 1e-9);
}

TEST(RecomputeObserver, SkipsWorkForTinyStepsAtTheSamePlace) {
  auto rec = Fresh();
  SetObserverUT(*rec, 2460389.625);
  // Mark the derived value; a recompute would overwrite it.
  rec->SiderealTime = 123.0;
  SetObserverUT(*rec, 2460389.625);
  EXPECT_EQ(rec->SiderealTime, 123.0);
  SetObserverUT(*rec, 2460389.625 + 0.05 / 86400);
  EXPECT_EQ(rec->SiderealTime, 123.0);
  // Latitude alone does not change sidereal time: still skipped.
  SetObserverLocation(*rec, rec->Longitude, 0.7, 0);
  EXPECT_EQ(rec->SiderealTime, 123.0);
  EXPECT_NEAR(rec->SinLatitude, std::sin(0.7), 1e-15);
  // A new longitude recomputes.
  SetObserverLocation(*rec, 0.1, 0.7, 0);
  EXPECT_NE(rec->SiderealTime, 123.0);
  double lst = rec->SiderealTime - 0.1;
  ReduceRadians(lst);
  EXPECT_NEAR(rec->LocalSidereal, lst, 1e-12);
}

TEST(RecomputeObserver, NutationRefreshesOnceADayEvenInSmallSteps) {
  auto rec = Fresh();
  SetObserverUT(*rec, 2460389.5);
  // Mark the nutation; it is recomputed only after a day of UT.
  rec->NutLongitude = 1.0;
  SetObserverUT(*rec, 2460390.0);  // + 0.5 day
  EXPECT_EQ(rec->NutLongitude, 1.0);
  SetObserverUT(*rec, 2460390.5);  // + 1 day in two steps
  EXPECT_NE(rec->NutLongitude, 1.0);
  // Many small steps over months keep it current (within a day's motion).
  for (int i = 0; i < 400; ++i) SetObserverUT(*rec, 2460390.5 + i * 0.4);
  double dPsi, dEps, eps, eps0;
  Nutation(*rec, dPsi, dEps, eps, eps0);
  EXPECT_NEAR(rec->NutLongitude, dPsi, 0.5 / 206265);
  EXPECT_NEAR(rec->MeanObliquity, eps0, 1e-8);  // 0.47"/yr
}

}  // namespace
