#pragma once
// The installer's process entry: picks the run mode from the command line,
// reads the start-up labels of the embedded product configuration, sets up
// the run's log, guards against a second wizard, runs the wizard and shuts
// down in a fixed order. Every path returns 0.
#include <atomic>
#include <string>
#include <vector>

#include "Common/EmbeddedLabels.h"

namespace platform {
class InstanceLock;
}

namespace startup {

enum class RunMode { Wizard, CrashDiagnostics, CloseDiagnostics };

struct CommandLineRequest {
    RunMode mode = RunMode::Wizard;
    bool openConsole = false;   // the command line is exactly "debug"
    std::string logFileName;    // diagnostics modes: the crashed or closed run's log file name
    std::string catalogue;      // "CrashDmp", or "close01".."close07"
};

// The command line as the program receives it: the arguments after the
// program name joined by blanks, leading blanks removed.
std::string CommandLineFromArgs(int argc, char** argv);
CommandLineRequest ParseCommandLine(const std::string& commandLine);

// The few values start-up reads from the embedded product configuration.
struct StartupLabels {
    std::string downloaderIdText;
    int downloaderId = 0;
    int siteId = 0;
    std::string softwareName;
    std::string softwareVersion;
    std::string startupDownloadUrl;  // the first non-CDN of Download_url, Extra_download_url
    int mainPid = 0;
    std::string support32System;
};
StartupLabels StartupLabelsFrom(const LabelList& labels);

// The package file name without its extension: the text after the last "/"
// up to the first "." after it; "" when the address has no such name.
std::string RunNameOf(const std::string& downloadUrl);

// Configures the logger "default" exactly as the installer's log needs it.
void ConfigureRunLog(const std::string& logFilePath);

// The window side of start-up. The real wizard fills it; without one the
// program says so in its log and ends.
class IWizardHost {
public:
    virtual ~IWizardHost() = default;
    // Creates the wizard window (class windowClassName), shows it and runs the
    // message loop until the window posts quit. False when it cannot be created.
    virtual bool RunWizard(const std::string& windowClassName) = 0;
    // Shows and raises the window after another instance asked for it.
    virtual void ShowExistingWizard() = 0;
    // Waits for the window's worker threads.
    virtual void WaitForAllThreadExit() = 0;
    // The modal "system not supported" message box (kind 13), no owner.
    virtual void ShowNotSupportSystemBox() = 0;
};

// Process-wide values start-up sets and the crash filter and the install
// worker read.
platform::InstanceLock& SingleInstanceLock();
extern std::atomic<int> g_downloaderId;
std::string MainWindowClassName();

}  // namespace startup

int wWinMain(const std::string& commandLine, startup::IWizardHost& wizard);
// main(): builds the command line and the wizard host, runs wWinMain.
int RunInstallerProcess(int argc, char** argv);
