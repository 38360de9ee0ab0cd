#include "Common/wWndMain.h"

#include <cstdio>
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <easylogging++.h>

#include "Common/CrashHandler.h"
#include "Common/DiagnosticsUpload.h"
#include "Common/HeadlessWizardHost.h"
#include "Common/WindowWizardHost.h"
#include "Common/TextNumbers.h"
#include "DownloadSource.h"
#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/DesktopUserFiles.h"
#include "platform/EmbeddedResources.h"
#include "platform/LocalSettings.h"
#include "platform/Process.h"
#include "platform/PrivateFolder.h"
#include "platform/SingleInstance.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace startup {

std::atomic<int> g_downloaderId{0};

namespace {

std::string g_mainWindowClassName;

constexpr const char* kDumpMarker = "-dmp ";
constexpr const char* kCloseMarker = "-close";
// "-close" + two digits + one blank come before the log file name.
constexpr std::size_t kCloseNameOffset = 9;

// Without "debug" nobody is meant to see standard output, as with a program
// that has no console; diagnostics prints then go nowhere.
void HideStandardOutput() {
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull < 0) return;
    std::fflush(stdout);
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
}

void OpenConsole() { std::setvbuf(stdout, nullptr, _IOLBF, 0); }

void LoadEmbeddedSkin() {
    const auto archive = platform::EmbeddedSkinArchive();
    if (archive.empty()) return;
    ZembraUI::CSkinArchive::OpenFromMemory(archive.data(), archive.size());
}

void SetUpRunLog(const StartupLabels& labels) {
    const std::string runName = RunNameOf(labels.startupDownloadUrl);
    if (runName.empty()) return;
    CSingleUserLog& logger = CSingleUserLog::GetInstance();
    logger.InitLogPaths(runName);
    ConfigureRunLog(logger.GetLogFilePath());
    platform::HandToDesktopUser(logger.GetLogFilePath());
    RefreshCrashHandlerPaths();
    if (const std::string refusal = logger.GetWorkDirRefusal(); !refusal.empty())
        LOG(INFO) << " Work folder " << refusal << ", using " << logger.GetWorkDir();
}

int RunDiagnosticsMode(const CommandLineRequest& request) {
    const bool collectDumps = request.mode == RunMode::CrashDiagnostics;
    PackAndUploadLogs(request.logFileName, request.catalogue, collectDumps);
    return 0;
}

// A start that ends early says why: in the log, and on standard error when
// the run has no log file to say it in.
void LogEarlyEnd(const std::string& reason) {
    LOG(INFO) << reason;
    if (CSingleUserLog::GetInstance().GetLogFilePath().empty()) std::fprintf(stderr, "%s\n", reason.c_str());
}

void LogRuntimeFolder() {
    const platform::FolderChoice folder = platform::ChooseRuntimeFolder();
    if (!folder.refused.empty())
        LOG(INFO) << " Runtime folder " << folder.refused << " is not usable (" << folder.problem << "), using "
                  << (folder.path.empty() ? "none" : folder.path);
    else
        LOG(INFO) << " Runtime folder: " << folder.path;
}

// The single-instance guard: false when another wizard for this product owns the run.
bool ClaimSingleInstance(const StartupLabels& labels) {
    LogRuntimeFolder();
    const bool autoRun = platform::IsAutoRun();
    if (!labels.downloaderIdText.empty()) {
        g_mainWindowClassName = "QK_UI_Frame_" + labels.downloaderIdText;
        std::string foreign;
        const bool found = platform::InstanceBeacon::FindInstance(g_mainWindowClassName, !autoRun, &foreign);
        if (!foreign.empty())
            LOG(INFO) << " Window beacon " << g_mainWindowClassName << " is held by " << foreign
                      << ", not by this user; ignored";
        if (found && !autoRun) {
            LogEarlyEnd(" The wizard " + g_mainWindowClassName + " is already open; asked it to show itself");
            return false;
        }
    }
    const std::string mutexName = "TVS_Downloader_" + std::to_string(labels.downloaderId);
    const bool locked = SingleInstanceLock().Acquire(mutexName);
    if (!SingleInstanceLock().Problem().empty()) LOG(INFO) << " Instance lock: " << SingleInstanceLock().Problem();
    if (!locked && !autoRun) {
        LogEarlyEnd(" Another instance holds " + mutexName + "; this one ends");
        return false;
    }
    return true;
}

bool RefusedAs32BitSystem(const StartupLabels& labels, IWizardHost& wizard) {
    if (labels.support32System != "0" || FuntionImpl::IsWow64()) return false;
    LogEarlyEnd(" This 32-bit system is not supported by the product");
    CSingleUserLog::GetInstance().AddUserLogEvent("Other", "32bitStartupForbided", "", true);
    wizard.ShowNotSupportSystemBox();
    return true;
}

void RunWizardWindow(IWizardHost& wizard) {
    FuntionImpl::AuthorizeInFirewall(platform::CurrentExecutablePath());
    platform::InstanceBeacon beacon;
    if (!g_mainWindowClassName.empty()) {
        beacon.Listen(g_mainWindowClassName, [&wizard] { wizard.ShowExistingWizard(); });
        if (!beacon.Problem().empty()) LOG(INFO) << " Window beacon: " << beacon.Problem();
    }
    if (!wizard.RunWizard(g_mainWindowClassName)) LogEarlyEnd(" The wizard window could not be created");
    beacon.Stop();
}

void ShutDown(IWizardHost& wizard) {
    SingleInstanceLock().Release();
    LOG(INFO) << " Wait exit 1";
    wizard.WaitForAllThreadExit();
    LOG(INFO) << " Wait exit 2";
    CSingleUserLog::GetInstance().WaitThreadForExit();
    LOG(INFO) << " Wait exit 3";
    curl_global_cleanup();
}

}  // namespace

platform::InstanceLock& SingleInstanceLock() {
    static platform::InstanceLock lock;
    return lock;
}

std::string MainWindowClassName() { return g_mainWindowClassName; }

std::string CommandLineFromArgs(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (!line.empty()) line += ' ';
        line += argv[i];
    }
    const auto first = line.find_first_not_of(" \t");
    return first == std::string::npos ? "" : line.substr(first);
}

CommandLineRequest ParseCommandLine(const std::string& commandLine) {
    CommandLineRequest request;
    request.openConsole = commandLine == "debug";
    if (const auto dump = commandLine.find(kDumpMarker); dump != std::string::npos) {
        request.mode = RunMode::CrashDiagnostics;
        request.catalogue = "CrashDmp";
        request.logFileName = commandLine.substr(dump + std::char_traits<char>::length(kDumpMarker));
    } else if (const auto close = commandLine.find(kCloseMarker); close != std::string::npos) {
        request.mode = RunMode::CloseDiagnostics;
        request.catalogue = commandLine.substr(std::min<std::size_t>(1, commandLine.size()), 7);
        const std::size_t nameStart = close + kCloseNameOffset;
        request.logFileName = nameStart < commandLine.size() ? commandLine.substr(nameStart) : "";
    }
    return request;
}

StartupLabels StartupLabelsFrom(const LabelList& labels) {
    StartupLabels result;
    bool addressTaken = false;
    for (const auto& [name, text] : labels) {
        if (name == "Downloader_id") {
            result.downloaderIdText = text;
            result.downloaderId = LeadingInt(text);
        } else if (name == "Site_id") {
            result.siteId = LeadingInt(text);
        } else if (name == "Software_name") {
            result.softwareName = text;
        } else if (name == "Software_version") {
            result.softwareVersion = text;
        } else if ((name == "Download_url" || name == "Extra_download_url") && !addressTaken &&
                   !IsCdnUrl(text)) {
            result.startupDownloadUrl = text;
            addressTaken = true;
        } else if (name == "MainPid") {
            result.mainPid = LeadingInt(text);
        } else if (name == "Support32System") {
            result.support32System = text;
        }
    }
    return result;
}

std::string RunNameOf(const std::string& downloadUrl) {
    const auto slash = downloadUrl.rfind('/');
    if (slash == std::string::npos) return "";
    const auto dot = downloadUrl.find('.', slash + 1);
    if (dot == std::string::npos) return "";
    return downloadUrl.substr(slash + 1, dot - slash - 1);
}

void ConfigureRunLog(const std::string& logFilePath) {
    el::Configurations configuration;
    configuration.setToDefault();
    configuration.set(el::Level::Info, el::ConfigurationType::Format, "%datetime--[Thread](%thread) %msg");
    configuration.set(el::Level::Info, el::ConfigurationType::Enabled, "true");
    configuration.set(el::Level::Info, el::ConfigurationType::ToStandardOutput, "true");
    configuration.set(el::Level::Info, el::ConfigurationType::ToFile, "true");
    configuration.set(el::Level::Info, el::ConfigurationType::Filename, logFilePath);
    el::Loggers::reconfigureLogger("default", configuration);
    el::Loggers::addFlag(el::LoggingFlag::DisableApplicationAbortOnFatalLog);
    el::Loggers::removeFlag(el::LoggingFlag::LogDetailedCrashReason);
}

}  // namespace startup

int wWinMain(const std::string& commandLine, startup::IWizardHost& wizard) {
    using namespace startup;
    InstallUnhandledExceptionHandler();
    const CommandLineRequest request = ParseCommandLine(commandLine);
    if (request.openConsole)
        OpenConsole();
    else
        HideStandardOutput();

    LoadEmbeddedSkin();
    const StartupLabels labels = StartupLabelsFrom(ReadEmbeddedConfigureLabels());
    curl_global_init(CURL_GLOBAL_ALL);
    SetUpRunLog(labels);

    if (request.mode != RunMode::Wizard) return RunDiagnosticsMode(request);
    if (!ClaimSingleInstance(labels)) return 0;

    g_downloaderId = labels.downloaderId;
    const bool kitFlag = labels.downloaderId == 277 || labels.downloaderId == 278;
    CSingleUserLog::GetInstance().InitUserLog(labels.downloaderId, labels.siteId, labels.softwareVersion,
                                              labels.softwareName, labels.startupDownloadUrl, kitFlag,
                                              labels.mainPid);
    if (RefusedAs32BitSystem(labels, wizard)) return 0;

    RunWizardWindow(wizard);
    ShutDown(wizard);
    return 0;
}

int RunInstallerProcess(int argc, char** argv) {
    const std::string commandLine = startup::CommandLineFromArgs(argc, argv);
    if (WindowWizardHost::WindowWanted()) {
        WindowWizardHost wizard;
        return wWinMain(commandLine, wizard);
    }
    HeadlessWizardHost wizard;
    return wWinMain(commandLine, wizard);
}
