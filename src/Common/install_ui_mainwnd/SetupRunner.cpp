#include "Common/install_ui_mainwnd/SetupRunner.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include <easylogging++.h>

#include "CConfigure.h"
#include "Common/install_ui_mainwnd/CustomMessages.h"
#include "Common/install_ui_mainwnd/IFlowAnalytics.h"
#include "Common/install_ui_mainwnd/IInstallWindowPort.h"
#include "Common/install_ui_mainwnd/InstallRunState.h"
#include "FlowErrorCodes.h"
#include "SingleUserLog.h"
#include "platform/DesktopUserFiles.h"

namespace {

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string OwnExecutableName() {
    const std::string path = platform::CurrentExecutablePath();
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

SetupRunner::SetupRunner(IInstallWindowPort& window, IFlowAnalytics& analytics,
                         std::function<std::int64_t()> tickMs, WaitFunction waitForProcess)
    : window_(window), analytics_(analytics), tickMs_(std::move(tickMs)),
      waitForProcess_(std::move(waitForProcess)) {}

SetupCommandLine SetupRunner::CommandLineFor(const std::string& packagePath) const {
    const CConfigure& configuration = window_.Configuration();
    SetupCommandLineParts parts;
    parts.installDir = window_.GetInstallDir();
    parts.language = window_.CurrentLanguage();
    parts.downloaderId = configuration.Downloader_id;
    parts.logDir = CSingleUserLog::GetInstance().GetLogDir();
    parts.softwareName = configuration.Software_name;
    parts.localTime = LocalNow();
    parts.ownExecutableName = OwnExecutableName();
    return BuildSetupCommandLine(packagePath, parts);
}

SetupRunResult SetupRunner::Run(const std::string& packagePath, const platform::PinnedFile& package) {
    InstallRunState& state = window_.RunState();
    const SetupCommandLine commandLine = CommandLineFor(packagePath);
    state.setupStartTick = tickMs_();
    LOG(INFO) << " [Download File Path]: " << packagePath;
    LOG(INFO) << " [Start Install CmdLine]: " << commandLine.text;

    analytics_.Event("Download", "5.ProgramInstall", state.RunLabel());
    analytics_.Funnel(0, "CoreFuncEvent", "Installing", "Download", "CoreFuncStart", "null");
    analytics_.Funnel(1, "CoreFuncEvent", "Installing", "Download", "ProgramInstall", "null");

    const pid_t pid = StartSetup(commandLine, package);
    if (pid <= 0) {
        // Without a process there is nothing to wait for; the user sees the
        // same advice as for a setup that never ends.
        TimeOut();
        return {};
    }
    state.setupFinished = false;
    window_.PostWindowMessage(installmsg::kSetupStarted, 0, 0);
    const SetupRunResult result = WaitForSetup(pid);
    HandSetupLogToDesktopUser(commandLine);
    return result;
}

// A setup run as root writes its log into the desktop user's log folder.
void SetupRunner::HandSetupLogToDesktopUser(const SetupCommandLine& commandLine) {
    constexpr std::string_view kLogSwitch = "/LOG=";
    for (const std::string& argument : commandLine.arguments)
        if (argument.rfind(kLogSwitch, 0) == 0) platform::HandToDesktopUser(argument.substr(kLogSwitch.size()));
}

// The setup is started from the descriptor its checks read, so a file put
// in its place afterwards is never what runs.
pid_t SetupRunner::StartSetup(const SetupCommandLine& commandLine, const platform::PinnedFile& package) {
    if (!package.MarkExecutable())
        LOG(INFO) << " Setup package not executable: " << commandLine.arguments.front() << ", " << errno;
    platform::SpawnOptions options;
    options.executableDescriptor = package.Descriptor();
    // Without a pinned file nothing is started, least of all by its name.
    errno = EBADF;
    const pid_t pid = package.IsOpen() ? platform::SpawnProcess(commandLine.arguments, options) : -1;
    if (pid <= 0) LOG(INFO) << " CreateProcess failed (" << errno << "): " << std::strerror(errno);
    return pid;
}

SetupRunResult SetupRunner::WaitForSetup(pid_t pid) {
    const unsigned timeout = static_cast<unsigned>(window_.Configuration().InstallTimeout);
    unsigned waits = 0;
    for (;;) {
        const platform::WaitResult result = waitForProcess_(pid, kWaitStepMs);
        if (result.exited && result.exitCode != 0) {
            Failed(result.exitCode);
            return {false, waits};
        }
        if (result.exited) return {true, waits};
        if (waits > timeout) break;
        ++waits;
    }
    // The setup is left running: it may still finish, and killing an
    // installer half-way would do more harm than leaving it.
    TimeOut();
    return {false, waits};
}

// A setup that reports failure has installed nothing usable: the user gets
// the advice of a setup that never ends, and the product is not started.
void SetupRunner::Failed(int exitCode) {
    window_.RunState().setupFinished = true;
    analytics_.Funnel(0, "CoreFuncEvent", "Installing", "Download", "CoreFuncEnd", "null");
    LOG(INFO) << " Setup exited with code " << exitCode;
    window_.PostWindowMessage(installmsg::kSetupTimedOut, 0, 0);
}

void SetupRunner::TimeOut() {
    window_.RunState().setupFinished = true;
    analytics_.FlowError(FlowError::kSetupTimedOut);
    analytics_.Funnel(0, "CoreFuncEvent", "Installing", "Download", "CoreFuncEnd", "null");
    LOG(INFO) << " Cmd nWaitSeconds timed out: " << window_.Configuration().InstallTimeout;
    window_.PostWindowMessage(installmsg::kSetupTimedOut, 0, 0);
}
