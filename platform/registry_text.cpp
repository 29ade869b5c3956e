#include "platform/registry_text.h"

#include <QStringList>
#include <cstring>

namespace platform {

namespace {

// --- The syntax ------------------------------------------------------------------
//
// Section and key names: letters, digits, "_", "-" and "." as they are, "/"
// inside a key as "\", other characters as "%XX" or "%UXXXX"; keys outside
// any section go under [General] (a section really named so is
// "[%General]").
//
// Values: UTF-8; control characters, the quote, the backslash and a
// surrogate without its partner escaped C-style (a hex digit after a "\x"
// escape escaped too); quoted when they hold ",", ";" or "=" or begin or end
// with a blank of any kind (the reader drops unquoted blanks at either end);
// a value beginning with "@" has it doubled (a single "@" begins Qt's typed
// values). An unquoted "," separates the items of a list.

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

bool IsHexDigit(char16_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

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
      bool hex = from + n <= in.size();
      for (qsizetype k = from; hex && k < from + n; ++k) hex = IsHexDigit(in[k].unicode());
      if (hex) {
        out += QChar(char16_t(in.mid(from, n).toUInt(nullptr, 16)));
        i = from + n - 1;
        continue;
      }
    }
    out += in[i];
  }
  return out;
}

// The blanks the reader drops around a line, a key and an unquoted value,
// as Qt's reader does: the space and the tab (a carriage return ends a
// line). Other blanks, such as the no-break space, belong to the value.
bool IsIniBlank(QChar c) { return c == ' ' || c == '\t' || c == '\r'; }

QString TrimBlanks(const QString& s) {
  qsizetype from = 0, to = s.size();
  while (from < to && IsIniBlank(s[from])) ++from;
  while (to > from && IsIniBlank(s[to - 1])) --to;
  return s.mid(from, to - from);
}

// Control characters written as a letter escape, and their letters.
constexpr char kControls[] = "\a\b\f\n\r\t\v";
constexpr char kLetters[] = "abfnrtv";

// True for a surrogate at `i` that has no partner (UTF-8 cannot carry it).
bool LoneSurrogate(const QString& s, qsizetype i) {
  if (s[i].isHighSurrogate()) return i + 1 >= s.size() || !s[i + 1].isLowSurrogate();
  if (s[i].isLowSurrogate()) return i == 0 || !s[i - 1].isHighSurrogate();
  return false;
}

QByteArray EscapeValue(const QString& value) {
  QString out = value.startsWith('@') ? "@" : "";
  bool quote = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
  bool afterHex = false;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar qc = value[i];
    const char16_t c = qc.unicode();
    if (c == ',' || c == ';' || c == '=') quote = true;
    const char* control = c > 0 && c < 0x20 ? std::strchr(kControls, char(c)) : nullptr;
    if (control) {
      out += '\\';
      out += QChar(kLetters[control - kControls]);
      afterHex = false;
    } else if (c < 0x20 || c == 0x7F || LoneSurrogate(value, i) || (afterHex && IsHexDigit(c))) {
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
// Blanks outside quotes at either end of an item are dropped; quoted and
// escaped characters are kept as they are. False for Qt's null value.
bool UnescapeValue(const QString& in, QString& value) {
  QStringList items;
  QString item, blanks;  // blanks: unquoted blanks that end the item so far
  bool started = false, quoted = false, list = false;
  auto keep = [&](QChar c, bool blankOutsideQuotes) {
    if (blankOutsideQuotes) {
      if (started) blanks += c;
      return;
    }
    item += blanks;
    blanks.clear();
    item += c;
    started = true;
  };
  // Qt doubles an item's first "@"; the reader takes one away again.
  auto endItem = [&] {
    if (item.startsWith("@@")) item.remove(0, 1);
    items.append(item);
    item.clear();
    blanks.clear();
    started = false;
  };
  for (qsizetype i = 0; i < in.size(); ++i) {
    const QChar c = in[i];
    if (c == '"') {
      quoted = !quoted;
      started = true;
      item += blanks;
      blanks.clear();
    } else if (c == ',' && !quoted) {
      list = true;
      endItem();
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
        keep(QChar(char16_t(in.mid(i + hex, end - i - hex).toUInt(nullptr, hex ? 16 : 8))), false);
        i = end - 1;
      } else if (letter) {
        keep(QChar(kControls[letter - kLetters]), false);
      } else {
        keep(e, false);
      }
    } else {
      keep(c, !quoted && IsIniBlank(c));
    }
  }
  const bool invalid = !list && item == "@Invalid()";
  endItem();
  if (invalid) return false;
  value = items.join(',');
  return true;
}

}  // namespace

SettingsValues ParseSettingsText(const QByteArray& text) {
  SettingsValues values;
  QString section;
  const bool bom = text.startsWith("\xEF\xBB\xBF");
  for (const QByteArray& raw : (bom ? text.mid(3) : text).split('\n')) {
    const QString line = TrimBlanks(QString::fromUtf8(raw));
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
    if (line.startsWith('[')) {
      const QString name = TrimBlanks(line.mid(1, line.indexOf(']') - 1));
      section = name == "General" ? QString() : name == "%General" ? "General/" : UnescapeKey(name) + '/';
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) continue;
    QString value;
    if (UnescapeValue(line.mid(eq + 1), value)) values[section + UnescapeKey(TrimBlanks(line.left(eq)))] = value;
  }
  return values;
}

QByteArray FormatSettingsText(const SettingsValues& values) {
  std::map<QString, QByteArray> sections;
  for (const auto& [key, value] : values) {
    const qsizetype slash = key.indexOf('/');
    const QString section = slash > 0 ? key.left(slash) : QString();
    sections[section] += EscapeKey(slash > 0 ? key.mid(slash + 1) : key) + '=' + EscapeValue(value) + '\n';
  }
  QByteArray text;
  for (const auto& [name, lines] : sections) {
    const QByteArray title = name.isEmpty() ? "General" : name == "General" ? "%General" : EscapeKey(name);
    text += (text.isEmpty() ? "[" : "\n[") + title + "]\n" + lines;
  }
  return text;
}

}  // namespace platform
