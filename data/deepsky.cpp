#include "data/deepsky.h"

#include "astro/text.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "data/common.h"
#include "platform/codec.h"
#include "platform/float_to_int.h"

namespace mkdata {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// "189.1x61.7" or "24": major and minor axis in arcminutes.
void ParseDimensions(const std::string& dim, double& major, double& minor) {
  major = minor = kNaN;
  const std::size_t x = dim.find('x');
  if (x == std::string::npos) {
    ToDouble(dim, major);
  } else {
    ToDouble(std::string_view(dim).substr(0, x), major);
    ToDouble(std::string_view(dim).substr(x + 1), minor);
  }
}

// An open SQLite connection that closes itself.
struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
struct StmtFinaliser {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinaliser>;

Stmt Prepare(sqlite3* db, const std::string& sql, const std::string& where) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
    throw SourceError(where + ": " + sqlite3_errmsg(db));
  return Stmt(s);
}

void Exec(sqlite3* db, const std::string& sql, const std::string& where) {
  char* msg = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
    std::string text = msg ? msg : "unknown error";
    sqlite3_free(msg);
    throw SourceError(where + ": " + text);
  }
}

double ColumnDouble(sqlite3_stmt* s, int col) {
  return sqlite3_column_type(s, col) == SQLITE_NULL ? kNaN : sqlite3_column_double(s, col);
}

std::string ColumnText(sqlite3_stmt* s, int col) {
  const unsigned char* t = sqlite3_column_text(s, col);
  return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}

// "NGC0224", "IC4715", "NGC5866B": catalogue, number and suffix; false for
// other identifiers ("NGC0080 NED01", "M 45").
bool ParseIdentifier(const std::string& ident, std::string& catalog, int& number, std::string& suffix) {
  std::size_t i = 0;
  if (ident.rfind("NGC", 0) == 0) i = 3;
  else if (ident.rfind("IC", 0) == 0) i = 2;
  else return false;
  catalog = ident.substr(0, i);
  const std::size_t digits = i;
  number = 0;
  while (i < ident.size() && std::isdigit(uint8_t(ident[i])) && number < 100000) number = number * 10 + (ident[i++] - '0');
  if (i == digits || number == 0) return false;
  suffix.clear();
  while (i < ident.size() && std::isupper(uint8_t(ident[i]))) suffix += ident[i++];
  return i == ident.size();
}

// The number n of a name "M n" (1..110); 0 for any other text.
int MessierNumber(const std::string& s) {
  if (s.size() < 3 || s.size() > 5 || s[0] != 'M' || s[1] != ' ') return 0;
  int n = 0;
  for (std::size_t i = 2; i < s.size(); ++i) {
    if (!std::isdigit(uint8_t(s[i]))) return 0;
    n = n * 10 + (s[i] - '0');
  }
  return n <= kMessierCount ? n : 0;
}

// The comma-separated names of a list, trimmed, empty ones left out.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> out;
  for (std::string_view part : SplitFields(list, ','))
    if (!Trim(part).empty()) out.emplace_back(Trim(part));
  return out;
}

}  // namespace

std::map<std::string, DsoExtra> ReadGeoJsonDsos(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBinaryFile(path);
  QJsonParseError err{};
  QJsonDocument doc = QJsonDocument::fromJson(
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())), &err);
  if (doc.isNull()) throw SourceError(path + ": not valid JSON");
  std::map<std::string, DsoExtra> out;
  for (const QJsonValue& fv : doc.object().value("features").toArray()) {
    const QJsonObject f = fv.toObject();
    const std::string id = f.value("id").toString().toStdString();
    if (id.rfind("NGC ", 0) != 0 && id.rfind("IC ", 0) != 0) continue;
    const QJsonObject p = f.value("properties").toObject();
    DsoExtra e;
    e.type = p.value("type").toString().toStdString();
    e.mag = kNaN;
    ToDouble(p.value("mag").toString().toStdString(), e.mag);
    if (p.value("mag").isDouble()) e.mag = p.value("mag").toDouble();
    ParseDimensions(p.value("dim").toString().toStdString(), e.major, e.minor);
    e.morph = p.value("morph").toString().trimmed().toStdString();
    out[id] = e;
  }
  return out;
}

int ClassForOpenNgcType(int type) {
  switch (type) {
    case 3: return 1;   // open cluster
    case 4: return 2;   // globular cluster
    case 5: return 3;   // bright nebula
    case 6: return 4;   // planetary nebula
    case 7: return 3;   // supernova remnant
    case 8: return 5;   // galaxy
    case 13: return 1;  // asterism, drawn as a star group
    case 14: return 5;  // group of galaxies
    default: return -1;
  }
}

int ClassForGeoJsonType(const std::string& t) {
  if (t == "oc") return 1;
  if (t == "gc") return 2;
  if (t == "bn" || t == "en" || t == "rn" || t == "sfr" || t == "snr" || t == "dn") return 3;
  if (t == "pn") return 4;
  if (t == "g" || t == "s" || t == "s0" || t == "e" || t == "i" || t == "sd" || t == "gg") return 5;
  return -1;
}

DeepSkyCatalogue ReadOpenNgc(const std::string& path, const std::map<std::string, DsoExtra>& extras) {
  if (!std::filesystem::exists(path)) throw SourceError("cannot open " + path);
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::string msg = raw ? sqlite3_errmsg(raw) : "cannot open";
    sqlite3_close(raw);
    throw SourceError(path + ": " + msg);
  }
  Db db(raw);
  Stmt s = Prepare(db.get(),
                   "SELECT type, ra, dec, magnitude, name, long_name, catalog_identifier, "
                   "major_axis, minor_axis, position_angle FROM cat",
                   path);
  DeepSkyCatalogue cat;
  std::vector<std::pair<int, int>> messierFromNames;  // (M number, NGC number)
  int rc;
  while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
    const int type = sqlite3_column_int(s.get(), 0);
    const std::string name = ColumnText(s.get(), 4);
    const std::string longName = ColumnText(s.get(), 5);
    DeepSkyObject o;
    if (!ParseIdentifier(ColumnText(s.get(), 6), o.catalog, o.number, o.subId)) {
      ++cat.skipped;
      continue;
    }
    o.id = std::to_string(o.number);
    o.ra = NormaliseAngle(ColumnDouble(s.get(), 1) * kDegToRad);
    o.dec = ColumnDouble(s.get(), 2) * kDegToRad;
    if (std::isnan(o.ra) || std::isnan(o.dec)) {
      ++cat.skipped;
      continue;
    }
    o.mag = ColumnDouble(s.get(), 3);
    o.major = ColumnDouble(s.get(), 7);
    o.minor = ColumnDouble(s.get(), 8);
    o.pa = ColumnDouble(s.get(), 9);
    // A declination off the sky or a position angle beyond a full turn is
    // a damaged entry (NaN still means "not given").
    if (!(std::fabs(o.dec) <= kPi / 2) || std::fabs(o.pa) > 360.0) {
      ++cat.damaged;
      continue;
    }
    o.cls = ClassForOpenNgcType(type);
    // Complete the object from the GeoJSON list where OpenNGC is silent.
    const std::string key = o.catalog + " " + o.id + o.subId;
    if (auto it = extras.find(key); it != extras.end()) {
      const DsoExtra& e = it->second;
      bool used = false;
      if (o.cls < 0 && ClassForGeoJsonType(e.type) >= 0) {
        o.cls = ClassForGeoJsonType(e.type);
        used = true;
      }
      if (std::isnan(o.mag) && !std::isnan(e.mag)) {
        o.mag = e.mag;
        used = true;
      }
      if (std::isnan(o.major) && !std::isnan(e.major)) {
        o.major = e.major;
        o.minor = e.minor;
        used = true;
      }
      o.subClass = e.morph;
      if (used) ++cat.filled;
    }
    // Stars, multiple stars and entries of unknown kind count as
    // "nonexistent" objects.
    if (o.cls < 0) o.cls = 7;
    const bool plainNgc = o.catalog == "NGC" && o.subId.empty();
    // Messier numbers: the entry's own name, or one given among its names.
    if (const int m = MessierNumber(name); m && plainNgc) cat.messier[std::size_t(m)] = o.number;
    // Other names: the list without the object's own designations.
    for (const std::string& part : SplitNames(longName)) {
      if (const int m = MessierNumber(part)) {
        if (plainNgc) messierFromNames.push_back({m, o.number});
        continue;
      }
      if (part == key) continue;
      if (!o.names.empty()) o.names += "; ";
      o.names += UpperCaseStr(part);
    }
    (o.catalog == "NGC" ? cat.ngc : cat.ic).push_back(o);
  }
  if (rc != SQLITE_DONE) throw SourceError(path + ": " + sqlite3_errmsg(db.get()));
  for (const auto& [m, number] : messierFromNames)
    if (cat.messier[std::size_t(m)] == 0) cat.messier[std::size_t(m)] = number;
  auto order = [](const DeepSkyObject& a, const DeepSkyObject& b) {
    return a.number != b.number ? a.number < b.number : a.subId < b.subId;
  };
  std::sort(cat.ngc.begin(), cat.ngc.end(), order);
  std::sort(cat.ic.begin(), cat.ic.end(), order);
  if (cat.ngc.empty()) throw SourceError(path + ": no NGC objects");
  return cat;
}

namespace {

void InsertObjects(sqlite3* db, const std::string& table, const std::vector<DeepSkyObject>& objects,
                   const std::string& where) {
  Exec(db,
       "CREATE TABLE " + table +
           " ([idx] INTEGER PRIMARY KEY AUTOINCREMENT, [ID] VARCHAR (10), [SubID] VARCHAR (10), "
           "[CL] VARCHAR (10), [SubCL] VARCHAR (10), [RA] DOUBLE, [DE] DOUBLE, [Mv] FLOAT, "
           "[MaA] INTEGER, [MiA] INTEGER, [PA] INTEGER, [DIST] DOUBLE, [RNGCOld] VARCHAR (255), "
           "[RNGCNew] VARCHAR (255));",
       where);
  Stmt ins = Prepare(db,
                     "INSERT INTO " + table +
                         " (ID, SubID, CL, SubCL, RA, DE, Mv, MaA, MiA, PA, DIST, RNGCOld, RNGCNew) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, NULL, NULL, ?);",
                     where);
  auto text = [&](int col, const std::string& v) {
    if (v.empty()) sqlite3_bind_null(ins.get(), col);
    else sqlite3_bind_text(ins.get(), col, v.c_str(), int(v.size()), SQLITE_TRANSIENT);
  };
  // Sizes: tenths of an arcminute, but arcseconds for planetary nebulae;
  // values the 16-bit no-value marker cannot hold are left out.
  auto size = [&](int col, double arcmin, int cls) {
    if (std::isnan(arcmin) || arcmin <= 0) return (void)sqlite3_bind_null(ins.get(), col);
    const double v = std::nearbyint(cls == 4 ? arcmin * 60.0 : arcmin * 10.0);
    if (v > 32767) return (void)sqlite3_bind_null(ins.get(), col);
    sqlite3_bind_int(ins.get(), col, int(std::max(v, 1.0)));
  };
  for (const DeepSkyObject& o : objects) {
    sqlite3_reset(ins.get());
    sqlite3_clear_bindings(ins.get());
    text(1, o.id);
    text(2, o.subId);
    text(3, std::to_string(o.cls));
    // Texts in UTF-8, the database's own encoding, as the program reads them.
    text(4, o.subClass);
    sqlite3_bind_double(ins.get(), 5, o.ra);
    sqlite3_bind_double(ins.get(), 6, o.dec);
    // "No magnitude" is 23, not NULL, so that filtered queries keep it.
    sqlite3_bind_double(ins.get(), 7, std::isnan(o.mag) ? 23.0 : o.mag);
    size(8, o.major, o.cls);
    size(9, o.minor, o.cls);
    // For diffuse nebulae (and clusters with nebulosity) PA is the number
    // of their first outline record; there are no outlines.
    if (o.cls == 3 || o.cls == 6 || std::isnan(o.pa)) sqlite3_bind_null(ins.get(), 10);
    else sqlite3_bind_int(ins.get(), 10, platform::ClampFloatToInt<int>(std::nearbyint(o.pa)));
    text(11, o.names);
    if (sqlite3_step(ins.get()) != SQLITE_DONE) throw SourceError(where + ": " + sqlite3_errmsg(db));
  }
}

}  // namespace

const char* const kIcDescription = "Index Catalogue (IC I and II), from the OpenNGC catalogue.";

int WriteObjectDatabase(const std::string& path, const std::vector<DeepSkyObject>& base,
                        const std::vector<DeepSkyObject>& ic) {
  const std::string tmp = path + ".tmp";
  std::error_code ec;
  std::filesystem::remove(tmp, ec);
  int kept = 0;
  try {
    // Catalogues the user imported live in the same file: the old file is
    // copied and only the builder's own tables are written anew.
    if (std::filesystem::exists(path, ec) && !std::filesystem::copy_file(path, tmp, ec))
      throw SourceError(tmp + ": cannot copy " + path + ": " + ec.message());
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(tmp.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
      std::string msg = raw ? sqlite3_errmsg(raw) : "cannot create";
      sqlite3_close(raw);
      throw SourceError(tmp + ": " + msg);
    }
    {
      Db db(raw);
      // An old file that is no database is left as it is, and said so.
      const std::string old = path + " (left as it is; move it aside to rebuild it)";
      Stmt others = Prepare(db.get(),
                            "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                            "AND name COLLATE NOCASE NOT IN ('" + std::string(kBaseTable) + "', '" + kIcTable + "')",
                            old);
      if (sqlite3_step(others.get()) != SQLITE_ROW) throw SourceError(old + ": " + sqlite3_errmsg(db.get()));
      kept = sqlite3_column_int(others.get(), 0);
      others.reset();
      Exec(db.get(), "BEGIN TRANSACTION;", tmp);
      for (const char* table : {kBaseTable, kIcTable}) Exec(db.get(), std::string("DROP TABLE IF EXISTS ") + table, tmp);
      InsertObjects(db.get(), kBaseTable, base, tmp);
      InsertObjects(db.get(), kIcTable, ic, tmp);
      Exec(db.get(), "COMMIT;", tmp);
      if (sqlite3_close(db.release()) != SQLITE_OK) throw SourceError(tmp + ": cannot close");
    }
    std::filesystem::rename(tmp, path);
  } catch (...) {
    std::filesystem::remove(tmp, ec);
    throw;
  }
  return kept;
}

bool ObjectDatabaseComplete(const std::string& path) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) return false;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db.get(),
                         ("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('" +
                          std::string(kBaseTable) + "', '" + kIcTable + "')")
                             .c_str(),
                         -1, &s, nullptr) != SQLITE_OK)
    return false;
  Stmt stmt(s);
  return sqlite3_step(s) == SQLITE_ROW && sqlite3_column_int(s, 0) == 2;
}

std::vector<uint8_t> EncodeMessierTable(const std::array<int, kMessierCount + 1>& messier) {
  platform::ByteWriter w;
  for (int n = 1; n <= kMessierCount; ++n) w.I32(messier[n]);
  return w.Bytes();
}

}  // namespace mkdata
