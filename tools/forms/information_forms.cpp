#include "tools/forms/information_forms.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

std::function<void(const std::string& url, const std::string& caption)> OpenBrowserWindow =
    [](const std::string& url, const std::string&) {
      QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    };
