#include "SingleUserLog.h"

#include <chrono>
#include <ctime>

#include <easylogging++.h>

#include "platform/Folders.h"
#include "platform/LocalSettings.h"

namespace {

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

bool SendingSuppressed() { return platform::SettingsSwitchOn("AutoRun"); }

}  // namespace

CSingleUserLog& CSingleUserLog::GetInstance() {
    static CSingleUserLog instance;
    return instance;
}

CSingleUserLog::CSingleUserLog() = default;
CSingleUserLog::~CSingleUserLog() = default;

void CSingleUserLog::InitUserLog(int, int, const std::string&, const std::string&,
                                 const std::string&, bool, int) {
    // FIXME: the common fields and the report library hand-over come with the
    // analytics library; until then no hit is sent.
}

void CSingleUserLog::InitLogPaths(const std::string& name) {
    const std::string stamp = LocalStamp17();
    const std::string logDir = platform::AppDataDir() + "/QKDownloader/logs/" + name;
    platform::CreateDirectoryTree(logDir);
    const std::string workDir = platform::WorkRootDir() + "QKDownloader/" + name;
    platform::CreateDirectoryTree(workDir);

    std::lock_guard lock(pathsLock_);
    startStamp_ = stamp;
    logDir_ = logDir;
    logFilePath_ = logDir + "/" + name + "_" + stamp + ".log";
    workDir_ = workDir;
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

std::string CSingleUserLog::GetStartStamp() const {
    std::lock_guard lock(pathsLock_);
    return startStamp_;
}

int CSingleUserLog::AddUserLogEvent(const std::string& category, const std::string& action,
                                    const std::string& label, bool bWait) {
    if (SendingSuppressed()) return -99;
    return AddUserLog(0, action, bWait, 0, "", label, category);
}

int CSingleUserLog::AddUserLog(int, const std::string&, bool, int, const std::string&,
                               const std::string&, const std::string&) {
    if (SendingSuppressed()) return -99;
    return reportObj_ ? 0 : -1;
}

int CSingleUserLog::AddUserLog_funnel(const std::string&, const std::string&, int,
                                      const std::string&, const std::string&, const std::string&,
                                      bool, bool) {
    if (SendingSuppressed()) return -99;
    return reportObj_ ? 0 : -1;
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string&, const std::string&,
                                        const std::map<std::string, std::string>&, bool, bool) {
    if (SendingSuppressed()) return -99;
    return reportObj_ ? 0 : -1;
}

int CSingleUserLog::AddUserLog_funnelParam(bool bWait, bool bKit, const std::string& category,
                                           const std::string& action, const std::string& key,
                                           const std::string& value) {
    return AddUserLog_funnelEx(category, action, {{key, value}}, bWait, bKit);
}

void CSingleUserLog::SetLanguageInfo(EnumLanguage, const std::string&) {}

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
