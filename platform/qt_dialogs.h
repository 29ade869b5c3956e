// The running program's message boxes and common dialogs, built on Qt
// Widgets. Calls from worker threads run on the GUI thread while the caller
// waits.
#pragma once

#include <QStringList>

#include "platform/dialogs.h"

namespace platform {

class QtDialogs : public IDialogs {
 public:
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
  int Show(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon,
           bool reportClose, int defaultResult);
};

// Installs one QtDialogs instance as the program's dialogs.
void InstallQtDialogs();

// Turns a filter "desc|mask;mask|desc|mask" into Qt's filter list
// ("desc (mask mask)"), one entry per pair.
QStringList QtFilterList(const std::string& filter);

}  // namespace platform
