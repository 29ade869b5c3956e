// Reading a printed PDF back with Poppler's command-line tools.
#pragma once

#include <QImage>
#include <QProcess>
#include <QString>
#include <string>

namespace pdf_reader {

// True when pdftotext and pdftoppm can be run.
inline bool Available() { return QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-v")}) >= 0; }

// The text of the document.
inline QString Text(const std::string& pdf) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), QStringLiteral("-")});
  p.waitForFinished(20000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The first page as an image at `dpi`; null when it cannot be made.
inline QImage FirstPage(const std::string& pdf, int dpi) {
  const QString prefix = QString::fromStdString(pdf) + QStringLiteral("-page");
  QProcess p;
  p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                                       QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                       QStringLiteral("-png"), QString::fromStdString(pdf), prefix});
  p.waitForFinished(20000);
  return QImage(prefix + QStringLiteral("-1.png"));
}

}  // namespace pdf_reader
