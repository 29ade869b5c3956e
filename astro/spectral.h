// Stellar quantities by MK spectral type for the star information window.
//
// Each table is indexed [luminosity class 1..5 (I..V)][spectral class 1..7
// (O, B, A, F, G, K, M)][subclass 0..9]; -9 marks a type that does not
// exist or has no value. Rows I, III and V are constant data; rows II and IV
// are the means of their neighbours (constant in AbsMagnitudeTable, filled
// at start-up in SpectralTable1..3).
#pragma once

#include "astro/trig.h"

using TSpectralRow = TOffsetArray<float, 0, 9>;
using TSpectralClassRows = TOffsetArray<TSpectralRow, 1, 7>;
using TSpectralTable = TOffsetArray<TSpectralClassRows, 1, 5>;

// The value that marks a missing entry.
inline constexpr float SpectralMissing = -9.0f;

// Absolute visual magnitude M_V.
extern TSpectralTable AbsMagnitudeTable;
// log10 of luminosity, radius and mass in solar units (0 for the Sun, G2 V).
extern TSpectralTable SpectralTable1;
extern TSpectralTable SpectralTable2;
extern TSpectralTable SpectralTable3;

// Fills rows II and IV of SpectralTable1..3 from rows I, III and V: the mean
// of the two neighbours, or -9 when either is missing. Called once by the
// start-up initialisation (EnsureStartupTables).
void CompleteSpectralTables();
