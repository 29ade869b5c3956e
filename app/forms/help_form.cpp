#include "app/forms/help_form.h"

#include <QDir>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

// The resource lives in a static library: its initialiser must be named
// from code the program links, or the linker drops it.
static void InitHelpResource() { Q_INIT_RESOURCE(help); }

THelpForm* HelpForm = nullptr;

QString HelpFolder() {
  static const bool registered = (InitHelpResource(), true);
  (void)registered;
  return QStringLiteral(":/help/");
}

QStringList HelpPages() {
  return QDir(HelpFolder()).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
}

THelpForm::THelpForm(QWidget* owner) : QWidget(owner, Qt::Window) {
  setWindowTitle(QStringLiteral("Noctra Planetarium Help"));
  resize(760, 620);

  auto button = [this](const char* text, const char* tip) {
    auto* b = new QToolButton(this);
    b->setText(QString::fromUtf8(text));
    b->setToolTip(QString::fromUtf8(tip));
    return b;
  };
  BackButton = button("\u25c0 Back", "Back (Alt+Left)");
  ForwardButton = button("Forward \u25b6", "Forward (Alt+Right)");
  ContentsButton = button("Contents", "The list of topics");
  FindEdit = new QLineEdit(this);
  FindEdit->setPlaceholderText(QStringLiteral("Find on this page (Ctrl+F)"));
  FindEdit->setClearButtonEnabled(true);
  FindEdit->setMaximumWidth(260);

  Browser = new QTextBrowser(this);
  Browser->setOpenExternalLinks(false);
  Browser->setSearchPaths({HelpFolder()});

  auto* bar = new QHBoxLayout;
  bar->addWidget(BackButton);
  bar->addWidget(ForwardButton);
  bar->addWidget(ContentsButton);
  bar->addStretch(1);
  bar->addWidget(FindEdit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(Browser, 1);

  BackButton->setEnabled(false);
  ForwardButton->setEnabled(false);
  connect(BackButton, &QToolButton::clicked, Browser, &QTextBrowser::backward);
  connect(ForwardButton, &QToolButton::clicked, Browser, &QTextBrowser::forward);
  connect(ContentsButton, &QToolButton::clicked, this, [this] { ShowPage(kHelpContentsPage); });
  connect(Browser, &QTextBrowser::backwardAvailable, BackButton, &QToolButton::setEnabled);
  connect(Browser, &QTextBrowser::forwardAvailable, ForwardButton, &QToolButton::setEnabled);
  connect(FindEdit, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
  auto* find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] {
    FindEdit->setFocus();
    FindEdit->selectAll();
  });
  auto* again = new QShortcut(QKeySequence::FindNext, this);
  connect(again, &QShortcut::activated, this, [this] { FindNext(false); });
  auto* back = new QShortcut(QKeySequence::FindPrevious, this);
  connect(back, &QShortcut::activated, this, [this] { FindNext(true); });
}

void THelpForm::ShowPage(const QString& page) { Browser->setSource(QUrl(QStringLiteral("qrc:/help/") + page)); }

QString THelpForm::CurrentPage() const {
  const QUrl url = Browser->source();
  QString page = url.fileName();
  if (url.hasFragment()) page += '#' + url.fragment();
  return page;
}

void THelpForm::FindNext(bool backward) {
  const QString text = FindEdit->text();
  if (text.isEmpty()) return;
  QTextDocument::FindFlags flags;
  if (backward) flags |= QTextDocument::FindBackward;
  if (Browser->find(text, flags)) return;
  // Not found before the end: once more from the other end of the page.
  QTextCursor c = Browser->textCursor();
  c.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
  Browser->setTextCursor(c);
  Browser->find(text, flags);
}

THelpForm* ShowHelp(QWidget* owner, const QString& page) {
  if (!HelpForm) {
    HelpForm = new THelpForm(owner);
    QObject::connect(HelpForm, &QObject::destroyed, [] { HelpForm = nullptr; });
  }
  HelpForm->ShowPage(page);
  HelpForm->show();
  HelpForm->raise();
  HelpForm->activateWindow();
  return HelpForm;
}
