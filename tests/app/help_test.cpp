// The user guide: every link lands on a page and anchor of the resource, the
// script page has an entry for everything the runner dispatches, and the Help
// menu opens the one help window at its page once started.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QToolButton>
#include <set>

#include "app/forms/help_form.h"
#include "app/forms/main_form.h"
#include "platform/dialogs.h"
#include "script/runner.h"

namespace {
// The values of one attribute over a page.
std::set<QString> Attributes(const QString& page, const char* attribute) {
  QFile f(HelpFolder() + page);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << page.toStdString();
  std::set<QString> out;
  auto it = QRegularExpression(QString(R"re(\b%1\s*=\s*"([^"]*)")re").arg(attribute)).globalMatch(f.readAll());
  while (it.hasNext()) out.insert(it.next().captured(1));
  return out;
}
}  // namespace

TEST(Help, EveryLinkReachesAPageAndAnchor) {
  const QStringList pages = HelpPages();
  ASSERT_TRUE(pages.contains(kHelpContentsPage) && pages.contains(kHelpUsingPage)) << pages.join(' ').toStdString();
  int links = 0;
  for (const QString& p : pages) {
    for (const QString& link : Attributes(p, "href")) {
      const qsizetype hash = link.indexOf('#');
      const QString target = hash == 0 ? p : link.left(hash < 0 ? link.size() : hash);
      ASSERT_TRUE(pages.contains(target)) << p.toStdString() << " -> " << link.toStdString();
      EXPECT_TRUE(hash < 0 || Attributes(target, "name").count(link.mid(hash + 1)))
          << p.toStdString() << " -> " << link.toStdString();
      ++links;
    }
  }
  EXPECT_GT(links, 100);
}

TEST(Help, ScriptPageHasAnEntryForEveryFunctionAndHostCommand) {
  std::vector<std::string> names = ScrFunctionNames(), commands = ScrHostCommandNames();
  names.insert(names.end(), commands.begin(), commands.end());
  ASSERT_GE(names.size(), 53u);  // 29 functions, 24 host commands
  const std::set<QString> entries = Attributes("script.html", "name");
  for (const std::string& n : names) EXPECT_TRUE(entries.count(QString::fromStdString(n))) << n;
}

TEST(Help, MenuItemsWaitForTheFirstTickThenOpenOneWindowAtTheirPage) {
  platform::ScopedScriptedDialogs dialogs;
  TMainForm1 form;
  for (QAction* a : {form.Topics1, form.HowtoUseHelp1, form.About1}) EXPECT_FALSE(a->isEnabled());
  form.Timer1Timer();
  for (QAction* a : {form.Topics1, form.HowtoUseHelp1, form.About1}) EXPECT_TRUE(a->isEnabled());
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
