#include "tools/object_info.h"

#include <cctype>
#include <cmath>
#include <memory>

#include "astro/names.h"
#include "astro/observer.h"
#include "astro/precession.h"
#include "astro/reference_files.h"
#include "astro/sun_moon.h"
#include "astro/text.h"
#include "astro/transforms.h"
#include "catalog/object_catalog.h"
#include "chart/layers.h"
#include "tools/info_places.h"
#include "platform/numfmt.h"

const char* const kSurveyCodes[8] = {"poss2ukstu_red", "poss2ukstu_blue", "poss2ukstu_ir", "poss1_red",
                                     "poss1_blue",     "quickv",          "phase2_gsc2",   "phase2_gsc1"};
std::string SurveyServer = "https://archive.stsci.edu";

namespace {

constexpr double kPi = 3.141592653589793;

std::size_t ColonOf(const std::string& entry) {
  const auto c = entry.find(':');
  return c == std::string::npos ? entry.size() : c;
}

bool IsMarkNeighbour(char c) {
  return (c >= '0' && c <= '9') || c == '"' || c == '\'' || c == '.';
}

bool IsLetter(char c) { return std::isalpha(uint8_t(c)) != 0; }

// First place of `key` in `text` at or after `from`. In the newer
// descriptions, which hold names and catalogue identifiers besides
// abbreviations ("ANDROMEDA GALAXY; PGC 2557"), a key that begins or ends
// with a letter matches only a whole word there, so the single-letter keys
// do not take names apart ("ANDROMEDA" is not "a north double ...").
std::size_t FindKey(const std::string& text, const std::string& key, bool wholeWords) {
  for (std::size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + 1)) {
    if (!wholeWords) return p;
    const std::size_t end = p + key.size();
    const bool openBefore = !IsLetter(key.front()) || p == 0 || !IsLetter(text[p - 1]);
    const bool openAfter = !IsLetter(key.back()) || end >= text.size() || !IsLetter(text[end]);
    if (openBefore && openAfter) return p;
  }
  return std::string::npos;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(uint8_t(c)));
  return s;
}

}  // namespace

void SortDescriptionAbbreviations(std::vector<std::string>& table) {
  for (std::size_t i = 0; i < table.size(); ++i)
    for (std::size_t j = 0; j < table.size(); ++j)
      if (ColonOf(table[i]) > ColonOf(table[j])) std::swap(table[i], table[j]);
}

std::string ExpandDescription(const std::string& text, const std::vector<std::string>& table, bool old1888) {
  if (text.empty() || table.empty()) return std::string();
  std::string left, middle, right;
  bool matched = false;
  for (const std::string& entry : table) {
    const auto colon = entry.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = entry.substr(0, colon);
    std::string search = key;
    enum { None, Before, After } rule = None;
    if (old1888 && !key.empty() && key[0] == '#') {
      search = key.substr(1);
      rule = Before;
    } else if (old1888 && key.find('#') != std::string::npos) {
      search = key.substr(0, key.size() - 1);
      rule = After;
    } else if (old1888 && key.find('@') != std::string::npos) {
      search = key.substr(0, key.size() - 1);
    }
    if (search.empty()) continue;  // an empty key would match everywhere
    const auto p = FindKey(text, search, !old1888);
    if (p == std::string::npos) continue;
    if (rule == Before && (p == 0 || !IsMarkNeighbour(text[p - 1]))) continue;
    const std::size_t end = p + search.size();
    if (rule == After && (end >= text.size() || !IsMarkNeighbour(text[end]))) continue;
    middle = entry.size() > colon + 2 ? entry.substr(colon + 2) : std::string();
    left = TrimBlanks(text.substr(0, p));
    if (!left.empty()) left = ExpandDescription(left, table, old1888);
    right = TrimBlanks(text.substr(end));
    if (!right.empty()) right = ExpandDescription(right, table, old1888);
    matched = true;
    break;
  }
  if (!matched) middle = Lower(text);
  if (!left.empty() && left.back() != ' ' && left.back() != ',') left += ' ';
  if (!right.empty() && right[0] != ' ' && right[0] != ',') right = ' ' + right;
  if (old1888 && !middle.empty() && middle.back() == '^') {
    middle.pop_back();
    right = TrimBlanks(right);
  }
  return left + middle + right;
}

std::string TidyExpandedText(const std::string& text) {
  std::string s = text;
  while (!s.empty() && (s.back() == ' ' || s.back() == ',')) s.pop_back();
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, 3, "   ") == 0) {
      i += 2;
      continue;
    }
    if (s.compare(i, 2, "  ") == 0) {
      i += 1;
      continue;
    }
    std::size_t len = 0;
    for (const char* pat : {" ,  ", " , ", " ,", ", ", ","}) {
      if (s.compare(i, std::string::traits_type::length(pat), pat) == 0) {
        len = std::string::traits_type::length(pat);
        break;
      }
    }
    if (len) {
      out += ", ";
      i += len;
      if (i < s.size() && s[i] != ',') out += s[i++];
      continue;
    }
    out += s[i++];
  }
  return out;
}

std::string ObjectSizeText(int objectClass, int32_t majorAxis, int32_t minorAxis) {
  if (majorAxis == kNoSize) return "No data";
  auto tenths = [](int32_t v) { return TrimBlanks(platform::FormatFixed(v / 10.0, 0, 1)); };
  switch (objectClass) {
    case 1: case 2: case 3: case 6: return tenths(majorAxis) + "'";
    case 4: return std::to_string(majorAxis) + "\"";
    case 5:
      if (minorAxis == kNoSize) return tenths(majorAxis) + "'";
      return tenths(majorAxis) + "' x " + tenths(minorAxis) + "'";
    default: return "No data";
  }
}

int SurveyFieldIndex(const std::string& sizeText) {
  if (sizeText == "No data") return 3;
  double size = 0;
  const auto q = sizeText.find('\'');
  if (q != std::string::npos) platform::ParseDouble(TrimBlanks(sizeText.substr(0, q)), size);
  for (int i = 0; i < 10; ++i)
    if (kSurveyFields[i] > 1.2 * size) return i;
  return 9;
}

std::string SurveyRequestUrl(int surveyIndex, int fieldIndex, double ra, double dec) {
  if (surveyIndex < 0 || surveyIndex > 7 || fieldIndex < 0 || fieldIndex > 9) return std::string();
  auto two = [](int v) { return platform::FormatInt(v, 2, true); };
  const std::string field = two(kSurveyFields[fieldIndex]) + ".0";
  // Right ascension hh+mm+ss.ss, declination ±dd+mm+ss.s (rounded first).
  double r = std::fmod(ra, 2 * kPi);
  if (r < 0) r += 2 * kPi;
  long long cs = std::llround(r / (2 * kPi) * 86400 * 100) % (86400LL * 100);
  const std::string raText = two(int(cs / 360000)) + "+" + two(int(cs / 6000 % 60)) + "+" +
                             platform::FormatFixed((cs % 6000) / 100.0, 5, 2);
  const long long ds = std::llround(std::fabs(dec) * 180 / kPi * 36000);
  std::string sec = platform::FormatFixed((ds % 600) / 10.0, 4, 1);
  if (sec[0] == ' ') sec[0] = '0';
  const std::string decText = std::string(dec < 0 ? "-" : "") + two(int(ds / 36000)) + "+" +
                              two(int(ds / 600 % 60)) + "+" + sec;
  std::string rs = raText;
  for (auto& c : rs)
    if (c == ' ') c = '0';
  return SurveyServer + "/cgi-bin/dss_search?v=" + kSurveyCodes[surveyIndex] + "&r=" + rs + "&d=" + decText +
         "&e=J2000&h=" + field + "&w=" + field + "&f=gif&c=none&fov=NONE&v3=";
}

TObjectInfo MakeObjectInfo(const tCO& c, const TObserverTime& observer) {
  static const bool sorted = [] {
    SortDescriptionAbbreviations(NgcAbbreviations);
    SortDescriptionAbbreviations(NgcNoteAbbreviations);
    return true;
  }();
  (void)sorted;
  TObjectInfo s;
  // Descriptions.
  if (c.RNGCNew.empty()) {
    s.NewNotes = s.NewNotesExpanded = "No data";
  } else {
    s.NewNotes = c.RNGCNew + " ";
    s.NewNotesExpanded = TidyExpandedText(ExpandDescription(s.NewNotes, NgcNoteAbbreviations, false));
  }
  if (c.RNGCOld.empty()) {
    s.OldNotes = s.OldNotesExpanded = "No data";
  } else {
    std::string raw = "~" + c.RNGCOld + " ";
    std::string expanded = TidyExpandedText(ExpandDescription(raw, NgcAbbreviations, true));
    auto stripFront = [](std::string& t) {
      std::size_t n = 0;
      while (n < t.size() && (t[n] == ' ' || t[n] == '~')) ++n;
      t.erase(0, n);
    };
    stripFront(expanded);
    stripFront(raw);
    s.OldNotes = raw;
    s.OldNotesExpanded = expanded;
  }
  s.Magnitude = c.Mv >= 23 ? "No data" : TrimBlanks(platform::FormatFixed(c.Mv, 0, 1));
  const int cls = (!c.CL.empty() && c.CL[0] >= '0' && c.CL[0] <= '9') ? c.CL[0] - '0' : -1;
  s.Size = ObjectSizeText(cls, c.MaA, c.MiA);
  s.FieldIndex = SurveyFieldIndex(s.Size);
  // Places.
  FillInfoPlaces(s, observer, c.RA, c.DE);
  // Names.
  s.DisplayName = c.DisplayName();
  if (const int m = DeepSkyMessierNumber(c); m > 0) s.Messier = std::to_string(m);
  s.ObjectType = c.ClassText();
  return s;
}

std::string ObjectPoiName(const TObjectInfo& info) {
  return info.Messier.empty() ? info.DisplayName : "M" + info.Messier;
}
