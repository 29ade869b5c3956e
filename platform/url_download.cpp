#include "platform/url_download.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "platform/data_file.h"

namespace platform {

DownloadResult DownloadUrlToFile(const std::string& url, const std::string& fileName, int timeoutMs,
                                 const std::function<bool(const std::string& tempPath)>& accept) {
  DownloadResult result;
  const QString target = QString::fromStdString(fileName);
  const QString temp = QFileInfo(target).absolutePath() + "/." + QFileInfo(target).fileName() + ".part";
  // Only a regular file is written: a pipe in the temporary's place would
  // hold the program until a reader came.
  std::string why;
  std::FILE* f = OpenDataFileToWrite(QFile::encodeName(temp).toStdString(), false, &why);
  QFile part;
  if (!f || !part.open(f, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
    if (f) std::fclose(f);
    result.error = "Could not create \"" + temp.toStdString() + "\"" + (why.empty() ? "." : ": " + why + ".");
    return result;
  }

  QNetworkAccessManager manager;
  QNetworkRequest request{QUrl(QString::fromStdString(url))};
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = manager.get(request);
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  bool timedOut = false, writeFailed = false;
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    reply->abort();
  });
  QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
    const QByteArray data = reply->readAll();
    if (part.write(data) != data.size()) writeFailed = true;
  });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  timer.start(timeoutMs);
  if (!reply->isFinished()) loop.exec();
  timer.stop();
  if (reply->isOpen()) {
    const QByteArray rest = reply->readAll();
    if (part.write(rest) != rest.size()) writeFailed = true;
  }
  part.close();
  if (std::fclose(f) != 0) writeFailed = true;

  result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (timedOut)
    result.error = "The download of " + url + " timed out.";
  else if (reply->error() != QNetworkReply::NoError && result.httpStatus < 200)
    result.error = "The download of " + url + " failed: " + reply->errorString().toStdString();
  else if (result.httpStatus < 200 || result.httpStatus > 299)
    result.error = "The download of " + url + " failed: the server answered " + std::to_string(result.httpStatus) + ".";
  else if (writeFailed || part.error() != QFile::NoError)
    result.error = "Could not write \"" + temp.toStdString() + "\".";
  else if (accept && !accept(temp.toStdString()))
    result.error = "The downloaded file from " + url + " holds no usable data.";
  reply->deleteLater();

  if (result.error.empty()) {
    // Replace the target in one step (rename replaces atomically on POSIX).
    if (std::rename(temp.toLocal8Bit().constData(), target.toLocal8Bit().constData()) == 0)
      result.ok = true;
    else
      result.error = "Could not replace \"" + fileName + "\".";
  }
  QFile::remove(temp);
  return result;
}

}  // namespace platform
