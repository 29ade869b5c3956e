#include "app/forms/browser_form.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

TBrowserForm1* BrowserForm1 = nullptr;

namespace {
// A page that takes longer than this is abandoned.
constexpr int kFetchTimeoutMs = 30000;
}

TBrowserForm1::TBrowserForm1(QWidget* owner) : QWidget(owner, Qt::Window) {
  setWindowTitle(QStringLiteral("Noctra Planetarium"));
  resize(800, 600);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  WebBrowser1 = new QTextBrowser(this);
  WebBrowser1->setOpenExternalLinks(true);
  layout->addWidget(WebBrowser1);
  net_ = new QNetworkAccessManager(this);
}

void TBrowserForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void TBrowserForm1::FormShow() {
  if (reply_) {
    reply_->abort();
    reply_ = nullptr;
  }
  QNetworkRequest request(QUrl(QString::fromStdString(BrowserURL)));
  request.setTransferTimeout(kFetchTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
  reply_ = net_->get(request);
  QNetworkReply* reply = reply_;
  connect(reply, &QNetworkReply::finished, this, [this, reply] {
    reply->deleteLater();
    if (reply != reply_) return;  // a later navigation replaced it
    WebBrowser1NavigateComplete2();
  });
}

void TBrowserForm1::WebBrowser1NavigateComplete2() {
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  const bool ok = reply->error() == QNetworkReply::NoError;
  if (ok) {
    const QByteArray body = reply->readAll();
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    if (type.startsWith(QStringLiteral("image/"))) {
      WebBrowser1->document()->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("page-image")),
                                           QImage::fromData(body));
      WebBrowser1->setHtml(QStringLiteral("<img src=\"page-image\">"));
    } else {
      WebBrowser1->setHtml(QString::fromUtf8(body));
    }
    if (CaptureText) PageText = WebBrowser1->document()->toPlainText().toStdString();
  }
  emit NavigateComplete(ok);
  if (ok && CloseWhenLoaded) close();
}
