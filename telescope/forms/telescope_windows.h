// Creates the device windows and their logic for the main window: the
// telescope window with its goto-assist window, the focuser and the
// filter-wheel window, all hidden, owned by `owner`, registered as the
// program's instances (TeleControl(), FocuserControl(), FilterWheelControl()
// and the chart's view in telescope/telescope_view.h), with the driver
// chooser dialog installed.
#pragma once

class QWidget;
class ITelescopeHost;
class TTeleForm1;
class TAssistForm1;
class TFocuserForm1;
class TFilterWheelForm1;

struct TTelescopeWindows {
  TTeleForm1* TeleForm1 = nullptr;
  TAssistForm1* AssistForm1 = nullptr;
  TFocuserForm1* FocuserForm1 = nullptr;
  TFilterWheelForm1* FilterWheelForm1 = nullptr;
};

// `host` (not owned; null: the default host) gives the chart's observer and
// the main window's menu items.
TTelescopeWindows CreateTelescopeWindows(QWidget* owner, ITelescopeHost* host);
