#include "reportsdk/ResendProcess.h"

#include <thread>
#include <unistd.h>

#include "platform/Process.h"
#include "reportsdk/CNetworkCommunicate.h"

namespace ResendProcess {

bool IsResendCommandLine(const std::string& commandLine) { return commandLine.find(kSwitch) != std::string::npos; }

bool WaitForDelivery(const CNetworkCommunicate& network, std::chrono::milliseconds limit,
                     std::chrono::milliseconds poll) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (network.Idle()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(poll, deadline - now));
    }
}

bool Launch(const std::string& executable) {
    if (executable.empty() || access(executable.c_str(), F_OK) != 0) return false;
    platform::SpawnOptions options;
    options.detached = true;
    options.hidden = true;
    return platform::SpawnProcess({executable, kSwitch}, options) > 0;
}

}  // namespace ResendProcess
