// The help window: the program's user guide, HTML pages compiled into the
// program as the Qt resource "help" (app/help), shown in a text browser with
// Back, Forward and Contents buttons and a find box (Ctrl+F). One window
// serves the whole session: it is made on first use, owned by the window
// that asked for it, shown non-modally and raised at every later request.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QTextBrowser;
class QToolButton;

// The page of Help > Topics and the page of Help > How to Use Help.
inline constexpr const char* kHelpContentsPage = "index.html";
inline constexpr const char* kHelpUsingPage = "using_help.html";

// The folder of the pages in the resource (":/help/").
QString HelpFolder();
// File names of every page in the resource, sorted.
QStringList HelpPages();

class THelpForm : public QWidget {
  Q_OBJECT
 public:
  explicit THelpForm(QWidget* owner = nullptr);
  // Shows `page` (a file name of HelpPages, optionally with "#anchor").
  void ShowPage(const QString& page);
  // The page shown, as a file name with its anchor ("index.html").
  QString CurrentPage() const;

  QTextBrowser* Browser = nullptr;
  QToolButton* BackButton = nullptr;
  QToolButton* ForwardButton = nullptr;
  QToolButton* ContentsButton = nullptr;
  QLineEdit* FindEdit = nullptr;

 private:
  void FindNext(bool backward);
};

// The session's help window, or null before the first use.
extern THelpForm* HelpForm;
// Makes the help window when needed (owned by `owner`), shows it at `page`
// and raises it.
THelpForm* ShowHelp(QWidget* owner, const QString& page);
