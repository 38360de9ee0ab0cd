#include "SingleUserLog.h"

#include <chrono>
#include <ctime>

#include <easylogging++.h>

#include "GalogFile.h"
#include "platform/Folders.h"
#include "platform/LocalSettings.h"
#include "platform/PrivateFolder.h"
#include "reportsdk/IWebLog.h"
#include "reportsdk/JsonText.h"

namespace {

constexpr int kSendAttempts = 3;

// Local time as 17 digits: yyyyMMddHHmmssmmm.
std::string LocalStamp17() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[96];
    std::snprintf(text, sizeof text, "%.4d%.2d%.2d%.2d%.2d%.2d%.3d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

// The settings file is read afresh at every call, so AutoRun can be switched
// while the program runs.
bool SendingSuppressed() { return platform::SettingsSwitchOn("AutoRun"); }

std::string Call(const std::function<std::string()>& source) { return source ? source() : ""; }

void LogSendFailure(const char* kind, int result, const std::string& category, const std::string& action) {
    LOG(INFO) << "send " << kind << " fail, bWait = true, retry is max, retcode = " << result << ", " << category
              << "###" << action;
}

}  // namespace

CSingleUserLog::CSingleUserLog(UserLogEnvironment environment) : environment_(std::move(environment)) {
    toolsVersion_ = Call(environment_.toolsVersion);
    crossEndId_ = UserLogTexts::CrossEndIdOfFileName(Call(environment_.ownFileName));
    osText_ = Call(environment_.osText);
    std::tie(uiLanguage_, uiCountry_) = UserLogTexts::LanguageAndCountry(Call(environment_.uiLanguageName));
    if (environment_.obtainReportObj) environment_.obtainReportObj();
}

CSingleUserLog::~CSingleUserLog() = default;

void CSingleUserLog::InitUserLog(int downloaderId, int siteId, const std::string& softwareVersion,
                                 const std::string& softwareName, const std::string& downloadUrl, bool kitFlag,
                                 int mainPid) {
    bool isNew = false;
    {
        std::lock_guard hold(galogLock_);
        std::tm now{};
        if (environment_.localNow) now = environment_.localNow();
        isNew = GalogFile(GalogPath()).DayCheck(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    }
    {
        std::lock_guard hold(initLock_);
        siteId_ = siteId;
        product_ = softwareName;
        downloadUrl_ = downloadUrl;
        kitFlag_ = kitFlag;
        mainPid_ = mainPid;
        isNew_ = isNew;
    }
    if (!environment_.withReportObj) return;
    // No lock of ours is held here: in the resend process Init ends the process.
    environment_.withReportObj([&](IWebLog* library) {
        if (!library) return -1;
        library->Init(2, mainPid, mainPid, "", "", softwareName.c_str(), softwareVersion.c_str(), "");
        library->SetDownloaderInfo(downloaderId, kitFlag ? 1 : 0, "en", toolsVersion_.c_str());
        return 0;
    });
}

void CSingleUserLog::InitLogPaths(const std::string& name) {
    const std::string stamp = LocalStamp17();
    const std::string logDir = platform::AppDataDir() + "/QKDownloader/logs/" + name;
    platform::CreateDirectoryTree(logDir);
    // The package is run from here: only this user may change the folder.
    const platform::FolderChoice work = platform::ChooseWorkFolder("QKDownloader/" + name);

    std::lock_guard lock(pathsLock_);
    workDirRefusal_ = work.refused.empty() ? "" : work.refused + " is not usable (" + work.problem + ")";
    startStamp_ = stamp;
    logDir_ = logDir;
    logFilePath_ = logDir + "/" + name + "_" + stamp + ".log";
    workDir_ = work.path;
}

std::string CSingleUserLog::GetLogFilePath() const {
    std::lock_guard lock(pathsLock_);
    return logFilePath_;
}

std::string CSingleUserLog::GetLogDir() const {
    std::lock_guard lock(pathsLock_);
    return logDir_;
}

std::string CSingleUserLog::GetWorkDir() const {
    std::lock_guard lock(pathsLock_);
    return workDir_;
}

std::string CSingleUserLog::GetWorkDirRefusal() const {
    std::lock_guard lock(pathsLock_);
    return workDirRefusal_;
}

std::string CSingleUserLog::GetStartStamp() const {
    std::lock_guard lock(pathsLock_);
    return startStamp_;
}

std::string CSingleUserLog::GalogPath() const {
    const std::string logDir = GetLogDir();
    return logDir.empty() ? "" : logDir + "/galog.json";
}

int CSingleUserLog::AddUserLogEvent(const std::string& category, const std::string& action,
                                    const std::string& label, bool bWait) {
    if (SendingSuppressed()) return -99;
    if (category == "Other" && action == "FlowError")
        AddUserLog_funnelParam(bWait, false, "ErrorReporting", "Error", "MainErrorType", label);
    return AddUserLog(0, action, bWait, 0, "", label, category);
}

int CSingleUserLog::AddUserLog(int, const std::string& action, bool bWait, int, const std::string&,
                               const std::string& label, const std::string& category) {
    if (SendingSuppressed()) return -99;
    if (action == "FlowError") {
        std::lock_guard hold(flowErrorLock_);
        if (!flowErrorStarted_) {
            flowErrorStarted_ = true;
            SendFlowErrorStep(0, "CoreFuncStart", bWait);
        }
        SendFlowErrorStep(flowErrorNextStep_++, label, bWait);
    } else if (category == "CrashRate" && action == "Close") {
        std::lock_guard hold(flowErrorLock_);
        if (flowErrorStarted_) SendFlowErrorStep(0, "CoreFuncEnd", bWait);
    }
    return SendGa4Hit(category, action, label, bWait);
}

int CSingleUserLog::SendFlowErrorStep(int funcStep, const std::string& action, bool bWait) {
    return AddUserLog_funnel("CoreFuncEvent", "FlowError", funcStep, "Download", action, "null", bWait, false);
}

int CSingleUserLog::SendGa4Hit(const std::string& category, const std::string& action, const std::string& label,
                               bool bWait) {
    if (!environment_.withReportObj) return -1;
    UserLogTexts::Ga4Dimensions dimensions;
    dimensions.measurementId = Call(environment_.measurementId);
    dimensions.toolsVersion = toolsVersion_;
    dimensions.uiCountry = uiCountry_;
    dimensions.uiLanguage = uiLanguage_;
    dimensions.osText = osText_;
    {
        std::lock_guard hold(initLock_);
        dimensions.product = product_;
        dimensions.kitFlag = kitFlag_;
        if (environment_.trafficClass) dimensions.trafficClass = environment_.trafficClass(siteId_);
        if (environment_.channelName) dimensions.channel = environment_.channelName(siteId_, downloadUrl_);
    }
    const std::string tail = UserLogTexts::Ga4Tail(dimensions, category, action, label);
    return environment_.withReportObj([&](IWebLog* library) {
        if (!library) return -1;
        int result = -1;
        for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
            result = library->SendGA4(tail.c_str(), bWait);
            if (result == 0) return 0;
        }
        LogSendFailure("ga4", result, category, action);
        return result;
    });
}

int CSingleUserLog::AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName, int funcStep,
                                      const std::string& category, const std::string& action,
                                      const std::string& label, bool bWait, bool bKit) {
    if (SendingSuppressed()) return -99;
    RecordVersionOnce();
    const Json::Value event = UserLogTexts::StepEvent(FunnelCommonNow(), eventType, coreFuncName, funcStep, category,
                                                      action, label, bKit);
    return SendFunnelEvent(event, category, action, bWait);
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::map<std::string, std::string>& params, bool bWait, bool bKit) {
    if (SendingSuppressed()) return -99;
    RecordVersionOnce();
    const Json::Value event = UserLogTexts::ParameterEvent(FunnelCommonNow(), category, action, params, bKit);
    return SendFunnelEvent(event, category, action, bWait);
}

int CSingleUserLog::AddUserLog_funnelParam(bool bWait, bool bKit, const std::string& category,
                                           const std::string& action, const std::string& key,
                                           const std::string& value) {
    return AddUserLog_funnelEx(category, action, {{key, value}}, bWait, bKit);
}

int CSingleUserLog::SendFunnelEvent(const Json::Value& event, const std::string& category,
                                    const std::string& action, bool bWait) {
    if (!environment_.withReportObj) return -1;
    const std::string text = JsonText::Compact(event);
    return environment_.withReportObj([&](IWebLog* library) {
        if (!library) return -1;
        int result = -1;
        for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
            result = library->SendFunnel(text.c_str(), bWait);
            if (result == 0) return 0;
        }
        LogSendFailure("funnel", result, category, action);
        return result;
    });
}

UserLogTexts::FunnelCommon CSingleUserLog::FunnelCommonNow() {
    UserLogTexts::FunnelCommon common;
    common.productVersion = CurrentProductVersion();
    common.toolsLang = CurrentToolsLang();
    common.crossEndId = crossEndId_;
    common.toolsVersion = toolsVersion_;
    std::lock_guard hold(initLock_);
    common.isNew = isNew_;
    common.product = product_;
    common.kitFlag = kitFlag_;
    common.mainPid = mainPid_;
    return common;
}

void CSingleUserLog::RecordVersionOnce() {
    std::lock_guard hold(galogLock_);
    if (!versionPending_) return;
    GalogFile(GalogPath()).RecordVersion(toolsVersion_);
    versionPending_ = false;
}

std::string CSingleUserLog::CurrentProductVersion() {
    std::lock_guard hold(windowSourceLock_);
    if (productVersionCache_.empty() && productVersionSource_) productVersionCache_ = productVersionSource_();
    return productVersionCache_;
}

std::string CSingleUserLog::CurrentToolsLang() {
    std::lock_guard hold(windowSourceLock_);
    if (!toolsLangFrozen) toolsLang_ = toolsLangSource_ ? toolsLangSource_() : "";
    return toolsLang_;
}

void CSingleUserLog::SetLanguageInfo(EnumLanguage lang, const std::string& version) {
    if (!environment_.withReportObj) return;
    environment_.withReportObj([&](IWebLog* library) {
        if (library) library->SetExtraCommon("", "", WebCodeOf(lang), version.c_str(), 0);
        return 0;
    });
}

void CSingleUserLog::SetUrlLength(const std::string& url, std::int64_t length) {
    if (url.empty() || length == 0) return;
    std::lock_guard lock(urlLengthsLock_);
    urlLengths_[url] = length;
}

std::int64_t CSingleUserLog::GetUrlLength(const std::string& url) const {
    if (url.empty()) return 0;
    std::lock_guard lock(urlLengthsLock_);
    const auto found = urlLengths_.find(url);
    return found == urlLengths_.end() ? 0 : found->second;
}

bool CSingleUserLog::WaitThreadForExit() {
    LOG(INFO) << "CSingleUserLog WaitThreadForExit";
    return true;
}

void CSingleUserLog::SetMainWindowSource(std::function<std::string()> productVersion,
                                         std::function<std::string()> toolsLang) {
    std::lock_guard lock(windowSourceLock_);
    productVersionSource_ = std::move(productVersion);
    toolsLangSource_ = std::move(toolsLang);
}
