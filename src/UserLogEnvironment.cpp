// The process-wide logger and the real sources it reports from.
#include <chrono>
#include <ctime>

#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "TrafficChannel.h"
#include "platform/LocalSettings.h"
#include "platform/Process.h"
#include "reportsdk/DeviceFacts.h"
#include "reportsdk/WebLog.h"

namespace {

std::string OwnFileName() {
    const std::string path = platform::CurrentExecutablePath();
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::tm LocalNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

UserLogEnvironment SystemUserLogEnvironment() {
    UserLogEnvironment environment;
    environment.toolsVersion = [] { return FuntionImpl::GetFileVersionString(platform::CurrentExecutablePath()); };
    environment.ownFileName = OwnFileName;
    environment.osText = [] {
        float versionNumber = 0;
        return UserLogTexts::OsText(FuntionImpl::GetOsNameAndVersion(versionNumber), FuntionImpl::IsWow64());
    };
    environment.uiLanguageName = DeviceFacts::UiLanguageName;
    environment.trafficClass = TrafficClassOf;
    environment.channelName = ChannelNameOf;
    environment.measurementId = [] { return platform::HostsValue("GA4MeasurementId"); };
    environment.localNow = LocalNow;
    environment.obtainReportObj = [] { GetReportObj(); };
    environment.withReportObj = [](const std::function<int(IWebLog*)>& call) {
        ReportObjLease lease;
        return call(lease.get());
    };
    return environment;
}

CSingleUserLog& CSingleUserLog::GetInstance() {
    static CSingleUserLog instance;
    return instance;
}

CSingleUserLog::CSingleUserLog() : CSingleUserLog(SystemUserLogEnvironment()) {}
