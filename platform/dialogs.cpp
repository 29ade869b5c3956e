#include "platform/dialogs.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <initializer_list>

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

int DefaultResult(MsgButtons buttons, int defaultResult) {
  const auto in = [&](std::initializer_list<int> set) {
    return std::find(set.begin(), set.end(), defaultResult) != set.end();
  };
  bool member = false;
  switch (buttons) {
    case MsgButtons::Ok: member = in({IDOK}); break;
    case MsgButtons::OkCancel: member = in({IDOK, IDCANCEL}); break;
    case MsgButtons::YesNo: member = in({IDYES, IDNO}); break;
    case MsgButtons::YesNoCancel: member = in({IDYES, IDNO, IDCANCEL}); break;
    case MsgButtons::RetryCancel: member = in({IDRETRY, IDCANCEL}); break;
    case MsgButtons::AbortRetryIgnore: member = in({IDABORT, IDRETRY, IDIGNORE}); break;
  }
  return member ? defaultResult : DefaultResult(buttons);
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
                 MsgIcon icon) override {
    return MessageBoxWithDefault(text, caption, buttons, icon, 0);
  }
  int MessageBoxWithDefault(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon,
                            int defaultResult) override {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return DefaultResult(buttons, defaultResult);
  }
  FileDialogResult FileDialog(const FileDialogOptions&) override { return {}; }
  bool BrowseForFolder(const std::string&, std::string&) override { return false; }
  bool ChooseColor(uint32_t&) override { return false; }
  bool ChooseFont(FontChoice&) override { return false; }
};

HeadlessDialogs g_headless;
std::atomic<IDialogs*> g_dialogs{nullptr};
std::atomic<bool> g_unattended{false};

}  // namespace

IDialogs& Dialogs() {
  IDialogs* d = g_dialogs.load();
  return d && !g_unattended.load() ? *d : g_headless;
}

void SetDialogs(IDialogs* dialogs) { g_dialogs.store(dialogs); }

void SetDialogsUnattended(bool on) { g_unattended.store(on); }

bool DialogsAttended() { return g_dialogs.load() != nullptr && !g_unattended.load(); }

int ShowMessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                   MsgIcon icon) {
  return Dialogs().MessageBox(text, caption, buttons, icon);
}

int ShowMessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon,
                   int defaultResult) {
  return Dialogs().MessageBoxWithDefault(text, caption, buttons, icon, defaultResult);
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
  return Answer(text, caption, buttons, icon, false, 0);
}

int ScriptedDialogs::MessageBoxWithDefault(const std::string& text, const std::string& caption, MsgButtons buttons,
                                           MsgIcon icon, int defaultResult) {
  return Answer(text, caption, buttons, icon, false, defaultResult);
}

int ScriptedDialogs::MessageBoxReportingClose(const std::string& text, const std::string& caption,
                                              MsgButtons buttons, MsgIcon icon) {
  return Answer(text, caption, buttons, icon, true, 0);
}

int ScriptedDialogs::Answer(const std::string& text, const std::string& caption, MsgButtons buttons,
                            MsgIcon icon, bool reportClose, int defaultResult) {
  std::lock_guard lock(mutex_);
  DialogRecord r;
  r.kind = DialogRecord::Message;
  r.text = text;
  r.caption = caption;
  r.buttons = buttons;
  r.icon = icon;
  r.defaultResult = DefaultResult(buttons, defaultResult);
  records_.push_back(r);
  if (answers_.empty()) return r.defaultResult;
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
