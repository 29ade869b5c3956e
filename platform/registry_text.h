// The text of the per-user settings store (the file behind TRegIniFile), in
// the INI syntax of QSettings::IniFormat, so files written by Qt's own writer
// and by every earlier version of the program read as they always did.
//
// The store holds text values under keys "section/name" (a key without a
// "/", or beginning with one, lies outside any section, under [General]).
// Whatever FormatSettingsText writes, ParseSettingsText reads back as the
// same keys and values, so writing, reading and writing again gives the same
// bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <map>

namespace platform {

using SettingsValues = std::map<QString, QString>;

// The values of a store file. Lines that are not "[section]" or "key=value"
// are skipped; a list (items separated by unquoted commas, as Qt writes a
// string list) reads as its items joined by ",", and "@Invalid()" (Qt's
// null value) as no value.
SettingsValues ParseSettingsText(const QByteArray& text);

// The file text of `values`: section by section in key order, [General]
// first.
QByteArray FormatSettingsText(const SettingsValues& values);

}  // namespace platform
