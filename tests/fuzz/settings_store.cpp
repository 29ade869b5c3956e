// Fuzz target: the settings store. Its oracle is the round trip: whatever
// the store writes reads back as the same keys and values, and writing what
// was read gives the same bytes.
//
// Part 0 of the input is a store file as anything may have left it: it is
// read, written, read and written again, and read through the store itself
// (TRegIniFile), which then saves one change. Parts 1 to 8 are key and value
// pairs in UTF-16 (two bytes a unit, so NULs, blanks of every kind and
// halves of surrogate pairs occur), written and read back as text.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry.h"
#include "platform/registry_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using platform::FormatSettingsText;
using platform::ParseSettingsText;
using platform::SettingsValues;

QString Utf16(std::string_view bytes) {
  QString s;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    s += QChar(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  return s;
}

// The store's folder: in memory where the system offers a folder there, so
// that the store's flush to the disk on every save costs nothing; removed
// at exit.
struct ConfigFolder {
  std::string folder, store;
  ConfigFolder() {
    char tmpl[] = "/dev/shm/noctra-fuzz-XXXXXX";
    folder = ::mkdtemp(tmpl) ? std::string(tmpl) + "/" : fuzz::ScratchDir() + "config/";
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    std::filesystem::create_directories(folder + "Tarvel Software");
    store = platform::TRegIniFile().FileName();
  }
  ~ConfigFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

// True when the text survives UTF-8 and back (no half surrogate pair).
bool Utf8Carries(const QString& text) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                   QStringDecoder::Flag::ConvertInitialBom);
  return QString(decoder(text.toUtf8())) == text;
}

// The values must come back from their text, and the text again from them.
void RoundTrip(const SettingsValues& values) {
  const QByteArray text = FormatSettingsText(values);
  const SettingsValues back = ParseSettingsText(text);
  if (back != values) std::abort();
  if (FormatSettingsText(back) != text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::InstallQuietPlatform();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view file = fuzz::Part(input, 0);
  const SettingsValues read = ParseSettingsText(QByteArray(file.data(), qsizetype(file.size())));
  RoundTrip(read);

  SettingsValues written;
  for (int i = 1; i < 9; i += 2) written[Utf16(fuzz::Part(input, i))] = Utf16(fuzz::Part(input, i + 1));
  RoundTrip(written);

  // The store on that file: it reads what the text gives and saves the file
  // with its change on top, every other value as it was.
  static const ConfigFolder config;
  const std::string& path = config.store;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), std::streamsize(file.size()));
  }
  {
    platform::TRegIniFile reg;
    for (const auto& [key, value] : read) {
      // What UTF-8 cannot carry whole (half a surrogate pair) does not pass
      // the store's interface unchanged.
      if (!Utf8Carries(key) || !Utf8Carries(value)) continue;
      const qsizetype slash = key.indexOf('/');
      const std::string section = slash > 0 ? key.left(slash).toStdString() : std::string();
      const std::string ident = (slash > 0 ? key.mid(slash + 1) : key).toStdString();
      if (reg.ReadString(section, ident, "") != value.toStdString()) std::abort();
    }
    reg.WriteString("Fuzz", "changed", "1");
  }
  SettingsValues expected = read;
  expected[QStringLiteral("Fuzz/changed")] = QStringLiteral("1");
  QFile saved(QString::fromStdString(path));
  if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != FormatSettingsText(expected)) std::abort();
  return 0;
}
