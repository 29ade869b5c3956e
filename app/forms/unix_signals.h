// SIGTERM, SIGINT, SIGHUP and SIGQUIT end the program the way File > Exit
// does, without a question: the signal handler only writes a byte to a
// socket; the GUI thread reads it and runs the given action (the main
// window's unattended close: settings written, an unsaved script kept, open
// dialogs cancelled, threads joined), so a desktop logout, Ctrl+C or the
// quit key in a terminal, or closing the terminal the program was started
// from loses nothing. A signal the program was started with ignored (under
// nohup, or in the background without job control) stays ignored, as such
// a start asks. SIGPIPE is ignored: a write to standard error whose reader
// has gone (a terminal's pipe) fails instead of ending the program before
// its settings are written.
#pragma once

#include <functional>

// Installs the handlers (once; later calls change the action, an empty one
// ignores the signals). True when the socket and handlers could be set up.
bool CloseOnTerminationSignals(std::function<void()> action);
