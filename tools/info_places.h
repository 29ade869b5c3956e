// The places an information window shows for a fixed object: its mean
// J2000 place, its apparent place of the chart's date (when the chart
// precesses), and its altitude and azimuth for the chart's instant.
#pragma once

#include <memory>

#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/transforms.h"

// Fills the place fields of an information record (`RaJ2000Rad`,
// `DecJ2000Rad`, the texts `RaJ2000`/`DecJ2000`, `RaShown`/`DecShown`,
// `ShowApparent` with `RaApparent`/`DecApparent`/`EpochApparent`, and
// `AltitudeRad`/`AzimuthRad` with their texts) from a mean J2000 place
// (radians). Works on a private copy of the observer record with the
// below-horizon clip cleared, so an object below the horizon still gets its
// true altitude. A star's proper motion (pmRA, pmDec: radians per Julian
// year, pmRA of the right ascension itself) carries its apparent place from
// J2000 to the chart's date, as the chart draws it.
template <class Info>
void FillInfoPlaces(Info& s, const TObserverTime& observer, double raJ2000, double decJ2000, double pmRA = 0,
                    double pmDec = 0) {
  auto trim = [](const std::string& t) { return TrimBlanks(t); };
  s.RaJ2000Rad = raJ2000;
  s.DecJ2000Rad = decJ2000;
  s.RaJ2000 = trim(FormatRA_HMSs(raJ2000));
  s.DecJ2000 = trim(FormatDMS(decJ2000));
  auto rec = std::make_unique<TObserverTime>(observer);
  rec->ClipBelowHorizon = 0;
  s.RaShown = raJ2000;
  s.DecShown = decJ2000;
  if (rec->PrecessionOn && rec->EpochTo != 2451545.0) {
    s.ShowApparent = true;
    TSolarContext ctx{};
    ctx.NovasOff = 1;
    CalcSun(ctx, *rec);
    ApplyProperMotion(*rec, s.RaShown, s.DecShown, pmRA, pmDec);
    Precess(*rec, s.RaShown, s.DecShown);
    ApparentPlace(*rec, s.RaShown, s.DecShown, ctx.SunTrueLongitude);
    s.RaApparent = trim(FormatRA_HMSs(s.RaShown));
    s.DecApparent = trim(FormatDMS(s.DecShown));
    s.EpochApparent = rec->EpochLabel.str();
  }
  EquatorialToHorizontal(*rec, s.AltitudeRad, s.AzimuthRad, s.RaShown, s.DecShown);
  s.Altitude = trim(FormatDegrees1(s.AltitudeRad));
  s.Azimuth = trim(FormatDegrees1(s.AzimuthRad));
}
