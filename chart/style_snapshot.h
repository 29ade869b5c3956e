// What the colours-and-fonts window does to the style table, without the
// window: its snapshot and restore, Revert, the font-size rule and the
// grid's second colour.
#pragma once

#include <array>
#include <string>

#include "chart/styles.h"

// A copy of the whole style table. Fonts are shared handles, so a snapshot
// keeps the fonts it holds alive until it is dropped, whatever happens to
// the live table meanwhile.
using TStyleTable = std::array<TStyleEntry, kStyleCount>;
TStyleTable TakeStyleSnapshot();
// Puts every style back as the snapshot holds it (fonts and colours), then
// rebuilds the drawing colours. The fonts the live table held are released.
void RestoreStyleSnapshot(const TStyleTable& snapshot);

// The default colours and fonts, saved to the registry at once; the
// drawing colours are rebuilt. The fonts replaced are released.
void RevertStyles();

// The point size of a size text: 8 when empty or not a number, clamped to
// 2..64.
int ParseFontSize(const std::string& text);

// The grid's second colour: each channel of its object colour times 0.6,
// rounded to the nearest integer.
TColorRef AltGridColor(TColorRef color);
