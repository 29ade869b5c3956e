// The celestial-object information window's content: the texts of one
// object of the object database, the expansion of its two descriptions
// through the abbreviation tables, and the survey-picture request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TObserverTime;
class tCO;

// Reorders an abbreviation table once ("KEY: expansion" entries) so that
// longer keys come before shorter ones: for every i and, inside, every j,
// entries i and j change places when the colon of i lies after that of j.
void SortDescriptionAbbreviations(std::vector<std::string>& table);

// ExpandDescription: the description `text` with its abbreviations written
// out through `table` (sorted as above). `old1888` selects the rules of the
// 1888 descriptions: keys marked with "#" (a digit, double quote,
// apostrophe or full stop must stand next to the match) or "@", and
// expansions ending in "^" (glued to the text that follows). Text without
// any key comes back in lower case. Empty keys never match and no match
// reads outside the text. In the newer descriptions (old1888 false) a key
// that begins or ends with a letter matches whole words only, so names and
// identifiers in them are not taken apart letter by letter.
std::string ExpandDescription(const std::string& text, const std::vector<std::string>& table, bool old1888);

// Tidies an expansion: trailing blanks and commas removed, runs of blanks
// shortened, and every comma followed by exactly one blank.
std::string TidyExpandedText(const std::string& text);

// The size text of an object by its class digit: "12.0'", "45\"",
// "12.0' x 6.0'" or "No data".
std::string ObjectSizeText(int objectClass, int32_t majorAxis, int32_t minorAxis);

// The survey fields of view (arc-minutes) and the one chosen for a size text.
inline constexpr int kSurveyFields[10] = {1, 2, 5, 10, 15, 20, 25, 30, 40, 60};
int SurveyFieldIndex(const std::string& sizeText);

// The survey codes of the eight surveys, in the order of the list.
extern const char* const kSurveyCodes[8];
// The survey server (scheme and host); a setting.
extern std::string SurveyServer;

// The address of a survey picture centred on (ra, dec) (J2000, radians).
std::string SurveyRequestUrl(int surveyIndex, int fieldIndex, double ra, double dec);

struct TObjectInfo {
  std::string DisplayName, Messier, ObjectType, Magnitude, Size;
  std::string RaJ2000, DecJ2000, EpochJ2000 = "J2000.0";
  bool ShowApparent = false;
  std::string RaApparent, DecApparent, EpochApparent;
  std::string Altitude, Azimuth;
  std::string NewNotes, NewNotesExpanded;  // "Description (newer RNGC)"
  std::string OldNotes, OldNotesExpanded;  // the description of 1888
  int FieldIndex = 3;
  double RaJ2000Rad = 0, DecJ2000Rad = 0;
  double RaShown = 0, DecShown = 0;
  double AltitudeRad = 0, AzimuthRad = 0;
};

// The window's content for the current object of `catalog`, seen by
// `observer` (copied; its clipping is cleared). The abbreviation tables
// are sorted on first use.
TObjectInfo MakeObjectInfo(const tCO& catalog, const TObserverTime& observer);

// Point-of-interest name: "M" + Messier number when there is one, else the
// display name.
std::string ObjectPoiName(const TObjectInfo& info);
