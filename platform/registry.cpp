#include "platform/registry.h"

#include <cstring>
#include <map>

#include <QFileDevice>
#include <QSettings>
#include <QString>
#include <QStringList>

#include "platform/numfmt.h"
#include "platform/paths.h"

namespace platform {

namespace {

// QSettings treats "/" as a group separator and "\" specially; the program's
// section and value names contain neither, so they pass through as they are.
QString Key(const std::string& section, const std::string& ident) {
  return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(ident);
}

// --- The file's syntax --------------------------------------------------------
//
// The store is read and written in the INI syntax of QSettings::IniFormat
// (files written by earlier versions read the same), by routines of our own:
// Qt's INI writer commits a file whose last bytes could not be written (a
// full disk gives a cut file and no error), while a write routine of our
// own flushes and reports the failure, and QSettings then keeps the old file.
//
// Section and key names: letters, digits, "_", "-" and "." as they are, "/"
// inside a key as "\", other characters as "%XX" or "%UXXXX"; keys outside
// any section go under [General] (a section really named so is
// "[%General]"). Values: UTF-8, control characters and the quote and
// backslash escaped C-style (a hex digit after a "\x" escape escaped too),
// quoted when they hold ",", ";" or "=" or begin or end with a blank; a
// value beginning with "@" has it doubled. An unquoted "," separates the
// items of a list.

bool IsPlainKeyChar(char16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.';
}

QByteArray EscapeKey(const QString& key) {
  QByteArray out;
  for (QChar qc : key) {
    const char16_t c = qc.unicode();
    if (c == '/') out += '\\';
    else if (IsPlainKeyChar(c)) out += char(c);
    else if (c <= 0xFF) out += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
    else out += "%U" + QByteArray::number(c, 16).toUpper().rightJustified(4, '0');
  }
  return out;
}

QString UnescapeKey(const QString& in) {
  QString out;
  for (qsizetype i = 0; i < in.size(); ++i) {
    if (in[i] == '\\') {
      out += '/';
      continue;
    }
    if (in[i] == '%') {
      const bool wide = i + 1 < in.size() && in[i + 1] == 'U';
      const qsizetype from = i + 1 + wide, n = wide ? 4 : 2;
      bool ok = false;
      const uint code = in.mid(from, n).toUInt(&ok, 16);
      if (ok && from + n <= in.size()) {
        out += QChar(char16_t(code));
        i = from + n - 1;
        continue;
      }
    }
    out += in[i];
  }
  return out;
}

bool IsHexDigit(char16_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Control characters written as a letter escape, and their letters.
constexpr char kControls[] = "\a\b\f\n\r\t\v";
constexpr char kLetters[] = "abfnrtv";

QByteArray EscapeValue(const QString& value) {
  QString out = value.startsWith('@') ? "@" : "";
  bool quote = value.startsWith(' ') || value.endsWith(' ');
  bool afterHex = false;
  for (QChar qc : value) {
    const char16_t c = qc.unicode();
    if (c == ',' || c == ';' || c == '=') quote = true;
    const char* control = c > 0 && c < 0x20 ? std::strchr(kControls, char(c)) : nullptr;
    if (control) {
      out += '\\';
      out += QChar(kLetters[control - kControls]);
      afterHex = false;
    } else if (c < 0x20 || c == 0x7F || (afterHex && IsHexDigit(c))) {
      out += "\\x" + QString::number(c, 16);
      afterHex = true;
    } else {
      if (c == '"' || c == '\\') out += '\\';
      out += qc;
      afterHex = false;
    }
  }
  return (quote ? '"' + out + '"' : out).toUtf8();
}

// A value text: a string, or a list where an unquoted "," separates items.
QVariant UnescapeValue(const QString& in) {
  QStringList items{QString()};
  bool quoted = false, list = false;
  for (qsizetype i = 0; i < in.size(); ++i) {
    const QChar c = in[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      list = true;
      items.back() = items.back().trimmed();
      items.append(QString());
    } else if (c == '\\' && i + 1 < in.size()) {
      const QChar e = in[++i];
      const char* letter = e.unicode() > 0 && e.unicode() < 0x80 ? std::strchr(kLetters, char(e.unicode())) : nullptr;
      if (e == 'x' || (e >= '0' && e <= '7')) {
        // Hexadecimal after "x" (up to four digits), octal after a digit (up to three).
        const bool hex = e == 'x';
        qsizetype end = hex ? i + 1 : i;
        while (end < in.size() && end - i - hex < (hex ? 4 : 3) &&
               (hex ? IsHexDigit(in[end].unicode()) : in[end] >= '0' && in[end] <= '7'))
          ++end;
        items.back() += QChar(char16_t(in.mid(i + hex, end - i - hex).toUInt(nullptr, hex ? 16 : 8)));
        i = end - 1;
      } else if (letter) {
        items.back() += QChar(kControls[letter - kLetters]);
      } else {
        items.back() += e;
      }
    } else {
      items.back() += c;
    }
  }
  if (list) {
    items.back() = items.back().trimmed();
    return items;
  }
  QString v = items.front();
  if (v.startsWith("@@")) v.remove(0, 1);
  else if (v == "@Invalid()") return QVariant();
  return v;
}

bool ReadIni(QIODevice& device, QSettings::SettingsMap& map) {
  QString section;
  for (const QByteArray& raw : device.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
    if (line.startsWith('[')) {
      const QString name = line.mid(1, line.indexOf(']') - 1).trimmed();
      section = name == "General" ? QString() : name == "%General" ? "General/" : UnescapeKey(name) + '/';
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0) continue;
    const QVariant value = UnescapeValue(line.mid(eq + 1).trimmed());
    if (value.isValid()) map.insert(section + UnescapeKey(line.left(eq).trimmed()), value);
  }
  return true;
}

bool WriteIni(QIODevice& device, const QSettings::SettingsMap& map) {
  // Keys outside any section first, under [General], then section by section.
  std::map<QString, QByteArray> sections;
  for (auto it = map.begin(); it != map.end(); ++it) {
    const qsizetype slash = it.key().indexOf('/');
    const QString section = slash < 0 ? QString() : it.key().left(slash);
    const QVariant& v = it.value();
    const QByteArray value = v.typeId() == QMetaType::QStringList
                                 ? [&] {
                                     QByteArray items;
                                     for (const QString& s : v.toStringList())
                                       items += (items.isEmpty() ? "" : ", ") + EscapeValue(s);
                                     return items;
                                   }()
                                 : EscapeValue(v.toString());
    sections[section] += EscapeKey(it.key().mid(slash + 1)) + '=' + value + '\n';
  }
  QByteArray text;
  for (const auto& [name, lines] : sections) {
    const QByteArray title = name.isEmpty() ? "General" : name == "General" ? "%General" : EscapeKey(name);
    text += (text.isEmpty() ? "[" : "\n[") + title + "]\n" + lines;
  }
  // Everything reaches the file here, so that a failure stops QSettings
  // from putting the file in place.
  auto* file = qobject_cast<QFileDevice*>(&device);
  return device.write(text) == text.size() && (!file || file->flush());
}

QSettings::Format IniStoreFormat() {
  static const QSettings::Format format = QSettings::registerFormat("ini", ReadIni, WriteIni);
  return format;
}

}  // namespace

TRegIniFile::TRegIniFile()
    : settings_(std::make_unique<QSettings>(IniStoreFormat(), QSettings::UserScope,
                                            QStringLiteral("Tarvel Software"),
                                            QStringLiteral("Noctra Planetarium"))) {}

TRegIniFile::~TRegIniFile() { Flush(); }

bool TRegIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  return settings_->contains(Key(section, ident));
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& deflt) const {
  const QVariant v = settings_->value(Key(section, ident));
  if (!v.isValid()) return deflt;
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(',')).toStdString();
  return v.toString().toStdString();
}

int32_t TRegIniFile::ReadInteger(const std::string& section, const std::string& ident,
                                 int32_t deflt) const {
  if (!ValueExists(section, ident)) return deflt;
  int32_t v = 0;
  return ParseInt32(ReadString(section, ident, ""), v) ? v : deflt;
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool deflt) const {
  if (!ValueExists(section, ident)) return deflt;
  const std::string s = ReadString(section, ident, "");
  int32_t v = 0;
  if (ParseInt32(s, v)) return v != 0;
  const QString q = QString::fromStdString(s).trimmed().toLower();
  if (q == QLatin1String("true")) return true;
  if (q == QLatin1String("false")) return false;
  return deflt;
}

double TRegIniFile::ReadFloat(const std::string& section, const std::string& ident,
                              double deflt) const {
  if (!ValueExists(section, ident)) return deflt;
  double v = 0;
  return ParseDouble(ReadString(section, ident, ""), v) ? v : deflt;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident,
                              const std::string& value) {
  settings_->setValue(Key(section, ident), QString::fromStdString(value));
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident,
                               int32_t value) {
  WriteString(section, ident, FormatInt(value));
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TRegIniFile::WriteFloat(const std::string& section, const std::string& ident, double value) {
  WriteString(section, ident, FormatGeneral(value, 15));
}

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  settings_->remove(Key(section, ident));
}

void TRegIniFile::EraseSection(const std::string& section) {
  settings_->remove(QString::fromStdString(section));
}

void TRegIniFile::Flush() {
  settings_->sync();
  const std::string file = settings_->fileName().toStdString();
  if (settings_->status() == QSettings::AccessError)
    ReportSaveFailure(file, "The settings could not be written.");
  else
    ReportSaved(file);
}

}  // namespace platform
