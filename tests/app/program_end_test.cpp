// The program's end on the real main window: every setting written, files
// that cannot be written told once, an unsaved script offered for saving on
// an ordinary close and kept in a recovery file on a signal (in another of
// the user's folders when the data folder cannot take it), settings-store
// changes left pending written.
#include <sys/inotify.h>
#include <unistd.h>

#include <QLineEdit>
#include <QLockFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>

#include "app/forms/unix_signals.h"
#include "platform/automation_lx200.h"
#include "platform/gui_thread.h"
#include "platform/registry.h"
#include "platform/xml.h"
#include "platform/registry_text.h"
#include "script/forms/scr_edit_form.h"
#include "script/forms/script_gui.h"
#include "script/runner.h"
#include "shell/log_lines.h"
#include "telescope/forms/tele_form.h"
#include "telescope/tele_control.h"
#include "tests/app/startup_fixture.h"
#include "tests/support/fake_lx200.h"

using startup_fixture::RunEventsUntil;

namespace {

// How long a test waits for the program to end (a bound for a failed run,
// not a speed target).
constexpr int kEndWithinMs = startup_fixture::kEventWaitMs;

// The settings files the program writes at its end, beside the camera
// settings file.
const char* const kEndSettings[] = {"ImagingSettings.xml", "ImagingConsoleSettings.xml", "AutoGuideSettings.xml",
                                    "PlateSolveSettings.xml"};

// The window started and past its first heartbeat tick (which runs the
// start-up script in the editor).
bool Started(TMainForm1& form) {
  if (!form.StartUp()) return false;
  form.CreateProgramWindows();
  form.show();
  if (!RunEventsUntil([&] { return !form.StartupPending; }, startup_fixture::kEventWaitMs)) return false;
  QCoreApplication::sendPostedEvents();  // the start-up script's run, posted by the tick
  RunEventsUntil([] { return false; }, 100);
  return true;
}

// Counts the files written in a folder under their own names (written in
// place, or a temporary file renamed to the name), from its making on.
class FileWrites {
 public:
  explicit FileWrites(const std::string& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
  }
  ~FileWrites() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Watching() const { return fd_ >= 0; }
  // The writes of each name so far.
  const std::map<std::string, int>& Counts() {
    alignas(inotify_event) char buffer[16384];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        // A file written in place and then closed, or one renamed into
        // place: one write of that name each.
        if (e->len > 0) ++counts_[e->name];
        at += ssize_t(sizeof(inotify_event) + e->len);
      }
    return counts_;
  }

 private:
  int fd_;
  std::map<std::string, int> counts_;
};

int LogLinesStartingWith(const std::string& prefix) {
  int n = 0;
  for (const std::string& line : LogLines().Lines()) n += line.rfind(prefix, 0) == 0;
  return n;
}

}  // namespace

class ProgramEnd : public startup_fixture::StartUpFixture {
 protected:
  // A window (a new one when the last has ended) started with the imaging
  // settings files in the folder `name` of the private home, ended by
  // SIGTERM as the program is; the folder ("" when the start failed).
  std::string StartWithImagingSettingsIn(const std::string& name) {
    if (destroyed) form = NewWindow();
    CloseState = kRunning;
    const std::string folder = home.File(name);
    std::filesystem::create_directories(folder);
    form->ImagingSettingsPath = folder + kEndSettings[0];
    if (!Started(*form)) return {};
    CloseOnTerminationSignals([this] { form->EndProgramUnattended(); });
    return folder;
  }
};

// File > Exit with a changed script asks once; Cancel keeps the program
// running as it was, No ends it without asking again.
TEST_F(ProgramEnd, AnUnsavedScriptIsOfferedAndCancelKeepsTheProgramOpen) {
  ASSERT_TRUE(Started(*form));
  TScrEditForm1* editor = OpenScriptEditor(true);
  editor->ScrEditMemo1->insertPlainText("PRINT 1");  // typed: the text is changed
  dialogs.QueueAnswer(platform::IDCANCEL);
  form->Exit1Click();
  ASSERT_EQ(dialogs.Count(), 1u);
  EXPECT_EQ(dialogs.Last().text, "Save changes?");
  EXPECT_EQ(dialogs.Last().buttons, platform::MsgButtons::YesNoCancel);
  EXPECT_EQ(CloseState, kRunning);
  EXPECT_FALSE(RunEventsUntil([&] { return destroyed; }, 500));
  EXPECT_TRUE(editor->Modified());

  dialogs.QueueAnswer(platform::IDNO);
  form->Exit1Click();
  EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs));
  EXPECT_EQ(dialogs.Count(), 2u);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(ScrEditForm1, nullptr);  // closed with the program, unasked
}

// SIGTERM (a logout) with a changed script: nothing is asked, every setting
// is written, the script's text is kept beside the data and named in the
// log, and the program ends.
TEST_F(ProgramEnd, SigtermWritesEverySettingAndKeepsAnUnsavedScript) {
  ASSERT_TRUE(Started(*form));
  CloseOnTerminationSignals([&] { form->EndProgramUnattended(); });
  DataFolder = home.Path();
  testing_support::WriteText(home.File("Noname.recovered.sbas"), "an earlier session's\r\n");
  OpenScriptEditor(true)->ScrEditMemo1->insertPlainText("PRINT \"kept\"");
  std::raise(SIGTERM);
  EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs));
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
  for (const char* file : kEndSettings) EXPECT_TRUE(platform::FileExists(home.File(file))) << file;
  const std::string kept = home.File("Noname.recovered-2.sbas");
  EXPECT_EQ(testing_support::ReadText(kept), "PRINT \"kept\"\r\n");
  EXPECT_EQ(LogLinesStartingWith("[Script] The unsaved script is kept in " + kept), 1);
  CloseOnTerminationSignals(nullptr);
}

// A closed terminal (SIGHUP) and the quit key (SIGQUIT) end the program as
// SIGTERM does: nothing asked, the unsaved script kept and named in the log,
// and it ends. A settings-store change left pending while another copy held
// the lock is written if the lock is free by then (SIGHUP), never while it
// is held (SIGQUIT). A full data folder (its temporary file is /dev/full,
// which refuses writes as a full disk does: SIGQUIT) sends the script to
// the user's data folder, the log giving the system's reason.
TEST_F(ProgramEnd, SighupAndSigquitEndItAsSigtermDoesWithTheLockFreeOrHeld) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string data = DataFolder, store = platform::TRegIniFile().FileName();
  std::filesystem::create_directories(std::filesystem::path(store).parent_path());
  for (const int sig : {SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(sig);
    const bool full = sig == SIGQUIT;
    if (destroyed) form = NewWindow();
    CloseState = kRunning;
    DataFolder = data;  // the reference data, for the start-up
    ASSERT_TRUE(Started(*form));
    CloseOnTerminationSignals([&] { form->EndProgramUnattended(); });
    if (struct sigaction now = {}; ::sigaction(sig, nullptr, &now) == 0 && now.sa_handler == SIG_IGN)
      GTEST_SKIP() << "the tests were started with the signal ignored (nohup)";
    DataFolder = home.File(std::to_string(sig) + "/");
    std::filesystem::create_directories(DataFolder);
    if (full)
      std::filesystem::create_symlink("/dev/full", platform::TemporaryNameFor(DataFolder + "Noname.recovered.sbas"));
    QLockFile held(QString::fromStdString(store + ".lock"));
    ASSERT_TRUE(held.tryLock(0));
    platform::TRegIniFile().WriteString("Pending", "value", full ? "held" : "freed");
    if (!full) held.unlock();
    dialogs.Clear();
    LogLines().Clear();
    OpenScriptEditor(true)->ScrEditMemo1->insertPlainText("PRINT \"kept\"");
    std::raise(sig);
    EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs));
    EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
    const std::string kept =
        (full ? home.File("share/Tarvel Software/Noctra Planetarium/") : DataFolder) + "Noname.recovered.sbas";
    EXPECT_EQ(testing_support::ReadText(kept), "PRINT \"kept\"\r\n");
    EXPECT_EQ(LogLinesStartingWith("[Script] The unsaved script is kept in " + kept), 1);
    if (full) {
      EXPECT_EQ(LogLinesStartingWith("[Script] The unsaved script could not be kept in " + DataFolder + ": " +
                                     std::strerror(ENOSPC)),
                1);
      EXPECT_FALSE(platform::FileExists(DataFolder + "Noname.recovered.sbas"));
    }
    // SIGQUIT's "held" is not written over SIGHUP's "freed".
    EXPECT_EQ(platform::ParseSettingsText(QByteArray::fromStdString(testing_support::ReadText(store)))
                  [QStringLiteral("Pending/value")],
              QStringLiteral("freed"));
    CloseOnTerminationSignals(nullptr);
  }
}

// No folder can take the script (every file is refused): each folder tried
// is named in the log with the reason, the private temporary folder made
// for it is removed again, and the program still ends without a question.
TEST_F(ProgramEnd, WhenNoFolderCanKeepTheScriptTheLogSaysSoAndNothingIsAsked) {
  ASSERT_TRUE(Started(*form));
  CloseOnTerminationSignals([&] { form->EndProgramUnattended(); });
  DataFolder = home.File("data/");
  std::filesystem::create_directories(home.File("tmp"));
  testing_support::ScopedEnv tmp("TMPDIR", home.File("tmp"));
  LogLines().Clear();
  OpenScriptEditor(true)->ScrEditMemo1->insertPlainText("PRINT \"lost\"");
  {
    testing_support::FileSizeLimit full(2);
    std::raise(SIGTERM);
    EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs));
  }
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
  const std::string reason = std::string(": ") + std::strerror(EFBIG);
  for (const std::string& folder : {DataFolder, home.File("share/Tarvel Software/Noctra Planetarium/"),
                                    home.File("cache/Tarvel Software/Noctra Planetarium/")})
    EXPECT_EQ(LogLinesStartingWith("[Script] The unsaved script could not be kept in " + folder + reason), 1) << folder;
  EXPECT_EQ(LogLinesStartingWith("[Script] The unsaved script could not be kept in " + home.File("tmp/noctra-")), 1);
  EXPECT_EQ(LogLinesStartingWith("[Script] The unsaved script is lost"), 1);
  // The private folder is gone (the toolkit may keep its own runtime folder
  // in TMPDIR meanwhile).
  for (const auto& e : std::filesystem::directory_iterator(home.File("tmp")))
    EXPECT_NE(e.path().filename().string().rfind("noctra-", 0), 0u) << e.path();
  CloseOnTerminationSignals(nullptr);
}

// File > Exit, and SIGTERM, while a script waits (WAIT) and the mount has
// gone silent under the telescope window's poll, whose call waits inside
// the script's wait: the script's stop gives up the waits as the close
// does without a script, so the call, which the silent mount would hold
// for far longer, is given up (nothing told lost) and the program ends
// with its settings written. A changed script is offered for saving before
// anything stops: Cancel leaves the run and the waits as they were.
TEST_F(ProgramEnd, AScriptRunningLetsNoSilentMountHoldTheEnd) {
  // The silent mount's call waits this long by itself: far beyond the end's
  // give-up and the test's bound for the end.
  platform::SetLx200FindRepliesMsForTest(2 * kEndWithinMs);
  struct Restore {
    ~Restore() { platform::SetLx200FindRepliesMsForTest(0); }
  } restore;
  testing_support::WriteText(home.File("wait.sbas"), "WAIT 3600\r\n");
  for (const bool signal : {false, true}) {
    SCOPED_TRACE(signal ? "SIGTERM" : "File > Exit");
    const std::string folder = StartWithImagingSettingsIn(signal ? "script-signal/" : "script-exit/");
    ASSERT_FALSE(folder.empty());
    testing_support::TFakeLx200 mount(testing_support::TFakeLx200::Transport::Tcp);
    form->TelescopeControl1->trigger();
    auto* teleForm = form->findChild<TTeleForm1*>();
    ASSERT_TRUE(teleForm);
    teleForm->findChild<QLineEdit*>()->setText(QString::fromStdString(mount.Id()));
    for (auto* b : teleForm->findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("Connect")) b->click();
    ASSERT_TRUE(TeleControl()->Connected());
    TScrEditForm1* editor = OpenScriptEditor(true);
    ASSERT_TRUE(editor->LoadFile(home.File("wait.sbas")));
    if (!signal) {  // a line typed: the text is changed
      editor->ScrEditMemo1->moveCursor(QTextCursor::End);
      editor->ScrEditMemo1->insertPlainText("\nREM typed");
    }
    LogLines().Clear();
    dialogs.Clear();
    // Inside the run (the script waits in the event loop): the mount falls
    // silent; once a poll's call waits inside the script's wait for its
    // reply, the user ends the program.
    std::size_t heard = 0;
    bool silent = false, ended = false;
    QTimer user;
    user.setInterval(5);
    QObject::connect(&user, &QTimer::timeout, [&] {
      if (!ScriptRunActive() || ended) return;
      if (!silent) {
        mount.SetSilent(true);
        heard = mount.Commands().size();
        silent = true;
      }
      if (platform::NestedEventDepth() == 0 || mount.Commands().size() <= heard) return;
      ended = true;
      if (signal) return (void)std::raise(SIGTERM);
      dialogs.QueueAnswer(platform::IDCANCEL);
      form->Exit1Click();
      EXPECT_TRUE(ScriptRunActive() && !platform::WaitsGivenUp());
      dialogs.QueueAnswer(platform::IDNO);
      form->Exit1Click();
    });
    user.start();
    QTimer::singleShot(0, form, [this] { form->RunScript1Click(); });
    EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs));
    user.stop();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(ScriptRunActive());
    EXPECT_EQ(dialogs.Count(), signal ? 0u : 2u) << dialogs.Last().text;  // "Save changes?", asked twice
    // Given up, the call is no loss of the mount.
    for (const std::string& line : LogLines().Lines()) EXPECT_EQ(line.find("lost"), std::string::npos) << line;
    for (const char* file : kEndSettings) EXPECT_TRUE(platform::FileExists(folder + file)) << file;
    CloseOnTerminationSignals(nullptr);
  }
}

// A full disk at the end: the four settings files are told in one message
// (File > Exit) or one log line (SIGTERM), and keep their old contents.
TEST_F(ProgramEnd, SettingsThatCannotBeWrittenAreToldOnceAndKeptAsTheyWere) {
  for (const bool signal : {false, true}) {
    const std::string folder = StartWithImagingSettingsIn(signal ? "signal/" : "exit/");
    ASSERT_FALSE(folder.empty());
    for (const char* file : kEndSettings) testing_support::WriteText(folder + file, "old");
    dialogs.Clear();
    LogLines().Clear();
    {
      testing_support::FileSizeLimit full(2);
      if (signal)
        std::raise(SIGTERM);
      else
        form->Exit1Click();
      EXPECT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs)) << signal;
    }
    for (const char* file : kEndSettings) EXPECT_EQ(testing_support::ReadText(folder + file), "old") << file;
    const std::string told = "Error: Can't write these files:";
    if (signal) {
      EXPECT_EQ(dialogs.Count(), 0u);
      EXPECT_EQ(LogLinesStartingWith("[Settings] " + told), 1);
    } else {
      ASSERT_EQ(dialogs.Count(), 1u);
      EXPECT_EQ(dialogs.Last().text.rfind(told, 0), 0u);
      for (const char* file : kEndSettings)
        EXPECT_NE(dialogs.Last().text.find(folder + file + " ("), std::string::npos) << file;
    }
    CloseOnTerminationSignals(nullptr);
  }
}

// The program's end writes each of the four imaging settings files once,
// by File > Exit and by SIGTERM alike (the windows' destruction after the
// close writes nothing more).
TEST_F(ProgramEnd, EachImagingSettingsFileIsWrittenOnceAtTheEnd) {
  for (const bool signal : {false, true}) {
    SCOPED_TRACE(signal ? "SIGTERM" : "File > Exit");
    const std::string folder = StartWithImagingSettingsIn(signal ? "once-signal/" : "once-exit/");
    ASSERT_FALSE(folder.empty());
    FileWrites writes(folder);
    ASSERT_TRUE(writes.Watching());
    if (signal)
      std::raise(SIGTERM);
    else
      form->Exit1Click();
    ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs));
    const std::map<std::string, int>& counts = writes.Counts();
    for (const char* file : kEndSettings) {
      const auto written = counts.find(file);
      EXPECT_EQ(written == counts.end() ? 0 : written->second, 1) << file;
      platform::XmlDocument doc;
      EXPECT_TRUE(doc.LoadFromFile(folder + file)) << file;
    }
    CloseOnTerminationSignals(nullptr);
  }
}

// Damaged settings files at the start (a camera set-up cut in half, a
// plate-solve file turned to junk): each is kept aside and told once with
// where it is kept, missing ones (a first start) say nothing, and the end
// writes the settings beside the kept copies, never over them.
TEST_F(ProgramEnd, DamagedSettingsFilesAreKeptAsideAndNeverWrittenOver) {
  const std::string camera =
      "<?xml version=\"1.0\"?>\n<Imaging>\n  <IFF1>\n    <Name>/home/observer/frames/</Name>\n    <Gain>1";
  const std::string junk = "<PlateSolve><Selections><ApiKey>typed-key</ApiKey></Selection>";
  testing_support::WriteText(home.File("ImagingSettings.xml"), camera);
  testing_support::WriteText(home.File("PlateSolveSettings.xml"), junk);
  LogLines().Clear();  // an earlier test's start may have logged kept files
  ASSERT_TRUE(Started(*form));
  // Kept under the date and time of the start (the clock's, in UTC here).
  auto keptCopy = [&](const std::string& stem) {
    std::string found;
    for (const auto& e : std::filesystem::directory_iterator(home.Path()))
      if (const std::string name = e.path().filename().string();
          name.rfind(stem + ".damaged-20260110-00", 0) == 0 && name.size() == stem.size() + 28 &&
          name.substr(name.size() - 4) == ".xml")
        found = e.path().string();
    return found;
  };
  const std::string keptCamera = keptCopy("ImagingSettings"), keptSolve = keptCopy("PlateSolveSettings");
  ASSERT_FALSE(keptCamera.empty() || keptSolve.empty());
  const auto boxes = dialogs.Records();
  ASSERT_EQ(boxes.size(), 2u);
  int told = 0;
  for (const auto& [file, kept] : {std::pair{home.File("ImagingSettings.xml"), keptCamera},
                                   std::pair{home.File("PlateSolveSettings.xml"), keptSolve}})
    for (const auto& box : boxes)
      told += box.text.rfind("Warning: Can't read file " + file + "\r\n", 0) == 0 &&
              box.text.find("It is kept as " + kept + ".\r\nThe default settings are used.") != std::string::npos;
  EXPECT_EQ(told, 2) << boxes[0].text << "\n" << boxes[1].text;
  EXPECT_EQ(LogLinesStartingWith("[Settings] Can't read file "), 2);
  dialogs.Clear();
  form->Exit1Click();
  ASSERT_TRUE(RunEventsUntil([&] { return destroyed; }, kEndWithinMs));
  EXPECT_EQ(dialogs.Count(), 0u) << dialogs.Last().text;
  EXPECT_EQ(testing_support::ReadText(keptCamera), camera);
  EXPECT_EQ(testing_support::ReadText(keptSolve), junk);
  for (const char* file : kEndSettings) {
    platform::XmlDocument doc;
    EXPECT_TRUE(doc.LoadFromFile(home.File(file))) << file << " written fresh at the end";
  }
}
