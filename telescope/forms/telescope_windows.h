// The device windows and their logic for the main window, each made
// hidden, owned by `owner`, with the settings it reads, and registered as
// the program's instance (TeleControl(), FocuserControl(),
// FilterWheelControl() and the chart's view in telescope/telescope_view.h).
// The program makes them one by one in its windows' order: the telescope
// window first, the goto-assist window last.
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

// The telescope window with its logic, with the driver chooser dialog
// installed. `host` (not owned; null: the default host) gives the chart's
// observer and the main window's menu items.
TTeleForm1* CreateTelescopeWindow(QWidget* owner, ITelescopeHost* host);
TFilterWheelForm1* CreateFilterWheelWindow(QWidget* owner);
TFocuserForm1* CreateFocuserWindow(QWidget* owner);
// The goto-assist window: its model corrects the telescope's gotos, and
// the telescope window's "Derive Model" opens it. `teleForm` may be null
// (no telescope window).
TAssistForm1* CreateAssistWindow(QWidget* owner, TTeleForm1* teleForm);
