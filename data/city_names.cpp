// The names of the city list: the gazetteer's spellings with the letters
// the city file's code page (Windows-1252) holds, fitted to its 22
// characters.
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <vector>

#include "data/refdata.h"
#include "platform/codec.h"

namespace mkdata {

namespace {

// Letters without a Windows-1252 code that the decomposition does not
// reduce to a base letter.
const std::map<char16_t, const char*> kBaseLetters = {{u'ł', "l"}, {u'Ł', "L"}, {u'đ', "d"}, {u'Đ', "D"},
                                                      {u'ı', "i"}, {u'ħ', "h"}, {u'Ħ', "H"}};

// True when the character has a code in Windows-1252.
bool InCodePage(QChar c) {
  char code = 0;
  return platform::Cp1252Code(c.unicode(), code);
}

// Which of "ae", "oe", "ue" the gazetteer writes for ä, ö, ü in the names
// of a time zone's places, by the language spoken there; the Danish and
// Norwegian "ae" stands for æ.
struct TUmlautZone {
  const char* zone;
  const char* pairs;  // a subset of "aou"
  bool ash;           // "ae" is æ
};
const TUmlautZone kUmlautZones[] = {
    // German
    {"Europe/Berlin", "aou", false},
    {"Europe/Vienna", "aou", false},
    {"Europe/Zurich", "aou", false},
    {"Europe/Busingen", "aou", false},
    {"Europe/Vaduz", "aou", false},
    // Swedish, Finnish, Estonian
    {"Europe/Stockholm", "ao", false},
    {"Europe/Helsinki", "ao", false},
    {"Europe/Mariehamn", "ao", false},
    {"Europe/Tallinn", "aou", false},
    // Turkish, Hungarian, Uyghur, Mongolian, Icelandic: no ä
    {"Europe/Istanbul", "ou", false},
    {"Asia/Istanbul", "ou", false},
    {"Europe/Budapest", "ou", false},
    {"Asia/Urumqi", "ou", false},
    {"Asia/Kashgar", "ou", false},
    {"Asia/Ulaanbaatar", "ou", false},
    {"Asia/Hovd", "ou", false},
    {"Asia/Choibalsan", "ou", false},
    {"Atlantic/Reykjavik", "o", false},
    // Danish, Norwegian
    {"Europe/Copenhagen", "a", true},
    {"Europe/Oslo", "a", true},
};

// Names of these zones whose "ae", "oe" or "ue" is written so in the
// language itself (a lengthening "e" of the Lower Rhine and Westphalia,
// vowels that meet across a word's parts).
const char* const kGenuinePairs[] = {"Baesweiler", "Buer",    "Coesfeld", "Israel",  "Itzehoe",
                                     "Joensuu",    "Kevelaer", "Kues",    "Laer",     "Manuel",  "Michael",
                                     "Moers",      "Oldesloe", "Raesfeld", "Raphael", "Samuel",  "Soest",
                                     "Straelen",   "Voerde"};

bool IsGenuine(const std::string& word) {
  for (const char* w : kGenuinePairs)
    if (word == w) return true;
  return false;
}

const char* Umlaut(char vowel, bool upper, bool ash) {
  switch (vowel) {
    case 'a':
      return ash ? (upper ? "Æ" : "æ") : (upper ? "Ä" : "ä");
    case 'o':
      return upper ? "Ö" : "ö";
    default:
      return upper ? "Ü" : "ü";
  }
}

// One word (no blanks) with its pairs restored: `pairs` names the lower-case
// pairs to restore; a capital pair ("UE", "OE", "AE") before a lower-case
// letter is always an umlaut.
std::string RestoreWord(const std::string& w, const char* pairs, bool ash) {
  std::string out;
  for (std::size_t i = 0; i < w.size(); ++i) {
    const char c = w[i], next = i + 1 < w.size() ? w[i + 1] : '\0';
    const char after = i + 2 < w.size() ? w[i + 2] : '\0';
    const bool capital = (c == 'A' || c == 'O' || c == 'U') && next == 'E' && after >= 'a' && after <= 'z';
    const bool lower = (c == 'a' || c == 'o' || c == 'u') && next == 'e' && std::strchr(pairs, c) != nullptr;
    // "aue", "eue", "que": a diphthong or "qu" before an "e", not an umlaut;
    // so is a pair at the start of a word ("Ueda", "Oerlikon").
    const char before = out.empty() ? '\0' : char(std::tolower(uint8_t(out.back())));
    const bool joined = c == 'u' && (before == 'a' || before == 'e' || before == 'q');
    if (capital) {
      out += Umlaut(char(c - 'A' + 'a'), true, ash);
      ++i;
    } else if (lower && i > 0 && !joined) {
      out += Umlaut(c, false, ash);
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string RestoreUmlauts(const std::string& name, const std::string& zone) {
  const char* pairs = "";
  bool ash = false;
  for (const TUmlautZone& z : kUmlautZones)
    if (zone == z.zone) pairs = z.pairs, ash = z.ash;
  // A name with a capital pair ("UEruemqi") is transliterated throughout.
  for (std::size_t i = 0; i + 2 < name.size(); ++i)
    if ((name[i] == 'A' || name[i] == 'O' || name[i] == 'U') && name[i + 1] == 'E' && name[i + 2] >= 'a' &&
        name[i + 2] <= 'z' && (i == 0 || !std::isalpha(uint8_t(name[i - 1]))))
      pairs = "aou";
  std::string out, word;
  auto flush = [&] {
    out += IsGenuine(word) ? word : RestoreWord(word, pairs, ash);
    word.clear();
  };
  for (char c : name) {
    if (std::isalpha(uint8_t(c))) {
      word += c;
    } else {
      flush();
      out += c;
    }
  }
  flush();
  return out;
}

std::string PlainName(const std::string& utf8) {
  const QString text = QString::fromStdString(utf8);
  std::string out;
  auto add = [&](const std::string& piece) {
    for (char a : piece) {
      if (a == ' ' && (out.empty() || out.back() == ' ')) continue;
      out += a;
    }
  };
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 128) {
      const char a = char(u);
      if (std::isalnum(uint8_t(a)) || a == '-') add(std::string(1, a));
      else if (a == ' ' || a == '/' || a == ',') add(" ");
    } else if (c.isLetter() && InCodePage(c)) {
      add(QString(c).toStdString());
    } else if (auto it = kBaseLetters.find(u); it != kBaseLetters.end()) {
      add(it->second);
    } else if (c.isLetter()) {
      // Another letter: its base letters, when the code page has them.
      for (QChar d : QString(c).normalized(QString::NormalizationForm_D))
        if (d.isLetter() && (d.unicode() < 128 || InCodePage(d))) add(QString(d).toStdString());
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string FitCityName(const std::string& utf8, std::size_t width) {
  const std::string whole = PlainName(utf8);
  if (platform::CharCount(whole) <= width) return whole;
  // The city alone: before a parenthesised region or an addition after
  // " - ", " / " or ",".
  std::size_t end = utf8.size();
  for (const char* mark : {" (", " - ", " / ", ","}) end = std::min(end, utf8.find(mark));
  std::vector<std::string> words;
  {
    const std::string city = PlainName(utf8.substr(0, end));
    std::size_t start = 0;
    while (start < city.size()) {
      const std::size_t blank = std::min(city.find(' ', start), city.size());
      words.push_back(city.substr(start, blank - start));
      start = blank + 1;
    }
  }
  // As many whole words as fit, without a dangling particle ("de", "dos").
  auto join = [&](std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += (i ? " " : "") + words[i];
    return s;
  };
  std::size_t n = words.size();
  while (n > 1 && platform::CharCount(join(n)) > width) --n;
  while (n > 1 && !words[n - 1].empty() && std::islower(uint8_t(words[n - 1][0]))) --n;
  const std::string fitted = join(n);
  // A single word longer than the field is all that has to be cut.
  return platform::CharCount(fitted) <= width ? fitted : platform::CutToChars(fitted, width);
}

std::string RegionInitials(const std::string& region) {
  std::string out;
  bool start = true;
  for (char c : region) {
    if (c == ' ' || c == '-') {
      start = true;
    } else if (start) {
      if (std::isalpha(uint8_t(c))) out += char(std::toupper(uint8_t(c)));
      start = false;
    }
  }
  return out;
}

std::string NameSortKey(const std::string& utf8) {
  std::string key;
  for (QChar c : QString::fromStdString(utf8).normalized(QString::NormalizationForm_D))
    if (c.category() != QChar::Mark_NonSpacing) key += QString(c).toStdString();
  return key;
}

}  // namespace mkdata
