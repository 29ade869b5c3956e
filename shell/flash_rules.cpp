#include "shell/flash_rules.h"

#include <climits>

TFlashProgressAction FlashProgressAction(bool progressOpen, int value) {
  if (!progressOpen) return value == -1 ? TFlashProgressAction::Open : TFlashProgressAction::None;
  if (value == 101) return TFlashProgressAction::Close;
  if (value >= 0 && value <= 100) return TFlashProgressAction::SetGauge;
  return TFlashProgressAction::None;
}

int FlashIntervalMs(int seconds) {
  if (seconds <= 0) return 0;
  if (seconds > INT_MAX / 1000) return INT_MAX / 1000 * 1000;
  return seconds * 1000;
}
