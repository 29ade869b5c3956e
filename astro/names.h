// Name tables: deep-sky object classes, the abbreviation dictionaries of
// deep-sky descriptions, description-note sources, Greek letters, planets
// and Jupiter's large moons.
#pragma once

#include <string>
#include <vector>

// Deep-sky class names by class digit 0..9 (some carry a trailing blank).
extern const std::vector<std::string> ObjectTypeNames;

// Abbreviation dictionaries of deep-sky descriptions, each entry "KEY:
// expansion" (key, colon, one blank, expanded words). NgcAbbreviations (457
// entries) serves the 1888 descriptions, where a key may carry "#" (a digit,
// quote, apostrophe or full stop must stand next to the match) or "@";
// NgcNoteAbbreviations (395) the newer descriptions. Keys may repeat. The
// description expanders reorder them once at start (longest keys first), so
// they are not const.
extern std::vector<std::string> NgcAbbreviations;
extern std::vector<std::string> NgcNoteAbbreviations;

// Sources of description notes, "CODE: source" (14 entries).
extern const std::vector<std::string> NgcNoteSources;

// Bayer letters as three characters: index 0 "   ", then "ALP" .. "OME".
extern const char* const GreekLetterAbbreviations[25];
// Index 0 "...", then planet n at index n ("Mercury" .. "Pluto").
extern const char* const PlanetNames[10];
// Index 0 "...", then "Io", "Europa", "Ganymede", "Callisto".
extern const char* const GalileanMoonNames[5];
