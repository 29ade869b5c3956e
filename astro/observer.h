// The observer-and-time record: the instant in four time scales, the
// observer's place, the time-zone rule, the atmosphere with its refraction
// table, and the values derived from them. Every astronomy routine takes it
// by reference.
//
// The record is trivially copyable: plotters, the catalogue loader and
// print jobs keep whole copies and refresh them by plain assignment (or
// memcpy). It is never written to a file as a whole, so it keeps natural
// alignment. The one live record, ObserverTime, is written on the GUI
// thread only; worker threads read their own copies.
#pragma once

#include <cstdint>
#include <type_traits>

#include "astro/shortstring.h"
#include "astro/timescales.h"
#include "astro/trig.h"

struct TObserverTime {
  // Non-zero: EquatorialToHorizontal reports a body at or below the horizon
  // as altitude -1, azimuth 0 instead of computing them.
  uint8_t ClipBelowHorizon = 0;
  // Longitude at the last recompute, radians; -1 after InitObserver.
  double LastLongitude = 0;
  // Observer longitude, radians, POSITIVE WEST (LST = GST - Longitude).
  double Longitude = 0;
  // Latitude, radians, positive north.
  double Latitude = 0;
  // Height above sea level, metres.
  double Height = 0;
  // Air pressure, millibars.
  double Pressure = 0;
  // Air temperature, degrees Celsius.
  double Temperature = 0;
  // 1 when the time-zone rule's daylight season is applied.
  uint8_t UseDaylightSaving = 0;
  // 1 when the current instant lies in the daylight season.
  uint8_t DaylightInEffect = 0;
  // The time-zone rule (172 bytes, Windows layout).
  TIME_ZONE_INFORMATION TimeZone;
  // 1 when positions are to be precessed to EpochTo (callers test it before
  // they call Precess).
  uint8_t PrecessionOn = 0;
  // Precession source and target epochs, Julian dates.
  double EpochFrom = 0;
  double EpochTo = 0;
  // "J" followed by the year of EpochTo with one decimal ("J2000.0").
  TShortString<20> EpochLabel;
  // IAU 1976 precession angles ζ and z (radians) and sin θ, cos θ.
  double PrecZeta = 0;
  double PrecZ = 0;
  double PrecSinTheta = 0;
  double PrecCosTheta = 1;
  // JD_UT at the last recompute; -1 after InitObserver.
  double LastUT = 0;
  // The instant: universal time, terrestrial time, local standard time and
  // local clock time (with daylight saving when in effect), Julian dates.
  double JD_UT = 0;
  double JD_TT = 0;
  double JD_LocalStandard = 0;
  double JD_LocalCivil = 0;
  // Nutation in longitude Δψ and obliquity Δε, true obliquity ε = ε0 + Δε
  // and mean obliquity ε0, radians.
  double NutLongitude = 0;
  double NutObliquity = 0;
  double Obliquity = 0;
  double MeanObliquity = 0;
  // sin, cos and tan of Latitude.
  double SinLatitude = 0;
  double CosLatitude = 1;
  double TanLatitude = 0;
  // Greenwich apparent sidereal time, radians; local apparent sidereal time,
  // radians in [0, 2π).
  double SiderealTime = 0;
  double LocalSidereal = 0;
  // Refraction in radians for true altitude i/100 degrees, i = -200..9000,
  // for Pressure and Temperature.
  TOffsetArray<double, -200, 9000> RefractionTable = {};
  // JD_UT at which the nutation fields were last computed (kept apart from
  // LastUT so that many small steps still refresh the nutation daily).
  double NutationUT = 0;
};

static_assert(std::is_trivially_copyable_v<TObserverTime>);
static_assert(std::is_standard_layout_v<TObserverTime>);
static_assert(sizeof(TIME_ZONE_INFORMATION) == platform::kTimeZoneInformationBytes);

// The one live record.
extern TObserverTime ObserverTime;

// InitObserver: the initial state: LastUT and LastLongitude -1, a neutral
// time zone, TT = J2000.0 (JD 2451545.0), longitude, latitude and height 0,
// precession from J2000 to J2000 with PrecessionOn 1, 10 °C and 1010 mbar.
// UseDaylightSaving and ClipBelowHorizon keep what the storage held.
// Returns the record.
TObserverTime& InitObserver(TObserverTime& rec);

// Time setters: each sets the instant from one time scale, derives the
// other three and DaylightInEffect (order UT, TT, local standard, local
// clock) and then calls RecomputeObserver. They never touch the precession
// state; call UpdatePrecession afterwards for positions of date.
void SetObserverUT(TObserverTime& rec, double jdUT);
void SetObserverTT(TObserverTime& rec, double jdTT);
void SetObserverLocalStandard(TObserverTime& rec, double jdLocalStandard);
void SetObserverLocalCivil(TObserverTime& rec, double jdLocalCivil);

// SetObserverTimeZone: stores the rule and the use-daylight-saving byte and
// re-derives both local times and DaylightInEffect from the unchanged UT.
// No recompute (UT, TT and sidereal time do not change).
void SetObserverTimeZone(TObserverTime& rec, const TIME_ZONE_INFORMATION& tzi,
                         uint8_t useDaylightSaving);

// SetObserverLocation: longitude (radians, positive west), latitude
// (radians, positive north), height (metres); updates the latitude's
// trigonometry, then RecomputeObserver.
void SetObserverLocation(TObserverTime& rec, double longitude, double latitude, double height);

// RecomputeObserver: nutation, obliquity and sidereal time after a change of
// instant or place. Skips all work when UT moved by 0.1 s or less and the
// longitude is unchanged; the nutation is recomputed when UT has moved a
// day or more since it was last computed.
void RecomputeObserver(TObserverTime& rec);
