// Hand-over of work to the GUI thread. Worker threads never touch windows,
// dialogs or shared GUI state directly: they run such work through
// RunOnGuiThread, which blocks until the GUI thread has done it. The GUI
// thread must therefore never block waiting for a worker without pumping
// messages (ProcessMessages).
#pragma once

#include <functional>

namespace platform {

// True on the thread that runs the application's event loop, and on any
// thread while no application object exists (tests, command-line tools).
bool IsGuiThread();

// Runs fn on the GUI thread and waits for it to finish. On the GUI thread, or
// when no application object exists, runs fn at once.
void RunOnGuiThread(const std::function<void()>& fn);

// Queues fn to run on the GUI thread after the current event; returns at once.
// Without an application object, runs fn at once.
void PostToGuiThread(std::function<void()> fn);

// Handles pending events of the GUI thread (no-op elsewhere).
void ProcessMessages();

}  // namespace platform
