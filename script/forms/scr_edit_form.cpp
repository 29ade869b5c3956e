#include "script/forms/scr_edit_form.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QVBoxLayout>
#include <cerrno>
#include <filesystem>

#include "platform/data_file.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "script/runner.h"
#include "shell/file_commands.h"

std::string ScriptFileName = "Noname.sbas";
bool ScriptEditorOpen = false;
TScrEditForm1* ScrEditForm1 = nullptr;
std::function<void()> TScrEditForm1::OnDestroyed;

namespace {

const char* const kCaption = "Noctra Planetarium - Script Editor";

std::string WithExtension(std::string name) {
  if (name.find('.') == std::string::npos) name += ".sbas";
  return name;
}

std::string FilePart(const std::string& name) { return std::filesystem::path(name).filename().string(); }

}  // namespace

TScrEditForm1::TScrEditForm1(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(kCaption);
  resize(421, 379);
  ScrEditMemo1 = new QPlainTextEdit(this);
  ScrEditMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  ScrEditMemo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ScrEditMemo1);
  ScrEditForm1 = this;
  ScriptEditorOpen = true;
  SetModified(false);
}

TScrEditForm1::~TScrEditForm1() {
  if (ScrEditForm1 == this) ScrEditForm1 = nullptr;
  ScriptEditorOpen = false;
  if (OnDestroyed) OnDestroyed();
}

void TScrEditForm1::SetFileCaption() {
  setWindowTitle(QString::fromStdString(std::string(kCaption) + " (" + FilePart(ScriptFileName) + ")"));
}

void TScrEditForm1::showEvent(QShowEvent* event) {
  resize(429, 413);
  // Centred over the main window's chart.
  if (QWidget* owner = parentWidget()) move(owner->geometry().center() - rect().center());
  SetFileCaption();
  QWidget::showEvent(event);
}

bool TScrEditForm1::Modified() const { return ScrEditMemo1->document()->isModified(); }
void TScrEditForm1::SetModified(bool modified) { ScrEditMemo1->document()->setModified(modified); }

bool TScrEditForm1::LoadScript() {
  setWindowTitle(kCaption);
  if (ScriptFileName.empty()) return false;
  std::string name = WithExtension(ScriptFileName);
  std::string why;
  const auto bytes = platform::ReadDataFileBytesUpTo(name, kScriptFileBytes, &why);
  if (!bytes) {
    // A missing script (no "autoexec.sbas") is no failure to tell.
    if (errno != ENOENT)
      platform::ShowMessageBox("Could not load the script " + name + ": " + why + ".", "Script Editor Message",
                               platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    return false;
  }
  // Whole lines ended by CR LF, LF or a lone CR (old Mac files); nothing is
  // cut.
  const std::string text(bytes->begin(), bytes->end());
  std::string clean;
  clean.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') clean += text[i];
    else if (i + 1 == text.size() || text[i + 1] != '\n') clean += '\n';
  }
  if (!clean.empty() && clean.back() == '\n') clean.pop_back();
  if (clean.rfind("\xEF\xBB\xBF", 0) == 0) clean.erase(0, 3);  // a UTF-8 byte-order mark
  ScriptFileName = name;
  // UTF-8, or Windows-1252 (Latin-1) for a file that is not; saved as UTF-8.
  ScrEditMemo1->setPlainText(QString::fromStdString(ScrTextFromFile(clean)));
  SetFileCaption();
  SetModified(false);
  ScrEditMemo1->moveCursor(QTextCursor::Start);
  if (isVisible()) ScrEditMemo1->setFocus();
  return true;
}

bool TScrEditForm1::SaveScript() {
  setWindowTitle(kCaption);
  const std::string name = WithExtension(ScriptFileName);
  const std::string text = FileText();
  if (!platform::WriteFileAtomically(name, text.data(), text.size())) {
    platform::ShowMessageBox("Could not save the script " + name + ".", "Script Editor Message",
                             platform::MsgButtons::Ok, platform::MsgIcon::Stop);
    return false;
  }
  ScriptFileName = name;
  SetFileCaption();
  SetModified(false);
  return true;
}

std::string TScrEditForm1::FileText() const {
  std::string text;
  for (const std::string& line : Lines()) text += line + "\r\n";
  return text;
}

bool TScrEditForm1::OfferToSave() {
  const int answer = platform::ShowMessageBox("Save changes?", "Script Editor Message",
                                              platform::MsgButtons::YesNoCancel, platform::MsgIcon::Question);
  if (answer == platform::IDCANCEL) return false;
  if (answer == platform::IDYES && !FileSave()) return false;  // not saved: nothing is dropped
  return true;
}

bool TScrEditForm1::FileSave() {
  // File > Save: a script without a name of its own ("Noname.sbas") is
  // written only under a name the save dialog gives.
  ::SaveCommand();
  return !Modified();
}

bool TScrEditForm1::QueryEndProgram() {
  if (!Modified()) return true;
  if (!OfferToSave()) return false;
  SetModified(false);  // let go: the editor's own close asks nothing more
  return true;
}

std::string TScrEditForm1::KeepRecoveryCopy(const std::string& folder, std::string* error) {
  if (!Modified()) return {};
  const std::string stem = std::filesystem::path(WithExtension(ScriptFileName)).stem().string();
  std::string path;
  for (int n = 1; n < 1000; ++n) {
    path = platform::JoinPath(folder, stem + ".recovered" + (n > 1 ? "-" + std::to_string(n) : "") + ".sbas");
    if (!platform::FileExists(path)) break;
  }
  const std::string text = FileText();
  if (!platform::WriteFileAtomically(path, text.data(), text.size(), error)) return {};
  SetModified(false);
  return path;
}

void TScrEditForm1::CloseWithoutQuestion() {
  askOnClose_ = false;
  close();
}

std::vector<std::string> TScrEditForm1::Lines() const {
  std::vector<std::string> lines;
  for (QTextBlock b = ScrEditMemo1->document()->begin(); b.isValid(); b = b.next())
    lines.push_back(b.text().toStdString());
  return lines;
}

void TScrEditForm1::SelectLine(int n) {
  QTextDocument* doc = ScrEditMemo1->document();
  if (doc->blockCount() == 0 || n < 1) return;
  QTextBlock b = doc->findBlockByNumber(std::min(n, doc->blockCount()) - 1);
  QTextCursor c(b);
  c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  ScrEditMemo1->setTextCursor(c);
}

bool TScrEditForm1::LoadFile(const std::string& name) {
  if (Modified() && !OfferToSave()) return false;
  const std::string previous = ScriptFileName;
  ScriptFileName = name;
  if (LoadScript()) return true;
  ScriptFileName = previous;
  return false;
}

int TScrEditForm1::RunScript() {
  int stopLine = 0;
  QPointer<TScrEditForm1> self(this);
  if (!ScrRunScript(Lines(), stopLine)) return 0;
  if (self && stopLine > 0) self->SelectLine(stopLine);
  return stopLine;
}

void TScrEditForm1::closeEvent(QCloseEvent* event) {
  // During a run the close waits until the run has unwound.
  QPointer<TScrEditForm1> self(this);
  if (ScriptRunActive()) {
    ScrStopThen([self] {
      if (self) self->close();
    });
    event->ignore();
    return;
  }
  if (askOnClose_ && Modified() &&
      platform::ShowMessageBox("Save changes?", "Script Editor Message", platform::MsgButtons::YesNo,
                               platform::MsgIcon::Question) == platform::IDYES &&
      !FileSave()) {
    // No name was chosen (or the file could not be written): the editor
    // stays open with its text.
    event->ignore();
    return;
  }
  event->accept();
  // The editor is gone from now on: its deletion follows later, and an
  // editor opened meanwhile (File > New script, a script run) must be a new
  // one, not this closing one, or what is typed into it would vanish.
  if (ScrEditForm1 == this) ScrEditForm1 = nullptr;
}
