// SIGTERM and SIGINT close the program the way File > Exit does: the
// signal handler only writes a byte to a pipe; the GUI thread reads it and
// asks the main window to close (threads joined, settings written), so a
// desktop logout or Ctrl+C in a terminal loses nothing.
#pragma once

class QWidget;

// Installs the handlers for `window` (once; later calls change the window).
// True when the pipe and handlers could be set up.
bool CloseOnTerminationSignals(QWidget* window);
