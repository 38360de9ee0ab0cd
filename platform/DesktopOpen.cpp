#include "platform/DesktopOpen.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

#include "platform/Process.h"

namespace platform {

std::string FindProgramOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

bool OpenWithDesktop(const std::string& target) {
    const std::string opener = FindProgramOnPath("xdg-open");
    if (opener.empty() || target.empty()) return false;
    SpawnOptions options;
    options.detached = true;
    options.runAsUser = DesktopUserOfRootProcess();
    return SpawnProcess({opener, target}, options) > 0;
}

}  // namespace platform
