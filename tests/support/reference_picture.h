// Pixel-for-pixel comparison of a rendered picture with a stored reference
// PNG. On a difference the rendered picture and a difference map (differing
// pixels red) are written next to the test program as <stem>_actual.png and
// <stem>_diff.png. With NOCTRA_WRITE_REFERENCE=1 ExpectMatchesReference
// stores the rendered picture as the new reference instead and skips.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <cstdlib>
#include <string>

inline bool WriteReferenceRequested() {
  const char* write = std::getenv("NOCTRA_WRITE_REFERENCE");
  return write && std::string(write) == "1";
}

inline testing::AssertionResult MatchesReference(const QImage& rendered, const QString& referencePath,
                                                 const QString& stem) {
  const QImage actual = rendered.convertToFormat(QImage::Format_RGB32);
  const QImage reference = QImage(referencePath).convertToFormat(QImage::Format_RGB32);
  if (reference.isNull())
    return testing::AssertionFailure() << "missing reference picture " << referencePath.toStdString();
  if (reference.size() != actual.size()) return testing::AssertionFailure() << "reference size differs";
  QImage diff(actual.size(), QImage::Format_RGB32);
  int differing = 0;
  for (int y = 0; y < actual.height(); ++y)
    for (int x = 0; x < actual.width(); ++x) {
      const bool same = ((actual.pixel(x, y) ^ reference.pixel(x, y)) & 0x00FFFFFFu) == 0;
      diff.setPixel(x, y, same ? (qGray(actual.pixel(x, y)) / 4) * 0x010101u : 0x00FF0000u);
      differing += !same;
    }
  if (differing == 0) return testing::AssertionSuccess();
  const QString base = QDir::currentPath() + "/" + stem;
  actual.save(base + "_actual.png");
  diff.save(base + "_diff.png");
  return testing::AssertionFailure() << differing << " pixels differ from " << referencePath.toStdString()
                                     << "; see " << (base + "_actual.png").toStdString() << " and "
                                     << (base + "_diff.png").toStdString();
}

inline void ExpectMatchesReference(const QImage& rendered, const QString& referencePath, const QString& stem) {
  if (WriteReferenceRequested()) {
    ASSERT_TRUE(rendered.convertToFormat(QImage::Format_RGB32).save(referencePath)) << referencePath.toStdString();
    GTEST_SKIP() << "reference written to " << referencePath.toStdString();
  }
  EXPECT_TRUE(MatchesReference(rendered, referencePath, stem));
}
