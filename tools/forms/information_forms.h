// The information windows' entry points for the main window: one plain
// function per window.
#pragma once

#include <functional>
#include <string>

// Opens an address (the survey picture of the deep-sky window) in a browser
// window. The default opens it through the desktop's browser; the main
// window replaces it with its own browser window.
extern std::function<void(const std::string& url, const std::string& caption)> OpenBrowserWindow;
