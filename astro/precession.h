// Precession, nutation, aberration and proper motion: from a catalogue
// position (right ascension and declination, radians, at a catalogue epoch)
// to the apparent position of date. The precession angles are computed once
// per epoch pair and kept in the observer record, so that a whole catalogue
// is precessed with one set of angles.
#pragma once

struct TObserverTime;

// Nutation: nutation in longitude Δψ and in obliquity Δε, true obliquity
// ε = ε0 + Δε and mean obliquity ε0 (all radians) for the record's JD_TT.
// Low-precision series (four terms each; accuracy about 0.5" in Δψ and
// 0.1" in Δε, Meeus ch. 22) and the Laskar (1986) series for ε0.
void Nutation(const TObserverTime& rec, double& dPsi, double& dEps, double& eps, double& eps0);
// NutationAt: the same for an explicit terrestrial-time Julian date.
void NutationAt(double jdTT, double& dPsi, double& dEps, double& eps, double& eps0);

// UpdateNutation: Nutation for the record's JD_TT stored in its four
// nutation fields (NutLongitude, NutObliquity, Obliquity, MeanObliquity),
// with JD_UT as the instant they belong to.
void UpdateNutation(TObserverTime& rec);

// SetPrecession: stores the source and target epochs (Julian dates), the
// label "J" + year of the target with one decimal, and the IAU 1976
// (Lieske 1977) angles ζ, z, θ between them. Equal epochs keep the previous
// angles (Precess then does nothing).
void SetPrecession(TObserverTime& rec, double fromJD, double toJD);

// PrecessionAngles: the IAU 1976 (Lieske 1977) precession angles ζ, z and θ
// (radians) from the mean equator and equinox of fromJD to those of toJD
// (terrestrial-time Julian dates).
void PrecessionAngles(double fromJD, double toJD, double& zeta, double& z, double& theta);

// EclipticOfDateToJ2000: rotates a rectangular vector given in the mean
// ecliptic and equinox of jdTT (as the planetary theory gives it) into the
// mean equator and equinox of J2000.0, in place: the mean obliquity of date
// (Laskar), then the IAU 1976 precession from jdTT back to J2000 (the
// transpose of R3(-z) R2(θ) R3(-ζ); Explanatory Supplement, 1992, 3.211).
// This takes the motion of the ecliptic into account, which a longitude
// shift alone would miss (about 0.5″ a year in latitude).
void EclipticOfDateToJ2000(double jdTT, double& x, double& y, double& z);

// UpdatePrecession: when the whole-day count of JD_TT since J2000 differs
// from that of EpochTo, moves EpochTo to 2451545.0 + that count (12h TT of
// the current day), so the angles change at most once a day.
void UpdatePrecession(TObserverTime& rec);

// Precess: rotates (ra, dec) (radians) in place from EpochFrom to EpochTo.
// The right ascension is NOT reduced: it lies in (-π/2 + z, 3π/2 + z].
// Nothing happens when the epochs are equal.
void Precess(const TObserverTime& rec, double& ra, double& dec);

// ApplyProperMotion: adds the proper motions pmRA, pmDec (radians per Julian
// year; pmRA is the change of right ascension itself, not multiplied by
// cos dec) times the Julian years from J2000 to the record's JD_TT.
void ApplyProperMotion(const TObserverTime& rec, double& ra, double& dec, double pmRA,
                       double pmDec);

// ApparentPlace: nutation and annual aberration added in place to a mean
// position of date (ra, dec, radians); sunLongitude is the Sun's true
// geometric longitude (radians). Refreshes the record's four nutation
// fields for its JD_TT. Aberration in ecliptic coordinates with the
// e-terms (Meeus ch. 23), then diurnal aberration for the observer's
// latitude and local sidereal time. Right ascension in [0, 2π).
void ApparentPlace(TObserverTime& rec, double& ra, double& dec, double sunLongitude);

// AnnualAberration: the annual aberration of a body at ecliptic longitude λ
// and latitude β of date (radians, added in place; λ not reduced) for the
// Sun's true geometric longitude sunLongitude (radians) at terrestrial time
// jdTT, with the e-terms (Meeus eq. 23.2, κ = 20.49552″).
void AnnualAberration(double jdTT, double sunLongitude, double& lambda, double& beta);

// DiurnalAberration: the displacement of (ra, dec) towards the east point
// caused by the Earth's rotation (0.32" cos φ at most; Explanatory
// Supplement to the Astronomical Almanac, 1992, 3.26), from the hour angle
// LocalSidereal - ra. In place.
void DiurnalAberration(const TObserverTime& rec, double& ra, double& dec);
