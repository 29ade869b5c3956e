// The browser window: a simple window that fetches the page at BrowserURL
// and shows it. With CaptureText set the page's text is kept in PageText;
// with CloseWhenLoaded set the window closes itself once the page is in.
// A failed fetch leaves PageText as it was and shows no message.
#pragma once

#include <QWidget>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;
class QTextBrowser;

class TBrowserForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TBrowserForm1(QWidget* owner = nullptr);

  std::string BrowserURL;
  bool CaptureText = false;
  bool CloseWhenLoaded = false;
  std::string PageText;

  // Starts fetching BrowserURL (FormShow).
  void FormShow();
  // True while a page is being fetched.
  bool Loading() const { return reply_ != nullptr; }

  QTextBrowser* WebBrowser1 = nullptr;

 signals:
  // A fetch ended (successfully or not).
  void NavigateComplete(bool ok);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void WebBrowser1NavigateComplete2();
  QNetworkAccessManager* net_ = nullptr;
  QNetworkReply* reply_ = nullptr;
};

extern TBrowserForm1* BrowserForm1;
