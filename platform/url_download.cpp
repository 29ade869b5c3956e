#include "platform/url_download.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "platform/data_file.h"
#include "platform/gui_thread.h"

namespace platform {

DownloadResult DownloadUrlToFile(const std::string& url, const std::string& fileName, int timeoutMs,
                                 const std::function<bool(const std::string& tempPath)>& accept) {
  DownloadResult result;
  // The temporary beside the target, named by the path's own bytes (a
  // folder's name need not be UTF-8, which Qt's file names cannot carry).
  const std::size_t slash = fileName.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
  const std::string temp = folder + "." + fileName.substr(folder.size()) + ".part";
  // Only a regular file is written: a pipe in the temporary's place would
  // hold the program until a reader came.
  std::string why;
  std::FILE* part = OpenDataFileToWrite(temp, false, &why);
  if (!part) {
    result.error = "Could not create \"" + temp + "\"" + (why.empty() ? "." : ": " + why + ".");
    return result;
  }
  auto write = [&](const QByteArray& data) {
    return std::fwrite(data.constData(), 1, std::size_t(data.size()), part) == std::size_t(data.size());
  };

  QNetworkAccessManager manager;
  QNetworkRequest request{QUrl(QString::fromStdString(url))};
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = manager.get(request);
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  bool timedOut = false, givenUp = false, writeFailed = false;
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    reply->abort();
  });
  QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
    if (!write(reply->readAll())) writeFailed = true;
  });
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  timer.start(timeoutMs);
  if (!reply->isFinished() && !RunWaitLoop(loop) && !reply->isFinished()) {
    // The program ends.
    givenUp = true;
    reply->abort();
  }
  timer.stop();
  if (reply->isOpen()) {
    if (!write(reply->readAll())) writeFailed = true;
  }
  if (std::fclose(part) != 0) writeFailed = true;

  result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (timedOut)
    result.error = "The download of " + url + " timed out.";
  else if (givenUp)
    result.error = "The download of " + url + " was given up: the program ends.";
  else if (reply->error() != QNetworkReply::NoError && result.httpStatus < 200)
    result.error = "The download of " + url + " failed: " + reply->errorString().toStdString();
  else if (result.httpStatus < 200 || result.httpStatus > 299)
    result.error = "The download of " + url + " failed: the server answered " + std::to_string(result.httpStatus) + ".";
  else if (writeFailed)
    result.error = "Could not write \"" + temp + "\".";
  else if (accept && !accept(temp))
    result.error = "The downloaded file from " + url + " holds no usable data.";
  reply->deleteLater();

  if (result.error.empty()) {
    // Replace the target in one step (rename replaces atomically on POSIX).
    if (std::rename(temp.c_str(), fileName.c_str()) == 0)
      result.ok = true;
    else
      result.error = "Could not replace \"" + fileName + "\".";
  }
  std::remove(temp.c_str());
  return result;
}

}  // namespace platform
