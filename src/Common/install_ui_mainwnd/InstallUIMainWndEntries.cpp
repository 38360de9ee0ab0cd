#include "Common/install_ui_mainwnd/InstallUIMainWnd.h"

#include <cerrno>
#include <cstdio>

#include <easylogging++.h>

#include "Common/CrashHandler.h"
#include "Common/install_ui_mainwnd/EnginePackageTransfer.h"
#include "Common/install_ui_mainwnd/IContentWindowPort.h"
#include "Common/install_ui_mainwnd/IInstallWindowPort.h"
#include "Common/install_ui_mainwnd/InstallWorker.h"
#include "Common/install_ui_mainwnd/LoggerFlowAnalytics.h"
#include "Common/install_ui_mainwnd/PackageFiles.h"
#include "Common/install_ui_mainwnd/ProductLanguageRecord.h"
#include "Common/install_ui_mainwnd/ProxySettings.h"
#include "Common/install_ui_mainwnd/RemoteContentFetcher.h"
#include "FuntionImpl.h"
#include "platform/RegistryStore.h"

namespace {

// The system's answer to one deletion: 1 and 0 when the file went, 0 and
// the error number when it did not.
struct Deletion {
    int result;
    int error;
};

Deletion DeleteFile(const std::string& path) {
    if (std::remove(path.c_str()) == 0) return {1, 0};
    return {0, errno};
}

}  // namespace

unsigned int InstallUIMainWnd::InstallThreadFunc(void* window) {
    PrepareThreadForCrashHandling();
    if (window == nullptr) return static_cast<unsigned int>(-1);
    LoggerFlowAnalytics analytics;
    EnginePackageTransfer transfer;
    InstallWorker worker(*static_cast<IInstallWindowPort*>(window), InstallWorker::Services(analytics, transfer));
    return static_cast<unsigned int>(worker.Run());
}

namespace {

// Runs one content thread's work with the real analytics and services.
unsigned int RunContentThread(void* window, unsigned (RemoteContentFetcher::*work)()) {
    PrepareThreadForCrashHandling();
    if (window == nullptr) return 0;
    LoggerFlowAnalytics analytics;
    RemoteContentFetcher fetcher(*static_cast<IContentWindowPort*>(window), RemoteContentFetcher::Services(analytics));
    return (fetcher.*work)();
}

}  // namespace

unsigned int InstallUIMainWnd::GetCbsBanner(void* window) {
    return RunContentThread(window, &RemoteContentFetcher::GetCbsBanner);
}

unsigned int InstallUIMainWnd::GetCbsPrivacy(void* window) {
    return RunContentThread(window, &RemoteContentFetcher::GetCbsPrivacy);
}

unsigned int InstallUIMainWnd::AsyncGetCbsInfoThreadFunc(void* window) {
    return RunContentThread(window, &RemoteContentFetcher::AsyncGetCbsInfo);
}

std::string InstallUIMainWnd::GetPackageFileName(const std::string& extraDownloadUrlLabel,
                                                 const std::string& softwareVersion) {
    return packagefiles::PackageFileName(extraDownloadUrlLabel, softwareVersion);
}

void InstallUIMainWnd::ClearAPPData(const std::string& workDir, const std::string& packageFileName) {
    const std::string base = workDir + "/" + packageFileName;
    const Deletion first = DeleteFile(base);
    DeleteFile(base + ".xml");
    DeleteFile(base + ".db");
    LOG(INFO) << " Clear cache: " << first.result << ", " << first.error;
}

int InstallUIMainWnd::GetIEProxyConfig() {
    const ProxySettings settings = CurrentProxySettings();
    // Reading the environment cannot fail: the call succeeds with no error.
    LOG(INFO) << " Get proxy: " << 1 << ", " << 0;
    if (!settings.autoConfigUrl.empty()) LOG(INFO) << " Proxy info1: " << settings.autoConfigUrl;
    if (!settings.proxy.empty()) LOG(INFO) << " Proxy info2: " << settings.proxy;
    if (!settings.bypass.empty()) LOG(INFO) << " Proxy info3: " << settings.bypass;
    return settings.Kind();
}

bool InstallUIMainWnd::WriteProductLanguage(int downloaderId, EnumLanguage language,
                                            const std::string& softwareName) {
    using platform::RegistryHive;
    using platform::RegistryStore;
    // The 32-bit view of the machine hive exists on 64-bit systems only.
    const bool machineOpens = RegistryStore::CanOpenForAllAccess(RegistryHive::LocalMachine);
    const auto record = ProductLanguageRecordFor(downloaderId, language, softwareName,
                                                 machineOpens && FuntionImpl::IsWow64(), machineOpens);
    if (!record) return false;
    return RegistryStore::WriteString(record->hive, record->key, record->valueName, record->value);
}
