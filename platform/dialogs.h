// Message boxes and the common dialogs (file, folder, colour, font).
//
// The program calls these through Dialogs(); the running program installs
// the Qt implementation (platform/qt_dialogs.h), tests install a
// ScriptedDialogs double that answers from a queue and records every call.
// Without either, a headless implementation prints message boxes to standard
// error and answers with the default button, so command-line tools can share
// code that reports through message boxes.
//
// Calls may come from any thread; the Qt implementation hands them to the
// GUI thread and blocks the caller until the user answers.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// Caption of the program's message boxes.
inline constexpr const char* kProductCaption = "Noctra Planetarium V3.2";

enum class MsgIcon { None, Stop, Exclamation, Question, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// Message box results, numbered as the program's callers compare them.
// IDCLOSE: the box was closed without one of its buttons (the window's
// close button, or Escape); only MessageBoxReportingClose answers it.
enum MsgResult : int {
  IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7, IDCLOSE = 8
};

// The result of the first button of a button set (what Enter gives unless
// the box names another default button).
int DefaultResult(MsgButtons buttons);
// The result of a box's default button: `defaultResult` when it is one of
// the set's buttons (IDNO of Yes and No, say), else the first button's.
int DefaultResult(MsgButtons buttons, int defaultResult);
// What MessageBox answers for a box closed with the window's close button
// (the box's escape button): OK for OK alone, No for Yes and No, else
// Cancel; a box of Abort, Retry and Ignore cannot be closed so (its default).
int ClosedResult(MsgButtons buttons);

struct FileDialogOptions {
  bool save = false;
  std::string title;
  std::string filter;    // pairs "description|mask;mask|description|mask"
  int filterIndex = 1;   // 1-based
  std::string initialDir;
  std::string fileName;  // proposed name
  std::string defaultExt;
};

struct FileDialogResult {
  bool accepted = false;
  std::string fileName;
  int filterIndex = 1;  // 1-based index of the filter the user chose
};

struct FontChoice {
  std::string face;
  int size = 10;  // points
  bool bold = false;
  bool italic = false;
  uint32_t color = 0;  // 0x00BBGGRR
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  // Shows a modal message box; returns one of MsgResult. Its first button
  // is the default (the one Enter presses).
  virtual int MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) = 0;
  // As MessageBox with the button of `defaultResult` as the default: a
  // question whose Yes replaces a user's file with less has No there, so
  // that Return keeps the file. Implementations that cannot show another
  // default button answer as MessageBox does.
  virtual int MessageBoxWithDefault(const std::string& text, const std::string& caption, MsgButtons buttons,
                                    MsgIcon icon, int defaultResult) {
    (void)defaultResult;
    return MessageBox(text, caption, buttons, icon);
  }
  // As MessageBox, but a box closed without one of its buttons answers
  // IDCLOSE. Implementations that cannot tell answer as MessageBox does.
  virtual int MessageBoxReportingClose(const std::string& text, const std::string& caption, MsgButtons buttons,
                                       MsgIcon icon) {
    return MessageBox(text, caption, buttons, icon);
  }
  virtual FileDialogResult FileDialog(const FileDialogOptions& options) = 0;
  // Lets the user pick a folder starting at `folder`; true and `folder`
  // replaced when one was chosen.
  virtual bool BrowseForFolder(const std::string& title, std::string& folder) = 0;
  // Colour dialog on a colour 0x00BBGGRR; true and `color` replaced on OK.
  virtual bool ChooseColor(uint32_t& color) = 0;
  // Font dialog; true and `font` replaced on OK.
  virtual bool ChooseFont(FontChoice& font) = 0;
};

// The installed implementation.
IDialogs& Dialogs();
// Installs an implementation (not owned); nullptr restores the headless one.
void SetDialogs(IDialogs* dialogs);
// From `on` on, Dialogs() is the headless implementation whatever is
// installed: the program is ending unattended (a signal), nobody may be
// there to answer, and nothing may wait for an answer. Every box goes to
// standard error and takes its default button; other dialogs are cancelled.
void SetDialogsUnattended(bool on);
// True while boxes reach someone: an implementation is installed and the
// program is not ending unattended. A box shown otherwise went to standard
// error only, and nobody may have seen it.
bool DialogsAttended();

// Shorthand for Dialogs().MessageBox, and for Dialogs().MessageBoxWithDefault
// with the button of `defaultResult` as the default.
int ShowMessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                   MsgIcon icon);
int ShowMessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                   MsgIcon icon, int defaultResult);
// Shorthand for Dialogs().MessageBoxReportingClose.
int ShowMessageBoxReportingClose(const std::string& text, const std::string& caption, MsgButtons buttons,
                                 MsgIcon icon);

// One call recorded by ScriptedDialogs.
struct DialogRecord {
  enum Kind { Message, File, Folder, Color, Font } kind = Message;
  std::string text;     // message text, dialog title
  std::string caption;  // message caption
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::None;
  int defaultResult = 0;  // the result of the box's default button
  FileDialogOptions file;
};

// Test double: answers from queues, records every call (a box with the
// result of its default button). Message boxes with an empty queue answer
// with the default button; a queued IDCLOSE is the box
// closed without a button (MessageBox answers ClosedResult for it); file,
// folder, colour and font dialogs with an empty queue are cancelled.
// Thread-safe.
class ScriptedDialogs : public IDialogs {
 public:
  void QueueAnswer(int result);
  void QueueFile(const FileDialogResult& result);
  void QueueFolder(const std::string& folder);  // chosen folder
  void QueueColor(uint32_t color);
  void QueueFont(const FontChoice& font);

  std::vector<DialogRecord> Records() const;
  std::size_t Count() const;
  DialogRecord Last() const;  // empty record when none
  void Clear();

  int MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                 MsgIcon icon) override;
  int MessageBoxWithDefault(const std::string& text, const std::string& caption, MsgButtons buttons,
                            MsgIcon icon, int defaultResult) override;
  int MessageBoxReportingClose(const std::string& text, const std::string& caption, MsgButtons buttons,
                               MsgIcon icon) override;
  FileDialogResult FileDialog(const FileDialogOptions& options) override;
  bool BrowseForFolder(const std::string& title, std::string& folder) override;
  bool ChooseColor(uint32_t& color) override;
  bool ChooseFont(FontChoice& font) override;

 private:
  int Answer(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon,
             bool reportClose, int defaultResult);

  mutable std::mutex mutex_;
  std::vector<DialogRecord> records_;
  std::deque<int> answers_;
  std::deque<FileDialogResult> files_;
  std::deque<std::string> folders_;
  std::deque<uint32_t> colors_;
  std::deque<FontChoice> fonts_;
};

// Installs a ScriptedDialogs for the lifetime of the object.
class ScopedScriptedDialogs : public ScriptedDialogs {
 public:
  ScopedScriptedDialogs() { SetDialogs(this); }
  ~ScopedScriptedDialogs() override { SetDialogs(nullptr); }
  ScopedScriptedDialogs(const ScopedScriptedDialogs&) = delete;
  ScopedScriptedDialogs& operator=(const ScopedScriptedDialogs&) = delete;
};

}  // namespace platform
