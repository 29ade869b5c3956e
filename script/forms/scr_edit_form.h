// The script editor window: the script's lines in a plain-text editor,
// loaded from and saved to ScriptFileName, run by the runner. One window
// at a time (ScrEditForm1, null while closed); it frees itself when closed.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPlainTextEdit;

// The largest script file loaded: far above any script written by hand or
// by a program, small enough for the editor to hold, so that a file of
// gigabytes put in a script's place is refused instead of filling the
// memory.
inline constexpr uint64_t kScriptFileBytes = 16 * 1024 * 1024;

// The script's file name, "Noname.sbas" at start (shared with the main window).
extern std::string ScriptFileName;
// True from the editor's creation to its destruction.
extern bool ScriptEditorOpen;

class TScrEditForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TScrEditForm1(QWidget* owner = nullptr);
  ~TScrEditForm1() override;

  // Loads ScriptFileName (".sbas" appended to a name without '.'), UTF-8 or
  // else Windows-1252; false and the text unchanged when it cannot be read.
  // Only a regular file of at most kScriptFileBytes is read: a named pipe,
  // a folder or a device in its place is refused unopened, a larger file
  // unread beyond that, and either is told in the editor's message box with
  // its reason, as a file this user may not read is (a missing one is not).
  bool LoadScript();
  // Loads another file: unsaved text is first offered for saving ("Save
  // changes?": Yes saves, No drops it, Cancel keeps it and loads nothing);
  // a file that cannot be read changes neither the text nor ScriptFileName.
  bool LoadFile(const std::string& name);
  // Writes the text to ScriptFileName as UTF-8 with CR LF line ends,
  // through a temporary file; false (after a message box) when it cannot be
  // written.
  bool SaveScript();
  // The program's end: unsaved text is offered for saving ("Save
  // changes?": Yes saves it, No lets it go, Cancel keeps it). True when the
  // program may end: nothing unsaved, saved, or let go.
  bool QueryEndProgram();
  // The program's end when nobody answers (a signal): unsaved text is
  // written to a recovery file in `folder`, named after the script
  // ("Noname.recovered.sbas"; "-2", "-3", ... before ".sbas" when that file
  // exists), UTF-8 with CR LF line ends. Its path, and the text no longer
  // counts as unsaved; empty when nothing was unsaved, or when the file
  // could not be written (`error` gives the system's reason) and the text
  // stays unsaved, for another folder to take.
  std::string KeepRecoveryCopy(const std::string& folder, std::string* error = nullptr);
  // Closes the window without offering unsaved text for saving (the
  // program ends unattended and has kept what it could).
  void CloseWithoutQuestion();
  // Runs the text; a run that stopped selects its line. The stop line.
  int RunScript();

  std::vector<std::string> Lines() const;
  // Selects editor line n (1-based, clamped to the text).
  void SelectLine(int n);
  bool Modified() const;
  void SetModified(bool modified);

  QPlainTextEdit* ScrEditMemo1 = nullptr;

  // Run when the window is destroyed (the main window re-enables NewScript1
  // and disables RunScript1 and CloseScript1).
  static std::function<void()> OnDestroyed;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void SetFileCaption();
  bool askOnClose_ = true;
  // Unsaved text offered for saving, Cancel included; false when the user
  // cancelled or the save failed (nothing is dropped then).
  bool OfferToSave();
  // The answer Yes: the main window's File > Save (the save dialog for a
  // script still named "Noname.sbas"). True when the text is saved.
  bool FileSave();
  // The lines with CR LF after each, as files hold them.
  std::string FileText() const;
};

extern TScrEditForm1* ScrEditForm1;
