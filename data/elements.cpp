#include "data/elements.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <map>

#include "catalog/element_files.h"
#include "data/common.h"
#include "platform/codec.h"
#include "platform/numfmt.h"

namespace mkdata {

namespace {

// The rows of a small-body list with their values by field name.
struct ElementList {
  std::map<std::string, int> column;
  QJsonArray rows;
};

ElementList ReadList(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBinaryFile(path);
  QJsonParseError err{};
  const QJsonDocument doc = QJsonDocument::fromJson(
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())), &err);
  if (doc.isNull()) throw SourceError(path + ": not valid JSON");
  ElementList list;
  const QJsonArray fields = doc.object().value("fields").toArray();
  for (int i = 0; i < fields.size(); ++i) list.column[fields[i].toString().toStdString()] = i;
  list.rows = doc.object().value("data").toArray();
  if (fields.isEmpty() || list.rows.isEmpty()) throw SourceError(path + ": no element rows");
  return list;
}

// A field of a row as a number (written as a number or as text); false when
// absent or empty.
bool Field(const ElementList& l, const QJsonArray& row, const char* name, double& out) {
  auto it = l.column.find(name);
  if (it == l.column.end() || it->second >= row.size()) return false;
  const QJsonValue v = row[it->second];
  if (v.isDouble()) {
    out = v.toDouble();
    return true;
  }
  return v.isString() && ToDouble(v.toString().toStdString(), out);
}

std::string Text(const ElementList& l, const QJsonArray& row, const char* name) {
  auto it = l.column.find(name);
  if (it == l.column.end() || it->second >= row.size()) return {};
  return std::string(Trim(row[it->second].toString().toStdString()));
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Splits a numbered asteroid's full name, "     1 Ceres (A801 AA)" or
// "  3708 (1974 FV1)" (already trimmed), into its number and its label: the
// text before a closing "(...)", or what stands inside the parentheses when
// there is no text before them. A plain scan, so names of any length cost
// time in proportion to their length and no stack.
bool SplitAsteroidName(std::string_view full, std::string& number, std::string& label) {
  std::size_t i = 0;
  while (i < full.size() && IsDigit(full[i])) ++i;
  if (i == 0) return false;
  number = std::string(full.substr(0, i));
  std::size_t j = i;
  while (j < full.size() && IsBlank(full[j])) ++j;
  if (j == i) return false;  // the number stands alone or runs into the name
  std::string_view rest = full.substr(j);
  std::string_view inside;
  if (!rest.empty() && rest.back() == ')') {
    const std::size_t open = rest.find('(');
    if (open != std::string_view::npos) {
      inside = rest.substr(open + 1, rest.size() - open - 2);
      rest = rest.substr(0, open);
    }
  }
  while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
  label = std::string(rest.empty() ? inside : rest);
  return true;
}

// A numbered periodic comet: digits, then "P/".
bool IsNumberedPeriodic(std::string_view name) {
  std::size_t i = 0;
  while (i < name.size() && IsDigit(name[i])) ++i;
  return i > 0 && name.substr(i, 2) == "P/";
}

}  // namespace

std::vector<AsteroidElements> ReadAsteroidList(const std::string& path, int* skipped) {
  const ElementList l = ReadList(path);
  std::vector<AsteroidElements> out;
  for (const QJsonValue& rv : l.rows) {
    const QJsonArray row = rv.toArray();
    AsteroidElements a;
    double mjd = 0;
    std::string number, label;
    const bool ok = SplitAsteroidName(Text(l, row, "full_name"), number, label) && Field(l, row, "epoch_mjd", mjd) &&
                    Field(l, row, "ma", a.meanAnomaly) && Field(l, row, "a", a.a) && Field(l, row, "e", a.e) &&
                    Field(l, row, "w", a.peri) && Field(l, row, "om", a.node) && Field(l, row, "i", a.incl) &&
                    Field(l, row, "H", a.h);
    if (!ok) {
      if (skipped) ++*skipped;
      continue;
    }
    a.name = "(" + number + ") " + label;
    a.epoch = mjd + 2400000.5;
    if (!Field(l, row, "G", a.g)) a.g = 0.15;
    out.push_back(a);
  }
  return out;
}

std::vector<CometElements> ReadCometList(const std::string& path, int* skipped) {
  const ElementList l = ReadList(path);
  std::vector<CometElements> out;
  for (const QJsonValue& rv : l.rows) {
    const QJsonArray row = rv.toArray();
    CometElements c;
    c.name = Text(l, row, "full_name");
    const bool ok = !c.name.empty() && Field(l, row, "tp", c.epoch) && Field(l, row, "q", c.q) &&
                    Field(l, row, "e", c.e) && Field(l, row, "w", c.peri) && Field(l, row, "om", c.node) &&
                    Field(l, row, "i", c.incl) && Field(l, row, "M1", c.h);
    if (!ok) {
      if (skipped) ++*skipped;
      continue;
    }
    // The list gives no slope for most comets; 4.0 is the usual value of
    // the published comet element lists.
    c.g = 4.0;
    out.push_back(c);
  }
  return out;
}

std::vector<AsteroidElements> SelectBrightAsteroids(const std::vector<AsteroidElements>& all) {
  std::vector<std::pair<double, const AsteroidElements*>> ranked;
  for (const AsteroidElements& a : all) {
    const double q = a.a * (1.0 - a.e);
    if (!(q > 1.0)) continue;
    const double m = a.h + 5.0 * std::log10(q * (q - 1.0));
    if (m <= 11.0) ranked.push_back({m, &a});
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<AsteroidElements> out;
  for (const auto& [m, a] : ranked) out.push_back(*a);
  return out;
}

std::vector<CometElements> SelectBrightComets(const std::vector<CometElements>& all) {
  constexpr double kJan2020 = 2458849.5;
  std::vector<CometElements> out;
  for (const CometElements& c : all) {
    if (!(c.e >= 0 && c.e <= 1.2) || !(c.q > 0)) continue;
    const bool periodic = IsNumberedPeriodic(c.name);
    if ((periodic && c.h <= 12.0) || (!periodic && c.h <= 10.0 && c.epoch >= kJan2020)) out.push_back(c);
  }
  return out;
}

std::string FitNumber(double value, int width, int maxDecimals) {
  for (int d = maxDecimals; d >= 0; --d) {
    const std::string s = platform::FormatFixed(value, 0, d);
    if (int(s.size()) <= width) return s;
  }
  return platform::FormatFixed(value, 0, 0).substr(0, std::size_t(width));
}

namespace {

std::string AngleText(double deg) { return FitNumber(deg, 9, 5); }

}  // namespace

namespace {

// The whole file: the header of the program's own element files, then one
// line per body written by the program's own line writer from grid cells.
std::string ElementFileText(TElementKind kind, const TElementGrid& grid) {
  std::string out;
  for (const std::string& h : ElementFileHeader(kind)) out += h + "\r\n";
  for (int r = 1; r <= grid.BodyCount(); ++r) out += ElementFileLine(kind, grid, r) + "\r\n";
  return out;
}

}  // namespace

std::string FormatAsteroidFile(const std::vector<AsteroidElements>& bodies) {
  TElementGrid grid(ElementColumns(TElementKind::Asteroid));
  grid.SetRowCount(int(bodies.size()) + 2);
  int row = 1;
  for (const AsteroidElements& a : bodies) {
    const std::string cells[] = {"Yes",
                                 a.name,
                                 FitNumber(a.epoch, 12, 5),
                                 AngleText(a.meanAnomaly),
                                 FitNumber(a.a, 9, 7),
                                 FitNumber(a.e, 9, 7),
                                 AngleText(a.peri),
                                 AngleText(a.node),
                                 AngleText(a.incl),
                                 FitNumber(a.h, 5, 2),
                                 FitNumber(a.g, 5, 2)};
    for (int c = 0; c < 11; ++c) grid.SetCell(c, row, cells[c]);
    ++row;
  }
  return ElementFileText(TElementKind::Asteroid, grid);
}

std::string FormatCometFile(const std::vector<CometElements>& bodies) {
  TElementGrid grid(ElementColumns(TElementKind::Comet));
  grid.SetRowCount(int(bodies.size()) + 2);
  int row = 1;
  for (const CometElements& c : bodies) {
    const std::string cells[] = {"Yes",
                                 c.name,
                                 FitNumber(c.epoch, 12, 5),
                                 FitNumber(c.q, 9, 7),
                                 FitNumber(c.e, 9, 7),
                                 AngleText(c.peri),
                                 AngleText(c.node),
                                 AngleText(c.incl),
                                 FitNumber(c.h, 5, 2),
                                 FitNumber(c.g, 5, 2)};
    for (int k = 0; k < 10; ++k) grid.SetCell(k, row, cells[k]);
    ++row;
  }
  return ElementFileText(TElementKind::Comet, grid);
}

}  // namespace mkdata
