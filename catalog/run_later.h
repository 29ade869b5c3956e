// Work the catalogues put off to the GUI thread's event loop (a try again
// once a locked database may be free), kept apart from the Qt headers so
// that the catalogues' own names stay clear of Qt's keywords.
#pragma once

#include <functional>

// Runs `work` on the GUI thread's event loop after `ms` milliseconds and
// answers true; without an application object (tools) nothing runs and the
// answer is false. GUI thread.
bool RunLater(int ms, std::function<void()> work);
