#include "platform/registry.h"

#include <QSettings>
#include <QString>

#include "platform/numfmt.h"
#include "platform/paths.h"

namespace platform {

namespace {

// QSettings treats "/" as a group separator and "\" specially; the program's
// section and value names contain neither, so they pass through as they are.
QString Key(const std::string& section, const std::string& ident) {
  return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(ident);
}

}  // namespace

TRegIniFile::TRegIniFile()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
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
