#pragma once
// Runs the downloaded setup silently into the install folder and waits for
// it, one second at a time, until it ends or its time is up. An exit code
// other than 0 is the only result the setup reports.

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

#include "Common/install_ui_mainwnd/SetupCommandLine.h"
#include "platform/PinnedFile.h"
#include "platform/Process.h"

class IFlowAnalytics;
class IInstallWindowPort;

struct SetupRunResult {
    bool completed = false;      // false: timed out, failed (non-zero exit) or could not start
    unsigned secondsWaited = 0;  // unsuccessful one-second waits before the end
};

class SetupRunner {
public:
    using WaitFunction = std::function<platform::WaitResult(pid_t, int)>;
    static constexpr int kWaitStepMs = 1000;

    SetupRunner(IInstallWindowPort& window, IFlowAnalytics& analytics, std::function<std::int64_t()> tickMs,
                WaitFunction waitForProcess = platform::WaitForProcess);

    // Runs the checked package: the file pinned as package, which was opened
    // at packagePath (the name the setup is given and the log shows).
    SetupRunResult Run(const std::string& packagePath, const platform::PinnedFile& package);

    // The command line for the window's current folder, language and product.
    SetupCommandLine CommandLineFor(const std::string& packagePath) const;

private:
    pid_t StartSetup(const SetupCommandLine& commandLine, const platform::PinnedFile& package);
    SetupRunResult WaitForSetup(pid_t pid);
    static void HandSetupLogToDesktopUser(const SetupCommandLine& commandLine);
    void TimeOut();
    void Failed(int exitCode);

    IInstallWindowPort& window_;
    IFlowAnalytics& analytics_;
    std::function<std::int64_t()> tickMs_;
    WaitFunction waitForProcess_;
};
