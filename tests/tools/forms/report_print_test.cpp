// The reports' Print buttons on a PDF file chosen in the print dialog: the
// pages are written, and a file that cannot be written is told, never taken
// for a print.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <filesystem>

#include "platform/dialogs.h"
#include "tests/support/test_support.h"
#include "tools/forms/information_forms.h"

namespace {

// Answers the print dialog opened by `press` as a user choosing a PDF file
// `file`; returns whether a dialog was answered.
bool PrintToFile(const std::string& file, const std::function<void()>& press) {
  bool answered = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
    dialog->printer()->setOutputFileName(QString::fromStdString(file));
    answered = true;
    dialog->done(QDialog::Accepted);
  });
  press();
  return answered;
}

TEST(ReportPrinting, AFileThatCannotBeWrittenIsToldAndAGoodOneHoldsThePages) {
  testing_support::TempDir dir;
  platform::ScopedScriptedDialogs dialogs;
  TMeteorShowersForm1 meteors;
  bool drawn = false;
  const std::pair<const char*, std::function<void()>> buttons[] = {
      {"meteor table", [&] { meteors.PrintBitBtn1Click(); }},
      {"one page", [&] { PrintOnePage(nullptr, "Page", [&](platform::DrawingContext&, int, int) { drawn = true; }); }},
  };
  for (const auto& [name, press] : buttons) {
    SCOPED_TRACE(name);
    dialogs.Clear();
    drawn = false;
    ASSERT_TRUE(PrintToFile(dir.File("no such folder/report.pdf"), press));
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_EQ(dialogs.Last().text, "The printer could not be started.\r\nThe PDF file \"" +
                                       dir.File("no such folder/report.pdf") + "\" cannot be written.");
    EXPECT_EQ(dialogs.Last().icon, platform::MsgIcon::Exclamation);
    EXPECT_FALSE(drawn);

    const std::string good = dir.File(std::string(name) + ".pdf");
    ASSERT_TRUE(PrintToFile(good, press));
    EXPECT_EQ(dialogs.Count(), 1u) << dialogs.Last().text;
    EXPECT_GT(std::filesystem::file_size(good), 500u);
  }
  EXPECT_TRUE(drawn);
}

}  // namespace
