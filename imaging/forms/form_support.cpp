#include "imaging/forms/form_support.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <utility>

#include "imaging/camera_setup.h"
#include "imaging/console.h"
#include "platform/dialogs.h"
#include "platform/numfmt.h"
#include "platform/paths.h"

namespace imaging::form_support {

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }

void ScrollTo(QScrollArea* box, int x, int y) {
  const QWidget* view = box->viewport();
  box->horizontalScrollBar()->setRange(0, std::max(0, box->widget()->width() - view->width()));
  box->verticalScrollBar()->setRange(0, std::max(0, box->widget()->height() - view->height()));
  box->horizontalScrollBar()->setValue(x);
  box->verticalScrollBar()->setValue(y);
}

void SetText(QLineEdit* e, const std::string& s) {
  if (!e->hasFocus() && e->text().toStdString() != s) e->setText(QString::fromStdString(s));
}

void FillSources(QComboBox* box, const TCameraList& list, const std::string& current) {
  QStringList names;
  for (const std::string& n : list.Names()) names << QString::fromStdString(n);
  QStringList have;
  for (int i = 0; i < box->count(); ++i) have << box->itemText(i);
  if (have != names) {
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(names);
  }
  const int i = box->findText(QString::fromStdString(current));
  if (i >= 0 && i != box->currentIndex()) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(i);
  }
}

void ShowCameraSettings(const QComboBox* source) {
  if (TCamera* cam = FindCamera(source->currentText().toStdString())) cam->ShowSettings();
}

void AddExistingCameras(TCameraList& list) {
  for (const auto& item : Cameras().SourceSettings) list.Add(item.Caption);
}

void WireExposureUpDown(QWidget* form, TUpDown* upDown, QLineEdit* text, int& current,
                        std::function<const TCamera*()> camera, bool withoutCamera,
                        std::function<void()> changed) {
  double v = 0;
  current = platform::ParseDouble(text->text().toStdString(), v) ? ExposureStepPosition(v) : 10;
  upDown->setValue(current);
  QObject::connect(upDown, &QSpinBox::valueChanged, form, [=, &current](int n) {
    if (!ExposureStepAllowed(n, camera(), withoutCamera)) {
      const QSignalBlocker block(upDown);
      upDown->setValue(current);
      return;
    }
    current = n;
    text->setText(QString::fromStdString(platform::FormatGeneral(kExposureSteps[n - 1], 6)));
    changed();
  });
}

bool ChooseFolder(std::string start, std::string& chosen) {
  if (start.empty() || !platform::FolderExists(start)) start.assign(1, '/');
  if (!platform::Dialogs().BrowseForFolder("Select a folder", start)) return false;
  if (start.empty() || start.back() != '/') start.push_back('/');
  chosen = std::move(start);
  return true;
}

}  // namespace imaging::form_support
