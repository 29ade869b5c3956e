#include "platform/qt_dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QMessageBox>

#include "platform/gui_thread.h"

namespace platform {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A message box that notes when it was closed without one of its buttons:
// by the window's close button, or by Escape (which a box with only OK
// otherwise takes for OK).
class TClosingBox : public QMessageBox {
 public:
  bool closedWithoutButton = false;

 protected:
  void closeEvent(QCloseEvent* event) override {
    closedWithoutButton = true;
    QMessageBox::closeEvent(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Cancel)) closedWithoutButton = true;
    QMessageBox::keyPressEvent(event);
  }
};

}  // namespace

QStringList QtFilterList(const std::string& filter) {
  QStringList out;
  const QStringList parts = Q(filter).split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString masks = parts[i + 1];
    masks.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << parts[i] + QStringLiteral(" (") + masks + QLatin1Char(')');
  }
  return out;
}

int QtDialogs::MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon) {
  return Show(text, caption, buttons, icon, false, 0);
}

int QtDialogs::MessageBoxWithDefault(const std::string& text, const std::string& caption, MsgButtons buttons,
                                     MsgIcon icon, int defaultResult) {
  return Show(text, caption, buttons, icon, false, defaultResult);
}

int QtDialogs::MessageBoxReportingClose(const std::string& text, const std::string& caption, MsgButtons buttons,
                                        MsgIcon icon) {
  return Show(text, caption, buttons, icon, true, 0);
}

int QtDialogs::Show(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon,
                    bool reportClose, int defaultResult) {
  int result = DefaultResult(buttons, defaultResult);
  RunOnGuiThread([&] {
    TClosingBox box;
    box.setWindowTitle(Q(caption));
    box.setText(Q(text));
    switch (icon) {
      case MsgIcon::Stop: box.setIcon(QMessageBox::Critical); break;
      case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
      case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
      case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
      case MsgIcon::None: break;
    }
    struct B { QMessageBox::StandardButton qt; int id; };
    std::vector<B> set;
    switch (buttons) {
      case MsgButtons::Ok: set = {{QMessageBox::Ok, IDOK}}; break;
      case MsgButtons::OkCancel: set = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
      case MsgButtons::YesNo: set = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
      case MsgButtons::YesNoCancel:
        set = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
      case MsgButtons::RetryCancel: set = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}}; break;
      case MsgButtons::AbortRetryIgnore:
        set = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
        break;
    }
    QMessageBox::StandardButtons mask;
    for (const B& b : set) mask |= b.qt;
    box.setStandardButtons(mask);
    // The default button has the focus: Return and Space press it.
    const int chosen = DefaultResult(buttons, defaultResult);
    for (const B& b : set)
      if (b.id == chosen) box.setDefaultButton(b.qt);
    const int clicked = box.exec();
    if (reportClose && box.closedWithoutButton) {
      result = IDCLOSE;
      return;
    }
    // Closing the box with its frame counts as Cancel where there is one.
    result = buttons == MsgButtons::Ok ? IDOK : IDCANCEL;
    for (const B& b : set)
      if (clicked == b.qt) result = b.id;
  });
  return result;
}

FileDialogResult QtDialogs::FileDialog(const FileDialogOptions& options) {
  FileDialogResult result;
  RunOnGuiThread([&] {
    QFileDialog dialog(nullptr, Q(options.title), Q(options.initialDir));
    dialog.setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(options.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The program asks its own overwrite question where it wants one.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = QtFilterList(options.filter);
    if (!filters.isEmpty()) {
      dialog.setNameFilters(filters);
      const int index = std::clamp(options.filterIndex, 1, int(filters.size())) - 1;
      dialog.selectNameFilter(filters[index]);
    }
    if (!options.defaultExt.empty()) dialog.setDefaultSuffix(Q(options.defaultExt));
    if (!options.fileName.empty()) dialog.selectFile(Q(options.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    result.accepted = true;
    result.fileName = dialog.selectedFiles().front().toStdString();
    result.filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (result.filterIndex < 1) result.filterIndex = 1;
  });
  return result;
}

bool QtDialogs::BrowseForFolder(const std::string& title, std::string& folder) {
  bool ok = false;
  RunOnGuiThread([&] {
    const QString chosen = QFileDialog::getExistingDirectory(nullptr, Q(title), Q(folder));
    if (!chosen.isEmpty()) {
      folder = chosen.toStdString();
      ok = true;
    }
  });
  return ok;
}

bool QtDialogs::ChooseColor(uint32_t& color) {
  bool ok = false;
  RunOnGuiThread([&] {
    const QColor initial(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
    const QColor c = QColorDialog::getColor(initial);
    if (c.isValid()) {
      color = uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
      ok = true;
    }
  });
  return ok;
}

bool QtDialogs::ChooseFont(FontChoice& font) {
  bool ok = false;
  RunOnGuiThread([&] {
    QFont initial(Q(font.face), font.size, font.bold ? QFont::Bold : QFont::Normal, font.italic);
    bool accepted = false;
    const QFont f = QFontDialog::getFont(&accepted, initial);
    if (accepted) {
      font.face = f.family().toStdString();
      font.size = f.pointSize() > 0 ? f.pointSize() : font.size;
      font.bold = f.bold();
      font.italic = f.italic();
      ok = true;
    }
  });
  return ok;
}

void InstallQtDialogs() {
  static QtDialogs dialogs;
  SetDialogs(&dialogs);
}

}  // namespace platform
