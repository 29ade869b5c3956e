// The object search: query normalisation, the search through the object
// database, the SAO stars' notes, the Sun, Moon and planets, the 88
// constellations and the loaded asteroids and comets, in three scopes; the
// selection of a result, and Center, Track and Information on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TObserverTime;

// Search scopes.
enum : int { kScopeAll = 1, kScopeLocation = 2, kScopeLocationTime = 3 };

// Selection kinds the search sets.
enum : int {
  kFoundNone = 0,
  kFoundObject = 1,         // index: database record key
  kFoundStar = 2,           // index: position in SaoStars, from 1
  kFoundAsteroid = 3,       // index in Asteroids
  kFoundComet = 4,          // index in Comets
  kFoundSolarSystem = 5,    // 0..8 Mercury..Pluto (Earth -1), 9 Moon, 10 Sun
  kFoundConstellation = 6,  // index -1
};

// The search text as searched: every blank with a digit on exactly one side
// removed (the ends count as letters), letters in capitals, blanks at the
// ends removed ("m 31" -> "M31", "alpha cen" -> "ALPHA CEN"). The texts
// searched are compared in the same form, so "PGC 2557", "47 Tuc" and
// "C/2020 F3" find what holds them as written.
std::string NormaliseQuery(const std::string& text);

// Result lines, sorted: the display text and its mark ("+" below the
// horizon now, "*" never above it); a database object's line goes on with 94
// blanks, "|" and its record key. Searches with a copy of `obs` that reports
// bodies below the horizon as altitude -1; `obs` itself is not changed.
std::vector<std::string> SearchObjects(const std::string& query, int scope, const TObserverTime& obs);
// Said with a search's results when the object database is missing,
// damaged or still locked by another program (deep-sky objects were not
// searched, or not all of them); "" when it is sound.
std::string ObjectDatabaseSearchNote();
// The text a result line shows (the hidden key part removed).
std::string ResultDisplayText(const std::string& line);

// The selection made from a result line.
struct TFoundObject {
  int Kind = kFoundNone;
  int32_t Index = -1;
  std::string Name;  // planet, asteroid or comet name
  double RA = 0, Dec = 0;  // radians
  double Altitude = -1;    // radians; -1 below the horizon
};
// Decodes a result line into the selection and its current position and
// altitude: the place the chart draws (the Moon's topocentric place for
// `obs`, the planets', asteroids' and comets' from their records as the
// chart last computed them). Kind 0 for a line that names nothing known.
TFoundObject SelectFoundObject(const std::string& line, const TObserverTime& obs);

// Which pop-up commands apply to a selection.
struct TFindCommands {
  bool Center = false, Track = false, Information = false;
};
TFindCommands FindCommands(const TFoundObject& found);

// Why a selection below the horizon is not centred, for the status bar:
// the result line's name, "is below the horizon", and when it next rises
// within 24 hours (local clock time "h:mm", "tomorrow" when after
// midnight), or that it never rises at the observer's latitude (fixed
// objects) or not within 24 hours (the Sun in polar night, bodies). A rise
// is the almanacs' rise on the standard horizon: the centre of a star or a
// planet at -0°34′ (refraction), the Sun's upper limb (-0°50′), the Moon's
// upper limb with refraction and parallax (HorizonAltitude); the Sun, the
// Moon, the planets, asteroids and comets move meanwhile. Refraction shows
// a rising body a few minutes before its centre reaches altitude 0, where
// the search counts it above the horizon: in that time the note says when
// it rose and when its centre rises ("it rose at 22:03, its centre rises
// at 22:07").
std::string BelowHorizonText(const TFoundObject& found, const std::string& line, const TObserverTime& obs);

// A result chosen by double-click or Space: the chart is centred on it when
// it is above the horizon (true); otherwise status-bar panel 0 says why
// (BelowHorizonText) and false. A centring empties that note again.
bool ChooseFound(const TFoundObject& found, const std::string& line, const TObserverTime& obs);

// The tracking text of kinds 3..5 ("The Sun", "The planet Mars", ...).
std::string FoundTrackingText(const TFoundObject& found);

// What the main window does for the commands: it fills these hooks.
struct TFindActions {
  // Status-bar panel `panel` shows `text`.
  std::function<void(int panel, const std::string& text)> StatusText;
  // Opens the information window of the selection.
  std::function<void(const TFoundObject&)> Information;
  // Empties status-bar panel `panel` while it still shows `text`.
  std::function<void(int panel, const std::string& text)> ClearStatusText;
};
extern TFindActions FindActions;

// Center: the main chart centred on the selection, tracking ended. Track:
// the chart follows a moving body (kinds 3..5). Information: the hook.
// Each returns false when the command does not apply.
bool CenterOnFound(const TFoundObject& found);
bool TrackFound(const TFoundObject& found);
bool ShowFoundInformation(const TFoundObject& found);
