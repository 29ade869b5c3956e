// The editor, input and menu windows on the offscreen platform, with the
// dialog double answering the message boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTextBlock>

#include <QPrinter>
#include <cstdlib>
#include <filesystem>

#include "app/core/file_types.h"
#include "app/forms/main_form.h"
#include "app/forms/print_job.h"
#include "astro/observer.h"
#include "astro/timescales.h"
#include "astro/trig.h"
#include "platform/dialogs.h"
#include "platform/qt_dialogs.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/script_gui.h"
#include "script/forms/scr_inp_form.h"
#include <QLabel>
#include <QLineEdit>
#include "script/runner.h"
#include "shell/log_lines.h"
#include "tests/support/pipe_in_place.h"
#include "tests/support/test_support.h"

namespace {

using platform::ScopedScriptedDialogs;
using testing_support::TempDir;

std::string FileText(const std::string& path) {
  auto b = testing_support::ReadFile(path);
  return std::string(b.begin(), b.end());
}

void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class Editor : public ::testing::Test {
 protected:
  void SetUp() override { InstallScriptGui(nullptr, &bar_); }
  void TearDown() override {
    CloseScriptEditor();
    FlushDeletes();
    SetScriptHost(nullptr);
  }
  QMenuBar bar_;
  TempDir dir_;
};

TEST_F(Editor, LoadsRunsAndSelectsTheLineOfARuntimeError) {
  testing_support::WriteText(dir_.File("demo.sbas"),
                             "PRINT \"one\"\r\nLET A = 1 | LET C = 2\r\nLET B = A / 0\r\nPRINT \"never\"\r\n");
  ScopedScriptedDialogs dialogs;
  TScrEditForm1* editor = OpenScriptEditor(true);
  ScriptFileName = dir_.File("demo");
  ASSERT_TRUE(editor->LoadScript());
  EXPECT_EQ(ScriptFileName, dir_.File("demo.sbas"));
  EXPECT_EQ(editor->windowTitle().toStdString(), "Noctra Planetarium - Script Editor (demo.sbas)");
  EXPECT_FALSE(editor->Modified());
  EXPECT_EQ(editor->RunScript(), 3);
  QTextCursor c = editor->ScrEditMemo1->textCursor();
  EXPECT_EQ(c.block().blockNumber(), 2);
  EXPECT_EQ(c.selectedText().toStdString(), "LET B = A / 0");
  auto records = dialogs.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].caption, "Script Message:");
  EXPECT_EQ(records[0].text, "one");
  EXPECT_EQ(records[1].caption, "Script BASIC error:");
  EXPECT_EQ(records[1].text, "(error in line#3)\r\nDivision by zero.");
  EXPECT_FALSE(editor->isMinimized());
  if (const char* png = std::getenv("NOCTRA_SCRIPT_EDITOR_PNG")) editor->grab().save(png);
}

// An editor opened while the last one is closed but not yet deleted (a
// start-up script's hidden editor, say) is a new one that keeps its text.
TEST_F(Editor, AnEditorOpenedAfterACloseIsNewAndKeepsItsText) {
  TScrEditForm1* closing = OpenScriptEditor(false);
  closing->CloseWithoutQuestion();
  TScrEditForm1* editor = OpenScriptEditor(true);
  EXPECT_NE(editor, closing);
  editor->ScrEditMemo1->insertPlainText("PRINT 1");
  FlushDeletes();
  ASSERT_EQ(ScrEditForm1, editor);
  EXPECT_TRUE(editor->Modified());
  editor->CloseWithoutQuestion();
}

TEST_F(Editor, ClosingModifiedTextAsksToSave) {
  testing_support::WriteText(dir_.File("keep.sbas"), "PRINT 1\r\n");
  struct Case {
    int answer;
    std::string fileAfter;
  } cases[] = {{platform::IDNO, "PRINT 1\r\n"}, {platform::IDYES, "REM xPRINT 1\r\n"}};
  for (const Case& k : cases) {
    testing_support::WriteText(dir_.File("keep.sbas"), "PRINT 1\r\n");
    ScopedScriptedDialogs dialogs;
    dialogs.QueueAnswer(k.answer);
    TScrEditForm1* editor = OpenScriptEditor(true);
    ScriptFileName = dir_.File("keep.sbas");
    ASSERT_TRUE(editor->LoadScript());
    QTest::keyClicks(editor->ScrEditMemo1, "REM x");
    EXPECT_TRUE(editor->Modified());
    editor->close();
    FlushDeletes();
    ASSERT_EQ(dialogs.Count(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Save changes?");
    EXPECT_EQ(dialogs.Last().caption, "Script Editor Message");
    EXPECT_EQ(dialogs.Last().buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(FileText(dir_.File("keep.sbas")), k.fileAfter);
    EXPECT_EQ(ScrEditForm1, nullptr);
    EXPECT_FALSE(ScriptEditorOpen);
  }
}

// "°", "é" and "€" keep themselves through the editor, PRINT, INPUT, the
// message boxes and PRINT#, from a UTF-8 file and from a Windows-1252 one.
TEST_F(Editor, CharactersBeyondAsciiKeepThemselvesOnEveryPath) {
  const std::string chars = "\xC2\xB0\xC3\xA9\xE2\x82\xAC";  // °é€ in UTF-8
  const std::string answer = "\xE2\x82\xAC\xC3\xA9\xC2\xB0";
  for (const std::string& inFile : {chars, std::string("\xB0\xE9\x80")}) {
    const std::string out = dir_.File("out.txt");
    testing_support::WriteText(dir_.File("chars.sbas"), "INPUT \"" + inFile + "?\", A$\r\nPRINT \"" + inFile +
                                                            "\"\r\nOPEN# 1, \"O\", \"" + out +
                                                            "\"\r\nPRINT# 1, A$, DD_STR$(0.5)\r\nCLOSE# 1\r\n");
    ScopedScriptedDialogs dialogs;
    std::string prompt;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<TScrInpForm1*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      prompt = dialog->Label1->text().toStdString();
      dialog->Edit1->setText(QString::fromStdString(answer));
      QTest::keyClick(dialog->Edit1, Qt::Key_Return);
    });
    TScrEditForm1* editor = OpenScriptEditor(true);
    ASSERT_TRUE(editor->LoadFile(dir_.File("chars.sbas")));
    EXPECT_EQ(editor->ScrEditMemo1->document()->findBlockByNumber(1).text(), QString::fromUtf8("PRINT \"°é€\""));
    EXPECT_EQ(editor->RunScript(), 0) << dialogs.Last().text;
    EXPECT_EQ(dialogs.Records().at(0).text, chars);
    EXPECT_EQ(prompt, chars + "?");
    // 0.5 rad = 28.6479° = 28° 38.9'.
    EXPECT_EQ(FileText(out), answer + " 28\xC2\xB0" "38.9'\r\n");
    ASSERT_TRUE(editor->SaveScript());
    EXPECT_EQ(FileText(dir_.File("chars.sbas")).rfind("INPUT \"" + chars + "?\", A$\r\nPRINT", 0), 0u);
    editor->close();
    FlushDeletes();
  }
}

// A PRINT loop ends when its box is closed without OK (the window's close
// button, or Escape), as Script > Stop ends it, and the log tells where; OK
// lets it go on. Through the dialog double, then the real box.
TEST_F(Editor, ClosingAPrintBoxStopsTheScript) {
  TScrEditForm1* editor = OpenScriptEditor(true);
  const std::string told = "[Script] The script was stopped in line 2: its message box was closed.";
  {
    // Five passes at most, so that a box that does not stop the loop shows.
    editor->ScrEditMemo1->setPlainText("REM a loop\nFOR I = 1 TO 5 | PRINT \"x\" | NEXT");
    ScopedScriptedDialogs dialogs;
    for (int answer : {platform::IDOK, platform::IDOK, platform::IDCLOSE}) dialogs.QueueAnswer(answer);
    EXPECT_EQ(editor->RunScript(), 2);
    EXPECT_EQ(dialogs.Count(), 3u);
    EXPECT_EQ(LogLines().LastLine(), told);
  }
  editor->ScrEditMemo1->setPlainText("REM a loop\nLOOP: | PRINT \"x\" | GOTO LOOP");
  platform::QtDialogs qt;
  platform::SetDialogs(&qt);
  for (bool escape : {false, true}) {
    LogLines().Clear();
    int shown = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      if (++shown > 6) ScriptStopFlag = 1;  // a loop the box did not stop
      if (shown < 3 || shown > 6)
        box->buttons().front()->click();
      else if (escape)
        QTest::keyClick(box->focusWidget(), Qt::Key_Escape);
      else
        box->close();
    });
    timer.start();
    EXPECT_EQ(editor->RunScript(), 2);
    EXPECT_EQ(std::tuple(shown, LogLines().LastLine()), std::tuple(3, told)) << escape;
  }
  platform::SetDialogs(nullptr);
  editor->CloseWithoutQuestion();
}

// A script menu item asks before it replaces unsaved text ("Save changes?",
// Cancel keeps it), and a file that cannot be read changes neither the text
// nor the name.
TEST_F(Editor, AScriptItemNeverDropsUnsavedTextAndAFailedLoadChangesNothing) {
  testing_support::WriteText(dir_.File("item.sbas"), "PRINT \"item\"\r\n");
  ScopedScriptedDialogs dialogs;
  TScrEditForm1* editor = OpenScriptEditor(true);
  ScriptFileName = dir_.File("mine.sbas");
  QTest::keyClicks(editor->ScrEditMemo1, "PRINT 1");
  for (int answer : {platform::IDCANCEL, platform::IDNO}) {
    dialogs.QueueAnswer(answer);
    EXPECT_FALSE(RunScriptFile(dir_.File(answer == platform::IDNO ? "missing.sbas" : "item.sbas")));
    EXPECT_EQ(editor->Lines(), std::vector<std::string>{"PRINT 1"});
    EXPECT_EQ(ScriptFileName, dir_.File("mine.sbas"));
    EXPECT_EQ(dialogs.Last().buttons, platform::MsgButtons::YesNoCancel);
  }
  editor->SetModified(false);
}

// A script is read only from a regular file of at most kScriptFileBytes: a
// pipe or a device in its place ("autoexec.sbas" at start, a script item,
// File > Open) and a larger file are told in the editor's box with why, and
// change neither the text nor the name; a missing one is not told.
TEST_F(Editor, PipesDevicesAndHugeFilesAreToldAndChangeNothing) {
  PipeInPlace pipe(dir_.File("autoexec.sbas"));
  std::filesystem::create_symlink("/dev/zero", dir_.File("zero.sbas"));
  testing_support::WriteText(dir_.File("huge.sbas"), "PRINT 1\r\n");
  std::filesystem::resize_file(dir_.File("huge.sbas"), kScriptFileBytes + 1);
  ScopedScriptedDialogs dialogs;
  EXPECT_FALSE(RunScriptFile(dir_.File("autoexec.sbas")));
  TScrEditForm1* editor = OpenScriptEditor(true);
  editor->ScrEditMemo1->setPlainText("PRINT 1");
  editor->SetModified(false);
  ScriptFileName = dir_.File("mine.sbas");
  for (const char* file : {"zero.sbas", "huge.sbas", "missing.sbas"}) {
    EXPECT_FALSE(editor->LoadFile(dir_.File(file))) << file;
    EXPECT_EQ(std::tuple(editor->Lines(), ScriptFileName),
              std::tuple(std::vector<std::string>{"PRINT 1"}, dir_.File("mine.sbas")));
  }
  const std::string told[] = {"autoexec.sbas: it is a named pipe, not a file.",
                              "zero.sbas: it is a character device, not a file.",
                              "huge.sbas: it is larger than 16,777,216 bytes."};
  const auto boxes = dialogs.Records();
  ASSERT_EQ(boxes.size(), 3u);  // nothing for the missing file
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::tuple(boxes[i].caption, boxes[i].text),
              std::tuple("Script Editor Message", "Could not load the script " + dir_.File(told[i])));
  EXPECT_FALSE(pipe.Opened());
}

TEST_F(Editor, ScriptMenusInsertRunAndClear) {
  bar_.addMenu("&File");
  bar_.addMenu("&Script");
  testing_support::WriteText(dir_.File("item.sbas"), "PRINT \"from item\"\r\n");
  ScopedScriptedDialogs dialogs;
  std::vector<std::string> lines = {"INSERT_MAINMENU 2, \"&Extra\"",
                                    "INSERT_MENUITEM 2, 0, \"Run it\", \"" + dir_.File("item") + "\""};
  int stop = -1;
  ASSERT_TRUE(ScrRunScript(lines, stop));
  EXPECT_EQ(stop, 0) << dialogs.Last().text;
  ASSERT_EQ(bar_.actions().size(), 3);
  EXPECT_EQ(bar_.actions()[2]->text().toStdString(), "&Extra");
  QAction* item = bar_.actions()[2]->menu()->actions().value(0);
  ASSERT_NE(item, nullptr);
  item->trigger();
  EXPECT_EQ(dialogs.Last().text, "from item");
  FlushDeletes();
  EXPECT_EQ(ScrEditForm1, nullptr);  // the hidden editor opened for the item is closed
  // Positions past the end are refused.
  ASSERT_TRUE(ScrRunScript({"INSERT_MENUITEM 3, 0, \"x\", \"y\""}, stop));
  EXPECT_EQ(dialogs.Last().text, "(error in line#1)\r\nMenu position not found.");
  ASSERT_TRUE(ScrRunScript({"CLEAR_MENUS"}, stop));
  FlushDeletes();
  EXPECT_EQ(bar_.actions().size(), 2);
  EXPECT_EQ(ScriptMenuCount(), 0);
}

TEST(FileTypes, ScriptsAreRegisteredBesideSettingsFiles) {
  EXPECT_NE(MimePackageText().find("<glob pattern=\"*.sbas\"/>"), std::string::npos);
  EXPECT_NE(DesktopEntryText("/p", "/w").find(std::string(kScriptMimeType) + ";"), std::string::npos);
}

}  // namespace

namespace {

// The start-up script ran (here: too deeply nested, an error and no crash);
// File > New script then opens an empty editor named "Noname.sbas", so a
// save never lands on "autoexec.sbas".
TEST(NewScript, AfterTheStartUpScriptIsAnEmptyNoname) {
  TempDir dir;
  TMainForm1 form;
  InstallScriptGui(&form, form.menuBar());
  testing_support::WriteText(dir.File("autoexec.sbas"), "PRINT " + std::string(10000, '(') + "1" + std::string(10000, ')'));
  ScopedScriptedDialogs dialogs;
  EXPECT_TRUE(RunScriptFile(dir.File("autoexec.sbas")));
  EXPECT_EQ(dialogs.Last().text, "(error in line#1)\r\nExpression nested too deeply.");
  FlushDeletes();
  form.NewScript1Click();
  ASSERT_NE(ScrEditForm1, nullptr);
  EXPECT_EQ(ScriptFileName, "Noname.sbas");
  EXPECT_EQ(ScrEditForm1->Lines(), std::vector<std::string>{""});
  CloseScriptEditor();
  FlushDeletes();
  SetScriptHost(nullptr);
}

// PRINT_MAP through the main window's chart printer, on a PDF file.
TEST(PrintMap, ScriptPrintsTheChartToAPdf) {
  TempDir dir;
  TMainForm1 form;
  InitObserver(ObserverTime);
  SetObserverLocation(ObserverTime, (360.0 - 11.58) / DegPerRad, 48.14 / DegPerRad, 0);
  SetObserverUT(ObserverTime, JulianDay(2024, 3, 20, 21.5));
  TScriptGuiHost& host = InstallScriptGui(&form, form.menuBar());
  std::vector<TPrintOptions> jobs;
  host.printMap = [&](const TScriptPrintOptions& o) {
    jobs.push_back(ScriptPrintChoices(o));
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(100);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.File("map.pdf")));
    return PrintStarMap(form, printer, jobs.back());
  };
  ScopedScriptedDialogs dialogs;
  int stop = -1;
  ASSERT_TRUE(ScrRunScript({"PRINT_MAP \"BW\""}, stop));
  EXPECT_EQ(stop, 0) << dialogs.Last().text;
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_TRUE(jobs[0].blackAndWhite && jobs[0].mainView && jobs[0].skipWindow);
  EXPECT_EQ(FileText(dir.File("map.pdf")).rfind("%PDF", 0), 0u);
  host.printMap = nullptr;
  SetScriptHost(nullptr);
}

}  // namespace

namespace {

TEST_F(Editor, TheHundredAndFirstScriptMenuIsRefused) {
  ScopedScriptedDialogs dialogs;
  int stop = -1;
  ASSERT_TRUE(ScrRunScript({"FOR I = 1 TO 101 | INSERT_MAINMENU 0, \"M\" | NEXT"}, stop));
  EXPECT_EQ(stop, 1);
  EXPECT_EQ(dialogs.Last().text, "(error in line#1)\r\nScript BASIC menu system is full.");
  EXPECT_EQ(ScriptMenuCount(), kScriptMenuItems);
  ASSERT_TRUE(ScrRunScript({"CLEAR_MENUS"}, stop));
  FlushDeletes();
  EXPECT_TRUE(bar_.actions().isEmpty());
}

TEST_F(Editor, InputDialogConfirmsWithEnterAndCancelsWithEscape) {
  ScopedScriptedDialogs dialogs;
  // Types into the dialog once it is shown, then presses the key.
  auto answerWith = [](const char* text, int key) {
    QTimer::singleShot(0, [text, key] {
      auto* dialog = qobject_cast<TScrInpForm1*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->Edit1->setText(text);
      if (const char* png = std::getenv("NOCTRA_SCRIPT_INPUT_PNG")) dialog->grab().save(png);
      QTest::keyClick(dialog->Edit1, Qt::Key(key));
    });
  };
  answerWith("2.5", Qt::Key_Return);
  int stop = -1;
  ASSERT_TRUE(ScrRunScript({"INPUT \"Value?\", V", "PRINT V * 2"}, stop));
  EXPECT_EQ(stop, 0);
  EXPECT_EQ(dialogs.Last().text, "5");
  answerWith("x", Qt::Key_Escape);
  ASSERT_TRUE(ScrRunScript({"INPUT S$", "PRINT \"not reached\""}, stop));
  EXPECT_EQ(stop, 1);
  EXPECT_EQ(dialogs.Last().text, "5");
}

}  // namespace

namespace {

// Line ends of every kind (CR LF, LF, and the lone CR of old Mac files)
// each end a line: no lines run together on loading or on the next save,
// and very long lines stay whole.
TEST_F(Editor, EveryLineEndKindEndsALineAndSavingKeepsTheLines) {
  const std::string longLine = "PRINT \"" + std::string(1000, 'x') + "\"";
  testing_support::WriteText(dir_.File("ends.sbas"), "PRINT 1\rPRINT 2\r\nPRINT 3\n\r" + longLine + "\r");
  TScrEditForm1* editor = OpenScriptEditor(true);
  ASSERT_TRUE(editor->LoadFile(dir_.File("ends.sbas")));
  EXPECT_EQ(editor->Lines(), (std::vector<std::string>{"PRINT 1", "PRINT 2", "PRINT 3", "", longLine}));
  ASSERT_TRUE(editor->SaveScript());
  EXPECT_EQ(FileText(dir_.File("ends.sbas")), "PRINT 1\r\nPRINT 2\r\nPRINT 3\r\n\r\n" + longLine + "\r\n");
}

}  // namespace
