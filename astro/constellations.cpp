// The constellation tables. Centres are those of the IAU boundaries (epoch
// J2000) as commonly tabulated with the constellation areas, rounded to
// tenths of an hour and whole degrees.
#include "astro/constellations.h"

#include <cctype>

const char* const ConstellationNames[ConstellationCount + 1] = {
    "",
    "Andromeda",        "Antlia",          "Apus",                "Aquarius",
    "Aquila",           "Ara",             "Aries",               "Auriga",
    "Bootes",           "Caelum",          "Camelopardalis",      "Cancer",
    "Canes Venatici",   "Canis Major",     "Canis Minor",         "Capricornus",
    "Carina",           "Cassiopeia",      "Centaurus",           "Cepheus",
    "Cetus",            "Chamaeleon",      "Circinus",            "Columba",
    "Coma Berenices",   "Corona Australis", "Corona Borealis",    "Corvus",
    "Crater",           "Crux",            "Cygnus",              "Delphinus",
    "Dorado",           "Draco",           "Equuleus",            "Eridanus",
    "Fornax",           "Gemini",          "Grus",                "Hercules",
    "Horologium",       "Hydra",           "Hydrus",              "Indus",
    "Lacerta",          "Leo",             "Leo Minor",           "Lepus",
    "Libra",            "Lupus",           "Lynx",                "Lyra",
    "Mensa",            "Microscopium",    "Monoceros",           "Musca",
    "Norma",            "Octans",          "Ophiuchus",           "Orion",
    "Pavo",             "Pegasus",         "Perseus",             "Phoenix",
    "Pictor",           "Pisces",          "Piscis Austrinus",    "Puppis",
    "Pyxis",            "Reticulum",       "Sagitta",             "Sagittarius",
    "Scorpius",         "Sculptor",        "Scutum",              "Serpens",
    "Sextans",          "Taurus",          "Telescopium",         "Triangulum",
    "Triangulum Australe", "Tucana",       "Ursa Major",          "Ursa Minor",
    "Vela",             "Virgo",           "Volans",              "Vulpecula",
};

const char* const ConstellationAbbreviations[ConstellationCount + 1] = {
    "",
    "And", "Ant", "Aps", "Aqr", "Aql", "Ara", "Ari", "Aur", "Boo", "Cae", "Cam",
    "Cnc", "CVn", "CMa", "CMi", "Cap", "Car", "Cas", "Cen", "Cep", "Cet", "Cha",
    "Cir", "Col", "Com", "CrA", "CrB", "Crv", "Crt", "Cru", "Cyg", "Del", "Dor",
    "Dra", "Equ", "Eri", "For", "Gem", "Gru", "Her", "Hor", "Hya", "Hyi", "Ind",
    "Lac", "Leo", "LMi", "Lep", "Lib", "Lup", "Lyn", "Lyr", "Men", "Mic", "Mon",
    "Mus", "Nor", "Oct", "Oph", "Ori", "Pav", "Peg", "Per", "Phe", "Pic", "Psc",
    "PsA", "Pup", "Pyx", "Ret", "Sge", "Sgr", "Sco", "Scl", "Sct", "Ser", "Sex",
    "Tau", "Tel", "Tri", "TrA", "Tuc", "UMa", "UMi", "Vel", "Vir", "Vol", "Vul",
};

// Tenths of an hour.
const int16_t ConstellationCentreRA[ConstellationCount + 1] = {
    0,
    8,   103, 161, 223, 197, 174, 26,  61,  147, 47,  86,   // And .. Cam
    86,  131, 68,  77,  210, 87,  13,  131, 25,  17,  107,  // Cnc .. Cha
    146, 59,  128, 186, 158, 124, 114, 124, 206, 207, 52,   // Cir .. Dor
    151, 212, 33,  28,  71,  225, 174, 33,  116, 23,  220,  // Dra .. Ind
    225, 107, 102, 57,  152, 152, 80,  189, 54,  210, 71,   // Lac .. Mon
    126, 159, 230, 174, 58,  196, 227, 32,  9,   57,  5,    // Mus .. Psc
    223, 73,  90,  39,  197, 191, 169, 4,   187, 170, 103,  // PsA .. Sex
    47,  193, 22,  161, 238, 113, 150, 96,  134, 78,  202,  // Tau .. Vul
};

// Degrees.
const int16_t ConstellationCentreDec[ConstellationCount + 1] = {
    0,
    37,  -32, -75, -11, 3,   -57, 21,  42,  31,  -38, 69,   // And .. Cam
    20,  40,  -22, 6,   -18, -63, 62,  -47, 71,  -7,  -79,  // Cnc .. Cha
    -63, -35, 23,  -41, 33,  -18, -16, -60, 45,  12,  -59,  // Cir .. Dor
    67,  8,   -29, -32, 23,  -46, 27,  -53, -15, -70, -60,  // Dra .. Ind
    46,  13,  32,  -19, -15, -43, 47,  37,  -78, -36, 0,    // Lac .. Mon
    -70, -51, -82, -8,  6,   -66, 19,  45,  -49, -53, 14,   // Mus .. Psc
    -31, -31, -27, -60, 19,  -28, -27, -32, -10, 6,   -3,   // PsA .. Sex
    15,  -51, 31,  -65, -66, 51,  78,  -47, -4,  -70, 24,   // Tau .. Vul
};

int ConstellationNumber(std::string_view abbr) {
  // Drop surrounding blanks.
  while (!abbr.empty() && abbr.front() == ' ') abbr.remove_prefix(1);
  while (!abbr.empty() && abbr.back() == ' ') abbr.remove_suffix(1);
  if (abbr.size() != 3) return 0;
  // Compare with each abbreviation ignoring case.
  for (int n = 1; n <= ConstellationCount; ++n) {
    const char* a = ConstellationAbbreviations[n];
    bool same = true;
    for (int i = 0; i < 3 && same; ++i)
      same = std::tolower(static_cast<unsigned char>(abbr[i])) ==
             std::tolower(static_cast<unsigned char>(a[i]));
    if (same) return n;
  }
  return 0;
}
