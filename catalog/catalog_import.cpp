#include "catalog/catalog_import.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include <QChar>
#include <QUtf8StringView>

#include "astro/observer.h"
#include "astro/precession.h"
#include "catalog/object_catalog.h"
#include "catalog/sqlite_db.h"
#include "platform/codec.h"
#include "platform/data_file.h"
#include "platform/numfmt.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegPerRad = 180 / M_PI;
// The largest whole number an integer column (a position angle) takes.
constexpr double kMaxImportInt = 2147483647;

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n\f\v");
  if (b == std::string::npos) return std::string();
  const auto e = s.find_last_not_of(" \t\r\n\f\v");
  return s.substr(b, e - b + 1);
}

// A field as UTF-8: text that is not valid UTF-8 is read as Windows-1252
// (Latin-1 and its printable extension).
std::string FieldText(const std::string& raw) {
  const std::string t = Trim(raw);
  return QUtf8StringView(t).isValidUtf8() ? t : platform::Cp1252ToUtf8(t);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// The most bytes of one line the import reads: far more than any line of a
// text catalogue (the fixed positions reach column 2,048, their last field
// 9,999 characters further; a refused field is quoted short however long),
// so that a file without line ends (a picture, a disk image) is never taken
// into memory whole.
constexpr std::size_t kImportLineBytes = 16 * 1024 * 1024;

// Reads a regular file (a named pipe, a folder or a device in its place is
// refused unopened: platform/data_file.h) line by line (CR LF or LF),
// skipping `skip` lines first. The reading ends at a line longer than
// kImportLineBytes (TooLong).
class LineReader {
 public:
  LineReader(const std::string& fileName, int skip) : f_(platform::OpenDataFile(fileName, &refusal_)) {
    if (!f_) return;
    struct stat st {};
    if (::fstat(::fileno(f_.get()), &st) == 0) size_ = int64_t(st.st_size);
    std::string line;
    for (int i = 0; i < skip && Next(line);) ++i;
  }
  // Why the file was not opened ("it is a named pipe, not a file"); "" when
  // it was.
  const std::string& Refusal() const { return refusal_; }
  // True when the reading ended at a line too long to read.
  bool TooLong() const { return tooLong_; }
  // True when it ended on a read error.
  bool Failed() const { return f_ && std::ferror(f_.get()); }
  bool Next(std::string& line) {
    line.clear();
    if (!f_ || tooLong_) return false;
    int ch;
    while ((ch = getc_unlocked(f_.get())) != EOF && ch != '\n') {
      if (line.size() == kImportLineBytes) {
        tooLong_ = true;
        return false;
      }
      line += char(ch);
    }
    if (ch == EOF && line.empty()) return false;
    ++number_;
    read_ += int64_t(line.size()) + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
  int Percent() const { return size_ > 0 ? int(std::min<int64_t>(100, read_ * 100 / size_)) : 100; }
  // The number of the line read last, counted from the file's first line.
  int Number() const { return number_; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::string refusal_;
  std::unique_ptr<std::FILE, Closer> f_;
  int64_t size_ = 0;
  int64_t read_ = 0;
  int number_ = 0;
  bool tooLong_ = false;
};

// Most characters of a refused field that its message quotes: a message
// box stays readable (and quick to lay out) whatever the file holds.
constexpr std::size_t kQuotedFieldChars = 60;

// A field's text as a message box can show it: every character that shows
// nothing or moves the text (a control character such as NUL, tab or the
// C1 codes, a format character such as a byte-order mark or a direction
// mark, a line or paragraph separator) is written as an escape: \xHH for a
// code below 256, \uHHHH above, \UHHHHHHHH beyond the 16-bit range; a byte
// that is not UTF-8 as \xHH of the byte. Everything else stays as it is.
std::string ShownText(const std::string& text) {
  std::string out;
  const auto escape = [&out](const char* format, unsigned code) {
    char b[16];
    std::snprintf(b, sizeof b, format, code);
    out += b;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    const char32_t c = platform::NextCodePoint(text, i);
    const bool bad = c == 0xFFFD && text.compare(start, 3, "\xEF\xBF\xBD") != 0;  // not UTF-8
    if (bad) {
      escape("\\x%02X", uint8_t(text[start]));
      continue;
    }
    const QChar::Category category = QChar::category(char32_t(c));
    if (category != QChar::Other_Control && category != QChar::Other_Format &&
        category != QChar::Separator_Line && category != QChar::Separator_Paragraph) {
      out.append(text, start, i - start);
      continue;
    }
    escape(c < 0x100 ? "\\x%02X" : c < 0x10000 ? "\\u%04X" : "\\U%08X", unsigned(c));
  }
  return out;
}

// The message of a field that does not convert: the field in brackets, cut
// to kQuotedFieldChars characters with "…" after a cut and shown with its
// unprintable characters as escapes, then where it stands (line of the
// file, column of the preview).
std::string FieldError(const char* what, const std::string& field, int line, int column) {
  const std::string cut = platform::CutToChars(field, kQuotedFieldChars);
  const std::string quoted = ShownText(cut) + (cut.size() < field.size() ? "\xE2\x80\xA6" : "");  // "…"
  return std::string(what) + " (" + quoted + ")\r\nLine " + std::to_string(line) + ", column #" +
         std::to_string(column) + ".";
}

}  // namespace

std::vector<std::string> SplitImportLine(const std::string& line, const TImportLayout& layout) {
  std::vector<std::string> fields;
  if (layout.Fixed) {
    const auto& p = layout.FixedPositions;
    for (std::size_t i = 0; i < p.size(); ++i) {
      const std::size_t start = std::size_t(p[i] - 1);
      const std::size_t length = i + 1 < p.size() ? std::size_t(p[i + 1] - p[i]) : 9999;
      fields.push_back(start < line.size() ? FieldText(line.substr(start, length)) : std::string());
    }
    return fields;
  }
  std::string separators;
  if (layout.Tab) separators += '\t';
  if (layout.Semicolon) separators += ';';
  if (layout.Comma) separators += ',';
  if (layout.Space) separators += ' ';
  if (layout.Bar) separators += '|';
  if (separators.empty()) return {FieldText(line)};
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = line.find_first_of(separators, from);
    fields.push_back(FieldText(line.substr(from, at == std::string::npos ? std::string::npos : at - from)));
    if (at == std::string::npos) break;
    from = at + 1;
  }
  return fields;
}

std::string ParseFixedPositions(const std::string& text, std::vector<int>& out) {
  out.clear();
  std::vector<int> list;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(',', from);
    const std::string item = Trim(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    int32_t v = 0;
    if (!platform::ParseInt32(item, v) || v < 1 || v > 2048)
      return "The list of field column positions must contain numbers (ranging from 1 to 2048) "
             "seperated by comma's only.";
    if (!list.empty() && v <= list.back())
      return "The list of field column positions must be in increasing order from low to high.";
    list.push_back(v);
    if (list.size() > 100) return "The list of field column positions is too large, 100 items is the maximum.";
    if (at == std::string::npos) break;
    from = at + 1;
  }
  out = std::move(list);
  return std::string();
}

std::vector<std::vector<std::string>> ReadImportPreview(const std::string& fileName,
                                                        const TImportLayout& layout, int maxLines) {
  std::vector<std::vector<std::string>> rows;
  LineReader in(fileName, layout.StartRow - 1);
  std::string line;
  while (int(rows.size()) < maxLines && in.Next(line)) rows.push_back(SplitImportLine(line, layout));
  return rows;
}

// --- The column-type tree ---------------------------------------------------

const TImportTypeTree& ImportTypeTree() {
  static const TImportTypeTree tree = [] {
    TImportTypeTree t;
    int g = -1;
    auto group = [&](const char* text) {
      t.Groups.push_back(text);
      t.SubGroups.emplace_back();
      ++g;
    };
    auto entry = [&](const char* text, const char* code) {
      t.Types.push_back({text, code, g, -1, ""});
    };
    auto sub = [&](const char* text, const char* column,
                   std::initializer_list<std::pair<const char*, const char*>> entries) {
      t.SubGroups[std::size_t(g)].push_back(text);
      const int s = int(t.SubGroups[std::size_t(g)].size()) - 1;
      for (const auto& [e, code] : entries) t.Types.push_back({e, code, g, s, column});
    };
    group("Catalog Identification (One or more Required)");
    entry("Identification [ID]", "ID");
    entry("Sub-Identification [SubID]", "SubID");
    group("Catalog Cross-Reference, Optional");
    entry("Cross-Reference 1 [XREF1]", "XREF1");
    entry("Cross-Reference 2 [XREF2]", "XREF2");
    entry("Cross-Reference 3 [XREF3]", "XREF3");
    entry("Cross-Reference 4 [XREF4]", "XREF4");
    group("Classification, (One Required)");
    entry("RNGC Class [CL]", "CL");
    entry("RNGC Sub-Class [SubCL]", "SubCL");
    entry("Open Cluster [CL1]", "CL1");
    entry("Globular Cluster [CL2]", "CL2");
    entry("Diffuse Nebula [CL3]", "CL3");
    entry("Planetary Nebula [CL4]", "CL4");
    entry("Galaxy [CL5]", "CL5");
    entry("Cluster Assoc. Nebulosity [CL6]", "CL6");
    entry("LMC Object [CL8]", "CL8");
    entry("SMC Object [CL9]", "CL9");
    group("Right Ascension (One Required)");
    sub("HMS {RA}", "RA", {{"Hours [RAH]", "RAH"}, {"Minutes [RAM]", "RAM"}, {"Seconds [RAS]", "RAS"}});
    sub("DEG. {RA}", "RA", {{"Degrees [RAD]", "RAD"}});
    sub("RAD. {RA}", "RA", {{"Radians [RAR]", "RAR"}});
    group("Proper Motion RA, Optional");
    entry("Milli-Arcseconds/Year [PRAmas]", "PRAmas");
    group("Declination (One Required)");
    sub("DMS {DE}", "DE", {{"Degrees [DED]", "DED"}, {"Minutes [DEM]", "DEM"}, {"Seconds [DES]", "DES"}});
    sub("DEG. {DE}", "DE", {{"Degrees [DED]", "DED"}});
    sub("RAD. {DE}", "DE", {{"Radians [DER]", "DER"}});
    group("Proper Motion Dec, Optional");
    entry("Milli-Arcseconds/Year [PDECmas]", "PDECmas");
    group("Magnitude (One or more Required)");
    entry("Visual [Mv]", "Mv");
    entry("Photographic [Mp]", "Mp");
    group("Size/Orientation, Optional");
    entry("Size (Major Axis) in Arcminutes [MaA]", "MaA");
    entry("Size (Minor Axis) in Arcminutes [MiA]", "MiA");
    entry("Position Angle in Degrees [PA]", "PA");
    group("Distance, One Optional");
    sub("Distance {DIST}", "DIST",
        {{"From distance in Mpc [MPC]", "MPC"},
         {"From distance in kpc [KPC]", "KPC"},
         {"From distance in Parsecs [PC]", "PC"},
         {"From distance in Light Years [LY]", "LY"},
         {"From Radial Velocity in km/S [V]", "V"}});
    group("Notes, Optional");
    entry("RNGC Old [RNGCOld]", "RNGCOld");
    entry("RNGC New [RNGCNew]", "RNGCNew");
    return t;
  }();
  return tree;
}

std::string ImportTypeHeader(const TImportType& t) {
  return t.Column.empty() ? t.Code : t.Code + " {" + t.Column + "}";
}

std::string CheckImportAssignment(const std::vector<int>& columnOfType) {
  const TImportTypeTree& tree = ImportTypeTree();
  for (int g = 0; g < int(tree.Groups.size()); ++g) {
    const std::string& text = tree.Groups[std::size_t(g)];
    int direct = 0, directTotal = 0;
    std::set<int> subs;
    for (std::size_t i = 0; i < tree.Types.size(); ++i) {
      const TImportType& t = tree.Types[i];
      if (t.Group != g) continue;
      const bool assigned = i < columnOfType.size() && columnOfType[i] >= 0;
      if (t.SubGroup < 0) {
        ++directTotal;
        direct += assigned;
      } else if (assigned) {
        subs.insert(t.SubGroup);
      }
    }
    const int count = direct + int(subs.size());
    // Entries of two sub-groups, or a direct entry with a sub-group's.
    if (subs.size() > 1 || (direct > 0 && !subs.empty())) return text;
    const bool required = Contains(text, "(One or more Required)") || Contains(text, "(Required)") ||
                          Contains(text, "(One Required)");
    if (required && count < 1) return text;
    if (Contains(text, "(One Required)") && count != 1) return text;
    if (Contains(text, "(Required)") && direct != directTotal) return text;
  }
  return std::string();
}

// --- The import --------------------------------------------------------------

double ImportEpochJD(TImportEpoch epoch) {
  switch (epoch) {
    case TImportEpoch::B1975: return 2442413.5;
    case TImportEpoch::B1950: return 2433282.423;
    case TImportEpoch::B1900: return 2415020.3135;
    case TImportEpoch::J2050: return 2469807.5;
    default: return 2451545.0;
  }
}

std::string ImportTableName(const std::string& fileName) {
  std::string name = fileName.substr(fileName.find_last_of('/') + 1);
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

namespace {

enum class Kind { Text, Double, Single, SingleX10, Int };

struct Dictionary {
  const char* sqlType;
  Kind kind;
};

// The SQL type and value kind of every code.
std::optional<Dictionary> Lookup(const std::string& code) {
  static const std::map<std::string, Dictionary> dict = [] {
    std::map<std::string, Dictionary> d;
    for (const char* c : {"ID", "SubID", "CL", "SubCL", "CL1", "CL2", "CL3", "CL4", "CL5", "CL6", "CL8",
                          "CL9", "XREF1", "XREF2", "XREF3", "XREF4"})
      d[c] = {"VARCHAR (10)", Kind::Text};
    for (const char* c : {"RAH", "RAM", "RAS", "RAD", "RAR", "PRAmas", "DED", "DEM", "DES", "DER",
                          "PDECmas", "MPC", "KPC", "PC", "LY", "V"})
      d[c] = {"DOUBLE", Kind::Double};
    d["Mv"] = d["Mp"] = {"FLOAT", Kind::Single};
    d["MaA"] = d["MiA"] = {"INTEGER", Kind::SingleX10};
    d["PA"] = {"INTEGER", Kind::Int};
    d["RNGCOld"] = d["RNGCNew"] = {"VARCHAR (255)", Kind::Text};
    return d;
  }();
  const auto it = dict.find(code);
  if (it == dict.end()) return std::nullopt;
  return it->second;
}

// A number with its sign taken from the text: a leading "-" (or the
// typographic minus) may stand apart from the digits, so "- 12.5" and
// "-00" are negative. Empty text gives NaN.
bool ParseSigned(const std::string& field, double& value, bool& negative) {
  std::string s = Trim(field);
  negative = false;
  if (s.empty()) {
    value = kNaN;
    return true;
  }
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    s = Trim(s.substr(1));
  } else if (s.compare(0, 3, "\xE2\x88\x92") == 0) {
    negative = true;
    s = Trim(s.substr(3));
  }
  if (s.empty() || s[0] == '-' || s[0] == '+' || !platform::ParseDouble(s, value)) return false;
  if (negative) value = -value;
  return true;
}

// One assigned column of the file.
struct Source {
  int field;  // preview column
  std::string code;
  std::string column;  // database column ("" for none of its own)
  Kind kind;
};

using Row = TSQLiteBindings;

}  // namespace

std::string ConvertCatalogImport(const TImportJob& job, TImportTable& out,
                                 const std::function<void(int)>& progress) {
  const TImportTypeTree& tree = ImportTypeTree();
  out = TImportTable{};

  // The assigned columns, in file order, and the table's columns.
  std::vector<Source> sources;
  std::vector<std::pair<std::string, std::string>>& columns = out.Columns;  // name, SQL type
  auto addColumn = [&](const std::string& name, const char* type) {
    for (const auto& c : columns)
      if (c.first == name) return;
    columns.emplace_back(name, type);
  };
  std::map<int, std::size_t> typeOfField;
  for (std::size_t i = 0; i < tree.Types.size() && i < job.ColumnOfType.size(); ++i)
    if (job.ColumnOfType[i] >= 0) typeOfField[job.ColumnOfType[i]] = i;
  for (const auto& [field, i] : typeOfField) {
    const TImportType& t = tree.Types[i];
    const auto d = Lookup(t.Code);
    if (!d) return "Error unknown SQL data type.";
    std::string name = t.Code;
    if (name.size() == 3 && name.compare(0, 2, "CL") == 0) name = "CL";
    if (!t.Column.empty()) name = t.Column;
    addColumn(name, t.Column.empty() ? d->sqlType : "DOUBLE");
    sources.push_back({field, t.Code, name, d->kind});
  }
  bool hasRA = false, hasDE = false;
  for (const auto& c : columns) {
    hasRA |= c.first == "RA";
    hasDE |= c.first == "DE";
  }
  if (!hasRA || !hasDE) return "Error, RA and DE must both be defined.";

  // Precession from the source epoch to J2000.
  TObserverTime precession{};
  const bool precess = job.Epoch != TImportEpoch::J2000;
  if (precess) SetPrecession(precession, ImportEpochJD(job.Epoch), 2451545.0);

  // Read and convert every line before the database is touched.
  std::vector<Row>& rows = out.Rows;
  LineReader in(job.FileName, job.Layout.StartRow - 1);
  const std::string cannotRead = "Could not read the file \"" + job.FileName + "\"";
  if (!in.Refusal().empty()) return cannotRead + ": " + in.Refusal() + ".";
  std::string line;
  while (in.Next(line)) {
    if (progress) progress(in.Percent());
    if (Trim(line).empty()) continue;
    const std::vector<std::string> fields = SplitImportLine(line, job.Layout);
    auto fieldOf = [&](const Source& s) {
      return std::size_t(s.field) < fields.size() ? fields[std::size_t(s.field)] : std::string();
    };
    // The class digit decides the unit of the sizes.
    int cls = -1;
    for (const Source& s : sources) {
      if (s.column != "CL") continue;
      const std::string v = s.code == "CL" ? Trim(fieldOf(s)) : s.code.substr(2);
      if (!v.empty() && v[0] >= '0' && v[0] <= '9') cls = v[0] - '0';
    }
    std::map<std::string, TSQLiteBinding> values;
    double ra = 0, de = 0, dist = 0;
    bool raNeg = false, deNeg = false, anyRA = false, anyDE = false, anyDist = false;
    for (const Source& s : sources) {
      const std::string text = fieldOf(s);
      if (s.kind == Kind::Text) {
        // A class column (CL1 to CL9) stores its own digit, whatever the field holds.
        const bool classDigit = s.code.size() == 3 && s.code.compare(0, 2, "CL") == 0;
        values[s.column] = classDigit ? std::string(1, s.code[2]) : text;
        continue;
      }
      double v = 0;
      bool negative = false;
      auto refused = [&](const char* what) { return FieldError(what, text, in.Number(), s.field + 1); };
      if (!ParseSigned(text, v, negative)) {
        if (s.kind == Kind::Double) return refused("Error converting value to a double precision number");
        if (s.kind == Kind::Int) return refused("Error converting value to an integer");
        return refused("Error converting value to an single precision number");
      }
      const bool empty = std::isnan(v);
      const std::string& c = s.code;
      if (c == "RAH" || c == "RAM" || c == "RAS" || c == "RAD" || c == "RAR") {
        if (empty) continue;
        anyRA = true;
        // A right ascension is negative only by value ("-0" hours stays
        // positive); a declination takes its sign from the text below.
        if ((c == "RAH" || c == "RAD" || c == "RAR") && v < 0) raNeg = true;
        const double f = c == "RAH" ? 15 : c == "RAM" ? 15.0 / 60 : c == "RAS" ? 15.0 / 3600
                       : c == "RAD" ? 1 : kDegPerRad;
        ra += std::fabs(v) * f;
      } else if (c == "DED" || c == "DEM" || c == "DES" || c == "DER") {
        if (empty) continue;
        anyDE = true;
        if ((c == "DED" || c == "DER") && negative) deNeg = true;
        const double f = c == "DED" ? 1 : c == "DEM" ? 1.0 / 60 : c == "DES" ? 1.0 / 3600 : kDegPerRad;
        de += std::fabs(v) * f;
      } else if (c == "MPC" || c == "KPC" || c == "PC" || c == "LY" || c == "V") {
        if (empty) continue;
        anyDist = true;
        dist += v * (c == "MPC" ? 1e6 : c == "KPC" ? 1e3 : c == "LY" ? 0.3066079009625
                     : c == "V" ? 1e6 / 75 : 1);
      } else if (s.kind == Kind::SingleX10) {
        // Tenths of an arcminute; a planetary nebula's size in arcseconds.
        // Sizes beyond the column's range are stored as none (checked on
        // the double, before any conversion to an integer).
        const double x = empty ? 0 : std::nearbyint(v * (cls == 4 ? 60 : 10));
        values[s.column] = (empty || !(std::fabs(x) <= 32767)) ? TSQLiteBinding() : TSQLiteBinding(int64_t(x));
      } else if (s.kind == Kind::Int) {
        if (!empty && (v != std::trunc(v) || !(std::fabs(v) <= kMaxImportInt)))
          return refused("Error converting value to an integer");
        values[s.column] = empty ? TSQLiteBinding() : TSQLiteBinding(int64_t(v));
      } else if (s.kind == Kind::Single && !empty && std::isfinite(v) &&
                 !(std::fabs(v) <= std::numeric_limits<float>::max())) {
        return refused("Error converting value to an single precision number");
      } else if (s.code == "Mv") {
        // No magnitude is stored as 23, the value the filter lets through.
        values[s.column] = empty ? 23.0 : double(float(v));
      } else {
        values[s.column] = empty ? TSQLiteBinding() : TSQLiteBinding(s.kind == Kind::Single ? double(float(v)) : v);
      }
    }
    // A row the chart could never place is refused and counted: one without
    // a right ascension or a declination, or one off the sky.
    if (!anyRA || !anyDE) {
      ++out.NoPosition;
      continue;
    }
    if (!(ra <= 360) || !(de <= 90)) {
      ++out.OffSky;
      continue;
    }
    double raRad = (raNeg ? -ra : ra) / kDegPerRad;
    double deRad = (deNeg ? -de : de) / kDegPerRad;
    if (precess) Precess(precession, raRad, deRad);
    raRad = std::fmod(raRad, 2 * M_PI);
    if (raRad < 0) raRad += 2 * M_PI;
    values["RA"] = raRad;
    values["DE"] = deRad;
    values["DIST"] = anyDist ? TSQLiteBinding(dist) : TSQLiteBinding();
    Row row;
    for (const auto& c : columns) row.push_back(values[c.first]);
    rows.push_back(std::move(row));
  }
  if (in.TooLong())
    return cannotRead + ": line " + std::to_string(in.Number() + 1) + " is longer than " +
           std::to_string(kImportLineBytes >> 20) + " MB, so it is no text catalogue.";
  if (in.Failed()) return cannotRead + ": " + std::strerror(errno) + ".";
  if (rows.empty() && out.NoPosition + out.OffSky > 0)
    return "No line of the file holds a position on the sky, nothing was imported.\r\n" + ImportReport(out);
  return std::string();
}

std::string ImportReport(const TImportTable& t) {
  std::string text = std::to_string(t.Rows.size()) + (t.Rows.size() == 1 ? " object" : " objects") + " imported.";
  if (const int refused = t.NoPosition + t.OffSky; refused > 0)
    text += "\r\n" + std::to_string(refused) + (refused == 1 ? " line" : " lines") + " refused: " +
            std::to_string(t.NoPosition) + " without a right ascension or declination, " + std::to_string(t.OffSky) +
            " off the sky (declination beyond 90 degrees or right ascension beyond 360 degrees).";
  return text;
}

std::string RunCatalogImport(const TImportJob& job, const std::function<void(int)>& progress,
                             std::string* report) {
  const std::string table = job.Table;
  if (table.empty()) return "The catalogue needs a file name to name its table.";
  if (Lower(table) == Lower(kBaseCatalogTable))
    return "The table name \"" + table + "\" belongs to the base catalogue. Rename the file before importing it.";
  for (const std::string& used : job.NamesInUse)
    if (Lower(used) == Lower(table))
      return "The table name \"" + table + "\" is used by another catalogue. Rename the file before importing it.";
  TImportTable converted;
  const std::string error = ConvertCatalogImport(job, converted, progress);
  if (!error.empty()) return error;
  const auto& columns = converted.Columns;
  const auto& rows = converted.Rows;

  // The statements, with every name quoted.
  std::string create = "CREATE TABLE " + SQLiteQuoteName(table) + " ([idx] INTEGER PRIMARY KEY AUTOINCREMENT";
  std::string names, marks;
  for (const auto& [name, type] : columns) {
    create += ", " + SQLiteQuoteName(name) + " " + type;
    names += (names.empty() ? "" : ",") + SQLiteQuoteName(name);
    marks += marks.empty() ? "?" : ",?";
  }
  create += ")";
  const std::string insert = "INSERT INTO " + SQLiteQuoteName(table) + " (" + names + ") VALUES (" + marks + ")";

  // Create and fill the table in one transaction under the object lock; the
  // lock is released before any error is reported. A table of that name,
  // whichever catalogue it holds, is never replaced.
  bool exists = false;
  std::string damage;
  try {
    TObjectsLock lock;
    // A missing or damaged database is left as it is: the catalogues
    // imported before are kept in it.
    damage = CheckObjectDatabase(job.DatabasePath);
    if (!damage.empty()) throw ESQLiteException(damage);
    TSQLiteDatabase db(job.DatabasePath);
    exists = db.TableExists(table);
    if (!exists) {
      db.BeginTransaction();
      db.Execute(create);
      for (const Row& r : rows) db.Execute(insert, r);
      db.Commit();
    }
  } catch (const ESQLiteException& e) {
    if (!damage.empty()) return ObjectDatabaseRefusalText(damage);
    // Locked by another program: sound, and left as it was.
    if (e.IsBusy())
      return "Nothing was imported: " + ObjectDatabaseBusyText(e.Why()) + ". Try again when it is free.";
    // Not this user's to write (a read-only file or folder): sound too.
    if (e.IsPermission()) return "Nothing was imported: " + DataFileProblemLine(ObjectDatabaseProblem(e.Why()));
    return e.what();
  }
  if (exists)
    return "The object database already holds a catalogue named \"" + table +
           "\". It was left as it is; rename the file to import it under another name.";
  if (progress) progress(100);
  if (report) *report = ImportReport(converted);
  return std::string();
}
