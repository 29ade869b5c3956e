#include "platform/dialogs.h"

#include <atomic>
#include <cstdio>

namespace platform {

int DefaultResult(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
      return IDOK;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
      return IDYES;
    case MsgButtons::RetryCancel:
      return IDRETRY;
    case MsgButtons::AbortRetryIgnore:
      return IDABORT;
  }
  return IDOK;
}

int ClosedResult(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return IDOK;
    case MsgButtons::YesNo: return IDNO;
    case MsgButtons::AbortRetryIgnore: return IDABORT;
    default: return IDCANCEL;
  }
}

namespace {

// Used when no implementation is installed (command-line tools): message
// boxes go to standard error and take their default button.
class HeadlessDialogs : public IDialogs {
 public:
  int MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                 MsgIcon) override {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return DefaultResult(buttons);
  }
  FileDialogResult FileDialog(const FileDialogOptions&) override { return {}; }
  bool BrowseForFolder(const std::string&, std::string&) override { return false; }
  bool ChooseColor(uint32_t&) override { return false; }
  bool ChooseFont(FontChoice&) override { return false; }
};

HeadlessDialogs g_headless;
std::atomic<IDialogs*> g_dialogs{nullptr};

}  // namespace

IDialogs& Dialogs() {
  IDialogs* d = g_dialogs.load();
  return d ? *d : g_headless;
}

void SetDialogs(IDialogs* dialogs) { g_dialogs.store(dialogs); }

int ShowMessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                   MsgIcon icon) {
  return Dialogs().MessageBox(text, caption, buttons, icon);
}

int ShowMessageBoxReportingClose(const std::string& text, const std::string& caption, MsgButtons buttons,
                                 MsgIcon icon) {
  return Dialogs().MessageBoxReportingClose(text, caption, buttons, icon);
}

void ScriptedDialogs::QueueAnswer(int result) {
  std::lock_guard lock(mutex_);
  answers_.push_back(result);
}
void ScriptedDialogs::QueueFile(const FileDialogResult& result) {
  std::lock_guard lock(mutex_);
  files_.push_back(result);
}
void ScriptedDialogs::QueueFolder(const std::string& folder) {
  std::lock_guard lock(mutex_);
  folders_.push_back(folder);
}
void ScriptedDialogs::QueueColor(uint32_t color) {
  std::lock_guard lock(mutex_);
  colors_.push_back(color);
}
void ScriptedDialogs::QueueFont(const FontChoice& font) {
  std::lock_guard lock(mutex_);
  fonts_.push_back(font);
}

std::vector<DialogRecord> ScriptedDialogs::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}
std::size_t ScriptedDialogs::Count() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}
DialogRecord ScriptedDialogs::Last() const {
  std::lock_guard lock(mutex_);
  return records_.empty() ? DialogRecord{} : records_.back();
}
void ScriptedDialogs::Clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
  answers_.clear();
  files_.clear();
  folders_.clear();
  colors_.clear();
  fonts_.clear();
}

int ScriptedDialogs::MessageBox(const std::string& text, const std::string& caption,
                                MsgButtons buttons, MsgIcon icon) {
  return Answer(text, caption, buttons, icon, false);
}

int ScriptedDialogs::MessageBoxReportingClose(const std::string& text, const std::string& caption,
                                              MsgButtons buttons, MsgIcon icon) {
  return Answer(text, caption, buttons, icon, true);
}

int ScriptedDialogs::Answer(const std::string& text, const std::string& caption, MsgButtons buttons,
                            MsgIcon icon, bool reportClose) {
  std::lock_guard lock(mutex_);
  DialogRecord r;
  r.kind = DialogRecord::Message;
  r.text = text;
  r.caption = caption;
  r.buttons = buttons;
  r.icon = icon;
  records_.push_back(r);
  if (answers_.empty()) return DefaultResult(buttons);
  const int a = answers_.front();
  answers_.pop_front();
  return a == IDCLOSE && !reportClose ? ClosedResult(buttons) : a;
}

FileDialogResult ScriptedDialogs::FileDialog(const FileDialogOptions& options) {
  std::lock_guard lock(mutex_);
  DialogRecord r;
  r.kind = DialogRecord::File;
  r.text = options.title;
  r.file = options;
  records_.push_back(r);
  if (files_.empty()) return {};
  FileDialogResult f = files_.front();
  files_.pop_front();
  return f;
}

bool ScriptedDialogs::BrowseForFolder(const std::string& title, std::string& folder) {
  std::lock_guard lock(mutex_);
  DialogRecord r;
  r.kind = DialogRecord::Folder;
  r.text = title;
  records_.push_back(r);
  if (folders_.empty()) return false;
  folder = folders_.front();
  folders_.pop_front();
  return true;
}

bool ScriptedDialogs::ChooseColor(uint32_t& color) {
  std::lock_guard lock(mutex_);
  DialogRecord r;
  r.kind = DialogRecord::Color;
  records_.push_back(r);
  if (colors_.empty()) return false;
  color = colors_.front();
  colors_.pop_front();
  return true;
}

bool ScriptedDialogs::ChooseFont(FontChoice& font) {
  std::lock_guard lock(mutex_);
  DialogRecord r;
  r.kind = DialogRecord::Font;
  records_.push_back(r);
  if (fonts_.empty()) return false;
  font = fonts_.front();
  fonts_.pop_front();
  return true;
}

}  // namespace platform
