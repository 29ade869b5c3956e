// The star information window's content, from one record of the star
// catalogue file and the star's notes: names and numbers, brightness and
// colour, catalogue, apparent and horizontal places, the MK spectral class
// with the physical estimates and distance, proper motion and the notes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/stars.h"

struct TObserverTime;

struct TStarInfo {
  uint32_t Sao = 0;
  bool Variable = false;
  std::string Name, Identification, SaoText, BscText, HdText;
  std::string VMag, ColorIndex;
  std::string RaJ2000, DecJ2000, EpochJ2000 = "J2000.0";
  bool ShowApparent = false;  // the second coordinate row
  std::string RaApparent, DecApparent, EpochApparent;
  std::string Altitude, Azimuth;
  std::string Spectral, Distance, DistanceHint;
  std::string ProperRA, ProperDec;
  std::vector<std::string> Notes;
  // The three sentences of the size picture and whether the diameter is known.
  std::array<std::string, 3> Sentences;
  std::string PhysicalNote;  // how the sentences were estimated, when not from the star's own class
  bool DiameterKnown = false;
  double DiameterFactor = 0;
  // The colour class of the star's disc, as the chart colours stars (1..7
  // for O..M; the carbon and Wolf-Rayet classes R..W count as M): from the
  // spectral class, else from the colour index; 0 when neither is known.
  int ColourClass = 0;
  double DynamicalParallax = 0;  // arcseconds; 0 when none
  double AbsMagnitude = -9;      // -9: unknown
  // Places, radians: J2000 from the record; the place shown last (apparent
  // of date when ShowApparent, else J2000), with its altitude and azimuth.
  double RaJ2000Rad = 0, DecJ2000Rad = 0;
  double RaShown = 0, DecShown = 0;
  double AltitudeRad = 0, AzimuthRad = 0;
};

// Absolute visual magnitude by luminosity code 1..7 (I, II, III, IV, V, Ia,
// Ib), spectral letter 1..7 (O..M) and subclass 0..9; -9 when unknown.
double StarAbsoluteMagnitude(int luminosity, int letter, int subclass);

// The colour class (1..7, O..M) of a star of colour index B-V (magnitudes):
// the index at which each class begins on the main sequence, B -0.30, A
// 0.00, F 0.30, G 0.58, K 0.81, M 1.40 (Allen's Astrophysical Quantities).
int ColourClassOfIndex(double bv);

// The spectral class text of an MK code ("No data" for a letter outside
// 1..14): letter, subclass digit and luminosity text (" I" .. " Ib").
std::string SpectralClassText(uint16_t code);

// The dynamical parallax of the note lines ("DYN: 0.123..."): the last such
// line wins; 0 when none.
double DynamicalParallaxOf(const std::vector<std::string>& notes);

// Fills the window's content from the 31-byte record of star `sao`, its
// note lines and the observer record (copied: its clipping is cleared).
TStarInfo MakeStarInfo(uint32_t sao, const uint8_t* record, const std::vector<std::string>& notes,
                       const TObserverTime& observer);

// Reads star `sao` from the catalogue file and its notes in the data
// folder; false (info untouched) when the file cannot be opened or read.
bool LoadStarInfo(uint32_t sao, const TObserverTime& observer, TStarInfo& info);

// The point-of-interest name: "HD" + HD number when there is one, else
// "SAO" + SAO number.
std::string StarPoiName(const TStarInfo& info);
