#pragma once
// Opening an address or a file the way the user's desktop does (the
// desktop's default browser or viewer), and finding programs on the PATH.
#include <string>

namespace platform {

// Hands target to xdg-open, detached, as the desktop user when this process
// runs as root. False when no opener could be started.
bool OpenWithDesktop(const std::string& target);

// The full path of a program found on $PATH; "" when there is none.
std::string FindProgramOnPath(const std::string& name);

}  // namespace platform
