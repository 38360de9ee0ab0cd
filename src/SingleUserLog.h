#pragma once
// The funnel and event logger: the one object through which every part of the
// installer reports what happens. It also keeps the run's log and work
// folders, the content-length cache of the download engine and the values
// mirrored from the download-information reply.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "EnumLanguage.h"
#include "UserLogTexts.h"

class IWebLog;

// Where the logger takes what it reports about this program and machine, and
// how it reaches the report library. The process uses the real sources
// (SystemUserLogEnvironment); tests hand in their own.
struct UserLogEnvironment {
    std::function<std::string()> toolsVersion;    // the program's file version, "%d.%d.%d.%d"
    std::function<std::string()> ownFileName;     // the program's file name
    std::function<std::string()> osText;          // OS name and " 64bit"/" 32bit"
    std::function<std::string()> uiLanguageName;  // "English_United States"
    std::function<std::string()> measurementId;   // the GA4 property id
    std::function<std::string(int siteId)> trafficClass;
    std::function<std::string(int siteId, const std::string& downloadUrl)> channelName;
    std::function<std::tm()> localNow;            // for the day check of galog.json
    // Called once at construction: makes the report library object.
    std::function<void()> obtainReportObj;
    // Runs call with the report library object, null when there is none.
    std::function<int(const std::function<int(IWebLog*)>& call)> withReportObj;
};
UserLogEnvironment SystemUserLogEnvironment();

class CSingleUserLog {
public:
    static CSingleUserLog& GetInstance();

    CSingleUserLog(const CSingleUserLog&) = delete;
    CSingleUserLog& operator=(const CSingleUserLog&) = delete;

    // --- start-up ---------------------------------------------------------
    void InitUserLog(int downloaderId, int siteId, const std::string& softwareVersion,
                     const std::string& softwareName, const std::string& downloadUrl, bool kitFlag,
                     int mainPid);
    void InitLogPaths(const std::string& name);
    std::string GetLogFilePath() const;
    std::string GetLogDir() const;
    std::string GetWorkDir() const;
    // When the usual work folder could not be used: which one and why, for
    // the log once it is configured. "" otherwise.
    std::string GetWorkDirRefusal() const;
    std::string GetStartStamp() const;

    // --- events -------------------------------------------------------------
    // Each returns 0 when the library took the hit, -1 without a library
    // object (or on a repeat drop), -99 when AutoRun suppresses sending,
    // else the library's last refusal code.
    int AddUserLogEvent(const std::string& category, const std::string& action,
                        const std::string& label, bool bWait);
    int AddUserLog(int unused1, const std::string& action, bool bWait, int unused2,
                   const std::string& unused3, const std::string& label,
                   const std::string& category);
    int AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName,
                          int funcStep, const std::string& category, const std::string& action,
                          const std::string& label, bool bWait, bool bKit);
    int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                            const std::map<std::string, std::string>& params, bool bWait,
                            bool bKit);
    int AddUserLog_funnelParam(bool bWait, bool bKit, const std::string& category,
                               const std::string& action, const std::string& key,
                               const std::string& value);
    void SetLanguageInfo(EnumLanguage lang, const std::string& version);

    // --- content-length cache ----------------------------------------------
    void SetUrlLength(const std::string& url, std::int64_t length);
    std::int64_t GetUrlLength(const std::string& url) const;

    bool WaitThreadForExit();

    // --- values mirrored from the download-information reply ---------------
    std::atomic<int> downloaderConfig{0};
    std::atomic<int> sliceNum{0};
    std::atomic<int> sliceSize{0};
    std::atomic<int> additionalTime{0};
    std::atomic<int> backRunning{0};
    // The wizard was closed during the run and goes on hidden.
    std::atomic<bool> backgroundMode{false};
    // Set when the download phase begins: toolsLang is no longer re-read.
    std::atomic<bool> toolsLangFrozen{false};

    // The main window tells the logger how to read its product version and
    // current language; until then both are "".
    void SetMainWindowSource(std::function<std::string()> productVersion,
                             std::function<std::string()> toolsLang);

    // An instance of its own with the given sources (tests); the process uses GetInstance.
    explicit CSingleUserLog(UserLogEnvironment environment);
    ~CSingleUserLog();

private:
    CSingleUserLog();

    int SendGa4Hit(const std::string& category, const std::string& action, const std::string& label, bool bWait);
    int SendFunnelEvent(const Json::Value& event, const std::string& category, const std::string& action,
                        bool bWait);
    int SendFlowErrorStep(int funcStep, const std::string& action, bool bWait);
    UserLogTexts::FunnelCommon FunnelCommonNow();
    void RecordVersionOnce();
    std::string CurrentProductVersion();
    std::string CurrentToolsLang();
    std::string GalogPath() const;

    UserLogEnvironment environment_;
    // Fixed at construction.
    std::string toolsVersion_;
    std::string crossEndId_;
    std::string osText_;
    std::string uiLanguage_;
    std::string uiCountry_;

    // Set by InitUserLog.
    mutable std::mutex initLock_;
    int siteId_ = 0;
    std::string product_;
    std::string downloadUrl_;
    bool kitFlag_ = false;
    int mainPid_ = 0;
    bool isNew_ = false;

    // The automatic "FlowError" funnel flow: its steps are numbered and sent
    // under this lock, so they reach the library in order.
    std::mutex flowErrorLock_;
    bool flowErrorStarted_ = false;
    int flowErrorNextStep_ = 1;

    std::mutex galogLock_;
    bool versionPending_ = true;

    mutable std::mutex pathsLock_;
    std::string logFilePath_;
    std::string logDir_;
    std::string workDir_;
    std::string workDirRefusal_;
    std::string startStamp_;

    mutable std::mutex urlLengthsLock_;
    std::map<std::string, std::int64_t> urlLengths_;

    std::mutex windowSourceLock_;
    std::function<std::string()> productVersionSource_;
    std::function<std::string()> toolsLangSource_;
    std::string productVersionCache_;
    std::string toolsLang_;
};
