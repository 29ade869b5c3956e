#include "platform/child_signals.h"

namespace platform {

void TChildSignalCut::CutChildSignals(QObject* form) {
  if (!form) return;
  for (QObject* child : form->findChildren<QObject*>()) QObject::disconnect(child, nullptr, form, nullptr);
}

}  // namespace platform
