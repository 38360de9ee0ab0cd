#include "Common/install_ui_mainwnd/ProductService.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

#include <easylogging++.h>

#include "platform/DesktopOpen.h"
#include "platform/Process.h"

namespace {

constexpr int kQueryTimeoutMs = 10000;

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct UnitState {
    bool loaded = false;
    bool running = false;
};

std::vector<std::string> Command(const ServiceManagers& managers, bool user, std::vector<std::string> verb) {
    std::vector<std::string> argv{managers.systemctl};
    if (user) argv.emplace_back("--user");
    // Never wait for a password prompt: the wizard cannot answer it.
    argv.emplace_back("--no-ask-password");
    argv.insert(argv.end(), verb.begin(), verb.end());
    return argv;
}

// "LoadState=loaded\nActiveState=active" from systemctl show; nullopt when
// the query itself failed.
std::optional<UnitState> QueryUnit(const ServiceManagers& managers, bool user, const std::string& unit) {
    const platform::CapturedRun run =
        platform::RunForOutput(Command(managers, user, {"show", "--property=LoadState,ActiveState", unit}),
                               kQueryTimeoutMs);
    if (!run.exited || run.exitCode != 0) return std::nullopt;
    UnitState state;
    bool answered = false;
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("LoadState=", 0) == 0) {
            state.loaded = line == "LoadState=loaded";
            answered = true;
        } else if (line.rfind("ActiveState=", 0) == 0) {
            // A unit still starting or reloading is stopped as well.
            state.running = line != "ActiveState=inactive" && line != "ActiveState=failed";
        }
    }
    if (!answered) return std::nullopt;
    return state;
}

int StopUnit(const ServiceManagers& managers, bool user, const std::string& unit) {
    const platform::CapturedRun run =
        platform::RunForOutput(Command(managers, user, {"stop", unit}), managers.stopTimeoutMs);
    if (!run.started || (run.exited && run.exitCode != 0)) {
        LOG(INFO) << " Stop service refused: " << unit << ", " << run.exitCode;
        return ServiceStopRefused;
    }
    // A stop that takes longer goes on in the service manager; the install
    // does not wait for it any longer.
    if (!run.exited) LOG(INFO) << " Stop service still pending after " << managers.stopTimeoutMs << " ms: " << unit;
    return ServiceStoppedOrNothingToDo;
}

}  // namespace

ServiceManagers ServiceManagers::Detect() {
    ServiceManagers managers;
    managers.systemctl = platform::FindProgramOnPath("systemctl");
    managers.systemManager = IsDirectory("/run/systemd/system");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    managers.userManager = geteuid() != 0 && runtime && *runtime && IsDirectory(std::string(runtime) + "/systemd");
    return managers;
}

std::string ProductServiceUnit(int softwareId) {
    if (softwareId == 6) return "QuenrickWinAdService.service";
    if (softwareId == 105) return "QuenrickDataRecoveryService.service";
    return "";
}

int StopProductService(int softwareId, const ServiceManagers& managers) {
    const std::string unit = ProductServiceUnit(softwareId);
    if (unit.empty()) return ServiceStoppedOrNothingToDo;
    if (managers.systemctl.empty() || (!managers.systemManager && !managers.userManager)) {
        LOG(INFO) << " Stop service: no service manager for " << unit;
        return ServiceManagerNotOpened;
    }
    bool queried = false;
    for (const bool user : {false, true}) {
        if (user ? !managers.userManager : !managers.systemManager) continue;
        const std::optional<UnitState> state = QueryUnit(managers, user, unit);
        if (!state) continue;
        queried = true;
        if (!state->loaded) continue;
        if (!state->running) return ServiceStoppedOrNothingToDo;
        LOG(INFO) << " Stop service: " << unit << (user ? " (user)" : " (system)");
        return StopUnit(managers, user, unit);
    }
    LOG(INFO) << " Stop service: " << unit << (queried ? " not found" : " status query failed");
    return queried ? ServiceNotFound : ServiceStatusQueryFailed;
}
