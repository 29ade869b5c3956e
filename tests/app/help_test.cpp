// The user guide: every link lands on a page and anchor of the resource, the
// script page documents everything the script runner knows, and the Help
// menu opens the one help window at the right page once started.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QToolButton>
#include <map>
#include <set>

#include "app/forms/help_form.h"
#include "app/forms/main_form.h"
#include "platform/dialogs.h"
#include "script/runner.h"

namespace {

QString PageText(const QString& page) {
  QFile f(HelpFolder() + page);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The values of one attribute over a page.
std::vector<QString> Attributes(const QString& page, const char* attribute) {
  std::vector<QString> out;
  QRegularExpressionMatchIterator it =
      QRegularExpression(QString(R"re(\b%1\s*=\s*"([^"]*)")re").arg(attribute)).globalMatch(PageText(page));
  while (it.hasNext()) out.push_back(it.next().captured(1));
  return out;
}

}  // namespace

TEST(Help, EveryLinkReachesAPageAndAnchor) {
  const QStringList pages = HelpPages();
  ASSERT_TRUE(pages.contains(kHelpContentsPage) && pages.contains(kHelpUsingPage)) << pages.join(' ').toStdString();
  std::map<QString, std::set<QString>> anchors;
  for (const QString& p : pages) {
    for (const QString& a : Attributes(p, "name")) anchors[p].insert(a);
  }
  int links = 0;
  for (const QString& p : pages) {
    for (const QString& link : Attributes(p, "href")) {
      const qsizetype hash = link.indexOf('#');
      const QString target = hash == 0 ? p : link.left(hash < 0 ? link.size() : hash);
      EXPECT_TRUE(pages.contains(target)) << p.toStdString() << " -> " << link.toStdString();
      const bool anchored = hash < 0 || anchors[target].count(link.mid(hash + 1)) > 0;
      EXPECT_TRUE(anchored) << p.toStdString() << " -> " << link.toStdString();
      ++links;
    }
  }
  EXPECT_GT(links, 100);
}

TEST(Help, ScriptPageHasAnEntryForEveryFunctionAndHostCommand) {
  std::vector<std::string> names = ScrFunctionNames();
  const std::vector<std::string> commands = ScrHostCommandNames();
  names.insert(names.end(), commands.begin(), commands.end());
  ASSERT_GE(names.size(), 50u);  // 29 functions, 24 host commands
  const std::vector<QString> entries = Attributes("script.html", "name");
  for (const std::string& n : names) {
    EXPECT_TRUE(std::find(entries.begin(), entries.end(), QString::fromStdString(n)) != entries.end()) << n;
  }
}

TEST(Help, MenuItemsWaitForTheFirstTickThenOpenOneWindowAtTheirPage) {
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  const std::vector<QAction*> items = {form.Topics1, form.HowtoUseHelp1, form.About1};
  for (QAction* a : items) EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  form.Timer1Timer();
  for (QAction* a : items) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  EXPECT_EQ(form.Topics1->text(), "&Topics...");
  EXPECT_EQ(form.HowtoUseHelp1->text(), "&How to Use Help...");
  form.HowtoUseHelp1->trigger();
  ASSERT_NE(HelpForm, nullptr);
  THelpForm* window = HelpForm;
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->CurrentPage(), kHelpUsingPage);
  EXPECT_TRUE(window->Browser->toPlainText().contains("How to use this help"));
  form.Topics1->trigger();
  EXPECT_EQ(HelpForm, window);
  EXPECT_EQ(window->CurrentPage(), kHelpContentsPage);
  window->BackButton->click();
  EXPECT_EQ(window->CurrentPage(), kHelpUsingPage);
}
