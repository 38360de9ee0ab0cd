#pragma once
// Whether a program has put a window on the desktop, asked of the X server
// named by DISPLAY over a connection of its own, so any thread may ask.
#include <string>

namespace platform {

// True when a viewable top-level window (or a window manager's client
// window) carries the process id (_NET_WM_PID) of a process that runs the
// executable file at executablePath. False without a display.
bool ExecutableShowsWindow(const std::string& executablePath);

}  // namespace platform
