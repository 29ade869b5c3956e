// SIGTERM and SIGINT end the program the way File > Exit does, without a
// question: the signal handler only writes a byte to a socket; the GUI
// thread reads it and runs the given action (the main window's unattended
// close: settings written, an unsaved script kept, open dialogs cancelled,
// threads joined), so a desktop logout or Ctrl+C in a terminal loses
// nothing.
#pragma once

#include <functional>

// Installs the handlers (once; later calls change the action, an empty one
// ignores the signals). True when the socket and handlers could be set up.
bool CloseOnTerminationSignals(std::function<void()> action);
